#include "nc/formats/cam_file.h"

#include <algorithm>
#include <cstring>

#include "foundation/checksum.h"

namespace {
const char kProducer[] = "Corvane CNC Control";
const UINT kReadAhead = 64 * 1024;
}  // namespace

CCamFile::CCamFile() {
  std::memset(&m_header, 0, sizeof m_header);
  m_header.m_nHeaderSize = kCamHeaderSize;
  m_header.m_nVersion = 0x100;
  std::strcpy(m_header.m_szMagic, kCamMagic);
  std::strcpy(m_header.m_szProducer, kProducer);
  std::memset(m_abyKey, 0, sizeof m_abyKey);
}

BOOL CCamFile::Open(const char* path, UINT openFlags, CFileException* error) {
  DropReadAhead();
  if (!CFile::Open(path, openFlags, error)) return FALSE;
  try {
    ULONGLONG length = GetLength();
    if (length == 0) {
      CCamFile fresh;
      m_header = fresh.m_header;
    } else {
      CamFileHeader header;
      if (length < (ULONGLONG)kCamHeaderSize || CFile::Read(&header, kCamHeaderSize) != (UINT)kCamHeaderSize ||
          CString(header.m_szMagic, (int)strnlen(header.m_szMagic, sizeof header.m_szMagic)).CompareNoCase(kCamMagic) !=
              0) {
        Abort();
        return FALSE;
      }
      m_header = header;
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
  Md5Update(&md5, reinterpret_cast<const BYTE*>(&m_header) + offsetof(CamFileHeader, m_szMagic),
            sizeof m_header - offsetof(CamFileHeader, m_szMagic));
  Md5Final(m_abyKey, &md5);
}

void CCamFile::Scramble(BYTE* bytes, UINT count, ULONGLONG position) const {
  for (UINT i = 0; i < count; i++) {
    ULONGLONG p = position + i;
    if (p >= (ULONGLONG)kCamHeaderSize) bytes[i] ^= m_abyKey[(p - kCamHeaderSize) % 16];
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
    CFile::Read(&m_header, (UINT)length);
  }
  CFile::Seek(0, begin);
  CFile::Write(&m_header, kCamHeaderSize);
  CFile::Seek(kCamHeaderSize, begin);
}

BOOL IsCamFile(const char* path) {
  CCamFile file;
  if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) return FALSE;
  file.Abort();
  return TRUE;
}
