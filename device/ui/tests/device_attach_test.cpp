// The Device Attachment dialog driven as the operator drives it: an entry selected, mode
// and rate buttons pressed, Add and Remove pressed, the port scan and the file dialog
// answered. After each step the controls, the boxes shown and the [AttachedDevice]
// section of "Parameters.ini" are compared with what they must be.
#include <memory>
#include <set>

#include "device/device_params.h"
#include "device/links/net_devices.h"
#include "device/ui/attached_devices.h"
#include "device/ui/device_attach_dlg.h"
#include "device/ui/tests/dialog_test_support.h"
#include "foundation/settings.h"
#include "foundation/tests/app_folder_test.h"
#include "foundation/texts.h"
#include "platform/profile.h"
#include "resources/resource.h"

using namespace dialog_test;

namespace {

using Texts = std::vector<std::string>;

std::set<std::string> g_ports;  // the ports the probe finds
std::vector<std::string> g_probed;
BOOL TestProbe(const char* name) {
  g_probed.push_back(name);
  return g_ports.count(name) != 0;
}

// The file dialog's answer: a path, or cancel when empty.
std::string g_savePath;
INT_PTR SaveDialogHook(OPENFILENAMEA* ofn, BOOL open) {
  EXPECT_FALSE(open);
  EXPECT_TRUE(ofn->Flags & OFN_OVERWRITEPROMPT);
  EXPECT_STREQ("All Files (*.*)", ofn->lpstrFilter);
  if (g_savePath.empty()) return IDCANCEL;
  lstrcpynA(ofn->lpstrFile, g_savePath.c_str(), (int)ofn->nMaxFile);
  return IDOK;
}

const int kBaud[kBaudRates] = {1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, IDC_ATTACH_BAUD_230400};
const int kModes[] = {IDC_ATTACH_MODE_COM, IDC_ATTACH_MODE_NET, IDC_ATTACH_MODE_FILE, IDC_ATTACH_MODE_DUMMY};

class AttachTest : public EnglishAppFolderTest {
 public:
  void SetUp() override {
    EnglishAppFolderTest::SetUp();
    m_oldProbe = CDeviceAttachDlg::SetComPortProbe(TestProbe);
    m_oldFileHook = CFileDialog::SetHook(SaveDialogHook);
    g_ports = {"COM3", "COM4"};
    g_probed.clear();
    g_savePath.clear();
    m_savedCount = g_DeviceTable.m_nCount;
    g_DeviceTable.m_nCount = 2;
    strcpy(g_DeviceTable.m_records[0].m_szName, "Router");
    strcpy(g_DeviceTable.m_records[1].m_szName, " Laser ");
    g_FoundDevices.RemoveAll();
    g_FoundDevices.Add("Carver-A:192.168.1.20:7878:0.0.0.0:0");
    g_FoundDevices.Add("Carver-B:192.168.1.21:7878:0.0.0.0:0");
  }
  void TearDown() override {
    if (m_dlg && m_dlg->m_hWnd) m_dlg->DestroyWindow();
    m_dlg.reset();
    CDeviceAttachDlg::SetComPortProbe(m_oldProbe);
    CFileDialog::SetHook(m_oldFileHook);
    g_DeviceTable.m_nCount = m_savedCount;
    g_FoundDevices.RemoveAll();
    EnglishAppFolderTest::TearDown();
  }

  void WriteEntries(const Texts& entries) {
    std::string text = "[AttachedDevice]\r\n";
    for (size_t i = 0; i < entries.size(); ++i) text += "Device" + std::to_string(i + 1) + "=" + entries[i] + "\r\n";
    ASSERT_TRUE(testing_support::WriteFileBytes(GetParamsFilePath(), text));
  }
  std::string IniText() const { return testing_support::ReadFileBytes(GetParamsFilePath()); }
  Texts StoredEntries() const {
    CStringArray list;
    ReadAttachedDevices(list);
    Texts texts;
    for (const CString& s : list) texts.push_back(s.str());
    return texts;
  }

  void Open(WORD mode = kModeNone, const char* device = "") {
    m_dlg = std::make_unique<CDeviceAttachDlg>(nullptr);
    m_dlg->m_nMode = mode;
    m_dlg->m_strDeviceName = device;
    ASSERT_TRUE(m_dlg->Create(PickLangId(IDD_DEVICE_ATTACH_CN, IDD_DEVICE_ATTACH_EN)));
    m_dlg->ShowWindow(SW_SHOW);
    DrainFor(0);
  }
  HWND Dlg() const { return m_dlg->m_hWnd; }

