// The popup menu driven by mouse and keyboard messages from inside its own loop: its
// size, where it opens, what a modal menu returns, what a non-modal one posts, and a
// WM_QUIT arriving while it is open.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "ui/popup_menu.h"

namespace {

enum : UINT { kStart = 101, kPause = 102, kStop = 103, kGrey = 104, kHidden = 105, kSubA = 201, kSubB = 202 };

// Steps run one per tick of a thread timer, from whatever loop is running (the menu's
// own, a submenu's). A step returns false to be tried again on the next tick.
std::vector<std::function<bool()>> g_steps;
UINT_PTR g_timer = 0;

void CALLBACK StepTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_steps.empty()) return;
  if (g_steps.front()()) g_steps.erase(g_steps.begin());
  if (g_steps.empty()) {
    ::KillTimer(nullptr, g_timer);
    g_timer = 0;
  }
}

void RunSteps(std::vector<std::function<bool()>> steps) {
  g_steps = std::move(steps);
  g_timer = ::SetTimer(nullptr, 0, 10, StepTimer);
}

LPARAM At(CPoint p) { return MAKELPARAM(p.x, p.y); }

// The middle of item i in the menu's client area.
CPoint ItemPoint(const CPopupMenu& m, int i) { return CPoint(30, m.m_items[i].m_nTop + m.m_items[i].m_nHeight / 2); }

void Move(CPopupMenu& m, int item) { ::SendMessageA(m.m_hWnd, WM_MOUSEMOVE, 0, At(ItemPoint(m, item))); }
void Release(CPopupMenu& m, CPoint p) { ::SendMessageA(m.m_hWnd, WM_LBUTTONUP, 0, At(p)); }
void Click(CPopupMenu& m, int item) {
  Move(m, item);
  ::SendMessageA(m.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, At(ItemPoint(m, item)));
  Release(m, ItemPoint(m, item));
}

// Start, Pause, a separator, Stop (disabled), a grey item, an item with id 0.
void Fill(CPopupMenu& m) {
  ASSERT_TRUE(m.Init(::GetModuleHandleA(nullptr), IDB_MENU_IMAGES));
  m.AddItem(PMF_BOLD, "&Start", kStart, MENU_IMAGE_START);
  m.AddItem(0, "&Pause", kPause, MENU_IMAGE_PAUSE);
  m.AddItem(PMF_SEPARATOR, "", 0);
  m.AddItem(PMF_DISABLED, "S&top", kStop, MENU_IMAGE_STOP);
  m.AddItem(PMF_GRAYED, "&Grey", kGrey);
  m.AddItem(0, "&Nothing", 0);
}

class PopupMenuTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (g_timer) ::KillTimer(nullptr, g_timer);
    g_timer = 0;
    g_steps.clear();
    platform::win::PumpPendingMessages();
  }
};

// Text width as drawn ('&' taken out) in the menu's font.
int DrawnWidth(const char* text, bool bold) {
  HDC ic = ::CreateICA("DISPLAY", nullptr, nullptr, nullptr);
  LOGFONTA lf = {};
  lf.lfHeight = -::MulDiv(8, ::GetDeviceCaps(ic, LOGPIXELSY), 72);
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lstrcpyA(lf.lfFaceName, "MS Sans Serif");
  HFONT font = ::CreateFontIndirectA(&lf);
  HGDIOBJ old = ::SelectObject(ic, font);
  RECT r = {0, 0, 0, 0};
  ::DrawTextA(ic, text, -1, &r, DT_SINGLELINE | DT_CALCRECT);
  ::SelectObject(ic, old);
  ::DeleteObject(font);
  ::DeleteDC(ic);
  return r.right - r.left;
}

TEST_F(PopupMenuTest, SizeComesFromTheWidestText) {
  struct Case {
    std::vector<std::pair<const char*, UINT>> items;  // text, flags
    const char* widest;
    bool bold;
  } cases[] = {
      {{{"&Open", 0}, {"Properties of the selected job", 0}, {"", PMF_SEPARATOR}},
       "Properties of the selected job",
       false},
      {{{"Short", 0}, {"&Bold and long", PMF_BOLD}}, "Bold and long", true},
      {{{"开始(&S)", 0}, {"删除作业", 0}}, "开始(S)", false},
  };
  for (const Case& c : cases) {
    CPopupMenu m;
    ASSERT_TRUE(m.Init(nullptr, -1));
    for (auto& item : c.items) m.AddItem(item.second, item.first, 1);
    EXPECT_EQ(0u, m.Popup(100, 100, nullptr, FALSE));
    ASSERT_TRUE(m.m_hWnd);
    int widest = 0;
    for (auto& item : c.items) widest = std::max(widest, DrawnWidth(item.first, item.second & PMF_BOLD));
    EXPECT_EQ(widest + 42, m.m_nWidth) << c.widest;
    // Items from y = 3: 17 high, separators 5; the window is 2 taller than the last.
    int y = 3;
    for (int i = 0; i < m.m_items.GetSize(); ++i) {
      EXPECT_EQ(y, m.m_items[i].m_nTop);
      y += (m.m_items[i].m_nFlags & PMF_SEPARATOR) ? 5 : 17;
    }
    CRect r;
    ::GetWindowRect(m.m_hWnd, &r);
    EXPECT_EQ(CRect(100, 100, 100 + m.m_nWidth, 100 + y + 2), r);
    EXPECT_EQ(::GetCapture(), m.m_hWnd);
    EXPECT_EQ(2, m.m_nTrackMode);
    Release(m, CPoint(-5, -5));  // outside: closed with nothing chosen
    EXPECT_EQ(nullptr, m.m_hWnd);
    EXPECT_EQ(0, m.m_nTrackMode);
    EXPECT_EQ(nullptr, ::GetCapture());
  }
}

