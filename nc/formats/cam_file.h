// The CAM file: the program's own binary toolpath format (file kind "BNC").
//
// A 294-byte header, then a body of records (16-bit code, 16-bit payload length,
// payload). The body is scrambled with a 16-byte key, the MD5 of header bytes 6-293, so
// the byte at file offset p (p >= 294) is stored as plain XOR key[(p - 294) mod 16].
// CCamFile checks the header, derives the key and unscrambles on Read (scrambles on
// Write). All integers are little-endian; the structs below give the layout (offsets),
// the bytes are read and written with platform/bytes.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/core.h"

#pragma pack(push, 1)

struct CamFileHeader {
  DWORD m_nHeaderSize;     // 0: 294
  WORD m_nVersion;         // 4: 0x100
  char m_szMagic[32];      // 6: "Kestrada CAM File", zero-filled
  char m_szProducer[256];  // 38: producer text, zero-terminated, zero-filled
};

// Payload of a tool definition record (code 0xFF03).
struct CamToolDefinition {
  char m_szName[252];  // 0: tool name, zero-terminated
  int32_t m_nNumber;   // 252: tool number, valid 1-99
  int32_t m_nKind;     // 256: 1 flat end mill, 2 flat-tip taper, 3 ball
  double m_dSize1;     // 260: first dimension (mm)
  double m_dDiameter;  // 268: diameter (mm)
  double m_dSize3;     // 276: third dimension
  int32_t m_nSize4;    // 284: fourth dimension
};

#pragma pack(pop)

static_assert(sizeof(CamFileHeader) == 294, "CAM header is 294 bytes");
static_assert(offsetof(CamFileHeader, m_nVersion) == 4 && offsetof(CamFileHeader, m_szMagic) == 6 &&
                  offsetof(CamFileHeader, m_szProducer) == 38,
              "CAM header layout");
static_assert(sizeof(CamToolDefinition) == 288, "CAM tool definition is 288 bytes");
static_assert(offsetof(CamToolDefinition, m_nNumber) == 252 && offsetof(CamToolDefinition, m_nKind) == 256 &&
                  offsetof(CamToolDefinition, m_dSize1) == 260 && offsetof(CamToolDefinition, m_dDiameter) == 268 &&
                  offsetof(CamToolDefinition, m_dSize3) == 276 && offsetof(CamToolDefinition, m_nSize4) == 284,
              "CAM tool definition layout");

// Record codes beyond the element codes (0-3 moves, 17-19, 20/21, 90/91 modes).
enum : WORD {
  kCamFeedRate = 0xFF01,  // double, mm/min
  kCamSpindle = 0xFF02,   // double
  kCamTool = 0xFF03,      // CamToolDefinition
  kCamMCode = 0xFF04,     // double
};

constexpr int kCamHeaderSize = (int)sizeof(CamFileHeader);
constexpr WORD kCamVersion = 0x100;
constexpr int kCamRecordHead = 4;    // code (16 bits) and payload length (16 bits)
constexpr int kCamMaxRecord = 2048;  // head and payload of the longest record read
constexpr int kCamKeySize = 16;
constexpr char kCamMagic[] = "Kestrada CAM File";

class CCamFile : public CFile {
 public:
  CCamFile();

  // FALSE when the file cannot be opened, is shorter than a header or is not a CAM
  // file; an empty file gets a fresh header image (for writing). On success the position
  // is the start of the body and the key is derived from the header image.
  BOOL Open(const char* path, UINT openFlags, CFileException* error = nullptr) override;
  void Close() override;
  // Unscrambles what it reads from the body.
  UINT Read(void* buffer, UINT count) override;
  // Scrambles a copy for the current position and writes it.
  void Write(const void* buffer, UINT count) override;
  ULONGLONG Seek(LONGLONG offset, UINT from) override;
  ULONGLONG GetPosition() const override;

  ULONGLONG GetBodyLength() const;
  // Writes the header image at offset 0 (unscrambled; a file holding less than a header
  // first reads what there is into the image) and moves to the body.
  void RewriteHeader();

  // The header image (kCamHeaderSize bytes, as stored).
  const BYTE* GetHeader() const { return m_abyHeader; }
  const BYTE* GetKey() const { return m_abyKey; }

 private:
  void DeriveKey();
  void Scramble(BYTE* bytes, UINT count, ULONGLONG position) const;
  // Gives back the bytes read ahead: the file position becomes the logical one.
  void DropReadAhead();

  CString m_strPath;
  BYTE m_abyHeader[kCamHeaderSize];
  BYTE m_abyKey[kCamKeySize];
  std::vector<BYTE> m_aAhead;   // unscrambled body bytes read ahead
  size_t m_nAheadPos = 0;       // next byte of m_aAhead to hand out
  ULONGLONG m_nAheadStart = 0;  // file position of m_aAhead[0]
};

// Open for reading (shared, binary) succeeds; the file is closed again.
BOOL IsCamFile(const char* path);
