// Doubles into the fixed-width fields of the command stream, without undefined
// conversions: a value outside the field's range saturates (speeds, coordinates) or keeps
// its low bits as an integer would (instruction values); NaN gives 0.
#pragma once

#include <cmath>
#include <cstdint>

#include "platform/types.h"

// v truncated toward zero as a 64-bit integer (saturated; NaN 0).
inline int64_t TruncToInt64(double v) {
  if (!(v == v)) return 0;
  if (v >= 9.2e18) return INT64_MAX;
  if (v <= -9.2e18) return INT64_MIN;
  return (int64_t)v;
}
// The low 16 / 32 bits of v truncated: what an instruction's integer payload carries.
inline WORD Low16(double v) { return (WORD)((uint64_t)TruncToInt64(v) & 0xFFFFu); }
inline DWORD Low32(double v) { return (DWORD)((uint64_t)TruncToInt64(v) & 0xFFFFFFFFu); }
// A speed or other unsigned 16-bit quantity, truncated and saturated to 0..65535.
inline WORD SaturateWord(double v) {
  if (!(v > 0)) return 0;
  if (v >= 65535.0) return 65535;
  return (WORD)v;
}
// An unsigned 32-bit quantity (lengths in steps), truncated and saturated.
inline DWORD SaturateDword(double v) {
  if (!(v > 0)) return 0;
  if (v >= 4294967295.0) return 0xFFFFFFFFu;
  return (DWORD)v;
}
// A signed 32-bit quantity (positions in steps), truncated and saturated.
inline int32_t SaturateInt32(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return (int32_t)v;
}
