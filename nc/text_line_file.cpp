#include "nc/text_line_file.h"

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
  m_bLfKnown = false;
  if (!m_file.IsOpen()) return false;
  try {
    m_nEnd = m_file.Read(m_buffer.data(), (UINT)m_buffer.size());
  } catch (const CFileException&) {
    m_nEnd = 0;
    m_bReadError = true;
  }
  return m_nEnd > 0;
}

// The line end is searched with memchr, much faster than a loop over the bytes: the next
// LF (remembered for the buffer, so that a file of CR line ends is not searched to the
// end of the buffer for every line), then a CR before it.
int CTextLineFile::ReadLine(char* line, int capacity) {
  if (m_nNext == m_nEnd && !Fill()) return -1;
  int length = 0;
  int stored = 0;
  for (;;) {
    if (m_nNext == m_nEnd && !Fill()) break;
    const char* base = m_buffer.data();
    if (!m_bLfKnown || m_nLf < m_nNext) {
      const void* nl = std::memchr(base + m_nNext, '\n', m_nEnd - m_nNext);
      m_nLf = nl ? (size_t)(static_cast<const char*>(nl) - base) : m_nEnd;
      m_bLfKnown = true;
    }
    const void* cr = std::memchr(base + m_nNext, '\r', m_nLf - m_nNext);
    const size_t stop = cr ? (size_t)(static_cast<const char*>(cr) - base) : m_nLf;
    const size_t take = stop - m_nNext;
    const size_t room = capacity > stored + 1 ? (size_t)(capacity - 1 - stored) : 0;
    const size_t copy = take < room ? take : room;
    std::memcpy(line + stored, base + m_nNext, copy);
    stored += (int)copy;
    length += (int)take;
    m_nNext = stop;
    if (stop < m_nEnd) {
      m_nNext++;  // the CR or LF
      if (cr) SkipLfAfterCr();
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
    m_bLfKnown = false;
    return true;
  }
  try {
    m_file.Seek((LONGLONG)position, CFile::begin);
  } catch (const CFileException&) {
    return false;
  }
  m_nBufferStart = position;
  m_nNext = m_nEnd = 0;
  m_bLfKnown = false;
  return true;
}