TEST_F(PopupMenuTest, MenusNearTheEdgeAreMovedIntoTheWorkArea) {
  RECT work;
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  std::string wide(400, 'W');
  struct Case {
    const char* what;
    int x, y;
    const char* text;
    int expectedX, expectedY;  // INT_MIN: as asked; -1: flush with the right or bottom edge
  } cases[] = {
      {"inside", 50, 60, "Item", 50, 60},
      {"past the right edge", work.right - 5, 60, "Item", -1, 60},
      {"past the bottom edge", 50, work.bottom - 5, "Item", 50, -1},
      {"past the corner", work.right - 1, work.bottom - 1, "Item", -1, -1},
      {"wider than the work area", 300, 60, wide.c_str(), 0, 60},
  };
  for (const Case& c : cases) {
    CPopupMenu m;
    ASSERT_TRUE(m.Init(nullptr, -1));
    m.AddItem(0, c.text, 1);
    m.AddItem(0, "Second", 2);
    m.Popup(c.x, c.y, nullptr, FALSE, TRUE);
    CRect r;
    ::GetWindowRect(m.m_hWnd, &r);
    int ex = c.expectedX == -1 ? work.right - r.Width() : c.expectedX;
    int ey = c.expectedY == -1 ? work.bottom - r.Height() : c.expectedY;
    EXPECT_EQ(ex, r.left) << c.what;
    EXPECT_EQ(ey, r.top) << c.what;
    EXPECT_GE(r.left, 0) << c.what;
    EXPECT_EQ(1, m.m_nTrackMode);  // keyboard mode: no capture
    EXPECT_NE(::GetCapture(), m.m_hWnd);
  }
}

TEST_F(PopupMenuTest, ModalMenuReturnsWhatWasChosen) {
  struct Case {
    const char* what;
    std::function<void(CPopupMenu&)> act;
    UINT expected;
  } cases[] = {
      {"a click on an item", [](CPopupMenu& m) { Click(m, 1); }, kPause},
      {"a grey item with the mouse", [](CPopupMenu& m) { Click(m, 4); }, kGrey},
      {"a mnemonic, any case", [](CPopupMenu& m) { ::SendMessageA(m.m_hWnd, WM_CHAR, 'S', 0); }, kStart},
      {"a click outside", [](CPopupMenu& m) { Release(m, CPoint(1, 1)); }, 0},
      {"the release of the opening click, then a click",
       [](CPopupMenu& m) {
         m.m_bLeftDown = 1;  // the button that opened the menu was down
         Move(m, 0);
         Release(m, ItemPoint(m, 0));
         EXPECT_TRUE(m.m_hWnd != nullptr);
         Click(m, 0);
       },
       kStart},
      {"a disabled item, a separator, an id of 0 and a grey mnemonic choose nothing",
       [](CPopupMenu& m) {
         Move(m, 3);
         EXPECT_EQ(-1, m.m_nHighlight);
         Click(m, 3);
         Click(m, 2);
         Click(m, 5);
         ::SendMessageA(m.m_hWnd, WM_CHAR, 'g', 0);
         ::SendMessageA(m.m_hWnd, WM_CHAR, 't', 0);
         EXPECT_TRUE(m.m_hWnd != nullptr);
         Release(m, CPoint(m.m_nWidth + 5, 10));
       },
       0},
  };
  for (const Case& c : cases) {
    CPopupMenu m;
    Fill(m);
    CPopupMenu* menu = &m;
    auto act = c.act;
    RunSteps({[menu, act] {
      if (!menu->m_hWnd) return false;
      act(*menu);
      return true;
    }});
    EXPECT_EQ(c.expected, m.Popup(40, 40, nullptr, TRUE)) << c.what;
    EXPECT_EQ(nullptr, m.m_hWnd) << c.what;
    EXPECT_EQ(0, m.m_nTrackMode) << c.what;
  }
}

// A window that records the commands it gets.
class CCommandSink : public CWnd {
 public:
  std::vector<std::pair<WPARAM, LPARAM>> m_commands;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_COMMAND) m_commands.emplace_back(wParam, lParam);
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

