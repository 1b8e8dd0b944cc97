// The LAN search dialog against the test controller.
#include <gtest/gtest.h>

#include "device/ui/lan_search_dlg.h"
#include "device/links/net_devices.h"
#include "device/links/tests/udp_test_support.h"
#include "foundation/settings.h"
#include "foundation/texts.h"
#include "platform/testing/test_support.h"
#include "resources/resource.h"

using namespace udp_test;

namespace {

bool ButtonsEnabled(CDialog& dlg) {
  return ::IsWindowEnabled(::GetDlgItem(dlg.m_hWnd, IDOK)) && ::IsWindowEnabled(::GetDlgItem(dlg.m_hWnd, IDCANCEL));
}

int ListCount(CDialog& dlg) { return (int)::SendDlgItemMessageA(dlg.m_hWnd, IDC_LAN_SEARCH_LIST, LB_GETCOUNT, 0, 0); }

TEST(LanSearch, FiveProbesOneSecondApartThenTheButtonsComeBack) {
  ASSERT_EQ("PONG", Control("PING"));
  Control("RESET");
  Control("SILENT 0");
  UseLoopbackBroadcast();
  g_nUiLanguage = 1;
  testing_support::TempDir dir;  // the link reads its settings from the program folder
  CString savedFolder = g_strAppFolder;
  g_strAppFolder = dir.Path();
  TestWindow pump;

  // No controller at that port: an empty list, and g_FoundDevices emptied.
  g_FoundDevices.RemoveAll();
  g_FoundDevices.Add("stale");
  {
    CLanSearchDlg dlg(nullptr, FreeUdpPort());
    ASSERT_TRUE(dlg.Create(PickLangId(IDD_LAN_SEARCH_CN, IDD_LAN_SEARCH_EN)));
    // The program's icon, big and small.
    EXPECT_NE(0, ::SendMessageA(dlg.m_hWnd, WM_GETICON, ICON_BIG, 0));
    EXPECT_NE(0, ::SendMessageA(dlg.m_hWnd, WM_GETICON, ICON_SMALL, 0));
    ASSERT_TRUE(pump.PumpUntil(1000, [&] { return dlg.IsSearching() != 0; }));
    EXPECT_FALSE(ButtonsEnabled(dlg));
    ASSERT_TRUE(pump.PumpUntil(8000, [&] { return !dlg.IsSearching(); }));
    EXPECT_EQ(0, dlg.GetProbesLeft());
    EXPECT_TRUE(ButtonsEnabled(dlg));
    EXPECT_EQ(0, ListCount(dlg));
    EXPECT_EQ(0, g_FoundDevices.GetSize());
    dlg.DestroyWindow();
  }

  // With the controller: it answers every probe and is listed once.
  CLanSearchDlg dlg(nullptr, PeerPort());
  ASSERT_TRUE(dlg.Create(PickLangId(IDD_LAN_SEARCH_CN, IDD_LAN_SEARCH_EN)));
  ASSERT_TRUE(pump.PumpUntil(8000, [&] { return dlg.IsSearching() != 0; }));
  ASSERT_TRUE(pump.PumpUntil(8000, [&] { return !dlg.IsSearching(); }));
  EXPECT_EQ(5, Stat("enum"));
  ASSERT_EQ(1, ListCount(dlg));
  ASSERT_EQ(1, g_FoundDevices.GetSize());
  CString expected;
  expected.Format("TestCarver:127.0.0.1:%u:0.0.0.0:0", PeerPort());
  EXPECT_STREQ(expected, g_FoundDevices[0]);
  char text[128] = "";
  ::SendDlgItemMessageA(dlg.m_hWnd, IDC_LAN_SEARCH_LIST, LB_GETTEXT, 0, (LPARAM)text);
  EXPECT_STREQ(expected, text);
  EXPECT_EQ(5, (int)::SendDlgItemMessageA(dlg.m_hWnd, IDC_LAN_SEARCH_PROGRESS, PBM_GETPOS, 0, 0));

  // Search again, then Close while it runs: the link goes with the dialog.
  dlg.PostMessage(WM_COMMAND, IDOK);
  ASSERT_TRUE(pump.PumpUntil(2000, [&] { return dlg.IsSearching() != 0; }));
  dlg.OnCancel();
  EXPECT_FALSE(dlg.IsSearching());
  dlg.DestroyWindow();
  g_strAppFolder = savedFolder;
}

}  // namespace
