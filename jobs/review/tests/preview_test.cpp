// The previews' arithmetic: pen tables and indices, grey settings, the fitting scale,
// the projections, the arc-direction rule and the copy offsets.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "foundation/settings.h"
#include "foundation/tests/app_folder_test.h"
#include "jobs/job_record.h"
#include "jobs/review/preview_projection.h"
#include "jobs/review/preview_style.h"

namespace {

TEST(PreviewPens, FeedIndexIsClampedToTheTableBeforeItBecomesAnInt) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double zPrev, z, scale;
    int levels, expected;
  } cases[] = {
      {0, 0, 10, 180, 0},        // at the surface
      {-1, -1, 10, 180, 10},     // |-2| * 10 / 2
      {-1, -2, 10, 180, 15},     // trunc(15)
      {-0.5, -0.6, 10, 180, 5},  // trunc(5.5)
      {1, 1, 10, 180, 10},       // above the surface: the same magnitude
      {-17, -18, 10, 180, 175},
      {-18, -18, 10, 180, 179},          // the last pen
      {-100, -100, 10, 180, 179},        // deeper than the program: capped
      {-1e300, -1e300, 1e10, 180, 179},  // the product overflows an int (and a double)
      {-1e9, -1e9, 3, 20, 19},           // 3e9 would be a negative int
      {-1, -1, inf, 180, 179},
      {nan, -1, 10, 180, 0},
      {-1, -1, nan, 180, 0},
      {-1, -1, -10, 180, 0},  // a negative scale picks the first pen
      {-5, -5, 10, 1, 0},     // one pen only
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, FeedPenIndex(c.zPrev, c.z, c.scale, c.levels)) << c.zPrev << " " << c.z << " " << c.scale;
}

TEST(PreviewPens, ArcRunsStopAtTheLastPenOfTheirTable) {
  int run = 0;
  for (int piece = 0; piece < 300; ++piece) {
    int index = ArcPenIndex(run);
    EXPECT_GE(index, 0);
    EXPECT_LT(index, kArcPenCount) << piece;
    EXPECT_EQ(piece < kArcPenCount ? piece : kArcPenCount - 1, index) << piece;
    run = NextArcRun(run);
  }
  EXPECT_EQ(kArcRunLimit, run);
  EXPECT_EQ(0, ArcPenIndex(-3));
}

TEST(PreviewPens, ArcColoursRiseForTwentyPiecesThenStayFull) {
  EXPECT_EQ(RGB(0, 110, 0), ArcPenColor(true, 0));
  EXPECT_EQ(RGB(0, 117, 0), ArcPenColor(true, 1));
  EXPECT_EQ(RGB(0, 243, 0), ArcPenColor(true, 19));
  EXPECT_EQ(RGB(0, 255, 0), ArcPenColor(true, 20));
  EXPECT_EQ(RGB(0, 255, 0), ArcPenColor(true, 254));
  EXPECT_EQ(RGB(0, 0, 110), ArcPenColor(false, 0));
  EXPECT_EQ(RGB(0, 0, 243), ArcPenColor(false, 19));
  EXPECT_EQ(RGB(0, 0, 255), ArcPenColor(false, 100));
}

TEST(PreviewPens, GreySettingsAreClampedAndSpreadOverTwentyLevelsAtLeast) {
  struct Case {
    int low, high, expLow, expHigh;
  } cases[] = {
      {20, 200, 20, 200}, {250, 100, 250, 270}, {-5, 300, 0, 255}, {100, 110, 100, 120}, {300, -1, 255, 275},
  };
  for (const Case& c : cases) {
    GraySettings g = MakeGraySettings(true, c.low, c.high);
    EXPECT_EQ(c.expLow, g.nLow) << c.low;
    EXPECT_EQ(c.expHigh, g.nHigh) << c.high;
  }
  // Low 250, high 100: twenty shades 250..255, then 0..13.
  GraySettings g = MakeGraySettings(true, 250, 100);
  ASSERT_EQ(20, g.Levels());
  EXPECT_EQ(RGB(250, 250, 250), FeedPenColor(g, true, 0));
  EXPECT_EQ(RGB(255, 255, 255), FeedPenColor(g, true, 5));
  EXPECT_EQ(RGB(0, 0, 0), FeedPenColor(g, true, 6));
  EXPECT_EQ(RGB(13, 13, 13), FeedPenColor(g, true, 19));
  EXPECT_EQ(kFeedRed, FeedPenColor(g, false, 7));
}

