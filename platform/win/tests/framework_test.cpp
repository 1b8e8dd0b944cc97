// The window framework under Wine's null graphics driver: real templates, real
// controls, real message loops.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/testing/test_support.h"
#include "platform/win/framework.h"
#include "platform/win/tests/test_ids.h"

namespace {

std::vector<std::string> g_trail;  // what the handlers saw, in order

// An edit that records PreTranslateMessage; optionally swallows keys.
class CTrailEdit : public CEdit {
 public:
  BOOL m_bSwallow = FALSE;
  int m_nPreSubclass = 0;
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN) g_trail.push_back("edit");
    return m_bSwallow && msg->message == WM_KEYDOWN;
  }
  void PreSubclassWindow() override { ++m_nPreSubclass; }
};

// A list that draws itself: custom draw comes back to it by reflection.
class CReflectList : public CListCtrl {
 public:
  int m_nCustomDraw = 0;
  BOOL m_bPassOn = FALSE;
  int m_nPreSubclass = 0;
  void PreSubclassWindow() override { ++m_nPreSubclass; }

 protected:
  afx_msg BOOL OnCustomDraw(NMHDR*, LRESULT* result) {
    ++m_nCustomDraw;
    *result = CDRF_DODEFAULT;
    return !m_bPassOn;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CReflectList, CListCtrl)
  ON_NOTIFY_REFLECT_EX(NM_CUSTOMDRAW, &CReflectList::OnCustomDraw)
END_MESSAGE_MAP()

class COwnerButton : public CButton {
 public:
  int m_nDrawn = 0;
  int m_nClicked = 0;
  void DrawItem(LPDRAWITEMSTRUCT) override { ++m_nDrawn; }

 protected:
  afx_msg void OnClicked() { ++m_nClicked; }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(COwnerButton, CButton)
  ON_CONTROL_REFLECT(BN_CLICKED, &COwnerButton::OnClicked)
END_MESSAGE_MAP()

const UINT WM_TEST_REGISTERED = ::RegisterWindowMessageA("CorvaneFrameworkTest_Registered");

class CFormDlg : public CDialog {
 public:
  CFormDlg() : CDialog(IDD_TEST_FORM) {}

  CString m_strText = "hello";
  int m_nInt = 42;
  double m_dValue = 2.5;
  int m_nCheck = 1;
  int m_nRadio = 1;
  int m_nCombo = 0;
  CTrailEdit m_edit;
  CReflectList m_list;
  COwnerButton m_drawn;
  CComboBox m_combo;

  int m_nApply = 0, m_nSelChange = 0, m_nEditChange = 0, m_nItemChanged = 0, m_nParentCustomDraw = 0;
  int m_nParentDrawn = 0, m_nTimer = 0, m_nRegistered = 0, m_nInit = 0;
  BOOL m_bSwallowInDialog = FALSE;
  // Run by the modal tests from inside the loop.
  void (*m_pfnInLoop)(CFormDlg*) = nullptr;

  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN) g_trail.push_back("dialog");
    if (m_bSwallowInDialog && msg->message == WM_KEYDOWN) return TRUE;
    return CDialog::PreTranslateMessage(msg);
  }

