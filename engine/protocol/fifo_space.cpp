#include "engine/protocol/fifo_space.h"

#include <climits>
#include <cstring>

#include "foundation/settings.h"
#include "platform/bytes.h"
#include "platform/locked.h"

CFiFoSpace::~CFiFoSpace() { Reset(); }

ULONGLONG CFiFoSpace::Open(const char* appFolder, ULONGLONG firstSize, DWORD slotSize) {
  Reset();
  CSingleLock lock(&m_Lock, TRUE);
  if (slotSize < 3 || firstSize < slotSize) return 0;
  CString folder = CString(appFolder ? appFolder : "") + "FiFo\\";
  CreateFolderPath(folder);
  // Tick count and a number that differs per process and per call: two engines started
  // in the same tick still draw different names, and a clash is drawn again.
  CString name;
  do {
    m_nNameSeed = m_nNameSeed * 1103515245u + 12345u + GetCurrentProcessId();
    name.Format("%s%04d%04d.fifo", (const char*)folder, (int)GetTickCount(), (int)((m_nNameSeed >> 16) % 32768));
  } while (platform::PathExists(name));
  if (!m_File.Create(name, firstSize)) return 0;
  m_strFileName = name;
  m_nSlotSize = slotSize;
  m_nCapacity = DWORD(firstSize / slotSize);
  return m_File.GetSize();
}

BOOL CFiFoSpace::Push(const BYTE* bytes, DWORD length) {
  CSingleLock lock(&m_Lock, TRUE);
  if (!bytes || length == 0 || !m_File.IsOpen() || length > m_nSlotSize - 2) return FALSE;
  if (m_nCapacity < m_nWritten + kFifoMinFree) {
    if (m_nCapacity > UINT_MAX - kFifoGrowSlots || !Grow(m_nCapacity + kFifoGrowSlots)) return FALSE;
  }
  BYTE* slot = m_WriteWindow.Get(m_File, ULONGLONG(m_nWritten) * m_nSlotSize, m_nSlotSize);
  if (!slot) return FALSE;
  bytes::Store16(slot, (uint16_t)length);
  memcpy(slot + 2, bytes, length);
  ++m_nWritten;
  return TRUE;
}

DWORD CFiFoSpace::Pop(BYTE* buffer, DWORD size) {
  if (!buffer || size == 0 || m_nRead >= m_nEnd) return 0;
  CSingleLock lock(&m_Lock, TRUE);
  if (!m_File.IsOpen() || m_nRead >= m_nEnd) return 0;
  // A sender that keeps up reads what the producer's window still holds: those pages
  // are mapped already.
  ULONGLONG offset = ULONGLONG(m_nRead) * m_nSlotSize;
  const BYTE* slot = m_WriteWindow.Peek(offset, m_nSlotSize);
  if (!slot) slot = m_ReadWindow.Get(m_File, offset, m_nSlotSize);
  if (!slot) return 0;
  DWORD n = bytes::Load16(slot);
  if (n > m_nSlotSize - 2) n = m_nSlotSize - 2;
  if (n > size) n = size;
  memcpy(buffer, slot + 2, n);
  ++m_nRead;
  return n;
}

void CFiFoSpace::MarkEnd() {
  CSingleLock lock(&m_Lock, TRUE);
  m_nEnd = m_nWritten;
}

DWORD CFiFoSpace::GetLevel(DWORD* written, DWORD* read) {
  CSingleLock lock(&m_Lock, TRUE);
  if (written) *written = m_nWritten;
  if (read) *read = m_nRead;
  return m_nWritten - m_nRead;
}

void CFiFoSpace::Reset() {
  CSingleLock lock(&m_Lock, TRUE);
  CloseFile();
  m_nSlotSize = m_nCapacity = m_nWritten = 0;
  m_nRead = 0;
  m_nEnd = 0;
}

BOOL CFiFoSpace::IsOpen() {
  CSingleLock lock(&m_Lock, TRUE);
  return m_File.IsOpen() ? TRUE : FALSE;
}

ULONGLONG CFiFoSpace::GetFileSize() {
  CSingleLock lock(&m_Lock, TRUE);
  return m_File.GetSize();
}

CString CFiFoSpace::GetFileName() { return ReadLocked(m_Lock, m_strFileName); }
DWORD CFiFoSpace::GetCapacity() { return ReadLocked(m_Lock, m_nCapacity); }

// The stored items are cut to before the file goes, so that a file that cannot be
// deleted (opened by a viewer) keeps only what was written.
void CFiFoSpace::CloseFile() {
  m_WriteWindow.Unmap();
  m_ReadWindow.Unmap();
  m_File.Close(ULONGLONG(m_nWritten) * m_nSlotSize);
  if (!m_strFileName.IsEmpty()) platform::RemoveFile(m_strFileName);
  m_strFileName.Empty();
}

// A failed growth keeps the file as it was, so the frames already in it can still be
// sent; only the push that needed room fails.
bool CFiFoSpace::Grow(DWORD slots) {
  if (!m_File.Grow(ULONGLONG(slots) * m_nSlotSize)) return false;
  m_nCapacity = slots;
  return true;
}
