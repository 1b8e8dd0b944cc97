// Planner settings: the keys of "Parameters.ini" and their clamps, the job's overrides,
// the checks of every setting the planner divides by, G commands, and the logs.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "engine/planner/tests/planner_fixture.h"
#include "foundation/log.h"

namespace planner_testing {
namespace {

using Settings = PlannerTest;

std::string ParamsText() { return testing_support::ReadFileBytes(GetParamsFilePath()); }

TEST_F(Settings, AFreshFileGainsTheKeysThatAreWrittenBack) {
  PlannerSettings s;
  LoadPlannerSettings(s);
  std::string text = ParamsText();
  const char* kept[] = {"CutDownAngle=45",
                        "MaxSeg(mm)=100",
                        "MergeMinAngle(degree)=150",
                        "MergeMinRadius(mm)=10",
                        "MergeMaxSegLen(mm)=6",
                        "MaxEvenSegLen(mm)=0.5",
                        "EvenAngle=165",
                        "MergeScope(mm)=50",
                        "MergeMode(0min-1ave-2weight-3max)=0",
                        "Timeout(ms)=3000",
                        "G02VerFrom=VER5200",
                        "SmoothRadiusJitter=0.5",
                        "CornerDownSpeed=enable",
                        "CornerDownSpeed(percent)=0.6",
                        "SnowBall_Normal(mm)=0.07",
                        "SnowBall_NormalAngle=145",
                        "SnowBall_NormalChordHeight(mm)=0.07",
                        "LogSpeedTrace=disable",
                        "PassThruUnknownGcode=disable",
                        "PassThruUnknownMcode=disable"};
  for (const char* key : kept) EXPECT_NE(std::string::npos, text.find(key)) << key;
  const char* notKept[] = {"SnowBall_Grade", "EnableArcFitting", "ArcFittingError", "ArcPolygonDiff",
                           "LeastArcLen",    "SnowBall_Smooth",  "SnowBall_Faster"};
  for (const char* key : notKept) EXPECT_EQ(std::string::npos, text.find(key)) << key;
  EXPECT_EQ(2, s.m_nSnowBallGrade);
  EXPECT_NEAR(std::cos(145 * 3.14159265358979323846 / 180), s.m_dCosSnowBallAngle, 1e-12);
  EXPECT_NEAR(std::cos(45 * 3.14159265358979323846 / 180), s.m_dCuttingThreshold, 1e-12);
}

TEST_F(Settings, Clamps) {
  PutParamValue("Optimization", "ArcFittingError(mm)", "9");
  PutParamValue("Optimization", "ArcPolygonDiff(mm)", "3");
  PutParamValue("Optimization", "LeastArcLen(mm)", "0.1");
  PutParamValue("Optimization", "CornerDownSpeed(percent)", "0.05");
  PutParamValue("Optimization", "SmoothRadiusJitter", "0.01");
  PutParamValue("Optimization", "EnableArcFitting", "enable");
  PutParamValue("Optimization", "SnowBall_Grade(0disable-1faster-3smooth)", "7");
  PlannerSettings s;
  LoadPlannerSettings(s);
  EXPECT_EQ(5.0, s.m_dArcFittingError_mm);
  EXPECT_EQ(1.0, s.m_dArcPolygonDiff_mm);
  EXPECT_EQ(0.5, s.m_dLeastArcLen_mm);
  EXPECT_EQ(0.1, s.m_dCornerFactor);
  EXPECT_EQ(0.1, s.m_dRadiusJitter);
  EXPECT_TRUE(s.m_bArcFitting);
  EXPECT_EQ(0, s.m_nSnowBallGrade);  // not a grade: smoothing off
  EXPECT_EQ(DBL_MAX, s.m_dSnowBallRadius_mm);

  PutParamValue("Optimization", "CornerDownSpeed", "disable");
  LoadPlannerSettings(s);
  EXPECT_EQ(1.0, s.m_dCornerFactor);
}

TEST_F(Settings, G02VerFrom) {
  struct Case {
    const char* stored;
    const char* writtenBack;
    const char* used;
  } cases[] = {
      {"VV5200", "V5200", "V5200"},
      {"vV5300", "V5300", "V5300"},
      {"VER 5200", "VER 5200", "VER5200"},
      {"version5400", "version5400", "VER5400"},
      {"VER", "VER", "VER"},
  };
  for (const Case& c : cases) {
    PutParamValue("Communication", "G02VerFrom", c.stored);
    PlannerSettings s;
    LoadPlannerSettings(s);
    EXPECT_EQ(CString(c.writtenBack), GetParamValue("Communication", "G02VerFrom", "")) << c.stored;
    EXPECT_EQ(CString(c.used), s.m_strG02VerFrom) << c.stored;
  }
}

TEST_F(Settings, WhichVersionsTakeGCommands) {
  struct Case {
    const char* version;
    const char* from;
    bool takes;
  } cases[] = {
      {"VER5100", "VER5300", false}, {"VER5300", "VER5300", true}, {" ver5400 ", "VER5300", true},
      {"V5300", "VER5300", false},   {"", "VER5300", false},       {"VER1000", "V5200", true},  // characters 4-7 "00"
      {"VER53001", "VER5300", true},
  };
  for (const Case& c : cases) EXPECT_EQ(c.takes, VersionTakesGCommands(c.version, c.from)) << c.version;
}

TEST_F(Settings, SupportsGCommands) {
  CString error;
  auto supports = [&]() {
    CPathProcessor p;
    p.SetOutput(&m_queue);
    EXPECT_TRUE(p.PrepareJob(m_job, m_device, m_settings, error));
    return p.SupportsGCommands() != 0;
  };
  m_queue.m_strVersion = "VER5300";
  EXPECT_TRUE(supports());
  m_queue.m_strVersion = "VER5100";
  EXPECT_FALSE(supports());
  m_queue.m_strVersion = "VER5300";
  m_settings.m_bDirecArc = FALSE;
  EXPECT_FALSE(supports());
  m_settings.m_bDirecArc = TRUE;
  m_device.m_nArcSupport = 0;
  EXPECT_FALSE(supports());
  m_device.m_nArcSupport = 1;
  // Roll engraving scales the turning axis: a circle would come out as an ellipse.
  m_device.m_nMachineClass = 4;
  m_job.RollEngrave = TRUE;
  m_job.RollDiameter = 60;
  EXPECT_FALSE(supports());
  CPathProcessor unattached;
  EXPECT_FALSE(unattached.SupportsGCommands());
}

TEST_F(Settings, TheJobOverridesTheSettings) {
  m_settings.m_bArcFitting = TRUE;
  struct Case {
    double smooth, slowDown, jitter, deviation, least;
    int grade;
    double factor;
    bool fitting;
    double polygonDiff, leastArc;
  } cases[] = {
      {0, 0, 0, 0, 0, 0, 1.0, false, 0.4, 0.5},
      {3, 0.05, 0.2, 3, 0.1, 3, 0.1, true, 1.0, 0.5},
      {1.9, 0.7, 0.2, 0.3, 2, 1, 0.7, true, 0.3, 2},
      {2, 0.5, 0.2, 0, 2, 2, 0.5, false, 0.4, 0.5},
  };
  for (const Case& c : cases) {
    m_job.SmoothLevel = c.smooth;
    m_job.SlowDownFraction = c.slowDown;
    m_job.ArcFitRadiusJitter = c.jitter;
    m_job.ArcFitDeviation = c.deviation;
    m_job.ArcFitLeastLength = c.least;
    CString error;
    CPathProcessor p;
    ASSERT_TRUE(p.PrepareJob(m_job, m_device, m_settings, error));
    const PlannerSettings& s = p.GetSettings();
    EXPECT_EQ(c.grade, s.m_nSnowBallGrade) << c.smooth;
    EXPECT_EQ(c.factor, s.m_dCornerFactor) << c.slowDown;
    EXPECT_EQ(c.fitting, s.m_bArcFitting != 0) << c.deviation;
    if (c.fitting) {
      EXPECT_EQ(c.jitter, s.m_dArcFittingError_mm);
      EXPECT_EQ(c.polygonDiff, s.m_dArcPolygonDiff_mm);
      EXPECT_EQ(c.leastArc, s.m_dLeastArcLen_mm);
    }
  }
}

// Every setting the planner divides by is checked when the job is prepared: the start
// fails with a text that names it, instead of planning with NaN.
TEST_F(Settings, SettingsThatCannotBeDivisorsStopTheStart) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    void (*spoil)(JobRecord&, DeviceParams&, PlannerSettings&, double);
  } cases[] = {
      {"[Resolution(StepsPerInch)] X", [](JobRecord&, DeviceParams& d, PlannerSettings&, double v) { d.m_dResX = v; }},
      {"[Resolution(StepsPerInch)] Z", [](JobRecord&, DeviceParams& d, PlannerSettings&, double v) { d.m_dResZ = v; }},
      {"[RatedSpeed(mm/s)] MaxX", [](JobRecord&, DeviceParams& d, PlannerSettings&, double v) { d.m_dMaxSpeedX = v; }},
      {"[RatedSpeed(mm/s)] MaxY", [](JobRecord&, DeviceParams& d, PlannerSettings&, double v) { d.m_dMaxSpeedY = v; }},
      {"[RatedSpeed(mm/s)] MaxZ", [](JobRecord&, DeviceParams& d, PlannerSettings&, double v) { d.m_dMaxSpeedZ = v; }},
      {"[Acceleration] ParamN", [](JobRecord&, DeviceParams& d, PlannerSettings&, double v) { d.m_dParamN = v; }},
      {"Acceleration", [](JobRecord& j, DeviceParams&, PlannerSettings&, double v) { j.Acceleration = v; }},
      {"StartSpeed", [](JobRecord& j, DeviceParams&, PlannerSettings&, double v) { j.StartSpeed = v; }},
      {"[Optimization] MaxSeg(mm)",
       [](JobRecord& j, DeviceParams&, PlannerSettings& s, double v) {
         j.RelativeCoords = TRUE;
         s.m_dMaxSeg_mm = v;
       }},
      {"RollDiameter",
       [](JobRecord& j, DeviceParams& d, PlannerSettings&, double v) {
         d.m_nMachineClass = 4;
         j.RollEngrave = TRUE;
         j.RollDiameter = v;
       }},
      {"[LogEngraving] PCR",
       [](JobRecord& j, DeviceParams& d, PlannerSettings&, double v) {
         d.m_nMachineClass = 4;
         j.RollEngrave = TRUE;
         j.RollDiameter = 50;
         d.m_dPcr = v;
       }},
  };
  for (const Case& c : cases) {
    for (double bad : {0.0, -1.0, nan}) {
      JobRecord job = PlainJob(10);
      DeviceParams device = PlainDevice();
      PlannerSettings settings = PlainSettings();
      c.spoil(job, device, settings, bad);
      CPathProcessor p;
      CString error;
      EXPECT_FALSE(p.PrepareJob(job, device, settings, error)) << c.name << " " << bad;
      EXPECT_NE(-1, error.Find(c.name)) << (const char*)error;
      EXPECT_NE(-1, error.Find("must be greater than 0")) << (const char*)error;
    }
  }
  // MaxSeg matters only to relative jobs, the roll values only to roll engraving.
  PlannerSettings settings = PlainSettings();
  settings.m_dMaxSeg_mm = 0;
  JobRecord job = PlainJob(10);
  job.RollDiameter = 0;
  CPathProcessor p;
  CString error;
  EXPECT_TRUE(p.PrepareJob(job, PlainDevice(), settings, error)) << (const char*)error;
}

