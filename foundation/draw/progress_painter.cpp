#include "foundation/draw/progress_painter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include "foundation/draw/offscreen_dc.h"
#include "platform/win/gdi.h"
#endif

namespace {
#ifndef _WIN32
// The platform's system colour indices, and their default colours for the host build.
constexpr int COLOR_ACTIVECAPTION = 2, COLOR_CAPTIONTEXT = 9, COLOR_BTNFACE = 15, COLOR_BTNTEXT = 18;
#endif
COLORREF SysColor(int index) {
#ifdef _WIN32
  return ::GetSysColor(index);
#else
  switch (index) {
    case COLOR_BTNFACE: return RGB(240, 240, 240);
    case COLOR_CAPTIONTEXT: return RGB(0, 0, 0);
    case COLOR_BTNTEXT: return RGB(0, 0, 0);
    default: return RGB(153, 180, 209);
  }
#endif
}
}  // namespace

CProgressPainter::CProgressPainter()
    : m_crBk(SysColor(COLOR_BTNFACE)), m_crTextOnBar(SysColor(COLOR_CAPTIONTEXT)),
      m_crTextOnBk(SysColor(COLOR_BTNTEXT)) {
  CGradient::SetColors(SysColor(COLOR_ACTIVECAPTION), SysColor(COLOR_ACTIVECAPTION));
}

CProgressPainter::~CProgressPainter() {
#ifdef _WIN32
  delete m_pClipRgn;
#endif
}

BOOL CProgressPainter::ModifyStyle(DWORD remove, DWORD add) {
  DWORD next = (m_dwStyle & ~remove) | add;
  if (next == m_dwStyle) return FALSE;
  m_dwStyle = next;
  return TRUE;
}

void CProgressPainter::SetPosClamped(int n, BOOL force) {
  if (n > m_nUpper) n = m_nUpper;
  if (n < m_nLower) n = m_nLower;
  if (n == m_nPos) return;
  if (force || OnPosChanging(m_nPos, n)) {
    m_nPos = n;
    OnPosChanged(n);
  }
}

void CProgressPainter::SetRange(int a, int b) {
  m_nLower = std::min(a, b);
  m_nUpper = std::max(a, b);
  SetPosClamped(m_nPos, FALSE);
}

int CProgressPainter::SetPos(int n) {
  int old = m_nPos;
  if (!StepSnake(n, FALSE)) SetPosClamped(n, FALSE);
  return old;
}

int CProgressPainter::OffsetPos(int n) {
  int old = m_nPos;
  if (!StepSnake(n, TRUE)) SetPosClamped(m_nPos + n, FALSE);
  return old;
}

int CProgressPainter::SetStep(int n) {
  int old = m_nStep;
  m_nStep = n;
  return old;
}

// Snake mode: a segment [tail, head] travels along the bar; a relative step always
// moves forward; once the segment has left the bar it comes back the other way.
BOOL CProgressPainter::StepSnake(int n, BOOL relative) {
  if (!(GetStyle() & PPS_SNAKE)) return FALSE;
  if (relative) {
    int head = m_nPos;
    if (m_nPos == m_nUpper && m_nPos - m_nTail < m_nSnakeLength) head = m_nTail + m_nSnakeLength;
    n = head + std::abs(n);
  }
  if (n > m_nUpper + m_nSnakeLength) {
    n -= m_nUpper - m_nLower + m_nSnakeLength;
    if (n > m_nUpper + m_nSnakeLength) n = m_nUpper + m_nSnakeLength;
    if (GetStyle() & PPS_REVERSE)
      ModifyStyle(PPS_REVERSE, 0);
    else
      ModifyStyle(0, PPS_REVERSE);
  }
  m_nTail = n - m_nSnakeLength;
  if (m_nTail < m_nLower) m_nTail = m_nLower;
  SetPosClamped(n, FALSE);
  return TRUE;
}

void CProgressPainter::SetTextFormat(const char* format, DWORD mode) {
  if (!format || !*format || !mode) {
    ModifyStyle(PPS_TEXT_MASK, 0);
    m_strFormat.Empty();
  } else {
    ModifyStyle(PPS_TEXT_MASK, mode);
    m_strFormat = format;
  }
}

void CProgressPainter::SetTextColors(COLORREF overBar, COLORREF overBackground) {
  m_crTextOnBar = overBar;
  m_crTextOnBk = overBackground == kNoBackground ? overBar : overBackground;
}

// An empty range (lower == upper) has no percentage: it reads as 0.
float CProgressPainter::GetTextValue(const ProgressDrawInfo& info) {
  switch (info.style & PPS_TEXT_MASK) {
    case PPS_TEXT_PERCENT:
      if (info.upper == info.lower) return 0.0f;
      return (float)((double)(info.pos - info.lower) * 100.0 / (double)(info.upper - info.lower));
    case PPS_TEXT_POSITION: return (float)info.pos;
    default: return 0.0f;
  }
}

