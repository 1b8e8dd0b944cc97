// A file mapped whole into memory for reading and writing, that can grow.
//
// Stores that keep more than memory should hold (the engine's spill FIFO) write through
// the mapping; the pages belong to the file, so the process does not grow with it.
// The file's blocks are reserved when it is sized, so a full disk shows as a failed
// Create or Resize, never as a fault on a later write through the view.
#pragma once

#include "platform/types.h"

class CMappedFile {
 public:
  CMappedFile() = default;
  ~CMappedFile();  // Close(GetSize())
  CMappedFile(const CMappedFile&) = delete;
  CMappedFile& operator=(const CMappedFile&) = delete;

  // Creates the file (replacing one of that name; its folder must exist), sized to
  // size bytes (not 0) and mapped whole. false leaves nothing open and no file behind.
  bool Create(const char* path, ULONGLONG size);
  // Sets the file to size bytes and maps it again; the view moves. On failure the old
  // size and view are restored when possible (true is never returned then); when even
  // that fails, the file is closed.
  bool Resize(ULONGLONG size);
  // Unmaps, sets the file's length to keepLength (at most its size) and closes it.
  void Close(ULONGLONG keepLength);

  bool IsOpen() const { return m_pView != nullptr; }
  BYTE* GetView() const { return m_pView; }
  ULONGLONG GetSize() const { return m_nSize; }

 private:
  bool SetLength(ULONGLONG size);
  bool Map(ULONGLONG size);
  void Unmap();
  void CloseFile();

  BYTE* m_pView = nullptr;  // the whole file; null when closed
  ULONGLONG m_nSize = 0;    // bytes of the file and of the view
#ifdef _WIN32
  HANDLE m_hFile = INVALID_HANDLE_VALUE;
  HANDLE m_hMapping = nullptr;
#else
  int m_fd = -1;
#endif
};
