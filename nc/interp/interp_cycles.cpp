// Canned cycles G81..G89, expanded at read time into rapids, feeds, dwell tags and
// spindle tags.
//
// A cycle works in the current plane with a first and a second axis (where the hole is)
// and a depth axis (along which it drills):
//
//   plane   first  second  depth
//   XY      X      Y       Z
//   YZ      Y      Z       X
//   XZ      Z      X       Y
//
// Along the depth axis there are three levels: the clearance (where the tool returns
// between holes: the old level with G98, the R level with G99), the R level (where
// feeding starts) and the bottom. Every value arrives in millimetres. All words are
// checked before the first move is appended, and the cycle leaves the program's current
// point where its last move ends, so the next move starts where the tool is.
#include <cmath>

#include "nc/interp/interp_exec.h"
#include "nc/interp/nc_errors.h"

namespace {

// A cycle block may expand to this many moves at most (holes times moves per hole);
// beyond that it is refused as too long rather than run for minutes.
constexpr double kMaxCycleMoves = 1e6;
// The peck drill's back-off above the last peck (0.01 inch).
constexpr double kPeckClearance_mm = 0.254;
constexpr double kSameCoordinate_mm = 1e-12;  // a coordinate that moves less does not move

struct CyclePlane {
  int a, b, c;  // axis indices (0 X, 1 Y, 2 Z): first, second, depth
  int depth_missing;
  int r_below_bottom;
};

constexpr CyclePlane kCycleXY = {0, 1, 2, NCE_Z_VALUE_UNSPECIFIED_IN_XY_PLANE_CANNED_CYCLE,
                                 NCE_R_LESS_THAN_Z_IN_CYCLE_IN_XY_PLANE};
constexpr CyclePlane kCycleYZ = {1, 2, 0, NCE_X_VALUE_UNSPECIFIED_IN_YZ_PLANE_CANNED_CYCLE,
                                 NCE_R_LESS_THAN_X_IN_CYCLE_IN_YZ_PLANE};
constexpr CyclePlane kCycleXZ = {2, 0, 1, NCE_Y_VALUE_UNSPECIFIED_IN_XZ_PLANE_CANNED_CYCLE,
                                 NCE_R_LESS_THAN_Y_IN_CYCLE_IN_XZ_PLANE};

double& axis(Vec3& p, int i) { return i == 0 ? p.x : i == 1 ? p.y : p.z; }

// The block's word of an axis (X, Y, Z) and its centre word (I, J, K).
bool has_word(const InterpreterBlock& b, int i) { return i == 0 ? b.x_flag : i == 1 ? b.y_flag : b.z_flag; }
double word(const InterpreterBlock& b, int i) { return i == 0 ? b.x_value : i == 1 ? b.y_value : b.z_value; }
bool has_centre_word(const InterpreterBlock& b, int i) { return i == 0 ? b.i_flag : i == 1 ? b.j_flag : b.k_flag; }
double centre_word(const InterpreterBlock& b, int i) { return i == 0 ? b.i_value : i == 1 ? b.j_value : b.k_value; }

Vec3 current(const InterpreterSetup& s) { return Vec3(s.current_x, s.current_y, s.current_z); }

// One hole's worth of context for the per-code moves.
struct Hole {
  CNCReadContext& program;
  InterpreterSetup& setup;
  const CyclePlane& plane;
  double a, b;  // the hole
  double r_level, bottom, clearance;
  double dwell_s;       // P
  double peck;          // Q
  double off_a, off_b;  // G87: offset of the back-boring entry from the hole
  double middle;        // G87: level to feed up to
};

int emit_cycle_move(WORD code, Hole& h, double a, double b, double c) {
  Vec3 point;
  axis(point, h.plane.a) = a;
  axis(point, h.plane.b) = b;
  axis(point, h.plane.c) = c;
  Vec3 from = current(h.setup);
  BYTE axes = 0;
  if (std::fabs(point.x - from.x) > kSameCoordinate_mm) axes |= kAxisX;
  if (std::fabs(point.y - from.y) > kSameCoordinate_mm) axes |= kAxisY;
  if (std::fabs(point.z - from.z) > kSameCoordinate_mm) axes |= kAxisZ;
  if (!axes) return NCE_OK;
  if (!h.program.AddLine(code, axes, point)) return NCE_EXIT;  // the adder stopped the load
  h.setup.current_x = point.x;
  h.setup.current_y = point.y;
  h.setup.current_z = point.z;
  h.program.State().m_vLastPoint = point;
  return NCE_OK;
}

int emit_cycle_traverse(Hole& h, double a, double b, double c) { return emit_cycle_move(kCodeRapid, h, a, b, c); }
int emit_cycle_feed(Hole& h, double a, double b, double c) { return emit_cycle_move(kCodeFeed, h, a, b, c); }

void dwell(Hole& h) { h.program.AddTag("ZW", h.dwell_s * 1000.0); }

// An "M" tag of a cycle, and the spindle state it sets.
void spindle(Hole& h, int m) {
  h.program.AddTag("M", m);
  h.setup.spindle_turning = m == 5 ? 1 : m == 3 ? 2 : 3;
}

// Restarts the spindle the way it turned before the cycle stopped it.
int restart_code(int turning) { return turning == 2 ? 3 : 4; }

#define EMIT(call)               \
  do {                           \
    int status_ = (call);        \
    if (status_) return status_; \
  } while (0)

int emit_cycle_g81(Hole& h) {
  EMIT(emit_cycle_feed(h, h.a, h.b, h.bottom));
  return emit_cycle_traverse(h, h.a, h.b, h.clearance);
}

int emit_cycle_g82(Hole& h) {
  EMIT(emit_cycle_feed(h, h.a, h.b, h.bottom));
  dwell(h);
  return emit_cycle_traverse(h, h.a, h.b, h.clearance);
}

// max_pecks bounds the loop where the peck is too small to move d.
int emit_cycle_g83(Hole& h, double max_pecks) {
  int n = 0;
  for (double d = h.r_level - h.peck; d > h.bottom && n < max_pecks; d -= h.peck, ++n) {
    EMIT(emit_cycle_feed(h, h.a, h.b, d));
    EMIT(emit_cycle_traverse(h, h.a, h.b, h.clearance));
    EMIT(emit_cycle_traverse(h, h.a, h.b, d + kPeckClearance_mm));
  }
  EMIT(emit_cycle_feed(h, h.a, h.b, h.bottom));
  return emit_cycle_traverse(h, h.a, h.b, h.clearance);
}

int emit_cycle_g84(Hole& h) {
  EMIT(emit_cycle_feed(h, h.a, h.b, h.bottom));
  spindle(h, 5);
  spindle(h, 4);
  EMIT(emit_cycle_feed(h, h.a, h.b, h.clearance));
  spindle(h, 5);
  spindle(h, 3);
  return NCE_OK;
}

int emit_cycle_g85(Hole& h) {
  EMIT(emit_cycle_feed(h, h.a, h.b, h.bottom));
  return emit_cycle_feed(h, h.a, h.b, h.clearance);
}

int emit_cycle_g86(Hole& h) {
  const int turning = h.setup.spindle_turning;
  EMIT(emit_cycle_feed(h, h.a, h.b, h.bottom));
  dwell(h);
  spindle(h, 5);
  EMIT(emit_cycle_traverse(h, h.a, h.b, h.clearance));
  spindle(h, restart_code(turning));
  return NCE_OK;
}

int emit_cycle_g87(Hole& h) {
  const int turning = h.setup.spindle_turning;
  const double oa = h.a + h.off_a, ob = h.b + h.off_b;
  EMIT(emit_cycle_traverse(h, oa, ob, h.r_level));
  spindle(h, 5);
  EMIT(emit_cycle_traverse(h, oa, ob, h.bottom));
  EMIT(emit_cycle_traverse(h, h.a, h.b, h.bottom));
  spindle(h, restart_code(turning));
  EMIT(emit_cycle_feed(h, h.a, h.b, h.middle));
  EMIT(emit_cycle_feed(h, h.a, h.b, h.bottom));
  spindle(h, 5);
  EMIT(emit_cycle_traverse(h, oa, ob, h.bottom));
  EMIT(emit_cycle_traverse(h, oa, ob, h.clearance));
  EMIT(emit_cycle_traverse(h, h.a, h.b, h.clearance));
  spindle(h, restart_code(turning));
  return NCE_OK;
}

// The operator takes the tool out of the hole by hand during the program stop ("M" 0).
// The path must still know where the tool is afterwards: the retract to the clearance
// follows the stop, so the next move does not start at the bottom of the hole.
int emit_cycle_g88(Hole& h) {
  const int turning = h.setup.spindle_turning;
  EMIT(emit_cycle_feed(h, h.a, h.b, h.bottom));
  dwell(h);
  spindle(h, 5);
  h.program.AddTag("M", 0);
  EMIT(emit_cycle_traverse(h, h.a, h.b, h.clearance));
  spindle(h, restart_code(turning));
  return NCE_OK;
}

int emit_cycle_g89(Hole& h) {
  EMIT(emit_cycle_feed(h, h.a, h.b, h.bottom));
  dwell(h);
  return emit_cycle_feed(h, h.a, h.b, h.clearance);
}

// The error of a dwell cycle without its P word.
int dwell_missing(int motion) {
  switch (motion) {
    case G_82: return NCE_DWELL_TIME_P_WORD_MISSING_WITH_G82;
    case G_86: return NCE_DWELL_TIME_P_WORD_MISSING_WITH_G86;
    case G_88: return NCE_DWELL_TIME_P_WORD_MISSING_WITH_G88;
    default: return NCE_DWELL_TIME_P_WORD_MISSING_WITH_G89;
  }
}

// A word of the block, else the value remembered from the last cycle when this block
// repeats it (same code as the motion mode), else the error.
int word_or_remembered(bool present, double value, double remembered, bool repeating, int missing, double* out) {
  if (present)
    *out = value;
  else if (repeating)
    *out = remembered;
  else
    return missing;
  return NCE_OK;
}

int emit_cycle(CNCReadContext& program, InterpreterSetup& setup, int motion, InterpreterBlock& block,
               const CyclePlane& pl, double r, int repeats) {
  const bool repeating = motion == setup.motion_mode;
  Vec3 cur = current(setup);
  double depth = 0.0;
  EMIT(word_or_remembered(has_word(block, pl.c), word(block, pl.c), setup.cycle_cc, repeating, pl.depth_missing,
                          &depth));
  double old = axis(cur, pl.c);
  double step_a = 0.0, step_b = 0.0;
  double hole_a = axis(cur, pl.a), hole_b = axis(cur, pl.b);
  double r_level, bottom;
  if (setup.distance_mode == 1) {
    if (has_word(block, pl.a)) step_a = word(block, pl.a);
    if (has_word(block, pl.b)) step_b = word(block, pl.b);
    r_level = old + r;
    bottom = r_level + depth;
  } else if (setup.distance_mode == 0) {
    r_level = r;
    bottom = depth;
    if (has_word(block, pl.a)) hole_a = word(block, pl.a);
    if (has_word(block, pl.b)) hole_b = word(block, pl.b);
  } else {
    return NCE_BUG_DISTANCE_MODE_NOT_G90_OR_G91;
  }
  if (r_level < bottom) return pl.r_below_bottom;

  Hole h{program, setup, pl, hole_a, hole_b, r_level, bottom, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  double moves_per_hole = 12.0;
  switch (motion) {
    case G_81:
    case G_85: break;
    case G_82:
    case G_86:
    case G_88:
    case G_89:
      EMIT(word_or_remembered(block.p_number > -1.0, block.p_number, setup.cycle_p, repeating, dwell_missing(motion),
                              &h.dwell_s));
      break;
    case G_83:
      EMIT(word_or_remembered(block.q_number > -1.0, block.q_number, setup.cycle_q, repeating,
                              NCE_Q_WORD_MISSING_WITH_G83, &h.peck));
      // A peck of zero would never reach the bottom.
      if (!(h.peck > 0.0)) return NCE_NEGATIVE_OR_ZERO_Q_VALUE_USED;
      moves_per_hole += 3.0 * (r_level - bottom) / h.peck;
      break;
    case G_84:
    case G_87: break;
    default: return NCE_BUG_FUNCTION_SHOULD_NOT_HAVE_BEEN_CALLED;
  }
  double ijk[3] = {0.0, 0.0, 0.0};
  if (motion == G_87) {
    const double remembered[3] = {setup.cycle_i, setup.cycle_j, setup.cycle_k};
    const int missing[3] = {NCE_I_WORD_MISSING_WITH_G87, NCE_J_WORD_MISSING_WITH_G87, NCE_K_WORD_MISSING_WITH_G87};
    for (int i = 0; i < 3; ++i)
      EMIT(word_or_remembered(has_centre_word(block, i), centre_word(block, i), remembered[i], repeating, missing[i],
                              &ijk[i]));
  }
  switch (motion) {
    case G_84:
      if (setup.spindle_turning != 2) return NCE_SPINDLE_NOT_TURNING_CLOCKWISE_IN_G84;
      break;
    case G_86:
      if (setup.spindle_turning != 2 && setup.spindle_turning != 3) return NCE_SPINDLE_NOT_TURNING_IN_G86;
      break;
    case G_87:
      if (setup.spindle_turning != 2 && setup.spindle_turning != 3) return NCE_SPINDLE_NOT_TURNING_IN_G87;
      break;
    case G_88:
      if (setup.spindle_turning != 2 && setup.spindle_turning != 3) return NCE_SPINDLE_NOT_TURNING_IN_G88;
      break;
  }
  if (!(repeats * moves_per_hole <= kMaxCycleMoves)) return NCE_CYCLE_TOO_MANY_MOVES;

  if (motion == G_87) {
    setup.cycle_i = ijk[0];
    setup.cycle_j = ijk[1];
    setup.cycle_k = ijk[2];
    h.off_a = ijk[pl.a];
    h.off_b = ijk[pl.b];
    h.middle = ijk[pl.c] + (setup.distance_mode == 1 ? bottom : 0.0);
  }

  if (old < r_level) {
    EMIT(emit_cycle_traverse(h, axis(cur, pl.a), axis(cur, pl.b), r_level));
    old = r_level;
  }
  h.clearance = setup.retract_mode == 1 ? old : r_level;
  for (int n = 0; n < repeats; ++n) {
    h.a += step_a;
    h.b += step_b;
    EMIT(emit_cycle_traverse(h, h.a, h.b, old));
    if (old != r_level) EMIT(emit_cycle_traverse(h, h.a, h.b, r_level));
    int status;
    switch (motion) {
      case G_81: status = emit_cycle_g81(h); break;
      case G_82: status = emit_cycle_g82(h); break;
      case G_83: status = emit_cycle_g83(h, moves_per_hole); break;
      case G_84: status = emit_cycle_g84(h); break;
      case G_85: status = emit_cycle_g85(h); break;
      case G_86: status = emit_cycle_g86(h); break;
      case G_87: status = emit_cycle_g87(h); break;
      case G_88: status = emit_cycle_g88(h); break;
      default: status = emit_cycle_g89(h); break;
    }
    if (status) return status;
    old = h.clearance;
  }

  // Where the cycle leaves the tool: over the last hole at the clearance.
  Vec3 end;
  axis(end, pl.a) = h.a;
  axis(end, pl.b) = h.b;
  axis(end, pl.c) = h.clearance;
  setup.current_x = end.x;
  setup.current_y = end.y;
  setup.current_z = end.z;
  program.State().m_vLastPoint = end;
  setup.cycle_cc = depth;
  if (motion == G_82 || motion == G_86 || motion == G_88 || motion == G_89) setup.cycle_p = h.dwell_s;
  if (motion == G_83) setup.cycle_q = h.peck;
  return NCE_OK;
}

int emit_cycle_xy(CNCReadContext& program, InterpreterSetup& setup, int motion, InterpreterBlock& block, double r,
                  int repeats) {
  return emit_cycle(program, setup, motion, block, kCycleXY, r, repeats);
}

int emit_cycle_yz(CNCReadContext& program, InterpreterSetup& setup, int motion, InterpreterBlock& block, double r,
                  int repeats) {
  return emit_cycle(program, setup, motion, block, kCycleYZ, r, repeats);
}

int emit_cycle_zx(CNCReadContext& program, InterpreterSetup& setup, int motion, InterpreterBlock& block, double r,
                  int repeats) {
  return emit_cycle(program, setup, motion, block, kCycleXZ, r, repeats);
}

}  // namespace

int emit_canned_cycle(CNCReadContext& program, InterpreterSetup& setup, int motion, InterpreterBlock& block) {
  if (!block.r_flag && motion != setup.motion_mode) return NCE_R_CLEARANCE_PLANE_UNSPECIFIED_IN_CYCLE;
  const double r = block.r_flag ? block.r_value : setup.cycle_r;
  if (block.l_number == 0) return NCE_CANNOT_DO_ZERO_REPEATS_OF_CYCLE;
  const int repeats = block.l_number == -1 ? 1 : block.l_number;
  int status;
  switch (setup.plane) {
    case PLANE_XY: status = emit_cycle_xy(program, setup, motion, block, r, repeats); break;
    case PLANE_YZ: status = emit_cycle_yz(program, setup, motion, block, r, repeats); break;
    case PLANE_XZ: status = emit_cycle_zx(program, setup, motion, block, r, repeats); break;
    default: return NCE_BUG_PLANE_NOT_XY_YZ_OR_XZ;
  }
  if (status) return status;
  setup.cycle_l = repeats;
  setup.cycle_r = r;
  setup.motion_mode = motion;
  return NCE_OK;
}
