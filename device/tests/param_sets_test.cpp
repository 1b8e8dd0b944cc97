#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/param_sets.h"
#include "foundation/tests/app_folder_test.h"

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

namespace {

class ParamSets : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    platform::MakeDirectory(Path("Params"));
  }
  CString SetFile(const char* name) { return Path("Params\\") + name; }
  void WriteSet(const char* file, const std::string& body) {
    WriteFileBytes(SetFile(file), "[Defined Parameters]\r\nIdent=Kestrada Defined Parameters\r\n" + body);
  }
};

TEST_F(ParamSets, ModeWords) {
  struct {
    const char* body;
    int mode;
  } cases[] = {{"[Parameters]\r\nMode=cut\r\n", 1},
               {"[Parameters]\r\nMode=  Engrave  \r\n", 2},
               {"[Parameters]\r\nMode=Plasma\r\n", 0},
               {"", 2}};
  for (auto c : cases) {
    WriteSet("M.pam", c.body);
    UserParamSet set;
    set.m_nMode = 99;
    ASSERT_EQ(1, set.Load("M")) << c.body;
    EXPECT_EQ(c.mode, set.m_nMode) << c.body;
  }
}

TEST_F(ParamSets, IdentificationOnlyGivesTheReaderDefaults) {
  WriteSet("Oak.pam", "");
  LoadUserParamSets();
  ASSERT_EQ(1, g_ParamSetTable.m_nCount);
  const UserParamSet& s = g_ParamSetTable.m_records[0];
  EXPECT_STREQ("", s.m_szName);
  EXPECT_DOUBLE_EQ(2.0, s.m_dMaterialHeight);
  EXPECT_DOUBLE_EQ(0.0, s.m_dLiftAboveMaterial);
  EXPECT_DOUBLE_EQ(180, s.m_dFastMove);
  EXPECT_DOUBLE_EQ(80, s.m_dFeed);
  EXPECT_DOUBLE_EQ(30, s.m_dCutIn);
  EXPECT_DOUBLE_EQ(20, s.m_dStart);
  EXPECT_DOUBLE_EQ(320, s.m_dAcceleration);
  EXPECT_DOUBLE_EQ(15000, s.m_dSpindle);
  EXPECT_EQ(0, s.m_nFlipX + s.m_nFlipY + s.m_nFlipZ);
  EXPECT_EQ(1, s.m_nTransType);
}

TEST_F(ParamSets, TableTakesOnlyRealSetFiles) {
  WriteSet("a.pam.pam", "[Parameters]\r\nName=from a.pam.pam\r\n");  // reads Params\a.pam
  WriteSet("a.pam", "[Parameters]\r\nName=A\r\n");
  WriteSet("B.PAM", "[Parameters]\r\nName=B\r\n");  // set name "B.PAM": no such file
  WriteFileBytes(SetFile("Empty.pam"), "");
  WriteFileBytes(SetFile("Foreign.pam"), "[Defined Parameters]\r\nIdent=other\r\n");
  platform::MakeDirectory(SetFile("Dir.pam"));
  LoadUserParamSets();
  int named_a = 0;
  for (int i = 0; i < g_ParamSetTable.m_nCount; ++i) {
    EXPECT_STREQ("A", g_ParamSetTable.m_records[i].m_szName);
    ++named_a;
  }
  EXPECT_EQ(2, named_a);
}

TEST_F(ParamSets, SaveWritesKeysInOrderAndOddModeAsEmpty) {
  UserParamSet set;
  ASSERT_TRUE(set.SetName("Pine"));
  strcpy(set.m_szName, "Pine");
  set.m_nMode = 5;
  set.m_dFeed = 12.5;
  set.m_nFlipY = 1;
  ASSERT_TRUE(set.Save());
  std::string text = ReadFileBytes(SetFile("Pine.pam"));
  const char* order[] = {"Ident=",
                         "Name=Pine",
                         "Mode=\r\n",
                         "MaterialHeight(mm)=0.000",
                         "LiftAboveMaterial(mm)=",
                         "FastMove(mm/s)=",
                         "Feed(mm/s)=12.500",
                         "Cutin(mm/s)=",
                         "Start(mm/s)=",
                         "Acceleration(mm/s)=",
                         "Spindle(rpm)=15000.000",
                         "FlipX=0",
                         "FlipY=1",
                         "FlipZ=0",
                         "TransType=1"};
  size_t at = 0;
  for (const char* key : order) {
    size_t found = text.find(key, at);
    ASSERT_NE(std::string::npos, found) << key;
    at = found;
  }
  UserParamSet back;
  ASSERT_EQ(1, back.Load("Pine"));
  EXPECT_EQ(0, back.m_nMode);
  EXPECT_DOUBLE_EQ(12.5, back.m_dFeed);
}

TEST_F(ParamSets, BackupTwiceKeepsOnlyTheLatest) {
  UserParamSet set;
  set.SetName("Ash");
  strcpy(set.m_szName, "Ash");
  set.m_dFeed = 1;
  set.Save();
  set.MoveToBackup();
  set.m_dFeed = 2;
  set.Save();
  set.MoveToBackup();
  EXPECT_FALSE(FileExists(SetFile("Ash.pam")));
  EXPECT_NE(std::string::npos, ReadFileBytes(SetFile("Ash.pam.bak")).find("Feed(mm/s)=2.000"));
}

// A set's name is its file name cut at ".pam", so a "." is an ordinary character:
// "Oak 2.5mm" is stored as "Oak 2.5mm.pam" and listed back under the same name.
TEST_F(ParamSets, NamesWithADotAreSetSavedAndListed) {
  for (const char* name : {"Oak 2.5mm", "v1.2.3", "x.y", "Pine."}) {
    UserParamSet set;
    ASSERT_TRUE(set.SetName(name)) << name;
    strcpy(set.m_szName, name);
    set.m_dFeed = 7;
    ASSERT_TRUE(set.Save()) << name;
  }
  LoadUserParamSets();
  ASSERT_EQ(4, g_ParamSetTable.m_nCount);
  for (int i = 0; i < g_ParamSetTable.m_nCount; ++i) {
    EXPECT_DOUBLE_EQ(7, g_ParamSetTable.m_records[i].m_dFeed) << g_ParamSetTable.m_records[i].m_szName;
    UserParamSet again;
    EXPECT_EQ(1, again.Load(g_ParamSetTable.m_records[i].m_szName)) << g_ParamSetTable.m_records[i].m_szName;
  }
}

TEST_F(ParamSets, NamesThatWouldLeaveTheFolderOrNotComeBackAreRefused) {
  for (const char* name : {"..\\evil", "a/b", "c:d", "", "a.pam", "x.pam.old", "CON", "lpt1.x"}) {
    UserParamSet set;
    EXPECT_FALSE(set.SetName(name)) << name;
    strcpy(set.m_szName, "evil");
    EXPECT_FALSE(set.Save()) << name;
    EXPECT_EQ(0, set.Load(name)) << name;
  }
  EXPECT_FALSE(FileExists(Path("evil.pam")));
}

TEST(ParamSetRecord, CompareAndAssign) {
  UserParamSet a, b;
  strcpy(a.m_szName, "Walnut");
  a.m_dFeed = 3;
  b = a;
  strcpy(b.m_szName, "WALNUT");
  EXPECT_TRUE(a == b);
  b.m_nRelative = 0;
  EXPECT_FALSE(a == b);
}

}  // namespace