 protected:
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Control(dx, IDC_T_TEXT, m_edit);
    DDX_Control(dx, IDC_T_LIST, m_list);
    DDX_Control(dx, IDC_T_DRAWN, m_drawn);
    DDX_Control(dx, IDC_T_COMBO, m_combo);
    DDX_Text(dx, IDC_T_TEXT, m_strText);
    DDX_Text(dx, IDC_T_INT, m_nInt);
    DDX_Text(dx, IDC_T_DOUBLE, m_dValue);
    DDX_Check(dx, IDC_T_CHECK, m_nCheck);
    DDX_Radio(dx, IDC_T_RADIO1, m_nRadio);
    DDX_CBIndex(dx, IDC_T_COMBO, m_nCombo);
  }
  BOOL OnInitDialog() override {
    ++m_nInit;
    // The combo must have its items before the exchange selects one.
    CComboBox* combo = (CComboBox*)GetDlgItem(IDC_T_COMBO);
    combo->AddString("zero");
    combo->AddString("one");
    CDialog::OnInitDialog();
    m_list.InsertColumn(0, "Name", LVCFMT_LEFT, 80);
    m_list.InsertColumn(1, "Value", LVCFMT_LEFT, 60);
    m_list.InsertItem(0, "a");
    m_list.SetItemText(0, 1, "1");
    m_list.InsertItem(1, "b");
    if (m_pfnInLoop) PostMessage(WM_APP + 1);
    return TRUE;
  }
  afx_msg void OnApply() { ++m_nApply; }
  afx_msg void OnSelChange() { ++m_nSelChange; }
  afx_msg void OnEditChange() { ++m_nEditChange; }
  afx_msg void OnItemChanged(NMHDR*, LRESULT*) { ++m_nItemChanged; }
  afx_msg void OnParentCustomDraw(NMHDR*, LRESULT* r) {
    ++m_nParentCustomDraw;
    *r = CDRF_DODEFAULT;
  }
  afx_msg void OnDrawnClicked() { ++m_nParentDrawn; }
  afx_msg void OnTimer(UINT_PTR id) {
    if (id == 7) ++m_nTimer;
  }
  afx_msg LRESULT OnRegistered(WPARAM wp, LPARAM) {
    m_nRegistered += (int)wp;
    return 99;
  }
  afx_msg LRESULT OnInLoop(WPARAM, LPARAM) {
    if (m_pfnInLoop) m_pfnInLoop(this);
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CFormDlg, CDialog)
  ON_BN_CLICKED(IDC_T_APPLY, &CFormDlg::OnApply)
  ON_CBN_SELCHANGE(IDC_T_COMBO, &CFormDlg::OnSelChange)
  ON_EN_CHANGE(IDC_T_INT, &CFormDlg::OnEditChange)
  ON_NOTIFY(LVN_ITEMCHANGED, IDC_T_LIST, &CFormDlg::OnItemChanged)
  ON_NOTIFY(NM_CUSTOMDRAW, IDC_T_LIST, &CFormDlg::OnParentCustomDraw)
  ON_BN_CLICKED(IDC_T_DRAWN, &CFormDlg::OnDrawnClicked)
  ON_WM_TIMER()
  ON_REGISTERED_MESSAGE(WM_TEST_REGISTERED, &CFormDlg::OnRegistered)
  ON_MESSAGE(WM_APP + 1, &CFormDlg::OnInLoop)
END_MESSAGE_MAP()

CString Text(CWnd* dlg, int id) {
  CString s;
  dlg->GetDlgItemText(id, s);
  return s;
}

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override { g_trail.clear(); }
  void TearDown() override { platform::win::PumpPendingMessages(); }
};

TEST_F(FrameworkTest, ModelessDialogLoadsMembersIntoControls) {
  CFormDlg dlg;
  ASSERT_TRUE(dlg.Create(IDD_TEST_FORM));
  EXPECT_EQ(1, dlg.m_nInit);
  EXPECT_STREQ("hello", Text(&dlg, IDC_T_TEXT));
  EXPECT_STREQ("42", Text(&dlg, IDC_T_INT));
  EXPECT_STREQ("2.5", Text(&dlg, IDC_T_DOUBLE));
  EXPECT_EQ((UINT)BST_CHECKED, dlg.IsDlgButtonChecked(IDC_T_CHECK));
  EXPECT_EQ(IDC_T_RADIO2, dlg.GetCheckedRadioButton(IDC_T_RADIO1, IDC_T_RADIO3));
  EXPECT_EQ(0, dlg.m_combo.GetCurSel());
  // DDX_Control subclassed each control once, and PreSubclassWindow ran for it.
  EXPECT_EQ(&dlg.m_edit, CWnd::FromHandlePermanent(dlg.GetDlgItem(IDC_T_TEXT)->m_hWnd));
  EXPECT_EQ(1, dlg.m_edit.m_nPreSubclass);
  dlg.UpdateData(FALSE);
  EXPECT_EQ(1, dlg.m_edit.m_nPreSubclass);
  EXPECT_EQ(2, dlg.m_list.GetItemCount());
  EXPECT_STREQ("1", dlg.m_list.GetItemText(0, 1));
  dlg.DestroyWindow();
  EXPECT_EQ(nullptr, dlg.m_hWnd);
  EXPECT_EQ(nullptr, dlg.m_edit.m_hWnd);
}

