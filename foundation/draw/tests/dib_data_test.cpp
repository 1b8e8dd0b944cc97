// DIB layout, pixels, conversions and BMP files.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/draw/dib_data.h"
#include "platform/testing/test_support.h"

namespace {

using testing_support::TempDir;

BITMAPINFOHEADER Header(int w, int h, int bpp, DWORD compression = BI_RGB, DWORD clrUsed = 0) {
  BITMAPINFOHEADER hdr = {};
  hdr.biSize = 40;
  hdr.biWidth = w;
  hdr.biHeight = h;
  hdr.biPlanes = 1;
  hdr.biBitCount = (WORD)bpp;
  hdr.biCompression = compression;
  hdr.biClrUsed = clrUsed;
  return hdr;
}

// A BMP file: file header, information header, extra (masks, colours), pixels.
std::string Bmp(const BITMAPINFOHEADER& h, const std::string& extra, const std::string& pixels) {
  DibFileHeader fh = {0x4D42, (DWORD)(14 + 40 + extra.size() + pixels.size()), 0, 0, (DWORD)(14 + 40 + extra.size())};
  std::string s((const char*)&fh, sizeof fh);
  s.append((const char*)&h, sizeof h);
  return s + extra + pixels;
}

std::string Colors(std::initializer_list<std::vector<int>> rgb) {
  std::string s;
  for (auto& c : rgb) {
    RGBQUAD q = {(BYTE)c[2], (BYTE)c[1], (BYTE)c[0], 0};
    s.append((const char*)&q, 4);
  }
  return s;
}

// Rows of 24-bit pixels (given top row first) stored bottom-up.
std::string Rows24(const std::vector<std::vector<COLORREF>>& rows) {
  std::string s;
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    std::string row;
    for (COLORREF c : *it) {
      row += (char)GetBValue(c);
      row += (char)GetGValue(c);
      row += (char)GetRValue(c);
    }
    while (row.size() % 4) row += '\0';
    s += row;
  }
  return s;
}

class DibTest : public ::testing::Test {
 protected:
  TempDir dir;
  bool Load(CDibData& dib, const std::string& bytes, const char* name = "in.bmp") {
    CString path = dir / name;
    testing_support::WriteFileBytes(path, bytes);
    return dib.ReadDIBFile(path) != FALSE;
  }
};

TEST_F(DibTest, LayoutFigures) {
  CDibData src;
  ASSERT_TRUE(Load(src, Bmp(Header(3, 2, 24), "", Rows24({{0, 0, 0}, {0, 0, 0}}))));
  std::unique_ptr<CDibData> mono(src.CreateEmptyDIB(1));
  ASSERT_TRUE(mono);
  EXPECT_EQ(4, mono->GetStride());
  EXPECT_EQ(8, mono->GetImageSize());
  EXPECT_EQ(2, mono->GetColorCount());
  EXPECT_EQ(40 + 8, mono->GetPixelOffset());
  EXPECT_EQ(56u, (unsigned)DibLayout::Of(*mono->GetHeader()).allocationSize);

  BITMAPINFOHEADER wide = Header(10, 1, 24);
  EXPECT_EQ(32u, (unsigned)DibLayout::Of(wide).stride);
  struct {
    int product, rounded;
  } depths[] = {{3, 4}, {5, 8}, {12, 16}, {24, 24}, {25, 32}, {32, 32}};
  for (auto& d : depths) {
    BITMAPINFOHEADER h = Header(1, 1, d.product);
    EXPECT_EQ(d.rounded, DibLayout::Of(h).bitsPerPixel) << d.product;
  }
}

