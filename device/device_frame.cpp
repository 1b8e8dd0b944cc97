#include "device/device_frame.h"

#include <cstdio>
#include <cstring>

#include "foundation/checksum.h"
#include "platform/bytes.h"

int32_t g_nProtocolVersion = 5;

namespace {

bool IsV5(int version) { return version == 5; }
WORD SyncWord(int version) { return IsV5(version) ? kFrameSyncV5 : kFrameSyncV7; }
int DataOffset(int version) { return IsV5(version) ? kV5DataOffset : kV7DataOffset; }

// The version 7 length word, cut to what the buffer holds.
WORD BoundedLength(const BYTE* bytes) {
  WORD length = bytes::Load16(bytes + kV7LengthOffset);
  return length > DEVICE_FRAME_MAX_DATA ? (WORD)DEVICE_FRAME_MAX_DATA : length;
}

BYTE SumV5(const BYTE* bytes) {
  BYTE sum = 0;
  for (int i = kV5PackOffset; i < kV5SumOffset; ++i) sum = (BYTE)(sum + bytes[i]);
  return sum;
}

}  // namespace

WORD GetFrameDataCapacity(int version) { return IsV5(version) ? DEVICE_FRAME_V5_DATA : DEVICE_FRAME_MAX_DATA; }

void DeviceFrame::Clear() { memset(m_bytes, 0, sizeof(m_bytes)); }

void DeviceFrame::SetSync(int version) { bytes::Store16(m_bytes, SyncWord(version)); }

void DeviceFrame::SetAckMark(WORD mark, int version) {
  if (IsV5(version)) {
    bytes::Store16(m_bytes + kV5MarkOffset, mark);
    return;
  }
  WORD flags = bytes::Load16(m_bytes + kV7FlagsOffset);
  if (mark == kFrameMarkCommand)
    flags |= kFrameFlagMark;
  else if (mark == kFrameMarkData)
    flags &= (WORD)~kFrameFlagMark;
  bytes::Store16(m_bytes + kV7FlagsOffset, flags);
}

WORD DeviceFrame::PutData(int offset, const void* source, int count, int version) {
  int capacity = GetFrameDataCapacity(version);
  if (!source || offset < 0 || offset >= capacity || count <= 0) return 0;
  int n = count < capacity - offset ? count : capacity - offset;
  memcpy(m_bytes + DataOffset(version) + offset, source, (size_t)n);
  return (WORD)n;
}

void DeviceFrame::SetCommand(WORD command, int version) {
  if (!IsV5(version)) bytes::Store16(m_bytes + kV7CommandOffset, command);
}

void DeviceFrame::SetLength(WORD length, int version) {
  if (IsV5(version)) return;
  if (length > DEVICE_FRAME_MAX_DATA) length = DEVICE_FRAME_MAX_DATA;  // the buffer's end
  bytes::Store16(m_bytes + kV7LengthOffset, length);
  WORD flags = bytes::Load16(m_bytes + kV7FlagsOffset);
  flags = (WORD)((flags & 0xF0FF) | ((version & 0xF) << 8));
  bytes::Store16(m_bytes + kV7FlagsOffset, flags);
}

BYTE DeviceFrame::GetPackNo(int version) const {
  return IsV5(version) ? m_bytes[kV5PackOffset] : m_bytes[kV7FlagsOffset];
}

void DeviceFrame::SetPackNo(BYTE pack, int version) {
  m_bytes[IsV5(version) ? kV5PackOffset : kV7FlagsOffset] = pack;  // version 7: the flags' low byte
}

WORD DeviceFrame::GetChecksum(int version) const {
  return IsV5(version) ? m_bytes[kV5SumOffset] : bytes::Load16(m_bytes + kV7CrcOffset);
}

void DeviceFrame::SetChecksum(WORD value, int version) {
  if (IsV5(version))
    m_bytes[kV5SumOffset] = (BYTE)value;
  else
    bytes::Store16(m_bytes + kV7CrcOffset, value);
}

WORD DeviceFrame::ComputeChecksum(int version) const {
  if (IsV5(version)) return SumV5(m_bytes);
  return Crc16Arc(m_bytes + kV7CommandOffset, (size_t)BoundedLength(m_bytes) + 6);
}

BOOL DeviceFrame::IsChecksumValid(int version) const {
  if (!IsV5(version) && GetDataLength(version) > DEVICE_FRAME_MAX_DATA) return FALSE;
  return GetChecksum(version) == ComputeChecksum(version);
}

WORD DeviceFrame::GetHeaderSize(int version) const { return IsV5(version) ? 6 : 10; }

