// The owner-drawn tab strip and its pages in a real dialog: the notifications the
// parent gets and their order, the keys, which page shows, page sizes, and Enter and
// Escape inside a page.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "ui/page_tab_ctrl.h"
#include "ui/tests/test_ids.h"

namespace {

constexpr UINT kTabId = 2001;
std::vector<std::string> g_trail;  // what the parent heard, in order
int g_pagesDeleted = 0;

class CCountedPage : public CChildPageDlg {
 public:
  explicit CCountedPage(UINT id) : CChildPageDlg(id) {}
  ~CCountedPage() override { ++g_pagesDeleted; }
};

// The dialog that owns the tab strip; it records the strip's notifications with the
// selection and the visible page at that moment.
class CHostDlg : public CDialog {
 public:
  explicit CHostDlg(bool pages = true) : CDialog(IDD_T_HOST), m_bPages(pages) {}
  bool m_bPages;
  CPageTabCtrl m_pages;
  COwnerDrawTabCtrl m_plain;
  int m_nOK = 0, m_nCancel = 0;
  COwnerDrawTabCtrl& Tabs() { return m_bPages ? m_pages : m_plain; }

  std::string VisiblePage() {
    for (int i = 0; i < m_pages.m_pages.GetSize(); ++i)
      if (m_pages.m_pages[i]->m_hWnd && m_pages.m_pages[i]->IsWindowVisible()) return std::to_string(i);
    return "-";
  }

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    COwnerDrawTabCtrl& tabs = Tabs();
    tabs.Create(WS_VISIBLE | WS_TABSTOP, CRect(5, 5, 405, 205), this, kTabId);
    return TRUE;
  }
  void OnOK() override { ++m_nOK; }
  void OnCancel() override { ++m_nCancel; }
  void Record(const char* what) {
    g_trail.push_back(std::string(what) + " sel=" + std::to_string(Tabs().GetCurSel()) + " page=" + VisiblePage());
  }
  afx_msg void OnSelChanging(NMHDR* nm, LRESULT*) {
    EXPECT_EQ(Tabs().m_hWnd, nm->hwndFrom);
    EXPECT_EQ(kTabId, nm->idFrom);
    Record("changing");
  }
  afx_msg void OnSelChange(NMHDR*, LRESULT*) { Record("change"); }
  afx_msg void OnClick(NMHDR*, LRESULT*) { Record("click"); }
  afx_msg void OnKeyDown(NMHDR* nm, LRESULT*) { g_trail.push_back("key " + std::to_string(((NMTCKEYDOWN*)nm)->wVKey)); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CHostDlg, CDialog)
  ON_NOTIFY(TCN_SELCHANGING, kTabId, &CHostDlg::OnSelChanging)
  ON_NOTIFY(TCN_SELCHANGE, kTabId, &CHostDlg::OnSelChange)
  ON_NOTIFY(NM_CLICK, kTabId, &CHostDlg::OnClick)
  ON_NOTIFY(TCN_KEYDOWN, kTabId, &CHostDlg::OnKeyDown)
END_MESSAGE_MAP()

class TabPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_trail.clear();
    g_pagesDeleted = 0;
  }
  void TearDown() override { platform::win::PumpPendingMessages(); }
  // The host, shown, with its three pages.
  void OpenWithPages(CHostDlg& host) {
    ASSERT_TRUE(host.Create(IDD_T_HOST));
    host.ShowWindow(SW_SHOW);
    AddThreePages(host);
  }
  // Three pages: a, b (its template is visible by itself) and one without a title.
  void AddThreePages(CHostDlg& host) {
    host.m_pages.AddPage(new CCountedPage(IDD_T_PAGE_A));
    host.m_pages.AddPage(new CCountedPage(IDD_T_PAGE_B));
    host.m_pages.AddPage(new CCountedPage(IDD_T_PAGE_NO_TITLE));
    g_trail.clear();
  }
  static void Key(HWND to, UINT vk) {
    ::PostMessageA(to, WM_KEYDOWN, vk, 1);
    platform::win::PumpPendingMessages();
  }
};

