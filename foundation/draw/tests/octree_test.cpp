// The octree colour quantiser.
#include <vector>

#include <gtest/gtest.h>

#include "foundation/draw/octree_quantizer.h"

namespace {

std::vector<RGBQUAD> Palette(const COctreeQuantizer& q) {
  std::vector<RGBQUAD> p(q.GetLeafCount());
  if (!p.empty()) q.GetPaletteColors(p.data());
  return p;
}

bool Same(const RGBQUAD& q, int r, int g, int b) { return q.rgbRed == r && q.rgbGreen == g && q.rgbBlue == b; }

TEST(OctreeTest, PaletteOrderFollowsTheChildIndexes) {
  COctreeQuantizer q(256, 8);
  q.AddColor(255, 0, 0);
  q.AddColor(0, 255, 0);
  q.AddColor(0, 0, 255);
  auto p = Palette(q);
  ASSERT_EQ(3u, p.size());
  EXPECT_TRUE(Same(p[0], 0, 0, 255));
  EXPECT_TRUE(Same(p[1], 0, 255, 0));
  EXPECT_TRUE(Same(p[2], 255, 0, 0));
}

TEST(OctreeTest, LeavesAverageTheirPixels) {
  struct Case {
    UINT max, bits;
    std::vector<std::vector<int>> pixels;
    std::vector<int> entry;
  } cases[] = {
      {256, 4, {{0x10, 0x20, 0x30}, {0x1F, 0x2F, 0x3F}}, {0x17, 0x27, 0x37}},
      {1, 8, {{255, 255, 255}, {0, 0, 0}}, {127, 127, 127}},
      {1, 8, {{10, 20, 30}, {11, 21, 31}, {200, 0, 1}}, {73, 13, 20}},
  };
  for (const Case& c : cases) {
    COctreeQuantizer q(c.max, c.bits);
    for (auto& px : c.pixels) q.AddColor((BYTE)px[0], (BYTE)px[1], (BYTE)px[2]);
    auto p = Palette(q);
    ASSERT_EQ(1u, p.size());
    EXPECT_TRUE(Same(p[0], c.entry[0], c.entry[1], c.entry[2]))
        << (int)p[0].rgbRed << "," << (int)p[0].rgbGreen << "," << (int)p[0].rgbBlue;
  }
}

TEST(OctreeTest, NeverMoreLeavesThanTheLimit) {
  COctreeQuantizer q(256, 8);
  int added = 0;
  for (int r = 0; r < 256 && added < 257; r += 15)
    for (int g = 0; g < 256 && added < 257; g += 15)
      for (int b = 0; b < 256 && added < 257; b += 51, ++added) {
        q.AddColor((BYTE)r, (BYTE)g, (BYTE)b);
        ASSERT_LE(q.GetLeafCount(), 256u);
      }
  EXPECT_EQ(257, added);
  EXPECT_GT(q.GetLeafCount(), 200u);
  // Up to 256 distinct colours stay exact.
  COctreeQuantizer exact(256, 8);
  for (int i = 0; i < 256; ++i) exact.AddColor((BYTE)i, (BYTE)(255 - i), 7);
  EXPECT_EQ(256u, exact.GetLeafCount());
}

}  // namespace
