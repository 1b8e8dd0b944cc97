#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/profile.h"
#include "platform/testing/test_support.h"

using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

CString Get(const char* sec, const char* key, const char* file, const char* def = "dflt") {
  return ProfileGetText(sec, key, def, file);
}

TEST(ProfileTest, MissingFileSectionKeyGiveDefault) {
  TempDir dir;
  CString ini = dir / "p.ini";
  EXPECT_STREQ("dflt", Get("S", "k", ini));
  WriteFileBytes(ini, "[S]\r\nk=v\r\n");
  EXPECT_STREQ("dflt", Get("T", "k", ini));
  EXPECT_STREQ("dflt", Get("S", "x", ini));
  EXPECT_STREQ("v", Get("S", "k", ini));
  // The platform trims trailing blanks of the default.
  EXPECT_STREQ("  d", Get("S", "x", ini, "  d  "));
}

TEST(ProfileTest, NamesMatchWithoutCaseAndBlanksAreIgnored) {
  TempDir dir;
  CString ini = dir / "p.ini";
  WriteFileBytes(ini, "  [ Communication ]  \r\n  Port =  COM1:9600  \r\nq=\"quoted value\"\r\nh='x'\r\n");
  EXPECT_STREQ("COM1:9600", Get("communication", "PORT", ini));
  EXPECT_STREQ("quoted value", Get("COMMUNICATION", "q", ini));
  EXPECT_STREQ("x", Get("Communication", "H", ini));
}

TEST(ProfileTest, ReadsTolerateGarbageAndLineEndings) {
  struct Case {
    const char* content;
    const char* key;
    const char* expect;
  } cases[] = {
      {"[S]\nk=lf\n", "k", "lf"},
      {"[S]\r\nk=crlf\r\n", "k", "crlf"},
      {"[S]\rk=cr\r", "k", "cr"},
      {"[S]\r\nk=last", "k", "last"},
      {"garbage\r\n\x01\x02\xff\r\n[S]\r\nnoequals\r\nk=v\r\n", "k", "v"},
      {"[S]\r\nnoequals\r\n", "noequals", "dflt"},
      {"k=outside\r\n[S]\r\n", "k", "dflt"},
      {"[S\r\nk=unclosed\r\n", "k", "unclosed"},
      {"[S]\r\n=novalue\r\nk=\r\n", "k", ""},
      {"[S]\r\nk=first\r\nk=second\r\n", "k", "first"},
      {"", "k", "dflt"},
  };
  TempDir dir;
  CString ini = dir / "p.ini";
  for (const Case& c : cases) {
    WriteFileBytes(ini, c.content);
    EXPECT_STREQ(c.expect, Get("S", c.key, ini)) << c.content;
  }
}

TEST(ProfileTest, LongValuesAreCutToTheBuffer) {
  TempDir dir;
  CString ini = dir / "p.ini";
  std::string big(100000, 'v');
  ASSERT_TRUE(ProfileWriteString("S", "big", big.c_str(), ini));
  EXPECT_EQ(99999, ProfileGetText("S", "big", "", ini, 100000).GetLength());
  EXPECT_EQ(259, ProfileGetText("S", "big", "", ini, 260).GetLength());
  char small[4];
  EXPECT_EQ(3u, ProfileGetString("S", "big", "", small, sizeof small, ini));
  EXPECT_STREQ("vvv", small);
}

TEST(ProfileTest, WriteKeepsEveryOtherLineByteForByte) {
  TempDir dir;
  CString ini = dir / "p.ini";
  const std::string before = "; comment\n[A]\r\nx = 1\r\nnoequals\r\n\r\n[B]\ny=2\n\xb0\xa1=gb\n";
  WriteFileBytes(ini, before);
  ASSERT_TRUE(ProfileWriteString("a", "X", "10", ini));
  EXPECT_EQ("; comment\n[A]\r\nX=10\r\nnoequals\r\n\r\n[B]\ny=2\n\xb0\xa1=gb\n", ReadFileBytes(ini));
  ASSERT_TRUE(ProfileWriteString("A", "z", "new", ini));
  EXPECT_EQ("; comment\n[A]\r\nX=10\r\nnoequals\r\nz=new\r\n\r\n[B]\ny=2\n\xb0\xa1=gb\n", ReadFileBytes(ini));
  ASSERT_TRUE(ProfileWriteString("C", "w", "3", ini));
  EXPECT_EQ("; comment\n[A]\r\nX=10\r\nnoequals\r\nz=new\r\n\r\n[B]\ny=2\n\xb0\xa1=gb\n[C]\r\nw=3\r\n",
            ReadFileBytes(ini));
  EXPECT_STREQ("gb", Get("B", "\xb0\xa1", ini));
}

