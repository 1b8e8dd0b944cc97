// The G-code interpreter's families, one file each: the block checks, the o-word control,
// the word storing of the line reader, the block executor and the canned cycles. The
// word values themselves are read by interp_read.h. Every function returns 0 or an NC
// error code (nc_errors.h); NCE_EXIT asks the loader to stop.
#pragma once

#include <array>

#include "nc/interp/interp_read.h"
#include "nc/interp/interp_setup.h"

// G codes as stored in a block (the G number x 10).
enum GCode {
  G_0 = 0,
  G_1 = 10,
  G_2 = 20,
  G_3 = 30,
  G_4 = 40,
  G_10 = 100,
  G_17 = 170,
  G_18 = 180,
  G_19 = 190,
  G_20 = 200,
  G_21 = 210,
  G_28 = 280,
  G_30 = 300,
  G_38_2 = 382,
  G_40 = 400,
  G_41 = 410,
  G_42 = 420,
  G_43 = 430,
  G_49 = 490,
  G_53 = 530,
  G_54 = 540,
  G_59_3 = 593,
  G_61 = 610,
  G_61_1 = 611,
  G_64 = 640,
  G_80 = 800,
  G_81 = 810,
  G_82 = 820,
  G_83 = 830,
  G_84 = 840,
  G_85 = 850,
  G_86 = 860,
  G_87 = 870,
  G_88 = 880,
  G_89 = 890,
  G_90 = 900,
  G_91 = 910,
  G_92 = 920,
  G_92_1 = 921,
  G_92_2 = 922,
  G_92_3 = 923,
  G_93 = 930,
  G_94 = 940,
  G_98 = 980,
  G_99 = 990,
  G_100 = 1000,
};

constexpr int kGCodeTableSize = 1020;  // G numbers x 10 below this
constexpr int kMCodeTableSize = 300;

// Modal group of each G code x 10 and of each M code; -1 for codes this system does not know.
extern const std::array<signed char, kGCodeTableSize> GCodeGroupTable;
extern const std::array<signed char, kMCodeTableSize> MCodeGroupTable;

inline bool is_canned_cycle(int motion) { return motion >= G_81 && motion <= G_89; }

// Block checks: settle the block's motion to be and report what the user must be told.
int verify_block_items(InterpreterSetup& setup, InterpreterBlock& block);
int verify_g_codes(const InterpreterSetup& setup, const InterpreterBlock& block);
int verify_m_codes(const InterpreterBlock& block);
int verify_other_codes(const InterpreterBlock& block);

// O-word control.
int read_o(InterpreterSetup& setup, InterpreterBlock& block, const char* line, int* counter);
int convert_control_functions(InterpreterBlock& block, InterpreterSetup& setup);
int control_save_offset(InterpreterBlock& block, InterpreterSetup& setup);
int control_find_oword(const InterpreterBlock& block, const InterpreterSetup& setup, int* index);
int control_back_to(InterpreterBlock& block, InterpreterSetup& setup);
// Looks for file below folder, depth first; 0 with the full path (at most 260
// characters) or NCE_FILE_NOT_OPEN.
int FindFileInFolder(const char* folder, const char* file, CString* path);
// True while the control skips lines: towards a label, or over a subroutine definition.
inline bool interp_skipping(const InterpreterSetup& setup) {
  return setup.skipping_o != nullptr || setup.defining_sub == 1;
}

// The word loop of the line reader.
// What a line collects for its report line: error items and the lists of unknown G and
// M codes and bad characters, each joined by ",".
struct LineReport {
  CString errors;
  CString unknown_g;
  CString unknown_m;
  CString bad_chars;
  void AddError(const char* item);
};
enum WordLoopResult {
  WORDS_READ,         // the block holds the line's words
  WORDS_PROGRAM_END,  // a "%" after the program's first word: the load ends here
  WORDS_SKIP_LINE,    // a leading "%" line: passed over
};
// Reads the words of a prepared line (comments cut, blanks removed, lowered) into the
// setup's block. wordSeen is the program's word-seen flag; an item already in loadReport
// is not added again.
WordLoopResult read_words(InterpreterSetup& setup, const char* text, int& wordSeen, const CString& loadReport,
                          LineReport& report);
// Stores the word at text[pos] with its value v.
int store_word(InterpreterBlock& block, const char* text, int pos, double v, LineReport& report);
// The word at text[pos] as messages name it: up to the next word letter, upper-cased.
CString word_text(const char* text, int pos);
