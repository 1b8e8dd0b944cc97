// A file that grows, used through windows mapped into memory.
//
// Stores that keep more than memory should hold (the engine's spill FIFO) write and read
// through the mapping; the pages belong to the file, so the process does not grow with
// it. Only windows of the file are mapped, each a few megabytes, so growing a large file
// never remaps (and never walks) what is already in it. The file is sized by writing
// zeros: a full disk shows as a failed Create or Grow, never as a fault on a later write
// through a window, and a page touched through a window is already in the cache (a
// fault on a hole must allocate and zero it, which costs several times more).
#pragma once

#include "platform/types.h"

class CMappedFile {
 public:
  CMappedFile() = default;
  ~CMappedFile();  // Close(GetSize())
  CMappedFile(const CMappedFile&) = delete;
  CMappedFile& operator=(const CMappedFile&) = delete;

  // Creates the file (replacing one of that name; its folder must exist), size bytes
  // long (not 0). false leaves nothing open and no file behind.
  bool Create(const char* path, ULONGLONG size);
  // Makes the file size bytes long (not shorter than it is). Windows mapped before stay
  // valid. false keeps the old size.
  bool Grow(ULONGLONG size);
  // Sets the file's length to keepLength (at most its size) and closes it. Every window
  // on it must have been unmapped.
  void Close(ULONGLONG keepLength);

  bool IsOpen() const;
  ULONGLONG GetSize() const { return m_nSize; }

 private:
  friend class CMappedWindow;
  // The system's part.
  bool OpenFile(const char* path);
  bool HasFile() const;
  void CloseFile();
  bool WriteZeros(ULONGLONG from, ULONGLONG to);
  void Truncate(ULONGLONG size);
  bool MapWhole(ULONGLONG size);  // a mapping of the file at this size, where the system needs one
  void ReleaseMapping();

  ULONGLONG m_nSize = 0;  // bytes of the file
#ifdef _WIN32
  HANDLE m_hFile = INVALID_HANDLE_VALUE;
  HANDLE m_hMapping = nullptr;  // of the whole file; replaced by a larger one on growth
#else
  int m_fd = -1;
#endif
};

// One window on a CMappedFile. A window for writing has its pages made writable when it
// is mapped, where the system allows it, instead of taking a fault on each page's first
// write.
class CMappedWindow {
 public:
  explicit CMappedWindow(bool forWriting = false) : m_bForWriting(forWriting) {}
  ~CMappedWindow() { Unmap(); }
  CMappedWindow(const CMappedWindow&) = delete;
  CMappedWindow& operator=(const CMappedWindow&) = delete;

  // The address of bytes [offset, offset + length) of the file, mapping a new window
  // there when this one does not hold them. Null when they lie beyond the file's end or
  // cannot be mapped. Valid until the next Get or Unmap.
  BYTE* Get(CMappedFile& file, ULONGLONG offset, DWORD length);
  // The same when this window holds the bytes already; null otherwise (nothing is mapped).
  BYTE* Peek(ULONGLONG offset, DWORD length) const {
    return m_pView && offset >= m_nStart && offset + length <= m_nStart + m_nLength ? m_pView + (offset - m_nStart)
                                                                                    : nullptr;
  }
  void Unmap();

 private:
  static void* MapView(CMappedFile& file, ULONGLONG start, ULONGLONG length, bool forWriting);

  bool m_bForWriting;
  BYTE* m_pView = nullptr;  // the window's first byte; null none
  ULONGLONG m_nStart = 0;   // file offset of m_pView (a multiple of the mapping granularity)
  ULONGLONG m_nLength = 0;  // bytes mapped
};
