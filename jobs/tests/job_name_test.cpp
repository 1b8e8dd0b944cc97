// Job names: what may name a job folder, and the paths made from a name.
#include <gtest/gtest.h>

#include <string>

#include "foundation/settings.h"
#include "jobs/job_name.h"

namespace {

TEST(JobName, WhatMayNameAJob) {
  struct {
    std::string name;
    bool valid;
  } cases[] = {
      {"Sign-42", true},
      {"a b", true},
      {"x.y", true},
      {"CONSOLE", true},
      {"COM10", true},
      {"作业一", true},
      {"\x95\x5C", true},  // a GBK character whose trail byte is '\'
      {"\x95\x7C", true},  // ... and one whose trail byte is '|'
      {std::string(80, 'n'), true},
      {"", false},
      {".", false},
      {"..", false},
      {"a\\b", false},
      {"a/b", false},
      {"..\\..\\Windows", false},
      {"C:x", false},
      {"a|b", false},
      {"a*", false},
      {"a?", false},
      {"a\"b", false},
      {"<a>", false},
      {" a", false},
      {"a ", false},
      {"\ta", false},
      {"a.", false},
      {"a\001b", false},
      {"a\nb", false},
      {"CON", false},
      {"con.txt", false},
      {"Nul .x", false},
      {"LPT9", false},
      {"COM1", false},
      {"CONOUT$", false},
      {"ab\x95", false},  // a lead byte without its trail byte
      {std::string(81, 'n'), false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.valid, IsValidJobName(c.name.c_str()) != FALSE) << c.name;
  EXPECT_FALSE(IsValidJobName(nullptr));
}

TEST(JobName, PathsOnlyFromJobNames) {
  CString saved = g_strAppFolder;
  g_strAppFolder = "C:\\Corvane\\";
  EXPECT_STREQ("C:\\Corvane\\Jobs\\", JobsFolderPath());
  EXPECT_STREQ("C:\\Corvane\\Jobs\\Sign\\", JobFolderPath("Sign"));
  EXPECT_STREQ("C:\\Corvane\\Jobs\\Sign\\Sign.jobinfo", JobFilePath("Sign", ".jobinfo"));
  EXPECT_STREQ("", JobFolderPath(".."));
  EXPECT_STREQ("", JobFilePath("..", ".jobinfo"));
  EXPECT_STREQ("", JobFilePath("a\\b", ".structs"));
  // A path that would not fit, counting the file written beside it: refused, not cut.
  g_strAppFolder = CString('p', 80) + "\\";
  CString name(std::string(80, 'n').c_str());
  EXPECT_STREQ("", JobFilePath(name, ".snapshot"));
  EXPECT_STRNE("", JobFilePath("short", ".snapshot"));
  g_strAppFolder = saved;
}

}  // namespace
