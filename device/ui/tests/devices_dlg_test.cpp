// The Devices dialog and the device settings and name input it opens, driven as the
// operator drives them: a device preselected, New, Edit, Delete and Save As pressed,
// the fields of the opened dialog typed, the questions answered. Checked: the list and
// the details shown, the boxes, the device table, and the ".pam" and ".bak" files.
#include <memory>

#include "device/device_params.h"
#include "device/device_text.h"
#include "device/ui/devices_dlg.h"
#include "device/ui/new_device_dlg.h"
#include "device/ui/tests/dialog_test_support.h"
#include "foundation/settings.h"
#include "foundation/tests/app_folder_test.h"
#include "foundation/texts.h"
#include "platform/profile.h"
#include "resources/resource.h"

using namespace dialog_test;

namespace {

using Texts = std::vector<std::string>;

void SetUnits(bool inch) {
  g_strUnit = inch ? "in" : "mm";
  g_strNumberFormat = inch ? "%.4f" : "%.3f";
  g_dUnitFactor = inch ? 1.0 / 25.4 : 1.0;
}

// Two devices with every value set.
void MakeDevice(DeviceParams& d, const char* name, double workX, int home, int codeSet) {
  d.ResetForName(name);
  device_text::CopyField(d.m_szName, sizeof d.m_szName, name);
  std::string description = std::string(name) + " machine";
  device_text::CopyField(d.m_szDescription, sizeof d.m_szDescription, description.c_str());
  device_text::CopyField(d.m_szInitialString, sizeof d.m_szInitialString, "IN;ZZ2;SP1");
  d.m_nCommandSet = codeSet;
  d.m_nXYHome = home;
  d.m_nZDir = home == 4 ? 0 : 1;
  d.m_dWorkX = workX;
  d.m_dWorkY = 400;
  d.m_dWorkZ = 50;
  d.m_dResX = d.m_dResY = d.m_dResZ = 1016;
  d.m_dMinSpeedX = d.m_dMinSpeedY = d.m_dMinSpeedZ = 0.5;
  d.m_dMaxSpeedX = d.m_dMaxSpeedY = 160;
  d.m_dMaxSpeedZ = 50;
  d.m_dMinXYStart = 0.5;
  d.m_dMaxXYStart = 8;
  d.m_dMinZStart = 0.25;
  d.m_dMaxZStart = 4;
  d.m_dLoForContinue = 8;
  d.m_dCoeff = 17;
  d.m_dMinK = 2;
  d.m_dKRThreshold = 20;
  d.m_dMinAccel = 0.5;
  d.m_dMaxAccel = 640;
  d.m_dParamN = 2;
  d.m_dCornerSpeed = 50;
  d.m_dCornerUp = 10;
  d.m_nSpindles = 2;
  d.m_nArcSupport = 1;
}

class DevicesTest : public EnglishAppFolderTest {
 public:
  void SetUp() override {
    EnglishAppFolderTest::SetUp();
    m_unit = g_strUnit;
    m_format = g_strNumberFormat;
    m_factor = g_dUnitFactor;
    SetUnits(false);
    platform::MakeDirectory(m_dir / "Devices");
    g_DeviceTable.m_nCount = 0;
    MakeDevice(g_DeviceTable.m_records[0], "Alpha", 1300, 1, 0);
    MakeDevice(g_DeviceTable.m_records[1], "Beta", 600, 4, 1);
    g_DeviceTable.m_records[1].m_szControllerModel[0] = '\0';
    g_DeviceTable.m_nCount = 2;
    ASSERT_TRUE(SaveDeviceTable());
  }
  void TearDown() override {
    StopWaitingForDialog();
    if (m_dlg && m_dlg->m_hWnd) m_dlg->DestroyWindow();
    m_dlg.reset();
    g_DeviceTable.m_nCount = 0;
    g_strUnit = m_unit;
    g_strNumberFormat = m_format;
    g_dUnitFactor = m_factor;
    EnglishAppFolderTest::TearDown();
  }

