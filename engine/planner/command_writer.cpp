#include "engine/planner/command_writer.h"

#include <cstring>

#include "engine/planner/command_codes.h"

void CCommandWriter::Attach(IFrameQueue* queue) {
  m_pQueue = queue;
  Reset();
}

void CCommandWriter::Reset() {
  std::memset(m_abyBuffer, 0, sizeof m_abyBuffer);
  m_nFill = 0;
  m_bFailed = FALSE;
  m_nBytesQueued = 0;
  int capacity = m_pQueue ? m_pQueue->GetFrameDataCapacity() : 128;
  if (capacity < 2) capacity = 2;
  if (capacity > kBufferBytes) capacity = kBufferBytes;
  m_nCapacity = capacity & ~1;  // whole words per frame
}

void CCommandWriter::PutWord(WORD w) {
  PutByte(BYTE(w));
  PutByte(BYTE(w >> 8));
}

void CCommandWriter::PutDword(DWORD d) {
  PutWord(WORD(d));
  PutWord(WORD(d >> 16));
}

void CCommandWriter::PutBytes(const BYTE* bytes, int count) {
  while (count > 0) {
    int room = m_nCapacity - m_nFill;
    int n = count < room ? count : room;
    std::memcpy(m_abyBuffer + m_nFill, bytes, (size_t)n);
    m_nFill += n;
    bytes += n;
    count -= n;
    if (m_nFill >= m_nCapacity) Flush();
  }
}

void CCommandWriter::Command(WORD code, WORD value) {
  PutWord(WORD(kCommandBit + code));
  PutWord(2);
  PutWord(value);
}

void CCommandWriter::Command2(WORD code, DWORD value) {
  PutWord(WORD(kCommandBit + code));
  PutWord(4);
  PutDword(value);
}

// The queue may take fewer bytes than offered; what it leaves is offered again, so a
// frame's bytes are never dropped silently. A refusal (0 taken) fails the writer.
BOOL CCommandWriter::Push(const BYTE* bytes, int count) {
  if (m_bFailed) return FALSE;
  if (!m_pQueue) return TRUE;
  int sent = 0;
  while (sent < count) {
    WORD taken = m_pQueue->QueueDataFrame(FALSE, bytes + sent, count - sent);
    if (taken == 0 || taken > count - sent) {
      m_bFailed = TRUE;
      return FALSE;
    }
    sent += taken;
    m_nBytesQueued += taken;
  }
  return TRUE;
}

BOOL CCommandWriter::Flush() {
  if (m_nFill == 0) return !m_bFailed;
  BOOL ok = Push(m_abyBuffer, m_nFill);
  std::memset(m_abyBuffer, 0, (size_t)m_nFill);
  m_nFill = 0;
  return ok;
}

BOOL CCommandWriter::QueueDirect(const BYTE* bytes, int count) { return Push(bytes, count); }
