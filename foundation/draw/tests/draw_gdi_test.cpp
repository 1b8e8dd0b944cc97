// The drawing classes on real device contexts (Wine's null driver).
#include <memory>

#include <gtest/gtest.h>

#include "foundation/draw/dib_data.h"
#include "foundation/draw/offscreen_dc.h"
#include "foundation/draw/progress_bar.h"
#include "platform/testing/test_support.h"
#include "platform/win/framework.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

// A white memory picture to draw on.
struct Canvas {
  std::unique_ptr<CMemoryBitmapDC> dc;
  Canvas(int w, int h) : dc(new CMemoryBitmapDC(w, h, nullptr, kWhite)) {}
  COLORREF At(int x, int y) { return dc->GetPixel(x, y); }
};

TEST(DrawGdiTest, GradientFillsBandsInItsDirection) {
  Canvas c(100, 10);
  CGradient g;
  g.SetColors(RGB(255, 0, 0), RGB(0, 0, 255));
  g.Draw(c.dc.get(), CRect(0, 0, 100, 10), 0, -1, 0);
  EXPECT_EQ(RGB(255, 0, 0), c.At(0, 5));
  EXPECT_EQ(RGB(253, 0, 2), c.At(1, 5));
  EXPECT_EQ(RGB(3, 0, 252), c.At(99, 9));

  Canvas d(100, 10);
  g.SetDirection(1);
  g.Draw(d.dc.get(), CRect(0, 0, 100, 10), 0, 40, 0);
  EXPECT_EQ(kWhite, d.At(59, 5));
  EXPECT_EQ(RGB(255, 0, 0), d.At(99, 5));  // the start sits at the right edge
  EXPECT_NE(kWhite, d.At(60, 5));
}

TEST(DrawGdiTest, OffscreenSurfaceLandsAtTheTargetCoordinates) {
  for (BOOL copyFirst : {TRUE, FALSE}) {
    Canvas c(200, 100);
    {
      CRect area(10, 20, 110, 70);
      COffscreenDC surface(c.dc.get(), &area, copyFirst, FALSE);
      CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
      CPen* old = surface.SelectObject(&pen);
      surface.MoveTo(10, 20);
      surface.LineTo(109, 69);
      surface.SelectObject(old);
      EXPECT_EQ(kWhite, c.At(10, 20));  // nothing reaches the target before the end
    }
    EXPECT_EQ(RGB(0, 0, 0), c.At(10, 20));
    EXPECT_EQ(RGB(0, 0, 0), c.At(107, 68));
    EXPECT_EQ(kWhite, c.At(5, 5));  // outside the area
    if (copyFirst) {
      EXPECT_EQ(kWhite, c.At(100, 25));
    }
  }
}

TEST(DrawGdiTest, MemoryBitmapIsHandedOver) {
  CBitmap* bmp = nullptr;
  {
    CMemoryBitmapDC dc(750, 550, nullptr, kWhite);
    EXPECT_EQ(kWhite, dc.GetPixel(749, 549));
    bmp = dc.Close();
    EXPECT_EQ(nullptr, dc.Close());
  }
  ASSERT_NE(nullptr, bmp);
  EXPECT_EQ(CSize(750, 550), bmp->GetBitmapDimension());  // still alive after the context
  Canvas c(101, 51);
  CMemoryBitmapDC red(20, 10, nullptr, RGB(255, 0, 0));
  std::unique_ptr<CBitmap> small(red.Close());
  CRect rect(0, 0, 101, 51);
  DrawBitmapIn(small.get(), c.dc.get(), &rect, FALSE);
  EXPECT_EQ(RGB(255, 0, 0), c.At(40, 20));
  EXPECT_EQ(RGB(255, 0, 0), c.At(59, 29));
  EXPECT_EQ(kWhite, c.At(39, 20));
  EXPECT_EQ(kWhite, c.At(60, 29));
  CPoint at(0, 0);
  DrawBitmapAt(small.get(), c.dc.get(), &at);
  EXPECT_EQ(RGB(255, 0, 0), c.At(0, 0));
  delete bmp;
}

