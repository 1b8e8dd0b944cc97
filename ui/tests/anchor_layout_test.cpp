// Anchored controls in a real dialog: their rectangles after resizes, and the moves
// each control is told about (none for one that stays where it is).
#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "ui/anchor_layout.h"
#include "ui/tests/test_ids.h"

namespace {

// Records the position changes a control is asked for.
class CMoveRecorder : public CWnd {
 public:
  std::vector<UINT> m_flags;  // SWP_ flags of each WM_WINDOWPOSCHANGING
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_WINDOWPOSCHANGING) m_flags.push_back(((WINDOWPOS*)lParam)->flags);
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

class CAnchorDlg : public CDialog, public CAnchorLayout {
 public:
  CAnchorDlg() : CDialog(IDD_T_ANCHOR) {}
  CWnd* GetAnchoredWindow() override { return this; }
  std::map<int, CMoveRecorder> m_recorders;

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    for (int id : {IDC_T_LIST, IDC_T_CORNER, IDC_T_CENTER_A, IDC_T_CENTER_B, IDC_T_TEXT, IDC_T_ICON, IDC_T_STILL})
      m_recorders[id].SubclassDlgItem(id, this);
    AnchorControl(IDC_T_LIST, ANCHOR_TOPLEFT, ANCHOR_BOTTOMRIGHT);
    AnchorControl(IDC_T_CORNER, ANCHOR_BOTTOMRIGHT);
    AnchorControl(IDC_T_CENTER_A, ANCHOR_TOP);
    AnchorControl(IDC_T_CENTER_B, ANCHOR_TOP);
    AnchorControl(IDC_T_TEXT, ANCHOR_BOTTOMLEFT, ANCHOR_BOTTOMRIGHT);
    AnchorControl(IDC_T_ICON, ANCHOR_TOPRIGHT);
    AnchorControl(IDC_T_STILL, ANCHOR_TOPLEFT);
    AnchorControl(IDC_T_MISSING, ANCHOR_CENTER, ANCHOR_BOTTOMRIGHT);
    AnchorControl(IDC_T_GROUP, ANCHOR_TOPLEFT, ANCHOR_BOTTOMLEFT);
    return TRUE;
  }
  afx_msg void OnSize(UINT, int, int) {
    Default();
    ApplyAnchors();
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CAnchorDlg, CDialog)
  ON_WM_SIZE()
END_MESSAGE_MAP()

CRect RectOf(CWnd* dlg, int id) {
  CRect r;
  ::GetWindowRect(::GetDlgItem(dlg->m_hWnd, id), &r);
  dlg->ScreenToClient(&r);
  return r;
}

TEST(AnchorLayoutTest, ControlsKeepTheirOffsetsFromTheirAnchors) {
  CAnchorDlg dlg;
  ASSERT_TRUE(dlg.Create(IDD_T_ANCHOR));
  ASSERT_EQ(9, dlg.m_nCtrlCount);
  ASSERT_EQ(9, dlg.m_entries.GetSize());
  EXPECT_EQ(nullptr, dlg.m_entries[7].hWnd);  // the missing id: an entry without window
  EXPECT_TRUE(dlg.GetDlgItem(IDC_T_GROUP)->GetStyle() & WS_CLIPSIBLINGS);
  EXPECT_TRUE(dlg.m_entries[4].bNeedsRefresh);   // a static text
  EXPECT_FALSE(dlg.m_entries[5].bNeedsRefresh);  // an icon
  EXPECT_TRUE(dlg.m_entries[0].bListBox);

  CRect client0;
  dlg.GetClientRect(&client0);
  std::map<int, CRect> start;
  for (int id : {IDC_T_LIST, IDC_T_CORNER, IDC_T_CENTER_A, IDC_T_CENTER_B, IDC_T_TEXT, IDC_T_ICON, IDC_T_STILL})
    start[id] = RectOf(&dlg, id);

  for (CSize grow : {CSize(120, 80), CSize(37, 51), CSize(0, 0)}) {
    for (auto& r : dlg.m_recorders) r.second.m_flags.clear();
    CRect window;
    dlg.GetWindowRect(&window);
    CRect before;
    dlg.GetClientRect(&before);
    dlg.SetWindowPos((HWND) nullptr, 0, 0, window.Width() + grow.cx - (before.Width() - client0.Width()),
                     window.Height() + grow.cy - (before.Height() - client0.Height()), SWP_NOMOVE | SWP_NOZORDER);
    CRect client;
    dlg.GetClientRect(&client);
    int dw = client.Width() - client0.Width(), dh = client.Height() - client0.Height();
    ASSERT_EQ(grow.cx, dw);
    ASSERT_EQ(grow.cy, dh);
    SCOPED_TRACE(testing::Message() << "grown by " << dw << " x " << dh);

    // Top-left and bottom-right: the four margins stay, the control grows.
    CRect list = start[IDC_T_LIST];
    EXPECT_EQ(CRect(list.left, list.top, list.right + dw, list.bottom + dh), RectOf(&dlg, IDC_T_LIST));
    // Bottom-right only: moves with the corner, keeps its size.
    CRect corner = start[IDC_T_CORNER];
    corner.OffsetRect(dw, dh);
    EXPECT_EQ(corner, RectOf(&dlg, IDC_T_CORNER));
    // 50 %: both keep their distance from the centre line, so they stay symmetric.
    int mid0 = client0.Width() * 50 / 100, mid = client.Width() * 50 / 100;
    EXPECT_EQ(start[IDC_T_CENTER_A].left - mid0, RectOf(&dlg, IDC_T_CENTER_A).left - mid);
    EXPECT_EQ(start[IDC_T_CENTER_B].right - mid0, RectOf(&dlg, IDC_T_CENTER_B).right - mid);
    EXPECT_EQ(start[IDC_T_CENTER_A].Width(), RectOf(&dlg, IDC_T_CENTER_A).Width());
    // Bottom edge, stretched across.
    CRect text = start[IDC_T_TEXT];
    EXPECT_EQ(CRect(text.left, text.top + dh, text.right + dw, text.bottom + dh), RectOf(&dlg, IDC_T_TEXT));
    CRect icon = start[IDC_T_ICON];
    icon.OffsetRect(dw, 0);
    EXPECT_EQ(icon, RectOf(&dlg, IDC_T_ICON));
    // Top-left only: never asked to move.
    EXPECT_EQ(start[IDC_T_STILL], RectOf(&dlg, IDC_T_STILL));
    EXPECT_TRUE(dlg.m_recorders[IDC_T_STILL].m_flags.empty());

    // The flags of the moves: only what changed, no copied pixels for the text.
    if (dw != 0 && dh != 0) {
      std::vector<UINT>& textFlags = dlg.m_recorders[IDC_T_TEXT].m_flags;
      ASSERT_FALSE(textFlags.empty());
      EXPECT_TRUE(textFlags[0] & SWP_NOCOPYBITS);
      std::vector<UINT>& iconFlags = dlg.m_recorders[IDC_T_ICON].m_flags;
      ASSERT_FALSE(iconFlags.empty());
      EXPECT_FALSE(iconFlags[0] & SWP_NOCOPYBITS);
      EXPECT_TRUE(iconFlags[0] & SWP_NOSIZE);
      std::vector<UINT>& listFlags = dlg.m_recorders[IDC_T_LIST].m_flags;
      ASSERT_FALSE(listFlags.empty());
      EXPECT_TRUE(listFlags[0] & SWP_NOMOVE);
      EXPECT_FALSE(listFlags[0] & SWP_NOSIZE);
      EXPECT_TRUE(listFlags[0] & SWP_NOZORDER);
    } else {
      for (auto& r : dlg.m_recorders) EXPECT_TRUE(r.second.m_flags.empty()) << "control " << r.first;
    }
    client0 = client;
    for (auto& s : start) s.second = RectOf(&dlg, s.first);
  }
  dlg.DestroyWindow();
}

TEST(AnchorLayoutTest, WhichControlsRepaintAndWhichClip) {
  CAnchorDlg dlg;
  ASSERT_TRUE(dlg.Create(IDD_T_ANCHOR));
  struct Case {
    const char* cls;
    DWORD style;
    BOOL repaint, clip;
  } cases[] = {
      {"Static", SS_LEFT, TRUE, FALSE},
      {"Static", SS_RIGHT, TRUE, FALSE},
      {"Static", SS_ICON, FALSE, TRUE},
      {"Static", SS_ICON | SS_CENTERIMAGE, FALSE, FALSE},
      {"Static", SS_BITMAP, TRUE, TRUE},
      {"Static", SS_ETCHEDHORZ, FALSE, TRUE},
      {"Static", SS_SIMPLE, FALSE, FALSE},
      {"Static", SS_BLACKRECT | SS_CENTERIMAGE, TRUE, TRUE},
      {"Button", BS_GROUPBOX, FALSE, FALSE},
      {"Button", BS_PUSHBUTTON, FALSE, TRUE},
      {"Edit", 0, FALSE, TRUE},
  };
  for (const Case& c : cases) {
    HWND h = ::CreateWindowExA(0, c.cls, "", WS_CHILD | c.style, 0, 0, 10, 10, dlg.m_hWnd, nullptr, nullptr, nullptr);
    ASSERT_TRUE(h);
    EXPECT_EQ(c.repaint, dlg.NeedsRepaintOnResize(h)) << c.cls << " 0x" << std::hex << c.style;
    EXPECT_EQ(c.clip, dlg.CanClipControl(h)) << c.cls << " 0x" << std::hex << c.style;
    ::DestroyWindow(h);
  }
  dlg.DestroyWindow();
}

}  // namespace