TEST_F(DibTest, RowsAreTopFirstWhateverTheStorageOrder) {
  COLORREF top = RGB(1, 2, 3), bottom = RGB(4, 5, 6);
  CDibData up, down;
  ASSERT_TRUE(Load(up, Bmp(Header(1, 2, 24), "", Rows24({{top}, {bottom}})), "up.bmp"));
  std::string stored = Rows24({{bottom}, {top}});  // as bytes: top row first
  ASSERT_TRUE(Load(down, Bmp(Header(1, -2, 24), "", stored), "down.bmp"));
  EXPECT_EQ(top, up.GetPixelColor(0, 0));
  EXPECT_EQ(bottom, up.GetPixelColor(0, 1));
  EXPECT_EQ(top, down.GetPixelColor(0, 0));
  EXPECT_EQ(bottom, down.GetPixelColor(0, 1));
  // Outside the image: -1 and FALSE, nothing touched.
  EXPECT_EQ(-1, up.GetPixelValue(1, 0));
  EXPECT_EQ(-1, up.GetPixelValue(0, 2));
  EXPECT_EQ(-1, up.GetPixelValue(-1, 0));
  EXPECT_FALSE(up.SetPixelValue(0, 2, 0));
  EXPECT_EQ((COLORREF)-1, up.GetPixelColor(5, 5));
}

TEST_F(DibTest, PackedPixelsShareBytes) {
  CDibData dib;
  ASSERT_TRUE(Load(dib, Bmp(Header(8, 1, 4), std::string(64, '\0'), std::string("\x12\x34\x56\x78", 4))));
  EXPECT_EQ(1, dib.GetPixelValue(0, 0));  // high nibble first
  EXPECT_EQ(2, dib.GetPixelValue(1, 0));
  EXPECT_EQ(8, dib.GetPixelValue(7, 0));
  EXPECT_TRUE(dib.SetPixelValue(1, 0, 0xF));
  EXPECT_EQ(1, dib.GetPixelValue(0, 0));
  EXPECT_EQ(0x1F, dib.GetPixels()[0]);

  CDibData mono;
  ASSERT_TRUE(Load(mono, Bmp(Header(10, 1, 1), Colors({{0, 0, 0}, {255, 255, 255}}), std::string("\x81\x40\0\0", 4)),
                   "mono.bmp"));
  EXPECT_EQ(1, mono.GetPixelValue(0, 0));
  EXPECT_EQ(0, mono.GetPixelValue(1, 0));
  EXPECT_EQ(1, mono.GetPixelValue(7, 0));
  EXPECT_EQ(1, mono.GetPixelValue(9, 0));
  EXPECT_EQ(RGB(255, 255, 255), mono.GetPixelColor(0, 0));
  EXPECT_TRUE(mono.SetPixelColor(1, 0, RGB(250, 250, 250)));  // nearest: white
  EXPECT_EQ(0xC1, mono.GetPixels()[0]);

  CDibData two;
  ASSERT_TRUE(Load(two, Bmp(Header(4, 1, 2), std::string(16, '\0'), std::string("\x1B\0\0\0", 4)), "two.bmp"));
  EXPECT_EQ(0, two.GetPixelValue(0, 0));
  EXPECT_EQ(1, two.GetPixelValue(1, 0));
  EXPECT_EQ(2, two.GetPixelValue(2, 0));
  EXPECT_EQ(3, two.GetPixelValue(3, 0));
}

TEST_F(DibTest, SixteenBitColoursLoseTheLowBits) {
  CDibData dib;
  ASSERT_TRUE(Load(dib, Bmp(Header(2, 1, 16), "", std::string(4, '\0'))));
  EXPECT_TRUE(dib.SetPixelColor(0, 0, RGB(255, 128, 9)));
  EXPECT_EQ(RGB(248, 128, 8), dib.GetPixelColor(0, 0));
  EXPECT_EQ((0x1F << 10) | (0x10 << 5) | 0x01, dib.GetPixelValue(0, 0));
  EXPECT_FALSE(dib.SetPixelColor(1, 0, (COLORREF)-1));
}

