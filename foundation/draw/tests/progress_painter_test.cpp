// Positions, snake steps and texts of the progress painter.
#include <vector>

#include <gtest/gtest.h>

#include "foundation/draw/progress_painter.h"

namespace {

class TestPainter : public CProgressPainter {
 public:
  std::vector<int> changes;
  void OnPosChanged(int n) override { changes.push_back(n); }
  CString Text() {
    ProgressDrawInfo info = {nullptr, GetStyle(), CRect(), m_nPos, m_nLower, m_nUpper};
    return FormatText(info, GetTextFormat(), GetTextValue(info));
  }
};

TEST(ProgressPainterTest, PositionsAreClampedToTheRange) {
  TestPainter p;
  EXPECT_EQ(0, p.SetPos(50));
  EXPECT_EQ(50, p.SetPos(150));
  EXPECT_EQ(100, p.GetPos());
  EXPECT_EQ(100, p.SetPos(100));  // no change, no report
  EXPECT_EQ((std::vector<int>{50, 100}), p.changes);
  p.SetPos(0);
  p.SetRange(10, 5);
  int lo, hi;
  p.GetRange(&lo, &hi);
  EXPECT_EQ(5, lo);
  EXPECT_EQ(10, hi);
  EXPECT_EQ(5, p.GetPos());
  EXPECT_EQ(10, p.SetStep(2));
  p.StepIt();
  EXPECT_EQ(7, p.GetPos());
  p.OffsetPos(-10);
  EXPECT_EQ(5, p.GetPos());
}

TEST(ProgressPainterTest, TextsFollowTheMode) {
  struct Case {
    int lower, upper, pos;
    const char* format;
    DWORD mode;  // through SetTextFormat when a format is given
    DWORD bits;  // set directly otherwise
    const char* text;
  } cases[] = {
      {0, 100, 50, "%d%%", PPS_TEXT_PERCENT, 0, "50%"},
      {0, 3, 2, "%d%%", PPS_TEXT_PERCENT, 0, "66%"},
      {0, 3, 2, "Adding a new job: %d%%", PPS_TEXT_PERCENT, 0, "Adding a new job: 66%"},
      {0, 100, 37, nullptr, 0, PPS_TEXT_POSITION, "37"},
      {0, 100, 37, nullptr, 0, PPS_TEXT_PERCENT, "37%"},
      {0, 100, 37, nullptr, 0, PPS_TEXT_MASK, ""},
      {0, 100, 37, "%d%%", 0, 0, ""},                // mode 0 clears the text
      {5, 5, 5, "%d%%", PPS_TEXT_PERCENT, 0, "0%"},  // an empty range is 0 %, not a division by zero
  };
  for (const Case& c : cases) {
    TestPainter p;
    p.SetRange(c.lower, c.upper);
    p.SetPos(c.pos);
    if (c.format) p.SetTextFormat(c.format, c.mode);
    if (c.bits) p.ModifyStyle(PPS_TEXT_MASK, c.bits);
    EXPECT_STREQ(c.text, p.Text()) << c.text;
  }
}

// The format reaches the painter from WM_SETTEXT too: it is expanded by hand, one
// integer conversion and "%%", and nothing else in it is ever read as an argument.
TEST(ProgressPainterTest, FormatTakesOneIntegerAndNothingElse) {
  struct Case {
    const char* format;
    const char* text;
  } cases[] = {
      {"%d%%", "42%"},
      {"%s%s%s%s", "%s%s%s%s"},
      {"%n%p%f", "%n%p%f"},
      {"%d of %d", "42 of %d"},
      {"%5d|%-4d|", "   42|%-4d|"},
      {"%x %X %o %i %u", "2a %X %o %i %u"},
      {"%ld%%", "42%"},
      {"%08.3d", "     042"},        // as printf: a precision turns the 0 flag off
      {"%99999999d", "%99999999d"},  // a width of more than two digits is text
      {"100%", "100%"},
      {"%", "%"},
      {"进度 %d%%", "进度 42%"},
  };
  ProgressDrawInfo info = {nullptr, PPS_TEXT_POSITION, CRect(), 42, 0, 100};
  TestPainter p;
  for (const Case& c : cases) EXPECT_STREQ(c.text, p.FormatText(info, c.format, 42.9f)) << c.format;
}

TEST(ProgressPainterTest, SnakeTravelsAndComesBack) {
  TestPainter p;
  p.ModifyStyle(0, PPS_SNAKE);
  p.OffsetPos(10);
  EXPECT_EQ(10, p.GetPos());
  EXPECT_EQ(0, p.GetSnakeTail());
  // Drive the head to the end: position 100, tail 70.
  p.SetPos(110);
  EXPECT_EQ(100, p.GetPos());
  EXPECT_EQ(70, p.GetSnakeTail());
  struct {
    int tail, pos;
    bool reverse;
  } steps[] = {{80, 100, false}, {90, 100, false}, {100, 100, false}, {0, 10, true}};
  for (auto& s : steps) {
    p.OffsetPos(10);
    EXPECT_EQ(s.tail, p.GetSnakeTail());
    EXPECT_EQ(s.pos, p.GetPos());
    EXPECT_EQ(s.reverse, (p.GetStyle() & PPS_REVERSE) != 0);
  }
  // A relative step always moves forward.
  p.OffsetPos(-5);
  EXPECT_EQ(15, p.GetPos());
}

TEST(ProgressPainterTest, FilledLineAndItsRectangle) {
  TestPainter p;
  p.SetPos(50);
  ProgressLine f = p.GetFilledLine(200, 0);
  EXPECT_EQ(0, f.from);
  EXPECT_EQ(100, f.to);
  // Large ranges do not overflow.
  p.SetRange(0, 2000000000);
  p.SetPos(1000000000);
  EXPECT_EQ(100, p.GetFilledLine(200, 0).to);
  // An empty range draws nothing instead of dividing by zero.
  p.SetRange(5, 5);
  f = p.GetFilledLine(200, 0);
  EXPECT_EQ(0, f.to - f.from);

  ProgressDrawInfo info = {nullptr, 0, CRect(0, 0, 200, 20), 0, 0, 100};
  struct {
    DWORD style;
    ProgressLine line;
    CRect r;
  } cases[] = {
      {0, {0, 100}, CRect(0, 0, 100, 20)},
      {PPS_REVERSE, {0, 100}, CRect(100, 0, 200, 20)},
      {PBS_VERTICAL, {0, 5}, CRect(0, 15, 200, 20)},  // rises from the bottom
      {PBS_VERTICAL | PPS_REVERSE, {0, 5}, CRect(0, 0, 200, 5)},
  };
  for (auto& c : cases) {
    info.style = c.style;
    EXPECT_EQ(c.r, p.GetLineRect(info, c.line)) << c.style;
  }
}

}  // namespace