WORD DeviceFrame::GetDataLength(int version) const {
  return IsV5(version) ? (WORD)DEVICE_FRAME_V5_DATA : bytes::Load16(m_bytes + kV7LengthOffset);
}

WORD DeviceFrame::GetFrameSize(int version) const { return (WORD)(GetHeaderSize(version) + GetDataLength(version)); }

BOOL DeviceFrame::IsSyncValid(int version) const { return bytes::Load16(m_bytes) == SyncWord(version); }

BOOL DeviceFrame::IsDataEmpty(int version) const {
  if (version != 5 && version != 7) return TRUE;
  int length = IsV5(version) ? DEVICE_FRAME_V5_DATA : BoundedLength(m_bytes);
  const BYTE* data = m_bytes + DataOffset(version);
  for (int i = 0; i < length; ++i)
    if (data[i]) return FALSE;
  return TRUE;
}

int DeviceFrame::GetData(BYTE* buffer, int version) const {
  int length = IsV5(version) ? DEVICE_FRAME_V5_DATA : BoundedLength(m_bytes);
  if (buffer) memcpy(buffer, m_bytes + DataOffset(version), (size_t)length);
  return length;
}

BOOL DeviceFrame::IsLengthValid(size_t received, int version) const {
  if (!IsV5(version) && received < (size_t)kV7DataOffset) return FALSE;
  if (GetDataLength(version) > DEVICE_FRAME_MAX_DATA) return FALSE;
  return GetFrameSize(version) <= received;
}

CString DeviceFrame::Dump(const char* timeText, int version) const {
  int length = IsV5(version) ? DEVICE_FRAME_V5_DATA : BoundedLength(m_bytes);
  CString text;
  text.Format("Frame:%ld sent @ %s, Sent=%d\r\n", (long)GetPackNo(version), timeText ? timeText : "", length);
  const BYTE* data = m_bytes + DataOffset(version);
  char hex[4];
  for (int i = 0; i < length; ++i) {
    if (i % 16 == 0) text += "\t";
    snprintf(hex, sizeof(hex), " %02X", data[i]);
    text += hex;
    if (i % 16 == 15 || i == length - 1) text += "\r\n";  // a short last line ends too
  }
  CString check;
  if (IsV5(version))
    check.Format("\tACC=%02X\r\n", (unsigned)GetChecksum(version));
  else
    check.Format("\tCRC=%04X\r\n", (unsigned)GetChecksum(version));
  return text + check;
}

// The scanner. A frame starts with the generation's sync word; its size follows from
// its header (version 5: always 134; version 7: the length word, at most 1024 data
// bytes). Bytes that cannot start a frame are skipped up to the next byte that could
// begin a sync word, so a frame right behind garbage is found in one step. A frame
// whose check value fails loses only its first byte: the real frame may start inside
// it (its data may hold the sync word, or the garbage ended in half a sync word).
int ScanDeviceFrame(const BYTE* bytes, int count, int version, DeviceFrameScanReason* reason) {
  DeviceFrameScanReason why = kScanNeedMore;
  int result = 0;
  const BYTE syncByte = (BYTE)SyncWord(version);  // both bytes of either sync word are equal
  auto skipFrom = [&](int from, DeviceFrameScanReason r) {
    int i = from;
    while (i < count && !(bytes[i] == syncByte && (i + 1 == count || bytes[i + 1] == syncByte))) ++i;
    why = r;
    return -i;
  };
  if (!bytes || count <= 0) {
    result = 0;
  } else if (bytes[0] != syncByte || (count >= 2 && bytes[1] != syncByte)) {
    result = skipFrom(1, kScanGarbage);
  } else if (count < (IsV5(version) ? 6 : kV7DataOffset)) {
    result = 0;
  } else if (!IsV5(version) && bytes::Load16(bytes + kV7LengthOffset) > DEVICE_FRAME_MAX_DATA) {
    result = skipFrom(1, kScanGarbage);
  } else {
    int size = IsV5(version) ? DEVICE_FRAME_V5_SIZE : kV7DataOffset + bytes::Load16(bytes + kV7LengthOffset);
    if (count < size) {
      result = 0;
    } else {
      WORD stored = IsV5(version) ? bytes[kV5SumOffset] : bytes::Load16(bytes + kV7CrcOffset);
      WORD computed = IsV5(version) ? SumV5(bytes) : Crc16Arc(bytes + kV7CommandOffset, (size_t)size - 4);
      if (stored == computed) {
        why = kScanFrame;
        result = size;
      } else {
        result = skipFrom(1, kScanBadCheckValue);
      }
    }
  }
  if (reason) *reason = why;
  return result;
}
