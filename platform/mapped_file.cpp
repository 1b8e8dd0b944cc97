#include "platform/mapped_file.h"

#include <vector>

#include "platform/file.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#endif

namespace {
constexpr ULONGLONG kGranularity = 64 * 1024;         // window starts: the largest mapping granularity in use
constexpr ULONGLONG kWindowBytes = 16 * 1024 * 1024;  // bytes one window maps, at most
constexpr ULONGLONG kZeroChunk = 256 * 1024;          // bytes of zeros per write when the file grows
}  // namespace

CMappedFile::~CMappedFile() { Close(m_nSize); }

#ifdef _WIN32

bool CMappedFile::IsOpen() const { return m_hMapping != nullptr; }

bool CMappedFile::Create(const char* path, ULONGLONG size) {
  Close(m_nSize);
  if (!path || !*path || size == 0) return false;  // an empty file cannot be mapped
  m_hFile = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (m_hFile == INVALID_HANDLE_VALUE) return false;
  if (Grow(size)) return true;
  CloseHandle(m_hFile);
  m_hFile = INVALID_HANDLE_VALUE;
  DeleteFileA(path);
  return false;
}

// Views of the old mapping object stay valid, so it is closed only once the new one,
// covering the longer file, exists.
bool CMappedFile::Grow(ULONGLONG size) {
  if (m_hFile == INVALID_HANDLE_VALUE || size < m_nSize) return false;
  HANDLE mapping = nullptr;
  if (WriteZeros(m_nSize, size))
    mapping = CreateFileMappingA(m_hFile, nullptr, PAGE_READWRITE, DWORD(size >> 32), DWORD(size), nullptr);
  if (!mapping) {
    Truncate(m_nSize);
    return false;
  }
  if (m_hMapping) CloseHandle(m_hMapping);
  m_hMapping = mapping;
  m_nSize = size;
  return true;
}

bool CMappedFile::WriteZeros(ULONGLONG from, ULONGLONG to) {
  std::vector<BYTE> zeros(kZeroChunk);
  LARGE_INTEGER pos;
  pos.QuadPart = LONGLONG(from);
  if (!SetFilePointerEx(m_hFile, pos, nullptr, FILE_BEGIN)) return false;
  for (ULONGLONG at = from; at < to;) {
    DWORD n = DWORD(to - at < kZeroChunk ? to - at : kZeroChunk);
    DWORD written = 0;
    if (!WriteFile(m_hFile, zeros.data(), n, &written, nullptr) || written != n) return false;
    at += n;
  }
  return true;
}

void CMappedFile::Truncate(ULONGLONG size) {
  LARGE_INTEGER pos;
  pos.QuadPart = LONGLONG(size);
  if (SetFilePointerEx(m_hFile, pos, nullptr, FILE_BEGIN)) SetEndOfFile(m_hFile);
}

void CMappedFile::Close(ULONGLONG keepLength) {
  if (m_hMapping) CloseHandle(m_hMapping);
  m_hMapping = nullptr;
  if (m_hFile != INVALID_HANDLE_VALUE) {
    if (keepLength < m_nSize) Truncate(keepLength);
    CloseHandle(m_hFile);
  }
  m_hFile = INVALID_HANDLE_VALUE;
  m_nSize = 0;
}

BYTE* CMappedWindow::Get(CMappedFile& file, ULONGLONG offset, DWORD length) {
  if (BYTE* held = Peek(offset, length)) return held;
  Unmap();
  if (!file.IsOpen() || offset + length > file.m_nSize) return nullptr;
  ULONGLONG start = offset / kGranularity * kGranularity;
  ULONGLONG end = start + kWindowBytes < offset + length ? offset + length : start + kWindowBytes;
  if (end > file.m_nSize) end = file.m_nSize;
  void* view =
      MapViewOfFile(file.m_hMapping, FILE_MAP_ALL_ACCESS, DWORD(start >> 32), DWORD(start), SIZE_T(end - start));
  if (!view) return nullptr;
  m_pView = static_cast<BYTE*>(view);
  m_nStart = start;
  m_nLength = end - start;
  return m_pView + (offset - start);
}

void CMappedWindow::Unmap() {
  if (m_pView) UnmapViewOfFile(m_pView);
  m_pView = nullptr;
  m_nLength = 0;
}

#else

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23  // Linux 5.14; older kernels refuse it and the pages fault in
#endif

bool CMappedFile::IsOpen() const { return m_fd >= 0; }

bool CMappedFile::Create(const char* path, ULONGLONG size) {
  Close(m_nSize);
  if (!path || !*path || size == 0) return false;
  m_fd = open(platform::NativePath(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (m_fd < 0) return false;
  if (Grow(size)) return true;
  close(m_fd);
  m_fd = -1;
  platform::RemoveFile(path);
  return false;
}

bool CMappedFile::Grow(ULONGLONG size) {
  if (m_fd < 0 || size < m_nSize) return false;
  if (!WriteZeros(m_nSize, size)) {
    Truncate(m_nSize);
    return false;
  }
  m_nSize = size;
  return true;
}

bool CMappedFile::WriteZeros(ULONGLONG from, ULONGLONG to) {
  std::vector<BYTE> zeros(kZeroChunk);
  for (ULONGLONG at = from; at < to;) {
    size_t n = size_t(to - at < kZeroChunk ? to - at : kZeroChunk);
    ssize_t written = pwrite(m_fd, zeros.data(), n, off_t(at));
    if (written <= 0) return false;
    at += ULONGLONG(written);
  }
  return true;
}

void CMappedFile::Truncate(ULONGLONG size) {
  if (ftruncate(m_fd, off_t(size)) != 0) {
    // the file stays longer; its first bytes are intact and its owner deletes it
  }
}

void CMappedFile::Close(ULONGLONG keepLength) {
  if (m_fd >= 0) {
    if (keepLength < m_nSize) Truncate(keepLength);
    close(m_fd);
  }
  m_fd = -1;
  m_nSize = 0;
}

BYTE* CMappedWindow::Get(CMappedFile& file, ULONGLONG offset, DWORD length) {
  if (BYTE* held = Peek(offset, length)) return held;
  Unmap();
  if (!file.IsOpen() || offset + length > file.m_nSize) return nullptr;
  ULONGLONG start = offset / kGranularity * kGranularity;
  ULONGLONG end = start + kWindowBytes < offset + length ? offset + length : start + kWindowBytes;
  if (end > file.m_nSize) end = file.m_nSize;
  void* view = mmap(nullptr, size_t(end - start), PROT_READ | PROT_WRITE, MAP_SHARED, file.m_fd, off_t(start));
  if (view == MAP_FAILED) return nullptr;
  // One call makes every page writable: a fault per page costs far more, in a virtual
  // machine most of all.
  if (m_bForWriting) madvise(view, size_t(end - start), MADV_POPULATE_WRITE);
  m_pView = static_cast<BYTE*>(view);
  m_nStart = start;
  m_nLength = end - start;
  return m_pView + (offset - start);
}

void CMappedWindow::Unmap() {
  if (m_pView) munmap(m_pView, size_t(m_nLength));
  m_pView = nullptr;
  m_nLength = 0;
}

#endif