TEST_F(DibTest, ConversionsChooseTheirPalettes) {
  COLORREF red = RGB(255, 0, 0), green = RGB(0, 255, 0), blue = RGB(0, 0, 255);
  CDibData rgb;
  ASSERT_TRUE(Load(rgb, Bmp(Header(3, 2, 24), "", Rows24({{red, green, blue}, {blue, red, green}}))));
  std::unique_ptr<CDibData> eight(rgb.GetConvertedDIB(8, FALSE));
  ASSERT_TRUE(eight);
  EXPECT_EQ(3u, eight->GetClrUsed());
  EXPECT_EQ(40 + 12, eight->GetPixelOffset());
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(rgb.GetPixelColor(x, y), eight->GetPixelColor(x, y));

  CDibData greys;
  ASSERT_TRUE(
      Load(greys, Bmp(Header(3, 1, 24), "", Rows24({{RGB(7, 7, 7), RGB(200, 200, 200), RGB(7, 7, 7)}})), "grey.bmp"));
  std::unique_ptr<CDibData> ramp(greys.GetConvertedDIB(8, FALSE));
  ASSERT_TRUE(ramp);
  EXPECT_EQ(256, ramp->GetColorCount());
  EXPECT_EQ(7, ramp->GetPixelValue(0, 0));
  EXPECT_EQ(200, ramp->GetPixelValue(1, 0));

  CDibData dark;
  ASSERT_TRUE(Load(dark, Bmp(Header(1, 1, 24), "", Rows24({{RGB(200, 10, 10)}})), "dark.bmp"));
  std::unique_ptr<CDibData> mono(dark.GetConvertedDIB(1, FALSE));
  ASSERT_TRUE(mono);
  EXPECT_EQ(0, mono->GetPixelValue(0, 0));  // black is nearer (220 against 545)

  std::unique_ptr<CDibData> sixteen(rgb.GetConvertedDIB(4, FALSE));
  ASSERT_TRUE(sixteen);
  EXPECT_EQ(9, sixteen->GetPixelValue(0, 0));  // red of the fixed palette
  std::unique_ptr<CDibData> optimised(rgb.GetConvertedDIB(4, TRUE));
  ASSERT_TRUE(optimised);
  EXPECT_EQ(3u, optimised->GetClrUsed());
  EXPECT_EQ(red, optimised->GetPixelColor(0, 0));

  std::unique_ptr<CDibData> same(eight->GetConvertedDIB(8, FALSE));
  EXPECT_FALSE(same);
  std::unique_ptr<CDibData> up(eight->GetConvertedDIB(24, FALSE));
  ASSERT_TRUE(up);
  EXPECT_EQ(blue, up->GetPixelColor(0, 1));
  std::unique_ptr<CDibData> wider(mono->GetConvertedDIB(4, FALSE));  // index copy
  ASSERT_TRUE(wider);
  EXPECT_EQ(2u, wider->GetClrUsed());
  EXPECT_EQ(0, wider->GetPixelValue(0, 0));
}

TEST_F(DibTest, SavedFileHasTheExpectedHeader) {
  CDibData src;
  ASSERT_TRUE(Load(src, Bmp(Header(750, 550, 24), "", std::string(2252 * 550, '\0'))));
  std::unique_ptr<CDibData> pic(src.GetConvertedDIB(4, FALSE));
  ASSERT_TRUE(pic);
  for (int x = 0; x < 750; ++x) pic->SetPixelValue(x, x % 550, (DWORD)(x % 16));
  CString path = dir / "pic.bmp";
  ASSERT_TRUE(pic->WriteDIBFile(path));
  std::string bytes = testing_support::ReadFileBytes(path);
  ASSERT_EQ(206918u, bytes.size());
  DibFileHeader fh;
  memcpy(&fh, bytes.data(), sizeof fh);
  WORD type = fh.bfType;
  DWORD size = fh.bfSize, offBits = fh.bfOffBits;
  EXPECT_EQ(0x4D42, type);
  EXPECT_EQ(206918u, size);
  EXPECT_EQ(118u, offBits);
  CDibData back;
  ASSERT_TRUE(back.ReadDIBFile(path));
  EXPECT_EQ(5, back.GetPixelValue(5, 5));
  EXPECT_EQ(pic->GetPixelColor(100, 100), back.GetPixelColor(100, 100));

  // Kept for the second reader (scripts check them with Python).
  ASSERT_TRUE(pic->WriteDIBFile("draw_check_4bit.bmp"));
  CDibData rgb;
  ASSERT_TRUE(
      Load(rgb,
           Bmp(Header(3, 2, 24), "",
               Rows24({{RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)}, {RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9)}})),
           "rgb.bmp"));
  ASSERT_TRUE(rgb.WriteDIBFile("draw_check_24bit.bmp"));
}

