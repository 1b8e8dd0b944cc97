#include "engine/planner/testing/command_stream.h"

#include <cstdio>

#include "engine/planner/command_codes.h"
#include "platform/bytes.h"

namespace planner_testing {

namespace {

// Payload length of every non-move code of the vocabulary; -1 for a code that is not one.
// The G forms are checked against their control word separately.
int PayloadLength(WORD code) {
  switch (code) {
    case DT_HEAD: return kHeadPayloadBytes;
    case DT_DH:
    case DT_G97:
    case DT_Y:
    case DT_AT: return 4;
    case DT_G02:
    case DT_G03: return kGArcPayloadBytes;
    case DT_IN:
    case DT_ZZ:
    case DT_SP:
    case DT_CS:
    case DT_PN:
    case DT_CU:
    case DT_M03:
    case DT_SS:
    case DT_SU:
    case DT_SD:
    case DT_SZ:
    case DT_SW:
    case DT_SA:
    case DT_ZD:
    case DT_ZU:
    case DT_ZM:
    case DT_OW:
    case DT_SF:
    case DT_ZW:
    case DT_P:
    case DT_D:
    case DT_PU:
    case DT_PD:
    case DT_OT: return 2;
    default: return -1;
  }
}

const BYTE kAxisBits[3] = {kAxisBitX, kAxisBitY, kAxisBitZ};

// Coordinates of the carried axes, X, Y, Z order: i16 deltas or i32 positions.
const BYTE* ReadCoords(const BYTE* p, BYTE axes, bool relative, int32_t* coord) {
  for (int a = 0; a < 3; a++) {
    if (!(axes & kAxisBits[a])) continue;
    if (relative) {
      coord[a] = (int16_t)bytes::Load16(p);
      p += 2;
    } else {
      coord[a] = (int32_t)bytes::Load32(p);
      p += 4;
    }
  }
  return p;
}

int AxisCount(BYTE axes) {
  return ((axes & kAxisBitX) ? 1 : 0) + ((axes & kAxisBitY) ? 1 : 0) + ((axes & kAxisBitZ) ? 1 : 0);
}

}  // namespace

bool CCommandStreamDecoder::Fail(const std::string& what) {
  char at[64];
  std::snprintf(at, sizeof at, " at byte %zu", m_pendingOffset);
  if (m_error.empty()) m_error = what + at;
  return false;
}

bool CCommandStreamDecoder::FeedFrame(const BYTE* data, size_t count) {
  if (!m_error.empty()) return false;
  m_pending.insert(m_pending.end(), data, data + count);
  for (;;) {
    // A zero word where a command would begin: the frame was sent before it was full, and
    // what is left of it (all of m_pending at a command boundary) is padding.
    if (m_pending.size() >= 2 && bytes::Load16(m_pending.data()) == 0) {
      for (BYTE b : m_pending)
        if (b != 0) return Fail("data after the padding of a frame");
      m_pending.clear();
      return true;
    }
    long used = DecodeOne();
    if (used < 0) return false;
    if (used == 0) return true;
    m_pending.erase(m_pending.begin(), m_pending.begin() + used);
    m_pendingOffset += (size_t)used;
  }
}

bool CCommandStreamDecoder::Finish() {
  if (!m_error.empty()) return false;
  if (!m_pending.empty()) return Fail("unfinished command at the end of the stream");
  return true;
}

long CCommandStreamDecoder::DecodeOne() {
  const std::vector<BYTE>& b = m_pending;
  if (b.size() < 2) return 0;
  const BYTE* p = b.data();
  WORD word = bytes::Load16(p);
  if (!(word & kCommandBit)) {
    Fail("not a command word");
    return -1;
  }
  if (b.size() < 4) return 0;
  WORD code = WORD(word & ~kCommandBit);
  WORD second = bytes::Load16(p + 2);

  if (MoveCodeAxes(code) != 0) {
    // ---- move block
    if (b.size() < (size_t)kBlockHeadBytes) return 0;
    WORD count = bytes::Load16(p + 4);
    if (second != GetMoveCoordSize(code) + kItemHeadBytes) {
      Fail("item size does not fit the move code");
      return -1;
    }
    size_t total = kBlockHeadBytes + (size_t)second * count;
    if (b.size() < total) return 0;
    const BYTE* q = p + kBlockHeadBytes;
    for (int i = 0; i < count; i++) {
      StreamItem item;
      item.kind = ItemKind::kBlockItem;
      item.offset = m_pendingOffset + (size_t)(q - p);
      item.code = code;
      item.type = bytes::Load16(q);
      item.vn = bytes::Load16(q + 2);
      item.vc = bytes::Load16(q + 4);
      item.axes = MoveCodeAxes(code);
      item.relative = IsRelativeMoveCode(code);
      q = ReadCoords(q + kItemHeadBytes, item.axes, item.relative, item.coord);
      m_items.push_back(item);
    }
    m_blockCounts.push_back(count);
    return (long)total;
  }

  // ---- command with a payload length
  size_t total = kCommandHeadBytes + (size_t)second;
  if (b.size() < total) return 0;
  const BYTE* q = p + kCommandHeadBytes;
  StreamItem item;
  item.offset = m_pendingOffset;
  item.code = code;
  if (code == DT_G00 || code == DT_G01) {
    if (second < kGLineFixedBytes) {
      Fail("G line too short");
      return -1;
    }
    item.kind = ItemKind::kGLine;
    item.type = bytes::Load16(q);
    item.axes = BYTE(((item.type & kCtlX) ? kAxisBitX : 0) | ((item.type & kCtlY) ? kAxisBitY : 0) |
                     ((item.type & kCtlZ) ? kAxisBitZ : 0));
    item.relative = (item.type & kCtlRelative) != 0;
    item.last = (item.type & kCtlLast) != 0;
    if (second != kGLineFixedBytes + AxisCount(item.axes) * (item.relative ? 2 : 4)) {
      Fail("G line length does not fit its control word");
      return -1;
    }
    item.vn = bytes::Load16(q + 2);
    item.vc = bytes::Load16(q + 4);
    item.length = bytes::Load32(q + 6);
    ReadCoords(q + kGLineFixedBytes, item.axes, item.relative, item.coord);
  } else if (PayloadLength(code) < 0) {
    {
      Fail("unknown command code " + std::to_string(code));
      return -1;
    }
  } else if (second != PayloadLength(code)) {
    {
      Fail("payload length does not fit command " + std::to_string(code));
      return -1;
    }
  } else if (code == DT_G02 || code == DT_G03) {
    item.kind = ItemKind::kGArc;
    item.type = bytes::Load16(q);
    item.plane = WORD(item.type & 0x0C);
    item.last = (item.type & kCtlLast) != 0;
    item.vn = bytes::Load16(q + 2);
    item.vc = bytes::Load16(q + 4);
    item.length = bytes::Load32(q + 6);
    item.radius = bytes::Load32(q + 10);
    item.end[0] = (int32_t)bytes::Load32(q + 14);
    item.end[1] = (int32_t)bytes::Load32(q + 18);
    item.center[0] = (int32_t)bytes::Load32(q + 22);
    item.center[1] = (int32_t)bytes::Load32(q + 26);
    if (item.plane == 12) {
      Fail("arc without a plane");
      return -1;
    }
  } else if (code == DT_HEAD) {
    item.kind = ItemKind::kHeader;
    item.payload.assign(q, q + second);
  } else {
    item.kind = ItemKind::kCommand;
    item.value = second == 4 ? bytes::Load32(q) : bytes::Load16(q);
  }
  m_items.push_back(item);
  return (long)total;
}

bool DecodeFrames(const std::vector<std::vector<BYTE>>& frames, std::vector<StreamItem>& items, std::string& error) {
  CCommandStreamDecoder decoder;
  bool ok = true;
  for (const std::vector<BYTE>& f : frames)
    if (!decoder.FeedFrame(f.data(), f.size())) {
      ok = false;
      break;
    }
  if (ok) ok = decoder.Finish();
  items = decoder.Items();
  error = decoder.Error();
  return ok;
}

bool CMoveReplay::Apply(const StreamItem& item) {
  if (item.kind == ItemKind::kGArc) {
    int first = item.plane == kPlaneYZ ? 1 : 0;
    int second = item.plane == kPlaneXY ? 1 : 2;
    m_pos[first] = item.end[0];
    m_pos[second] = item.end[1];
    return true;
  }
  if (item.kind != ItemKind::kBlockItem && item.kind != ItemKind::kGLine) return false;
  for (int a = 0; a < 3; a++) {
    if (!(item.axes & kAxisBits[a])) continue;
    if (item.relative)
      m_pos[a] += item.coord[a];
    else
      m_pos[a] = item.coord[a];
  }
  return true;
}

std::string Describe(const StreamItem& item) {
  char text[160];
  switch (item.kind) {
    case ItemKind::kCommand:
      std::snprintf(text, sizeof text, "cmd %u=%lu", item.code, (unsigned long)item.value);
      break;
    case ItemKind::kHeader: std::snprintf(text, sizeof text, "HEAD"); break;
    case ItemKind::kGArc:
      std::snprintf(text, sizeof text, "G%02u plane %u end(%d,%d) c(%d,%d) vn %u vc %u%s", item.code - DT_G00,
                    item.plane, item.end[0], item.end[1], item.center[0], item.center[1], item.vn, item.vc,
                    item.last ? " last" : "");
      break;
    default:
      std::snprintf(text, sizeof text, "%s 0x%02X type 0x%04X vn %u vc %u (%d,%d,%d)%s",
                    item.kind == ItemKind::kGLine ? "G" : "item", item.code, item.type, item.vn, item.vc, item.coord[0],
                    item.coord[1], item.coord[2], item.last ? " last" : "");
  }
  return text;
}

}  // namespace planner_testing
