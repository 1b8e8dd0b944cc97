// The word loop of the G-code line reader: letters, values and the modal group tables.
// Errors in words never stop the load; they become items of the line's report, and the
// loop stops reading the line at the first one.
#include <cmath>
#include <cstring>

#include "nc/interp/interp.h"
#include "nc/interp/nc_errors.h"

namespace {

struct Tables {
  std::array<signed char, kGCodeTableSize> g;
  std::array<signed char, kMCodeTableSize> m;
};

constexpr Tables make_tables() {
  Tables t{};
  for (auto& v : t.g) v = -1;
  for (auto& v : t.m) v = -1;
  const int non_modal[] = {G_4, G_10, G_28, G_30, G_53, G_92, G_92_1, G_92_2, G_92_3, G_100};
  for (int code : non_modal) t.g[code] = GROUP_NON_MODAL;
  const int motion[] = {G_0, G_1, G_2, G_3, G_38_2, G_80};
  for (int code : motion) t.g[code] = GROUP_MOTION;
  for (int code = G_81; code <= G_89; code += 10) t.g[code] = GROUP_MOTION;
  t.g[G_17] = t.g[G_18] = t.g[G_19] = GROUP_PLANE;
  t.g[G_90] = t.g[G_91] = GROUP_DISTANCE;
  t.g[G_93] = t.g[G_94] = GROUP_FEED_MODE;
  t.g[G_20] = t.g[G_21] = GROUP_UNITS;
  t.g[G_40] = t.g[G_41] = t.g[G_42] = GROUP_CUTTER_COMP;
  t.g[G_43] = t.g[G_49] = GROUP_TOOL_LENGTH;
  t.g[G_98] = t.g[G_99] = GROUP_RETRACT;
  for (int code = G_54; code <= 590; code += 10) t.g[code] = GROUP_COORD_SYSTEM;
  t.g[591] = t.g[592] = t.g[G_59_3] = GROUP_COORD_SYSTEM;
  t.g[G_61] = t.g[G_61_1] = t.g[G_64] = GROUP_PATH_CONTROL;

  for (int code = 101; code <= 115; ++code) t.m[code] = MGROUP_USER;
  for (int code = 201; code <= 215; ++code) t.m[code] = MGROUP_USER;
  t.m[0] = t.m[1] = t.m[2] = t.m[30] = t.m[60] = MGROUP_STOP;
  t.m[6] = MGROUP_TOOL_CHANGE;
  t.m[3] = t.m[4] = t.m[5] = MGROUP_SPINDLE;
  t.m[7] = t.m[8] = t.m[9] = MGROUP_COOLANT;
  t.m[48] = t.m[49] = MGROUP_OVERRIDE;
  return t;
}

constexpr Tables kTables = make_tables();

// The word letters, lowered ("e" is not one).
bool is_word_letter(char c) { return (c >= 'a' && c <= 'z' && c != 'e') || c == '/' || c == '%' || c == '#'; }

char upper(char c) { return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c; }

void add_to_list(CString& list, const char* item) {
  if (!list.IsEmpty()) list += ',';
  list += item;
}

CString make_item(const char* word, int code) {
  CString item;
  item.Format("<%s>%s", word, (const char*)GetNCErrorText(code));
  return item;
}

// An axis-like word with a flag: the flag already set is the "multiple" error.
int store_flagged(int& flag, double& value, double v, int multiple) {
  if (flag) return multiple;
  flag = 1;
  value = v;
  return NCE_OK;
}

}  // namespace

const std::array<signed char, kGCodeTableSize> GCodeGroupTable = kTables.g;
const std::array<signed char, kMCodeTableSize> MCodeGroupTable = kTables.m;

void LineReport::AddError(const char* item) { add_to_list(errors, item); }

namespace {

// A G or M code: the table of its groups and the errors of its kind.
struct ModalWord {
  int table_size;
  const signed char* groups;
  int negative;
  int out_of_range;
  int same_group;
};

const ModalWord kGWords = {kGCodeTableSize, GCodeGroupTable.data(), NCE_NEGATIVE_G_CODE_USED, NCE_G_CODE_OUT_OF_RANGE,
                           NCE_TWO_G_CODES_USED_FROM_SAME_MODAL_GROUP};
const ModalWord kMWords = {kMCodeTableSize, MCodeGroupTable.data(), NCE_NEGATIVE_M_CODE_USED,
                           NCE_M_CODE_GREATER_THAN_199, NCE_TWO_M_CODES_USED_FROM_SAME_MODAL_GROUP};

// Code n (G x 10, or M) into the slot of its group; a code of no group goes to the
// unknown list. *stored tells whether a slot took it.
int store_modal(const ModalWord& kind, int n, int* slots, CString& unknown, const char* text, int pos, bool* stored) {
  *stored = false;
  if (n < 0) return kind.negative;
  if (n >= kind.table_size) return kind.out_of_range;
  const int group = kind.groups[n];
  if (group < 0) {
    add_to_list(unknown, word_text(text, pos));
    return NCE_OK;
  }
  if (slots[group] != -1) return kind.same_group;
  slots[group] = n;
  *stored = true;
  return NCE_OK;
}

}  // namespace

CString word_text(const char* text, int pos) {
  int next = pos + 1;
  while (text[next] && !is_word_letter(text[next])) ++next;
  CString W(text + pos, next - pos);
  W.MakeUpper();
  return W;
}