class GreyFileTest : public AppFolderTest {};

TEST_F(GreyFileTest, SettingsComeFromTheDisplaySection) {
  GraySettings g = ReadGraySettings();
  EXPECT_TRUE(g.bEnabled);
  EXPECT_EQ(20, g.nLow);
  EXPECT_EQ(200, g.nHigh);
  PutParamValue("Display", "EnableGray", "disable");
  PutParamValue("Display", "GrayLow", "99999999999999999999");
  PutParamValue("Display", "GrayHigh", "-7");
  g = ReadGraySettings();
  EXPECT_FALSE(g.bEnabled);
  EXPECT_EQ(255, g.nLow);
  EXPECT_EQ(275, g.nHigh);
}

TEST(PreviewProjection, ScaleSkipsEmptyTermsAndFallsBackToOne) {
  struct Case {
    double rx, sx, ry, sy, expected;
  } cases[] = {
      {690, 100, 490, 50, 6.9},    // X limits
      {690, 10, 490, 70, 7.0},     // Y limits
      {690, 0, 490, 70, 7.0},      // no width: only Y counts
      {690, 100, 490, 0, 6.9},     // no height: only X counts
      {690, 0, 490, 0, 1.0},       // a one-point program
      {690, -3, 490, 0, 1.0},      // a box of negative size gives no limit either
      {690, 1e-320, 490, 0, 1.0},  // a denormal size would make the scale infinite
      {-10, 100, 490, 50, 9.8},    // no room across
      {-10, 100, -5, 50, 1.0},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(c.expected, FitScale(c.rx, c.sx, c.ry, c.sy)) << c.sx << " " << c.sy;
}

TEST(PreviewProjection, ViewsPutTheBoxCornersWhereTheyBelong) {
  CPreviewProjection p;
  // 100 x 50 x 10 in 750 x 550: s = min(690 / 100, 490 / 50) = 6.9.
  p.Setup(kViewXY, Vec3(100, 50, 10), 750, 550);
  EXPECT_DOUBLE_EQ(6.9, p.Scale());
  EXPECT_DOUBLE_EQ(30.0, p.OffsetX());
  EXPECT_DOUBLE_EQ((550 - 345) / 2.0, p.OffsetY());
  POINT a = p.Map(Vec3(0, 0, 0)), b = p.Map(Vec3(100, 50, 0));
  EXPECT_EQ(30, a.x);
  EXPECT_EQ(447, a.y);  // y up: the origin at the bottom (102.5 + 345)
  EXPECT_EQ(720, b.x);
  EXPECT_EQ(102, b.y);

  p.Setup(kViewYZ, Vec3(100, 50, 10), 750, 550);  // s = min(690 / 50, 490 / 10) = 13.8
  EXPECT_DOUBLE_EQ(13.8, p.Scale());
  POINT c = p.Map(Vec3(0, 50, 10));
  EXPECT_EQ(720, c.x);
  EXPECT_EQ(TruncPixel((550 - 138) / 2.0), c.y);

  p.Setup(kViewZX, Vec3(100, 50, 10), 750, 550);  // s = min(6.9, 49) = 6.9
  EXPECT_DOUBLE_EQ(6.9, p.Scale());

  // Oblique: Y at 45 degrees, half length.
  p.Setup(kViewOblique, Vec3(100, 50, 10), 750, 550);
  double w = kCos45 * 25 + 100, h = kCos45 * 25 + 10;
  EXPECT_DOUBLE_EQ(std::fmin(690 / w, 490 / h), p.Scale());
  POINT o = p.Map(Vec3(0, 50, 10));  // top far corner
  EXPECT_EQ(TruncPixel(kCos45 * 25 * p.Scale() + p.OffsetX()), o.x);
  EXPECT_EQ(TruncPixel(p.OffsetY()), o.y);
  p.Setup(17, Vec3(100, 50, 10), 750, 550);  // unknown views are drawn obliquely
  EXPECT_TRUE(p.IsOblique());
  EXPECT_DOUBLE_EQ(std::fmin(690 / w, 490 / h), p.Scale());
}

TEST(PreviewProjection, PixelsFarOutAreHeldWithinReach) {
  EXPECT_EQ(kPixelLimit, TruncPixel(1e300));
  EXPECT_EQ(-kPixelLimit, TruncPixel(-std::numeric_limits<double>::infinity()));
  EXPECT_EQ(0, TruncPixel(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(-3, TruncPixel(-3.9));
  CPreviewProjection p;
  p.Setup(kViewXY, Vec3(0, 0, 0), 750, 550);  // a one-point program: 1 pixel per mm, centred
  EXPECT_DOUBLE_EQ(1.0, p.Scale());
  POINT a = p.Map(Vec3(0, 0, 0));
  EXPECT_EQ(375, a.x);
  EXPECT_EQ(275, a.y);
  POINT distant = p.Map(Vec3(1e200, -1e200, 0));
  EXPECT_EQ(kPixelLimit, distant.x);
  EXPECT_EQ(kPixelLimit, distant.y);
}

TEST(PreviewArcs, OrientationsAndTheZFlipMirrorTheirPlanes) {
  for (int o = 0; o <= 9; ++o) {
    bool xy = o == 2 || o == 3 || o == 5 || o == 8;
    bool zx = o == 2 || o == 6 || o == 7 || o == 8;
    bool yz = o == 4 || o == 5 || o == 6 || o == 8;
    for (bool flipZ : {false, true}) {
      EXPECT_EQ(xy, IsArcMirrored(kPlaneXY, o, flipZ)) << o;
      EXPECT_EQ(zx != flipZ, IsArcMirrored(kPlaneZX, o, flipZ)) << o;
      EXPECT_EQ(yz != flipZ, IsArcMirrored(kPlaneYZ, o, flipZ)) << o;
    }
  }
  EXPECT_EQ(kPlaneXY, PlaneOfCode(17));
  EXPECT_EQ(kPlaneZX, PlaneOfCode(18));
  EXPECT_EQ(kPlaneYZ, PlaneOfCode(19));
  EXPECT_EQ(-1, PlaneOfCode(20));
}

TEST(PreviewCopies, XOutermostZInnermostAndAbsurdCountsCostNothing) {
  JobRecord job;
  job.CopiesX = 2;
  job.CopiesY = 3;
  job.CopiesZ = 0;  // one
  job.CopyOffsetX = 100;
  job.CopyOffsetY = 10;
  job.CopyOffsetZ = 5;
  CCopyOffsets copies(job, true);
  ASSERT_EQ(6, copies.Count());
  const double expected[6][2] = {{0, 0}, {0, 10}, {0, 20}, {100, 0}, {100, 10}, {100, 20}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(expected[i][0], copies.At(i).x) << i;
    EXPECT_EQ(expected[i][1], copies.At(i).y) << i;
    EXPECT_EQ(0.0, copies.At(i).z) << i;
  }
  EXPECT_EQ(1, CCopyOffsets(job, false).Count());
  EXPECT_EQ(0.0, CCopyOffsets(job, false).At(0).x);
  job.CopiesX = job.CopiesY = job.CopiesZ = 0x7FFFFFFF;
  CCopyOffsets many(job, true);
  EXPECT_EQ((long long)kMaxPreviewCopies * kMaxPreviewCopies * kMaxPreviewCopies, many.Count());
  EXPECT_EQ(5.0, many.At(1).z);
}

}  // namespace