CString CProgressPainter::FormatText(const ProgressDrawInfo& info, const CString& format, float value) {
  CString fmt = format;
  if (fmt.IsEmpty()) {
    switch (info.style & PPS_TEXT_MASK) {
      case PPS_TEXT_PERCENT: fmt = "%d%%"; break;
      case PPS_TEXT_POSITION: fmt = "%d"; break;
      default: return CString();
    }
  }
  return ExpandProgressFormat(fmt, (int)value);
}

// The format comes from the owner and from WM_SETTEXT, that is from any program that
// can send the bar a message, so it never reaches printf: "%%" is a percent sign, the
// first integer conversion (d, i, u, x, X or o, with flags, a width and a precision of
// at most two digits each, a length modifier ignored) takes the value, and every other
// "%" stands as it is.
CString ExpandProgressFormat(const char* format, int value) {
  CString text;
  bool valueUsed = false;
  for (const char* p = format ? format : ""; *p;) {
    if (*p != '%') {
      text += *p++;
      continue;
    }
    if (p[1] == '%') {
      text += '%';
      p += 2;
      continue;
    }
    // %[flags][width][.precision][length]conversion
    const char* q = p + 1;
    std::string spec = "%";
    while (*q && strchr("-+ #0", *q)) spec += *q++;
    int digits = 0;
    while (*q >= '0' && *q <= '9' && digits < 2) spec += *q++, ++digits;
    if (*q == '.') {
      spec += *q++;
      digits = 0;
      while (*q >= '0' && *q <= '9' && digits < 2) spec += *q++, ++digits;
    }
    while (*q && strchr("hlLqjzt", *q)) ++q;
    if (!valueUsed && *q && strchr("diuxXo", *q)) {
      spec += *q;
      char buffer[128];
      snprintf(buffer, sizeof buffer, spec.c_str(), value);
      text += buffer;
      valueUsed = true;
      p = q + 1;
    } else {
      text += *p++;  // not a conversion that takes the value: the "%" is text
    }
  }
  return text;
}

CRect CProgressPainter::GetLineRect(const ProgressDrawInfo& info, ProgressLine line) const {
  CRect r(info.rect);
  bool reverse = (info.style & PPS_REVERSE) != 0;
  if (info.style & PBS_VERTICAL) {
    r.top = info.rect.top + (reverse ? line.from : info.rect.Height() - line.to);
    r.bottom = r.top + (line.to - line.from);
  } else {
    r.left = info.rect.left + (reverse ? info.rect.Width() - line.to : line.from);
    r.right = r.left + (line.to - line.from);
  }
  return r;
}

// An empty range leaves the bar empty instead of dividing by zero.
ProgressLine CProgressPainter::GetFilledLine(int len, DWORD style) const {
  long long range = (long long)m_nUpper - m_nLower;
  if (range <= 0) return ProgressLine{0, 0};
  int head = (int)(((long long)m_nPos - m_nLower) * len / range);
  int tail = (style & PPS_SNAKE) ? (int)(((long long)m_nTail - m_nLower) * len / range) : 0;
  return ProgressLine{tail, head};
}

#ifdef _WIN32

void CProgressPainter::SetFont(CFont* font) { m_hFont = (HFONT)HandleOf(font); }
CFont* CProgressPainter::GetFont() const { return CFont::FromHandle(m_hFont); }
void CProgressPainter::SetBarBrush(CBrush* brush) { m_hBarBrush = (HBRUSH)HandleOf(brush); }
void CProgressPainter::SetBkBrush(CBrush* brush) { m_hBkBrush = (HBRUSH)HandleOf(brush); }

BOOL CProgressPainter::SetClipRgn(HRGN rgn) {
  delete m_pClipRgn;
  m_pClipRgn = nullptr;
  if (!rgn) return TRUE;
  m_pClipRgn = new CRgn;
  return m_pClipRgn->Attach(rgn);
}

void CProgressPainter::DrawBar(CDC* dc, CRect rect, BOOL direct) {
  int savedDC = 0;
  if (m_pClipRgn) {
    savedDC = dc->SaveDC();
    CRgn clip;
    clip.CreateRectRgn(0, 0, 0, 0);
    clip.CopyRgn(m_pClipRgn);
    clip.OffsetRgn(rect.left, rect.top);
    dc->SelectClipRgn(&clip);
  }
  {
    BOOL copyFirst = !m_hBkBrush && m_crBk == kNoBackground;
    // A direct drawing goes straight to dc, as it would to a printer.
    BOOL wasPrinting = dc->m_bPrinting;
    if (direct) dc->m_bPrinting = TRUE;
    COffscreenDC surface(dc, &rect, copyFirst, FALSE);
    dc->m_bPrinting = wasPrinting;

    if (m_hBkBrush)
      ::FillRect(surface.m_hDC, &rect, m_hBkBrush);
    else if (m_crBk != kNoBackground)
      surface.FillSolidRect(&rect, m_crBk);

    ProgressDrawInfo info = {&surface, 0, rect, m_nPos, m_nLower, m_nUpper};
    info.rect.DeflateRect(m_rcMargins.left, m_rcMargins.top, m_rcMargins.right, m_rcMargins.bottom);
    if (m_nPos >= m_nLower && m_nPos <= m_nUpper) {
      DWORD style = GetStyle();
      info.style = style;
      bool vertical = (style & PBS_VERTICAL) != 0;
      int len = vertical ? info.rect.Height() : info.rect.Width();
      ProgressLine filled = GetFilledLine(len, style);
      ProgressLine whole = {0, len};
      if (m_hBarBrush) {
        CRect r = GetLineRect(info, filled);
        ::FillRect(surface.m_hDC, &r, m_hBarBrush);
      } else {
        ProgressLine g = (style & PPS_BAR_GRADIENT) ? filled : whole;
        bool reverse = (style & PPS_REVERSE) != 0;
        SetDirection(vertical ? (reverse ? 2 : 3) : (reverse ? 1 : 0));
        long long range = (long long)m_nUpper - m_nLower;
        int shift = range > 0 ? (int)((long long)(g.to - g.from) * m_nOffset / range) : 0;
        Draw(&surface, GetLineRect(info, g), filled.from - g.from, filled.to - g.from, shift);
      }
      DrawText(info, whole, filled);
    }
  }  // the surface reaches dc here
  if (m_pClipRgn) dc->RestoreDC(savedDC);
}

