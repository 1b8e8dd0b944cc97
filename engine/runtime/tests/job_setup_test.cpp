// What the engine derives from a job: orientation, copies, the record preparation of
// the processing thread, and the checks of a start with their texts.
#include <gtest/gtest.h>

#include <string>

#include "engine/runtime/job_setup.h"
#include "foundation/settings.h"

namespace {

// The texts are compared in English; one test shows the Chinese pair is used.
class English : public ::testing::Environment {
 public:
  void SetUp() override { g_nUiLanguage = 1; }
};
const ::testing::Environment* const kEnglish = ::testing::AddGlobalTestEnvironment(new English);

JobRecord JobWithExtent(Vec3 min, Vec3 max) {
  JobRecord job;
  job.FeedMin = min;
  job.FeedMax = max;
  job.CopiesX = job.CopiesY = job.CopiesZ = 1;
  return job;
}

TEST(JobSetup, OrientationTable) {
  struct {
    int orientation;
    Vec3 in, out;
  } cases[] = {
      {1, {30, 2, 0}, {30, 2, 0}},  {2, {30, 2, 0}, {70, 2, 0}},  {3, {30, 2, 0}, {48, 70, 0}},
      {4, {30, 2, 0}, {2, 70, 0}},  {5, {30, 2, 0}, {30, 48, 0}}, {6, {30, 2, 0}, {70, 48, 0}},
      {7, {30, 2, 0}, {48, 30, 0}}, {8, {10, 2, 0}, {2, 10, 0}},  {0, {30, 2, 0}, {30, 2, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.orientation);
    JobRecord job = JobWithExtent(Vec3(0, 0, 0), Vec3(100, 50, 0));
    job.Orientation = (uint8_t)c.orientation;
    TransformMatrix t;
    SetupOrientation(job, t);
    Vec3 p = t.Apply(c.in);
    EXPECT_DOUBLE_EQ(c.out.x, p.x);
    EXPECT_DOUBLE_EQ(c.out.y, p.y);
  }
  JobRecord flipped = JobWithExtent(Vec3(0, 0, -5), Vec3(100, 50, 0));
  flipped.FlipZ = 1;
  TransformMatrix t;
  SetupOrientation(flipped, t);
  EXPECT_DOUBLE_EQ(5.0, t.Apply(Vec3(0, 0, -5)).z);
}

TEST(JobSetup, MasksAndTurningSense) {
  EXPECT_EQ(0x60, RotateAxisMask(4, 0xA0));  // X|Z -> Y|Z
  EXPECT_EQ(0xA0, RotateAxisMask(8, 0x60));
  EXPECT_EQ(0x20, RotateAxisMask(3, 0x21));  // other bits go
  EXPECT_EQ(0xA1, RotateAxisMask(6, 0xA1));
  // XY plane: 2, 3, 5, 8 mirror the turning sense.
  for (int o = 0; o <= 8; ++o) EXPECT_EQ(o == 2 || o == 3 || o == 5 || o == 8, ArcTurnFlips(o, FALSE, 0)) << o;
  EXPECT_TRUE(ArcTurnFlips(1, TRUE, 8));
  EXPECT_FALSE(ArcTurnFlips(4, TRUE, 8));
  EXPECT_TRUE(ArcTurnFlips(4, FALSE, 8));
  EXPECT_TRUE(ArcTurnFlips(7, FALSE, 4));
  EXPECT_FALSE(ArcTurnFlips(7, TRUE, 4));
}

TEST(JobSetup, PreparesRecordsForThePlanner) {
  RecordTransform how;
  JobRecord job = JobWithExtent(Vec3(0, 0, 0), Vec3(100, 50, 0));
  job.Orientation = 2;
  how.nOrientation = 2;
  SetupOrientation(job, how.transform);
  how.copyOffset = Vec3(0, 10, 0);
  int plane = 0;
  PathRecordData arc = {};
  arc.m_nCode = 2;
  arc.m_byAxes = 0xC0;
  arc.m_vEnd = Vec3(30, 2, 1);
  arc.m_vCenter = Vec3(20, 2, 1);
  PrepareJobRecord(arc, plane, how);
  EXPECT_EQ(3, arc.m_nCode);  // orientation 2 mirrors X: the arc turns the other way
  EXPECT_DOUBLE_EQ(70, arc.m_vEnd.x);
  EXPECT_DOUBLE_EQ(12, arc.m_vEnd.y);
  EXPECT_DOUBLE_EQ(80, arc.m_vCenter.x);
  EXPECT_EQ(0xC0, arc.m_byAxes);

  how.nOrientation = 6;
  PathRecordData planeCode = {};
  planeCode.m_nCode = 19;
  PrepareJobRecord(planeCode, plane, how);
  EXPECT_EQ(8, plane);
  PathRecordData keep = {};
  keep.m_nCode = 2;
  plane = 0;
  PrepareJobRecord(keep, plane, how);
  EXPECT_EQ(2, keep.m_nCode);  // orientation 6 mirrors both axes: the sense stays
}

TEST(JobSetup, CopyOffsets) {
  JobRecord job;
  job.CopiesX = 2;
  job.CopiesY = -3;  // a negative count runs by its absolute value
  job.CopiesZ = 0;
  job.CopyOffsetX = 12.9;
  job.CopyOffsetY = 5;
  std::vector<Vec3> offsets;
  EXPECT_TRUE(PrepareCopies(job, offsets));
  ASSERT_EQ(6u, offsets.size());
  EXPECT_DOUBLE_EQ(0, offsets[0].x);
  EXPECT_DOUBLE_EQ(10, offsets[2].y);  // Y inside X
  EXPECT_DOUBLE_EQ(12.9, offsets[3].x);
  job.CopiesX = job.CopiesY = 1;
  EXPECT_FALSE(PrepareCopies(job, offsets));
  EXPECT_EQ(1u, offsets.size());
}

TEST(JobSetup, TagRange) {
  CString message;
  EXPECT_TRUE(CheckTagRange(0, 239, 240, message));
  EXPECT_FALSE(CheckTagRange(240, 0, 240, message));
  EXPECT_STREQ("Available Number Start:[0-239]", message);
  EXPECT_FALSE(CheckTagRange(-1, 0, 240, message));
  EXPECT_STREQ("Available Number Start:[0-239]", message);
  EXPECT_FALSE(CheckTagRange(0, 240, 240, message));
  EXPECT_STREQ("Available Number End:[0-239]", message);
  // No tags: no range at all (total - 1 must not wrap and let every range pass).
  EXPECT_FALSE(CheckTagRange(0, 0, 0, message));
  EXPECT_STREQ("No data imported", message);
  EXPECT_FALSE(CheckTagRange(-1, 0, 0xFFFFFFFFu, message));
  EXPECT_TRUE(CheckTagRange(0, 0x7FFFFFFF, 0x80000000u, message));
}

// A work area of 600 x 400 x 100 mm with the origin at (100, 50, 80) mm.
WorkArea Area(double resX, double resY, double resZ) {
  WorkArea a;
  a.res_steps_in[0] = resX;
  a.res_steps_in[1] = resY;
  a.res_steps_in[2] = resZ;
  a.work_steps = Vec3(600 * resX / 25.4, 400 * resY / 25.4, 100 * resZ / 25.4);
  a.origin_steps = Vec3(100 * resX / 25.4, 50 * resY / 25.4, 80 * resZ / 25.4);
  return a;
}

TEST(JobSetup, WorkRange) {
  TransformMatrix identity;
  CString message;
  double lift = 50;
  // Allowed: X [-100, 500], Y [-50, 350], Z [-80, 20].
  JobRecord fits = JobWithExtent(Vec3(-100.0001, 0, -5), Vec3(500, 350, 0));
  fits.MaterialHeight = 10;
  EXPECT_TRUE(CheckWorkRange(fits, identity, Area(1016, 1016, 1016), lift, message)) << (const char*)message;
  EXPECT_DOUBLE_EQ(20.0, lift);  // the parking lift drops to the top of the Z range

  JobRecord outside = JobWithExtent(Vec3(-101, 0, -12), Vec3(510, 10, 0));
  outside.MaterialHeight = 10;
  lift = 50;
  EXPECT_FALSE(CheckWorkRange(outside, identity, Area(1016, 1016, 1016), lift, message));
  EXPECT_STREQ(
      "X out of negtive range:1.000 mm \r\nX out of range:10.000 mm \r\nZ exceeds depth of material:2.000 mm \r\n"
      "\r\nAllowed range for X [-100.000, 500.000]mm\r\n \r\nAllowed range for Y [-50.000, 350.000]mm\r\n \r\n"
      "Allowed range for Z [-80.000, 20.000]mm",
      message);

  // Mirrored X: the lower corner is FeedMax mapped.
  JobRecord mirrored = JobWithExtent(Vec3(0, 0, 0), Vec3(600, 10, 0));
  mirrored.Orientation = 2;
  TransformMatrix t;
  SetupOrientation(mirrored, t);
  EXPECT_FALSE(CheckWorkRange(mirrored, t, Area(1016, 1016, 1016), lift, message));
  EXPECT_EQ(0, message.Find("X out of range:100.000 mm"));
}

TEST(JobSetup, WorkRangeUsesEachAxisResolution) {
  // X at 1016 steps/inch, Z at 254: the controller's Z steps are four times as long.
  TransformMatrix identity;
  CString message;
  double lift = 50;
  JobRecord job = JobWithExtent(Vec3(0, 0, -80), Vec3(10, 10, 20));
  job.MaterialHeight = 100;
  EXPECT_TRUE(CheckWorkRange(job, identity, Area(1016, 1016, 254), lift, message)) << (const char*)message;
  // One Z step (0.1 mm) is the Z tolerance, not one X step (0.025 mm).
  job.FeedMax = Vec3(10, 10, 20.09);
  EXPECT_TRUE(CheckWorkRange(job, identity, Area(1016, 1016, 254), lift, message));
  job.FeedMax = Vec3(10, 10, 20.2);
  EXPECT_FALSE(CheckWorkRange(job, identity, Area(1016, 1016, 254), lift, message));
  EXPECT_EQ(0, message.Find("Z out of range:0.200 mm"));
}

TEST(JobSetup, CopiesRange) {
  TransformMatrix identity;
  CString message;
  double lift = 50;
  JobRecord job = JobWithExtent(Vec3(0, 0, 0), Vec3(100, 50, 0));
  CopySettings one;
  EXPECT_EQ(kCopiesFit, CheckCopiesRange(job, identity, Area(1016, 1016, 1016), one, lift, message));

  CopySettings fit;
  fit.count[0] = 3;
  fit.spacing_mm[0] = 150;
  EXPECT_EQ(kCopiesFit, CheckCopiesRange(job, identity, Area(1016, 1016, 1016), fit, lift, message));
  EXPECT_TRUE(message.IsEmpty());

  // Copies closer than the job is wide: a warning text, the job may run.
  CopySettings tight;
  tight.count[0] = 3;
  tight.spacing_mm[0] = 80;
  EXPECT_EQ(kCopiesWarning, CheckCopiesRange(job, identity, Area(1016, 1016, 1016), tight, lift, message));
  EXPECT_EQ(0, message.Find("Offset of X can't be less than:100.000 mm\r\n"));
  EXPECT_NE(-1, message.Find("Please make sure Copy Settings\r\n\r\nContinue"));

  CopySettings spread;
  spread.count[0] = 5;
  spread.spacing_mm[0] = 120;  // the last copy ends at 580 > 500
  EXPECT_EQ(kCopiesOutside, CheckCopiesRange(job, identity, Area(1016, 1016, 1016), spread, lift, message));
  EXPECT_EQ(0, message.Find("X out of range:80.000 mm"));
  CopySettings back;
  back.count[1] = 2;
  back.spacing_mm[1] = -60;
  EXPECT_EQ(kCopiesOutside, CheckCopiesRange(job, identity, Area(1016, 1016, 1016), back, lift, message));
  EXPECT_EQ(0, message.Find("Y out of negtive range:10.000 mm"));
}

TEST(JobSetup, TextsInTheUiLanguage) {
  CString message;
  g_nUiLanguage = 0;
  CheckTagRange(5, 0, 5, message);
  g_nUiLanguage = 1;
  EXPECT_STREQ("\xD3\xD0\xD0\xA7\xB1\xE0\xBA\xC5 Start:[0-4]", message);  // GB bytes of the Chinese label
}

}  // namespace