TEST_F(TabPagesTest, SelectionNotifiesInOrderAndOnlyOnChange) {
  CHostDlg host;
  OpenWithPages(host);
  ASSERT_EQ(2, host.m_pages.GetCurSel());
  // The page changes between the two notifications.
  EXPECT_EQ(2, host.m_pages.SetCurSel(0));
  std::vector<std::string> expected = {"changing sel=2 page=2", "change sel=0 page=0"};
  EXPECT_EQ(expected, g_trail);
  g_trail.clear();
  for (int index : {0, -1, 3, 99}) host.m_pages.SetCurSel(index);
  EXPECT_TRUE(g_trail.empty());

  // A click on a tab selects it, then the parent hears of the click; a click on the
  // selected tab is a click only; a click beside the tabs is nothing.
  struct Click {
    int tab;  // -1: right of the last tab
    std::vector<std::string> heard;
  } clicks[] = {
      {1, {"changing sel=0 page=0", "change sel=1 page=1", "click sel=1 page=1"}},
      {1, {"click sel=1 page=1"}},
      {-1, {}},
  };
  for (const Click& c : clicks) {
    g_trail.clear();
    CRect r = c.tab >= 0 ? host.m_pages.GetTab(c.tab)->GetRect() : CRect(390, 5, 391, 6);
    host.m_pages.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.CenterPoint().x, r.CenterPoint().y));
    EXPECT_EQ(c.heard, g_trail) << "tab " << c.tab;
  }
  EXPECT_EQ(host.m_pages.m_hWnd, ::GetFocus());
  host.DestroyWindow();
  EXPECT_EQ(3, g_pagesDeleted);  // the pages went with their windows
}

TEST_F(TabPagesTest, KeysMoveTheSelection) {
  struct Case {
    int from;  // -1: no selection
    UINT vk;
    int to;
  } cases[] = {
      {0, VK_LEFT, 2},   {1, VK_LEFT, 0}, {2, VK_RIGHT, 0}, {0, VK_RIGHT, 1},
      {-1, VK_RIGHT, 0}, {1, VK_HOME, 0}, {0, VK_END, 2},
  };
  for (const Case& c : cases) {
    CHostDlg host(false);
    ASSERT_TRUE(host.Create(IDD_T_HOST));
    host.ShowWindow(SW_SHOW);
    for (const char* label : {"One", "Two", "Three"}) host.m_plain.AddTab(label);
    EXPECT_EQ(-1, host.m_plain.GetCurSel());  // adding selects nothing
    host.m_plain.SetCurSel(c.from);
    host.m_plain.SetFocus();
    g_trail.clear();
    Key(host.m_plain.m_hWnd, c.vk);
    EXPECT_EQ(c.to, host.m_plain.GetCurSel()) << "from " << c.from << " key " << c.vk;
    ASSERT_FALSE(g_trail.empty());
    EXPECT_EQ("key " + std::to_string(c.vk), g_trail.back());
    host.DestroyWindow();
  }
  // Without tabs the keys are not the strip's.
  CHostDlg host(false);
  ASSERT_TRUE(host.Create(IDD_T_HOST));
  host.m_plain.SetFocus();
  MSG msg = {};
  msg.hwnd = host.m_plain.m_hWnd;
  msg.message = WM_KEYDOWN;
  msg.wParam = VK_RIGHT;
  EXPECT_FALSE(host.m_plain.PreTranslateMessage(&msg));
  EXPECT_EQ((UINT)(DLGC_WANTARROWS | DLGC_WANTTAB), (UINT)host.m_plain.SendMessage(WM_GETDLGCODE));
  host.DestroyWindow();
}

TEST_F(TabPagesTest, UpMovesTheFocusIntoThePage) {
  CHostDlg host;
  OpenWithPages(host);
  host.m_pages.SetCurSel(0);
  host.m_pages.SetFocus();
  Key(host.m_pages.m_hWnd, VK_UP);
  EXPECT_TRUE(::IsChild(host.m_pages.m_hWnd, ::GetFocus()));
  host.DestroyWindow();
}

