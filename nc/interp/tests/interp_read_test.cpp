#include <gtest/gtest.h>

#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "nc/interp/interp_read.h"
#include "nc/interp/nc_errors.h"

namespace {

struct Evaluated {
  int status;
  double value;
  int end;  // position after the value
};

Evaluated Evaluate(InterpreterSetup& setup, const char* text) {
  Evaluated e{0, 0.0, 0};
  e.status = read_real_value(setup, text, &e.end, &e.value);
  return e;
}

class ExpressionTest : public ::testing::Test {
 protected:
  std::unique_ptr<InterpreterSetup> m_setup = std::make_unique<InterpreterSetup>();
};

TEST_F(ExpressionTest, Values) {
  m_setup->parameters[1] = 5.0;
  m_setup->parameters[2] = 3.0;
  m_setup->parameters[3] = 7.0;
  struct Case {
    const char* text;
    double value;
  } cases[] = {
      {"[1+2*3]", 7.0},
      {"[2**3**2]", 64.0},
      {"[8-2-1]", 5.0},
      {"[7mod-3]", 1.0},
      {"[-7mod3]", 2.0},
      {"[1eq1.00005]", 1.0},
      {"[1ne1.00005]", 0.0},
      {"[1lt1]", 0.0},
      {"[1le1]", 1.0},
      {"[2gt1]", 1.0},
      {"[1ge2]", 0.0},
      {"[0.5and2]", 1.0},
      {"[0and2]", 0.0},
      {"[2xor3]", 0.0},
      {"[0xor3]", 1.0},
      {"[0or0]", 0.0},
      {"[12/4]", 3.0},
      {"[[-8]**3]", -512.0},
      {"atan[1]/[1]", 45.0},
      {"round[2.5]", 3.0},
      {"round[-2.5]", -3.0},
      {"fix[-1.5]", -2.0},
      {"fup[1.2]", 2.0},
      {"abs[-3]", 3.0},
      {"exp[0]", 1.0},
      {"ln[1]", 0.0},
      {"sqrt[16]", 4.0},
      {"asin[1]", 90.0},
      {"acos[1]", 0.0},
      {"+.5", 0.5},
      {"-2.25", -2.25},
      {"1.2.3", 1.2},
      {"1e3", 1.0},
      {"#1", 5.0},
      {"##2", 7.0},
      {"#[1+2]", 7.0},
      {"#[2.00005]", 3.0},
      {"#[1.99995]", 3.0},
      {"[#1*2]", 10.0},
      // Five operators, each binding tighter than the one before: the deepest stack.
      {"[1or2lt3+4*5**6]", 1.0},
      {"[0or[2lt3+4*5**6]*0]", 0.0},
      {"123456789012345678901234567890", 123456789012345678901234567890.0},
      {"0.1234567890123456789", 0.1234567890123456789},
  };
  for (const Case& c : cases) {
    Evaluated e = Evaluate(*m_setup, c.text);
    EXPECT_EQ(0, e.status) << c.text;
    EXPECT_DOUBLE_EQ(c.value, e.value) << c.text;
  }
  EXPECT_NEAR(0.5, Evaluate(*m_setup, "cos[60]").value, 1e-12);
  EXPECT_NEAR(0.5, Evaluate(*m_setup, "sin[30]").value, 1e-12);
  EXPECT_NEAR(1.0, Evaluate(*m_setup, "tan[45]").value, 1e-12);
  EXPECT_EQ(3, Evaluate(*m_setup, "1.2.3").end);  // leaves ".3"
  EXPECT_EQ(1, Evaluate(*m_setup, "1e3").end);    // no exponent: leaves "e3"
}

TEST_F(ExpressionTest, Errors) {
  m_setup->parameters[4] = DBL_MAX;
  struct Case {
    const char* text;
    int status;
  } cases[] = {
      {"", NCE_NO_CHARACTERS_FOUND_IN_READING_REAL_VALUE},
      {"[1/0]", NCE_ATTEMPT_TO_DIVIDE_BY_ZERO},
      {"[[-8]**0.5]", NCE_ATTEMPT_TO_RAISE_NEGATIVE_TO_NON_INTEGER_POWER},
      {"sqrt[-1]", NCE_NEGATIVE_ARGUMENT_TO_SQRT},
      {"ln[0]", NCE_ZERO_OR_NEGATIVE_ARGUMENT_TO_LN},
      {"acos[1.1]", NCE_ARGUMENT_TO_ACOS_OUT_OF_RANGE},
      {"asin[-1.1]", NCE_ARGUMENT_TO_ASIN_OUT_OF_RANGE},
      {"atan[1][1]", NCE_SLASH_MISSING_AFTER_FIRST_ATAN_ARGUMENT},
      {"atan[1]/1", NCE_LEFT_BRACKET_MISSING_AFTER_SLASH_WITH_ATAN},
      {"abs1", NCE_LEFT_BRACKET_MISSING_AFTER_UNARY_OPERATION_NAME},
      {"#5400", NCE_PARAMETER_NUMBER_OUT_OF_RANGE},
      {"#0", NCE_PARAMETER_NUMBER_OUT_OF_RANGE},
      {"#-1", NCE_PARAMETER_NUMBER_OUT_OF_RANGE},
      {"#99999999999999999999", NCE_PARAMETER_NUMBER_OUT_OF_RANGE},
      {"#[2.5]", NCE_NON_INTEGER_VALUE_FOR_INTEGER},
      {"#4", NCE_PARAMETER_IS_NOT_INITIALIZED},
      {"#<abc>", NCE_NAMED_PARAMETER_NOT_DEFINED},
      {"#<abc", NCE_NAMED_PARAMETER_NOT_TERMINATED},
      {"[1+2", NCE_UNCLOSED_EXPRESSION},
      {"[1", NCE_UNCLOSED_EXPRESSION},
      {"[1&2]", NCE_UNKNOWN_OPERATION},
      {"[1a2]", NCE_UNKNOWN_OPERATION_NAME_STARTING_WITH_A},
      {"[1m2]", NCE_UNKNOWN_OPERATION_NAME_STARTING_WITH_M},
      {"[1o2]", NCE_UNKNOWN_OPERATION_NAME_STARTING_WITH_O},
      {"[1x2]", NCE_UNKNOWN_OPERATION_NAME_STARTING_WITH_X},
      {"[1e2]", NCE_UNKNOWN_OPERATION_NAME_STARTING_WITH_E},
      {"[1n2]", NCE_UNKNOWN_OPERATION_NAME_STARTING_WITH_N},
      {"[1g2]", NCE_UNKNOWN_OPERATION_NAME_STARTING_WITH_G},
      {"[1l2]", NCE_UNKNOWN_OPERATION_NAME_STARTING_WITH_L},
      {"ab[1]", NCE_UNKNOWN_WORD_STARTING_WITH_A},
      {"cx[1]", NCE_UNKNOWN_WORD_STARTING_WITH_C},
      {"ex[1]", NCE_UNKNOWN_WORD_STARTING_WITH_E},
      {"fo[1]", NCE_UNKNOWN_WORD_STARTING_WITH_F},
      {"lx[1]", NCE_UNKNOWN_WORD_STARTING_WITH_L},
      {"rx[1]", NCE_UNKNOWN_WORD_STARTING_WITH_R},
      {"sx[1]", NCE_UNKNOWN_WORD_STARTING_WITH_S},
      {"tx[1]", NCE_UNKNOWN_WORD_STARTING_WITH_T},
      {"bx[1]", NCE_UNKNOWN_WORD_WHERE_UNARY_OPERATION_COULD_BE},
      {"-", NCE_NO_DIGITS_FOUND_WHERE_REAL_NUMBER_SHOULD_BE},
      {".", NCE_NO_DIGITS_FOUND_WHERE_REAL_NUMBER_SHOULD_BE},
      {"+-1", NCE_NO_DIGITS_FOUND_WHERE_REAL_NUMBER_SHOULD_BE},
      {"=1", NCE_BAD_NUMBER_FORMAT},
  };
  for (const Case& c : cases) EXPECT_EQ(c.status, Evaluate(*m_setup, c.text).status) << c.text;
  // An undefined name reads as 0.0 besides the error.
  EXPECT_EQ(0.0, Evaluate(*m_setup, "#<abc>").value);
}

TEST_F(ExpressionTest, NamesAndTheirLimit) {
  char name[kInterpNameSize];
  int counter = 0;
  EXPECT_EQ(0, read_name("<depth>x", &counter, name));
  EXPECT_STREQ("depth", name);
  EXPECT_EQ(7, counter);
  // The character after "#" is skipped even when it is a letter.
  counter = 0;
  EXPECT_EQ(0, read_name("abc>", &counter, name));
  EXPECT_STREQ("bc", name);
  std::string longest = "<" + std::string(kInterpNameSize - 1, 'n') + ">";
  counter = 0;
  EXPECT_EQ(0, read_name(longest.c_str(), &counter, name));
  EXPECT_EQ(kInterpNameSize - 1, (int)std::strlen(name));
  std::string tooLong = "<" + std::string(kInterpNameSize, 'n') + ">";
  counter = 0;
  EXPECT_EQ(NCE_NAMED_PARAMETER_NOT_TERMINATED, read_name(tooLong.c_str(), &counter, name));
  counter = 0;
  EXPECT_EQ(NCE_BUG_FUNCTION_SHOULD_NOT_HAVE_BEEN_CALLED, read_name("1>", &counter, name));
}

TEST_F(ExpressionTest, DeepNestingWithinALine) {
  // As deep as a line of the work buffer allows.
  int depth = (kInterpWorkSize - 2) / 2;
  std::string text = std::string(depth, '[') + "1" + std::string(depth, ']');
  Evaluated e = Evaluate(*m_setup, text.c_str());
  EXPECT_EQ(0, e.status);
  EXPECT_EQ(1.0, e.value);
}

TEST(RandomGenerator, DrawsAndSeeds) {
  InterpreterSetup* setup = new InterpreterSetup;
  interp_srand(1);
  int counter = 0;
  double v;
  const int expected[] = {41, 18467, 6334};
  for (int want : expected) {
    counter = 0;
    ASSERT_EQ(0, read_real_value(*setup, "rand[99]", &counter, &v));
    EXPECT_EQ(want, v);
  }
  // Without a seed dialog srand seeds with its argument and gives it back.
  counter = 0;
  ASSERT_EQ(0, read_real_value(*setup, "srand[5.7]", &counter, &v));
  EXPECT_EQ(5.7, v);
  EXPECT_EQ((int)(((5u * 214013u + 2531011u) >> 16) & 0x7FFF), interp_rand());

  // The dialog's seed wins when it closes with OK and the box clear.
  RandomSeedHook old = SetRandomSeedHook([](double x, CString* text) -> BOOL {
    EXPECT_EQ(3.0, x);
    *text = "17xyz";
    return TRUE;
  });
  counter = 0;
  ASSERT_EQ(0, read_real_value(*setup, "srand[3]", &counter, &v));
  EXPECT_EQ((int)(((17u * 214013u + 2531011u) >> 16) & 0x7FFF), interp_rand());
  SetRandomSeedHook([](double, CString*) -> BOOL { return FALSE; });
  counter = 0;
  ASSERT_EQ(0, read_real_value(*setup, "srand[3]", &counter, &v));
  EXPECT_EQ((int)(((3u * 214013u + 2531011u) >> 16) & 0x7FFF), interp_rand());
  SetRandomSeedHook(old);
  delete setup;
}

class SettingTest : public ExpressionTest {
 protected:
  int Read(const char* text) {
    int counter = 0;
    int status = 0;
    while (status == 0 && text[counter]) status = read_parameter_setting(*m_setup, text, &counter);
    return status;
  }
};

TEST_F(SettingTest, SettingsApplyAfterTheLine) {
  m_setup->parameters[1] = 4.0;
  ASSERT_EQ(0, Read("#1=5#3=#1#2=#1#2=[#2+1]"));
  EXPECT_EQ(4, m_setup->setting_count);
  EXPECT_EQ(4.0, m_setup->parameters[1]);  // nothing applied yet
  ASSERT_EQ(0, apply_settings(*m_setup));
  EXPECT_EQ(5.0, m_setup->parameters[1]);
  EXPECT_EQ(4.0, m_setup->parameters[3]);  // the old #1
  EXPECT_EQ(1.0, m_setup->parameters[2]);  // the later setting wins, computed from the old #2
  EXPECT_EQ(0, m_setup->setting_count);
}

TEST_F(SettingTest, NamedSettings) {
  ASSERT_EQ(0, Read("#<a>=1#<b>=2"));
  ASSERT_EQ(0, apply_settings(*m_setup));
  // The value names another parameter: the one set is still the first name.
  ASSERT_EQ(0, Read("#<a>=#<b>"));
  ASSERT_EQ(0, apply_settings(*m_setup));
  double v;
  ASSERT_TRUE(lookup_named_param(*m_setup, "a", &v));
  EXPECT_EQ(2.0, v);
  ASSERT_TRUE(lookup_named_param(*m_setup, "b", &v));
  EXPECT_EQ(2.0, v);
  // A name is defined as soon as it is read, even when the line fails later.
  EXPECT_EQ(NCE_EQUAL_SIGN_MISSING_IN_PARAMETER_SETTING, Read("#<c>1"));
  EXPECT_TRUE(lookup_named_param(*m_setup, "c", &v));
  // A letter after "#" is dropped: #abc>=1 sets "bc".
  clear_settings(*m_setup);
  ASSERT_EQ(0, Read("#abc>=1"));
  ASSERT_EQ(0, apply_settings(*m_setup));
  EXPECT_TRUE(lookup_named_param(*m_setup, "bc", &v));
  EXPECT_EQ(1.0, v);
}

TEST_F(SettingTest, Errors) {
  struct Case {
    const char* text;
    int status;
  } cases[] = {
      {"#1", NCE_EQUAL_SIGN_MISSING_IN_PARAMETER_SETTING},
      {"#5400=1", NCE_PARAMETER_NUMBER_OUT_OF_RANGE},
      {"#0=1", NCE_PARAMETER_NUMBER_OUT_OF_RANGE},
      {"#1.5=1", NCE_NON_INTEGER_VALUE_FOR_INTEGER},
      {"#1=", NCE_NO_CHARACTERS_FOUND_IN_READING_REAL_VALUE},
      {"#<x", NCE_NAMED_PARAMETER_NOT_TERMINATED},
      {"1=1", NCE_BUG_FUNCTION_SHOULD_NOT_HAVE_BEEN_CALLED},
  };
  for (const Case& c : cases) {
    int counter = 0;
    EXPECT_EQ(c.status, read_parameter_setting(*m_setup, c.text, &counter)) << c.text;
    clear_settings(*m_setup);
  }
}

TEST_F(SettingTest, TooManySettingsOnOneLineAreRefused) {
  std::string numbered, named;
  for (int i = 1; i <= kInterpMaxSettings; ++i) {
    numbered += "#" + std::to_string(i) + "=1";
    named += "#<n" + std::to_string(i) + ">=1";
  }
  EXPECT_EQ(0, Read(numbered.c_str()));
  EXPECT_EQ(NCE_TOO_MANY_SETTINGS_ON_LINE, Read("#51=1"));
  EXPECT_EQ(0, Read(named.c_str()));
  EXPECT_EQ(NCE_TOO_MANY_SETTINGS_ON_LINE, Read("#<more>=1"));
  EXPECT_EQ(kInterpMaxSettings, m_setup->setting_count);
  EXPECT_EQ(kInterpMaxSettings, m_setup->named_setting_count);
  clear_settings(*m_setup);
}

TEST_F(ExpressionTest, CommentsAreBounded) {
  int counter = 0;
  ASSERT_EQ(0, read_comment(*m_setup, "(drill)x", &counter));
  EXPECT_STREQ("drill", m_setup->block.comment);
  EXPECT_EQ(7, counter);
  std::string longest = "(" + std::string(kInterpCommentSize - 1, 'c') + ")";
  counter = 0;
  EXPECT_EQ(0, read_comment(*m_setup, longest.c_str(), &counter));
  std::string tooLong = "(" + std::string(kInterpCommentSize, 'c') + ")";
  counter = 0;
  EXPECT_EQ(NCE_COMMAND_TOO_LONG, read_comment(*m_setup, tooLong.c_str(), &counter));
}

}  // namespace
