// Block checks: run after a line is read and before it is executed. They settle the
// motion the block will execute and decide what the user is told; the block is executed
// whatever they report.
#include "nc/interp/interp.h"
#include "nc/interp/nc_errors.h"

namespace {

bool has_axis_word(const InterpreterBlock& block) {
  return block.x_flag || block.y_flag || block.z_flag || block.a_flag || block.b_flag || block.c_flag;
}

// The non-modal codes that take the axis words for themselves.
bool is_axis_user(int code) { return code == G_10 || code == G_28 || code == G_30 || code == G_92; }

bool uses_ijk(int motion) { return motion == G_2 || motion == G_3 || motion == G_87; }

}  // namespace

int verify_block_items(InterpreterSetup& setup, InterpreterBlock& block) {
  const int motion = block.g_modes[GROUP_MOTION];
  const int non_modal = block.g_modes[GROUP_NON_MODAL];
  const bool axes = has_axis_word(block);
  int status = NCE_OK;
  if (motion == -1) {
    if (is_axis_user(non_modal)) {
      if (non_modal == G_92 && !axes) status = NCE_ALL_AXES_MISSING_WITH_G92;
    } else if (axes) {
      if ((setup.motion_mode != -1 && setup.motion_mode != G_80) || non_modal == G_100)
        block.motion_to_be = setup.motion_mode;
      else
        status = NCE_CANNOT_USE_AXIS_VALUES_WITHOUT_A_G_CODE_THAT_USES_THEM;
    }
  } else if (motion == G_80) {
    block.motion_to_be = G_80;
    if (axes && !is_axis_user(non_modal))
      status = NCE_CANNOT_USE_AXIS_VALUES_WITH_G80;
    else if (non_modal == G_92 && !axes)
      status = NCE_ALL_AXES_MISSING_WITH_G92;
  } else {
    block.motion_to_be = motion;
    if (is_axis_user(non_modal))
      status = NCE_CANNOT_USE_TWO_G_CODES_THAT_BOTH_USE_AXIS_VALUES;
    else if (!axes)
      status = NCE_ALL_AXES_MISSING_WITH_MOTION_CODE;
  }
  if (status) return status;
  if ((status = verify_g_codes(setup, block))) return status;
  if ((status = verify_m_codes(block))) return status;
  return verify_other_codes(block);
}

int verify_g_codes(const InterpreterSetup& setup, const InterpreterBlock& block) {
  switch (block.g_modes[GROUP_NON_MODAL]) {
    case G_4:
      if (block.p_number <= -1.0) return NCE_DWELL_TIME_MISSING_WITH_G4;
      break;
    case G_10: {
      if (block.l_number != 2) return NCE_LINE_WITH_G10_DOES_NOT_HAVE_L2;
      double p = block.p_number + 0.0001;
      int n = interp_trunc(p);
      if (p - n > 0.0002) return NCE_P_VALUE_NOT_AN_INTEGER_WITH_G10_L2;
      if (n < 1 || n > 9) return NCE_P_VALUE_OUT_OF_RANGE_WITH_G10_L2;
      break;
    }
    case G_53:
      if (block.motion_to_be != G_0 && block.motion_to_be != G_1) return NCE_MUST_USE_G0_OR_G1_WITH_G53;
      if (block.g_modes[GROUP_DISTANCE] == G_91 || (block.g_modes[GROUP_DISTANCE] != G_90 && setup.distance_mode == 1))
        return NCE_CANNOT_USE_G53_INCREMENTAL;
      break;
    case -1:
    case G_28:
    case G_30:
    case G_92:
    case G_92_1:
    case G_92_2:
    case G_92_3:
    case G_100: break;
    default: return NCE_BUG_BAD_G_CODE_MODAL_GROUP_0;
  }
  return NCE_OK;
}

int verify_m_codes(const InterpreterBlock& block) { return block.m_count >= 5 ? NCE_TOO_MANY_M_CODES_ON_LINE : NCE_OK; }

int verify_other_codes(const InterpreterBlock& block) {
  const int motion = block.g_modes[GROUP_MOTION];
  const int non_modal = block.g_modes[GROUP_NON_MODAL];
  const int mt = block.motion_to_be;
  if (is_canned_cycle(motion)) {
    if (block.a_flag) return NCE_CANNOT_PUT_AN_A_IN_CANNED_CYCLE;
    if (block.b_flag) return NCE_CANNOT_PUT_A_B_IN_CANNED_CYCLE;
    if (block.c_flag) return NCE_CANNOT_PUT_A_C_IN_CANNED_CYCLE;
  }
  if (block.d_number != -1 && block.g_modes[GROUP_CUTTER_COMP] != G_41 && block.g_modes[GROUP_CUTTER_COMP] != G_42 &&
      non_modal != G_100)
    return NCE_D_WORD_WITH_NO_G41_OR_G42;
  if (block.h_number != -1 && block.g_modes[GROUP_TOOL_LENGTH] != G_43) return NCE_H_WORD_WITH_NO_G43;
  if (block.i_flag && !uses_ijk(mt)) return NCE_I_WORD_WITH_NO_G2_OR_G3_OR_G87_TO_USE_IT;
  if (block.j_flag && !uses_ijk(mt)) return NCE_J_WORD_WITH_NO_G2_OR_G3_OR_G87_TO_USE_IT;
  if (block.k_flag && !uses_ijk(mt)) return NCE_K_WORD_WITH_NO_G2_OR_G3_OR_G87_TO_USE_IT;
  if (block.l_number != -1 && !is_canned_cycle(mt) && non_modal != G_10) return NCE_L_WORD_WITH_NO_CANNED_CYCLE_OR_G10;
  if (block.p_number > -1.0 && non_modal != G_4 && non_modal != G_10 && non_modal != G_100 && mt != G_82 &&
      mt != G_86 && mt != G_88 && mt != G_89)
    return NCE_P_WORD_WITH_NO_G4_G10_G82_G86_G88_G89;
  if (block.q_number > -1.0 && mt != G_83) return NCE_Q_WORD_WITH_NO_G83;
  if (block.r_flag && mt != G_2 && mt != G_3 && !is_canned_cycle(mt)) return NCE_R_WORD_WITH_NO_G_CODE_THAT_USES_IT;
  return NCE_OK;
}
