// The image combo box, the hyperlink button and the web browser host in a real
// dialog.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/hyperlink_button.h"
#include "ui/image_combo.h"
#include "ui/tests/test_ids.h"
#include "ui/web_browser.h"

namespace {

class CControlsDlg : public CDialog {
 public:
  CControlsDlg() : CDialog(IDD_T_CONTROLS) {}
  CImageComboBox m_combo;
  CHyperLinkButton m_link;
  CHyperLinkButton m_longLink;

 protected:
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Control(dx, IDC_T_COMBO, m_combo);
    DDX_Control(dx, IDC_T_LINK, m_link);
    DDX_Control(dx, IDC_T_BUTTON, m_longLink);
  }
};

// A solid bitmap of the screen's format.
void MakeBitmap(CBitmap& bmp, int cx, int cy, COLORREF color) {
  HDC screen = ::GetDC(nullptr);
  bmp.Attach(::CreateCompatibleBitmap(screen, cx, cy));
  HDC mem = ::CreateCompatibleDC(screen);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  RECT r = {0, 0, cx, cy};
  HBRUSH brush = ::CreateSolidBrush(color);
  ::FillRect(mem, &r, brush);
  ::DeleteObject(brush);
  ::SelectObject(mem, old);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
}

// Draws one item of the combo into a fresh surface and hands the surface back.
class CItemSurface {
 public:
  CItemSurface(CImageComboBox& combo, int index, UINT state, int cx = 120, int cy = 22) : m_rect(0, 0, cx, cy) {
    HDC screen = ::GetDC(nullptr);
    m_dc.CreateCompatibleDC(CDC::FromHandle(screen));
    m_bmp.Attach(::CreateCompatibleBitmap(screen, cx, cy));
    ::ReleaseDC(nullptr, screen);
    m_old = m_dc.SelectObject(&m_bmp);
    m_dc.FillSolidRect(&m_rect, RGB(255, 0, 255));
    DRAWITEMSTRUCT di = {};
    di.CtlType = ODT_COMBOBOX;
    di.itemID = (UINT)index;
    di.itemAction = ODA_DRAWENTIRE;
    di.itemState = state;
    di.hwndItem = combo.m_hWnd;
    di.hDC = m_dc.m_hDC;
    di.rcItem = m_rect;
    di.itemData = index >= 0 ? combo.GetItemData(index) : 0;
    combo.DrawItem(&di);
  }
  ~CItemSurface() { m_dc.SelectObject(m_old); }
  COLORREF At(int x, int y) { return m_dc.GetPixel(x, y); }
  CRect m_rect;
  CDC m_dc;
  CBitmap m_bmp;
  CBitmap* m_old;
};

// Three bitmaps of different sizes: 20 x 10 red, 30 x 16 green, 10 x 8 blue.
class ImageComboTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeBitmap(red, 20, 10, RGB(255, 0, 0));
    MakeBitmap(green, 30, 16, RGB(0, 255, 0));
    MakeBitmap(blue, 10, 8, RGB(0, 0, 255));
    ASSERT_TRUE(dlg.Create(IDD_T_CONTROLS));
  }
  void TearDown() override { dlg.DestroyWindow(); }
  CBitmap red, green, blue;
  CControlsDlg dlg;
};

TEST_F(ImageComboTest, ItemsAreAsTallAsTheTallestBitmap) {
  struct Step {
    CBitmap* bmp;
    const char* text;
    int index, maxWidth, maxHeight;
  } steps[] = {
      {&red, "0.1 mm", 0, 20, 10},
      {&green, "0.5 mm", 1, 30, 16},  // taller: every item grows
      {&blue, nullptr, 2, 30, 16},    // smaller: nothing changes
  };
  // The selection field follows the items (the platform may report it with its
  // border added, so it is compared with its first height).
  int field0 = 0;
  for (const Step& s : steps) {
    EXPECT_EQ(s.index, dlg.m_combo.AppendImage(s.bmp, s.text));
    EXPECT_EQ(s.maxWidth, dlg.m_combo.m_nMaxImageWidth);
    EXPECT_EQ(s.maxHeight, dlg.m_combo.m_nMaxImageHeight);
    if (s.index == 0) field0 = dlg.m_combo.GetItemHeight(-1) - s.maxHeight;
    EXPECT_GE(field0, 6);
    EXPECT_EQ(s.maxHeight + field0, dlg.m_combo.GetItemHeight(-1));
    for (int i = 0; i <= s.index; ++i) EXPECT_EQ(s.maxHeight + 6, dlg.m_combo.GetItemHeight(i)) << "item " << i;
    EXPECT_EQ((DWORD_PTR)s.bmp, dlg.m_combo.GetItemData(s.index));
  }
  // Refused or failing inserts change nothing.
  EXPECT_EQ(-1, dlg.m_combo.AddString("plain"));
  EXPECT_EQ(-1, dlg.m_combo.InsertString(0, "plain"));
  EXPECT_EQ(-1, dlg.m_combo.Dir(0, "*.*"));
  CBitmap huge;
  MakeBitmap(huge, 90, 60, RGB(1, 1, 1));
  EXPECT_EQ(CB_ERR, dlg.m_combo.InsertImage(99, &huge, "x"));
  EXPECT_EQ(30, dlg.m_combo.m_nMaxImageWidth);
  EXPECT_EQ(3, dlg.m_combo.GetCount());
  MEASUREITEMSTRUCT mi = {};
  dlg.m_combo.MeasureItem(&mi);
  EXPECT_EQ(32u, mi.itemWidth);
  EXPECT_EQ(18u, mi.itemHeight);
}