  Texts ListBoxTexts() const {
    Texts texts;
    for (int i = 0; i < m_dlg->m_lstAttached.GetCount(); ++i) {
      CString s;
      m_dlg->m_lstAttached.GetText(i, s);
      texts.push_back(s.str());
    }
    return texts;
  }
  static Texts ComboTexts(const CComboBox& combo) {
    Texts texts;
    for (int i = 0; i < combo.GetCount(); ++i) {
      CString s;
      combo.GetLBText(i, s);
      texts.push_back(s.str());
    }
    return texts;
  }
  static std::string Selected(const CComboBox& combo) {
    CString s;
    if (combo.GetCurSel() >= 0) combo.GetLBText(combo.GetCurSel(), s);
    return s.str();
  }
  void SelectEntry(int item) {
    m_dlg->m_lstAttached.SetCurSel(item);
    m_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_ATTACH_LIST, LBN_SELCHANGE), (LPARAM)m_dlg->m_lstAttached.m_hWnd);
    DrainFor(0);
  }
  void SelectDevice(const char* name) { m_dlg->m_cbDevices.SetCurSel(m_dlg->m_cbDevices.FindStringExact(-1, name)); }
  // Which of COM, Network, FILE, Dummy is checked ("-" none), and which controls are on.
  std::string ModeState() const {
    std::string s;
    const char* names[] = {"COM", "NET", "FILE", "DUMMY"};
    for (int i = 0; i < 4; ++i)
      if (Checked(Dlg(), kModes[i])) s += names[i];
    if (s.empty()) s = "-";
    s += " on:";
    if (Enabled(Dlg(), kBaud[0])) s += " baud";
    const struct {
      int id;
      const char* name;
    } controls[] = {{IDC_ATTACH_PORT_LIST, "ports"},  {IDC_ATTACH_NET_PORT, "netport"},
                    {IDC_ATTACH_NET_LIST, "netlist"}, {IDC_ATTACH_DISCOVERY, "discovery"},
                    {IDC_ATTACH_BROWSE, "browse"},    {IDC_ATTACH_FILE_PATH, "path"}};
    for (const auto& c : controls)
      if (Enabled(Dlg(), c.id)) s += std::string(" ") + c.name;
    return s;
  }

  testing_support::MessageBoxRecorder m_boxes;
  std::unique_ptr<CDeviceAttachDlg> m_dlg;
  CDeviceAttachDlg::ComPortProbe m_oldProbe = nullptr;
  CFileDialog::Hook m_oldFileHook = nullptr;
  int m_savedCount = 0;
};

// Opening: the devices of the table (trimmed) with the wanted one selected, the found
// controllers, the entries up to the first empty key; no mode, so everything off.
TEST_F(AttachTest, OpensWithTheTableTheFoundControllersAndTheEntries) {
  WriteEntries({"Router@COM3:9600", "  Laser@SIMU:  ", "", "Router@SIMU:"});
  Open(kModeNone, "Laser");
  EXPECT_EQ("Device Attachment", WindowText(Dlg()));
  EXPECT_EQ(Texts({"Router", "Laser"}), ComboTexts(m_dlg->m_cbDevices));
  EXPECT_EQ("Laser", Selected(m_dlg->m_cbDevices));
  EXPECT_EQ(Texts({"Carver-A:192.168.1.20:7878:0.0.0.0:0", "Carver-B:192.168.1.21:7878:0.0.0.0:0"}),
            ComboTexts(m_dlg->m_cbNet));
  EXPECT_EQ("Carver-B:192.168.1.21:7878:0.0.0.0:0", Selected(m_dlg->m_cbNet));  // the last one
  EXPECT_EQ(Texts({"Router@COM3:9600", "Laser@SIMU:"}), ListBoxTexts());
  EXPECT_EQ("7878", ItemText(Dlg(), IDC_ATTACH_NET_PORT));
  EXPECT_EQ("- on:", ModeState());
  EXPECT_TRUE(m_boxes.Boxes().empty());
  EXPECT_NE(0, ::SendMessageA(Dlg(), WM_GETICON, ICON_BIG, 0));
  m_dlg->DestroyWindow();

  // A device name not in the table selects the first; Chinese texts.
  g_nUiLanguage = 0;
  Open(kModeNone, "Plasma");
  EXPECT_EQ("设备连接", WindowText(Dlg()));
  EXPECT_EQ("Router", Selected(m_dlg->m_cbDevices));
}

