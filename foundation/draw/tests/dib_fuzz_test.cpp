// Crafted and damaged BMP files: headers with odd depths, planes, sizes and colour
// counts, and damaged run-length data. A file is either refused or held safely: every
// pixel, palette and conversion routine then stays inside the block (the host build
// runs this under the sanitizers).
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/draw/dib_data.h"
#include "platform/testing/test_support.h"

namespace {

using testing_support::TempDir;

BITMAPINFOHEADER Header(int w, int h, int planes, int bits, DWORD compression, DWORD clrUsed, DWORD sizeImage) {
  BITMAPINFOHEADER hdr = {};
  hdr.biSize = 40;
  hdr.biWidth = w;
  hdr.biHeight = h;
  hdr.biPlanes = (WORD)planes;
  hdr.biBitCount = (WORD)bits;
  hdr.biCompression = compression;
  hdr.biClrUsed = clrUsed;
  hdr.biSizeImage = sizeImage;
  return hdr;
}

std::string File(const BITMAPINFOHEADER& h, const std::string& rest) {
  DibFileHeader fh = {0x4D42, (DWORD)(14 + 40 + rest.size()), 0, 0, 14 + 40};
  std::string s((const char*)&fh, sizeof fh);
  s.append((const char*)&h, sizeof h);
  return s + rest;
}

// A well-formed file of each kind: the layout's own bytes behind the header.
std::vector<std::string> Seeds(std::mt19937& rng) {
  std::vector<std::string> seeds;
  for (int bits : {1, 2, 4, 8, 16, 24, 32}) {
    for (int height : {3, -3}) {
      BITMAPINFOHEADER h = Header(5, height, 1, bits, bits == 16 || bits == 32 ? BI_BITFIELDS : BI_RGB, 0, 0);
      DibLayout l = DibLayout::Of(h);
      std::string rest((size_t)(l.requiredSize - 40), '\0');
      for (char& c : rest) c = (char)rng();
      if (bits == 16) memcpy(&rest[0], "\x00\xF8\x00\x00\xE0\x07\x00\x00\x1F\x00\x00\x00", 12);  // 5-6-5
      seeds.push_back(File(h, rest));
    }
  }
  // Run-length data: an 8-bit and a 4-bit image, runs, literals, end of line, delta.
  const std::string rle8 = std::string("\x03\x01\x00\x03\x02\x03\x04\x00\x00\x00\x02\x01\x01\x00\x01", 15);
  seeds.push_back(File(Header(6, 3, 1, 8, BI_RLE8, 4, (DWORD)rle8.size()), std::string(16, '\x40') + rle8));
  const std::string rle4 = std::string("\x04\x12\x00\x03\x34\x50\x00\x00\x00\x01", 10);
  seeds.push_back(File(Header(6, 2, 1, 4, BI_RLE4, 16, (DWORD)rle4.size()), std::string(64, '\x20') + rle4));
  return seeds;
}

// Header fields that make a file odd: the values a crafted file picks.
void MutateHeader(std::string& file, std::mt19937& rng) {
  static const long long kValues[] = {
      0,  1,  2,  3,  4,   5,   7,      8,       9,          12,         15,         16, 17, 24, 31,
      32, 33, 48, 64, 255, 256, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, -1, -2, -3, -0x7FFFFFFF};
  struct Field {
    size_t offset, size;
  } fields[] = {{18, 4}, {22, 4}, {26, 2}, {28, 2}, {30, 4}, {34, 4}, {46, 4}, {50, 4}, {14, 4}};
  const Field& f = fields[rng() % (sizeof fields / sizeof fields[0])];
  long long v = kValues[rng() % (sizeof kValues / sizeof kValues[0])];
  if (file.size() >= f.offset + f.size) memcpy(&file[f.offset], &v, f.size);
}

void MutateBytes(std::string& file, std::mt19937& rng) {
  switch (rng() % 4) {
    case 0:
      if (file.size() > 54) file[54 + rng() % (file.size() - 54)] ^= (char)(1 << (rng() % 8));
      break;
    case 1: file.resize(rng() % (file.size() + 1)); break;
    case 2: file.append(rng() % 64, (char)rng()); break;
    case 3:
      if (file.size() > 54) file[54 + rng() % (file.size() - 54)] = (char)(rng() % 2 ? 0 : 0xFF);
      break;
  }
}

// Everything a caller may do with a held image.
void Exercise(CDibData& dib, const TempDir& dir) {
  const int w = dib.GetWidth(), h = dib.GetHeight() < 0 ? -dib.GetHeight() : dib.GetHeight();
  const bool small = (long long)w * h <= 4096;
  for (int y = -1; y <= h && small; ++y)
    for (int x = -1; x <= w; ++x) {
      LONG v = dib.GetPixelValue(x, y);
      dib.SetPixelValue(x, y, (DWORD)v ^ 0x5A5A5A5Au);
      COLORREF c = dib.GetPixelColor(x, y);
      dib.SetPixelColor(x, y, c == (COLORREF)-1 ? RGB(x, y, 7) : c);
    }
  for (int x : {0, w - 1, w, 0x7FFFFFFF})
    for (int y : {0, h - 1, h}) {
      dib.GetPixelValue(x, y);
      dib.SetPixelValue(x, y, 1);
      dib.GetPixelColor(x, y);
    }
  RGBQUAD palette[256] = {};
  for (int first : {0, 1, 255})
    for (int count : {1, 2, 256}) {
      dib.GetPaletteColors(first, count, palette);
      dib.SetPaletteColors(first, count, palette);
    }
  dib.FindNearestColor(RGB(1, 2, 3));
  if (small) {
    dib.GetOptimalColors(palette, 16, 4);
    for (int bpp : {1, 2, 4, 8, 16, 24, 32})
      for (BOOL optimize : {FALSE, TRUE}) {
        std::unique_ptr<CDibData> converted(dib.GetConvertedDIB(bpp, optimize));
        if (converted) converted->GetPixelColor(0, 0);
      }
  }
  std::unique_ptr<CDibData> empty(dib.CreateEmptyDIB(8));
  if (dib.WriteDIBFile(dir / "out.bmp")) {
    CDibData again;
    again.ReadDIBFile(dir / "out.bmp");
  }
}

TEST(DibFuzz, CraftedHeadersAndDamagedRunLengthData) {
  TempDir dir;
  std::mt19937 rng(20240917);
  const std::vector<std::string> seeds = Seeds(rng);
  // The seeds themselves are good files.
  for (const std::string& seed : seeds) {
    testing_support::WriteFileBytes(dir / "in.bmp", seed);
    CDibData dib;
    ASSERT_TRUE(dib.ReadDIBFile(dir / "in.bmp"));
  }
  int held = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string file = seeds[rng() % seeds.size()];
    int edits = 1 + (int)(rng() % 3);
    for (int i = 0; i < edits; ++i) {
      if (rng() % 3)
        MutateHeader(file, rng);
      else
        MutateBytes(file, rng);
    }
    testing_support::WriteFileBytes(dir / "in.bmp", file);
    CDibData dib;
    if (!dib.ReadDIBFile(dir / "in.bmp")) continue;
    ++held;
    const BITMAPINFOHEADER* h = dib.GetHeader();
    ASSERT_EQ(1, h->biPlanes) << round;
    ASSERT_EQ(dib.GetBitsPerPixel(), h->biBitCount) << round;  // the depth the rows were laid out by
    Exercise(dib, dir);
  }
  EXPECT_GT(held, 300);  // the mutations leave many files usable: the routines above did run
}

