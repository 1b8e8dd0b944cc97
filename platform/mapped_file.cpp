#include "platform/mapped_file.h"

#include <string>

#include "platform/file.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#endif

CMappedFile::~CMappedFile() { Close(m_nSize); }

bool CMappedFile::Create(const char* path, ULONGLONG size) {
  Close(m_nSize);
  if (!path || !*path || size == 0) return false;  // an empty file cannot be mapped
#ifdef _WIN32
  m_hFile = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  bool opened = m_hFile != INVALID_HANDLE_VALUE;
#else
  m_fd = open(platform::NativePath(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  bool opened = m_fd >= 0;
#endif
  if (!opened) return false;
  if (SetLength(size) && Map(size)) {
    m_nSize = size;
    return true;
  }
  CloseFile();
  platform::RemoveFile(path);
  return false;
}

bool CMappedFile::Resize(ULONGLONG size) {
  if (!IsOpen() || size == 0) return false;
  ULONGLONG old = m_nSize;
  Unmap();
  if (SetLength(size) && Map(size)) {
    m_nSize = size;
    return true;
  }
  if (!(SetLength(old) && Map(old))) {
    CloseFile();
    m_nSize = 0;
  }
  return false;
}

void CMappedFile::Close(ULONGLONG keepLength) {
  Unmap();
  if (keepLength < m_nSize) SetLength(keepLength);
  CloseFile();
  m_nSize = 0;
}

#ifdef _WIN32

bool CMappedFile::SetLength(ULONGLONG size) {
  if (m_hFile == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER pos;
  pos.QuadPart = LONGLONG(size);
  return SetFilePointerEx(m_hFile, pos, nullptr, FILE_BEGIN) && SetEndOfFile(m_hFile);
}

bool CMappedFile::Map(ULONGLONG size) {
  m_hMapping = CreateFileMappingA(m_hFile, nullptr, PAGE_READWRITE, DWORD(size >> 32), DWORD(size), nullptr);
  if (!m_hMapping) return false;
  m_pView = static_cast<BYTE*>(MapViewOfFile(m_hMapping, FILE_MAP_ALL_ACCESS, 0, 0, SIZE_T(size)));
  if (m_pView) return true;
  CloseHandle(m_hMapping);
  m_hMapping = nullptr;
  return false;
}

void CMappedFile::Unmap() {
  if (m_pView) UnmapViewOfFile(m_pView);
  m_pView = nullptr;
  if (m_hMapping) CloseHandle(m_hMapping);
  m_hMapping = nullptr;
}

void CMappedFile::CloseFile() {
  Unmap();
  if (m_hFile != INVALID_HANDLE_VALUE) CloseHandle(m_hFile);
  m_hFile = INVALID_HANDLE_VALUE;
}

#else

// The blocks are allocated, not left sparse: a write through the view into a hole on
// a full disk would kill the process with SIGBUS.
bool CMappedFile::SetLength(ULONGLONG size) {
  if (m_fd < 0) return false;
  if (ftruncate(m_fd, off_t(size)) != 0) return false;
  if (size == 0) return true;
  int rc = posix_fallocate(m_fd, 0, off_t(size));
  return rc == 0 || rc == EOPNOTSUPP || rc == EINVAL;  // a file system without it keeps the ftruncate
}

bool CMappedFile::Map(ULONGLONG size) {
  void* view = mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
  if (view == MAP_FAILED) return false;
  m_pView = static_cast<BYTE*>(view);
  return true;
}

void CMappedFile::Unmap() {
  if (m_pView) munmap(m_pView, size_t(m_nSize));
  m_pView = nullptr;
}

void CMappedFile::CloseFile() {
  Unmap();
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
}

#endif