TEST(DrawGdiTest, DibRoundTripsThroughABitmap) {
  testing_support::TempDir dir;
  CMemoryBitmapDC dc(30, 20, nullptr, RGB(10, 20, 30));
  dc.FillSolidRect(0, 0, 5, 5, RGB(200, 100, 50));
  std::unique_ptr<CBitmap> bmp(dc.Close());
  CString path = dir / "shot.bmp";
  CDibData writer;
  ASSERT_TRUE(writer.SaveDIB(path, bmp.get(), FALSE));
  CDibData reader;
  HBITMAP shown = reader.LoadDIB(path);
  ASSERT_NE(nullptr, shown);
  EXPECT_EQ(30, reader.GetWidth());
  EXPECT_EQ(RGB(200, 100, 50), reader.GetPixelColor(0, 0));
  EXPECT_EQ(RGB(10, 20, 30), reader.GetPixelColor(29, 19));
  ::DeleteObject(shown);
  CDibData missing;
  EXPECT_EQ(nullptr, missing.LoadDIB(dir / "none.bmp"));
  EXPECT_EQ(nullptr, missing.GetHandle());
}

class BarHost : public ::testing::Test {
 protected:
  CWnd host;
  CProgressBar bar;
  void SetUp() override {
    ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_POPUP, CRect(0, 0, 300, 100), nullptr, 0));
    ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 200, 20), &host, 1053));
  }
  COLORREF Rendered(int x, int y) {
    CMemoryBitmapDC dc(200, 20, nullptr, RGB(1, 1, 1));
    bar.DrawBar(&dc, CRect(0, 0, 200, 20), FALSE);
    return dc.GetPixel(x, y);
  }
};

