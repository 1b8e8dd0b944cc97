// CProgressBar: a progress control whose drawing is all CProgressPainter's.
//
// None of the progress messages reaches the platform control: the bar answers them
// from its painter and paints itself through an off-screen surface, so a position
// change repaints without flicker.
#pragma once

#include "foundation/draw/progress_painter.h"
#include "platform/win/controls.h"

class CProgressBar : public CProgressCtrl, public CProgressPainter {
 public:
  CProgressBar();
  ~CProgressBar() override;

  // The window style holds the painter's style bits.
  DWORD GetStyle() const override;
  BOOL ModifyStyle(DWORD remove, DWORD add) override;
  void OnPosChanged(int newPos) override;

  int SetPosition(int n);  // previous position
  void SetRange(int lower, int upper);
  void SetTextFont(CFont* font);
  void SetTooltipFormat(const char* format, DWORD mode);
  void SetAnimationStep(int step) { m_nAnimStep = step; }
  int GetGradientOffset() const { return m_nOffset; }

  // The progress control's own calls, through the messages the bar answers.
  using CProgressCtrl::GetPos;
  using CProgressCtrl::GetRange;
  using CProgressCtrl::OffsetPos;
  using CProgressCtrl::SetPos;
  using CProgressCtrl::SetStep;
  using CProgressCtrl::StepIt;
  void SetFont(CFont* font, BOOL redraw = TRUE) { CWnd::SetFont(font, redraw); }
  CFont* GetFont() const { return CProgressPainter::GetFont(); }

  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  afx_msg BOOL OnEraseBkgnd(CDC*) { return TRUE; }
  afx_msg void OnPaint();
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg LRESULT OnSetRange(WPARAM, LPARAM);
  afx_msg LRESULT OnSetRange32(WPARAM, LPARAM);
  afx_msg LRESULT OnGetRange(WPARAM, LPARAM);
  afx_msg LRESULT OnSetPos(WPARAM, LPARAM);
  afx_msg LRESULT OnDeltaPos(WPARAM, LPARAM);
  afx_msg LRESULT OnSetStep(WPARAM, LPARAM);
  afx_msg LRESULT OnStepIt(WPARAM, LPARAM);
  afx_msg LRESULT OnGetPos(WPARAM, LPARAM);
  afx_msg LRESULT OnSetBarColor(WPARAM, LPARAM);
  afx_msg LRESULT OnSetBkColor(WPARAM, LPARAM);
  afx_msg LRESULT OnSetText(WPARAM, LPARAM);
  afx_msg LRESULT OnGetText(WPARAM, LPARAM);
  afx_msg LRESULT OnGetTextLength(WPARAM, LPARAM);
  afx_msg LRESULT OnSetFontMsg(WPARAM, LPARAM);
  afx_msg LRESULT OnGetFontMsg(WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()

 private:
  CToolTipCtrl m_tooltip;
  CString m_strTipFormat;
  DWORD m_dwTipMode = 0;  // PPS_TEXT_MASK bits
  int m_nAnimStep = 1;    // gradient offset per tick of timer 12
};
