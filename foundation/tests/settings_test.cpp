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

// A value longer than the read is returned cut, but the file keeps it whole: only a
// missing key is written back.
TEST_F(AppFolderTest, ReadingNeverShortensAStoredValue) {
  const std::string breaks = "0,17,18,19" + std::string(1501, ',');  // 1,511 characters
  const std::string params = "[Optimization]\r\nForceBreak(G-Codes)=" + breaks + "\r\n";
  WriteFileBytes(Path("Parameters.ini"), params);
  EXPECT_EQ(259, GetParamValueListed("Optimization", "ForceBreak(G-Codes)", "0").GetLength());
  EXPECT_EQ(params, ReadFileBytes(Path("Parameters.ini")));
  EXPECT_STREQ("T,S", GetParamValueListed("Optimization", "ForceBreak(G-Words)", "T,S"));
  EXPECT_STREQ("T,S", ProfileGetText("Optimization", "ForceBreak(G-Words)", "", Path("Parameters.ini")));
  EXPECT_NE(std::string::npos, ReadFileBytes(Path("Parameters.ini")).find("ForceBreak(G-Codes)=" + breaks + "\r\n"));

  const std::string huge(10000, 'h');
  WriteFileBytes(Path("x.ini"), "[S]\r\nk=" + huge + "\r\n");
  EXPECT_EQ(8191, ReadIniValue("S", "k", "", Path("x.ini")).GetLength());
  EXPECT_EQ("[S]\r\nk=" + huge + "\r\n", ReadFileBytes(Path("x.ini")));
}

// An editor's UTF-8 mark once hid the first section. It is skipped when reading and
// stays in front when writing.
TEST_F(AppFolderTest, Utf8MarkIsSkippedAndKept) {
  WriteFileBytes(Path("Parameters.ini"), "\xEF\xBB\xBF[Language]\r\nlang=ENGLISH\r\n");
  EXPECT_STREQ("ENGLISH", GetParamValue("Language", "lang", "CHINESE"));
  PutParamValue("Language", "lang", "CHINESE");
  PutParamValue("UnitSystem", "Unit", "METRIC");
  EXPECT_EQ("\xEF\xBB\xBF[Language]\r\nlang=CHINESE\r\n[UnitSystem]\r\nUnit=METRIC\r\n",
            ReadFileBytes(Path("Parameters.ini")));
}

// A "Parameters.ini" saved as UTF-16 once read as all defaults, and the next write
// appended ANSI lines to it. It is read now, never written, and the user is told once.
TEST_F(AppFolderTest, Utf16SettingsAreReadButNeverWritten) {
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("[UnitSystem]\r\nUnit=INCH\r\n")) utf16 += std::string(1, c) + '\0';
  WriteFileBytes(Path("Parameters.ini"), utf16);
  EXPECT_STREQ("INCH", GetParamValue("UnitSystem", "Unit", "METRIC"));
  testing_support::MessageBoxRecorder boxes;
  g_nUiLanguage = 1;
  PutParamValue("UnitSystem", "Unit", "METRIC");
  EXPECT_STREQ("CHINESE", GetParamValueListed("Language", "lang", "CHINESE"));
  WriteIniValue("A", "b", "c", Path("Parameters.ini"));
  EXPECT_EQ(utf16, ReadFileBytes(Path("Parameters.ini")));
  ASSERT_EQ(1u, boxes.Boxes().size());
  EXPECT_NE(std::string::npos, boxes.Boxes()[0].text.find("UTF-16")) << boxes.Boxes()[0].text;
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