TEST_F(ImageComboTest, TextsStartAfterTheWidestBitmap) {
  dlg.m_combo.AppendImage(&red, "Red line");
  dlg.m_combo.AppendImage(&green, "Green line");
  dlg.m_combo.AppendImage(&blue);
  const COLORREF window = ::GetSysColor(COLOR_WINDOW);
  {
    // The narrow bitmap at the left, vertically centred on the tallest bitmap's row;
    // nothing but background between it and the text column at 30 + 4.
    CItemSurface item(dlg.m_combo, 0, 0);
    EXPECT_EQ(RGB(255, 0, 0), item.At(2, 11 - 8 + 1));
    EXPECT_EQ(RGB(255, 0, 0), item.At(21, 11 - 8 + 9));
    for (int x = 23; x < 34; ++x)
      for (int y = 0; y < 22; ++y) ASSERT_EQ(window, item.At(x, y)) << x << "," << y;
    bool text = false;
    for (int x = 34; x < 120 && !text; ++x)
      for (int y = 0; y < 22 && !text; ++y) text = item.At(x, y) != window;
    EXPECT_TRUE(text);
  }
  {
    // Without text: centred.
    CItemSurface item(dlg.m_combo, 2, 0);
    EXPECT_EQ(RGB(0, 0, 255), item.At(60, 11));
    EXPECT_EQ(window, item.At(2, 11));
  }
  {
    // Selected: the highlight behind.
    CItemSurface item(dlg.m_combo, 1, ODS_SELECTED);
    EXPECT_EQ(::GetSysColor(COLOR_HIGHLIGHT), item.At(118, 1));
    EXPECT_EQ(RGB(0, 255, 0), item.At(5, 11));
  }
}

std::vector<std::string> g_opened;
BOOL RecordLink(LPCTSTR url) {
  g_opened.push_back(url ? url : "(null)");
  return TRUE;
}

TEST(HyperLinkTest, AClickOpensTheAddressThroughTheHook) {
  g_opened.clear();
  OpenLinkHook previous = SetOpenLinkHook(RecordLink);
  CControlsDlg dlg;
  ASSERT_TRUE(dlg.Create(IDD_T_CONTROLS));
  EXPECT_EQ((DWORD)BS_OWNERDRAW, dlg.m_link.GetStyle() & BS_TYPEMASK);
  EXPECT_EQ(0xC80000u, dlg.m_link.m_crLink);
  EXPECT_EQ(0xFF0000u, dlg.m_link.m_crHover);
  LOGFONTA lf = {};
  dlg.m_link.m_font.GetLogFont(&lf);
  EXPECT_EQ(14, lf.lfHeight);
  EXPECT_TRUE(lf.lfUnderline);
  dlg.m_link.SetLinkUrl("https://www.example.com/corvane");
  dlg.m_link.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  dlg.m_link.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  ASSERT_EQ(1u, g_opened.size());
  EXPECT_EQ("https://www.example.com/corvane", g_opened[0]);
  // An empty address still reaches the opener, which refuses it.
  dlg.m_link.SetLinkUrl("");
  dlg.m_link.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ASSERT_EQ(2u, g_opened.size());
  EXPECT_EQ("", g_opened[1]);
  EXPECT_EQ(RecordLink, SetOpenLinkHook(previous));
  dlg.DestroyWindow();
}

TEST(HyperLinkTest, TheRealOpenerTakesOnlyWebAddresses) {
  struct Case {
    const char* url;
    BOOL web;
  } cases[] = {
      {"http://example.com", TRUE},
      {"HTTPS://example.com/a?b=c", TRUE},
      {"https://", FALSE},
      {"", FALSE},
      {nullptr, FALSE},
      {"ftp://example.com", FALSE},
      {"file:///C:/Windows/notepad.exe", FALSE},
      {"C:\\Windows\\notepad.exe", FALSE},
      {"www.example.com", FALSE},
      {"javascript:alert(1)", FALSE},
      {"http://example.com/\r\nx", FALSE},
      {" https://example.com", FALSE},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.web, IsWebLink(c.url)) << (c.url ? c.url : "(null)");
    if (!c.web) {
      EXPECT_FALSE(OpenWebLink(c.url)) << (c.url ? c.url : "(null)");
    }
  }
}

