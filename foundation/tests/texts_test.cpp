#include <gtest/gtest.h>

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "platform/testing/test_support.h"
#include "resources/resource.h"

namespace {

class LanguageTest : public ::testing::Test {
 protected:
  void TearDown() override { g_nUiLanguage = 0; }
};

// 雕刻机控制系统 in GB2312.
constexpr char kTitleCn[] = "Corvane \xB5\xF1\xBF\xCC\xBB\xFA\xBF\xD8\xD6\xC6\xCF\xB5\xCD\xB3";

TEST_F(LanguageTest, StringTablesGiveGbBytes) {
  g_nUiLanguage = 0;
  EXPECT_STREQ(kTitleCn, LoadLangString(IDS_APP_TITLE_CN, IDS_APP_TITLE_EN));
  g_nUiLanguage = 1;
  EXPECT_STREQ("Corvane CNC Control", LoadLangString(IDS_APP_TITLE_CN, IDS_APP_TITLE_EN));
}

TEST_F(LanguageTest, PickLangIdOnlyTakesEnglishForOne) {
  g_nUiLanguage = 1;
  EXPECT_EQ(11u, PickLangId(10, 11));
  g_nUiLanguage = 0;
  EXPECT_EQ(10u, PickLangId(10, 11));
  // Any other index: the Chinese template, but the English text.
  g_nUiLanguage = 2;
  EXPECT_EQ(10u, PickLangId(10, 11));
  EXPECT_STREQ("Corvane CNC Control", LoadLangString(IDS_APP_TITLE_CN, IDS_APP_TITLE_EN));
}

TEST_F(LanguageTest, ShowMessageCaptionAndAnswer) {
  testing_support::MessageBoxRecorder boxes;
  boxes.QueueAnswer(IDNO);
  g_nUiLanguage = 1;
  EXPECT_EQ(IDNO, ShowMessage("Delete it?", MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(IDOK, ShowMessage("Done."));
  ASSERT_EQ(2u, boxes.Boxes().size());
  EXPECT_EQ("Delete it?", boxes.Boxes()[0].text);
  EXPECT_EQ("Corvane CNC Control (V7.1.1)", boxes.Boxes()[0].caption);
  EXPECT_EQ((UINT)(MB_YESNO | MB_ICONQUESTION), boxes.Boxes()[0].type);
  g_nUiLanguage = 0;
  ShowMessage("x");
  EXPECT_EQ(std::string(kTitleCn) + " (V7.1.1)", boxes.Boxes()[2].caption);
}

TEST(ErrorText, NetworkRangeComesFromTheBuiltInTable) {
  EXPECT_STREQ("This network connection does not exist.\r\n", ErrorCodeText(2250));
  EXPECT_STREQ("", ErrorCodeText(2999));
  SetLastError(2250);
  EXPECT_STREQ("This network connection does not exist.\r\n", LastErrorText());
#ifdef _WIN32
  EXPECT_FALSE(ErrorCodeText(ERROR_FILE_NOT_FOUND).IsEmpty());
#endif
}

#ifdef _WIN32
TEST(ChineseCodePages, SimplifiedToTraditionalAndBack) {
  // 机床设备 (machine tool equipment) -> 機床設備
  const char gb[] = "\xBB\xFA\xB4\xB2\xC9\xE8\xB1\xB8";
  CString big5 = Gb2312ToBig5(gb);
  wchar_t wide[8] = {0};
  ASSERT_EQ(4, MultiByteToWideChar(950, 0, big5, big5.GetLength(), wide, 8));
  EXPECT_EQ(std::wstring(L"\u6A5F\u5E8A\u8A2D\u5099"), std::wstring(wide, 4));
  EXPECT_STREQ(gb, Big5ToGb2312(big5));
  EXPECT_STREQ("plain ascii", Gb2312ToBig5("plain ascii"));
}

TEST(ErrorText, ShowLastErrorBoxHasNoOwnerCaptionError) {
  testing_support::MessageBoxRecorder boxes;
  SetLastError(2250);
  ShowLastErrorBox();
  ASSERT_EQ(1u, boxes.Boxes().size());
  EXPECT_EQ("Error", boxes.Boxes()[0].caption);
  EXPECT_EQ((UINT)(MB_OK | MB_ICONINFORMATION), boxes.Boxes()[0].type);
}
#endif

}  // namespace