TEST_F(DibTest, BadFilesAndBlocksAreRefused) {
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"not BM", "XY" + Bmp(Header(1, 1, 24), "", std::string(4, '\0')).substr(2)},
      {"newer header",
       [] {
         BITMAPINFOHEADER h = Header(1, 1, 24);
         h.biSize = 108;
         return Bmp(h, std::string(68, '\0'), std::string(4, '\0'));
       }()},
      {"short pixels", Bmp(Header(4, 4, 24), "", std::string(20, '\0'))},
      {"too short", std::string("BM\0\0", 4)},
      // A width that would overflow 32-bit row arithmetic.
      {"huge width", Bmp(Header(0x7FFFFFFF, 1, 32), "", std::string(16, '\0'))},
      // biSizeImage claiming fewer bytes than the rows need.
      {"small image size",
       [] {
         BITMAPINFOHEADER h = Header(4, 4, 24);
         h.biSizeImage = 4;
         return Bmp(h, "", std::string(4, '\0'));
       }()},
      {"negative width", Bmp(Header(-4, 1, 24), "", std::string(16, '\0'))},
  };
  for (const Case& c : cases) {
    CDibData dib;
    SetLastError(0);
    EXPECT_FALSE(Load(dib, c.bytes)) << c.name;
    EXPECT_EQ(nullptr, dib.GetHandle()) << c.name;
  }
  CDibData held;
  ASSERT_TRUE(Load(held, Bmp(Header(1, 1, 24), "", std::string(4, '\0'))));
  EXPECT_FALSE(held.ReadDIBFile(dir / "in.bmp"));
  EXPECT_EQ(ERROR_ALREADY_INITIALIZED, GetLastError());
  EXPECT_FALSE(held.WriteDIBFile(""));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

TEST_F(DibTest, CompressedImagesHaveNoPixelAccess) {
  BITMAPINFOHEADER h = Header(4, 2, 8, BI_RLE8, 2);
  h.biSizeImage = 6;
  CDibData dib;
  ASSERT_TRUE(Load(dib, Bmp(h, Colors({{0, 0, 0}, {9, 9, 9}}), std::string("\x04\x01\x00\x00\x00\x01", 6))));
  EXPECT_EQ(-1, dib.GetPixelValue(0, 0));
  EXPECT_FALSE(dib.SetPixelValue(3, 1, 1));
  EXPECT_EQ(nullptr, dib.GetConvertedDIB(24, FALSE));
}

TEST_F(DibTest, PaletteAccessAndCopies) {
  CDibData dib;
  ASSERT_TRUE(Load(dib, Bmp(Header(2, 1, 8, BI_RGB, 3), Colors({{0, 0, 0}, {10, 20, 30}, {200, 200, 200}}),
                            std::string("\x01\x02\0\0", 4))));
  RGBQUAD out[3];
  EXPECT_TRUE(dib.GetPaletteColors(0, 3, out));
  EXPECT_EQ(20, out[1].rgbGreen);
  EXPECT_FALSE(dib.GetPaletteColors(1, 3, out));
  EXPECT_FALSE(dib.GetPaletteColors(0, 0, out));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
  RGBQUAD white = {255, 255, 255, 0};
  EXPECT_TRUE(dib.SetPaletteColors(2, 1, &white));
  EXPECT_EQ(RGB(255, 255, 255), dib.GetPixelColor(1, 0));
  EXPECT_EQ(1, dib.FindNearestColor(RGB(12, 18, 30)));
  EXPECT_TRUE(dib.SetPixelValue(0, 0, 7));
  EXPECT_EQ((COLORREF)-1, dib.GetPixelColor(0, 0));  // no entry 7

  CDibData copy(dib);
  ASSERT_NE(nullptr, copy.GetHandle());
  EXPECT_EQ(RGB(255, 255, 255), copy.GetPixelColor(1, 0));
  copy.SetPixelValue(1, 0, 1);
  EXPECT_EQ(2, dib.GetPixelValue(1, 0));
  CDibData none;
  EXPECT_FALSE(none.GetPaletteColors(0, 1, out));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  EXPECT_EQ(-1, none.FindNearestColor(RGB(0, 0, 0)));
}

}  // namespace
