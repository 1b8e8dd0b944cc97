// The controller's device frame, as far as the links and their users read it. Its
// layout depends on the process's device protocol version:
//
//   version 5 (134 bytes)            version 7 (10-byte header + up to 1024 data bytes)
//   0-1   sync 0x7E7E                0-1  sync 0xE7E7
//   2     pack number                2-3  CRC-16/ARC over length + 6 bytes from byte 4
//   3-130 128 data bytes             4-5  command word (0x100 control, 0x200 data)
//   131   8-bit sum of bytes 2-130   6-7  flags (low byte pack number, bits 8-11
//   132-133 acknowledge-request mark          version, bit 15 acknowledge request)
//                                    8-9  data length
//                                    10-  data
#pragma once

#include "platform/core.h"

// Device frame protocol of this process: 5 at start; only a UDP connect reply sets 7.
extern int32_t g_nProtocolVersion;

#define DEVICE_FRAME_V5_SIZE 134
#define DEVICE_FRAME_MAX_DATA 1024
#define DEVICE_FRAME_MAX_SIZE (10 + DEVICE_FRAME_MAX_DATA)

#pragma pack(push, 1)
struct DeviceFrame {
  BYTE m_bytes[DEVICE_FRAME_MAX_SIZE];  // as received or built; the layout above

  WORD GetHeaderSize() const;
  // 128 for version 5; the length word for version 7, even when it is out of range.
  WORD GetDataLength() const;
  WORD GetFrameSize() const;
  BOOL IsSyncValid() const;
  // Version 7: FALSE when the length word exceeds the data limit.
  BOOL IsChecksumValid() const;
  BOOL IsDataEmpty() const;
  // Copies the data (at most the data limit) into buffer; returns the count copied.
  int GetData(BYTE* buffer) const;
  // The length word within the data limit and the whole frame within the received bytes.
  BOOL IsLengthValid(size_t received) const;
};
#pragma pack(pop)
static_assert(sizeof(DeviceFrame) == DEVICE_FRAME_MAX_SIZE, "device frame buffer");
