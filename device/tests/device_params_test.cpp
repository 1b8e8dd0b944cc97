#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/device_params.h"
#include "device/device_text.h"
#include "foundation/tests/app_folder_test.h"

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

namespace {

class DeviceFiles : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    platform::MakeDirectory(Path("Devices"));
  }
  CString DeviceFile(const char* name) { return Path("Devices\\") + name + ".pam"; }
  void WriteDevice(const char* name, const std::string& body) {
    WriteFileBytes(DeviceFile(name), "[File]\r\nID=Parameters for Kestrada Carver\r\n" + body);
  }
};

// Keys of a file written from scratch, in the order they stand.
std::string KeyOrder(const std::string& text) {
  std::string keys;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    size_t eq = line.find('=');
    keys += (line[0] == '[') ? line : line.substr(0, eq);
    keys += ";";
    at = end + 2;
  }
  return keys;
}

TEST_F(DeviceFiles, NewFileListsEveryKeyInFileOrderWithItsFormat) {
  DeviceParams d;
  d.ResetForName("Router");
  strcpy(d.m_szName, "Router");
  d.m_dResX = 1016;
  d.m_dParamN = 2.6;
  d.m_nMachineClass = 2;
  d.m_nXYHome = 5;
  ASSERT_TRUE(d.Save());
  std::string text = ReadFileBytes(DeviceFile("Router"));
  // Keys written later into an existing section join that section.
  EXPECT_EQ(
      "[File];ID;[Device];Name;ControllerModel;Description;InitialString;EndString;CommandSet;XYHome;ZDir;"
      "ArcSupport;Spindles;2D_3D_type;Model(Plasma/Laser/Cutter/LogEngraver/Other);[Dimension(mm)];X;Y;Z;"
      "[Resolution(StepsPerInch)];X;Y;Z;[RatedSpeed(mm/s)];MinX;MinY;MinZ;MaxX;MaxY;MaxZ;MinXYStart;"
      "MaxXYStart;MinZStart;MaxZStart;LoForContinue;[SpeedCurve];Coeff;MinK;KRThreshold(mm);[Acceleration];"
      "Min;Max;ParamN;CornerSpeed;CornerUP;[LogEngraving];RotateAxis;PCR;",
      KeyOrder(text));
  EXPECT_NE(std::string::npos, text.find("X=1016.00000000\r\n"));  // resolutions: eight decimals
  EXPECT_NE(std::string::npos, text.find("ParamN=3\r\n"));
  EXPECT_NE(std::string::npos, text.find("XYHome=Center\r\n"));
  EXPECT_NE(std::string::npos, text.find("Model(Plasma/Laser/Cutter/LogEngraver/Other)=Laser\r\n"));
  EXPECT_NE(std::string::npos, text.find("PCR=20000.000\r\n"));

  DeviceParams back;
  ASSERT_TRUE(back.Load("Router"));
  EXPECT_TRUE(back == d);  // ParamN is not compared
  EXPECT_DOUBLE_EQ(2.6, d.m_dParamN);
  EXPECT_DOUBLE_EQ(3.0, back.m_dParamN);
}

TEST_F(DeviceFiles, ReadDefaultsAndConversions) {
  WriteDevice("Mill",
              "[Device]\r\nName=Mill\r\nCommandSet= hpgl \r\nXYHome=lb\r\nZDir=down\r\n"
              "2D_3D_type= 2d\r\nModel(Plasma/Laser/Cutter/LogEngraver/Other)=logengraver\r\n"
              "[Acceleration]\r\nParamN=0\r\n[Dimension(mm)]\r\nX=12abc\r\nY=abc\r\n"
              "[LogEngraving]\r\nRotateAxis=y\r\n");
  DeviceParams d;
  d.m_nXYHome = 4;  // an unknown corner word leaves the field as it was
  ASSERT_TRUE(d.Load("Mill"));
  EXPECT_EQ(1, d.m_nCommandSet);
  EXPECT_EQ(4, d.m_nXYHome);
  EXPECT_EQ(0, d.m_nZDir);
  EXPECT_EQ(1, d.m_nMachineType);
  EXPECT_EQ(4, d.m_nMachineClass);
  EXPECT_EQ(1, d.m_nRotaryAxis);
  EXPECT_DOUBLE_EQ(1.0, d.m_dParamN);
  EXPECT_DOUBLE_EQ(12.0, d.m_dWorkX);
  EXPECT_DOUBLE_EQ(0.0, d.m_dWorkY);
  EXPECT_STREQ("V5", d.m_szControllerModel);
  EXPECT_STREQ("IN;ZZ2;SP1", d.m_szInitialString);
  EXPECT_DOUBLE_EQ(1016.0, d.m_dResZ);
  EXPECT_DOUBLE_EQ(160.0, d.m_dMaxSpeedY);
  EXPECT_DOUBLE_EQ(50.0, d.m_dMaxSpeedZ);
  EXPECT_DOUBLE_EQ(640.0, d.m_dMaxAccel);
  EXPECT_EQ(1, d.m_nSpindles);
  EXPECT_DOUBLE_EQ(20000.0, d.m_dPcr);
}

