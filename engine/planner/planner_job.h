// What the path processor needs of a job: the machining settings of the job record,
// copied out of it by the engine when a transmission starts. The processor keeps its own
// copy, so the job table may change while a job runs.
#pragma once

#include "foundation/geometry.h"
#include "platform/types.h"

const int kMaxToolSpeeds = 16;  // entries of a job's per-tool velocity table

// Velocities of one tool of the job; a value below 1 means "the job's own".
struct PlannerToolSpeeds {
  char m_szName[8] = {};          // tool key as listed in the used tools ("T3"), any case
  double m_dTraverse_mm_s = 0.0;  // traverse velocity
  double m_dFeed_mm_s = 0.0;      // feed velocity
  double m_dPlunge_mm_s = 0.0;    // plunge velocity
  double m_dStart_mm_s = 0.0;     // start velocity
  double m_dAccel_mm_s2 = 0.0;    // acceleration (not used by tool selection)
  double m_dSpindle_rpm = 0.0;    // spindle speed
};

struct PlannerJob {
  char m_szJobName[260] = {};  // job name: trace file name and the header's name area
  int m_nStartSwitch = 0;      // 1 doubles the ramp (and "SW0;" at the first copy)
  BOOL m_bRelativeCoords = FALSE;
  int m_nOrientation = 1;  // 1..8; 3, 4, 7, 8 exchange X and Y

  double m_dTraverse_mm_s = 0.0;
  double m_dFeed_mm_s = 0.0;
  double m_dPlunge_mm_s = 0.0;
  double m_dStart_mm_s = 0.0;   // start velocity: corner speed at every stop
  double m_dAccel_mm_s2 = 0.0;  // acceleration of the ramp and of the timing
  double m_dSpindle_rpm = 0.0;

  BOOL m_bCoolantOn = FALSE;
  BOOL m_bSpindleOn = FALSE;
  BOOL m_bTWordEnabled = FALSE;  // T words: the heads' M codes (101-115, 201-215) pass
  BOOL m_bFWordEnabled = FALSE;  // "F" tags override the feed
  BOOL m_bSWordEnabled = FALSE;  // "S" tags set the spindle speed
  BOOL m_bRollEngrave = FALSE;   // engraving on the rotary axis of a log engraver
  BOOL m_bSurfaceAutoDetect = FALSE;
  double m_dRollDiameter_mm = 0.0;  // diameter of the rotary work

  int m_nToolCount = 0;  // valid entries of m_aToolSpeeds (more than 16 count as 16)
  PlannerToolSpeeds m_aToolSpeeds[kMaxToolSpeeds];

  int m_nTotalTags = 0;             // tags of the job, all copies
  Vec3 m_vFeedMin;                  // extent of the program: X and Y of the feed moves, Z of all (mm)
  Vec3 m_vFeedMax;                  //
  double m_dTraverseZMin_mm = 0.0;  // Z range of the traverse moves
  double m_dTraverseZMax_mm = 0.0;  //

  double m_dArcFitRadiusJitter_mm = 0.0;  // all three above 1e-12 switch arc fitting on
  double m_dArcFitDeviation_mm = 0.0;
  double m_dArcFitLeastLength_mm = 0.0;
  double m_dSlowDownFraction = 0.0;  // corner slow-down; 0 switches it off
  double m_dSmoothLevel = 0.0;       // SnowBall grade; 0 switches smoothing off
};
