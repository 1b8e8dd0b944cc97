#include "device/device_frame.h"

#include <cstring>

#include "foundation/checksum.h"

int32_t g_nProtocolVersion = 5;

namespace {
WORD Word(const BYTE* p) { return (WORD)(p[0] | (p[1] << 8)); }
}  // namespace

WORD DeviceFrame::GetHeaderSize() const { return g_nProtocolVersion == 5 ? 6 : 10; }

WORD DeviceFrame::GetDataLength() const { return g_nProtocolVersion == 5 ? 128 : Word(m_bytes + 8); }

WORD DeviceFrame::GetFrameSize() const { return (WORD)(GetHeaderSize() + GetDataLength()); }

BOOL DeviceFrame::IsSyncValid() const { return Word(m_bytes) == (g_nProtocolVersion == 5 ? 0x7E7E : 0xE7E7); }

BOOL DeviceFrame::IsChecksumValid() const {
  if (g_nProtocolVersion == 5) {
    BYTE sum = 0;
    for (int i = 2; i <= 130; ++i) sum = (BYTE)(sum + m_bytes[i]);
    return sum == m_bytes[131];
  }
  WORD length = GetDataLength();
  if (length > DEVICE_FRAME_MAX_DATA) return FALSE;
  return Word(m_bytes + 2) == Crc16Arc(m_bytes + 4, (size_t)length + 6);
}

BOOL DeviceFrame::IsDataEmpty() const {
  if (g_nProtocolVersion == 5) {
    for (int i = 3; i <= 130; ++i)
      if (m_bytes[i]) return FALSE;
    return TRUE;
  }
  if (g_nProtocolVersion == 7) {
    WORD length = GetDataLength();
    if (length > DEVICE_FRAME_MAX_DATA) length = DEVICE_FRAME_MAX_DATA;
    for (int i = 0; i < length; ++i)
      if (m_bytes[10 + i]) return FALSE;
  }
  return TRUE;
}

int DeviceFrame::GetData(BYTE* buffer) const {
  WORD length = GetDataLength();
  if (length > DEVICE_FRAME_MAX_DATA) length = DEVICE_FRAME_MAX_DATA;
  if (buffer) memcpy(buffer, m_bytes + (g_nProtocolVersion == 5 ? 3 : 10), length);
  return length;
}

BOOL DeviceFrame::IsLengthValid(size_t received) const {
  if (g_nProtocolVersion != 5 && received < 10) return FALSE;
  if (GetDataLength() > DEVICE_FRAME_MAX_DATA) return FALSE;
  return GetFrameSize() <= received;
}
