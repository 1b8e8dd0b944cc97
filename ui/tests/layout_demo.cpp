// A resizable dialog built from the toolkit's layout and navigation controls, shown
// for screenshots: a pane layout (a row of fields, the tab strip taking what is left,
// OK and Cancel at the bottom, a size grip), two pages whose controls are anchored,
// an image combo, a hyperlink and the job menu.
// usage: layout_demo.exe <language 0|1> [width height [seconds]] [menu] [machine]
#include <cstdlib>
#include <cstring>

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "resources/resource.h"
#include "ui/anchor_layout.h"
#include "ui/hyperlink_button.h"
#include "ui/image_combo.h"
#include "ui/layout_dialog.h"
#include "ui/page_tab_ctrl.h"
#include "ui/popup_menu.h"

namespace {

constexpr UINT_PTR kCloseTimer = 1;
constexpr UINT WM_DEMO_SHOW_MENU = WM_APP + 1;

// A page whose controls keep their places relative to its edges.
class CAnchoredPage : public CChildPageDlg, public CAnchorLayout {
 public:
  using CChildPageDlg::CChildPageDlg;
  CWnd* GetAnchoredWindow() override { return this; }

 protected:
  afx_msg void OnSize(UINT type, int cx, int cy) {
    CChildPageDlg::OnSize(type, cx, cy);
    ApplyAnchors();
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CAnchoredPage, CChildPageDlg)
  ON_WM_SIZE()
END_MESSAGE_MAP()

class CJobsPage : public CAnchoredPage {
 public:
  CJobsPage() : CAnchoredPage(PickLangId(IDD_LAYOUT_PAGE_JOBS_CN, IDD_LAYOUT_PAGE_JOBS_EN)) {}

 protected:
  BOOL OnInitDialog() override {
    CAnchoredPage::OnInitDialog();
    static const char* const kJobsCn[] = {"门板_600x1800.nc", "标牌_Corvane.plt", "浮雕_狮子.cam", "圆柱_雕花.nc"};
    static const char* const kJobsEn[] = {"Door panel 600x1800.nc", "Sign Corvane.plt", "Relief lion.cam",
                                          "Column carving.nc"};
    CListBox* list = (CListBox*)GetDlgItem(IDC_DEMO_JOB_LIST);
    for (int i = 0; i < 4; ++i) list->AddString(g_nUiLanguage == 0 ? kJobsCn[i] : kJobsEn[i]);
    list->SetCurSel(1);
    CString selected, name;
    list->GetText(1, name);
    selected.Format(LoadLangString(IDS_DEMO_SELECTED_CN, IDS_DEMO_SELECTED_EN), (const char*)name);
    SetDlgItemText(IDC_DEMO_SELECTED, selected);
    AnchorControl(IDC_DEMO_HINT, ANCHOR_TOPLEFT, ANCHOR_TOPRIGHT);
    AnchorControl(IDC_DEMO_JOB_LIST, ANCHOR_TOPLEFT, ANCHOR_BOTTOMRIGHT);
    AnchorControl(IDC_DEMO_SELECTED, ANCHOR_BOTTOMLEFT, ANCHOR_BOTTOM);
    AnchorControl(IDC_DEMO_ADD, ANCHOR_BOTTOM);
    AnchorControl(IDC_DEMO_REMOVE, ANCHOR_BOTTOM);
    return TRUE;
  }
};

class CMachinePage : public CAnchoredPage {
 public:
  CMachinePage() : CAnchoredPage(PickLangId(IDD_LAYOUT_PAGE_MACHINE_CN, IDD_LAYOUT_PAGE_MACHINE_EN)) {}
  CHyperLinkButton m_homePage;

 protected:
  void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, IDC_DEMO_HOME_PAGE, m_homePage); }
  BOOL OnInitDialog() override {
    CAnchoredPage::OnInitDialog();
    m_homePage.SetLinkUrl("https://www.example.com/corvane");
    CheckDlgButton(IDC_DEMO_SPINDLE_ON, BST_CHECKED);
    SetDlgItemText(IDC_DEMO_SPEED, "18000");
    SetDlgItemText(IDC_DEMO_NOTES, g_nUiLanguage == 0 ? "刀具: 3.175 mm 平底刀\r\n材料: 中密度纤维板"
                                                      : "Tool: 3.175 mm flat end mill\r\nMaterial: MDF");
    AnchorControl(IDC_DEMO_SPINDLE, ANCHOR_TOPLEFT, ANCHOR_TOPRIGHT);
    AnchorControl(IDC_DEMO_SPINDLE_ON, ANCHOR_TOPLEFT);
    AnchorControl(IDC_DEMO_COOLANT_ON, ANCHOR_TOPLEFT);
    AnchorControl(IDC_DEMO_SPEED_LABEL, ANCHOR_TOPRIGHT);
    AnchorControl(IDC_DEMO_SPEED, ANCHOR_TOPRIGHT);
    AnchorControl(IDC_DEMO_NOTES, ANCHOR_TOPLEFT, ANCHOR_BOTTOMRIGHT);
    AnchorControl(IDC_DEMO_HOME_PAGE, ANCHOR_BOTTOMLEFT);
    return TRUE;
  }
};