TEST(ProfileTest, WriteAfterLastLineWithoutNewline) {
  TempDir dir;
  CString ini = dir / "p.ini";
  WriteFileBytes(ini, "[A]\r\nx=1");
  ASSERT_TRUE(ProfileWriteString("A", "y", "2", ini));
  EXPECT_EQ("[A]\r\nx=1\r\ny=2\r\n", ReadFileBytes(ini));
  WriteFileBytes(ini, "[A]\r\nx=1");
  ASSERT_TRUE(ProfileWriteString("B", "y", "2", ini));
  EXPECT_EQ("[A]\r\nx=1\r\n[B]\r\ny=2\r\n", ReadFileBytes(ini));
}

TEST(ProfileTest, DeleteKeyAndSection) {
  TempDir dir;
  CString ini = dir / "p.ini";
  WriteFileBytes(ini, "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
  ASSERT_TRUE(ProfileWriteString("A", "x", nullptr, ini));
  EXPECT_EQ("[A]\r\ny=2\r\n[B]\r\nz=3\r\n", ReadFileBytes(ini));
  ASSERT_TRUE(ProfileWriteString("a", nullptr, nullptr, ini));
  EXPECT_EQ("[B]\r\nz=3\r\n", ReadFileBytes(ini));
}

TEST(ProfileTest, SectionWriteAndLists) {
  TempDir dir;
  CString ini = dir / "p.ini";
  WriteFileBytes(ini, "[P]\r\nold=1\r\n\r\n[Q]\r\nk=v\r\n");
  ASSERT_TRUE(ProfileWriteSection("P",
                                  "0x01=a\0"
                                  "0x02=b\0",
                                  ini));
  EXPECT_EQ("[P]\r\n0x01=a\r\n0x02=b\r\n\r\n[Q]\r\nk=v\r\n", ReadFileBytes(ini));
  char buf[64];
  DWORD n = ProfileGetSection("p", buf, sizeof buf, ini);
  EXPECT_EQ(std::string("0x01=a\0"
                        "0x02=b\0",
                        14),
            std::string(buf, n));
  n = ProfileGetString(nullptr, nullptr, "", buf, sizeof buf, ini);
  EXPECT_EQ(std::string("P\0Q\0", 4), std::string(buf, n));
  n = ProfileGetString("P", nullptr, "", buf, sizeof buf, ini);
  EXPECT_EQ(std::string("0x01\0"
                        "0x02\0",
                        10),
            std::string(buf, n));
}

TEST(ProfileTest, UnchangedWriteLeavesFileAlone) {
  TempDir dir;
  CString ini = dir / "p.ini";
  WriteFileBytes(ini, "[A]\nx=1\n");
  ASSERT_TRUE(ProfileWriteString("A", "x", "1", ini));
  EXPECT_EQ("[A]\nx=1\n", ReadFileBytes(ini));
}

TEST(ProfileTest, FailedWriteChangesNothing) {
  TempDir dir;
  EXPECT_FALSE(ProfileWriteString("A", "x", "1", dir / "missing\\p.ini"));
  EXPECT_FALSE(testing_support::FileExists(dir / "missing"));
  // A folder where the file should be.
  platform::MakeDirectory(dir / "isdir.ini");
  EXPECT_FALSE(ProfileWriteString("A", "x", "1", dir / "isdir.ini"));
  // A read-only file stays as it was.
  CString ro = dir / "ro.ini";
  WriteFileBytes(ro, "[A]\r\nx=0\r\n");
  testing_support::SetReadOnly(ro, true);
  EXPECT_FALSE(ProfileWriteString("A", "x", "1", ro));
  EXPECT_FALSE(ProfileWriteString("B", "y", "1", ro));
  EXPECT_EQ("[A]\r\nx=0\r\n", ReadFileBytes(ro));
  testing_support::SetReadOnly(ro, false);
}

TEST(ProfileTest, NoTemporaryFilesAreLeft) {
  TempDir dir;
  CString ini = dir / "p.ini";
  for (int i = 0; i < 20; ++i) {
    CString v;
    v.Format("%d", i);
    ProfileWriteString("S", "k", v, ini);
  }
  CFileFind f;
  int count = 0;
  BOOL more = f.FindFile(dir / "*.*");
  while (more) {
    more = f.FindNextFile();
    if (!f.IsDots()) ++count;
  }
  EXPECT_EQ(1, count);
}

TEST(ProfileTest, ConcurrentWritersLoseNoKey) {
  TempDir dir;
  CString ini = dir / "p.ini";
  constexpr int kThreads = 4, kKeys = 25;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int k = 0; k < kKeys; ++k) {
        CString key, value;
        key.Format("t%d_k%d", t, k);
        value.Format("%d", t * 1000 + k);
        ProfileWriteString("S", key, value, ini);
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) {
    for (int k = 0; k < kKeys; ++k) {
      CString key, value;
      key.Format("t%d_k%d", t, k);
      value.Format("%d", t * 1000 + k);
      EXPECT_STREQ(value, Get("S", key, ini)) << key;
    }
  }
}

}  // namespace
