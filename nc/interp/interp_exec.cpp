// The block executor: F, S, T and M tags, dwells, planes, units, distance and retract
// modes, straight moves and arcs (by centre or radius), probing and the canned cycles.
// Every effect becomes elements and tags of the program; the machine-control calls of
// the language have nothing to do here, since the tags carry their information to the job
// engine.
#include "nc/interp/interp_exec.h"

#include <cmath>

#include "foundation/settings.h"
#include "nc/interp/nc_errors.h"

namespace {

// Centres whose start and end radii differ by more than this are not the arc's.
constexpr double kArcRadiusTolerance_mm = 0.005;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;
bool is_finite(const Vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

int emit_stop_code(CNCReadContext& program, const InterpreterBlock& block) {
  int stop = block.m_modes[MGROUP_STOP];
  if (stop == -1) return NCE_OK;
  if (!program.AddTag("M", stop)) return NCE_EXIT;
  if (stop == 2 || stop == 30) {
    program.State().m_bProgramEnd = 1;
    return NCE_EXIT;
  }
  return NCE_OK;
}

// Units change: offsets follow the new unit. The current position does not: like every
// coordinate the interpreter keeps, it stays in millimetres.
void change_units(InterpreterSetup& setup, int units) {
  if (units == setup.length_units) return;
  const double f = units == 1 ? 1.0 / 25.4 : 25.4;
  setup.axis_offset_x *= f;
  setup.axis_offset_y *= f;
  setup.axis_offset_z *= f;
  setup.origin_offset_x *= f;
  setup.origin_offset_y *= f;
  setup.origin_offset_z *= f;
  setup.length_units = units;
}

void set_current(InterpreterSetup& setup, const Vec3& p) {
  setup.current_x = p.x;
  setup.current_y = p.y;
  setup.current_z = p.z;
}

// The coordinate normal to the plane: z in XY, y in XZ, x in YZ.
double normal_value(const Vec3& p, BYTE plane) { return plane == kPlaneXZ ? p.y : plane == kPlaneYZ ? p.x : p.z; }
void set_normal(Vec3& p, BYTE plane, double value) {
  (plane == kPlaneXZ ? p.y : plane == kPlaneYZ ? p.x : p.z) = value;
}

// A centre fits when the start and the end lie at the same distance from it in the
// plane (its normal coordinate taken at each of them in turn).
bool centre_fits(Vec3 centre, BYTE plane, const Vec3& start, const Vec3& end) {
  set_normal(centre, plane, normal_value(end, plane));
  double r_end = Distance3D(centre.x, centre.y, centre.z, end.x, end.y, end.z);
  set_normal(centre, plane, normal_value(start, plane));
  double r_start = Distance3D(centre.x, centre.y, centre.z, start.x, start.y, start.z);
  return std::fabs(r_end - r_start) <= kArcRadiusTolerance_mm;
}

// Half the chord from start to end in the plane must be at most |radius|, within the
// tolerance of centre words (a half circle with a rounded radius); such a radius is then
// taken as half the chord, so that the centre lies on the chord. A radius of nothing
// reaches nowhere.
bool radius_reaches(BYTE plane, const Vec3& start, const Vec3& end, double* radius_mm) {
  const Vec3 d = end - start;
  const double chord_mm = plane == kPlaneXZ   ? std::hypot(d.x, d.z)
                          : plane == kPlaneYZ ? std::hypot(d.y, d.z)
                                              : std::hypot(d.x, d.y);
  const double r_mm = std::fabs(*radius_mm);
  if (!(r_mm >= g_dDoubleZero) || !(chord_mm / 2.0 <= r_mm + kArcRadiusTolerance_mm)) return false;
  if (chord_mm / 2.0 > r_mm) *radius_mm = std::copysign(chord_mm / 2.0, *radius_mm);
  return true;
}

int emit_motion(CNCReadContext& program, InterpreterSetup& setup, InterpreterBlock& block) {
  NCReadState& read = program.State();
  const int motion = block.motion_to_be;
  const Vec3& f = read.m_vAxisFactor;
  const double unit = read.m_dUnitScale;
  if (!block.x_flag && !block.y_flag && !block.z_flag) return NCE_ALL_AXES_MISSING_WITH_MOTION_CODE;
  const BYTE plane = read.m_byPlane;
  const bool arc = motion == G_2 || motion == G_3;
  if (arc) {
    const bool ijk = block.i_flag || block.j_flag || block.k_flag;
    if (block.r_flag && ijk) return NCE_MIXED_RADIUS_IJK_FORMAT_FOR_ARC;
    if (plane == kPlaneXY && !block.x_flag && !block.y_flag) return NCE_X_AND_Y_WORDS_MISSING_FOR_ARC_IN_XY_PLANE;
    if (plane == kPlaneXZ && !block.x_flag && !block.z_flag) return NCE_X_AND_Z_WORDS_MISSING_FOR_ARC_IN_XZ_PLANE;
    if (plane == kPlaneYZ && !block.y_flag && !block.z_flag) return NCE_Y_AND_Z_WORDS_MISSING_FOR_ARC_IN_YZ_PLANE;
    if (!block.r_flag && !ijk) return NCE_R_I_J_K_WORDS_ALL_MISSING_FOR_ARC;
  }

  const Vec3 start = read.m_vLastPoint;
  Vec3 end = start;
  BYTE axes = 0;
  const bool relative = !read.m_bAbsolute;
  if (block.x_flag) {
    end.x = block.x_value * f.x * unit + (relative ? start.x : 0.0);
    axes |= kAxisX;
  }
  if (block.y_flag) {
    end.y = block.y_value * f.y * unit + (relative ? start.y : 0.0);
    axes |= kAxisY;
  }
  if (block.z_flag) {
    end.z = block.z_value * f.z * unit + (relative ? start.z : 0.0);
    axes |= kAxisZ;
  }

  const WORD code = (WORD)(motion / 10);
  if (!arc) {
    if (!program.AddLine(code, axes, end)) return NCE_EXIT;
  } else {
    Vec3 centre;
    if (block.r_flag) {
      double radius_mm = block.r_value * (f.x + f.y + f.z) / 3.0 * unit;
      // A radius that cannot reach the end has no centre: the arc would not end where the
      // program says, and every move after it would start from the wrong place.
      if (!radius_reaches(plane, start, end, &radius_mm)) {
        read.m_bStop = 1;
        return NCE_ARC_RADIUS_TOO_SMALL_TO_REACH_END_POINT;
      }
      centre = ArcCenterFromRadius(code, plane, axes, start, end, radius_mm);
    } else {
      Vec3 offset(block.i_flag ? block.i_value * f.x * unit : 0.0, block.j_flag ? block.j_value * f.y * unit : 0.0,
                  block.k_flag ? block.k_value * f.z * unit : 0.0);
      // Centre words relative to the start, or else absolute: whichever reading fits.
      centre = start + offset;
      if (!centre_fits(centre, plane, start, end)) {
        centre = offset;
        if (!centre_fits(centre, plane, start, end)) {
          read.m_bStop = 1;
          return NCE_RADIUS_TO_END_OF_ARC_DIFFERS_FROM_RADIUS_TO_START;
        }
      }
      set_normal(centre, plane, normal_value(start, plane));
    }
    if (!is_finite(end) || !is_finite(centre)) {
      read.m_bStop = 1;
      return NCE_RADIUS_TO_END_OF_ARC_DIFFERS_FROM_RADIUS_TO_START;
    }
    if (!program.AddArc(code, plane, axes, end, centre)) return NCE_EXIT;
  }
  read.m_vLastPoint = end;
  set_current(setup, end);
  setup.motion_mode = motion;
  return NCE_OK;
}

}  // namespace

Vec3 ArcCenterFromRadius(int direction, BYTE plane, BYTE axes, const Vec3& start, const Vec3& end, double radius) {
  Vec3 centre = start;
  if (std::fabs(radius) < g_dDoubleZero || !IsArcCode((unsigned)direction) ||
      (plane != kPlaneXY && plane != kPlaneXZ && plane != kPlaneYZ))
    return centre;
  // In-plane coordinates (first axis, second axis) of the chord.
  double a0, b0, a1, b1;
  if (plane == kPlaneXY) {
    a0 = start.x, b0 = start.y, a1 = end.x, b1 = end.y;
  } else if (plane == kPlaneXZ) {
    a0 = start.z, b0 = start.x, a1 = end.z, b1 = end.x;
  } else {
    a0 = start.y, b0 = start.z, a1 = end.y, b1 = end.z;
  }
  const double half = std::hypot(a1 - a0, b1 - b0) / 2.0;
  const Vec3 d = end - start;
  const double theta = PlaneAngle(d.x, d.y, d.z, plane);
  const double r = std::fabs(radius);
  const double beta = half / r >= 1.0 ? 0.0 : std::acos(half / r);
  double a_1 = direction == kCodeArcCW ? theta + beta : theta - beta;
  double a_2 = direction == kCodeArcCW ? theta - beta : theta + beta;
  while (a_1 >= kTwoPi) a_1 -= kTwoPi;
  while (a_2 >= kTwoPi) a_2 -= kTwoPi;
  const double angle = radius >= 0.0 ? a_2 : a_1;
  const double ca = a0 + r * std::cos(angle);
  const double cb = b0 + r * std::sin(angle);
  if (plane == kPlaneXY) {
    centre.x = ca, centre.y = cb;
  } else if (plane == kPlaneXZ) {
    centre.z = ca, centre.x = cb;
  } else {
    centre.y = ca, centre.z = cb;
  }
  return centre;
}

int emit_m_codes(CNCReadContext& program, InterpreterSetup& setup, const InterpreterBlock& block) {
  if (block.m_modes[MGROUP_USER] != -1) program.AddTag("M", block.m_modes[MGROUP_USER]);
  if (block.m_modes[MGROUP_TOOL_CHANGE] == 6) {
    program.AddTag("M", 6);
    setup.spindle_turning = 1;
  }
  switch (block.m_modes[MGROUP_SPINDLE]) {
    case 3:
      program.AddTag("M", 3);
      setup.spindle_turning = 2;
      break;
    case 4:
      program.AddTag("M", 4);
      setup.spindle_turning = 3;
      break;
    case 5:
      program.AddTag("M", 5);
      setup.spindle_turning = 1;
      break;
  }
  switch (block.m_modes[MGROUP_COOLANT]) {
    case 7:
      program.AddTag("M", 7);
      setup.mist = 1;
      break;
    case 8:
      program.AddTag("M", 8);
      setup.flood = 1;
      break;
    case 9:
      program.AddTag("M", 9);
      setup.mist = setup.flood = 0;
      break;
  }
  switch (block.m_modes[MGROUP_OVERRIDE]) {
    case 48:
      program.AddTag("M", 48);
      setup.feed_override = setup.speed_override = 1;
      break;
    case 49:
      program.AddTag("M", 49);
      setup.feed_override = setup.speed_override = 0;
      break;
  }
  return NCE_OK;
}

int emit_g_codes(CNCReadContext& program, InterpreterSetup& setup, InterpreterBlock& block) {
  NCReadState& read = program.State();
  const int* g = block.g_modes;
  const Vec3& f = read.m_vAxisFactor;
  const double unit = read.m_dUnitScale;

  if (g[GROUP_NON_MODAL] == G_4) {
    if (block.p_number <= -1.0) return NCE_DWELL_TIME_MISSING_WITH_G4;
    program.AddTag("ZW", block.p_number * 1000.0);
  } else if (g[GROUP_NON_MODAL] == G_100) {
    if (block.p_number > -1.0) program.AddTag("P", block.p_number);
    if (block.d_number != -1) program.AddTag("D", block.d_number);
    if (block.y_flag) program.AddTag("Y", block.y_value * f.y * unit);
  }

  switch (g[GROUP_PLANE]) {
    case -1: break;
    case G_17:
      read.m_byPlane = kPlaneXY;
      program.AddCode(kCodePlaneXY);
      setup.plane = PLANE_XY;
      break;
    case G_18:
      read.m_byPlane = kPlaneXZ;
      program.AddCode(kCodePlaneXZ);
      setup.plane = PLANE_XZ;
      break;
    case G_19:
      read.m_byPlane = kPlaneYZ;
      program.AddCode(kCodePlaneYZ);
      setup.plane = PLANE_YZ;
      break;
    default: return NCE_BUG_CODE_NOT_G17_G18_OR_G19;
  }

  switch (g[GROUP_UNITS]) {
    case -1: break;
    case G_20:
      read.m_dUnitScale = 25.4;
      program.AddCode(20);
      change_units(setup, 1);
      break;
    case G_21:
      read.m_dUnitScale = 1.0;
      program.AddCode(21);
      change_units(setup, 2);
      break;
    default: return NCE_BUG_CODE_NOT_G20_OR_G21;
  }

  if (g[GROUP_CUTTER_COMP] != -1 || g[GROUP_TOOL_LENGTH] != -1 || g[GROUP_COORD_SYSTEM] != -1 ||
      g[GROUP_PATH_CONTROL] != -1)
    return NCE_UNKNOWN_G_CODE_USED;

  switch (g[GROUP_DISTANCE]) {
    case -1: break;
    case G_90:
      read.m_bAbsolute = 1;
      program.AddCode(90);
      setup.distance_mode = 0;
      break;
    case G_91:
      read.m_bAbsolute = 0;
      program.AddCode(91);
      setup.distance_mode = 1;
      break;
    default: return NCE_BUG_CODE_NOT_G90_OR_G91;
  }

  switch (g[GROUP_RETRACT]) {
    case -1: break;
    case G_98:
      program.AddCode(98);
      setup.retract_mode = 1;
      break;
    case G_99:
      program.AddCode(99);
      setup.retract_mode = 0;
      break;
    default: return NCE_BUG_CODE_NOT_G98_OR_G99;
  }

  switch (g[GROUP_NON_MODAL]) {
    case -1:
    case G_4:
    case G_53:
    case G_100: break;
    case G_10:
    case G_28:
    case G_30:
    case G_92:
    case G_92_1:
    case G_92_2:
    case G_92_3: return NCE_UNKNOWN_G_CODE_USED;
    default: return NCE_BUG_CODE_NOT_G4_G10_G28_G30_G53_OR_G92_SERIES;
  }

  const int motion = block.motion_to_be;
  if (motion == -1) return NCE_OK;
  if (motion == G_38_2) {
    double* probe = setup.parameters + kParamProbe;
    if (block.x_flag) probe[0] = block.x_value * f.x * unit;
    if (block.y_flag) probe[1] = block.y_value * f.y * unit;
    if (block.z_flag) probe[2] = block.z_value * f.z * unit;
    if (block.a_flag) probe[3] = block.a_value;
    if (block.b_flag) probe[4] = block.b_value;
    if (block.c_flag) probe[5] = block.c_value;
    return NCE_OK;
  }
  if (motion == G_80) {
    program.AddCode(80);
    setup.motion_mode = G_80;
    return NCE_OK;
  }
  if (is_canned_cycle(motion)) {
    program.AddCode((WORD)(motion / 10));
    block.x_value *= f.x * unit;
    block.y_value *= f.y * unit;
    block.z_value *= f.z * unit;
    block.i_value *= f.x * unit;
    block.j_value *= f.y * unit;
    block.k_value *= f.z * unit;
    block.r_value *= f.z * unit;
    // A peck is a length along the depth axis too.
    if (block.q_number > -1.0) block.q_number *= std::fabs(f.z) * unit;
    int status = emit_canned_cycle(program, setup, motion, block);
    if (status) return status;
    setup.motion_mode = motion;
    return NCE_OK;
  }
  if (motion > G_3) return NCE_UNKNOWN_G_CODE_USED;
  return emit_motion(program, setup, block);
}

int run_block(CNCReadContext& program, InterpreterSetup& setup, InterpreterBlock& block) {
  if (block.o_type != O_NONE) return convert_control_functions(block, setup);
  if (setup.skipping_o) return NCE_OK;
  int status = apply_settings(setup);
  if (status) return status;
  if (setup.line_length == 0) return NCE_OK;

  switch (block.g_modes[GROUP_FEED_MODE]) {
    case -1: break;
    case G_93: setup.feed_mode = 1; break;
    case G_94: setup.feed_mode = 0; break;
    default: return NCE_BUG_CODE_NOT_G93_OR_G94;
  }
  if (block.f_number > -1.0 && setup.feed_mode == 0) {
    program.AddTag("F", block.f_number / 60.0);
    setup.feed_rate = block.f_number;
  }
  if (block.s_number > -1.0) {
    program.AddTag("S", block.s_number);
    setup.speed = block.s_number;
  }
  if (block.t_number > 0) {
    program.AddTag("T", block.t_number);
    program.AddUsedTool(block.t_number);
    setup.selected_tool_slot = block.t_number;
  }
  emit_m_codes(program, setup, block);
  status = emit_g_codes(program, setup, block);
  if (status) return status;
  status = emit_stop_code(program, block);
  save_active_g_codes(&block, setup);
  save_active_m_codes(&block, setup);
  save_active_settings(setup);
  return status;
}
