// The planner's tuning, read once from "Parameters.ini" when a job is prepared and handed
// to the path processor with the job.
//
// Three layers decide a value: the keys below (LoadPlannerSettings), the job record,
// which overrides arc fitting, corner slow-down and the SnowBall grade
// (CPathProcessor::PrepareJob), and the constants every planned run sets for smoothing.
// The engine-wide values at the end are read by the engine with its own settings and
// copied in; their defaults here are the engine's.
#pragma once

#include "platform/core.h"

// The SnowBall keys of one grade.
struct SnowBallKeys {
  double m_dRadius_mm;  // "SnowBall_<grade>(mm)"
  double m_dAngle_deg;  // "SnowBall_<grade>Angle": vertices sharper than this break a chain
  double m_dChord_mm;   // "SnowBall_<grade>ChordHeight(mm)"
};

struct PlannerSettings {
  // ---- [Optimization] and [Communication], in reading order
  double m_dCuttingThreshold = 0.70710678118654752;  // cos("CutDownAngle"): steeper downward moves plunge
  double m_dMaxSeg_mm = 100.0;                       // "MaxSeg(mm)": longest piece of a relative move
  double m_dMaxEvenSegLen_mm = 0.5;                  // "MaxEvenSegLen(mm)": short-segment pass
  double m_dEvenAngle_deg = 165.0;                   // "EvenAngle": short-segment pass
  CString m_strG02VerFrom = "VER5300";               // "G02VerFrom": first version that takes G commands
  double m_dRadiusJitter = 0.5;                      // "SmoothRadiusJitter", at least 0.1
  int m_nSnowBallGrade = 2;                          // 0 off, 1 faster, 2 normal, 3 smooth
  double m_dSnowBallRadius_mm = 0.07;                // grade's radius key; DBL_MAX with smoothing off
  double m_dCosSnowBallAngle = -0.81915204428899;    // cos(grade's angle key)
  double m_dSnowBallChord_mm = 0.07;                 // grade's chord height key
  SnowBallKeys m_aSnowBall[4] = {                    // keys of grades 1-3, so a job may pick its own
      {0.0, 180.0, 0.0},
      {0.05, 155.0, 0.05},
      {0.07, 145.0, 0.07},
      {0.1, 135.0, 0.1}};
  BOOL m_bCornerSlowDown = TRUE;       // "CornerDownSpeed"
  double m_dCornerFactor = 0.6;        // "CornerDownSpeed(percent)", >= 0.1; 1.0 when off
  BOOL m_bArcFitting = FALSE;          // "EnableArcFitting"
  double m_dArcFittingError_mm = 0.1;  // "ArcFittingError(mm)", at most 5.0
  double m_dArcPolygonDiff_mm = 0.4;   // "ArcPolygonDiff(mm)", at most 1.0
  double m_dLeastArcLen_mm = 0.5;      // "LeastArcLen(mm)", at least 0.5

  // ---- read where the job begins ([Trace], [Instructions])
  BOOL m_bLogSpeedTrace = FALSE;         // "LogSpeedTrace": the speed trace file
  BOOL m_bPassThruUnknownGcode = FALSE;  // read and kept; G words are never sent
  BOOL m_bPassThruUnknownMcode = FALSE;  // M codes outside the known set are sent

  // ---- engine-wide, copied in by the engine
  BOOL m_bDirecArc = TRUE;           // [Communication] "DirecArc": arcs may go out as arc commands
  int m_nLiftDelay_ms = 0;           // [Communication] "LiftDelay(ms)": wait after a plunge
  double m_dMinArcReplace_mm = 2.0;  // [Optimization] "MinArcReplace(mm)": shorter arcs go as lines
  double m_dDoubleZero = 0.0000001;  // [Optimization] "double_zero": epsilon of every comparison
  double m_dParkingLift_mm = 50.0;   // [Device] "ParkingLift(mm)", after the engine's range check
};

// Reads every planner key of "Parameters.ini" into `settings` (the engine-wide values are
// left as they are), writing back the keys that are kept in the file, and applies the
// clamps. Keys that are missing take their defaults. The SnowBall keys of the grade in
// force are written back; those of the other grades are only read.
void LoadPlannerSettings(PlannerSettings& settings);
// Makes `grade` the SnowBall grade, with its keys; any grade but 1-3 switches smoothing
// off (grade 0).
void SelectSnowBallGrade(PlannerSettings& settings, int grade);
// "G02VerFrom" as stored: trimmed and upper-cased; "VER" followed by anything with a
// digit becomes "VER" + the text from the first digit on ("VER 5200" -> "VER5200").
CString NormalizeG02VerFrom(const char* text);
// Whether a controller reporting `versionText` takes G commands under the threshold
// `verFrom`: the text begins with "VER" and the number in its characters 4-7 is at least
// the number in the same characters of the threshold.
bool VersionTakesGCommands(const char* versionText, const char* verFrom);
