#include "foundation/draw/progress_bar.h"

#include <cstring>

BEGIN_MESSAGE_MAP(CProgressBar, CProgressCtrl)
  ON_WM_ERASEBKGND()
  ON_WM_PAINT()
  ON_WM_TIMER()
  ON_MESSAGE(PBM_SETRANGE, &CProgressBar::OnSetRange)
  ON_MESSAGE(PBM_SETRANGE32, &CProgressBar::OnSetRange32)
  ON_MESSAGE(PBM_GETRANGE, &CProgressBar::OnGetRange)
  ON_MESSAGE(PBM_SETPOS, &CProgressBar::OnSetPos)
  ON_MESSAGE(PBM_DELTAPOS, &CProgressBar::OnDeltaPos)
  ON_MESSAGE(PBM_SETSTEP, &CProgressBar::OnSetStep)
  ON_MESSAGE(PBM_STEPIT, &CProgressBar::OnStepIt)
  ON_MESSAGE(PBM_GETPOS, &CProgressBar::OnGetPos)
  ON_MESSAGE(PBM_SETBARCOLOR, &CProgressBar::OnSetBarColor)
  ON_MESSAGE(PBM_SETBKCOLOR, &CProgressBar::OnSetBkColor)
  ON_MESSAGE(WM_SETTEXT, &CProgressBar::OnSetText)
  ON_MESSAGE(WM_GETTEXT, &CProgressBar::OnGetText)
  ON_MESSAGE(WM_GETTEXTLENGTH, &CProgressBar::OnGetTextLength)
  ON_MESSAGE(WM_SETFONT, &CProgressBar::OnSetFontMsg)
  ON_MESSAGE(WM_GETFONT, &CProgressBar::OnGetFontMsg)
END_MESSAGE_MAP()

CProgressBar::CProgressBar() = default;
CProgressBar::~CProgressBar() = default;

DWORD CProgressBar::GetStyle() const { return m_hWnd ? CWnd::GetStyle() : m_dwStyle; }

BOOL CProgressBar::ModifyStyle(DWORD remove, DWORD add) {
  if (!m_hWnd) return CProgressPainter::ModifyStyle(remove, add);
  BOOL changed = CWnd::ModifyStyle(remove, add);
  if (changed) Invalidate();
  return changed;
}

void CProgressBar::OnPosChanged(int newPos) {
  if (!m_tooltip.m_hWnd) return;
  ProgressDrawInfo info = {nullptr, m_dwTipMode, CRect(), newPos, m_nLower, m_nUpper};
  CString text = FormatText(info, m_strTipFormat, GetTextValue(info));
  if (!text.IsEmpty()) m_tooltip.UpdateTipText(text, this, 1);
}

int CProgressBar::SetPosition(int n) {
  int old = CProgressPainter::SetPos(n);
  Invalidate();
  return old;
}

void CProgressBar::SetRange(int lower, int upper) {
  CProgressPainter::SetRange(lower, upper);
  Invalidate();
}

void CProgressBar::SetTextFont(CFont* font) {
  CProgressPainter::SetFont(font);
  Invalidate();
}

void CProgressBar::SetTooltipFormat(const char* format, DWORD mode) {
  m_strTipFormat = format ? format : "";
  m_dwTipMode = mode & PPS_TEXT_MASK;
  if (!m_strTipFormat.IsEmpty() && m_dwTipMode) {
    if (!m_tooltip.m_hWnd) {
      m_tooltip.Create(this, TTS_ALWAYSTIP | TTS_NOPREFIX);
      CRect client;
      GetClientRect(&client);
      m_tooltip.AddTool(this, "", &client, 1);
    }
    OnPosChanged(m_nPos);
    m_tooltip.Activate(TRUE);
  } else if (m_tooltip.m_hWnd) {
    m_tooltip.Activate(FALSE);
  }
}

BOOL CProgressBar::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_MOUSEMOVE && msg->hwnd == m_hWnd && m_tooltip.m_hWnd) m_tooltip.RelayEvent(msg);
  return CProgressCtrl::PreTranslateMessage(msg);
}

