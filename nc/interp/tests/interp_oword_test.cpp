#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "nc/interp/interp.h"
#include "nc/interp/nc_errors.h"
#include "nc/interp/tests/interp_test_support.h"
#include "platform/testing/test_support.h"

namespace {

using interp_testing::Prepare;

class OwordReadTest : public ::testing::Test {
 protected:
  void TearDown() override { interp_free(m_setup->block.o_name); }
  int Read(const char* line) {
    interp_free(m_setup->block.o_name);
    reset_block(m_setup->block);
    std::string text = Prepare(line);
    int counter = 0;
    return read_o(*m_setup, m_setup->block, text.c_str(), &counter);
  }
  std::unique_ptr<InterpreterSetup> m_setup = std::make_unique<InterpreterSetup>();
};

TEST_F(OwordReadTest, KeywordsAndLabelNames) {
  struct Case {
    const char* line;
    int type;
    const char* name;
  } cases[] = {
      {"o100 sub", O_SUB, "100"},          {"o100 endsub", O_ENDSUB, "100"},  {"o100 call", O_CALL, "100"},
      {"o100 return", O_RETURN, "100"},    {"o<Drill> sub", O_SUB, "drill"},  {"o1 do", O_DO, "#1"},
      {"o1 while [1]", O_WHILE, "#1"},     {"o1 repeat [2]", O_REPEAT, "#1"}, {"o1 if [0]", O_IF, "#1"},
      {"o1 elseif [1]", O_ELSEIF, "#1"},   {"o1 else", O_ELSE, "#1"},         {"o1 endif", O_ENDIF, "#1"},
      {"o1 break", O_BREAK, "#1"},         {"o1 continue", O_CONTINUE, "#1"}, {"o1 endwhile", O_ENDWHILE, "#1"},
      {"o1 endrepeat", O_ENDREPEAT, "#1"}, {"o[1+2] if [1]", O_IF, "#3"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(0, Read(c.line)) << c.line;
    EXPECT_EQ(c.type, m_setup->block.o_type) << c.line;
    EXPECT_STREQ(c.name, m_setup->block.o_name) << c.line;
  }
  // Loops and conditions inside a subroutine are local to it.
  m_setup->call_level = 1;
  m_setup->sub_context[1].subname = interp_strdup("200");
  ASSERT_EQ(0, Read("o5 do"));
  EXPECT_STREQ("200#5", m_setup->block.o_name);
  ASSERT_EQ(0, Read("o5 call"));
  EXPECT_STREQ("5", m_setup->block.o_name);
  interp_free(m_setup->sub_context[1].subname);
  m_setup->call_level = 0;
}

TEST_F(OwordReadTest, TestsAndArguments) {
  ASSERT_EQ(0, Read("o1 while [2 gt 1]"));
  EXPECT_EQ(1.0, m_setup->test_value);
  ASSERT_EQ(0, Read("o9 call [1] [2+3] (comment) [#5220]"));
  EXPECT_EQ(1.0, m_setup->block.call_args[0]);
  EXPECT_EQ(5.0, m_setup->block.call_args[1]);
  EXPECT_EQ(1.0, m_setup->block.call_args[2]);
  EXPECT_EQ(0.0, m_setup->block.call_args[3]);
  EXPECT_STREQ("comment", m_setup->block.comment);
  std::string thirty = "o9 call";
  for (int i = 0; i < kInterpCallArgs; ++i) thirty += " [" + std::to_string(i) + "]";
  ASSERT_EQ(0, Read(thirty.c_str()));
  EXPECT_EQ(29.0, m_setup->block.call_args[29]);
  EXPECT_EQ(NCE_TOO_MANY_SUBROUTINE_PARAMETERS, Read((thirty + " [30]").c_str()));
}

TEST_F(OwordReadTest, Errors) {
  struct Case {
    const char* line;
    int status;
  } cases[] = {
      {"o100 foo", NCE_UNKNOWN_CONTROL_COMMAND_IN_O_WORD},    {"o100", NCE_UNKNOWN_CONTROL_COMMAND_IN_O_WORD},
      {"o100 if 1", NCE_LEFT_BRACKET_MISSING_IN_OWORD},       {"o100 while", NCE_LEFT_BRACKET_MISSING_IN_OWORD},
      {"o100 while [0/0]", NCE_ATTEMPT_TO_DIVIDE_BY_ZERO},    {"o100 while [exp[1000]]", NCE_OWORD_TEST_NOT_FINITE},
      {"o100 repeat [exp[1000]]", NCE_OWORD_TEST_NOT_FINITE}, {"o100 if [0-exp[1000]]", NCE_OWORD_TEST_NOT_FINITE},
      {"o1.5 sub", NCE_NON_INTEGER_VALUE_FOR_INTEGER},        {"o<abc sub", NCE_NAMED_PARAMETER_NOT_TERMINATED},
      {"o1 if [1/0]", NCE_ATTEMPT_TO_DIVIDE_BY_ZERO},         {"o", NCE_NO_CHARACTERS_FOUND_IN_READING_REAL_VALUE},
  };
  for (const Case& c : cases) EXPECT_EQ(c.status, Read(c.line)) << c.line;
  int counter = 0;
  EXPECT_EQ(NCE_BUG_FUNCTION_SHOULD_NOT_HAVE_BEEN_CALLED, read_o(*m_setup, m_setup->block, "x1", &counter));
}

TEST_F(OwordReadTest, InsideADefinitionOnlySubAndEndsubCount) {
  m_setup->defining_sub = 1;
  ASSERT_EQ(0, Read("o1 if [1]"));
  EXPECT_EQ(O_NONE, m_setup->block.o_type);
  ASSERT_EQ(0, Read("o2 call [1]"));
  EXPECT_EQ(O_NONE, m_setup->block.o_type);
  ASSERT_EQ(0, Read("o7 endsub"));
  EXPECT_EQ(O_ENDSUB, m_setup->block.o_type);
  m_setup->defining_sub = 0;
  // A call is not even read while skipping.
  m_setup->skipping_o = interp_strdup("#4");
  ASSERT_EQ(0, Read("o2 call [1/0]"));
  EXPECT_EQ(O_NONE, m_setup->block.o_type);
  interp_free(m_setup->skipping_o);
}

TEST_F(OwordReadTest, Labels) {
  ASSERT_EQ(0, Read("o1 do"));
  m_setup->block.line_offset = 40;
  m_setup->block.line_number = 5;
  ASSERT_EQ(0, control_save_offset(m_setup->block, *m_setup));
  int index = -1;
  ASSERT_EQ(0, control_find_oword(m_setup->block, *m_setup, &index));
  EXPECT_EQ(0, index);
  EXPECT_EQ(40, m_setup->labels[0].offset);
  EXPECT_EQ(4, m_setup->labels[0].sequence_number);
  EXPECT_EQ(-1, m_setup->labels[0].repeat_count);
  // The same line again is no second label; the same name elsewhere is refused.
  EXPECT_EQ(0, control_save_offset(m_setup->block, *m_setup));
  m_setup->block.line_offset = 80;
  EXPECT_EQ(NCE_OWORD_USED_FOR_TWO_LOOPS, control_save_offset(m_setup->block, *m_setup));
  ASSERT_EQ(0, Read("o2 do"));
  EXPECT_EQ(NCE_UNKNOWN_OWORD_NUMBER, control_find_oword(m_setup->block, *m_setup, &index));
  for (int i = 1; i < kInterpMaxLabels; ++i) {
    ASSERT_EQ(0, Read(("o" + std::to_string(1000 + i) + " do").c_str()));
    ASSERT_EQ(0, control_save_offset(m_setup->block, *m_setup));
  }
  ASSERT_EQ(0, Read("o99 do"));
  EXPECT_EQ(NCE_TOO_MANY_OWORD_LABELS, control_save_offset(m_setup->block, *m_setup));
  EXPECT_EQ(kInterpMaxLabels, m_setup->label_count);
}

TEST(FindFileInFolder, DepthFirstBelowTheFolder) {
  testing_support::TempDir dir;
  ASSERT_TRUE(platform::MakeDirectory(dir / "a"));
  ASSERT_TRUE(platform::MakeDirectory(dir / "b"));
  ASSERT_TRUE(platform::MakeDirectory(dir / "b\\c"));
  ASSERT_TRUE(testing_support::WriteFileBytes(dir / "b\\c\\sub7.nc", "o7 sub\no7 endsub\n"));
  CString path;
  ASSERT_EQ(0, FindFileInFolder(dir.Path(), "sub7.nc", &path));
  EXPECT_STREQ(dir / "b\\c\\sub7.nc", path);
  // The folder may come without its final "\" and with "/".
  CString folder = dir.Path().Left(dir.Path().GetLength() - 1);
  folder.Replace('\\', '/');
  ASSERT_EQ(0, FindFileInFolder("  " + folder + "  ", "sub7.nc", &path));
  EXPECT_EQ(NCE_FILE_NOT_OPEN, FindFileInFolder(dir.Path(), "sub8.nc", &path));
}

}  // namespace