TEST_F(Settings, ControllerVersionNumber) {
  struct Case {
    const char* model;
    int number;
  } cases[] = {{"V5", 5}, {" v 12 ", 12}, {"V", 0}, {"", 0}, {"K7x", 7}};
  for (const Case& c : cases) {
    std::strcpy(m_device.m_szControllerModel, c.model);
    CPathProcessor p;
    CString error;
    ASSERT_TRUE(p.PrepareJob(m_job, m_device, m_settings, error));
    EXPECT_EQ(c.number, p.GetControllerVersionNumber()) << c.model;
  }
}

// With the "output" log on, items, plunges and M codes are written to it.
TEST_F(Settings, OutputLog) {
  PutParamValue("System", "LogFile", "enable");
  PutParamValue("System", "LogList", "output,fitting,review");
  ResetLogSwitchForTests();
  PathRecord plunge = MoveRecord(kGLine, 10, 0, -1, kAxisBitsXYZ, true);
  plunge.m_nFlags |= kSegPlunge;
  Run({plunge, TagRecord("M", 8), MoveRecord(kGLine, 20, 0, -1, kAxisBitX)});
  ResetLogSwitchForTests();
  CString found;
  CFileFind finder;
  std::string log;
  for (BOOL more = finder.FindFile(Path("*-output.log")); more;) {
    more = finder.FindNextFile();
    log += testing_support::ReadFileBytes(finder.GetFilePath());
  }
  EXPECT_NE(std::string::npos, log.find("SET PLUNGE: 00000401")) << log;
  EXPECT_NE(std::string::npos, log.find("M Code: 8")) << log;
  EXPECT_NE(std::string::npos, log.find("G01 CutType=1 Org=1 Vn=")) << log;
  EXPECT_NE(std::string::npos, log.find(" PAXYZ 400,0,-40;")) << log;
}

}  // namespace
}  // namespace planner_testing
