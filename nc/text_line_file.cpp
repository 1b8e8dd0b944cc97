#include "nc/text_line_file.h"

#include <cstring>

namespace {
const size_t kBufferSize = 64 * 1024;
}

BOOL CTextLineFile::Open(const char* path) {
  Close();
  if (!m_file.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) return FALSE;
  m_buffer.resize(kBufferSize);
  return TRUE;
}

void CTextLineFile::Close() {
  if (m_file.IsOpen()) m_file.Abort();
  m_nNext = m_nEnd = 0;
  m_nBufferStart = 0;
}

bool CTextLineFile::Fill() {
  m_nBufferStart += m_nEnd;
  m_nNext = m_nEnd = 0;
  if (!m_file.IsOpen()) return false;
  try {
    m_nEnd = m_file.Read(m_buffer.data(), (UINT)m_buffer.size());
  } catch (const CFileException&) {
    m_nEnd = 0;
  }
  return m_nEnd > 0;
}

int CTextLineFile::ReadLine(char* line, int capacity) {
  if (capacity <= 0) return 0;
  int stored = 0;
  while (stored < capacity - 1) {
    if (m_nNext == m_nEnd && !Fill()) break;
    size_t want = (size_t)(capacity - 1 - stored);
    size_t avail = m_nEnd - m_nNext;
    if (avail < want) want = avail;
    const char* from = m_buffer.data() + m_nNext;
    const char* nl = static_cast<const char*>(std::memchr(from, '\n', want));
    size_t take = nl ? (size_t)(nl - from) + 1 : want;
    std::memcpy(line + stored, from, take);
    stored += (int)take;
    m_nNext += take;
    if (nl) break;
  }
  line[stored] = '\0';
  return stored;
}

int CTextLineFile::ReadWholeLine(char* line, int capacity) {
  int stored = ReadLine(line, capacity);
  if (stored == 0) return -1;
  if (line[stored - 1] == '\n') return stored;
  // Skip the rest of an over-long line.
  char rest[256];
  int n;
  while ((n = ReadLine(rest, (int)sizeof rest)) > 0)
    if (rest[n - 1] == '\n') break;
  return stored;
}

BOOL CTextLineFile::Seek(ULONGLONG position) {
  if (!m_file.IsOpen()) return FALSE;
  if (position >= m_nBufferStart && position <= m_nBufferStart + m_nEnd) {
    m_nNext = (size_t)(position - m_nBufferStart);
    return TRUE;
  }
  try {
    m_file.Seek((LONGLONG)position, CFile::begin);
  } catch (const CFileException&) {
    return FALSE;
  }
  m_nBufferStart = position;
  m_nNext = m_nEnd = 0;
  return TRUE;
}
