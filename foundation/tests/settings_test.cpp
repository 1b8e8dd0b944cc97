#include <gtest/gtest.h>

#include "foundation/settings.h"
#include "foundation/tests/app_folder_test.h"
#include "platform/testing/test_support.h"

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

TEST(AppFolder, IsTheExecutablesFolderWithBackslashes) {
  CString folder = GetAppFolder();
  ASSERT_FALSE(folder.IsEmpty());
  EXPECT_EQ('\\', folder[folder.GetLength() - 1]);
  EXPECT_EQ(-1, folder.Find('/'));
  CString ini = GetDefaultIniPath();
  ini.Replace('/', '\\');
  EXPECT_EQ(0, ini.Find(folder));
  EXPECT_STREQ("ini", ini.Right(3));
  EXPECT_STREQ("foundation_tests.", ini.Mid(folder.GetLength(), 17));
}

TEST_F(AppFolderTest, ReadIniValueWritesTheDefaultBack) {
  CString ini = m_dir / "x.ini";
  EXPECT_STREQ("7", ReadIniValue("Sec", "Key", "7", ini));
  EXPECT_STREQ("7", ProfileGetText("Sec", "Key", "", ini));
  WriteIniValue("Sec", "Key", "  spaced  ", ini);
  // Returned as read: the profile reader drops the blanks around values.
  EXPECT_STREQ("spaced", ReadIniValue("Sec", "Key", "7", ini));
}

TEST(IniDefaultFile, EmptyFileNameMeansTheExecutablesIni) {
  CString ini = GetDefaultIniPath();
  platform::RemoveFile(ini);
  EXPECT_STREQ("d", ReadIniValue("S", "k", "d", ""));
  EXPECT_TRUE(FileExists(ini));
  WriteIniValue("S", "k", "w", nullptr);
  EXPECT_STREQ("w", ProfileGetText("S", "k", "", ini));
  platform::RemoveFile(ini);
}

TEST_F(AppFolderTest, GetParamValueCutsAndTrims) {
  std::string value = "  " + std::string(298, 'a');
  PutParamValue("S", "long", value.c_str());
  CString got = GetParamValue("S", "long", "");
  // The profile reader drops the leading blanks; 259 of the 298 characters remain.
  EXPECT_EQ(259, got.GetLength());
  PutParamValue("S", "tail", (std::string(258, 'b') + "  c").c_str());
  EXPECT_EQ(258, GetParamValue("S", "tail", "").GetLength());
  EXPECT_STREQ("x", GetParamValue("S", "missing", " x "));
  EXPECT_TRUE(FileExists(m_dir / "Parameters.ini"));
  // GetParamValue never writes.
  EXPECT_STREQ("", ProfileGetText("S", "missing", "", m_dir / "Parameters.ini"));
}

TEST(TextToBoolTest, Table) {
  struct {
    const char* text;
    int expect;
  } cases[] = {{" yes ", 1}, {"Enable", 1}, {"ok", 1},      {"2", 1},   {"1abc", 1}, {"\xCA\xC7", 1},
               {"TRUE", 1},  {"+5", 1},     {"disable", 0}, {"0", 0},   {"-3", 0},   {"NO", 0},
               {"0x10", 0},  {"", 0},       {"false", 0},   {"yess", 0}};
  for (auto& c : cases) EXPECT_EQ(c.expect, TextToBool(c.text)) << "[" << c.text << "]";
}

TEST(TrimTrailingZerosTest, Table) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {{"0.50", "0.5"}, {"7.000", "7."}, {"100", "100"}, {"1.5.0", "1.5."}, {"", ""}, {"0.0", "0."}};
  for (auto& c : cases) {
    CString s(c.in);
    TrimTrailingZeros(s);
    EXPECT_STREQ(c.out, s) << c.in;
    char buf[16];
    strcpy(buf, c.in);
    TrimTrailingZerosBuf(buf);
    EXPECT_STREQ(c.out, buf) << c.in;
  }
}

TEST_F(AppFolderTest, CreateFolderPathMakesEveryFolderButTheFileName) {
  CreateFolderPath(m_dir / "A\\B\\file.txt");
  EXPECT_TRUE(platform::IsDirectoryPath(m_dir / "A"));
  EXPECT_TRUE(platform::IsDirectoryPath(m_dir / "A\\B"));
  EXPECT_FALSE(FileExists(m_dir / "A\\B\\file.txt"));
  CString fwd = m_dir / "C/D/";
  CreateFolderPath(fwd);
  EXPECT_TRUE(platform::IsDirectoryPath(m_dir / "C\\D"));
  // Existing folders are no error.
  CreateFolderPath(m_dir / "A\\B\\E\\");
  EXPECT_TRUE(platform::IsDirectoryPath(m_dir / "A\\B\\E"));
}

TEST_F(AppFolderTest, DeleteFolderTree) {
  EXPECT_EQ(0, DeleteFolderTree(m_dir / "nothing", FALSE, TRUE));
  CreateFolderPath(m_dir / "T\\sub\\deeper\\");
  WriteFileBytes(m_dir / "T\\a.txt", "a");
  WriteFileBytes(m_dir / "T\\sub\\b.txt", "b");
  WriteFileBytes(m_dir / "T\\sub\\deeper\\c.txt", "c");
  // Keep files: subfolders holding files cannot go, files stay.
  EXPECT_EQ(1, DeleteFolderTree(m_dir / "T", TRUE, FALSE));
  EXPECT_TRUE(FileExists(m_dir / "T\\sub\\deeper\\c.txt"));
  EXPECT_EQ(1, DeleteFolderTree(m_dir / "T/", FALSE, TRUE));
  EXPECT_FALSE(FileExists(m_dir / "T"));
}

TEST(TicksTest, DifferenceAcrossTheWrap) {
  EXPECT_EQ(0u, GetTicksBetween(0, 12345));
  EXPECT_EQ(100u, GetTicksBetween(1000, 1100));
  EXPECT_EQ(271u, GetTicksBetween(0xFFFFFFFFu - 255, 16));
  EXPECT_EQ(0u, GetTicksSince(0));
  EXPECT_LT(GetTicksSince(GetTickCount() - 5), 1000u);
}

TEST(BlankTrimTest, SpacesOnly) {
  char buf[] = "  \tx  ";
  TrimRightBlanks(buf);
  EXPECT_STREQ("  \tx", buf);
  TrimLeftBlanks(buf);
  EXPECT_STREQ("\tx", buf);
}

}  // namespace