TEST_F(FrameworkTest, DataExchangeRoundTrip) {
  CFormDlg dlg;
  ASSERT_TRUE(dlg.Create(IDD_TEST_FORM));
  dlg.SetDlgItemText(IDC_T_TEXT, "\xD6\xD0\xCE\xC4 text");  // GB bytes pass unchanged
  dlg.SetDlgItemText(IDC_T_INT, " -17 ");
  dlg.SetDlgItemText(IDC_T_DOUBLE, "0.125");
  dlg.CheckDlgButton(IDC_T_CHECK, BST_UNCHECKED);
  dlg.CheckRadioButton(IDC_T_RADIO1, IDC_T_RADIO3, IDC_T_RADIO3);
  dlg.m_combo.SetCurSel(1);
  ASSERT_TRUE(dlg.UpdateData(TRUE));
  EXPECT_STREQ("\xD6\xD0\xCE\xC4 text", dlg.m_strText);
  EXPECT_EQ(-17, dlg.m_nInt);
  EXPECT_DOUBLE_EQ(0.125, dlg.m_dValue);
  EXPECT_EQ(0, dlg.m_nCheck);
  EXPECT_EQ(2, dlg.m_nRadio);
  EXPECT_EQ(1, dlg.m_nCombo);

  // No radio checked reads as -1; -1 written clears them all.
  dlg.CheckDlgButton(IDC_T_RADIO3, BST_UNCHECKED);
  ASSERT_TRUE(dlg.UpdateData(TRUE));
  EXPECT_EQ(-1, dlg.m_nRadio);
  dlg.m_nRadio = 0;
  dlg.m_dValue = 1e-7;
  dlg.UpdateData(FALSE);
  EXPECT_EQ(IDC_T_RADIO1, dlg.GetCheckedRadioButton(IDC_T_RADIO1, IDC_T_RADIO3));
  EXPECT_STREQ("1e-07", Text(&dlg, IDC_T_DOUBLE));
  dlg.DestroyWindow();
}

TEST_F(FrameworkTest, BadNumbersAreRefusedWithABoxAndKeepTheMember) {
  struct Case {
    int id;
    const char* text;
    const char* box;
  } cases[] = {
      {IDC_T_INT, "12abc", "Please enter an integer."},       {IDC_T_INT, "", "Please enter an integer."},
      {IDC_T_INT, "99999999999", "Please enter an integer."}, {IDC_T_DOUBLE, "1.5.2", "Please enter a number."},
      {IDC_T_DOUBLE, "x", "Please enter a number."},
  };
  for (const Case& c : cases) {
    testing_support::MessageBoxRecorder boxes;
    CFormDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_TEST_FORM));
    dlg.SetDlgItemText(c.id, c.text);
    EXPECT_FALSE(dlg.UpdateData(TRUE)) << c.text;
    ASSERT_EQ(1u, boxes.Boxes().size()) << c.text;
    EXPECT_EQ(c.box, boxes.Boxes()[0].text);
    EXPECT_EQ(42, dlg.m_nInt);
    EXPECT_DOUBLE_EQ(2.5, dlg.m_dValue);
    dlg.DestroyWindow();
  }
}

TEST_F(FrameworkTest, CommandsAndNotificationsReachTheirHandlers) {
  CFormDlg dlg;
  ASSERT_TRUE(dlg.Create(IDD_TEST_FORM));
  dlg.GetDlgItem(IDC_T_APPLY)->SendMessage(BM_CLICK);
  EXPECT_EQ(1, dlg.m_nApply);
  dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_T_APPLY, BN_CLICKED), (LPARAM)dlg.GetDlgItem(IDC_T_APPLY)->m_hWnd);
  EXPECT_EQ(2, dlg.m_nApply);
  // A different notification of the same control is not a click.
  dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_T_APPLY, BN_SETFOCUS), (LPARAM)dlg.GetDlgItem(IDC_T_APPLY)->m_hWnd);
  EXPECT_EQ(2, dlg.m_nApply);

  dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_T_COMBO, CBN_SELCHANGE), (LPARAM)dlg.m_combo.m_hWnd);
  EXPECT_EQ(1, dlg.m_nSelChange);
  dlg.SetDlgItemText(IDC_T_INT, "5");  // the edit itself sends EN_CHANGE
  EXPECT_GE(dlg.m_nEditChange, 1);

  int before = dlg.m_nItemChanged;
  dlg.m_list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_GT(dlg.m_nItemChanged, before);
  EXPECT_EQ(1, dlg.m_list.GetNextItem(-1, LVNI_SELECTED));

  EXPECT_EQ(99, dlg.SendMessage(WM_TEST_REGISTERED, 3));
  EXPECT_EQ(3, dlg.m_nRegistered);
  dlg.DestroyWindow();
}

