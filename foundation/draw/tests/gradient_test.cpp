// Band arithmetic of the gradient.
#include <gtest/gtest.h>

#include "foundation/draw/gradient.h"

namespace {

int TotalWidth(const GradientBandArray& bands) {
  int sum = 0;
  for (const GradientBand& b : bands) sum += b.width;
  return sum;
}

// The colour at an axis position of a band list laid from 0.
COLORREF ColorAt(const GradientBandArray& bands, int pos) {
  int a = 0;
  for (const GradientBand& b : bands) {
    if (pos < a + b.width) return b.color;
    a += b.width;
  }
  return (COLORREF)-1;
}

TEST(GradientTest, TwoColourBandsFollowTheSinglePrecisionSteps) {
  CGradient g;
  g.SetColors(RGB(255, 0, 0), RGB(0, 0, 255));
  GradientBandArray bands;
  g.MakeBands(bands, 100, 0, -1, (UINT)-1);
  ASSERT_EQ(100, bands.GetSize());
  for (const GradientBand& b : bands) EXPECT_EQ(1, b.width);
  struct {
    int band;
    COLORREF color;
  } cases[] = {{0, RGB(255, 0, 0)}, {1, RGB(253, 0, 2)}, {20, RGB(205, 0, 50)}, {99, RGB(3, 0, 252)}};
  for (auto& c : cases) EXPECT_EQ(c.color, bands[c.band].color) << "band " << c.band;
}

TEST(GradientTest, FewLevelsGiveWideBands) {
  CGradient g;
  g.SetColors(RGB(0, 0, 0), RGB(10, 10, 10));
  GradientBandArray bands;
  g.MakeBands(bands, 100, 0, -1, (UINT)-1);
  ASSERT_EQ(10, bands.GetSize());
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(10, bands[i].width);
    EXPECT_EQ(RGB(i, i, i), bands[i].color);
  }
  // Equal colours: one solid band.
  g.SetColors(RGB(9, 9, 9), RGB(9, 9, 9));
  bands.RemoveAll();
  g.MakeBands(bands, 100, 0, -1, (UINT)-1);
  ASSERT_EQ(1, bands.GetSize());
  EXPECT_EQ(100, bands[0].width);
}

TEST(GradientTest, PartsAreClippedAtBothEnds) {
  CGradient g;
  g.SetColors(RGB(255, 0, 0), RGB(0, 0, 255));
  GradientBandArray full, part;
  g.MakeBands(full, 100, 0, -1, (UINT)-1);
  g.MakeBands(part, 100, 30, 60, (UINT)-1);
  EXPECT_EQ(30, TotalWidth(part));
  // Laid from position 30, the part shows the full gradient's colours there.
  int pos = 30;
  for (const GradientBand& b : part) {
    if (b.width) {
      EXPECT_EQ(ColorAt(full, pos), b.color) << pos;
    }
    pos += b.width;
  }
}

TEST(GradientTest, ShiftRotatesTowardTheFarEnd) {
  CGradient g;
  g.SetColors(RGB(255, 0, 0), RGB(0, 0, 255));
  GradientBandArray full, shifted, negative;
  g.MakeBands(full, 100, 0, -1, (UINT)-1);
  g.MakeShiftedBands(shifted, 25, 100, 0, -1, (UINT)-1);
  g.MakeShiftedBands(negative, -75, 100, 0, -1, (UINT)-1);
  EXPECT_EQ(100, TotalWidth(shifted));
  for (int pos = 0; pos < 100; ++pos) EXPECT_EQ(ColorAt(full, (pos + 75) % 100), ColorAt(shifted, pos)) << pos;
  EXPECT_EQ(RGB(255, 0, 0), ColorAt(shifted, 25));
  ASSERT_EQ(shifted.GetSize(), negative.GetSize());
  for (int i = 0; i < shifted.GetSize(); ++i) EXPECT_EQ(shifted[i].color, negative[i].color);
  // A band straddling the cut is split.
  g.SetColors(RGB(0, 0, 0), RGB(4, 4, 4));  // 4 bands of 25
  GradientBandArray split;
  g.MakeShiftedBands(split, 10, 100, 0, -1, (UINT)-1);
  ASSERT_EQ(5, split.GetSize());
  EXPECT_EQ(10, split[0].width);
  EXPECT_EQ(RGB(3, 3, 3), split[0].color);
  EXPECT_EQ(15, split[4].width);
}

TEST(GradientTest, ThreeColoursFollowTheirBandWidths) {
  CGradient g;
  g.SetColors(3, RGB(0, 0, 0), RGB(200, 0, 0), RGB(200, 200, 0));
  g.SetBandWidths(1.0, 4.0);  // 20 % and 80 %
  EXPECT_DOUBLE_EQ(20.0, g.GetBandWidth(0));
  EXPECT_DOUBLE_EQ(80.0, g.GetBandWidth(1));
  GradientBandArray bands;
  g.MakeBands(bands, 200, 0, -1, (UINT)-1);
  EXPECT_EQ(200, TotalWidth(bands));
  EXPECT_EQ(RGB(0, 0, 0), ColorAt(bands, 0));
  EXPECT_EQ(RGB(200, 0, 0), ColorAt(bands, 40));  // the second segment starts at 40
  EXPECT_NE(RGB(200, 0, 0), ColorAt(bands, 39));
}

TEST(GradientTest, ColourListAndBandRectangles) {
  CGradient g;
  COLORREF a, b;
  g.GetColors(&a, &b);
  EXPECT_EQ(0xFFFFFFFFu, a);
  g.AddColor(RGB(1, 2, 3));
  g.GetColors(&a, &b);
  EXPECT_EQ(RGB(1, 2, 3), b);
  g.AddColor(RGB(4, 5, 6));
  EXPECT_EQ(1, g.NormalizeBandWidths());
  EXPECT_DOUBLE_EQ(100.0, g.GetBandWidth(0));
  g.SetScale(0.5f);
  EXPECT_FLOAT_EQ(1.0f, g.GetScale());

  CRect rect(10, 20, 110, 70);  // 100 x 50
  struct {
    int direction, from, to;
    CRect expected;
  } cases[] = {
      {0, 0, 40, CRect(10, 20, 50, 70)},  {1, 0, 40, CRect(70, 20, 110, 70)}, {2, 5, 15, CRect(10, 25, 110, 35)},
      {3, 5, 15, CRect(10, 55, 110, 65)}, {0, 0, -1, CRect(10, 20, 110, 70)}, {3, 0, -1, CRect(10, 20, 110, 70)},
  };
  for (auto& c : cases) {
    g.SetDirection(c.direction);
    EXPECT_EQ(c.expected, g.GetBandRect(rect, c.from, c.to)) << c.direction << " " << c.from;
  }
}

TEST(GradientTest, ColourLimitCapsTheSteps) {
  CGradient g;
  g.SetColors(RGB(0, 0, 0), RGB(255, 255, 255));
  GradientBandArray bands;
  g.MakeBands(bands, 1000, 0, -1, 236);
  EXPECT_EQ(236, bands.GetSize());
  EXPECT_EQ(1000, TotalWidth(bands));
}

}  // namespace
