// The controller's command vocabulary: the codes of the device command stream that the
// path processor writes and the stream decoder reads back.
//
// Every command starts with the word 0x8000 + code. Short and long commands, the job
// header and the G-form moves then carry a u16 payload length and the payload; a move
// block instead carries a u16 item size and a u16 item count, then the items.
#pragma once

#include "platform/types.h"

// Command codes (the command word is kCommandBit + code).
enum : WORD {
  DT_IN = 1,     // u16 0xAAAA: start of a job's first copy
  DT_ZZ = 2,     // u16
  DT_SP = 3,     // u16 tool or spindle; bit 15 for a "@T" slot's tool; 0 at job end
  DT_CS = 4,     // u16 device CornerSpeed, before every DT_SA
  DT_PN = 5,     // u16 device ParamN, before every DT_SA
  DT_CU = 6,     // u16 device CornerUP, before every DT_SA
  DT_M03 = 9,    // u16 M number
  DT_DH = 10,    // u32 tag number
  DT_SS = 16,    // u16 start velocity (mm/s)
  DT_SU = 17,    // u16 traverse velocity (mm/s)
  DT_SD = 18,    // u16 feed velocity (mm/s)
  DT_SZ = 19,    // u16 plunge velocity (mm/s)
  DT_SW = 20,    // u16
  DT_SA = 21,    // u16 acceleration (mm/s/s)
  DT_ZD = 22,    // receiver vocabulary only
  DT_ZU = 23,    // receiver vocabulary only
  DT_ZM = 24,    // receiver vocabulary only
  DT_HEAD = 29,  // 96-byte job header
  DT_OW = 32,    // u16 status query item
  DT_SF = 33,    // receiver vocabulary only
  DT_ZW = 34,    // u16 wait (ms)
  DT_G00 = 35,   // G-form rapid
  DT_G01 = 36,   // G-form line
  DT_G02 = 37,   // G-form clockwise arc
  DT_G03 = 38,   // G-form counter-clockwise arc
  DT_G97 = 48,   // u32 spindle speed (rpm)
  DT_P = 56,     // u16
  DT_D = 57,     // u16
  DT_Y = 58,     // u32 Y position (steps)
  DT_AT = 59,    // u32 tool << 16 | slot
  DT_PU = 80,    // u16
  DT_PD = 96,    // u16
  DT_OT = 144,   // u16 sub-command (operator stop, Z adjustment)
};

const WORD kCommandBit = 0x8000;
const WORD kInValue = 0xAAAA;  // payload of DT_IN

// Move codes of move blocks: absolute, pen-up, pen-down and relative families, each in
// the axis order X, Y, Z, XY, YZ, XZ, XYZ.
enum : WORD {
  DT_PAX = 0x41,
  DT_PAY = 0x42,
  DT_PAZ = 0x43,
  DT_PAXY = 0x44,
  DT_PAYZ = 0x45,
  DT_PAXZ = 0x46,
  DT_PAXYZ = 0x47,
  DT_PUX = 0x51,
  DT_PUXYZ = 0x57,
  DT_PDX = 0x61,
  DT_PDXYZ = 0x67,
  DT_PRX = 0x71,
  DT_PRXYZ = 0x77,
};
const WORD kRelativeOffset = DT_PRX - DT_PAX;  // 48: absolute code -> relative code

// Axis bits of records and segments.
enum : BYTE { kAxisBitX = 0x80, kAxisBitY = 0x40, kAxisBitZ = 0x20, kAxisBitsXYZ = 0xE0 };

// The axes a move code names, as axis bits; 0 for a code that is not a move code.
inline BYTE MoveCodeAxes(WORD code) {
  static const BYTE kAxes[7] = {
      kAxisBitX,   kAxisBitY, kAxisBitZ, kAxisBitX | kAxisBitY, kAxisBitY | kAxisBitZ, kAxisBitX | kAxisBitZ,
      kAxisBitsXYZ};
  WORD low = code & 0x0F, family = code & 0xFFF0;
  if (low < 1 || low > 7) return 0;
  if (family != 0x40 && family != 0x50 && family != 0x60 && family != 0x70) return 0;
  return kAxes[low - 1];
}
inline bool IsRelativeMoveCode(WORD code) { return code >= DT_PRX && code <= DT_PRXYZ; }

// Coordinate bytes of one item of a move code: 4 per axis (i32) for the absolute and pen
// codes, 2 per axis (i16) for the relative codes, 0 for any other code.
inline int GetMoveCoordSize(WORD code) {
  BYTE axes = MoveCodeAxes(code);
  int n = ((axes & kAxisBitX) ? 1 : 0) + ((axes & kAxisBitY) ? 1 : 0) + ((axes & kAxisBitZ) ? 1 : 0);
  return n * (IsRelativeMoveCode(code) ? 2 : 4);
}

// The absolute move code of an axis mask: X 0x41, Y 0x42, Z 0x43, XY 0x44, YZ 0x45,
// XZ 0x46, anything else 0x47.
inline WORD MoveCodeForAxes(BYTE axes) {
  switch (axes & kAxisBitsXYZ) {
    case kAxisBitX: return DT_PAX;
    case kAxisBitY: return DT_PAY;
    case kAxisBitZ: return DT_PAZ;
    case kAxisBitX | kAxisBitY: return DT_PAXY;
    case kAxisBitY | kAxisBitZ: return DT_PAYZ;
    case kAxisBitX | kAxisBitZ: return DT_PAXZ;
    default: return DT_PAXYZ;
  }
}

// Control word bits of the G-form moves.
enum : WORD {
  kCtlCutTypeMask = 0x0003,  // the segment's cut type
  kCtlX = 0x0010,            // lines: the item carries X
  kCtlY = 0x0020,
  kCtlZ = 0x0040,
  kCtlRelative = 0x0080,  // lines: i16 deltas instead of i32 positions
  kCtlLast = 0x8000,      // last item of the run
};

// Sizes of the fixed parts.
const int kCommandHeadBytes = 4;   // command word + payload length
const int kBlockHeadBytes = 6;     // move code word + item size + item count
const int kItemHeadBytes = 6;      // type, Vn, Vc of a block item
const int kGLineFixedBytes = 10;   // control, Vn, Vc, S of a G-form line
const int kGArcPayloadBytes = 30;  // payload of a G-form arc
const int kHeadPayloadBytes = 96;  // payload of DT_HEAD
const int kHeadBytes = kCommandHeadBytes + kHeadPayloadBytes;
const DWORD kHeadMagic = 82;  // first payload word of DT_HEAD

// Planes as segments and arcs carry them.
enum : WORD { kPlaneXY = 0, kPlaneXZ = 4, kPlaneYZ = 8 };
