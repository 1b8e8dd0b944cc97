// The block executor and the canned cycles: a read and checked block becomes path
// elements and named value tags of the NC program, appended through its adders, plus
// the modal state in the setup. Nothing reaches a machine from here.
#pragma once

#include "nc/interp/interp.h"
#include "nc/read_context.h"

int run_block(CNCReadContext& program, InterpreterSetup& setup, InterpreterBlock& block);
int emit_m_codes(CNCReadContext& program, InterpreterSetup& setup, const InterpreterBlock& block);
int emit_g_codes(CNCReadContext& program, InterpreterSetup& setup, InterpreterBlock& block);

// The centre of an arc given by its signed radius (a negative radius picks the other of
// the two centres); the start point when the radius is below g_dDoubleZero, the direction
// is not 2 or 3, or the plane selector is not 0, 4 or 8.
Vec3 ArcCenterFromRadius(int direction, BYTE plane, BYTE axes, const Vec3& start, const Vec3& end, double radius);

// Canned cycles G81..G89 (motion 810..890); the block's values are in millimetres already.
int emit_canned_cycle(CNCReadContext& program, InterpreterSetup& setup, int motion, InterpreterBlock& block);
