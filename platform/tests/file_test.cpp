#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file.h"
#include "platform/testing/test_support.h"

using testing_support::TempDir;

namespace {

TEST(CFileTest, WriteReadSeekLength) {
  TempDir dir;
  CString path = dir / "data.bin";
  {
    CFile f;
    ASSERT_TRUE(f.Open(path, CFile::modeCreate | CFile::modeReadWrite | CFile::typeBinary));
    f.Write("0123456789", 10);
    EXPECT_EQ(10u, f.GetLength());
    f.Seek(2, CFile::begin);
    char buf[4] = {0};
    EXPECT_EQ(3u, f.Read(buf, 3));
    EXPECT_STREQ("234", buf);
    EXPECT_EQ(5u, f.GetPosition());
    f.SetLength(4);
    EXPECT_EQ(4u, f.GetLength());
    EXPECT_EQ(4u, f.SeekToEnd());
  }
  EXPECT_EQ("0123", testing_support::ReadFileBytes(path));
}

TEST(CFileTest, OpenFailureReportsCause) {
  TempDir dir;
  CFile f;
  CFileException e;
  EXPECT_FALSE(f.Open(dir / "missing.txt", CFile::modeRead, &e));
  EXPECT_EQ(CFileException::fileNotFound, e.m_cause);
  EXPECT_FALSE(f.Open(dir / "no\\such\\folder.txt", CFile::modeCreate | CFile::modeWrite, &e));
  EXPECT_NE(CFileException::none, e.m_cause);
  EXPECT_THROW(CFile(dir / "missing.txt", CFile::modeRead), CFileException);
}

TEST(CFileTest, NoTruncateKeepsContent) {
  TempDir dir;
  CString path = dir / "keep.txt";
  ASSERT_TRUE(testing_support::WriteFileBytes(path, "abc"));
  CFile f;
  ASSERT_TRUE(f.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite));
  f.SeekToEnd();
  f.Write("d", 1);
  f.Close();
  EXPECT_EQ("abcd", testing_support::ReadFileBytes(path));
}

TEST(CStdioFileTest, LinesInBothLineEndings) {
  TempDir dir;
  CString path = dir / "lines.txt";
  ASSERT_TRUE(testing_support::WriteFileBytes(path, "one\r\ntwo\nthree\r\n\nlast"));
  CStdioFile f;
  ASSERT_TRUE(f.Open(path, CFile::modeRead | CFile::typeText));
  CString line;
  std::vector<std::string> got;
  while (f.ReadString(line)) got.push_back(line.GetString());
  EXPECT_EQ((std::vector<std::string>{"one", "two", "three", "", "last"}), got);
}

TEST(CStdioFileTest, TextModeWritesCrLf) {
  TempDir dir;
  CString path = dir / "out.txt";
  {
    CStdioFile f;
    ASSERT_TRUE(f.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::typeText));
    f.WriteString("a\nb\n");
  }
  EXPECT_EQ("a\r\nb\r\n", testing_support::ReadFileBytes(path));
}

TEST(CStdioFileTest, PositionAfterBufferedRead) {
  TempDir dir;
  CString path = dir / "pos.txt";
  ASSERT_TRUE(testing_support::WriteFileBytes(path, "ab\ncd\nef\n"));
  CStdioFile f;
  ASSERT_TRUE(f.Open(path, CFile::modeRead | CFile::typeBinary));
  CString line;
  ASSERT_TRUE(f.ReadString(line));
  EXPECT_EQ(3u, f.GetPosition());
  char c = 0;
  EXPECT_EQ(1u, f.Read(&c, 1));
  EXPECT_EQ('c', c);
  f.Seek(0, CFile::begin);
  ASSERT_TRUE(f.ReadString(line));
  EXPECT_STREQ("ab", line);
}

TEST(CFileFindTest, ListsByPatternCaseInsensitively) {
  TempDir dir;
  testing_support::WriteFileBytes(dir / "a.pam", "1");
  testing_support::WriteFileBytes(dir / "B.PAM", "22");
  testing_support::WriteFileBytes(dir / "c.txt", "3");
  platform::MakeDirectory(dir / "sub");
  CFileFind f;
  std::vector<std::string> names;
  BOOL more = f.FindFile(dir / "*.pam");
  while (more) {
    more = f.FindNextFile();
    names.push_back(f.GetFileName().GetString());
    EXPECT_EQ(dir.Path() + f.GetFileName(), f.GetFilePath());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::string>{"B.PAM", "a.pam"}), names);

  int dirs = 0, dots = 0, files = 0;
  more = f.FindFile(dir / "*.*");
  while (more) {
    more = f.FindNextFile();
    if (f.IsDots())
      ++dots;
    else if (f.IsDirectory())
      ++dirs;
    else
      ++files;
  }
  EXPECT_EQ(2, dots);
  EXPECT_EQ(1, dirs);
  EXPECT_EQ(3, files);
  EXPECT_FALSE(f.FindFile(dir / "*.none"));
}

TEST(FileOpsTest, AppendCreatesAndAppends) {
  TempDir dir;
  CString path = dir / "log.txt";
  EXPECT_TRUE(platform::AppendToFile(path, "a", 1));
  EXPECT_TRUE(platform::AppendToFile(path, "bc", 2));
  EXPECT_EQ("abc", testing_support::ReadFileBytes(path));
  EXPECT_FALSE(platform::AppendToFile(dir / "nofolder\\x.txt", "a", 1));
}

}  // namespace
