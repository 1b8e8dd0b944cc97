#include "engine/planner/planner_settings.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "foundation/settings.h"
#include "platform/profile.h"

namespace {

const double kDegree = 3.14159265358979323846 / 180.0;
const char kOptimization[] = "Optimization";
const char kCommunication[] = "Communication";

// A key that the file keeps: the value read (or the default) is written back at once.
CString KeptValue(const char* section, const char* key, const char* def) {
  return ReadIniValue(section, key, def, GetParamsFilePath());
}
double KeptNumber(const char* section, const char* key, const char* def) {
  return std::atof(KeptValue(section, key, def));
}
// A key read without writing it back.
CString PlainValue(const char* section, const char* key, const char* def) { return GetParamValue(section, key, def); }

void LoadSnowBallKeys(PlannerSettings& s, int gradeInForce) {
  struct GradeKeys {
    const char* radiusKey;
    const char* radiusDef;
    const char* angleKey;
    const char* angleDef;
    const char* chordKey;
    const char* chordDef;
  };
  static const GradeKeys kGrades[4] = {
      {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"SnowBall_Faster(mm)", "0.05", "SnowBall_FasterAngle", "155", "SnowBall_FasterChordHeight(mm)", "0.05"},
      {"SnowBall_Normal(mm)", "0.07", "SnowBall_NormalAngle", "145", "SnowBall_NormalChordHeight(mm)", "0.07"},
      {"SnowBall_Smooth(mm)", "0.1", "SnowBall_SmoothAngle", "135", "SnowBall_SmoothChordHeight(mm)", "0.1"},
  };
  for (int grade = 1; grade <= 3; grade++) {
    const GradeKeys& k = kGrades[grade];
    auto read = [&](const char* key, const char* def) {
      return std::atof(grade == gradeInForce ? KeptValue(kOptimization, key, def)
                                             : PlainValue(kOptimization, key, def));
    };
    SnowBallKeys& out = s.m_aSnowBall[grade];
    out.m_dRadius_mm = read(k.radiusKey, k.radiusDef);
    out.m_dAngle_deg = read(k.angleKey, k.angleDef);
    out.m_dChord_mm = read(k.chordKey, k.chordDef);
  }
}

}  // namespace

CString NormalizeG02VerFrom(const char* text) {
  CString t(text ? text : "");
  t.Trim();
  t.MakeUpper();
  if (t.Left(3) == "VER") {
    int digit = t.FindOneOf("0123456789");
    if (digit >= 0) t = "VER" + t.Mid(digit);
  }
  return t;
}

bool VersionTakesGCommands(const char* versionText, const char* verFrom) {
  CString version(versionText ? versionText : "");
  version.Trim();
  version.MakeUpper();
  if (version.Left(3) != "VER") return false;
  CString threshold(verFrom ? verFrom : "");
  return std::atol(version.Mid(3, 4)) >= std::atol(threshold.Mid(3, 4));
}

void SelectSnowBallGrade(PlannerSettings& s, int grade) {
  if (grade < 1 || grade > 3) {
    s.m_nSnowBallGrade = 0;
    s.m_dSnowBallRadius_mm = DBL_MAX;
    return;
  }
  const SnowBallKeys& k = s.m_aSnowBall[grade];
  s.m_nSnowBallGrade = grade;
  s.m_dSnowBallRadius_mm = k.m_dRadius_mm;
  s.m_dCosSnowBallAngle = std::cos(k.m_dAngle_deg * kDegree);
  s.m_dSnowBallChord_mm = k.m_dChord_mm;
}

void LoadPlannerSettings(PlannerSettings& s) {
  s.m_dCuttingThreshold = std::cos(KeptNumber(kOptimization, "CutDownAngle", "45") * kDegree);
  s.m_dMaxSeg_mm = KeptNumber(kOptimization, "MaxSeg(mm)", "100");
  // Listed in the file for the optimiser's dialog; no planning step uses them.
  KeptValue(kOptimization, "MergeMinAngle(degree)", "150");
  KeptValue(kOptimization, "MergeMinRadius(mm)", "10");
  KeptValue(kOptimization, "MergeMaxSegLen(mm)", "6");
  s.m_dMaxEvenSegLen_mm = KeptNumber(kOptimization, "MaxEvenSegLen(mm)", "0.5");
  s.m_dEvenAngle_deg = KeptNumber(kOptimization, "EvenAngle", "165");
  KeptValue(kOptimization, "MergeScope(mm)", "50");
  KeptValue(kOptimization, "MergeMode(0min-1ave-2weight-3max)", "0");
  KeptValue(kCommunication, "Timeout(ms)", "3000");

  // An old writer doubled the "V" of the version; the repaired text goes back to the file.
  CString verFrom = ProfileGetText(kCommunication, "G02VerFrom", "VER5200", GetParamsFilePath());
  if (verFrom.GetLength() >= 2 && (verFrom[0] == 'V' || verFrom[0] == 'v') && (verFrom[1] == 'V' || verFrom[1] == 'v'))
    verFrom = verFrom.Mid(1);
  WriteIniValue(kCommunication, "G02VerFrom", verFrom, GetParamsFilePath());
  s.m_strG02VerFrom = NormalizeG02VerFrom(verFrom);

  s.m_dRadiusJitter = KeptNumber(kOptimization, "SmoothRadiusJitter", "0.5");
  if (s.m_dRadiusJitter < 0.1) s.m_dRadiusJitter = 0.1;
  int grade = std::atoi(PlainValue(kOptimization, "SnowBall_Grade(0disable-1faster-3smooth)", "2"));
  LoadSnowBallKeys(s, grade);
  SelectSnowBallGrade(s, grade);

  s.m_bCornerSlowDown = TextToBool(KeptValue(kOptimization, "CornerDownSpeed", "enable"));
  s.m_dCornerFactor = KeptNumber(kOptimization, "CornerDownSpeed(percent)", "0.6");
  if (s.m_dCornerFactor < 0.1) s.m_dCornerFactor = 0.1;
  if (!s.m_bCornerSlowDown) s.m_dCornerFactor = 1.0;

  s.m_bArcFitting = TextToBool(PlainValue(kOptimization, "EnableArcFitting", "disable"));
  s.m_dArcFittingError_mm = std::min(5.0, std::atof(PlainValue(kOptimization, "ArcFittingError(mm)", "0.1")));
  s.m_dArcPolygonDiff_mm = std::min(1.0, std::atof(PlainValue(kOptimization, "ArcPolygonDiff(mm)", "0.4")));
  s.m_dLeastArcLen_mm = std::max(0.5, std::atof(PlainValue(kOptimization, "LeastArcLen(mm)", "0.5")));

  s.m_bLogSpeedTrace = TextToBool(KeptValue("Trace", "LogSpeedTrace", "disable"));
  s.m_bPassThruUnknownGcode = TextToBool(KeptValue("Instructions", "PassThruUnknownGcode", "disable"));
  s.m_bPassThruUnknownMcode = TextToBool(KeptValue("Instructions", "PassThruUnknownMcode", "disable"));
}
