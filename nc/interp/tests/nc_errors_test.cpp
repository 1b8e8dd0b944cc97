#include <gtest/gtest.h>

#include <cstring>

#include "foundation/settings.h"
#include "nc/interp/nc_errors.h"

namespace {

class NCErrorTextTest : public ::testing::Test {
 protected:
  void TearDown() override { g_nUiLanguage = 0; }
};

// 试图除以零 in GB2312.
constexpr char kDivideByZeroCn[] = "\xCA\xD4\xCD\xBC\xB3\xFD\xD2\xD4\xC1\xE3";

TEST_F(NCErrorTextTest, CodesWithoutTextGiveNothing) {
  for (int lang : {0, 1}) {
    g_nUiLanguage = (WORD)lang;
    for (int code : {-1, 0, 1, 2, 247, 1000})
      EXPECT_STREQ("", GetNCErrorText(code)) << "code " << code << " language " << lang;
  }
}

TEST_F(NCErrorTextTest, LanguagePicksTheText) {
  struct Case {
    WORD lang;
    int code;
    const char* text;
  } cases[] = {
      {1, 11, "Attempt to divide by zero"},
      {0, 11, kDivideByZeroCn},
      {0, 5, "A file is already open"},  // no Chinese text: English stands in
      {1, 3, "No error"},
      {1, 67, "Command too long"},
      {1, 214, "File not open"},
      {1, 4, "File not open"},
      {1, 246, "Unknown error"},
      {1, 88, "I word with no g2 or g3 or g87, or g43  to use it"},
      {2, 11, kDivideByZeroCn},  // any index but 1 is Chinese
  };
  for (const Case& c : cases) {
    g_nUiLanguage = c.lang;
    EXPECT_STREQ(c.text, GetNCErrorText(c.code)) << "code " << c.code;
  }
}

TEST(NCErrorTable, ShapeOfTheTable) {
  int chinese = 0;
  for (int k = 0; k < kNCErrorRows; ++k) {
    ASSERT_NE(nullptr, NCErrorTable[k].pszEnglish);
    ASSERT_NE(nullptr, NCErrorTable[k].pszChinese);
    EXPECT_NE('\0', NCErrorTable[k].pszEnglish[0]) << k;
    if (NCErrorTable[k].pszChinese[0]) ++chinese;
  }
  EXPECT_EQ(116, chinese);
  EXPECT_STREQ("The End", NCErrorTable[kNCErrorRows - 1].pszEnglish);
  EXPECT_STREQ("Multiple a words on one line", NCErrorTable[NCE_MULTIPLE_A_WORDS_ON_ONE_LINE].pszEnglish);
  EXPECT_STREQ("Multiple z words on one line", NCErrorTable[NCE_MULTIPLE_Z_WORDS_ON_ONE_LINE].pszEnglish);
  EXPECT_STREQ("Parameter is not initialized", NCErrorTable[NCE_PARAMETER_IS_NOT_INITIALIZED].pszEnglish);
  // The Chinese rows are real GB text: every byte of a double-byte character is high.
  EXPECT_EQ(0xCE, (unsigned char)NCErrorTable[4].pszChinese[0]);
}

}  // namespace
