// The engine's command line, read and written: the table of lines the operator program
// writes and a user may type, names that must be refused, and lines that do not fit.
#include <gtest/gtest.h>

#include <string>

#include "jobs/engine_command_line.h"

namespace {

TEST(EngineCommandLine, ReadsEveryForm) {
  struct Case {
    const char* text;
    EngineCommandLineStatus status;
    WORD language;
    BOOL standalone;
    const char* job;
    LONG parent;
    const char* target;
    BOOL upload;
    const char* uploadName;
  } cases[] = {
      {"1|JobA|4321", kCommandLineOk, 1, FALSE, "JobA", 4321, "", FALSE, ""},
      {"  0| JobA |4321| C:\\out\\job.cf ", kCommandLineOk, 0, FALSE, "JobA", 4321, "C:\\out\\job.cf", FALSE, ""},
      {"0|JobA|4321|*[Part7]", kCommandLineOk, 0, FALSE, "JobA", 4321, "Part7", TRUE, "*Part7"},
      {"0|JobA|4321|*Part7", kCommandLineOk, 0, FALSE, "JobA", 4321, "Part7", TRUE, "Part7"},
      {"0|JobA|4321|*", kCommandLineOk, 0, FALSE, "JobA", 4321, "", TRUE, ""},
      {"0|JobA|4321|*[]", kCommandLineOk, 0, FALSE, "JobA", 4321, "", TRUE, ""},
      {"JobA", kCommandLineOk, 1, TRUE, "JobA", -1, "", FALSE, ""},
      {"  Job A  ", kCommandLineOk, 1, TRUE, "Job A", -1, "", FALSE, ""},
      {"", kCommandLineOk, 1, TRUE, "", -1, "", FALSE, ""},
      {"1|JobA", kCommandLineOk, 1, FALSE, "", -1, "", FALSE, ""},
      {"1|JobA|", kCommandLineOk, 1, FALSE, "JobA", 0, "", FALSE, ""},
      {"1|JobA|12x|t", kCommandLineOk, 1, FALSE, "JobA", 12, "t", FALSE, ""},
      // A GBK name whose trail bytes are '|' and '\': one field, not three.
      {"0|\x95\x7C\x95\x5C|77", kCommandLineOk, 0, FALSE, "\x95\x7C\x95\x5C", 77, "", FALSE, ""},
      // Names that would leave the Jobs folder or are no folder name: refused.
      {"1|..|4321", kCommandLineBadJobName, 1, FALSE, "", 4321, "", FALSE, ""},
      {"1|..\\..\\Windows|4321", kCommandLineBadJobName, 1, FALSE, "", 4321, "", FALSE, ""},
      {"1|a/b|4321", kCommandLineBadJobName, 1, FALSE, "", 4321, "", FALSE, ""},
      {"1|C:x|4321", kCommandLineBadJobName, 1, FALSE, "", 4321, "", FALSE, ""},
      {"1|NUL|4321", kCommandLineBadJobName, 1, FALSE, "", 4321, "", FALSE, ""},
      {"..\\x", kCommandLineBadJobName, 1, TRUE, "", -1, "", FALSE, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EngineCommandLine line;
    EXPECT_EQ(c.status, ParseEngineCommandLine(c.text, line));
    EXPECT_EQ(c.language, line.nLanguage);
    EXPECT_EQ(c.standalone, line.bStandalone);
    EXPECT_STREQ(c.job, line.strJobName);
    EXPECT_EQ(c.parent, line.nParentPid);
    EXPECT_STREQ(c.target, line.strTarget);
    EXPECT_EQ(c.upload, line.bUploadTarget);
    EXPECT_STREQ(c.uploadName, line.strUploadName);
  }
}

TEST(EngineCommandLine, WritesWhatTheEngineReads) {
  CString line;
  ASSERT_TRUE(BuildEngineCommandLine("C:\\Corvane\\", 0, "JobA", 4321, "", line));
  EXPECT_STREQ("C:\\Corvane\\Mardrive.EXE 0|JobA|4321", line);
  ASSERT_TRUE(BuildEngineCommandLine("C:\\Corvane\\", 1, "JobA", 4321, "D:\\out\\a.cf", line));
  EXPECT_STREQ("C:\\Corvane\\Mardrive.EXE 1|JobA|4321|D:\\out\\a.cf", line);

  // Round trip through the reader.
  EngineCommandLine read;
  ASSERT_EQ(kCommandLineOk, ParseEngineCommandLine(std::string(line).substr(line.Find(' ') + 1).c_str(), read));
  EXPECT_STREQ("JobA", read.strJobName);
  EXPECT_EQ(4321, read.nParentPid);
  EXPECT_STREQ("D:\\out\\a.cf", read.strTarget);
}

TEST(EngineCommandLine, RefusesLinesItCannotWriteWhole) {
  CString line = "left";
  EXPECT_FALSE(BuildEngineCommandLine("C:\\P\\", 1, "..", 1, "", line));
  EXPECT_TRUE(line.IsEmpty());
  EXPECT_FALSE(BuildEngineCommandLine("C:\\P\\", 1, "JobA", 1, "a|b", line));
  // 259 characters fit, 260 do not: the line is refused, never cut.
  std::string folder = "C:\\P\\";
  std::string head = folder + "Mardrive.EXE 1|JobA|1|";
  std::string target(kEngineCommandLineMax - head.size(), 't');
  ASSERT_TRUE(BuildEngineCommandLine(folder.c_str(), 1, "JobA", 1, target.c_str(), line));
  EXPECT_EQ(kEngineCommandLineMax, line.GetLength());
  target += 't';
  EXPECT_FALSE(BuildEngineCommandLine(folder.c_str(), 1, "JobA", 1, target.c_str(), line));
  EXPECT_TRUE(line.IsEmpty());
}

}  // namespace