// The headers that got through before: odd bit counts and plane counts whose rows are
// narrower than the accessors step.
TEST(DibFuzz, DepthsThePixelAccessorsDoNotKnowAreRefused) {
  TempDir dir;
  struct Case {
    int planes, bits;
  } cases[] = {{1, 0}, {1, 3}, {1, 12}, {0, 8}, {2, 4}, {3, 8}, {1, 33}};
  for (const Case& c : cases) {
    BITMAPINFOHEADER h = Header(100, 2, c.planes, c.bits, BI_RGB, 0, 0);
    DibLayout l = DibLayout::Of(h);
    testing_support::WriteFileBytes(dir / "in.bmp", File(h, std::string((size_t)(l.requiredSize - 40), '\x11')));
    CDibData dib;
    SetLastError(0);
    EXPECT_FALSE(dib.ReadDIBFile(dir / "in.bmp")) << c.planes << "x" << c.bits;
    EXPECT_EQ(nullptr, dib.GetHandle());
  }
  // A height and width whose rows together would overflow any size arithmetic.
  BITMAPINFOHEADER h = Header(0x7FFFFFFF, 0x7FFFFFFF, 1, 32, BI_RGB, 0, 16);
  testing_support::WriteFileBytes(dir / "in.bmp", File(h, std::string(64, '\0')));
  CDibData dib;
  EXPECT_FALSE(dib.ReadDIBFile(dir / "in.bmp"));
}

}  // namespace