// Add for each mode: the entry built, appended, and the whole list written.
TEST_F(AttachTest, AddBuildsTheEntryOfEachMode) {
  g_savePath = "C:\\out\\job.nc";
  const struct {
    const char* name;
    WORD mode;
    std::function<void(AttachTest*)> choose;
    const char* entry;
  } cases[] = {
      {"COM3, fifth rate button", 3, [](AttachTest* t) { Press(t->Dlg(), kBaud[4]); }, "Router@COM3:38400"},
      {"COM3, no rate button", 3, [](AttachTest*) {}, "Router@COM3:38400"},
      {"COM4 at 230400", 4, [](AttachTest* t) { Press(t->Dlg(), IDC_ATTACH_BAUD_230400); }, "Router@COM4:230400"},
      {"network", kModeNone,
       [](AttachTest* t) {
         Press(t->Dlg(), IDC_ATTACH_MODE_NET);
         t->m_dlg->m_cbNet.SetCurSel(0);
       },
       "Router@NET:Carver-A:192.168.1.20:7878:0.0.0.0:0"},
      {"file", kModeNone,
       [](AttachTest* t) {
         Press(t->Dlg(), IDC_ATTACH_MODE_FILE);
         Press(t->Dlg(), IDC_ATTACH_BROWSE);
       },
       "Router@FILE:C:\\out\\job.nc"},
      {"dummy", kModeNone, [](AttachTest* t) { Press(t->Dlg(), IDC_ATTACH_MODE_DUMMY); }, "Router@SIMU:"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteEntries({"Laser@SIMU:"});
    Open(c.mode, "Router");
    c.choose(this);
    Press(Dlg(), IDOK);
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_EQ(Texts({"Laser@SIMU:", c.entry}), ListBoxTexts());
    EXPECT_EQ(Texts({"Laser@SIMU:", c.entry}), StoredEntries());
    EXPECT_TRUE(::IsWindowVisible(Dlg()));  // Add does not close it
    m_dlg->DestroyWindow();
  }
  EXPECT_EQ("[AttachedDevice]\r\nDevice1=Laser@SIMU:\r\nDevice2=Router@SIMU:\r\n", IniText());
}

// What Add refuses, each with its message and nothing written. An entry whose
// connection is no known form is not a serial port.
TEST_F(AttachTest, AddRefusesIncompleteOrUnknownConnections) {
  const struct {
    const char* name;
    Texts entries;
    std::function<void(AttachTest*)> steps;
    const char* message;
  } cases[] = {
      {"no mode", {}, [](AttachTest*) {}, "No connection mode specified"},
      {"file without a path",
       {},
       [](AttachTest* t) { Press(t->Dlg(), IDC_ATTACH_MODE_FILE); },
       "No export file specified"},
      {"network without a controller",
       {},
       [](AttachTest* t) {
         Press(t->Dlg(), IDC_ATTACH_MODE_NET);
         t->m_dlg->m_cbNet.SetCurSel(-1);
       },
       "No net device specified"},
      {"no device",
       {},
       [](AttachTest* t) {
         Press(t->Dlg(), IDC_ATTACH_MODE_DUMMY);
         t->m_dlg->m_cbDevices.SetCurSel(-1);
       },
       "No device specified"},
      {"unknown connection selected",
       {"Router@USB:1"},
       [](AttachTest* t) { t->SelectEntry(0); },
       "No connection mode specified"},
      {"port beyond COM20 selected",
       {"Router@COM65:9600"},
       [](AttachTest* t) { t->SelectEntry(0); },
       "No connection mode specified"},
      {"the same entry again",
       {"Router@COM3:38400"},
       [](AttachTest* t) {
         t->m_dlg->m_nMode = 3;
         t->m_dlg->UpdateModeControls();
         Press(t->Dlg(), kBaud[4]);
       },
       "This connection is already existed"},
      {"the same entry in other letter case",
       {"ROUTER@simu:"},
       [](AttachTest* t) { Press(t->Dlg(), IDC_ATTACH_MODE_DUMMY); },
       "This connection is already existed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteEntries(c.entries);
    std::string before = IniText();
    Open(kModeNone, "Router");
    c.steps(this);
    m_boxes.Clear();
    Press(Dlg(), IDOK);
    EXPECT_EQ(Texts({c.message}), BoxTexts(m_boxes));
    EXPECT_EQ(c.entries, ListBoxTexts());
    EXPECT_EQ(before, IniText());
    m_dlg->DestroyWindow();
  }
}

// Only a whole entry is a duplicate: one that merely begins like another is added.
TEST_F(AttachTest, AnEntryThatOnlyBeginsLikeAnotherIsAdded) {
  g_savePath = "C:\\out\\job.nc";
  WriteEntries({"Router@FILE:C:\\out\\job.nc.old"});
  Open(kModeFile, "Router");
  Press(Dlg(), IDC_ATTACH_BROWSE);
  Press(Dlg(), IDOK);
  EXPECT_TRUE(m_boxes.Boxes().empty());
  EXPECT_EQ(Texts({"Router@FILE:C:\\out\\job.nc.old", "Router@FILE:C:\\out\\job.nc"}), StoredEntries());
}

// Selecting an entry shows it and sets the mode from its connection; the rate, the
// network choice and the path are not taken from it.
TEST_F(AttachTest, SelectingAnEntrySetsTheModeFromItsConnection) {
  WriteEntries({"Laser@SIMU:", "Router@COM7:115200", "Router@COM3:9600",
                "Laser@NET:Carver-A:192.168.1.20:7878:0.0.0.0:0", "Router@FILE:C:\\x.nc", "Laser@USB:2"});
  Open(kModeNone, "Router");
  const struct {
    int item;
    const char* device;
    WORD mode;
    const char* state;
    Texts boxes;
  } cases[] = {
      {0, "Laser", kModeDummy, "DUMMY on:", {}},
      {1, "Router", 7, "- on: baud", {"No such a com port"}},
      {2, "Router", 3, "COM on: baud ports", {}},
      {3, "Laser", kModeNet, "NET on: netport netlist discovery", {}},
      {4, "Router", kModeFile, "FILE on: browse path", {}},
      {5, "Laser", kModeUnknown, "- on:", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.item);
    m_boxes.Clear();
    SelectEntry(c.item);
    EXPECT_EQ(c.mode, m_dlg->m_nMode);
    EXPECT_EQ(c.state, ModeState());
    EXPECT_EQ(c.boxes, BoxTexts(m_boxes));
    EXPECT_EQ(c.device, Selected(m_dlg->m_cbDevices));
    EXPECT_EQ(ListBoxTexts()[(size_t)c.item], ItemText(Dlg(), IDC_ATTACH_SELECTION));
  }
  EXPECT_EQ(Texts({"COM3"}), ComboTexts(m_dlg->m_cbPorts));  // found by the probe, added
  EXPECT_EQ("", ItemText(Dlg(), IDC_ATTACH_FILE_PATH));
}

// Remove asks first; Yes rewrites the section without the entry, so the old last key
// goes; No changes nothing.
TEST_F(AttachTest, RemoveRewritesTheSection) {
  WriteEntries({"Router@COM3:9600", "Laser@SIMU:", "Router@SIMU:"});
  Open();
  Press(Dlg(), IDC_ATTACH_REMOVE);  // nothing selected: nothing asked
  EXPECT_TRUE(m_boxes.Boxes().empty());
  m_dlg->m_lstAttached.SetCurSel(1);
  m_boxes.QueueAnswer(IDNO);
  Press(Dlg(), IDC_ATTACH_REMOVE);
  ASSERT_EQ(1u, m_boxes.Boxes().size());
  EXPECT_EQ("Sure to delete the attached device [Laser@SIMU:] ?", m_boxes.Boxes()[0].text);
  EXPECT_EQ((UINT)(MB_YESNO | MB_ICONQUESTION), m_boxes.Boxes()[0].type & (MB_TYPEMASK | MB_ICONMASK));
  EXPECT_EQ(3u, ListBoxTexts().size());
  m_boxes.QueueAnswer(IDYES);
  Press(Dlg(), IDC_ATTACH_REMOVE);
  EXPECT_EQ(Texts({"Router@COM3:9600", "Router@SIMU:"}), ListBoxTexts());
  EXPECT_EQ("[AttachedDevice]\r\nDevice1=Router@COM3:9600\r\nDevice2=Router@SIMU:\r\n", IniText());
}

// The COM button scans COM1..COM20, lists the ports present and takes the first.
TEST_F(AttachTest, TheComButtonScansThePorts) {
  g_ports = {"COM5", "COM2", "COM20"};
  Open();
  g_probed.clear();
  Press(Dlg(), IDC_ATTACH_MODE_COM);
  ASSERT_EQ(20u, g_probed.size());
  EXPECT_EQ("COM1", g_probed.front());
  EXPECT_EQ("COM20", g_probed.back());
  EXPECT_EQ(Texts({"COM2", "COM5", "COM20"}), ComboTexts(m_dlg->m_cbPorts));
  EXPECT_EQ(2, m_dlg->m_nMode);
  EXPECT_EQ("COM on: baud ports", ModeState());
  EXPECT_TRUE(m_boxes.Boxes().empty());

  // Another port chosen in the list is the mode.
  m_dlg->m_cbPorts.SetCurSel(2);
  m_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_ATTACH_PORT_LIST, CBN_SELCHANGE), (LPARAM)m_dlg->m_cbPorts.m_hWnd);
  EXPECT_EQ(20, m_dlg->m_nMode);
  Press(Dlg(), kBaud[7]);
  Press(Dlg(), IDOK);
  EXPECT_EQ(Texts({"Router@COM20:115200"}), StoredEntries());

  // No port at all: said so, and no mode.
  g_ports.clear();
  Press(Dlg(), IDC_ATTACH_MODE_COM);
  EXPECT_EQ(Texts({"Please check if the port is usable"}), BoxTexts(m_boxes));
  EXPECT_EQ(0, m_dlg->m_nMode);
  EXPECT_EQ(0, m_dlg->m_cbPorts.GetCount());
  EXPECT_EQ("- on:", ModeState());
}

