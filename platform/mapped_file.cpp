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

bool CMappedFile::Create(const char* path, ULONGLONG size) {
  Close(m_nSize);
  if (!path || !*path || size == 0) return false;  // an empty file cannot be mapped
  if (!OpenFile(path)) return false;
  if (Grow(size)) return true;
  CloseFile();
  platform::RemoveFile(path);
  return false;
}

bool CMappedFile::Grow(ULONGLONG size) {
  if (!HasFile() || size < m_nSize) return false;
  if (!WriteZeros(m_nSize, size) || !MapWhole(size)) {
    Truncate(m_nSize);
    return false;
  }
  m_nSize = size;
  return true;
}

void CMappedFile::Close(ULONGLONG keepLength) {
  ReleaseMapping();
  if (HasFile()) {
    if (keepLength < m_nSize) Truncate(keepLength);
    CloseFile();
  }
  m_nSize = 0;
}

BYTE* CMappedWindow::Get(CMappedFile& file, ULONGLONG offset, DWORD length) {
  if (BYTE* held = Peek(offset, length)) return held;
  Unmap();
  if (!file.IsOpen() || offset + length > file.m_nSize) return nullptr;
  ULONGLONG start = offset / kGranularity * kGranularity;
  ULONGLONG end = start + kWindowBytes < offset + length ? offset + length : start + kWindowBytes;
  if (end > file.m_nSize) end = file.m_nSize;
  void* view = MapView(file, start, end - start, m_bForWriting);
  if (!view) return nullptr;
  m_pView = static_cast<BYTE*>(view);
  m_nStart = start;
  m_nLength = end - start;
  return m_pView + (offset - start);
}

#ifdef _WIN32

bool CMappedFile::IsOpen() const { return m_hMapping != nullptr; }
bool CMappedFile::HasFile() const { return m_hFile != INVALID_HANDLE_VALUE; }

bool CMappedFile::OpenFile(const char* path) {
  m_hFile = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  return HasFile();
}

void CMappedFile::CloseFile() {
  if (HasFile()) CloseHandle(m_hFile);
  m_hFile = INVALID_HANDLE_VALUE;
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

// Views of the old mapping object stay valid, so it is closed only once the new one,
// covering the longer file, exists.
bool CMappedFile::MapWhole(ULONGLONG size) {
  HANDLE mapping = CreateFileMappingA(m_hFile, nullptr, PAGE_READWRITE, DWORD(size >> 32), DWORD(size), nullptr);
  if (!mapping) return false;
  ReleaseMapping();
  m_hMapping = mapping;
  return true;
}

void CMappedFile::ReleaseMapping() {
  if (m_hMapping) CloseHandle(m_hMapping);
  m_hMapping = nullptr;
}

void* CMappedWindow::MapView(CMappedFile& file, ULONGLONG start, ULONGLONG length, bool) {
  return MapViewOfFile(file.m_hMapping, FILE_MAP_ALL_ACCESS, DWORD(start >> 32), DWORD(start), SIZE_T(length));
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
bool CMappedFile::HasFile() const { return m_fd >= 0; }

bool CMappedFile::OpenFile(const char* path) {
  m_fd = open(platform::NativePath(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return HasFile();
}

void CMappedFile::CloseFile() {
  if (HasFile()) close(m_fd);
  m_fd = -1;
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

bool CMappedFile::MapWhole(ULONGLONG) { return true; }  // windows map the file itself
void CMappedFile::ReleaseMapping() {}

void* CMappedWindow::MapView(CMappedFile& file, ULONGLONG start, ULONGLONG length, bool forWriting) {
  void* view = mmap(nullptr, size_t(length), PROT_READ | PROT_WRITE, MAP_SHARED, file.m_fd, off_t(start));
  if (view == MAP_FAILED) return nullptr;
  // One call makes every page writable: a fault per page costs far more, in a virtual
  // machine most of all.
  if (forWriting) madvise(view, size_t(length), MADV_POPULATE_WRITE);
  return view;
}

void CMappedWindow::Unmap() {
  if (m_pView) munmap(m_pView, size_t(m_nLength));
  m_pView = nullptr;
  m_nLength = 0;
}

#endif
