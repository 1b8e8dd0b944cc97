// Reading the controller's command stream back, as a controller would: the decoder of the
// planner's tests, and the reference for the test controllers' own decoder.
//
// The stream arrives in device data frames. Frames are joined into one byte stream; a
// command may continue in the next frame at any word. A protocol 5 frame always carries
// 128 data bytes, so a frame that was sent before it was full ends in zero bytes: a zero
// word where a command would begin is padding, and the rest of that frame is skipped.
//
// Grammar (all words little-endian u16, "u32" is the low word first):
//
//   command   := word(0x8000 + code) rest
//   rest      := move block            when code is a move code (0x41-0x47, 0x51-0x57,
//                                       0x61-0x67, 0x71-0x77)
//              | u16 length, payload   for every other code
//   move block:= u16 item size, u16 item count, item × count
//   item      := u16 type, u16 Vn, u16 Vc, coordinate × axes of the code (X, Y, Z order;
//                i32 positions, or i16 deltas for 0x71-0x77); item size = 6 + bytes
//   payload of
//     DT_G00 (35), DT_G01 (36): u16 control, u16 Vn, u16 Vc, u32 S, coordinates of the
//                axes in control bits 4-6 (i16 deltas when bit 7, else i32 positions);
//                length = 10 + coordinate bytes; bit 15 of control: last item of a run
//     DT_G02 (37), DT_G03 (38): length 30: u16 control, u16 Vn, u16 Vc, u32 arc length,
//                u32 radius, i32 end (two plane axes), i32 centre (two plane axes);
//                control bits 2-3: plane (0 XY, 4 XZ, 8 YZ); bit 15: last
//     DT_HEAD (29): length 96: the job header
//     DT_DH (10), DT_G97 (48), DT_Y (58), DT_AT (59): length 4, u32 value
//     every other code of the vocabulary: length 2, u16 value
// Anything else (a word without bit 15 inside the stream, an unknown code, a length or
// item size that does not fit its code) is an error at that byte offset.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace planner_testing {

enum class ItemKind {
  kCommand,    // short or long command: code, value
  kHeader,     // DT_HEAD: payload
  kBlockItem,  // one item of a move block: code is the block's move code
  kGLine,      // DT_G00 / DT_G01
  kGArc,       // DT_G02 / DT_G03
};

struct StreamItem {
  ItemKind kind = ItemKind::kCommand;
  size_t offset = 0;  // byte offset in the joined stream (of the item within a block)
  WORD code = 0;      // command code without 0x8000; a block item: the move code
  DWORD value = 0;    // short and long commands
  // ---- moves
  WORD type = 0;  // block item: type word; G form: control word
  WORD vn = 0, vc = 0;
  DWORD length = 0;  // G line: S (steps); G arc: arc length (steps)
  BYTE axes = 0;     // axes carried: X 0x80, Y 0x40, Z 0x20
  bool relative = false;
  bool last = false;             // G form: control bit 15
  int32_t coord[3] = {0, 0, 0};  // X, Y, Z of the carried axes (relative: sign-extended deltas)
  // ---- arcs
  WORD plane = 0;                               // 0 XY, 4 XZ, 8 YZ
  DWORD radius = 0;                             // steps
  int32_t end[2] = {0, 0}, center[2] = {0, 0};  // the plane's two axes
  // ---- header
  std::vector<BYTE> payload;
  bool IsMove() const { return kind == ItemKind::kBlockItem || kind == ItemKind::kGLine || kind == ItemKind::kGArc; }
};

class CCommandStreamDecoder {
 public:
  // One frame's data bytes. False once the stream is malformed (see Error()).
  bool FeedFrame(const BYTE* data, size_t count);
  // The stream has ended: false when a command was left unfinished.
  bool Finish();
  const std::vector<StreamItem>& Items() const { return m_items; }
  const std::string& Error() const { return m_error; }
  // Move blocks seen, with their item counts (for tests of block boundaries).
  const std::vector<int>& BlockCounts() const { return m_blockCounts; }

 private:
  // Decodes the command at the start of m_pending when it is complete: its size, 0 when
  // more bytes are needed, -1 on an error.
  long DecodeOne();
  bool Fail(const std::string& what);

  std::vector<BYTE> m_pending;  // bytes of an unfinished command
  size_t m_pendingOffset = 0;   // stream offset of m_pending[0] (padding not counted)
  std::vector<StreamItem> m_items;
  std::vector<int> m_blockCounts;
  std::string m_error;
};

// Decodes frames given as byte vectors.
bool DecodeFrames(const std::vector<std::vector<BYTE>>& frames, std::vector<StreamItem>& items, std::string& error);

// The machine position as the stream moves it, in steps.
class CMoveReplay {
 public:
  // Applies a move item; other items change nothing. Returns whether it was a move.
  bool Apply(const StreamItem& item);
  int64_t Position(int axis) const { return m_pos[axis]; }

 private:
  int64_t m_pos[3] = {0, 0, 0};
};

// Short text of an item, for test failure messages.
std::string Describe(const StreamItem& item);

}  // namespace planner_testing