TEST_F(AttachTest, CancellingTheFileDialogKeepsThePath) {
  Open(kModeFile, "Router");
  ::SetDlgItemTextA(Dlg(), IDC_ATTACH_FILE_PATH, "D:\\kept.nc");
  g_savePath.clear();
  Press(Dlg(), IDC_ATTACH_BROWSE);
  EXPECT_EQ("D:\\kept.nc", ItemText(Dlg(), IDC_ATTACH_FILE_PATH));
  g_savePath = "E:\\new.nc";
  Press(Dlg(), IDC_ATTACH_BROWSE);
  EXPECT_EQ("E:\\new.nc", ItemText(Dlg(), IDC_ATTACH_FILE_PATH));
}

// A list whose section would not fit its buffer is refused whole: the new entry is not
// added and the file keeps what it had.
TEST_F(AttachTest, AListTooLongForItsSectionIsRefused) {
  Texts entries;
  for (int i = 0; i < 64; ++i)
    entries.push_back("Router@FILE:C:\\" + std::string(230, 'a' + i % 26) + std::to_string(i));
  WriteEntries(entries);
  ASSERT_EQ(64u, StoredEntries().size());
  std::string before = IniText();
  Open(kModeDummy, "Router");
  Press(Dlg(), IDOK);
  EXPECT_EQ(Texts({"Too many attached devices to save them all; remove some first"}), BoxTexts(m_boxes));
  EXPECT_EQ(64u, ListBoxTexts().size());
  EXPECT_EQ(before, IniText());
}

TEST(ConnectionMode, KnowsEachFormAndOnlyTwentyPorts) {
  const struct {
    const char* connection;
    WORD mode;
  } cases[] = {{"COM3:9600", 3},
               {"COM20:38400", 20},
               {"com1:2400", 1},
               {"COM7", 7},
               {"COM0:9600", kModeUnknown},
               {"COM21:9600", kModeUnknown},
               {"COM65535:38400", kModeUnknown},
               {"COMX", kModeUnknown},
               {"NET:a:1.2.3.4:7878:0.0.0.0:0", kModeNet},
               {"SIMU:", kModeDummy},
               {"FILE:C:\\a.nc", kModeFile},
               {"", kModeUnknown},
               {"USB:1", kModeUnknown}};
  for (const auto& c : cases) EXPECT_EQ(c.mode, ConnectionMode(c.connection)) << c.connection;
}

}  // namespace