TEST_F(FrameworkTest, ControlsHandleTheirOwnNotificationsFirst) {
  CFormDlg dlg;
  ASSERT_TRUE(dlg.Create(IDD_TEST_FORM));
  NMCUSTOMDRAW cd = {};
  cd.hdr.hwndFrom = dlg.m_list.m_hWnd;
  cd.hdr.idFrom = IDC_T_LIST;
  cd.hdr.code = NM_CUSTOMDRAW;
  cd.dwDrawStage = CDDS_PREPAINT;
  // Reflected: the list answers, the parent never sees it.
  dlg.SendMessage(WM_NOTIFY, IDC_T_LIST, (LPARAM)&cd);
  EXPECT_EQ(1, dlg.m_list.m_nCustomDraw);
  EXPECT_EQ(0, dlg.m_nParentCustomDraw);
  // The _EX handler may pass it on.
  dlg.m_list.m_bPassOn = TRUE;
  dlg.SendMessage(WM_NOTIFY, IDC_T_LIST, (LPARAM)&cd);
  EXPECT_EQ(2, dlg.m_list.m_nCustomDraw);
  EXPECT_EQ(1, dlg.m_nParentCustomDraw);

  // An owner-drawn button draws itself and takes its own click.
  DRAWITEMSTRUCT di = {};
  di.CtlType = ODT_BUTTON;
  di.CtlID = IDC_T_DRAWN;
  di.hwndItem = dlg.m_drawn.m_hWnd;
  di.hDC = ::GetDC(dlg.m_drawn.m_hWnd);
  EXPECT_EQ(TRUE, dlg.SendMessage(WM_DRAWITEM, IDC_T_DRAWN, (LPARAM)&di));
  ::ReleaseDC(dlg.m_drawn.m_hWnd, di.hDC);
  EXPECT_EQ(1, dlg.m_drawn.m_nDrawn);
  dlg.m_drawn.SendMessage(BM_CLICK);
  EXPECT_EQ(1, dlg.m_drawn.m_nClicked);
  EXPECT_EQ(0, dlg.m_nParentDrawn);
  dlg.DestroyWindow();
}

TEST_F(FrameworkTest, PreTranslateRunsFromTheFocusWindowUpInEveryLoop) {
  struct Case {
    BOOL swallowInEdit;
    std::vector<std::string> trail;
  } cases[] = {
      {FALSE, {"edit", "dialog"}},
      {TRUE, {"edit"}},
  };
  for (const Case& c : cases) {
    g_trail.clear();
    // Modal: our own loop.
    CFormDlg dlg;
    dlg.m_edit.m_bSwallow = c.swallowInEdit;
    dlg.m_pfnInLoop = [](CFormDlg* d) {
      d->m_edit.PostMessage(WM_KEYDOWN, 'A', 1);
      d->PostMessage(WM_COMMAND, IDCANCEL);
    };
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ(c.trail, g_trail);

    // Modeless: the drain that long operations call.
    g_trail.clear();
    CFormDlg modeless;
    modeless.m_edit.m_bSwallow = c.swallowInEdit;
    ASSERT_TRUE(modeless.Create(IDD_TEST_FORM));
    modeless.m_edit.PostMessage(WM_KEYDOWN, 'A', 1);
    platform::win::PumpPendingMessages();
    EXPECT_EQ(c.trail, g_trail);
    modeless.DestroyWindow();
  }
}

TEST_F(FrameworkTest, ModalDialogEndsWithItsResult) {
  struct Case {
    void (*act)(CFormDlg*);
    INT_PTR result;
    int intAfter;
  } cases[] = {
      // OK exchanges data first.
      {[](CFormDlg* d) {
         d->SetDlgItemText(IDC_T_INT, "7");
         d->GetDlgItem(IDOK)->PostMessage(BM_CLICK);
       },
       IDOK, 7},
      // A bad field keeps the dialog open; Cancel then ends it without exchange.
      {[](CFormDlg* d) {
         d->SetDlgItemText(IDC_T_INT, "seven");
         d->SendMessage(WM_COMMAND, IDOK);
         EXPECT_TRUE(d->IsWindowVisible());
         d->PostMessage(WM_CLOSE);
       },
       IDCANCEL, 42},
      {[](CFormDlg* d) { d->EndDialog(1234); }, 1234, 42},
  };
  for (const Case& c : cases) {
    testing_support::MessageBoxRecorder boxes;
    CFormDlg dlg;
    dlg.m_pfnInLoop = c.act;
    EXPECT_EQ(c.result, dlg.DoModal());
    EXPECT_EQ(c.intAfter, dlg.m_nInt);
    EXPECT_EQ(nullptr, dlg.m_hWnd);
  }
}