// The anchor is the bottom centre of the text: the viewport origin moves there and the
// text goes out at (0, 0), once per colour, each pass clipped to its part of the bar.
void CProgressPainter::DrawText(const ProgressDrawInfo& info, ProgressLine whole, ProgressLine filled) {
  if (!(info.style & PPS_TEXT_MASK)) return;
  CString text = FormatText(info, m_strFormat, GetTextValue(info));
  if (text.IsEmpty()) return;
  CDC* dc = info.dc;
  HGDIOBJ oldFont = m_hFont ? ::SelectObject(dc->m_hDC, m_hFont) : nullptr;
  COLORREF oldColor = dc->SetTextColor(m_crTextOnBar);
  int oldMode = dc->SetBkMode(TRANSPARENT);
  UINT oldAlign = dc->SetTextAlign(TA_CENTER | TA_BOTTOM);
  CPoint oldOrg = dc->GetViewportOrg();

  int angle = 0;
  if (m_hFont) {
    LOGFONTA lf = {};
    ::GetObjectA(m_hFont, sizeof lf, &lf);
    angle = lf.lfEscapement / 10;
  }
  CSize ext = dc->GetTextExtent(text);
  int w = 0, h = 0, dx = 0, dy = 0;
  switch (angle) {
    case 0:
      w = ext.cx;
      h = ext.cy;
      dy = ext.cy;
      break;
    case 90:
      w = ext.cy;
      h = ext.cx;
      dx = ext.cy;
      break;
    case 180:
      w = ext.cx;
      h = ext.cy;
      dy = -ext.cy;
      break;
    case 270:
      w = ext.cy;
      h = ext.cx;
      dx = -ext.cy;
      break;
    default: break;
  }
  bool draw = true;
  CRect R = info.rect;
  if (info.style & PPS_TEXT_ON_BAR) {
    R = GetLineRect(info, filled);
    int along = (info.style & PBS_VERTICAL) ? h : w;
    draw = along <= filled.to - filled.from;
  }
  if (draw) {
    if (info.style & PPS_ALIGN_LEFT) dx -= R.Width() - w;
    if (info.style & PPS_ALIGN_RIGHT) dx += R.Width() - w;
    if (info.style & PPS_ALIGN_TOP) dy -= R.Height() - h;
    if (info.style & PPS_ALIGN_BOTTOM) dy += R.Height() - h;
    int x = R.left + (R.Width() + dx) / 2;
    int y = R.top + (R.Height() + dy) / 2;
    CPoint windowOrg = dc->GetWindowOrg();
    dc->SetViewportOrg(oldOrg.x + x, oldOrg.y + y);
    // The clip rectangles are device coordinates of the unmoved viewport.
    windowOrg.Offset(-oldOrg.x, -oldOrg.y);
    if (info.style & PPS_TEXT_ON_BAR) {
      DrawClippedText(info, filled, text, windowOrg);
    } else {
      dc->SetTextColor(m_crTextOnBk);
      DrawClippedText(info, whole, text, windowOrg);
      if (m_crTextOnBk != m_crTextOnBar) {
        dc->SetTextColor(m_crTextOnBar);
        DrawClippedText(info, filled, text, windowOrg);
      }
    }
  }
  dc->SetViewportOrg(oldOrg);
  dc->SetTextAlign(oldAlign);
  dc->SetBkMode(oldMode);
  dc->SetTextColor(oldColor);
  if (oldFont) ::SelectObject(dc->m_hDC, oldFont);
}

void CProgressPainter::DrawClippedText(const ProgressDrawInfo& info, ProgressLine line, const CString& text,
                                       CPoint windowOrigin) {
  CRect r = GetLineRect(info, line);
  if (r.IsRectEmpty()) return;
  r.OffsetRect(-windowOrigin.x, -windowOrigin.y);
  CDC* dc = info.dc;
  int saved = dc->SaveDC();
  CRgn rgn;
  rgn.CreateRectRgnIndirect(&r);
  dc->SelectClipRgn(&rgn);
  dc->TextOut(0, 0, text);
  dc->RestoreDC(saved);
}

#endif
