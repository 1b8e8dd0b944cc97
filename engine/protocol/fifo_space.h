// CFiFoSpace: the spill FIFO, a first-in first-out store of device frames in a mapped
// file, so that a job's frames need not live in memory.
//
// File "<program folder>FiFo\<tick><random>.fifo", no header; slot i at i * slot size
// holds a u16 item length and the item (a frame's wire form). Items are written at
// increasing slots and never overwritten, so the file holds the whole job sent so far;
// it grows by kFifoGrowSlots when fewer than kFifoMinFree slots are left, never shrinks
// while open, and is deleted by Reset.
//
// One producer pushes and publishes runs with MarkEnd; one consumer pops what has been
// published. Counters: read <= end <= written <= capacity. Every operation holds the
// lock for its whole duration, a growth included; only a Pop that finds nothing
// published returns without it, so an idle sender does not hold up the producer.
#pragma once

#include <atomic>

#include "platform/core.h"
#include "platform/mapped_file.h"

constexpr ULONGLONG kFifoFirstSize = 1000000;  // bytes of a fresh file: 830 slots
constexpr DWORD kFifoSlotSize = 1204;          // a u16 length + the 1202-byte memory form
constexpr DWORD kFifoGrowSlots = 5000;
constexpr DWORD kFifoMinFree = 10;

class CFiFoSpace {
 public:
  CFiFoSpace() = default;
  virtual ~CFiFoSpace();
  CFiFoSpace(const CFiFoSpace&) = delete;
  CFiFoSpace& operator=(const CFiFoSpace&) = delete;

  // Reset, then a fresh file under appFolder (ending in "\"), its folder created, under
  // a name no file has yet. Returns the file size, 0 when no file could be made (every
  // push is then refused).
  ULONGLONG Open(const char* appFolder, ULONGLONG firstSize, DWORD slotSize);
  // Appends one item. FALSE when no file is open, the item is empty or longer than a
  // slot holds, or the file had to grow and could not; nothing is written then.
  BOOL Push(const BYTE* bytes, DWORD length);
  // Takes the oldest published item: copies min(its length, size) bytes and returns
  // that count; 0 when nothing published waits.
  DWORD Pop(BYTE* buffer, DWORD size);
  // Items pushed so far become visible to Pop.
  void MarkEnd();
  // Items pushed and not yet popped, published or not; the two counters when asked.
  DWORD GetLevel(DWORD* written = nullptr, DWORD* read = nullptr);
  // Closes and deletes the file; all counters 0.
  void Reset();

  BOOL IsOpen();
  CString GetFileName();
  DWORD GetCapacity();
  ULONGLONG GetFileSize();

 private:
  void CloseFile();
  bool Grow(DWORD slots);

  CCriticalSection m_Lock;  // guards every member below
  CString m_strFileName;    // the open file; empty when none
  CMappedFile m_File;
  CMappedWindow m_WriteWindow{true};  // where the producer writes
  CMappedWindow m_ReadWindow;         // where the sender reads
  DWORD m_nSlotSize = 0;              // bytes per slot
  DWORD m_nCapacity = 0;              // whole slots in the file
  DWORD m_nRead = 0;                  // items taken
  DWORD m_nEnd = 0;                   // items published for reading
  DWORD m_nWritten = 0;               // items put
  DWORD m_nNameSeed = 0;              // varies the names drawn; never reset
};