TEST_F(FrameworkTest, ModalDialogDisablesItsOwnerWhileItRuns) {
  CFormDlg owner;
  ASSERT_TRUE(owner.Create(IDD_TEST_FORM));
  CFormDlg dlg;
  dlg.m_pParentWnd = &owner;
  static BOOL s_ownerEnabled;
  dlg.m_pfnInLoop = [](CFormDlg* d) {
    s_ownerEnabled = d->GetOwner()->IsWindowEnabled();
    d->EndDialog(IDOK);
  };
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_FALSE(s_ownerEnabled);
  EXPECT_TRUE(owner.IsWindowEnabled());
  owner.DestroyWindow();
}

TEST_F(FrameworkTest, ChildTemplateWithoutParentBecomesPopup) {
  CDialog loose;
  ASSERT_TRUE(loose.Create(IDD_TEST_CHILD));
  EXPECT_FALSE(loose.GetStyle() & WS_CHILD);
  EXPECT_TRUE(loose.GetStyle() & WS_POPUP);
  loose.DestroyWindow();

  CFormDlg host;
  ASSERT_TRUE(host.Create(IDD_TEST_FORM));
  CDialog page;
  ASSERT_TRUE(page.Create(IDD_TEST_CHILD, &host));
  EXPECT_TRUE(page.GetStyle() & WS_CHILD);
  EXPECT_EQ(host.m_hWnd, ::GetParent(page.m_hWnd));
  host.DestroyWindow();
  EXPECT_EQ(nullptr, page.m_hWnd);  // children go with their parent
}

TEST_F(FrameworkTest, TimersAndThePumpHook) {
  CFormDlg dlg;
  ASSERT_TRUE(dlg.Create(IDD_TEST_FORM));
  dlg.SetTimer(7, 5);
  DWORD start = ::GetTickCount();
  while (dlg.m_nTimer == 0 && ::GetTickCount() - start < 5000) {
    ::Sleep(10);
    platform::PumpMessages();  // the portable drain reaches our loop
  }
  EXPECT_GT(dlg.m_nTimer, 0);
  dlg.KillTimer(7);
  dlg.DestroyWindow();
}

// A window that deletes itself when its window goes.
class CSelfDeleting : public CWnd {
 public:
  static int s_deleted;
  ~CSelfDeleting() override { ++s_deleted; }
  int m_nCreated = 0;
  void PreSubclassWindow() override { ++m_nCreated; }