TEST(HyperLinkTest, HoverStartsOverTheControlAndEndsOffTheText) {
  CControlsDlg dlg;
  ASSERT_TRUE(dlg.Create(IDD_T_CONTROLS));
  dlg.ShowWindow(SW_SHOW);
  dlg.UpdateWindow();
  // Drawn once: the wide button measured its text, the narrow one could not.
  EXPECT_FALSE(dlg.m_link.m_bFirstDraw);
  EXPECT_FALSE(dlg.m_link.m_rcText.IsRectEmpty());
  // The hit rectangle is around the text, which is drawn in the middle.
  CRect linkClient;
  dlg.m_link.GetClientRect(&linkClient);
  EXPECT_NEAR(linkClient.CenterPoint().x, dlg.m_link.m_rcText.CenterPoint().x, 1);
  EXPECT_EQ(0, dlg.m_link.m_rcText.top);
  EXPECT_GT(dlg.m_link.m_rcText.left, 0);
  EXPECT_TRUE(dlg.m_longLink.m_bFirstDraw);
  EXPECT_TRUE(dlg.m_longLink.m_rcText.IsRectEmpty());

  CRect client;
  dlg.m_link.GetClientRect(&client);
  CPoint farRight(client.right - 2, client.bottom - 2);  // in the control, off the text
  ASSERT_FALSE(dlg.m_link.m_rcText.PtInRect(farRight));
  dlg.m_link.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(farRight.x, farRight.y));
  EXPECT_TRUE(dlg.m_link.m_bHover);
  // The timer looks at where the cursor is: over the text the highlight stays.
  CPoint onText = dlg.m_link.m_rcText.CenterPoint();
  dlg.m_link.ClientToScreen(&onText);
  if (::SetCursorPos(onText.x, onText.y)) {
    DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 300) {
      platform::win::PumpPendingMessages();
      ::Sleep(10);
    }
    EXPECT_TRUE(dlg.m_link.m_bHover);
  }
  CPoint away = farRight;
  dlg.m_link.ClientToScreen(&away);
  ::SetCursorPos(away.x + 200, away.y + 200);
  DWORD start = ::GetTickCount();
  while (dlg.m_link.m_bHover && ::GetTickCount() - start < 2000) {
    platform::win::PumpPendingMessages();
    ::Sleep(10);
  }
  EXPECT_FALSE(dlg.m_link.m_bHover);
  // A link whose text was never measured ends its highlight at the next tick.
  dlg.m_longLink.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  EXPECT_TRUE(dlg.m_longLink.m_bHover);
  start = ::GetTickCount();
  while (dlg.m_longLink.m_bHover && ::GetTickCount() - start < 2000) {
    platform::win::PumpPendingMessages();
    ::Sleep(10);
  }
  EXPECT_FALSE(dlg.m_longLink.m_bHover);
  dlg.DestroyWindow();
}

TEST(WebBrowserTest, CreationFailsAndLeavesNoWindow) {
  CDialog host(IDD_T_CONTROLS);
  ASSERT_TRUE(host.Create(IDD_T_CONTROLS));
  CWebBrowser2 browser;
  ::SetLastError(0);
  EXPECT_FALSE(browser.Create(nullptr, "Window", WS_CHILD | WS_VISIBLE, CRect(0, 0, 200, 100), &host, 0xE900));
  EXPECT_EQ(nullptr, browser.m_hWnd);
  EXPECT_EQ((DWORD)ERROR_NOT_SUPPORTED, ::GetLastError());
  EXPECT_EQ(nullptr, ::GetDlgItem(host.m_hWnd, 0xE900));
  // The class id of the browser control.
  CLSID id = CWebBrowser2::GetClassId();
  EXPECT_EQ(0x8856F961u, id.Data1);
  EXPECT_EQ(0x340A, id.Data2);
  EXPECT_EQ(0x11D0, id.Data3);
  const BYTE tail[8] = {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2};
  EXPECT_EQ(0, memcmp(tail, id.Data4, 8));
  // Created from its run-time class record.
  const CRuntimeClass* rc = RUNTIME_CLASS(CWebBrowser2);
  EXPECT_STREQ("CWebBrowser2", rc->m_lpszClassName);
  CWnd* made = rc->CreateObject();
  ASSERT_NE(nullptr, dynamic_cast<CWebBrowser2*>(made));
  EXPECT_EQ(rc, static_cast<CWebBrowser2*>(made)->GetRuntimeClass());
  EXPECT_FALSE(made->Create(nullptr, "Window", WS_CHILD, CRect(0, 0, 10, 10), &host, 1));
  delete made;
  host.DestroyWindow();
}

}  // namespace
