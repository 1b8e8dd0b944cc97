// The job summary text, from a record and from its file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "jobs/job_files.h"
#include "jobs/job_summary.h"
#include "platform/testing/test_support.h"

using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

JobRecord SummaryJob() {
  JobRecord j;
  std::strcpy(j.JobName, "Panel");
  j.Created = (int32_t)CTime(2024, 3, 5, 14, 7, 0).GetTime();
  j.FormatStamp = kJobFormatStamp;
  std::strcpy(j.SourcePath, "C:\\nc\\panel.nc");
  std::strcpy(j.FormatName, "GCODE");
  j.SourceTime = (int32_t)CTime(2023, 12, 31, 23, 59, 0).GetTime();
  j.SourceSize = 2048;
  j.TotalTags = 12;
  j.ToolpathLength = 1234.56;
  j.DoorWidth = 800.0;
  j.FeedMin = Vec3(-1, -2, -3);
  j.FeedMax = Vec3(100, 200, 0.5);
  j.TraverseZMin = 2.0;
  j.TraverseZMax = 15.0;
  j.Scale = Vec3(1, 1, 1);
  std::strcpy(j.DeviceName, "Router");
  std::strcpy(j.Connection, "SIMU:");
  j.AutoDisconnect = 1;
  j.CopiesX = 2;
  j.CopiesY = -3;  // runs as one copy
  j.CopiesZ = 1;
  j.CopyOffsetX = 120.0;
  j.TagRangeStart = 1;
  j.TagRangeEnd = 12;
  j.MaterialHeight = 18.0;
  std::strcpy(j.UsedTools, "T1");
  j.ToolCount = 1;
  j.TraverseSpeed = 100.0;
  j.FeedSpeed = 25.0;
  j.PlungeSpeed = 5.0;
  j.StartSpeed = 2.0;
  j.Acceleration = 500.0;
  j.SpindleSpeed = 18000.0;
  j.TWordEnabled = 1;
  j.Switch2 = 1;
  j.SpindleOn = 1;
  j.RollDiameter = 60.0;
  j.CornerArcDeviation = 0.03;
  j.CornerArcLeastRadius = 0.5;
  j.CollinearAngle = 2.0;
  j.CollinearTolerance = 0.01;
  j.CollinearSideLeastLength = 0.2;
  j.ArcFitRadiusJitter = 0.02;
  j.ArcFitDeviation = 0.005;
  j.ArcFitLeastLength = 0.5;
  j.SlowDownFraction = 0.25;
  j.SmoothLevel = 3.0;
  return j;
}

const char kSummary[] =
    "Job Summary: (System of measurement: mm, mm/s, mm/s/s, degree)\r\n\r\n"
    "Job Name: Panel, Created: 2024-03-05 14:07\r\n"
    "Job Format Version: 20090709\r\n"
    "\r\n"
    "Toolpath: C:\\nc\\panel.nc, Format: GCODE\r\n"
    "File Modified: 2023-12-31 23:59, File Size: 2048 bytes\r\n"
    "Total Tags: 12, Toolpath Length: 1235 mm\r\n"
    "Toolpath for Door: No, width=800.000 mm\r\n"
    "Minimum Feed Axises: (-1.000, -2.000, -3.000)mm\r\n"
    "Maximum Feed Axises: (100.000, 200.000, 0.500)mm\r\n"
    "Z Traverse Range: 2.000 mm --> 15.000 mm\r\n"
    "Scale: (1.000 x 1.000 x 1.000)mm\r\n"
    "\r\n"
    "Device: Router\r\n"
    "Coordinate System: Absolute\r\n"
    "Connection: SIMU:\r\n"
    "Auto Dissconnect: Enable\r\n"
    "Copies: 2 x 1 x 1, Offset:(120.000, 0.000, 0.000)mm\r\n"
    "Tag Range: 1 --> 12\r\n"
    "Height of Material: 18.000 mm\r\n"
    "\r\n"
    "Used Tools: T1\r\n"
    "Traverse Velocity: 100.000 mm/s\r\n"
    "Feed Velocity: 25.000 mm/s\r\n"
    "Plunge Velocity: 5.000 mm/s\r\n"
    "Start Velocity: 2.000 mm/s\r\n"
    "Accelerator: 500.000 mm/s/s\r\n"
    "Spindle Speed: 18000 rpm\r\n"
    "\r\n"
    "2D Mode: Disable\r\n"
    "2D Testing: Disable\r\n"
    "T Word: Enable, F Word: Disable, S Word: Disable\r\n"
    "\r\n"
    "Switch #1: Off, Switch #2: On\r\n"
    "\r\n"
    "Coolant: Off, Spindle: On\r\n"
    "\r\n"
    "Surface Auto-detect: Disable\r\n"
    "Roll Engrave: Disable\r\n"
    "Roll Diameter: 60.000 mm\r\n"
    "\r\n"
    "Corner to Arc Deviation: 0.030 mm\r\n"
    "Corner to Arc Least Radius: 0.500 mm\r\n"
    "Collinear Angle: 2 degree\r\n"
    "Collinear Tolerance: 0.010 mm\r\n"
    "Collinear Side Least Length: 0.200 mm\r\n"
    "Arc Fitting Radius Jitter: 0.020 mm\r\n"
    "Arc Fitting Deviation: 0.005 mm\r\n"
    "Arc Fitting Least Length: 0.500 mm\r\n"
    "Slow down in percent: 25%\r\n"
    "Smooth Level: 3\r\n";