 protected:
  void PostNcDestroy() override { delete this; }
  afx_msg int OnCreate(LPCREATESTRUCT) {
    g_trail.push_back("create");
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
int CSelfDeleting::s_deleted = 0;

BEGIN_MESSAGE_MAP(CSelfDeleting, CWnd)
  ON_WM_CREATE()
END_MESSAGE_MAP()

TEST_F(FrameworkTest, CreatedWindowsSeeTheirFirstMessagesAndCleanUp) {
  CSelfDeleting* w = new CSelfDeleting;
  ASSERT_TRUE(w->CreateEx(0, nullptr, "self", WS_POPUP, CRect(0, 0, 50, 50), nullptr, 0));
  EXPECT_EQ(std::vector<std::string>{"create"}, g_trail);  // WM_CREATE went through the map
  EXPECT_EQ(1, w->m_nCreated);
  HWND h = w->m_hWnd;
  EXPECT_EQ(w, CWnd::FromHandlePermanent(h));
  ::DestroyWindow(h);
  EXPECT_EQ(1, CSelfDeleting::s_deleted);
  EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(h));
}

TEST_F(FrameworkTest, MessageBoxesAreAnsweredThroughTheHook) {
  testing_support::MessageBoxRecorder boxes;
  boxes.QueueAnswer(IDNO);
  CFormDlg dlg;
  ASSERT_TRUE(dlg.Create(IDD_TEST_FORM));
  EXPECT_EQ(IDNO, dlg.MessageBox("Delete?", "Corvane", MB_YESNO));
  EXPECT_EQ(IDOK, AfxMessageBox("Done"));
  ASSERT_EQ(2u, boxes.Boxes().size());
  EXPECT_EQ("Delete?", boxes.Boxes()[0].text);
  EXPECT_EQ((UINT)MB_YESNO, boxes.Boxes()[0].type);
  dlg.DestroyWindow();
}

TEST_F(FrameworkTest, MainWindowOwnsBoxesWhileItExists) {
  CWinApp app("FrameworkTest");
  CFormDlg dlg;
  app.m_pMainWnd = &dlg;
  ASSERT_TRUE(dlg.Create(IDD_TEST_FORM));
  EXPECT_EQ(dlg.m_hWnd, platform::GetMainWindow());
  EXPECT_EQ(&dlg, AfxGetMainWnd());
  dlg.DestroyWindow();
  EXPECT_EQ(nullptr, platform::GetMainWindow());
  app.m_pMainWnd = nullptr;
}

TEST_F(FrameworkTest, WorkerThreadPostsToTheUiThread) {
  CFormDlg dlg;
  ASSERT_TRUE(dlg.Create(IDD_TEST_FORM));
  CWinThread* t = AfxBeginThread(
      [](LPVOID p) -> UINT {
        ::PostMessageA((HWND)p, WM_TEST_REGISTERED, 5, 0);
        return 0;
      },
      dlg.m_hWnd, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
  ASSERT_NE(nullptr, t);
  t->m_bAutoDelete = FALSE;
  t->ResumeThread();
  ::WaitForSingleObject(t->m_hThread, 5000);
  delete t;
  platform::win::PumpPendingMessages();
  EXPECT_EQ(5, dlg.m_nRegistered);
  dlg.DestroyWindow();
}

TEST_F(FrameworkTest, FileDialogTakesTheFrameworkFilterForm) {
  static std::vector<std::string> s_filter;
  static BOOL s_open;
  CFileDialog::SetHook([](OPENFILENAMEA* ofn, BOOL open) -> INT_PTR {
    s_open = open;
    s_filter.clear();
    for (const char* p = ofn->lpstrFilter; p && *p; p += strlen(p) + 1) s_filter.push_back(p);
    lstrcpynA(ofn->lpstrFile, "C:\\jobs\\part.nc", (int)ofn->nMaxFile);
    return IDOK;
  });
  CFileDialog dlg(TRUE, "nc", nullptr, OFN_HIDEREADONLY, "NC (*.nc)|*.nc|All (*.*)|*.*||");
  EXPECT_EQ(IDOK, dlg.DoModal());
  CFileDialog::SetHook(nullptr);
  EXPECT_TRUE(s_open);
  EXPECT_EQ((std::vector<std::string>{"NC (*.nc)", "*.nc", "All (*.*)", "*.*"}), s_filter);
  EXPECT_STREQ("C:\\jobs\\part.nc", dlg.GetPathName());
  EXPECT_STREQ("part.nc", dlg.GetFileName());
  EXPECT_STREQ("part", dlg.GetFileTitle());
  EXPECT_STREQ("nc", dlg.GetFileExt());
  EXPECT_STREQ("C:\\jobs", dlg.GetFolderPath());
}

TEST_F(FrameworkTest, MemoryDcDrawsIntoABitmap) {
  CClientDC screen(nullptr);
  CDC mem;
  ASSERT_TRUE(mem.CreateCompatibleDC(&screen));
  CBitmap bmp;
  ASSERT_TRUE(bmp.CreateCompatibleBitmap(&screen, 20, 10));
  CBitmap* old = mem.SelectObject(&bmp);
  mem.FillSolidRect(0, 0, 20, 10, RGB(255, 255, 255));
  CBrush red(RGB(255, 0, 0));
  CRect r(5, 2, 8, 4);
  mem.FillRect(&r, &red);
  EXPECT_EQ(RGB(255, 0, 0), mem.GetPixel(5, 2));
  EXPECT_EQ(RGB(255, 0, 0), mem.GetPixel(7, 3));
  EXPECT_EQ(RGB(255, 255, 255), mem.GetPixel(8, 3));
  mem.SelectObject(old);
  EXPECT_EQ(CSize(20, 10), bmp.GetBitmapDimension());
}

}  // namespace