  void Open(const char* preselect = "") {
    m_dlg = std::make_unique<CDevicesDlg>(nullptr, -1);
    m_dlg->m_strPreselect = preselect;
    ASSERT_TRUE(m_dlg->Create(PickLangId(IDD_DEVICES_CN, IDD_DEVICES_EN)));
    m_dlg->ShowWindow(SW_SHOW);
    DrainFor(0);
  }
  HWND Dlg() const { return m_dlg->m_hWnd; }
  CString DeviceFile(const char* name) const { return m_dir / "Devices\\" + name + ".pam"; }
  std::string FileText(const char* name) const { return testing_support::ReadFileBytes(DeviceFile(name)); }
  std::string Key(const char* device, const char* section, const char* key) const {
    return ProfileGetText(section, key, "<none>", DeviceFile(device)).str();
  }
  Texts Rows() const {
    Texts rows;
    for (int i = 0; i < m_dlg->m_list.GetItemCount(); ++i)
      rows.push_back((m_dlg->m_list.GetItemText(i, 0) + "|" + m_dlg->m_list.GetItemText(i, 1) + "|" +
                      m_dlg->m_list.GetItemText(i, 2))
                         .str());
    return rows;
  }
  Texts Names() const {
    Texts names;
    for (int i = 0; i < g_DeviceTable.m_nCount; ++i) names.push_back(g_DeviceTable.m_records[i].m_szName);
    return names;
  }
  // Opens the settings with New and types the fields given, then answers the save
  // question with answer.
  void NewDevice(const std::vector<std::pair<int, const char*>>& fields, int answer = IDYES) {
    OnNextDialog(Dlg(), [this, fields, answer](HWND dlg) {
      for (const auto& f : fields) ::SetDlgItemTextA(dlg, f.first, f.second);
      m_boxes.QueueAnswer(answer);
      Press(dlg, IDOK);
      // Refused or not confirmed, it stays open.
      const auto& boxes = m_boxes.Boxes();
      bool saved = answer == IDYES && !boxes.empty() && boxes.back().text.find("Are you sure to save") == 0;
      if (!saved) Press(dlg, IDCANCEL);
    });
    Press(Dlg(), IDC_DEVICES_NEW);
  }

  testing_support::MessageBoxRecorder m_boxes;
  std::unique_ptr<CDevicesDlg> m_dlg;
  CString m_unit, m_format;
  double m_factor = 1;
};

TEST_F(DevicesTest, OpensWithEveryDeviceAndThePreselectedDetails) {
  Open("beta");
  EXPECT_EQ("Devices", WindowText(Dlg()));
  EXPECT_EQ(Texts({"Device Name/100/L", "Dimension(L x W x H) mm/200/L", "Description/200/L"}), Columns(m_dlg->m_list));
  EXPECT_EQ(Texts({"Alpha|1300.000 x 400.000 x 50.000|Alpha machine", "Beta|600.000 x 400.000 x 50.000|Beta machine"}),
            Rows());
  EXPECT_EQ(1, m_dlg->m_nSelection);
  EXPECT_EQ(1, (int)m_dlg->m_list.SendMessage(LVM_GETSELECTIONMARK));
  EXPECT_EQ("Beta", ItemText(Dlg(), IDC_DEVICES_NAME));
  EXPECT_EQ("IN;ZZ2;SP1", ItemText(Dlg(), IDC_DEVICES_INITIAL));
  EXPECT_EQ("Beta machine", ItemText(Dlg(), IDC_DEVICES_DESCRIPTION));
  EXPECT_EQ("1016.000 x 1016.000 x 1016.000", ItemText(Dlg(), IDC_DEVICES_RESOLUTION));
  EXPECT_EQ("600.000 x 400.000 x 50.000(mm)", ItemText(Dlg(), IDC_DEVICES_DIMENSION));
  EXPECT_EQ(
      "X:0.500 --- 160.000(mm/s)\r\nY:0.500 --- 160.000(mm/s)\r\nZ:0.500 --- 50.000(mm/s)\r\nO:0.500 --- "
      "8.000(mm/s)\r\n",
      ItemText(Dlg(), IDC_DEVICES_SPEEDS));
  EXPECT_EQ("2.000 --- 17.000", ItemText(Dlg(), IDC_DEVICES_PARAM_K));
  EXPECT_EQ("0.500 --- 640.000(mm/s/s)", ItemText(Dlg(), IDC_DEVICES_PARAM_A));
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(Dlg(), IDC_DEVICES_PARAM_K)));
  EXPECT_FALSE(Checked(Dlg(), IDC_DEVICES_Z_UP));
  EXPECT_TRUE(Checked(Dlg(), IDC_DEVICES_Z_DOWN));
  EXPECT_FALSE(Enabled(Dlg(), IDC_DEVICES_Z_UP));
  EXPECT_EQ(m_dlg->m_hHome[3], (HBITMAP)m_dlg->m_picture.SendMessage(STM_GETIMAGE, IMAGE_BITMAP));

  // A click on the first row shows it.
  m_dlg->m_list.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
  DrainFor(0);
  EXPECT_EQ(0, m_dlg->m_nSelection);
  EXPECT_EQ("Alpha", ItemText(Dlg(), IDC_DEVICES_NAME));
  EXPECT_TRUE(Checked(Dlg(), IDC_DEVICES_Z_UP));
  EXPECT_EQ(m_dlg->m_hHome[0], (HBITMAP)m_dlg->m_picture.SendMessage(STM_GETIMAGE, IMAGE_BITMAP));
  // Enter does not close it.
  ::SendMessageA(Dlg(), WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(::IsWindowVisible(Dlg()));
  m_dlg->DestroyWindow();

  // In inches and Chinese.
  SetUnits(true);
  g_nUiLanguage = 0;
  Open("Alpha");
  EXPECT_EQ("设备管理", WindowText(Dlg()));
  EXPECT_EQ("加工尺寸(长 x 宽 x 高) in/200/L", Columns(m_dlg->m_list)[1]);
  EXPECT_EQ("51.181 x 15.748 x 1.969(in)", ItemText(Dlg(), IDC_DEVICES_DIMENSION));
}