TEST_F(DeviceFiles, IdentificationMustMatchExactly) {
  WriteFileBytes(DeviceFile("Odd"), "[File]\r\nID=parameters for kestrada carver\r\n");
  DeviceParams d;
  EXPECT_FALSE(d.Load("Odd"));
  EXPECT_FALSE(d.Load("Missing"));
}

TEST_F(DeviceFiles, FileWithoutNameIsLoadedUnderItsFileNameAndRewritten) {
  WriteDevice("Plasma1", "");
  DeviceParams d;
  ASSERT_TRUE(d.Load("Plasma1"));
  EXPECT_STREQ("Plasma1", d.m_szName);
  std::string text = ReadFileBytes(DeviceFile("Plasma1"));
  EXPECT_NE(std::string::npos, text.find("Name=Plasma1\r\n"));
  EXPECT_NE(std::string::npos, text.find("PCR=20000.000\r\n"));
}

TEST_F(DeviceFiles, ExistingFileKeepsItsKeyOrderAndSkippedKeys) {
  WriteDevice("Keep", "[LogEngraving]\r\nPCR=5\r\n[Device]\r\nName=Keep\r\nXYHome=Somewhere\r\n");
  DeviceParams d;
  ASSERT_TRUE(d.Load("Keep"));
  d.m_nXYHome = 9;  // not a corner: nothing is written for it
  d.Save();
  std::string text = ReadFileBytes(DeviceFile("Keep"));
  EXPECT_LT(text.find("PCR=5.000"), text.find("[Device]"));
  EXPECT_NE(std::string::npos, text.find("XYHome=Somewhere\r\n"));
}

TEST_F(DeviceFiles, TableSkipsEmptyFilesFoldersAndForeignFiles) {
  WriteDevice("A", "[Device]\r\nName=A\r\n");
  WriteDevice("B", "[Device]\r\nName=B\r\n");
  WriteFileBytes(DeviceFile("Empty"), "");
  WriteFileBytes(DeviceFile("Foreign"), "[File]\r\nID=x\r\n");
  platform::MakeDirectory(Path("Devices\\Folder.pam"));
  WriteFileBytes(Path("Devices\\A.old.pam"), "[File]\r\nID=Parameters for Kestrada Carver\r\n");
  LoadDeviceTable();
  // "A.old.pam" reads the file of "A" again.
  EXPECT_EQ(3, g_DeviceTable.m_nCount);
  EXPECT_TRUE(IsDeviceKnown("b@NET:ctrl:1.2.3.4:7878:0.0.0.0:0"));
  EXPECT_TRUE(IsDeviceKnown("A"));
  EXPECT_FALSE(IsDeviceKnown("Empty"));
  EXPECT_FALSE(IsDeviceKnown("Folder"));
  DeviceParams found;
  found.m_dPcr = -1;
  EXPECT_TRUE(FindDevice("a", &found));
  EXPECT_STREQ("A", found.m_szName);
  DeviceParams untouched;
  untouched.m_dPcr = -1;
  EXPECT_FALSE(FindDevice("C", &untouched));
  EXPECT_DOUBLE_EQ(-1, untouched.m_dPcr);
}