int store_word(InterpreterBlock& block, const char* text, int pos, double v, LineReport& report) {
  const char letter = text[pos];
  // An expression may overflow (exp[1000]); no word takes an infinite value.
  if (!std::isfinite(v)) return NCE_BAD_NUMBER_FORMAT;
  switch (letter) {
    case 'g': {
      bool stored;
      return store_modal(kGWords, interp_trunc(v * 10.0), block.g_modes, report.unknown_g, text, pos, &stored);
    }
    case 'm': {
      bool stored;
      int status = store_modal(kMWords, interp_trunc(v), block.m_modes, report.unknown_m, text, pos, &stored);
      if (stored) ++block.m_count;
      return status;
    }
    case 'x': return store_flagged(block.x_flag, block.x_value, v, NCE_MULTIPLE_X_WORDS_ON_ONE_LINE);
    case 'y': return store_flagged(block.y_flag, block.y_value, v, NCE_MULTIPLE_Y_WORDS_ON_ONE_LINE);
    case 'z': return store_flagged(block.z_flag, block.z_value, v, NCE_MULTIPLE_Z_WORDS_ON_ONE_LINE);
    case 'a': return store_flagged(block.a_flag, block.a_value, v, NCE_MULTIPLE_A_WORDS_ON_ONE_LINE);
    case 'b': return store_flagged(block.b_flag, block.b_value, v, NCE_MULTIPLE_B_WORDS_ON_ONE_LINE);
    case 'c': return store_flagged(block.c_flag, block.c_value, v, NCE_MULTIPLE_C_WORDS_ON_ONE_LINE);
    case 'i': return store_flagged(block.i_flag, block.i_value, v, NCE_MULTIPLE_I_WORDS_ON_ONE_LINE);
    case 'j': return store_flagged(block.j_flag, block.j_value, v, NCE_MULTIPLE_J_WORDS_ON_ONE_LINE);
    case 'k': return store_flagged(block.k_flag, block.k_value, v, NCE_MULTIPLE_K_WORDS_ON_ONE_LINE);
    case 'r': return store_flagged(block.r_flag, block.r_value, v, NCE_MULTIPLE_R_WORDS_ON_ONE_LINE);
    case 'f':
      if (block.f_number > -1.0) return NCE_MULTIPLE_F_WORDS_ON_ONE_LINE;
      if (v < 0.0) return NCE_NEGATIVE_F_WORD_USED;
      block.f_number = v;
      return NCE_OK;
    case 's':
      if (block.s_number > -1.0) return NCE_MULTIPLE_S_WORDS_ON_ONE_LINE;
      if (v < 0.0) return NCE_NEGATIVE_SPINDLE_SPEED_USED;
      block.s_number = v;
      return NCE_OK;
    case 't':
      if (block.t_number != -1) return NCE_MULTIPLE_T_WORDS_ON_ONE_LINE;
      if (v < 0.0) return NCE_NEGATIVE_TOOL_ID_USED;
      block.t_number = interp_trunc(v);
      return block.t_number == 0 ? NCE_UNKNOWN_WORD_STARTING_WITH_T : NCE_OK;
    case 'p':
      if (block.p_number > -1.0) return NCE_MULTIPLE_P_WORDS_ON_ONE_LINE;
      if (v < 0.0) return NCE_NEGATIVE_P_WORD_USED;
      block.p_number = v;
      return NCE_OK;
    case 'd':
      if (block.d_number != -1) return NCE_MULTIPLE_D_WORDS_ON_ONE_LINE;
      block.d_number = interp_trunc(v);
      return NCE_OK;
    case 'n': block.n_number = interp_trunc(v); return NCE_OK;
    case 'h':
      if (block.h_number != -1) return NCE_MULTIPLE_H_WORDS_ON_ONE_LINE;
      if (v < 0.0) return NCE_NEGATIVE_H_WORD_USED;
      block.h_number = interp_trunc(v);
      return NCE_OK;
    case 'l':
      if (block.l_number != -1) return NCE_MULTIPLE_L_WORDS_ON_ONE_LINE;
      if (v < 0.0) return NCE_NEGATIVE_L_WORD_USED;
      block.l_number = interp_trunc(v);
      return NCE_OK;
    case 'q':
      if (block.q_number > -1.0) return NCE_MULTIPLE_Q_WORDS_ON_ONE_LINE;
      if (v < 0.0) return NCE_NEGATIVE_OR_ZERO_Q_VALUE_USED;
      block.q_number = v;
      return NCE_OK;
    case 'o':
    case 'u':
    case 'v':
    case 'w': add_to_list(report.bad_chars, CString(upper(letter))); return NCE_OK;
    default:  // '#', '/', '%'
      return NCE_OK;
  }
}

WordLoopResult read_words(InterpreterSetup& setup, const char* text, int& wordSeen, const CString& loadReport,
                          LineReport& report) {
  InterpreterBlock& block = setup.block;
  int pos = 0;
  while (text[pos]) {
    if (text[pos] == '%' && text[pos + 1] == '\0') return wordSeen ? WORDS_PROGRAM_END : WORDS_SKIP_LINE;
    wordSeen = 1;
    const char letter = text[pos];
    if (!is_word_letter(letter)) {
      add_to_list(report.bad_chars, CString(upper(letter)));
      ++pos;
      continue;
    }
    int end = pos;
    int status;
    double v = 0.0;
    if (letter == '#') {
      status = read_parameter_setting(setup, text, &end);
    } else {
      end = pos + 1;
      status = read_real_value(setup, text, &end, &v);
    }
    if (status) {
      CString item = make_item(CString(upper(letter)), status);
      if (loadReport.Find(item) < 0) report.AddError(item);
      return WORDS_READ;
    }
    status = store_word(block, text, pos, v, report);
    if (status) {
      CString item = make_item(word_text(text, pos), status);
      if (loadReport.Find(item) < 0) report.AddError(item);
      return WORDS_READ;
    }
    if (!report.unknown_g.IsEmpty() || !report.unknown_m.IsEmpty() || !report.bad_chars.IsEmpty()) return WORDS_READ;
    pos = end;
  }
  return WORDS_READ;
}