TEST_F(DevicesTest, EditDeleteAndSaveAsNeedASelection) {
  Open();
  std::string alpha = FileText("Alpha");
  ExpectNoDialog(Dlg());
  for (int id : {IDC_DEVICES_EDIT, IDC_DEVICES_DELETE, IDC_DEVICES_SAVE_AS}) Press(Dlg(), id);
  EXPECT_EQ(Texts({"Select device to change", "Select device to delete", "Select device to save"}), BoxTexts(m_boxes));
  EXPECT_EQ(Texts({"Alpha", "Beta"}), Names());
  EXPECT_EQ(alpha, FileText("Alpha"));
}

// New: the typed values become a device at the end of the table and its file; lengths
// typed in the unit of the settings are stored in millimetres.
TEST_F(DevicesTest, NewAddsTheDeviceAndWritesItsFile) {
  SetUnits(true);
  Open("Alpha");
  std::string title;
  OnNextDialog(Dlg(), [&](HWND dlg) {
    title = WindowText(dlg);
    EXPECT_TRUE(Enabled(dlg, IDC_NEWDEV_NAME));
    EXPECT_EQ("2", ItemText(dlg, IDC_NEWDEV_KMIN));
    EXPECT_EQ("12", ItemText(dlg, IDC_NEWDEV_KR));
    EXPECT_EQ("20000", ItemText(dlg, IDC_NEWDEV_PCR));
    EXPECT_EQ("1", ItemText(dlg, IDC_NEWDEV_SPINDLES));
    EXPECT_EQ("in", ItemText(dlg, IDC_NEWDEV_UNIT));
    EXPECT_TRUE(Checked(dlg, IDC_NEWDEV_HOME_LB));
    EXPECT_TRUE(Checked(dlg, IDC_NEWDEV_3D));
    ::SetDlgItemTextA(dlg, IDC_NEWDEV_NAME, "Mill");
    ::SetDlgItemTextA(dlg, IDC_NEWDEV_X_MAX, "1");
    ::SetDlgItemTextA(dlg, IDC_NEWDEV_X_RES, "2032");
    ::SetDlgItemTextA(dlg, IDC_NEWDEV_X_HI, "2");
    ::SetDlgItemTextA(dlg, IDC_NEWDEV_PARAM_N, "3");
    Press(dlg, IDC_NEWDEV_HOME_RT);
    Press(dlg, IDC_NEWDEV_Z_DOWN);
    Press(dlg, IDC_NEWDEV_2D);
    Press(dlg, IDC_NEWDEV_LASER);
    m_boxes.QueueAnswer(IDYES);
    Press(dlg, IDOK);
  });
  Press(Dlg(), IDC_DEVICES_NEW);
  EXPECT_EQ("Add device", title);
  EXPECT_EQ(Texts({"Are you sure to save settings of Mill"}), BoxTexts(m_boxes));
  ASSERT_EQ(Texts({"Alpha", "Beta", "Mill"}), Names());
  EXPECT_EQ(3u, Rows().size());
  EXPECT_EQ(2, m_dlg->m_nSelection);
  EXPECT_EQ("Mill", ItemText(Dlg(), IDC_DEVICES_NAME));
  const struct {
    const char* section;
    const char* key;
    const char* value;
  } keys[] = {{"Device", "Name", "Mill"},
              {"Device", "ControllerModel", "V5"},
              {"Device", "CommandSet", "G"},
              {"Device", "XYHome", "RT"},
              {"Device", "ZDir", "Down"},
              {"Device", "2D_3D_type", "2D"},
              {"Device", "Model(Plasma/Laser/Cutter/LogEngraver/Other)", "Laser"},
              {"Dimension(mm)", "X", "25.400"},
              {"Dimension(mm)", "Y", "0.000"},
              {"Resolution(StepsPerInch)", "X", "2032.00000000"},
              {"RatedSpeed(mm/s)", "MaxX", "50.800"},
              {"SpeedCurve", "MinK", "2.000"},
              {"SpeedCurve", "KRThreshold(mm)", "12.000"},
              {"Acceleration", "ParamN", "3"},
              {"LogEngraving", "PCR", "20000.000"},
              {"Device", "Spindles", "1"}};
  for (const auto& k : keys) EXPECT_EQ(k.value, Key("Mill", k.section, k.key)) << k.section << " " << k.key;
}