TEST_F(TabPagesTest, ExactlyOnePageShowsAndEveryPageFillsThePageRectangle) {
  CHostDlg host;
  OpenWithPages(host);
  EXPECT_EQ(-1, host.m_pages.AddTab("plain"));
  EXPECT_EQ(3, host.m_pages.GetTabCount());
  EXPECT_STREQ("Alpha", host.m_pages.GetTab(0)->m_strLabel);
  EXPECT_STREQ("Beta", host.m_pages.GetTab(1)->m_strLabel);
  EXPECT_STREQ("", host.m_pages.GetTab(2)->m_strLabel);  // no title string
  // The page clips its children: its group box is transparent, so the page's
  // background shows inside it.
  HWND group = ::GetDlgItem(host.m_pages.GetPage(1)->m_hWnd, IDC_T_GROUP);
  ASSERT_TRUE(group);
  EXPECT_TRUE(host.m_pages.GetPage(1)->GetStyle() & WS_CLIPCHILDREN);
  EXPECT_TRUE(::GetWindowLongPtrA(group, GWL_EXSTYLE) & WS_EX_TRANSPARENT);
  for (int sel : {2, 0, 1}) {
    host.m_pages.SetCurSel(sel);
    int visible = 0;
    for (int i = 0; i < 3; ++i) visible += host.m_pages.GetPage(i)->IsWindowVisible() ? 1 : 0;
    EXPECT_EQ(1, visible);
    EXPECT_TRUE(host.m_pages.GetPage(sel)->IsWindowVisible());
  }
  EXPECT_EQ(nullptr, host.m_pages.GetPage(3));
  for (CRect bounds : {CRect(5, 5, 405, 205), CRect(0, 0, 300, 150), CRect(10, 10, 520, 330)}) {
    host.m_pages.MoveWindow(&bounds);
    CRect page = host.m_pages.GetPageRect();
    CRect client;
    host.m_pages.GetClientRect(&client);
    EXPECT_EQ(CRect(2, 2 + 22, client.right - 2, client.bottom - 2), page);
    for (int i = 0; i < 3; ++i) {
      CChildPageDlg* p = host.m_pages.GetPage(i);
      EXPECT_TRUE(p->GetStyle() & WS_CHILD);
      EXPECT_FALSE(p->GetStyle() & WS_THICKFRAME);
      EXPECT_TRUE(p->GetStyle() & WS_CLIPSIBLINGS);
      CRect r;
      p->GetWindowRect(&r);
      host.m_pages.ScreenToClient(&r);
      EXPECT_EQ(page, r) << "page " << i;
    }
  }
  host.DestroyWindow();
}

TEST_F(TabPagesTest, EnterAndEscapeInAPageCloseNothing) {
  CHostDlg host;
  OpenWithPages(host);
  host.m_pages.SetCurSel(0);
  CChildPageDlg* page = host.m_pages.GetPage(0);
  HWND edit = ::GetDlgItem(page->m_hWnd, IDC_T_PAGE_EDIT);
  ::SetFocus(edit);
  for (UINT vk : {VK_RETURN, VK_ESCAPE}) Key(edit, vk);
  EXPECT_TRUE(page->m_hWnd && page->IsWindowVisible());
  EXPECT_EQ(0, host.m_nOK);
  EXPECT_EQ(0, host.m_nCancel);
  // The same keys in the host's own controls do reach it.
  ::SetFocus(::GetDlgItem(host.m_hWnd, IDC_T_EDIT));
  Key(::GetDlgItem(host.m_hWnd, IDC_T_EDIT), VK_ESCAPE);
  EXPECT_EQ(1, host.m_nCancel);
  host.DestroyWindow();
}

TEST_F(TabPagesTest, APageWithoutTemplateKeepsItsTab) {
  {
    CHostDlg host;
    ASSERT_TRUE(host.Create(IDD_T_HOST));
    CCountedPage* broken = new CCountedPage(31999);
    broken->m_strTitle = "Broken";
    OwnerTabItem* tab = host.m_pages.AddPage(broken);
    ASSERT_NE(nullptr, tab);
    EXPECT_STREQ("Broken", tab->m_strLabel);
    EXPECT_EQ(broken, host.m_pages.GetPage(0));
    EXPECT_FALSE(broken->m_bCreated);
    EXPECT_EQ(0, host.m_pages.GetCurSel());
    host.DestroyWindow();
    EXPECT_EQ(0, g_pagesDeleted);
  }
  EXPECT_EQ(1, g_pagesDeleted);  // deleted with the strip, having no window to go with
}