class CLayoutDemoDlg : public RDQLayoutDialog {
 public:
  CLayoutDemoDlg() : RDQLayoutDialog(PickLangId(IDD_LAYOUT_DEMO_CN, IDD_LAYOUT_DEMO_EN)) {}
  CSize m_size;              // window size to take, or 0 x 0
  UINT m_nSeconds = 0;       // closes itself after this long; 0: stays
  BOOL m_bShowMenu = FALSE;  // opens the job menu at once
  int m_nPage = 0;           // the page shown first

 protected:
  CImageComboBox m_lineWidth;
  CBitmap m_lines[4];
  CPageTabCtrl m_tabs;
  CPopupMenu m_menu;

  void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, IDC_DEMO_LINE_WIDTH, m_lineWidth); }

  BOOL OnInitDialog() override {
    RDQLayoutDialog::OnInitDialog();
    FillLineWidths();
    m_tabs.Create(WS_VISIBLE | WS_TABSTOP, CRect(7, 30, 400, 300), this, IDC_DEMO_TABS);
    m_tabs.AddPage(new CJobsPage);
    m_tabs.AddPage(new CMachinePage);
    m_tabs.SetCurSel(m_nPage);
    SetDlgItemText(IDC_DEMO_JOB_NAME, g_nUiLanguage == 0 ? "门板_600x1800" : "Door panel 600x1800");
    BuildMenu();
    BuildLayout();
    if (m_size.cx > 0) SetWindowPos((HWND) nullptr, 20, 20, m_size.cx, m_size.cy, SWP_NOZORDER);
    if (m_nSeconds) SetTimer(kCloseTimer, m_nSeconds * 1000);
    if (m_bShowMenu) PostMessage(WM_DEMO_SHOW_MENU);
    return TRUE;
  }

  // Line widths as pictures: a black stroke on white, its width in text beside it.
  void FillLineWidths() {
    static const int kPixels[4] = {1, 2, 3, 5};
    static const char* const kTexts[4] = {"0.1 mm", "0.2 mm", "0.5 mm", "1.0 mm"};
    CClientDC screen(this);
    for (int i = 0; i < 4; ++i) {
      m_lines[i].CreateCompatibleBitmap(&screen, 36, 12);
      CDC mem;
      mem.CreateCompatibleDC(&screen);
      CBitmap* old = mem.SelectObject(&m_lines[i]);
      mem.FillSolidRect(0, 0, 36, 12, RGB(255, 255, 255));
      mem.FillSolidRect(2, 6 - kPixels[i] / 2, 32, kPixels[i], RGB(0, 0, 0));
      mem.SelectObject(old);
      m_lineWidth.AppendImage(&m_lines[i], kTexts[i]);
    }
    m_lineWidth.SetCurSel(2);
  }

  void BuildMenu() {
    m_menu.Init(::GetModuleHandleA(nullptr), IDB_MENU_IMAGES);
    m_menu.AddItem(PMF_BOLD, LoadLangString(IDS_DEMO_MENU_START_CN, IDS_DEMO_MENU_START_EN), ID_DEMO_START,
                   MENU_IMAGE_START);
    m_menu.AddItem(0, LoadLangString(IDS_DEMO_MENU_PAUSE_CN, IDS_DEMO_MENU_PAUSE_EN), ID_DEMO_PAUSE, MENU_IMAGE_PAUSE);
    m_menu.AddItem(PMF_GRAYED, LoadLangString(IDS_DEMO_MENU_STOP_CN, IDS_DEMO_MENU_STOP_EN), ID_DEMO_STOP,
                   MENU_IMAGE_STOP);
    m_menu.AddItem(PMF_SEPARATOR, "", 0);
    m_menu.AddItem(0, LoadLangString(IDS_DEMO_MENU_DELETE_CN, IDS_DEMO_MENU_DELETE_EN), ID_DEMO_DELETE,
                   MENU_IMAGE_DELETE);
    m_menu.AddItem(0, LoadLangString(IDS_DEMO_MENU_PROPERTIES_CN, IDS_DEMO_MENU_PROPERTIES_EN), ID_DEMO_PROPERTIES,
                   MENU_IMAGE_PROPERTIES);
  }

  // A row of fields on top, the pages taking the rest, the buttons at the bottom
  // right beside the status text.
  void BuildLayout() {
    RDQLayoutRef root = NewRootPane(LM_VERTICAL, 6, 4);
    RDQLayoutRef top = CreatePane(LM_HORIZONTAL, LM_FIXED_HEIGHT, 6);
    top << CreateItem(IDC_DEMO_JOB_LABEL, LM_FIXED_WIDTH | LM_FIXED_HEIGHT | LM_ALIGN_VCENTER)
        << CreateItem(IDC_DEMO_JOB_NAME, LM_FIXED_HEIGHT | LM_ALIGN_VCENTER, 0, 0, 80)
        << CreateItem(IDC_DEMO_LINE_WIDTH, LM_FIXED_WIDTH | LM_FIXED_HEIGHT)
        << CreateItem(IDC_DEMO_MENU, LM_FIXED_WIDTH | LM_FIXED_HEIGHT);
    RDQLayoutRef bottom = CreatePane(LM_HORIZONTAL, LM_FIXED_HEIGHT, 6);
    bottom << CreateItem(IDC_DEMO_STATE, LM_FIXED_HEIGHT | LM_ALIGN_VCENTER, 0, 0, 40)
           << CreateItem(IDOK, LM_FIXED_WIDTH | LM_FIXED_HEIGHT)
           << CreateItem(IDCANCEL, LM_FIXED_WIDTH | LM_FIXED_HEIGHT);
    root << top << CreateItem(IDC_DEMO_TABS, 0, 0, 0, 260, 160) << bottom;
    Relayout();
  }

  void ShowMenu(BOOL modal) {
    CRect button;
    GetDlgItem(IDC_DEMO_MENU)->GetWindowRect(&button);
    UINT id = m_menu.Popup(button.left, button.bottom, m_hWnd, modal);
    if (modal && id) OnMenuCommand(id);
  }
  afx_msg void OnMenuButton() { ShowMenu(TRUE); }
  // Opened without a loop, the pointer over its second item.
  afx_msg LRESULT OnShowMenu(WPARAM, LPARAM) {
    ShowMenu(FALSE);
    if (m_menu.m_hWnd) ::SendMessageA(m_menu.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(40, m_menu.m_items[1].m_nTop + 8));
    return 0;
  }
  afx_msg void OnMenuCommand(UINT id) {
    CPopupMenu& m = m_menu;
    for (int i = 0; i < m.m_items.GetSize(); ++i) {
      if (m.m_items[i].m_nID != id) continue;
      CString text = m.m_items[i].m_strText, shown;
      text.Remove('&');
      shown.Format(LoadLangString(IDS_DEMO_CHOSEN_CN, IDS_DEMO_CHOSEN_EN), (const char*)text);
      SetDlgItemText(IDC_DEMO_STATE, shown);
    }
  }
  afx_msg void OnTimer(UINT_PTR id) {
    if (id == kCloseTimer) EndDialog(IDCANCEL);
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLayoutDemoDlg, RDQLayoutDialog)
  ON_BN_CLICKED(IDC_DEMO_MENU, &CLayoutDemoDlg::OnMenuButton)
  ON_COMMAND_RANGE(ID_DEMO_START, ID_DEMO_PROPERTIES, &CLayoutDemoDlg::OnMenuCommand)
  ON_MESSAGE(WM_DEMO_SHOW_MENU, &CLayoutDemoDlg::OnShowMenu)
  ON_WM_TIMER()
END_MESSAGE_MAP()

}  // namespace

class CDemoApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    int values[4] = {0, 0, 0, 0};
    char args[256];
    lstrcpynA(args, m_lpCmdLine, sizeof args);
    int n = 0;
    BOOL menu = FALSE;
    int page = 0;
    for (char* tok = strtok(args, " "); tok; tok = strtok(nullptr, " ")) {
      if (strcmp(tok, "menu") == 0)
        menu = TRUE;
      else if (strcmp(tok, "machine") == 0)
        page = 1;
      else if (n < 4)
        values[n++] = atoi(tok);
    }
    g_nUiLanguage = values[0] == 0 ? 0 : 1;
    CLayoutDemoDlg dlg;
    dlg.m_size = CSize(values[1], values[2]);
    dlg.m_nSeconds = (UINT)values[3];
    dlg.m_bShowMenu = menu;
    dlg.m_nPage = page;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
  }
};

CDemoApp theApp;