TEST_F(DeviceFiles, NoValueLeaksFromOneDeviceIntoTheNext) {
  // Table entries are reused by every load: a file with an unknown code set must not
  // inherit the code set of whatever device the entry held before.
  WriteDevice("H", "[Device]\r\nName=H\r\nCommandSet=HPGL\r\nXYHome=RT\r\n");
  LoadDeviceTable();
  ASSERT_EQ(1, g_DeviceTable.m_nCount);
  EXPECT_EQ(1, g_DeviceTable.m_records[0].m_nCommandSet);
  platform::RemoveFile(DeviceFile("H"));
  WriteDevice("Q", "[Device]\r\nName=Q\r\nCommandSet=Klingon\r\nXYHome=nowhere\r\n");
  LoadDeviceTable();
  ASSERT_EQ(1, g_DeviceTable.m_nCount);
  EXPECT_STREQ("Q", g_DeviceTable.m_records[0].m_szName);
  EXPECT_EQ(0, g_DeviceTable.m_records[0].m_nCommandSet);
  EXPECT_EQ(1, g_DeviceTable.m_records[0].m_nXYHome);
}

TEST_F(DeviceFiles, TableHoldsAtMostItsSize) {
  for (int i = 0; i < kDeviceTableSize + 3; ++i) {
    CString name;
    name.Format("D%03d", i);
    WriteDevice(name, "[Device]\r\nName=" + std::string(name) + "\r\n");
  }
  LoadDeviceTable();
  EXPECT_EQ(kDeviceTableSize, g_DeviceTable.m_nCount);
}

TEST_F(DeviceFiles, NamesThatWouldLeaveTheFolderAreRefused) {
  struct Case {
    const char* name;
    bool ok;
  } cases[] = {{"Router 2", true}, {"雕刻机", true}, {"", false},     {"..", false},  {"a.b", false},
               {"..\\x", false},   {"a/b", false},   {"C:x", false},  {"a*", false},  {"a|b", false},
               {"CON", false},     {"com3", false},  {"COM10", true}, {"Nul ", false}};
  for (const Case& c : cases) {
    CString error;
    EXPECT_EQ(c.ok, CheckFileBaseName(c.name, kDeviceNameCut, &error) != 0) << c.name;
    EXPECT_EQ(c.ok, error.IsEmpty()) << c.name;
    DeviceParams d;
    d.ResetForName(c.name);
    device_text::CopyField(d.m_szName, sizeof(d.m_szName), c.name);
    EXPECT_EQ(c.ok, d.Save() != 0) << c.name;
  }
  EXPECT_FALSE(FileExists(Path("x.pam")));
  EXPECT_FALSE(FileExists(Path("b.pam")));
  DeviceParams d;
  EXPECT_FALSE(d.Load("..\\Devices\\Router 2"));
}

// "Z.pam" is a copy of "B.pam" made to clone a machine, so it still says Name=B. The
// file's own name is the identity: Z is loaded as Z, and saving the table leaves B's file
// (and its description) alone.
TEST_F(DeviceFiles, CopiedFileNeverWritesIntoAnotherDevicesFile) {
  WriteDevice("B", "[Device]\r\nName=B\r\nDescription=the real B\r\n");
  WriteDevice("Z", "[Device]\r\nName=B\r\nDescription=\r\nControllerModel=Z5\r\n");
  LoadDeviceTable();
  ASSERT_EQ(2, g_DeviceTable.m_nCount);
  DeviceParams z;
  ASSERT_TRUE(FindDevice("Z", &z));
  EXPECT_STREQ("Z5", z.m_szControllerModel);
  DeviceParams b;
  ASSERT_TRUE(FindDevice("B", &b));
  EXPECT_STREQ("the real B", b.m_szDescription);
  SaveDeviceTable();
  EXPECT_NE(std::string::npos, ReadFileBytes(DeviceFile("B")).find("Description=the real B\r\n"));
  EXPECT_EQ(std::string::npos, ReadFileBytes(DeviceFile("B")).find("Z5"));
  EXPECT_NE(std::string::npos, ReadFileBytes(DeviceFile("Z")).find("Name=Z\r\n"));
}

