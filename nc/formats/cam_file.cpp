#include "nc/formats/cam_file.h"

#include <algorithm>
#include <cstring>

#include "foundation/checksum.h"
#include "platform/bytes.h"

namespace {
constexpr char kProducer[] = "Corvane CNC Control";
constexpr UINT kReadAhead = 64 * 1024;

// A fresh header: size, version, magic and producer, zero-filled.
void MakeHeader(BYTE* header) {
  std::memset(header, 0, kCamHeaderSize);
  bytes::Store32(header + offsetof(CamFileHeader, m_nHeaderSize), kCamHeaderSize);
  bytes::Store16(header + offsetof(CamFileHeader, m_nVersion), kCamVersion);
  std::memcpy(header + offsetof(CamFileHeader, m_szMagic), kCamMagic, sizeof kCamMagic);
  std::memcpy(header + offsetof(CamFileHeader, m_szProducer), kProducer, sizeof kProducer);
}

bool HasMagic(const BYTE* header) {
  const char* magic = reinterpret_cast<const char*>(header + offsetof(CamFileHeader, m_szMagic));
  const size_t size = sizeof(CamFileHeader::m_szMagic);
  return CString(magic, (int)strnlen(magic, size)).CompareNoCase(kCamMagic) == 0;
}
}  // namespace

CCamFile::CCamFile() {
  MakeHeader(m_abyHeader);
  std::memset(m_abyKey, 0, sizeof m_abyKey);
}

BOOL CCamFile::Open(const char* path, UINT openFlags, CFileException* error) {
  DropReadAhead();
  if (!CFile::Open(path, openFlags, error)) return FALSE;
  try {
    ULONGLONG length = GetLength();
    if (length == 0) {
      MakeHeader(m_abyHeader);
    } else {
      BYTE header[kCamHeaderSize];
      if (length < (ULONGLONG)kCamHeaderSize || CFile::Read(header, kCamHeaderSize) != (UINT)kCamHeaderSize ||
          !HasMagic(header)) {
        Abort();
        return FALSE;
      }
      std::memcpy(m_abyHeader, header, sizeof header);
    }
  } catch (const CFileException& e) {
    if (error) *error = e;
    Abort();
    return FALSE;
  }
  m_strPath = path;
  DeriveKey();
  return TRUE;
}

void CCamFile::Close() {
  DropReadAhead();
  CFile::Close();
}

void CCamFile::DeriveKey() {
  Md5Context md5;
  Md5Init(&md5);
  Md5Update(&md5, m_abyHeader + offsetof(CamFileHeader, m_szMagic),
            kCamHeaderSize - offsetof(CamFileHeader, m_szMagic));
  Md5Final(m_abyKey, &md5);
}

void CCamFile::Scramble(BYTE* data, UINT count, ULONGLONG position) const {
  for (UINT i = 0; i < count; i++) {
    ULONGLONG p = position + i;
    if (p >= (ULONGLONG)kCamHeaderSize) data[i] ^= m_abyKey[(p - kCamHeaderSize) % kCamKeySize];
  }
}

// Records are read a few bytes at a time: the body comes through a read-ahead buffer,
// unscrambled as it is filled.
UINT CCamFile::Read(void* buffer, UINT count) {
  BYTE* out = static_cast<BYTE*>(buffer);
  UINT done = 0;
  while (done < count) {
    if (m_nAheadPos == m_aAhead.size()) {
      ULONGLONG start = CFile::GetPosition();
      m_aAhead.resize(kReadAhead);
      UINT got = CFile::Read(m_aAhead.data(), kReadAhead);
      m_aAhead.resize(got);
      m_nAheadPos = 0;
      m_nAheadStart = start;
      if (got == 0) break;
      Scramble(m_aAhead.data(), got, start);
    }
    UINT take = (UINT)std::min<size_t>(count - done, m_aAhead.size() - m_nAheadPos);
    std::memcpy(out + done, m_aAhead.data() + m_nAheadPos, take);
    m_nAheadPos += take;
    done += take;
  }
  return done;
}

void CCamFile::Write(const void* buffer, UINT count) {
  DropReadAhead();
  std::vector<BYTE> copy(static_cast<const BYTE*>(buffer), static_cast<const BYTE*>(buffer) + count);
  Scramble(copy.data(), count, CFile::GetPosition());
  CFile::Write(copy.data(), count);
}

ULONGLONG CCamFile::Seek(LONGLONG offset, UINT from) {
  DropReadAhead();
  return CFile::Seek(offset, from);
}

ULONGLONG CCamFile::GetPosition() const {
  if (m_nAheadPos < m_aAhead.size()) return m_nAheadStart + m_nAheadPos;
  return CFile::GetPosition();
}

void CCamFile::DropReadAhead() {
  if (m_nAheadPos < m_aAhead.size() && IsOpen()) CFile::Seek((LONGLONG)(m_nAheadStart + m_nAheadPos), begin);
  m_aAhead.clear();
  m_nAheadPos = 0;
}

ULONGLONG CCamFile::GetBodyLength() const {
  ULONGLONG length = GetLength();
  return length > (ULONGLONG)kCamHeaderSize ? length - kCamHeaderSize : 0;
}

void CCamFile::RewriteHeader() {
  DropReadAhead();
  ULONGLONG length = GetLength();
  if (length < (ULONGLONG)kCamHeaderSize) {
    CFile::Seek(0, begin);
    CFile::Read(m_abyHeader, (UINT)length);
  }
  CFile::Seek(0, begin);
  CFile::Write(m_abyHeader, kCamHeaderSize);
  CFile::Seek(kCamHeaderSize, begin);
}

BOOL IsCamFile(const char* path) {
  CCamFile file;
  if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) return FALSE;
  file.Abort();
  return TRUE;
}