// What New refuses: a name that cannot be a file name and one already in the table
// (the settings dialog stays open), a name that differs only in letter case (the
// Devices dialog drops it), an unconfirmed save. Nothing is added or written.
TEST_F(DevicesTest, NewRefusesBadAndTakenNames) {
  Open();
  CString badName;
  CheckFileBaseName("a.b", kDeviceNameCut, &badName);
  ASSERT_FALSE(badName.IsEmpty());
  const struct {
    const char* name;
    int answer;
    Texts boxes;
  } cases[] = {
      {"a.b", IDYES, {badName.str()}},
      {"", IDYES, {"<bad>"}},
      {"x:y", IDYES, {"<bad>"}},
      {"Alpha", IDYES, {"Device is already existed, please delete before add"}},
      {"ALPHA", IDYES, {"Are you sure to save settings of ALPHA", "Device ALPHA is already existed"}},
      {"Gamma", IDNO, {"Are you sure to save settings of Gamma"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_boxes.Clear();
    NewDevice({{IDC_NEWDEV_NAME, c.name}}, c.answer);
    if (c.boxes[0] == "<bad>") {
      ASSERT_EQ(1u, m_boxes.Boxes().size());
      EXPECT_EQ((UINT)MB_ICONEXCLAMATION, m_boxes.Boxes()[0].type & MB_ICONMASK);
    } else {
      EXPECT_EQ(c.boxes, BoxTexts(m_boxes));
    }
    EXPECT_EQ(Texts({"Alpha", "Beta"}), Names());
  }
  EXPECT_FALSE(testing_support::FileExists(DeviceFile("Gamma")));
  EXPECT_FALSE(testing_support::FileExists(DeviceFile("ALPHA")) && Names().size() != 2);
}

// The table is full: New and Save As say so before anything is typed.
TEST_F(DevicesTest, AHundredAndFirstDeviceIsRefused) {
  for (int i = 2; i < kDeviceTableSize; ++i) {
    g_DeviceTable.m_records[i] = g_DeviceTable.m_records[0];
    snprintf(g_DeviceTable.m_records[i].m_szName, sizeof g_DeviceTable.m_records[i].m_szName, "D%d", i);
  }
  g_DeviceTable.m_nCount = kDeviceTableSize;
  Open("Alpha");
  ExpectNoDialog(Dlg());
  Press(Dlg(), IDC_DEVICES_NEW);
  Press(Dlg(), IDC_DEVICES_SAVE_AS);
  EXPECT_EQ(Texts(2, "There can be at most 100 devices; delete one first"), BoxTexts(m_boxes));
  EXPECT_EQ(kDeviceTableSize, g_DeviceTable.m_nCount);
}

// Edit: the name cannot change, the values come in the unit of the settings, the code set
// stays, an empty controller model is saved as V5.
TEST_F(DevicesTest, EditRewritesTheSelectedDevice) {
  Open("Beta");
  OnNextDialog(Dlg(), [&](HWND dlg) {
    EXPECT_EQ("Device Settings (Beta)", WindowText(dlg));
    EXPECT_FALSE(Enabled(dlg, IDC_NEWDEV_NAME));
    EXPECT_EQ("600.", ItemText(dlg, IDC_NEWDEV_X_MAX));
    EXPECT_EQ("1016.", ItemText(dlg, IDC_NEWDEV_X_RES));
    EXPECT_EQ("0.25", ItemText(dlg, IDC_NEWDEV_Z_START_LO));
    EXPECT_EQ("2", ItemText(dlg, IDC_NEWDEV_PARAM_N));
    EXPECT_EQ("V5", ItemText(dlg, IDC_NEWDEV_MODEL));
    EXPECT_TRUE(Checked(dlg, IDC_NEWDEV_HOME_LT));
    EXPECT_TRUE(Checked(dlg, IDC_NEWDEV_Z_DOWN));
    EXPECT_TRUE(Checked(dlg, IDC_NEWDEV_ARC));
    ::SetDlgItemTextA(dlg, IDC_NEWDEV_X_MAX, "650");
    ::SetDlgItemTextA(dlg, IDC_NEWDEV_MEMO, "rebuilt");
    m_boxes.QueueAnswer(IDYES);
    Press(dlg, IDOK);
  });
  Press(Dlg(), IDC_DEVICES_EDIT);
  EXPECT_EQ("650.000", Key("Beta", "Dimension(mm)", "X"));
  EXPECT_EQ("rebuilt", Key("Beta", "Device", "Description"));
  EXPECT_EQ("HPGL", Key("Beta", "Device", "CommandSet"));
  EXPECT_EQ("V5", Key("Beta", "Device", "ControllerModel"));
  EXPECT_EQ("LT", Key("Beta", "Device", "XYHome"));
  EXPECT_EQ("Beta|650.000 x 400.000 x 50.000|rebuilt", Rows()[1]);

  // Cancel changes nothing.
  std::string before = FileText("Beta");
  OnNextDialog(Dlg(), [&](HWND dlg) {
    ::SetDlgItemTextA(dlg, IDC_NEWDEV_X_MAX, "1");
    Press(dlg, IDCANCEL);
  });
  Press(Dlg(), IDC_DEVICES_EDIT);
  EXPECT_EQ(before, FileText("Beta"));
}

// Delete asks, moves the file to its ".bak" (replacing an older one) and selects the
// device before, or the new first one.
TEST_F(DevicesTest, DeleteMovesTheFileToItsBackup) {
  testing_support::WriteFileBytes(DeviceFile("Alpha") + ".bak", "old backup");
  std::string alpha = FileText("Alpha");
  Open("Alpha");
  m_boxes.QueueAnswer(IDNO);
  Press(Dlg(), IDC_DEVICES_DELETE);
  EXPECT_EQ(Texts({"Are sure to delete Alpha"}), BoxTexts(m_boxes));
  EXPECT_EQ(Texts({"Alpha", "Beta"}), Names());

  m_boxes.QueueAnswer(IDYES);
  Press(Dlg(), IDC_DEVICES_DELETE);
  EXPECT_EQ(Texts({"Beta"}), Names());
  EXPECT_FALSE(testing_support::FileExists(DeviceFile("Alpha")));
  EXPECT_EQ(alpha, testing_support::ReadFileBytes(DeviceFile("Alpha") + ".bak"));
  EXPECT_EQ(0, m_dlg->m_nSelection);
  EXPECT_EQ("Beta", ItemText(Dlg(), IDC_DEVICES_NAME));
  EXPECT_EQ(1u, Rows().size());
  LoadDeviceTable();
  EXPECT_EQ(Texts({"Beta"}), Names());
}

TEST_F(DevicesTest, DeletingALaterDeviceSelectsTheOneBefore) {
  MakeDevice(g_DeviceTable.m_records[2], "Gamma", 100, 1, 0);
  g_DeviceTable.m_nCount = 3;
  SaveDeviceTable();
  Open("Gamma");
  m_boxes.QueueAnswer(IDYES);
  Press(Dlg(), IDC_DEVICES_DELETE);
  EXPECT_EQ(Texts({"Alpha", "Beta"}), Names());
  EXPECT_EQ(1, m_dlg->m_nSelection);
  EXPECT_EQ("Beta", ItemText(Dlg(), IDC_DEVICES_NAME));
}

// A file that cannot be moved stops the deletion with the platform's reason.
TEST_F(DevicesTest, DeleteStopsWhenTheFileCannotBeMoved) {
  Open("Beta");
  ASSERT_TRUE(platform::RemoveFile(DeviceFile("Beta")));
  m_boxes.QueueAnswer(IDYES);
  Press(Dlg(), IDC_DEVICES_DELETE);
  ASSERT_EQ(2u, m_boxes.Boxes().size());
  EXPECT_FALSE(m_boxes.Boxes()[1].text.empty());
  EXPECT_EQ(Texts({"Alpha", "Beta"}), Names());
}

// Save As: the name asked for in the caption, trimmed, refused when empty, taken or
// unusable as a file name; the copy keeps every value but its name and file.
TEST_F(DevicesTest, SaveAsCopiesTheSelectedDevice) {
  Open("Beta");
  const struct {
    const char* typed;
    const char* box;
  } refused[] = {
      {"", "Please enter a name for new device"}, {" alpha ", "Device alpha is already existed"}, {"a\\b", nullptr}};
  for (const auto& c : refused) {
    SCOPED_TRACE(c.typed);
    m_boxes.Clear();
    OnNextDialog(Dlg(), [&](HWND dlg) {
      EXPECT_EQ("Save Beta as", WindowText(dlg));
      ::SetDlgItemTextA(dlg, IDC_INPUT_TEXT, c.typed);
      Press(dlg, IDOK);
    });
    Press(Dlg(), IDC_DEVICES_SAVE_AS);
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    if (c.box) {
      EXPECT_EQ(c.box, m_boxes.Boxes()[0].text);
    }
    EXPECT_EQ(Texts({"Alpha", "Beta"}), Names());
  }

  m_boxes.Clear();
  OnNextDialog(Dlg(), [&](HWND dlg) {
    ::SetDlgItemTextA(dlg, IDC_INPUT_TEXT, "  Beta 2  ");
    Press(dlg, IDOK);
  });
  Press(Dlg(), IDC_DEVICES_SAVE_AS);
  EXPECT_TRUE(m_boxes.Boxes().empty());
  EXPECT_EQ(Texts({"Alpha", "Beta", "Beta 2"}), Names());
  EXPECT_EQ(1, m_dlg->m_nSelection);
  std::string copy = FileText("Beta 2");
  std::string original = FileText("Beta");
  ASSERT_NE(std::string::npos, copy.find("Name=Beta 2\r\n"));
  copy.replace(copy.find("Name=Beta 2\r\n"), strlen("Name=Beta 2\r\n"), "Name=Beta\r\n");
  EXPECT_EQ(original, copy);
}

// The "Devices" folder gone: the new device's file cannot be written, so it is said so
// and the table keeps what the files hold.
TEST_F(DevicesTest, ADeviceFileThatCannotBeWrittenIsReported) {
  Open("Alpha");
  ASSERT_TRUE(platform::RemoveFile(DeviceFile("Alpha")));
  ASSERT_TRUE(platform::RemoveFile(DeviceFile("Beta")));
  ASSERT_TRUE(platform::RemoveFolder(m_dir / "Devices"));
  NewDevice({{IDC_NEWDEV_NAME, "Mill"}});
  EXPECT_EQ(Texts({"Are you sure to save settings of Mill", "The device file could not be written: Mill"}),
            BoxTexts(m_boxes));
  EXPECT_EQ(Texts({"Alpha", "Beta"}), Names());
}

// The settings dialog on its own: texts made from a record in inches, the controller
// model chosen, the corner and machine controls.
TEST_F(DevicesTest, SettingsShowTheRecordInTheUnitOfTheSettings) {
  SetUnits(true);
  DeviceParams d = g_DeviceTable.m_records[0];
  d.m_dWorkX = 25.4;
  d.m_dMaxSpeedX = 12.7;
  const struct {
    const char* model;
    const char* chosen;
  } models[] = {{"", "V5"}, {"v7", "V7"}, {"V", "V4"}, {"V7X", "V5"}, {"ZX", "V5"}, {"V8", "V8"}};
  for (const auto& m : models) {
    SCOPED_TRACE(m.model);
    device_text::CopyField(d.m_szControllerModel, sizeof d.m_szControllerModel, m.model);
    CNewDeviceDlg dlg(&d, nullptr);
    ASSERT_TRUE(dlg.Create(PickLangId(IDD_NEW_DEVICE_CN, IDD_NEW_DEVICE_EN)));
    EXPECT_EQ(m.chosen, ItemText(dlg.m_hWnd, IDC_NEWDEV_MODEL));
    EXPECT_EQ("1.", ItemText(dlg.m_hWnd, IDC_NEWDEV_X_MAX));
    EXPECT_EQ("0.5", ItemText(dlg.m_hWnd, IDC_NEWDEV_X_HI));
    EXPECT_EQ("1016.", ItemText(dlg.m_hWnd, IDC_NEWDEV_X_RES));
    EXPECT_EQ("17.", ItemText(dlg.m_hWnd, IDC_NEWDEV_KMAX));
    EXPECT_EQ("50.", ItemText(dlg.m_hWnd, IDC_NEWDEV_CORNER_DOWN));
    EXPECT_EQ("20000", ItemText(dlg.m_hWnd, IDC_NEWDEV_PCR));
    DeviceParams back = d;
    dlg.UpdateData(TRUE);
    dlg.CopyValuesTo(back);
    EXPECT_DOUBLE_EQ(25.4, back.m_dWorkX);
    EXPECT_DOUBLE_EQ(12.7, back.m_dMaxSpeedX);
    dlg.DestroyWindow();
  }

  // Machine controls: which are on for each type and class.
  d.m_nXYHome = 7;
  const struct {
    int type, cls;
    const char* on;
  } machines[] = {{1, 1, "2D PLASMA on: plasma laser cutter def2d"},
                  {0, 4, "3D LOG on: log def3d pcr axes"},
                  {0, 0, "3D DEF on: log def3d"}};
  for (const auto& m : machines) {
    d.m_nMachineType = m.type;
    d.m_nMachineClass = m.cls;
    CNewDeviceDlg dlg(&d, nullptr);
    ASSERT_TRUE(dlg.Create(PickLangId(IDD_NEW_DEVICE_CN, IDD_NEW_DEVICE_EN)));
    HWND h = dlg.m_hWnd;
    std::string s = Checked(h, IDC_NEWDEV_2D) ? "2D" : Checked(h, IDC_NEWDEV_3D) ? "3D" : "-";
    s += Checked(h, IDC_NEWDEV_PLASMA) ? " PLASMA" : Checked(h, IDC_NEWDEV_LOG) ? " LOG" : " DEF";
    s += " on:";
    const struct {
      int id;
      const char* name;
    } controls[] = {{IDC_NEWDEV_PLASMA, "plasma"},    {IDC_NEWDEV_LASER, "laser"},  {IDC_NEWDEV_CUTTER, "cutter"},
                    {IDC_NEWDEV_DEFAULT_2D, "def2d"}, {IDC_NEWDEV_LOG, "log"},      {IDC_NEWDEV_DEFAULT_3D, "def3d"},
                    {IDC_NEWDEV_PCR, "pcr"},          {IDC_NEWDEV_AROUND_Y, "axes"}};
    for (const auto& c : controls)
      if (Enabled(h, c.id)) s += std::string(" ") + c.name;
    EXPECT_EQ(m.on, s);
    // A corner value outside 1..5 checks no corner button.
    for (int id = IDC_NEWDEV_HOME_LB; id <= IDC_NEWDEV_HOME_CENTER; ++id) EXPECT_FALSE(Checked(h, id));
    dlg.DestroyWindow();
  }
}

}  // namespace