TEST_F(TabPagesTest, TabsAlongTheBottom) {
  CHostDlg host(false);
  ASSERT_TRUE(host.Create(IDD_T_HOST));
  COwnerDrawTabCtrl bottom;
  ASSERT_TRUE(bottom.Create(WS_VISIBLE | 2, CRect(0, 0, 300, 200), &host, 2002));
  EXPECT_EQ(2u, bottom.GetTabStyle());
  EXPECT_EQ(24, bottom.GetTabHeight());
  EXPECT_EQ(CRect(2, 2, 298, 198 - 24), bottom.GetPageRect());
  bottom.AddTab("One");
  CRect r = bottom.GetTab(0)->GetRect();
  EXPECT_EQ(200 - 24 - 1, r.top);
  EXPECT_EQ(1u, host.m_plain.GetTabStyle());  // neither low bit: tabs on top
  bottom.UpdateWindow();
  host.DestroyWindow();
}

TEST_F(TabPagesTest, LabelsAndWidths) {
  CHostDlg host(false);
  ASSERT_TRUE(host.Create(IDD_T_HOST));
  COwnerDrawTabCtrl& tabs = host.m_plain;
  CClientDC dc(&tabs);
  tabs.PrepareDC(&dc);
  auto width = [&](const char* s) { return dc.GetTextExtent(s, (int)strlen(s)).cx; };
  struct Case {
    const char* label;
    int width;
    const char* shown;
  } cases[] = {
      {"Machine", width("Machine"), "Machine"},  {"Machine", width("Machine") - 1, "Machin..."},
      {"Machine", width("Mach..."), "Mach..."},  {"Machine", width("M..."), "M..."},
      {"Machine", width("M.."), "M.."},          {"Machine", 0, ""},
      {"机床设置", width("机床..."), "机床..."},  // whole double-byte characters only
      {"机床设置", width("机..."), "机..."},
  };
  for (const Case& c : cases) {
    CString shown = FitTabLabel(&dc, c.label, c.width);
    if (c.width < width(c.label) && c.width >= width(c.shown)) {
      EXPECT_STREQ(c.shown, shown) << c.width;
    }
    EXPECT_LE(width(shown), c.width) << c.label << " in " << c.width;
  }
  int one = tabs.AddTab("Machine");
  int empty = tabs.AddTab("");
  int icon = tabs.AddTab("Machine", 7, ::LoadIcon(nullptr, IDI_APPLICATION));
  EXPECT_EQ(width("Machine") + 6, tabs.GetTab(one)->m_nWidth);
  EXPECT_EQ(11, tabs.GetTab(empty)->m_nWidth);
  EXPECT_EQ(width("Machine") + 6 + 19, tabs.GetTab(icon)->m_nWidth);
  EXPECT_EQ(7u, tabs.GetTab(icon)->m_dwData);
  EXPECT_EQ(1, tabs.GetTab(one)->m_nX);
  EXPECT_EQ(1 + tabs.GetTab(one)->m_nWidth, tabs.GetTab(empty)->m_nX);
  EXPECT_EQ(CSize(tabs.GetTab(one)->m_nWidth, 22), tabs.GetTabSize(one));
  EXPECT_EQ(tabs.GetTab(one)->m_nWidth + 11 + tabs.GetTab(icon)->m_nWidth, tabs.GetTabSize(-1).cx);
  EXPECT_EQ(icon, tabs.HitTest(tabs.GetTab(icon)->GetRect().CenterPoint()));
  EXPECT_FALSE(tabs.DeleteTab(5));
  EXPECT_TRUE(tabs.DeleteTab(empty));
  EXPECT_EQ(2, tabs.GetTabCount());
  EXPECT_EQ(1 + tabs.GetTab(0)->m_nWidth, tabs.GetTab(1)->m_nX);
  tabs.RestoreDC(&dc);
  tabs.SetCurSel(1);
  tabs.UpdateWindow();  // paints, icon and all
  LOGFONTA lf = {};
  COwnerDrawTabCtrl::ParseLogFont(&lf, "-11,0,0,0,400,0,0,0,0,1,2,1,34,MS Sans Serif");
  EXPECT_EQ(-11, lf.lfHeight);
  EXPECT_EQ(400, lf.lfWeight);
  EXPECT_EQ(2, lf.lfClipPrecision);
  EXPECT_EQ(34, lf.lfPitchAndFamily);
  EXPECT_STREQ("MS Sans Serif", lf.lfFaceName);
  host.DestroyWindow();
}

}  // namespace