TEST_F(PopupMenuTest, NonModalMenuPostsTheChoiceToItsOwner) {
  CCommandSink owner;
  ASSERT_TRUE(owner.CreateEx(0, nullptr, "owner", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
  CPopupMenu m;
  Fill(m);
  EXPECT_EQ(0u, m.Popup(40, 40, owner.m_hWnd, FALSE));
  ASSERT_TRUE(m.m_hWnd);
  Click(m, 1);
  EXPECT_EQ(nullptr, m.m_hWnd);
  EXPECT_TRUE(owner.m_commands.empty());  // posted, not sent
  platform::win::PumpPendingMessages();
  ASSERT_EQ(1u, owner.m_commands.size());
  EXPECT_EQ((WPARAM)kPause, owner.m_commands[0].first);
  EXPECT_EQ(0, owner.m_commands[0].second);
  // Closed without a choice: nothing is posted. Shown again: the same object works.
  m.Popup(40, 40, owner.m_hWnd, FALSE);
  Release(m, CPoint(1, 1));
  platform::win::PumpPendingMessages();
  EXPECT_EQ(1u, owner.m_commands.size());
  owner.DestroyWindow();
}

TEST_F(PopupMenuTest, AQuitWhileTheMenuIsOpenClosesItAndIsPostedAgain) {
  CPopupMenu m;
  Fill(m);
  CPopupMenu* menu = &m;
  RunSteps({[menu] {
    if (!menu->m_hWnd) return false;
    ::PostQuitMessage(7);
    return true;
  }});
  EXPECT_EQ(0u, m.Popup(40, 40, nullptr, TRUE));
  EXPECT_EQ(nullptr, m.m_hWnd);
  MSG msg;
  ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(7u, msg.wParam);
}

TEST_F(PopupMenuTest, ChoosingInASubmenuClosesBothAndTheParentReturnsIt) {
  CPopupMenu parent, sub;
  ASSERT_TRUE(sub.Init(nullptr, -1));
  sub.AddItem(0, "Sub &A", kSubA);
  sub.AddItem(0, "Sub &B", kSubB);
  ASSERT_TRUE(parent.Init(nullptr, -1));
  parent.AddItem(0, "&Start", kStart);
  EXPECT_FALSE(parent.AddSubmenu(PMF_SEPARATOR, "x", &sub));
  ASSERT_TRUE(parent.AddSubmenu(0, "&More", &sub));
  EXPECT_TRUE(sub.m_bSubmenu);
  EXPECT_EQ(&parent, sub.m_pParent);
  parent.m_nHoverDelay = 10;
  CPopupMenu* p = &parent;
  CPopupMenu* s = &sub;
  RunSteps({
      [p] {
        if (!p->m_hWnd) return false;
        Move(*p, 1);  // hover: the submenu opens after the delay
        return true;
      },
      [p, s] {
        if (!s->m_hWnd) return false;
        // The mouse moves from the parent onto the submenu: the capture follows.
        CRect sr;
        ::GetWindowRect(s->m_hWnd, &sr);
        POINT inSub = {sr.left + 30, sr.top + s->m_items[1].m_nTop + 8};
        ::ScreenToClient(p->m_hWnd, &inSub);
        ::SendMessageA(p->m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(inSub.x, inSub.y));
        EXPECT_EQ(1, p->m_nTrackMode);
        EXPECT_EQ(2, s->m_nTrackMode);
        EXPECT_EQ(s->m_hWnd, ::GetCapture());
        Click(*s, 1);
        return true;
      },
  });
  EXPECT_EQ((UINT)kSubB, parent.Popup(40, 40, nullptr, TRUE));
  EXPECT_EQ(nullptr, parent.m_hWnd);
  EXPECT_EQ(nullptr, sub.m_hWnd);
  EXPECT_TRUE(g_steps.empty());
}

TEST_F(PopupMenuTest, ColoursAndInit) {
  CPopupMenu m;
  EXPECT_EQ(0xFF00FFu, m.m_colors[PMC_IMAGE_TRANSPARENT]);
  EXPECT_EQ(::GetSysColor(COLOR_HIGHLIGHT), m.m_colors[PMC_HIGHLIGHT]);
  m.SetColor(PMC_HIGHLIGHT, RGB(10, 20, 30));
  m.SetColor(42, RGB(1, 2, 3));  // no such slot: ignored
  EXPECT_EQ(RGB(10, 20, 30), m.m_colors[PMC_HIGHLIGHT]);
  Fill(m);
  EXPECT_EQ(6, m.m_items.GetSize());
  EXPECT_GT(m.m_nTextHeight, 0);
  EXPECT_GE(m.m_nBoldTextHeight, m.m_nTextHeight);
  ASSERT_TRUE(m.Init(nullptr, -1));  // empties the items
  EXPECT_EQ(0, m.m_items.GetSize());
  char cls[32] = {};
  m.AddItem(0, "x", 1);
  m.Popup(10, 10, nullptr, FALSE);
  ::GetClassNameA(m.m_hWnd, cls, sizeof cls);
  EXPECT_STREQ("fpmMenuClass", cls);
  EXPECT_TRUE(::GetWindowLongPtrA(m.m_hWnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
}

}  // namespace
