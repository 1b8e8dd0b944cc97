// The controller's device frame, both generations, and the scanner that finds frames in
// a byte stream. The generation is the process's device protocol version (5 or 7):
//
//   version 5 (always 134 bytes)         version 7 (10-byte header + 0..1024 data bytes)
//   0-1     sync 0x7E7E                  0-1  sync 0xE7E7
//   2       pack number                  2-3  CRC-16/ARC over bytes 4 .. 9 + length
//   3-130   128 data bytes, unused       4-5  frame command: 0x100 sync frame,
//           ones zero                         0x200 every other frame
//   131     8-bit sum of bytes 2-130     6-7  flags: bits 0-7 pack number, 8-11 the
//   132-133 mark: 0xAAAA command frame,       generation (7), 15 mark (command frame)
//           0x5555 data frame            8-9  data length
//                                        10-  data
//
// All words little-endian. In memory a frame is 1202 bytes (the sync word and a
// 1200-byte body); on the wire and in the spill file it is its first GetFrameSize bytes.
//
// Every operation takes the generation it works under. It defaults to the process's
// g_nProtocolVersion for the links that read frames as they come; the frame protocol
// engine passes the generation it was configured with, so one run never changes layout
// half way.
#pragma once

#include "platform/core.h"

// Device frame protocol of this process: 5 at start; only a UDP connect reply sets 7.
extern int32_t g_nProtocolVersion;

#define DEVICE_FRAME_V5_SIZE 134
#define DEVICE_FRAME_V5_DATA 128
#define DEVICE_FRAME_MAX_DATA 1024
#define DEVICE_FRAME_MAX_SIZE (10 + DEVICE_FRAME_MAX_DATA)  // the longest wire form
#define DEVICE_FRAME_MEMORY_SIZE 1202                       // sync word + 1200-byte body

// Byte offsets of the two layouts.
constexpr int kV5PackOffset = 2;
constexpr int kV5DataOffset = 3;
constexpr int kV5SumOffset = 131;
constexpr int kV5MarkOffset = 132;
constexpr int kV7CrcOffset = 2;
constexpr int kV7CommandOffset = 4;
constexpr int kV7FlagsOffset = 6;
constexpr int kV7LengthOffset = 8;
constexpr int kV7DataOffset = 10;

constexpr WORD kFrameSyncV5 = 0x7E7E;
constexpr WORD kFrameSyncV7 = 0xE7E7;
constexpr WORD kFrameMarkCommand = 0xAAAA;  // command frames: the controller acknowledges at once
constexpr WORD kFrameMarkData = 0x5555;
constexpr WORD kFrameCommandSync = 0x100;  // the synchronisation frame (version 7)
constexpr WORD kFrameCommandData = 0x200;  // every other frame
constexpr WORD kFrameFlagMark = 0x8000;

// Data bytes one frame carries: 128 for version 5, 1024 otherwise.
WORD GetFrameDataCapacity(int version = g_nProtocolVersion);

#pragma pack(push, 1)
struct DeviceFrame {
  BYTE m_bytes[DEVICE_FRAME_MEMORY_SIZE];  // as built or received; the layouts above

  // Building, in this order: Clear, SetSync, SetAckMark, PutData at increasing offsets,
  // SetCommand, SetLength. The sender gives the pack number and the check value.
  void Clear();
  void SetSync(int version = g_nProtocolVersion);
  // Version 5 stores the word as given; version 7 sets its mark bit for 0xAAAA, clears
  // it for 0x5555 and ignores any other word.
  void SetAckMark(WORD mark, int version = g_nProtocolVersion);
  // Copies min(count, capacity - offset) bytes into the data area; returns the count.
  WORD PutData(int offset, const void* source, int count, int version = g_nProtocolVersion);
  // Version 7 only: the frame command word.
  void SetCommand(WORD command, int version = g_nProtocolVersion);
  // Version 7 only: the length word (at most 1024) and the generation bits of the flags.
  void SetLength(WORD length, int version = g_nProtocolVersion);

  BYTE GetPackNo(int version = g_nProtocolVersion) const;
  void SetPackNo(BYTE pack, int version = g_nProtocolVersion);
  WORD GetChecksum(int version = g_nProtocolVersion) const;
  void SetChecksum(WORD value, int version = g_nProtocolVersion);
  // The check value the frame should carry: the 8-bit sum or the CRC.
  WORD ComputeChecksum(int version = g_nProtocolVersion) const;
  void UpdateChecksum(int version = g_nProtocolVersion) { SetChecksum(ComputeChecksum(version), version); }
  // Version 7: FALSE when the length word exceeds the data limit.
  BOOL IsChecksumValid(int version = g_nProtocolVersion) const;

  WORD GetHeaderSize(int version = g_nProtocolVersion) const;
  // 128 for version 5; the length word for version 7, even when it is out of range.
  WORD GetDataLength(int version = g_nProtocolVersion) const;
  WORD GetFrameSize(int version = g_nProtocolVersion) const;
  BOOL IsSyncValid(int version = g_nProtocolVersion) const;
  // TRUE for any version other than 5 and 7.
  BOOL IsDataEmpty(int version = g_nProtocolVersion) const;
  // Copies the data (at most the data limit) into buffer; returns the count copied.
  int GetData(BYTE* buffer, int version = g_nProtocolVersion) const;
  // The length word within the data limit and the whole frame within the received bytes.
  BOOL IsLengthValid(size_t received, int version = g_nProtocolVersion) const;

  // The "frames" log text of a sent frame: a head line with the pack number, the time
  // text and the data length, the data bytes 16 to a line, then the check value.
  CString Dump(const char* timeText, int version = g_nProtocolVersion) const;
};
#pragma pack(pop)
static_assert(sizeof(DeviceFrame) == DEVICE_FRAME_MEMORY_SIZE, "device frame in memory");
static_assert(DEVICE_FRAME_MAX_SIZE <= DEVICE_FRAME_MEMORY_SIZE, "the longest frame fits the memory form");

// Why ScanDeviceFrame skipped bytes.
enum DeviceFrameScanReason {
  kScanFrame = 0,     // a whole frame with a good check value starts at byte 0
  kScanNeedMore,      // it may be one: wait for more bytes
  kScanGarbage,       // no sync word at byte 0, or a length no frame can have
  kScanBadCheckValue  // a whole frame whose check value is wrong
};

// Looks for a frame at the start of bytes[0..count). Returns the frame's size when a
// whole frame with a good check value starts there; 0 when more bytes are needed to
// tell; minus the number of bytes to drop to reach the next possible sync word (a frame
// that fails its check loses at least its first byte, so a sync word inside its data
// is tried next). The reason, when asked for, says which.
int ScanDeviceFrame(const BYTE* bytes, int count, int version, DeviceFrameScanReason* reason = nullptr);
