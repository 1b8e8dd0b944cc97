// The engine's settings: defaults, limits, and the keys a fresh "Parameters.ini" lists
// after one start.
#include <gtest/gtest.h>

#include <string>

#include "engine/runtime/engine_settings.h"
#include "foundation/settings.h"
#include "foundation/tests/app_folder_test.h"
#include "platform/profile.h"

namespace {

using EngineSettingsTest = AppFolderTest;

TEST_F(EngineSettingsTest, FreshFolderListsTheKeptKeys) {
  EngineTraceSettings trace;
  LoadTraceSettings(trace);
  EngineSettings settings;
  LoadEngineSettings(settings);
  EXPECT_EQ(10000u, settings.nAttachTimeout_ms);
  EXPECT_DOUBLE_EQ(50.0, settings.dParkingLift_mm);
  EXPECT_TRUE(settings.bDirecArc);
  EXPECT_FALSE(settings.bShowDataRate);
  EXPECT_TRUE(trace.bLogMergeSeg);
  EXPECT_FALSE(trace.frames.bLogCom);
  CString file = GetParamsFilePath();
  struct {
    const char* section;
    const char* key;
    const char* value;  // null: not written
  } keys[] = {
      {"Communication", "LinkTimeout(ms)", "10000"},
      {"Communication", "LiftDelay(ms)", "0"},
      {"Communication", "CrcErrSimulate", "disable"},
      {"Communication", "LostSimulate", "disable"},
      {"Optimization", "MinArcReplace(mm)", "2"},
      {"Optimization", "Arc2Line", "1"},
      {"Optimization", "double_zero", "0.0000001"},
      {"Trace", "LogMergeSeg", "enable"},
      {"Trace", "LogCOM", "disable"},
      {"Trace", "LogSimu", "disable"},
      {"Communication", "DirecArc", nullptr},
      {"Device", "ParkingLift(mm)", nullptr},
      {"Device", "MinParkingLift(mm)", nullptr},
      {"Device", "PauseForToolChange", nullptr},
      {"Communication", "ShowDataRate", nullptr},
  };
  for (const auto& k : keys) {
    SCOPED_TRACE(k.key);
    EXPECT_EQ(k.value != nullptr, ProfileHasKey(k.section, k.key, file) != FALSE);
    if (k.value) {
      EXPECT_STREQ(k.value, GetParamValue(k.section, k.key, "?"));
    }
  }
}

TEST_F(EngineSettingsTest, Limits) {
  struct {
    const char* linkTimeout;
    DWORD attach_ms;
    const char* lift;
    const char* minLift;
    double lift_mm;
  } cases[] = {
      {"3000", 5000, "5", "10", 10.0},
      {"20000", 20000, "80", "10", 80.0},
      {"5001", 5001, "50", "60", 60.0},
      {"abc", 5000, "x", "10", 10.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.linkTimeout);
    PutParamValue("Communication", "LinkTimeout(ms)", c.linkTimeout);
    PutParamValue("Device", "ParkingLift(mm)", c.lift);
    PutParamValue("Device", "MinParkingLift(mm)", c.minLift);
    EngineSettings settings;
    LoadEngineSettings(settings);
    EXPECT_EQ(c.attach_ms, settings.nAttachTimeout_ms);
    EXPECT_DOUBLE_EQ(c.lift_mm, settings.dParkingLift_mm);
  }
  PutParamValue("Optimization", "double_zero", "0.001");
  EngineSettings settings;
  LoadEngineSettings(settings);
  EXPECT_DOUBLE_EQ(0.001, g_dDoubleZero);
  g_dDoubleZero = 1e-7;
}

}  // namespace