void CProgressBar::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  CPalette* oldPalette = nullptr;
  if (m_bUsePalette && GetPalette()) {
    oldPalette = dc.SelectPalette(GetPalette(), FALSE);
    dc.RealizePalette();
  }
  DrawBar(&dc, client, FALSE);
  if (oldPalette) dc.SelectPalette(oldPalette, TRUE);
}

void CProgressBar::OnTimer(UINT_PTR id) {
  if (id == 11) {
    CProgressPainter::StepIt();
    Invalidate();
  } else if (id == 12) {
    m_nOffset += m_nAnimStep;
    int period = (int)(m_fScale * (float)(m_nUpper - m_nLower));
    // An empty range has no period to wrap around.
    if (period != 0) m_nOffset %= period;
    Invalidate();
  }
  Default();
}

LRESULT CProgressBar::OnSetRange(WPARAM, LPARAM lp) {
  return OnSetRange32((WPARAM)(int)LOWORD(lp), (LPARAM)(int)HIWORD(lp));
}

LRESULT CProgressBar::OnSetRange32(WPARAM wp, LPARAM lp) {
  int oldLower = m_nLower, oldUpper = m_nUpper;
  CProgressPainter::SetRange((int)wp, (int)lp);
  Invalidate();
  return MAKELONG(oldLower, oldUpper);
}

LRESULT CProgressBar::OnGetRange(WPARAM wp, LPARAM lp) {
  if (lp) {
    PBRANGE* r = (PBRANGE*)lp;
    r->iLow = m_nLower;
    r->iHigh = m_nUpper;
  }
  return wp ? m_nLower : m_nUpper;
}

LRESULT CProgressBar::OnSetPos(WPARAM wp, LPARAM) {
  int old = CProgressPainter::SetPos((int)wp);
  Invalidate();
  return old;
}

LRESULT CProgressBar::OnDeltaPos(WPARAM wp, LPARAM) {
  int old = CProgressPainter::OffsetPos((int)wp);
  Invalidate();
  return old;
}

LRESULT CProgressBar::OnSetStep(WPARAM wp, LPARAM) {
  int old = CProgressPainter::SetStep((int)wp);
  Invalidate();
  return old;
}

LRESULT CProgressBar::OnStepIt(WPARAM, LPARAM) {
  int old = CProgressPainter::StepIt();
  Invalidate();
  return old;
}

LRESULT CProgressBar::OnGetPos(WPARAM, LPARAM) { return m_nPos; }

LRESULT CProgressBar::OnSetBarColor(WPARAM wp, LPARAM lp) {
  COLORREF start = (COLORREF)lp;
  CGradient::SetColors(start, wp ? (COLORREF)wp : start);
  return (LRESULT)CLR_DEFAULT;
}

LRESULT CProgressBar::OnSetBkColor(WPARAM, LPARAM lp) {
  m_crBk = (COLORREF)lp;
  return (LRESULT)CLR_DEFAULT;
}

LRESULT CProgressBar::OnSetText(WPARAM, LPARAM lp) {
  m_strFormat = lp ? (const char*)lp : "";
  Invalidate();
  return TRUE;
}

// Cut to the buffer and always terminated inside it.
LRESULT CProgressBar::OnGetText(WPARAM wp, LPARAM lp) {
  int size = (int)wp;
  char* buf = (char*)lp;
  if (!buf || size <= 0) return 0;
  int len = m_strFormat.GetLength();
  int n = len < size ? len : size - 1;
  memcpy(buf, m_strFormat.GetString(), (size_t)n);
  buf[n] = '\0';
  return len < size ? len : size;
}

LRESULT CProgressBar::OnGetTextLength(WPARAM, LPARAM) { return m_strFormat.GetLength(); }

LRESULT CProgressBar::OnSetFontMsg(WPARAM wp, LPARAM lp) {
  m_hFont = (HFONT)wp;
  if (LOWORD(lp)) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  return 0;
}

LRESULT CProgressBar::OnGetFontMsg(WPARAM, LPARAM) { return (LRESULT)m_hFont; }