TEST_F(BarHost, AnswersTheProgressMessages) {
  EXPECT_EQ(MAKELONG(0, 100), bar.SendMessage(PBM_SETRANGE32, 10, 5));
  PBRANGE r = {};
  EXPECT_EQ(5, bar.SendMessage(PBM_GETRANGE, TRUE, (LPARAM)&r));
  EXPECT_EQ(10, r.iHigh);
  EXPECT_EQ(5, bar.SendMessage(PBM_GETPOS));
  bar.SendMessage(PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  EXPECT_EQ(5, bar.SendMessage(PBM_SETPOS, 150));
  EXPECT_EQ(100, bar.GetPos());
  EXPECT_EQ(100, bar.SendMessage(PBM_DELTAPOS, (WPARAM)-30));
  EXPECT_EQ(10, bar.SendMessage(PBM_SETSTEP, 5));
  EXPECT_EQ(70, bar.SendMessage(PBM_STEPIT));
  EXPECT_EQ(75, bar.GetPos());
  EXPECT_EQ((LRESULT)CLR_DEFAULT, bar.SendMessage(PBM_SETBARCOLOR, 0, RGB(9, 9, 9)));
  COLORREF a, b;
  bar.GetColors(&a, &b);
  EXPECT_EQ(RGB(9, 9, 9), b);

  bar.SetWindowText("%d%% done");
  EXPECT_EQ(9, bar.SendMessage(WM_GETTEXTLENGTH));
  char small[4] = "xyz";
  EXPECT_EQ(4, bar.SendMessage(WM_GETTEXT, 4, (LPARAM)small));
  EXPECT_STREQ("%d%", small);

  // Timer 12 animates the gradient offset, wrapping at the range.
  bar.SetAnimationStep(7);
  for (int i = 0; i < 15; ++i) bar.SendMessage(WM_TIMER, 12);
  EXPECT_EQ(5, bar.GetGradientOffset());
  host.DestroyWindow();
}

TEST_F(BarHost, DrawsBarBackgroundAndText) {
  bar.SetBkColor(RGB(0xC0, 0xC0, 0xC0));
  bar.SetColors(RGB(255, 0, 0), RGB(0, 255, 0));
  bar.SetTextColors(RGB(0xC0, 0xC0, 0xC0), RGB(0, 0, 255));
  bar.SetTextFormat("%d%%", PPS_TEXT_PERCENT);
  bar.SetPosition(50);
  EXPECT_EQ(RGB(255, 0, 0), Rendered(0, 0));
  EXPECT_EQ(RGB(0xC0, 0xC0, 0xC0), Rendered(199, 0));
  // An empty range leaves the bar empty (and does not divide by zero).
  bar.SendMessage(PBM_SETRANGE32, 5, 5);
  EXPECT_EQ(RGB(0xC0, 0xC0, 0xC0), Rendered(0, 0));
  bar.UpdateWindow();
  bar.SendMessage(WM_TIMER, 12);  // no period to wrap around: no division either
  EXPECT_EQ(1, bar.GetGradientOffset());
  host.DestroyWindow();
}

// The text of a half-filled bar, drawn into a larger surface: where it lies over the
// filled part it is in the colour over the bar, elsewhere in the colour over the
// background, and the change falls exactly at the edge of the filled part, for plain,
// reversed and offset bars. Nothing is drawn outside the bar's rectangle.
TEST_F(BarHost, TextChangesColourExactlyAtTheFillEdge) {
  const COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255), kGreen = RGB(0, 255, 0), kOutside = RGB(1, 1, 1);
  CFont font;
  ASSERT_TRUE(font.CreateFont(30, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial"));
  bar.SetTextFont(&font);
  bar.SetBkColor(kWhite);
  bar.SetColors(kGreen, kGreen);
  bar.SetTextColors(kRed, kBlue);
  bar.SetTextFormat("%d%%", PPS_TEXT_PERCENT);
  bar.SetPosition(50);
  struct Case {
    const char* name;
    DWORD style;
    CRect rect;
    int edge;         // x of the fill edge
    bool filledLeft;  // the filled part is left of the edge
  } cases[] = {
      {"plain", 0, CRect(0, 0, 200, 40), 100, true},
      {"reversed", PPS_REVERSE, CRect(0, 0, 200, 40), 100, false},
      {"offset", 0, CRect(40, 10, 240, 50), 140, true},
      {"offset reversed", PPS_REVERSE, CRect(40, 10, 240, 50), 140, false},
  };
  for (const Case& c : cases) {
    bar.ModifyStyle(PPS_REVERSE, c.style);
    CMemoryBitmapDC dc(260, 60, nullptr, kOutside);
    bar.DrawBar(&dc, c.rect, FALSE);
    int red = 0, blue = 0, misplaced = 0, outside = 0;
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 260; ++x) {
        COLORREF p = dc.GetPixel(x, y);
        if (!c.rect.PtInRect(CPoint(x, y))) {
          outside += p != kOutside;
          continue;
        }
        bool overFilled = c.filledLeft ? x < c.edge : x >= c.edge;
        if (p == kRed) ++red, misplaced += !overFilled;
        if (p == kBlue) ++blue, misplaced += overFilled;
      }
    EXPECT_GT(red, 20) << c.name;
    EXPECT_GT(blue, 20) << c.name;
    EXPECT_EQ(0, misplaced) << c.name;
    EXPECT_EQ(0, outside) << c.name;
  }
  host.DestroyWindow();
}

// A text that printf would read as arguments ("%s" four times) once crashed the bar at
// its next paint. It is drawn as it stands.
TEST_F(BarHost, FormatFromSetTextNeverReachesPrintf) {
  bar.SetTextFormat("%d%%", PPS_TEXT_PERCENT);
  bar.SetPosition(50);
  EXPECT_TRUE(bar.SendMessage(WM_SETTEXT, 0, (LPARAM) "%s%s%s%s%n"));
  bar.UpdateWindow();
  Rendered(100, 10);
  ProgressDrawInfo info = {nullptr, bar.GetStyle(), CRect(), 50, 0, 100};
  EXPECT_STREQ("%s%s%s%s%n", bar.FormatText(info, bar.GetTextFormat(), 50.0f));
  host.DestroyWindow();
}

}  // namespace
