#include "nc/text_line_file.h"

#include <climits>
#include <cstring>

namespace {
constexpr size_t kBufferSize = 64 * 1024;
constexpr unsigned char kByteOrderMark[] = {0xEF, 0xBB, 0xBF};  // UTF-8
}  // namespace

bool CTextLineFile::Open(const char* path) {
  Close();
  if (!m_file.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) return false;
  m_buffer.resize(kBufferSize);
  if (Fill() && m_nEnd >= sizeof kByteOrderMark &&
      std::memcmp(m_buffer.data(), kByteOrderMark, sizeof kByteOrderMark) == 0)
    m_nNext = sizeof kByteOrderMark;
  return true;
}

void CTextLineFile::Close() {
  if (m_file.IsOpen()) m_file.Abort();
  m_nNext = m_nEnd = 0;
  m_nBufferStart = 0;
  m_bReadError = false;
}

bool CTextLineFile::Fill() {
  m_nBufferStart += m_nEnd;
  m_nNext = m_nEnd = 0;
  if (!m_file.IsOpen()) return false;
  try {
    m_nEnd = m_file.Read(m_buffer.data(), (UINT)m_buffer.size());
  } catch (const CFileException&) {
    m_nEnd = 0;
    m_bReadError = true;
  }
  return m_nEnd > 0;
}

namespace {
// The bytes a line scan stops at: the line ends, and a NUL (noted; the line goes on).
struct LineStops {
  bool stop[256];
  constexpr LineStops() : stop() { stop[(unsigned char)'\n'] = stop[(unsigned char)'\r'] = stop[0] = true; }
};
constexpr LineStops kLineStops;
}  // namespace

// One pass over the bytes finds the line end and any NUL: the C library of the product
// (msvcrt under Wine) searches byte by byte, so a search per character would cost a
// pass each.
int CTextLineFile::ReadLine(char* line, int capacity) {
  m_bLineHadNul = false;
  if (m_nNext == m_nEnd && !Fill()) return -1;
  int length = 0;
  int stored = 0;
  for (;;) {
    if (m_nNext == m_nEnd && !Fill()) break;
    const char* from = m_buffer.data() + m_nNext;
    const char* end = m_buffer.data() + m_nEnd;
    const char* p = from;
    for (;;) {
      while (p < end && !kLineStops.stop[(unsigned char)*p]) p++;
      if (p == end || *p != '\0') break;
      m_bLineHadNul = true;
      p++;
    }
    const size_t take = (size_t)(p - from);
    const size_t room = capacity > stored + 1 ? (size_t)(capacity - 1 - stored) : 0;
    const size_t copy = take < room ? take : room;
    std::memcpy(line + stored, from, copy);
    stored += (int)copy;
    length = take > (size_t)(INT_MAX - length) ? INT_MAX : length + (int)take;  // saturates on a line of gigabytes
    m_nNext += take;
    if (p < end) {
      m_nNext++;  // the CR or LF
      if (*p == '\r') SkipLfAfterCr();
      break;
    }
  }
  if (capacity > 0) line[stored] = '\0';
  return length;
}

bool CTextLineFile::Seek(ULONGLONG position) {
  if (!m_file.IsOpen()) return false;
  if (position >= m_nBufferStart && position <= m_nBufferStart + m_nEnd) {
    m_nNext = (size_t)(position - m_nBufferStart);
    return true;
  }
  try {
    m_file.Seek((LONGLONG)position, CFile::begin);
  } catch (const CFileException&) {
    return false;
  }
  m_nBufferStart = position;
  m_nNext = m_nEnd = 0;
  return true;
}