// A device file that cannot be written is reported, never taken as saved: the folder
// gone, or the file made read-only.
TEST_F(DeviceFiles, SaveReportsAFileItCannotWrite) {
  DeviceParams d;
  d.ResetForName("Router");
  strcpy(d.m_szName, "Router");
  ASSERT_TRUE(d.Save());
  g_DeviceTable.m_nCount = 1;
  g_DeviceTable.m_records[0] = d;
  CString failed;
  EXPECT_TRUE(SaveDeviceTable(&failed));
  EXPECT_STREQ("", failed);

  // A changed value must reach the file (writing what it already holds changes nothing).
  d.m_dWorkX = 1200;
  g_DeviceTable.m_records[0] = d;
  testing_support::SetReadOnly(DeviceFile("Router"), true);
  EXPECT_FALSE(d.Save());
  EXPECT_FALSE(SaveDeviceTable(&failed));
  EXPECT_STREQ("Router", failed);
  testing_support::SetReadOnly(DeviceFile("Router"), false);

  ASSERT_TRUE(platform::RemoveFile(DeviceFile("Router")));
  ASSERT_TRUE(platform::RemoveFolder(Path("Devices")));
  EXPECT_FALSE(d.Save());
  EXPECT_FALSE(FileExists(DeviceFile("Router")));
  g_DeviceTable.m_nCount = 0;
}

TEST_F(DeviceFiles, BackupReplacesAnOlderOne) {
  WriteDevice("Old", "[Device]\r\nName=Old\r\n");
  WriteFileBytes(DeviceFile("Old") + ".bak", "stale");
  DeviceParams d;
  ASSERT_TRUE(d.Load("Old"));
  d.MoveToBackup();
  EXPECT_FALSE(FileExists(DeviceFile("Old")));
  EXPECT_NE(std::string::npos, ReadFileBytes(DeviceFile("Old") + ".bak").find("Name=Old"));
  // Nothing left to move: the platform's error reaches the caller.
  EXPECT_THROW(d.MoveToBackup(), CFileException);
}

TEST(DeviceParamsRecord, LongValuesAreCutToTheirFields) {
  DeviceParams d;
  std::string longText(400, 'x');
  device_text::CopyField(d.m_szControllerModel, sizeof(d.m_szControllerModel), longText.c_str());
  EXPECT_EQ(79u, strlen(d.m_szControllerModel));
  // A double-byte character is never split.
  std::string gb = std::string(78, 'a') + "\xB5\xF1";
  device_text::CopyField(d.m_szControllerModel, sizeof(d.m_szControllerModel), gb.c_str());
  EXPECT_EQ(78u, strlen(d.m_szControllerModel));
}

TEST(DeviceParamsRecord, SpeedCurveFactor) {
  DeviceParams d;
  d.m_dCoeff = 17;
  d.m_dMinK = 2;
  d.m_dKRThreshold = 20;
  struct {
    double radius, k;
  } cases[] = {{10, 9.5}, {25, 17}, {20, 17}, {0, 2}, {-5, 2}};
  for (auto c : cases) EXPECT_DOUBLE_EQ(c.k, d.GetSpeedCurveK(c.radius)) << c.radius;
}

TEST_F(DeviceFiles, IniListSplitsAtColonsAndCommas) {
  WriteDevice("L", "[X]\r\nA=  a: b,c ,  d\r\nB=one\r\nC=\r\n");
  DeviceParams d;
  ASSERT_TRUE(d.Load("L"));
  CStringArray list;
  d.GetIniList("X", "A", "", list);
  ASSERT_EQ(4, list.GetSize());
  EXPECT_STREQ("a", list[0]);
  EXPECT_STREQ("b", list[1]);
  EXPECT_STREQ("c ", list[2]);
  EXPECT_STREQ("d", list[3]);
  d.GetIniList("X", "B", "", list);
  EXPECT_EQ(1, list.GetSize());
  d.GetIniList("X", "C", "", list);
  EXPECT_EQ(0, list.GetSize());
}

TEST(DeviceText, NumbersReadLikeTheCLibraryDecimalRules) {
  struct {
    const char* text;
    double d;
    int32_t l;
  } cases[] = {{"  12.5xyz", 12.5, 12},
               {"-3", -3, -3},
               {"abc", 0, 0},
               {".5", 0.5, 0},
               {"1e3", 1000, 1},
               {"0x10", 0, 0},
               {"inf", 0, 0},
               {"+7", 7, 7},
               {"4294967291", 4294967291.0, -5},
               {"1e", 1, 1},
               {"", 0, 0}};
  for (auto c : cases) {
    EXPECT_DOUBLE_EQ(c.d, device_text::ToDouble(c.text)) << c.text;
    EXPECT_EQ(c.l, device_text::ToLong(c.text)) << c.text;
  }
}

}  // namespace
