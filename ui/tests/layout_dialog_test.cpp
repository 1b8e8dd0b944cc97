// The layout dialog host with real controls: where the tree puts them after a resize,
// the tracking sizes it gives the window, the size grip, the background around the
// controls and the saved window placement.
#include <gtest/gtest.h>

#include "platform/testing/test_support.h"
#include "platform/win/app_profile.h"
#include "ui/layout_dialog.h"
#include "ui/tests/test_ids.h"

namespace {

CRect RectOf(CWnd* dlg, int id) {
  CRect r;
  ::GetWindowRect(::GetDlgItem(dlg->m_hWnd, id), &r);
  dlg->ScreenToClient(&r);
  return r;
}

class CTestLayoutDlg : public RDQLayoutDialog {
 public:
  explicit CTestLayoutDlg(LPCTSTR section = nullptr, BOOL grip = TRUE, bool buildTree = true)
      : RDQLayoutDialog(IDD_T_LAYOUT, nullptr, section, grip), m_bBuildTree(buildTree) {}
  bool m_bBuildTree;
  RDQLayoutRef m_top, m_group, m_tabs, m_bottom;

 protected:
  // Edit and button in a row; the list takes what is left; a group box with a check
  // box and a combo; a tab control with an edit in its page; OK and Cancel at the
  // bottom right.
  BOOL OnInitDialog() override {
    RDQLayoutDialog::OnInitDialog();
    if (!m_bBuildTree) return TRUE;
    TCITEMA tab = {};
    tab.mask = TCIF_TEXT;
    tab.pszText = (LPSTR) "One";
    GetDlgItem(IDC_T_TAB)->SendMessage(TCM_INSERTITEMA, 0, (LPARAM)&tab);
    RDQLayoutRef root = NewRootPane(LM_VERTICAL, 4);
    m_top = CreatePane(LM_HORIZONTAL, LM_FIXED_HEIGHT, 4);
    m_top << CreateItem(IDC_T_EDIT, LM_FIXED_HEIGHT, 0, 0, 60)
          << CreateItem(IDC_T_BUTTON, LM_FIXED_WIDTH | LM_FIXED_HEIGHT);
    m_group = CreateCtrlPane(IDC_T_GROUP, LM_HORIZONTAL, LM_FIXED_HEIGHT, 8, 6, 10);
    m_group << CreateItem(IDC_T_CHECK, LM_FIXED_WIDTH | LM_FIXED_HEIGHT | LM_ALIGN_VCENTER)
            << CreateItem(IDC_T_COMBO, LM_FIXED_HEIGHT);
    m_tabs = CreateTabPane(GetDlgItem(IDC_T_TAB)->m_hWnd, LM_HORIZONTAL, LM_FIXED_HEIGHT, 0, 2, 0);
    m_tabs << CreateItem(IDC_T_TAB_EDIT, LM_FIXED_HEIGHT);
    m_bottom = CreatePane(LM_HORIZONTAL, LM_FIXED_HEIGHT, 6);
    m_bottom << CreateGrowingSpacer(LM_HORIZONTAL) << CreateItem(IDOK, LM_FIXED_WIDTH | LM_FIXED_HEIGHT)
             << CreateItem(IDCANCEL, LM_FIXED_WIDTH | LM_FIXED_HEIGHT);
    root << m_top << CreateItem(IDC_T_LIST, 0, 0, 0, 80, 40) << m_group << m_tabs << m_bottom;
    Relayout();
    return TRUE;
  }
};

void SetWindowSize(CWnd* wnd, int cx, int cy) {
  wnd->SetWindowPos((HWND) nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

class LayoutDialogTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::win::PumpPendingMessages(); }
};

TEST_F(LayoutDialogTest, ControlsFollowTheTreeAtEverySize) {
  CTestLayoutDlg dlg;
  ASSERT_TRUE(dlg.Create(IDD_T_LAYOUT));
  EXPECT_TRUE(dlg.GetStyle() & WS_THICKFRAME);
  ASSERT_TRUE(dlg.m_wndStatusBar.m_hWnd);
  EXPECT_EQ(0xE801, dlg.m_wndStatusBar.GetDlgCtrlID());
  EXPECT_TRUE(dlg.m_wndStatusBar.GetStyle() & SBARS_SIZEGRIP);
  for (CSize size : {CSize(500, 400), CSize(720, 540), CSize(460, 380)}) {
    SetWindowSize(&dlg, size.cx, size.cy);
    CRect client, bar;
    dlg.GetClientRect(&client);
    bar = RectOf(&dlg, 0xE801);
    SCOPED_TRACE(testing::Message() << "window " << size.cx << " x " << size.cy);
    // The status bar follows the bottom edge; the last row ends 5 pixels below its top.
    EXPECT_EQ(client.bottom, bar.bottom);
    EXPECT_EQ(client.right, bar.right);
    CRect edit = RectOf(&dlg, IDC_T_EDIT), button = RectOf(&dlg, IDC_T_BUTTON), list = RectOf(&dlg, IDC_T_LIST);
    CRect group = RectOf(&dlg, IDC_T_GROUP), check = RectOf(&dlg, IDC_T_CHECK), combo = RectOf(&dlg, IDC_T_COMBO);
    CRect tab = RectOf(&dlg, IDC_T_TAB), tabEdit = RectOf(&dlg, IDC_T_TAB_EDIT);
    CRect ok = RectOf(&dlg, IDOK), cancel = RectOf(&dlg, IDCANCEL);
    EXPECT_EQ(bar.top + 5, cancel.bottom);
    EXPECT_EQ(bar.top + 5, ok.bottom);
    // Margins of 3; the fixed button at the right, the edit taking the rest of its row.
    EXPECT_EQ(3, edit.left);
    EXPECT_EQ(3, edit.top);
    EXPECT_EQ(client.right - 3, button.right);
    EXPECT_EQ(button.left - 4, edit.right);
    EXPECT_EQ(client.right - 3, cancel.right);
    EXPECT_EQ(cancel.left - 6, ok.right);
    // Rows stacked 4 apart, every one across the whole width.
    EXPECT_EQ(std::max(edit.bottom, button.bottom) + 4, list.top);
    EXPECT_EQ(list.bottom + 4, group.top);
    EXPECT_EQ(group.bottom + 4, tab.top);
    EXPECT_EQ(tab.bottom + 4, std::min(ok.top, cancel.top));
    for (const CRect& r : {list, group, tab}) {
      EXPECT_EQ(3, r.left);
      EXPECT_EQ(client.right - 3, r.right);
    }
    // Inside the group: below its caption, 6 in from its sides; the check box keeps
    // its width, the combo stretches and keeps its closed height.
    EXPECT_EQ(group.left + 6, check.left);
    EXPECT_EQ(group.right - 6, combo.right);
    EXPECT_EQ(check.right + 8, combo.left);
    EXPECT_GE(check.top, group.top + 10 + 6);
    // The edit in the tab control's page area.
    CRect display = tab;
    dlg.GetDlgItem(IDC_T_TAB)->SendMessage(TCM_ADJUSTRECT, FALSE, (LPARAM)(RECT*)&display);
    EXPECT_EQ(display.left + 2, tabEdit.left);
    EXPECT_EQ(display.right - 2, tabEdit.right);
    EXPECT_EQ(display.top + 2, tabEdit.top);
  }
  dlg.DestroyWindow();
}

TEST_F(LayoutDialogTest, TrackingSizesComeFromTheTree) {
  CTestLayoutDlg dlg;
  ASSERT_TRUE(dlg.Create(IDD_T_LAYOUT));
  CRect window, layout = dlg.GetLayoutRect();
  dlg.GetWindowRect(&window);
  CSize frame(window.Width() - layout.Width(), window.Height() - layout.Height());
  MINMAXINFO info = {};
  dlg.SendMessage(WM_GETMINMAXINFO, 0, (LPARAM)&info);
  RDQLayoutNode* root = dlg.m_root.Get();
  EXPECT_EQ(root->MinWidth() + frame.cx + 6, info.ptMinTrackSize.x);
  EXPECT_EQ(root->MinHeight() + frame.cy + 6, info.ptMinTrackSize.y);
  // The list is greedy: no maximum, and maximising is left alone.
  MINMAXINFO defaults = {};
  ::DefWindowProcA(dlg.m_hWnd, WM_GETMINMAXINFO, 0, (LPARAM)&defaults);
  EXPECT_EQ(defaults.ptMaxTrackSize.x, info.ptMaxTrackSize.x);
  EXPECT_EQ(defaults.ptMaxSize.y, info.ptMaxSize.y);

  // Resizing below the minimum is refused.
  SetWindowSize(&dlg, 20, 20);
  dlg.GetWindowRect(&window);
  EXPECT_EQ(info.ptMinTrackSize.x, window.Width());
  EXPECT_EQ(info.ptMinTrackSize.y, window.Height());

  // A tree of fixed controls bounds the maximum too (the window is clamped at once).
  RDQLayoutRef fixed = dlg.NewRootPane(LM_HORIZONTAL);
  fixed << dlg.CreateItem(IDC_T_BUTTON, LM_FIXED_WIDTH | LM_FIXED_HEIGHT);
  SetWindowSize(&dlg, 600, 500);
  info = MINMAXINFO();
  dlg.SendMessage(WM_GETMINMAXINFO, 0, (LPARAM)&info);
  EXPECT_EQ(info.ptMinTrackSize.x, info.ptMaxTrackSize.x);
  EXPECT_EQ(info.ptMaxTrackSize.x, info.ptMaxSize.x);
  EXPECT_EQ(info.ptMaxTrackSize.y, info.ptMaxSize.y);
  dlg.GetWindowRect(&window);
  EXPECT_EQ(info.ptMaxTrackSize.x, window.Width());
  dlg.DestroyWindow();
}

TEST_F(LayoutDialogTest, WithoutATreeTheWindowKeepsThePlatformBounds) {
  CTestLayoutDlg dlg(nullptr, FALSE, false);
  ASSERT_TRUE(dlg.Create(IDD_T_LAYOUT));
  EXPECT_EQ(nullptr, dlg.m_wndStatusBar.m_hWnd);
  MINMAXINFO info = {}, defaults = {};
  dlg.SendMessage(WM_GETMINMAXINFO, 0, (LPARAM)&info);
  ::DefWindowProcA(dlg.m_hWnd, WM_GETMINMAXINFO, 0, (LPARAM)&defaults);
  EXPECT_EQ(defaults.ptMinTrackSize.x, info.ptMinTrackSize.x);
  EXPECT_EQ(defaults.ptMinTrackSize.y, info.ptMinTrackSize.y);
  CRect edit = RectOf(&dlg, IDC_T_EDIT);
  SetWindowSize(&dlg, 600, 500);
  EXPECT_EQ(edit, RectOf(&dlg, IDC_T_EDIT));
  // Without the grip the layout rectangle is the client rectangle.
  CRect client;
  dlg.GetClientRect(&client);
  EXPECT_EQ(client, dlg.GetLayoutRect());
  dlg.DestroyWindow();
}

TEST_F(LayoutDialogTest, MinimisingLaysNothingOut) {
  CTestLayoutDlg dlg;
  ASSERT_TRUE(dlg.Create(IDD_T_LAYOUT));
  SetWindowSize(&dlg, 500, 400);
  CRect list = RectOf(&dlg, IDC_T_LIST), ok = RectOf(&dlg, IDOK);
  dlg.SendMessage(WM_SIZE, SIZE_MINIMIZED, 0);
  EXPECT_EQ(list, RectOf(&dlg, IDC_T_LIST));
  EXPECT_EQ(ok, RectOf(&dlg, IDOK));
  // A layout rectangle without area is refused.
  EXPECT_FALSE(dlg.LayoutRootInRect(CRect(0, 0, 0, 100)));
  EXPECT_FALSE(dlg.LayoutRootInRect(CRect(10, 10, 5, 100)));
  EXPECT_EQ(list, RectOf(&dlg, IDC_T_LIST));
  dlg.DestroyWindow();
}

TEST_F(LayoutDialogTest, BackgroundIsPaintedAroundTheControlsOnly) {
  CTestLayoutDlg dlg;
  ASSERT_TRUE(dlg.Create(IDD_T_LAYOUT));
  SetWindowSize(&dlg, 500, 400);
  CRect client;
  dlg.GetClientRect(&client);
  CClientDC screen(&dlg);
  CDC mem;
  mem.CreateCompatibleDC(&screen);
  CBitmap surface;
  surface.CreateCompatibleBitmap(&screen, client.Width(), client.Height());
  CBitmap* old = mem.SelectObject(&surface);
  const COLORREF kMark = RGB(255, 0, 255);
  mem.FillSolidRect(&client, kMark);
  dlg.PaintBackground(&mem);

  CRect button = RectOf(&dlg, IDC_T_BUTTON), group = RectOf(&dlg, IDC_T_GROUP), tab = RectOf(&dlg, IDC_T_TAB);
  CRect bar = RectOf(&dlg, 0xE801), check = RectOf(&dlg, IDC_T_CHECK);
  CRect display = tab;
  dlg.GetDlgItem(IDC_T_TAB)->SendMessage(TCM_ADJUSTRECT, FALSE, (LPARAM)(RECT*)&display);
  struct Probe {
    const char* what;
    CPoint at;
    bool painted;
  } probes[] = {
      {"between controls", CPoint(1, 1), true},
      {"over a button", button.CenterPoint(), false},
      {"over a check box in a group", check.CenterPoint(), false},
      {"inside a group box", CPoint(group.left + 3, group.bottom - 3), true},
      {"in a tab control's page area", CPoint(display.right - 3, display.bottom - 3), true},
      {"on a tab control's tabs", CPoint(tab.left + 5, tab.top + 3), false},
      {"on the status bar", CPoint(bar.left + 5, bar.CenterPoint().y), true},
      {"on the size grip", CPoint(bar.right - 2, bar.bottom - 2), false},
  };
  for (const Probe& p : probes) EXPECT_EQ(p.painted, mem.GetPixel(p.at.x, p.at.y) != kMark) << p.what;
  mem.SelectObject(old);
  dlg.DestroyWindow();
}

TEST_F(LayoutDialogTest, WindowPlacementIsSavedAndRestored) {
  testing_support::TempDir dir;
  AfxSetProfileFile(dir / "layout.ini");
  {
    CTestLayoutDlg dlg("Demo");
    ASSERT_TRUE(dlg.Create(IDD_T_LAYOUT));
    dlg.SetWindowPos((HWND) nullptr, 50, 60, 480, 360, SWP_NOZORDER | SWP_NOACTIVATE);
    dlg.DestroyWindow();
  }
  BYTE* data = nullptr;
  UINT bytes = 0;
  ASSERT_TRUE(AfxGetProfileBinary("Demo", "WindowPlacement", &data, &bytes));
  ASSERT_EQ(44u, bytes);
  WINDOWPLACEMENT wp;
  memcpy(&wp, data, sizeof wp);
  delete[] data;
  EXPECT_EQ((UINT)SW_SHOWNORMAL, wp.showCmd);
  {
    CTestLayoutDlg dlg("Demo");
    ASSERT_TRUE(dlg.Create(IDD_T_LAYOUT));
    CRect r;
    dlg.GetWindowRect(&r);
    EXPECT_EQ(CRect(50, 60, 530, 420), r);
    // Minimised is saved as normal.
    dlg.ShowWindow(SW_MINIMIZE);
    dlg.DestroyWindow();
  }
  ASSERT_TRUE(AfxGetProfileBinary("Demo", "WindowPlacement", &data, &bytes));
  memcpy(&wp, data, sizeof wp);
  delete[] data;
  EXPECT_EQ((UINT)SW_SHOWNORMAL, wp.showCmd);

  // A stored value of another size is ignored; no section: nothing is read or written.
  BYTE shortRecord[40] = {};
  ASSERT_TRUE(AfxWriteProfileBinary("Short", "WindowPlacement", shortRecord, sizeof shortRecord));
  for (LPCTSTR section : {"Short", (LPCTSTR) nullptr}) {
    CTestLayoutDlg dlg(section);
    ASSERT_TRUE(dlg.Create(IDD_T_LAYOUT));
    CRect r;
    dlg.GetWindowRect(&r);
    EXPECT_NE(CRect(50, 60, 530, 420), r);
    dlg.DestroyWindow();
  }
  ASSERT_TRUE(AfxGetProfileBinary("Short", "WindowPlacement", &data, &bytes));
  EXPECT_EQ(44u, bytes);  // written on destruction
  delete[] data;
  AfxSetProfileFile(nullptr);
}

}  // namespace