TEST(JobSummary, WholeText) { EXPECT_STREQ(kSummary, FormatJobSummary(SummaryJob())); }

TEST(JobSummary, SeveralToolsListTheirVelocities) {
  JobRecord j = SummaryJob();
  j.ToolCount = 2;
  j.ToolSpeeds[0] = {"T1", 100.0, 20.0, 5.0, 2.0, 400.0, 12000.0};
  j.ToolSpeeds[1] = {"T2", 90.0, 15.5, 4.0, 1.0, 300.0, 9000.0};
  CString text = FormatJobSummary(j);
  EXPECT_NE(-1, text.Find("Used Tools: T1\r\n"
                          "Tool=#1,Traverse=100.000,Feed=20.000,Plunge=5.000,Start=2.000,Acc.=400.000,Spindle=12000\r\n"
                          "Tool=#2,Traverse=90.000,Feed=15.500,Plunge=4.000,Start=1.000,Acc.=300.000,Spindle=9000\r\n"
                          "\r\n2D Mode"));
  EXPECT_EQ(-1, text.Find("Traverse Velocity"));
  // A tool count beyond the table lists the table.
  j.ToolCount = 200;
  text = FormatJobSummary(j);
  EXPECT_NE(-1, text.Find("Tool=#16,"));
  EXPECT_EQ(-1, text.Find("Tool=#17,"));
}

TEST(JobSummary, TextsEndInsideTheirFields) {
  JobRecord j = SummaryJob();
  std::memset(j.JobName, 'A', sizeof j.JobName);
  std::memset(j.FormatName, 'F', sizeof j.FormatName);
  CString text = FormatJobSummary(j);
  EXPECT_NE(-1, text.Find(CString("Job Name: ") + CString('A', 259) + ", Created: "));
  EXPECT_NE(-1, text.Find(", Format: FFFFFFF\r\n"));
}

TEST(JobSummary, FromTheFile) {
  TempDir dir;
  CString path = dir / "Panel.jobinfo";
  ASSERT_TRUE(WriteJobInfoFile(path, SummaryJob()));
  EXPECT_STREQ(kSummary, ReadJobSummary(path));
  EXPECT_STREQ("", ReadJobSummary(dir / "missing.jobinfo"));
  // A short file: what it holds, zeros for the rest.
  ASSERT_TRUE(WriteFileBytes(path, std::string("Short\0", 6)));
  CString text = ReadJobSummary(path);
  EXPECT_NE(-1, text.Find("Job Name: Short, Created: "));
  EXPECT_NE(-1, text.Find("Job Format Version: 00000000\r\n"));
  EXPECT_NE(-1, text.Find("Copies: 1 x 1 x 1,"));
}

}  // namespace
