#include <gtest/gtest.h>

#include <thread>

#include "foundation/log.h"
#include "foundation/settings.h"
#include "platform/testing/test_support.h"

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

namespace {

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_saved = g_strAppFolder;
    g_strAppFolder = m_dir.Path();
    ResetLogSwitchForTests();
  }
  void TearDown() override {
    g_strAppFolder = m_saved;
    ResetLogSwitchForTests();
    g_bErrorLog = 0;
  }
  void Settings(const char* logFile, const char* logList) {
    PutParamValue("System", "LogFile", logFile);
    PutParamValue("System", "LogList", logList);
  }
  CString LogPath(const char* name) {
    return m_dir.Path() + CTime::GetCurrentTime().Format("%Y%m%d") + "-" + name + ".log";
  }
  TempDir m_dir;
  CString m_saved;
};

TEST_F(LogTest, FirstCallListsTheSwitchesAndLogsNothing) {
  WriteLog("frames", "hello");
  EXPECT_STREQ("0", ProfileGetText("System", "LogFile", "x", m_dir / "Parameters.ini"));
  EXPECT_STREQ("", ProfileGetText("System", "LogList", "x", m_dir / "Parameters.ini"));
  EXPECT_FALSE(FileExists(LogPath("frames")));
}

TEST_F(LogTest, SwitchWords) {
  struct {
    const char* value;
    bool on;
  } cases[] = {{"TRUE", false}, {"ok", false}, {"1", true}, {"yes", true}, {"Enable", true}, {"\xCA\xC7", true}};
  for (auto& c : cases) {
    ResetLogSwitchForTests();
    platform::RemoveFile(LogPath("frames"));
    Settings(c.value, "frames");
    WriteLog("frames", "x");
    EXPECT_EQ(c.on, FileExists(LogPath("frames"))) << c.value;
  }
}

TEST_F(LogTest, ListIsASubstringMatchAfterLowerCasing) {
  Settings("1", "Frames,Output");
  WriteLog("frames", "a");
  WriteLog("FRAMES", "b");
  WriteLog("frame", "c");
  WriteLog("rom", "d");
  EXPECT_TRUE(FileExists(LogPath("frames")));
  EXPECT_TRUE(FileExists(LogPath("FRAMES")));  // same file on Windows, another on the host
  EXPECT_TRUE(FileExists(LogPath("frame")));
  EXPECT_FALSE(FileExists(LogPath("rom")));
  // The same answer without writing.
  EXPECT_TRUE(IsLogOn("FRAMES"));
  EXPECT_FALSE(IsLogOn("rom"));
  EXPECT_TRUE(IsLogOn("C:\\logs\\x.log"));
}

TEST_F(LogTest, SwitchIsReadOncePerProcess) {
  Settings("1", "sys");
  WriteLog("sys", "a");
  Settings("0", "");
  WriteLog("sys", "b");
  std::string content = ReadFileBytes(LogPath("sys"));
  EXPECT_NE(std::string::npos, content.find(": a\r\n"));
  EXPECT_NE(std::string::npos, content.find(": b\r\n"));
}

TEST_F(LogTest, LineFormats) {
  Settings("1", "sys");
  WriteLog("sys", "\r\n");
  WriteLog("sys", "plain", TRUE);
  WriteLog("sys", "timed");
  std::string content = ReadFileBytes(LogPath("sys"));
  ASSERT_GE(content.size(), 9u);
  EXPECT_EQ("\r\nplain\r\n", content.substr(0, 9));
  std::string timed = content.substr(9);
  ASSERT_EQ(17u, timed.size());  // "HH:MM:SS: timed\r\n"
  EXPECT_EQ(':', timed[2]);
  EXPECT_EQ(':', timed[5]);
  EXPECT_EQ(": timed\r\n", timed.substr(8));
}

TEST_F(LogTest, PathNamesAreAlwaysWrittenAndFoldersCreated) {
  CString path = m_dir / "x\\y\\trace.txt";
  WriteLog(path, "line", TRUE);
  EXPECT_EQ("line\r\n", ReadFileBytes(path));
}

TEST_F(LogTest, ConcurrentWritersKeepEveryLine) {
  Settings("1", "sys");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 50; ++i) WriteLog("sys", "0123456789", TRUE);
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(200u * 12u, ReadFileBytes(LogPath("sys")).size());
}

TEST_F(LogTest, ErrorLogOnlyWhenSwitchedOn) {
  CString path = m_dir.Path() + CTime::GetCurrentTime().Format("%Y%m%d") + "-err.log";
  WriteErrorLog("op", "file", "text");
  EXPECT_FALSE(FileExists(path));
  g_bErrorLog = 1;
  WriteErrorLog("op", "file", "text");
  std::string content = ReadFileBytes(path);
  ASSERT_EQ(19u + 19u, content.size()) << content;
  EXPECT_EQ(" [op][file][text]\r\n", content.substr(19));
  g_bErrorLog = 1;
  WriteErrorLog(std::string(5000, 'z').c_str(), "", "");
  EXPECT_EQ(38u + 2047u, ReadFileBytes(path).size());
}

}  // namespace
