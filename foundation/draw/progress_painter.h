// CProgressPainter: the drawing engine of every progress bar.
//
// It keeps its own range, position and step, fills the done part with a gradient (or
// a brush) over a background and writes a percentage or position text that changes
// colour exactly at the edge of the done part. Positions, snake steps and texts are
// portable; drawing needs the platform's device contexts.
#pragma once

#include "foundation/draw/gradient.h"

#ifdef _WIN32
class CBrush;
class CFont;
class CRgn;
#endif
class CDC;

// Style bits (PBS_VERTICAL is the platform's own).
#ifndef PBS_VERTICAL
#define PBS_VERTICAL 0x0004
#endif
#define PPS_ALIGN_LEFT 0x0010
#define PPS_ALIGN_RIGHT 0x0020
#define PPS_ALIGN_TOP 0x0040
#define PPS_ALIGN_BOTTOM 0x0080
#define PPS_TEXT_PERCENT 0x0100
#define PPS_TEXT_POSITION 0x0200
#define PPS_TEXT_MASK 0x0300
#define PPS_TEXT_ON_BAR 0x1000
#define PPS_BAR_GRADIENT 0x2000
#define PPS_REVERSE 0x4000
#define PPS_SNAKE 0x8000

constexpr COLORREF kNoBackground = (COLORREF)-1;  // no background fill

// What one drawing works on.
struct ProgressDrawInfo {
  CDC* dc;
  DWORD style;
  CRect rect;  // the bar, margins taken off
  int pos;
  int lower;
  int upper;
};

// A stretch [from, to) along the bar, in pixels from its origin edge.
struct ProgressLine {
  int from;
  int to;
};

// The text of a bar: format with its one integer conversion filled in; see FormatText.
CString ExpandProgressFormat(const char* format, int value);

class CProgressPainter : public CGradient {
 public:
  CProgressPainter();
  ~CProgressPainter() override;

  virtual DWORD GetStyle() const { return m_dwStyle; }
  virtual BOOL ModifyStyle(DWORD remove, DWORD add);
#ifdef _WIN32
  virtual void DrawText(const ProgressDrawInfo& info, ProgressLine whole, ProgressLine filled);
  virtual void DrawClippedText(const ProgressDrawInfo& info, ProgressLine line, const CString& text,
                               CPoint windowOrigin);
#endif
  virtual BOOL StepSnake(int n, BOOL relative);
  virtual CString FormatText(const ProgressDrawInfo& info, const CString& format, float value);
  virtual float GetTextValue(const ProgressDrawInfo& info);
  virtual BOOL OnPosChanging(int oldPos, int newPos) { return TRUE; }
  virtual void OnPosChanged(int newPos) = 0;

  void SetRange(int a, int b);
  void GetRange(int* lower, int* upper) const {
    *lower = m_nLower;
    *upper = m_nUpper;
  }
  int GetPos() const { return m_nPos; }
  int SetPos(int n);     // previous position
  int OffsetPos(int n);  // previous position
  int SetStep(int n);    // previous step
  int StepIt() { return OffsetPos(m_nStep); }
  void SetTextFormat(const char* format, DWORD mode);
  const CString& GetTextFormat() const { return m_strFormat; }
  void SetTextColors(COLORREF overBar, COLORREF overBackground = kNoBackground);
  void SetBkColor(COLORREF color) { m_crBk = color; }
  void SetMargins(const CRect& margins) { m_rcMargins = margins; }
  void SetSnakeLength(int n) { m_nSnakeLength = n; }
  int GetSnakeTail() const { return m_nTail; }
  BOOL UsesPalette() const { return m_bUsePalette; }
  CRect GetLineRect(const ProgressDrawInfo& info, ProgressLine line) const;
  // Filled part [tail, head) of a bar len pixels long.
  ProgressLine GetFilledLine(int len, DWORD style) const;

#ifdef _WIN32
  void SetFont(CFont* font);
  CFont* GetFont() const;
  void SetBarBrush(CBrush* brush);
  void SetBkBrush(CBrush* brush);
  // Takes ownership; null removes clipping.
  BOOL SetClipRgn(HRGN rgn);
  // The whole bar into rect; direct draws straight into dc instead of off-screen.
  void DrawBar(CDC* dc, CRect rect, BOOL direct);
#endif

 protected:
  // Clamps n into the range; on a change asks OnPosChanging (unless forced) and
  // reports OnPosChanged.
  void SetPosClamped(int n, BOOL force);

  DWORD m_dwStyle = 0xF0;
  COLORREF m_crBk;          // kNoBackground: no background fill
  COLORREF m_crTextOnBar;   // text over the done part
  COLORREF m_crTextOnBk;    // text elsewhere
  int m_nTail = 0;          // snake tail, range units
  int m_nSnakeLength = 40;  // range units
  int m_nStep = 10;
  int m_nLower = 0, m_nUpper = 100;  // lower <= upper always
  int m_nPos = 0;                    // within [lower, upper]
  int m_nOffset = 0;                 // gradient animation offset, range units
  CRect m_rcMargins;
  CString m_strFormat;
#ifdef _WIN32
  HBRUSH m_hBarBrush = nullptr;  // not owned
  HBRUSH m_hBkBrush = nullptr;   // not owned
  HFONT m_hFont = nullptr;       // not owned
  CRgn* m_pClipRgn = nullptr;    // owned, relative to the bar rectangle
#endif
};
