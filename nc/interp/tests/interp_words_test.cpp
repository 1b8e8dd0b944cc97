#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "foundation/settings.h"
#include "nc/interp/interp.h"
#include "nc/interp/nc_errors.h"
#include "nc/interp/tests/interp_test_support.h"

namespace {

using interp_testing::Prepare;

class WordsTest : public ::testing::Test {
 protected:
  void SetUp() override { g_nUiLanguage = 1; }
  void TearDown() override {
    g_nUiLanguage = 0;
    clear_settings(*m_setup);
  }
  WordLoopResult Read(const char* line, const CString& loadReport = CString()) {
    reset_block(m_setup->block);
    clear_settings(*m_setup);
    m_report = LineReport();
    return read_words(*m_setup, Prepare(line).c_str(), m_wordSeen, loadReport, m_report);
  }
  int Check(const char* line) {
    Read(line);
    EXPECT_STREQ("", m_report.errors) << line;
    return verify_block_items(*m_setup, m_setup->block);
  }
  std::unique_ptr<InterpreterSetup> m_setup = std::make_unique<InterpreterSetup>();
  LineReport m_report;
  int m_wordSeen = 1;
};

TEST_F(WordsTest, Reports) {
  struct Case {
    const char* line;
    const char* errors;
    const char* unknownG;
    const char* unknownM;
    const char* bad;
  } cases[] = {
      {"G1 G0 X1", "<G0>Two g codes used from same modal group", "", "", ""},
      {"G1 X1 X2", "<X2>Multiple x words on one line", "", "", ""},
      {"G5 X1", "", "G5", "", ""},
      {"M5000", "<M5000>M code greater than 199", "", "", ""},
      {"E5 G1 X1", "", "", "", "E,5"},
      {"T0", "<T0>Unknown word starting with t", "", "", ""},
      {"G-1", "<G-1>Negative g code used", "", "", ""},
      {"G102", "<G102>G code out of range", "", "", ""},
      {"M-1", "<M-1>Negative m code used", "", "", ""},
      {"M3 M4", "<M4>Two m codes used from same modal group", "", "", ""},
      {"M50 M3", "", "", "M50", ""},
      {"G1 U5 X1", "", "", "", "U"},
      {"F-1", "<F-1>Negative f word used", "", "", ""},
      {"S-1", "<S-1>Negative spindle speed used", "", "", ""},
      {"T-1", "<T-1>Negative tool id used", "", "", ""},
      {"P-1", "<P-1>Negative p word used", "", "", ""},
      {"H-1", "<H-1>Negative h word used", "", "", ""},
      {"L-1", "<L-1>Negative l word used", "", "", ""},
      {"Q-1", "<Q-1>Negative or zero q value used", "", "", ""},
      {"F1 F2", "<F2>Multiple f words on one line", "", "", ""},
      {"D1 D2", "<D2>Multiple d words on one line", "", "", ""},
      {"X[1", "<X>Unclosed expression", "", "", ""},
      {"X[1+", "<X>No characters found in reading real value", "", "", ""},
      {"G1 X#<nothing>", "<X>Named parameter not defined", "", "", ""},
      {"#1 5", "<#>Equal sign missing in parameter setting", "", "", ""},
      {"G1 X[1+2] Y3", "", "", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WORDS_READ, Read(c.line)) << c.line;
    EXPECT_STREQ(c.errors, m_report.errors) << c.line;
    EXPECT_STREQ(c.unknownG, m_report.unknown_g) << c.line;
    EXPECT_STREQ(c.unknownM, m_report.unknown_m) << c.line;
    EXPECT_STREQ(c.bad, m_report.bad_chars) << c.line;
  }
}

TEST_F(WordsTest, ReadingStopsAtTheFirstFault) {
  Read("G1 G0 X1");
  EXPECT_EQ(G_1, m_setup->block.g_modes[GROUP_MOTION]);
  EXPECT_EQ(0, m_setup->block.x_flag);
  Read("G1 X1 X2");
  EXPECT_EQ(1.0, m_setup->block.x_value);
  Read("E5 G1 X1");
  EXPECT_EQ(G_1, m_setup->block.g_modes[GROUP_MOTION]);
  EXPECT_EQ(0, m_setup->block.x_flag);
  Read("G38.2 G92.1 M101 N12 D3");
  EXPECT_EQ(G_38_2, m_setup->block.g_modes[GROUP_MOTION]);
  EXPECT_EQ(G_92_1, m_setup->block.g_modes[GROUP_NON_MODAL]);
  EXPECT_EQ(101, m_setup->block.m_modes[MGROUP_USER]);
  EXPECT_EQ(1, m_setup->block.m_count);
  EXPECT_EQ(12, m_setup->block.n_number);
  EXPECT_EQ(3, m_setup->block.d_number);
}

TEST_F(WordsTest, AnItemAlreadyReportedIsLeftOut) {
  Read("G1 X1 X2", "Line 3: [G1 X1 X2],<X2>Multiple x words on one line\r\n");
  EXPECT_STREQ("", m_report.errors);
  Read("G1 X1 X3", "Line 3: [G1 X1 X2],<X2>Multiple x words on one line\r\n");
  EXPECT_STREQ("<X3>Multiple x words on one line", m_report.errors);
}

TEST_F(WordsTest, PercentLines) {
  m_wordSeen = 0;
  EXPECT_EQ(WORDS_SKIP_LINE, Read("%"));
  EXPECT_EQ(0, m_wordSeen);
  EXPECT_EQ(WORDS_READ, Read("G1 X1"));
  EXPECT_EQ(1, m_wordSeen);
  EXPECT_EQ(WORDS_PROGRAM_END, Read("%"));
  EXPECT_EQ(WORDS_PROGRAM_END, Read("G1 X1%"));
}

TEST_F(WordsTest, GroupTables) {
  EXPECT_EQ(GROUP_NON_MODAL, GCodeGroupTable[G_100]);
  EXPECT_EQ(GROUP_MOTION, GCodeGroupTable[G_85]);
  EXPECT_EQ(GROUP_COORD_SYSTEM, GCodeGroupTable[592]);
  EXPECT_EQ(GROUP_PATH_CONTROL, GCodeGroupTable[G_61_1]);
  EXPECT_EQ(-1, GCodeGroupTable[50]);
  EXPECT_EQ(-1, GCodeGroupTable[381]);
  EXPECT_EQ(MGROUP_USER, MCodeGroupTable[215]);
  EXPECT_EQ(-1, MCodeGroupTable[116]);
  EXPECT_EQ(MGROUP_OVERRIDE, MCodeGroupTable[49]);
}

TEST_F(WordsTest, BlockChecks) {
  struct Case {
    int motionMode;
    int distanceMode;
    const char* line;
    int status;
    int motionToBe;
  } cases[] = {
      {G_1, 0, "X10", 0, G_1},
      {-1, 0, "X10", NCE_CANNOT_USE_AXIS_VALUES_WITHOUT_A_G_CODE_THAT_USES_THEM, -1},
      {G_80, 0, "X10", NCE_CANNOT_USE_AXIS_VALUES_WITHOUT_A_G_CODE_THAT_USES_THEM, -1},
      {-1, 0, "G80 X10", NCE_CANNOT_USE_AXIS_VALUES_WITH_G80, G_80},
      {-1, 0, "G92", NCE_ALL_AXES_MISSING_WITH_G92, -1},
      {-1, 0, "G92 X0", 0, -1},
      {-1, 0, "G80 G92", NCE_ALL_AXES_MISSING_WITH_G92, G_80},
      {-1, 0, "G1 G28 X0", NCE_CANNOT_USE_TWO_G_CODES_THAT_BOTH_USE_AXIS_VALUES, G_1},
      {-1, 0, "G1", NCE_ALL_AXES_MISSING_WITH_MOTION_CODE, G_1},
      {G_80, 0, "G100 Y5", 0, G_80},
      {G_1, 0, "G100 P2 Y5", 0, G_1},
      {-1, 0, "G1 X1 I1", NCE_I_WORD_WITH_NO_G2_OR_G3_OR_G87_TO_USE_IT, G_1},
      {-1, 0, "G1 X1 J1", NCE_J_WORD_WITH_NO_G2_OR_G3_OR_G87_TO_USE_IT, G_1},
      {-1, 0, "G1 X1 K1", NCE_K_WORD_WITH_NO_G2_OR_G3_OR_G87_TO_USE_IT, G_1},
      {-1, 0, "G2 X1 I1", 0, G_2},
      {-1, 0, "G81 X1 Z-1 R1 L2", 0, G_81},
      {-1, 0, "G1 X1 L2", NCE_L_WORD_WITH_NO_CANNED_CYCLE_OR_G10, G_1},
      {-1, 0, "G82 X1 Z-1 R1 P1", 0, G_82},
      {-1, 0, "G1 X1 P1", NCE_P_WORD_WITH_NO_G4_G10_G82_G86_G88_G89, G_1},
      {-1, 0, "G100 P1", 0, -1},
      {-1, 0, "G4 P1", 0, -1},
      {-1, 0, "G4", NCE_DWELL_TIME_MISSING_WITH_G4, -1},
      {-1, 0, "M3 M8 M48 M6 M0", NCE_TOO_MANY_M_CODES_ON_LINE, -1},
      {-1, 0, "G10 L2 P0", NCE_P_VALUE_OUT_OF_RANGE_WITH_G10_L2, -1},
      {-1, 0, "G10 L2 P1.5", NCE_P_VALUE_NOT_AN_INTEGER_WITH_G10_L2, -1},
      {-1, 0, "G10 L1 P1", NCE_LINE_WITH_G10_DOES_NOT_HAVE_L2, -1},
      {-1, 0, "G10 L2 P1", 0, -1},
      {-1, 0, "G53 G2 X1 I1", NCE_MUST_USE_G0_OR_G1_WITH_G53, G_2},
      {-1, 1, "G53 G0 X1", NCE_CANNOT_USE_G53_INCREMENTAL, G_0},
      {-1, 1, "G53 G90 G0 X1", 0, G_0},
      {-1, 0, "G53 G91 G0 X1", NCE_CANNOT_USE_G53_INCREMENTAL, G_0},
      {-1, 0, "G81 A1 X1 Z-1 R1", NCE_CANNOT_PUT_AN_A_IN_CANNED_CYCLE, G_81},
      {-1, 0, "G81 B1 X1 Z-1 R1", NCE_CANNOT_PUT_A_B_IN_CANNED_CYCLE, G_81},
      {-1, 0, "G81 C1 X1 Z-1 R1", NCE_CANNOT_PUT_A_C_IN_CANNED_CYCLE, G_81},
      {-1, 0, "D1", NCE_D_WORD_WITH_NO_G41_OR_G42, -1},
      {-1, 0, "G100 D1", 0, -1},
      {-1, 0, "H1", NCE_H_WORD_WITH_NO_G43, -1},
      {-1, 0, "G1 X1 Q1", NCE_Q_WORD_WITH_NO_G83, G_1},
      {-1, 0, "G83 X1 Z-1 R1 Q1", 0, G_83},
      {-1, 0, "G1 X1 R1", NCE_R_WORD_WITH_NO_G_CODE_THAT_USES_IT, G_1},
      {-1, 0, "G3 X1 R1", 0, G_3},
      {-1, 0, "G61", NCE_OK, -1},
  };
  for (const Case& c : cases) {
    m_setup->motion_mode = c.motionMode;
    m_setup->distance_mode = c.distanceMode;
    EXPECT_EQ(c.status, Check(c.line)) << c.line;
    EXPECT_EQ(c.motionToBe, m_setup->block.motion_to_be) << c.line;
  }
}

}  // namespace
