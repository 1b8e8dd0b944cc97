#include "platform/file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

std::string NativePath(const char* path) {
  std::string p(path ? path : "");
#ifndef _WIN32
  std::replace(p.begin(), p.end(), '\\', '/');
#endif
  return p;
}

DWORD LastOsError() {
#ifdef _WIN32
  return GetLastError();
#else
  switch (errno) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOSPC: return ERROR_DISK_FULL;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    default: return ERROR_WRITE_FAULT;
  }
#endif
}

}  // namespace platform

int CFileException::OsErrorToCause(LONG osError) {
  switch ((DWORD)osError) {
    case ERROR_SUCCESS: return none;
    case ERROR_FILE_NOT_FOUND: return fileNotFound;
    case ERROR_PATH_NOT_FOUND: return badPath;
    case ERROR_ACCESS_DENIED: return accessDenied;
    case ERROR_INVALID_HANDLE: return invalidFile;
    case ERROR_SHARING_VIOLATION: return sharingViolation;
    case ERROR_DISK_FULL: return diskFull;
    case ERROR_HANDLE_EOF: return endOfFile;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return accessDenied;
    default: return genericException;
  }
}

CString CFileException::GetErrorMessage() const {
  static constexpr const char* kTexts[] = {
      "no error",       "file error",    "file not found",     "bad path",
      "too many files", "access denied", "invalid file",       "cannot remove current folder",
      "folder full",    "bad seek",      "hardware I/O error", "sharing violation",
      "lock violation", "disk full",     "end of file"};
  CString s;
  const char* t = (m_cause >= 0 && m_cause <= endOfFile) ? kTexts[m_cause] : "file error";
  s.Format("%s: %s (%ld)", (const char*)m_strFileName, t, (long)m_lOsError);
  return s;
}

// ---------------------------------------------------------------------------
// CFile

CFile::CFile() = default;

CFile::CFile(const char* fileName, UINT openFlags) {
  CFileException e;
  if (!Open(fileName, openFlags, &e)) throw e;
}

CFile::~CFile() { Abort(); }

void CFile::ThrowLastError() const {
  DWORD err = platform::LastOsError();
  throw CFileException(CFileException::OsErrorToCause((LONG)err), (LONG)err, m_strFileName);
}

CString CFile::GetFileName() const {
  int slash = m_strFileName.ReverseFind('\\');
  int fwd = m_strFileName.ReverseFind('/');
  if (fwd > slash) slash = fwd;
  return m_strFileName.Mid(slash + 1);
}

#ifdef _WIN32

BOOL CFile::Open(const char* fileName, UINT openFlags, CFileException* error) {
  Abort();
  m_nOpenFlags = openFlags;
  m_strFileName = fileName;
  DWORD access = 0;
  switch (openFlags & 3) {
    case modeRead: access = GENERIC_READ; break;
    case modeWrite: access = GENERIC_WRITE; break;
    default: access = GENERIC_READ | GENERIC_WRITE; break;
  }
  DWORD share = 0;
  switch (openFlags & 0x70) {
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: share = 0; break;  // compat and exclusive
  }
  DWORD disposition = OPEN_EXISTING;
  if (openFlags & modeCreate) disposition = (openFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, (openFlags & modeNoInherit) ? FALSE : TRUE};
  HANDLE h = CreateFileA(fileName, access, share, &sa, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD err = GetLastError();
    if (error) *error = CFileException(CFileException::OsErrorToCause((LONG)err), (LONG)err, fileName);
    return FALSE;
  }
  m_hFile = h;
  return TRUE;
}

BOOL CFile::IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

void CFile::Close() {
  if (m_hFile != INVALID_HANDLE_VALUE) {
    BOOL ok = CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    if (!ok) ThrowLastError();
  }
}

void CFile::Abort() {
  if (m_hFile != INVALID_HANDLE_VALUE) CloseHandle(m_hFile);
  m_hFile = INVALID_HANDLE_VALUE;
}

UINT CFile::Read(void* buf, UINT count) {
  if (count == 0) return 0;
  DWORD got = 0;
  if (!ReadFile(m_hFile, buf, count, &got, nullptr)) ThrowLastError();
  return got;
}

void CFile::Write(const void* buf, UINT count) {
  if (count == 0) return;
  DWORD put = 0;
  if (!WriteFile(m_hFile, buf, count, &put, nullptr)) ThrowLastError();
  if (put != count) throw CFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName);
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
  LARGE_INTEGER li, out;
  li.QuadPart = offset;
  DWORD method = from == begin ? FILE_BEGIN : from == current ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(m_hFile, li, &out, method)) ThrowLastError();
  return (ULONGLONG)out.QuadPart;
}

ULONGLONG CFile::GetPosition() const {
  LARGE_INTEGER zero, out;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(m_hFile, zero, &out, FILE_CURRENT)) ThrowLastError();
  return (ULONGLONG)out.QuadPart;
}

ULONGLONG CFile::GetLength() const {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(m_hFile, &size)) ThrowLastError();
  return (ULONGLONG)size.QuadPart;
}

void CFile::SetLength(ULONGLONG length) {
  Seek((LONGLONG)length, begin);
  if (!SetEndOfFile(m_hFile)) ThrowLastError();
}

void CFile::Flush() {
  if (m_hFile != INVALID_HANDLE_VALUE && !FlushFileBuffers(m_hFile)) ThrowLastError();
}

void CFile::Remove(const char* fileName) {
  if (!DeleteFileA(fileName)) {
    DWORD err = GetLastError();
    throw CFileException(CFileException::OsErrorToCause((LONG)err), (LONG)err, fileName);
  }
}

void CFile::Rename(const char* oldName, const char* newName) {
  if (!MoveFileA(oldName, newName)) {
    DWORD err = GetLastError();
    throw CFileException(CFileException::OsErrorToCause((LONG)err), (LONG)err, oldName);
  }
}

#else  // host

BOOL CFile::Open(const char* fileName, UINT openFlags, CFileException* error) {
  Abort();
  m_nOpenFlags = openFlags;
  m_strFileName = fileName;
  int flags = O_CLOEXEC;
  switch (openFlags & 3) {
    case modeRead: flags |= O_RDONLY; break;
    case modeWrite: flags |= O_WRONLY; break;
    default: flags |= O_RDWR; break;
  }
  if (openFlags & modeCreate) {
    flags |= O_CREAT;
    if (!(openFlags & modeNoTruncate)) flags |= O_TRUNC;
  }
  std::string path = platform::NativePath(fileName);
  int fd = ::open(path.c_str(), flags, 0644);
  if (fd >= 0) {
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      fd = -1;
      errno = EACCES;
    }
  }
  if (fd < 0) {
    DWORD err = platform::LastOsError();
    if (error) *error = CFileException(CFileException::OsErrorToCause((LONG)err), (LONG)err, fileName);
    return FALSE;
  }
  m_fd = fd;
  return TRUE;
}

BOOL CFile::IsOpen() const { return m_fd >= 0; }

void CFile::Close() {
  if (m_fd >= 0) {
    int rc = ::close(m_fd);
    m_fd = -1;
    if (rc != 0) ThrowLastError();
  }
}

void CFile::Abort() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

UINT CFile::Read(void* buf, UINT count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(m_fd, (char*)buf + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowLastError();
    }
    if (n == 0) break;
    done += (size_t)n;
  }
  return (UINT)done;
}

void CFile::Write(const void* buf, UINT count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(m_fd, (const char*)buf + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowLastError();
    }
    done += (size_t)n;
  }
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
  int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(m_fd, (off_t)offset, whence);
  if (r < 0) ThrowLastError();
  return (ULONGLONG)r;
}

ULONGLONG CFile::GetPosition() const {
  off_t r = ::lseek(m_fd, 0, SEEK_CUR);
  if (r < 0) ThrowLastError();
  return (ULONGLONG)r;
}

ULONGLONG CFile::GetLength() const {
  struct stat st;
  if (fstat(m_fd, &st) != 0) ThrowLastError();
  return (ULONGLONG)st.st_size;
}

void CFile::SetLength(ULONGLONG length) {
  if (ftruncate(m_fd, (off_t)length) != 0) ThrowLastError();
}

void CFile::Flush() {
  if (m_fd >= 0 && fsync(m_fd) != 0 && errno != EINVAL) ThrowLastError();
}

void CFile::Remove(const char* fileName) {
  if (::unlink(platform::NativePath(fileName).c_str()) != 0) {
    DWORD err = platform::LastOsError();
    throw CFileException(CFileException::OsErrorToCause((LONG)err), (LONG)err, fileName);
  }
}

void CFile::Rename(const char* oldName, const char* newName) {
  // Like MoveFile, never replaces an existing file.
  std::string to = platform::NativePath(newName);
  if (::access(to.c_str(), F_OK) == 0) {
    throw CFileException(CFileException::accessDenied, ERROR_ALREADY_EXISTS, oldName);
  }
  if (::rename(platform::NativePath(oldName).c_str(), to.c_str()) != 0) {
    DWORD err = platform::LastOsError();
    throw CFileException(CFileException::OsErrorToCause((LONG)err), (LONG)err, oldName);
  }
}

#endif

// ---------------------------------------------------------------------------
// CStdioFile

BOOL CStdioFile::Open(const char* fileName, UINT openFlags, CFileException* error) {
  m_buf.clear();
  m_pos = 0;
  return CFile::Open(fileName, openFlags, error);
}

void CStdioFile::Close() {
  m_buf.clear();
  m_pos = 0;
  CFile::Close();
}

void CStdioFile::DropReadAhead() {
  // Give the unread bytes back so the file position is the logical one.
  size_t unread = m_buf.size() - m_pos;
  m_buf.clear();
  m_pos = 0;
  if (unread) CFile::Seek(-(LONGLONG)unread, current);
}

BOOL CStdioFile::ReadString(CString& line) {
  std::string out;
  bool any = false;
  for (;;) {
    if (m_pos >= m_buf.size()) {
      m_buf.resize(16384);
      UINT n = CFile::Read(m_buf.data(), (UINT)m_buf.size());
      m_buf.resize(n);
      m_pos = 0;
      if (n == 0) break;
    }
    any = true;
    const char* b = m_buf.data() + m_pos;
    const char* e = m_buf.data() + m_buf.size();
    const char* nl = (const char*)memchr(b, '\n', (size_t)(e - b));
    if (nl) {
      out.append(b, (size_t)(nl - b));
      m_pos += (size_t)(nl - b) + 1;
      if (!out.empty() && out.back() == '\r') out.pop_back();
      line = CString(std::move(out));
      return TRUE;
    }
    out.append(b, (size_t)(e - b));
    m_pos = m_buf.size();
  }
  if (TextMode() && !out.empty() && out.back() == '\r') out.pop_back();
  line = CString(std::move(out));
  return any ? TRUE : FALSE;
}

void CStdioFile::WriteString(const char* text) {
  if (!text) return;
  if (!TextMode()) {
    Write(text, (UINT)strlen(text));
    return;
  }
  std::string out;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') out += '\r';
    out += *p;
  }
  Write(out.data(), (UINT)out.size());
}

UINT CStdioFile::Read(void* buf, UINT count) {
  UINT done = 0;
  if (m_pos < m_buf.size()) {
    size_t take = std::min<size_t>(count, m_buf.size() - m_pos);
    memcpy(buf, m_buf.data() + m_pos, take);
    m_pos += take;
    done = (UINT)take;
  }
  if (done < count) done += CFile::Read((char*)buf + done, count - done);
  return done;
}

void CStdioFile::Write(const void* buf, UINT count) {
  DropReadAhead();
  CFile::Write(buf, count);
}

ULONGLONG CStdioFile::Seek(LONGLONG offset, UINT from) {
  DropReadAhead();
  return CFile::Seek(offset, from);
}

ULONGLONG CStdioFile::GetPosition() const { return CFile::GetPosition() - (ULONGLONG)(m_buf.size() - m_pos); }

// ---------------------------------------------------------------------------
// CFileFind

void CFileFind::Close() {
  m_entries.clear();
  m_next = 0;
  m_current = -1;
}

BOOL CFileFind::FindFile(const char* pattern, DWORD) {
  Close();
  CString pat = pattern && *pattern ? pattern : "*.*";
  int slash = pat.ReverseFind('\\');
  int fwd = pat.ReverseFind('/');
  if (fwd > slash) slash = fwd;
  m_root = slash >= 0 ? pat.Left(slash + 1) : CString();
#ifdef _WIN32
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(pat, &fd);
  if (h == INVALID_HANDLE_VALUE) return FALSE;
  do {
    Entry e;
    e.name = fd.cFileName;
    e.size = ((ULONGLONG)fd.nFileSizeHigh << 32) | fd.nFileSizeLow;
    e.directory = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.readOnly = (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    m_entries.push_back(e);
  } while (::FindNextFileA(h, &fd));
  FindClose(h);
#else
  std::string dir = m_root.IsEmpty() ? std::string(".") : platform::NativePath(m_root);
  std::string mask = pat.Mid(slash + 1).str();
  if (mask == "*.*") mask = "*";  // the platform's "*.*" also matches names without a dot
  DIR* d = opendir(dir.c_str());
  if (!d) return FALSE;
  while (dirent* de = readdir(d)) {
    if (fnmatch(mask.c_str(), de->d_name, FNM_CASEFOLD) != 0) continue;
    std::string full = dir + "/" + de->d_name;
    struct stat st;
    if (stat(full.c_str(), &st) != 0) continue;
    Entry e;
    e.name = de->d_name;
    e.size = (ULONGLONG)st.st_size;
    e.directory = S_ISDIR(st.st_mode);
    e.readOnly = access(full.c_str(), W_OK) != 0;
    m_entries.push_back(e);
  }
  closedir(d);
  std::sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
#endif
  return m_entries.empty() ? FALSE : TRUE;
}

BOOL CFileFind::FindNextFile() {
  if (m_next >= (int)m_entries.size()) return FALSE;
  m_current = m_next++;
  return m_next < (int)m_entries.size() ? TRUE : FALSE;
}

CString CFileFind::GetFileName() const { return m_current >= 0 ? m_entries[(size_t)m_current].name : CString(); }
CString CFileFind::GetFilePath() const { return m_root + GetFileName(); }

CString CFileFind::GetFileTitle() const {
  CString name = GetFileName();
  int dot = name.ReverseFind('.');
  return dot >= 0 ? name.Left(dot) : name;
}

ULONGLONG CFileFind::GetLength() const { return m_current >= 0 ? m_entries[(size_t)m_current].size : 0; }
BOOL CFileFind::IsDirectory() const { return m_current >= 0 && m_entries[(size_t)m_current].directory; }
BOOL CFileFind::IsReadOnly() const { return m_current >= 0 && m_entries[(size_t)m_current].readOnly; }

BOOL CFileFind::IsDots() const {
  if (m_current < 0 || !IsDirectory()) return FALSE;
  const CString& n = m_entries[(size_t)m_current].name;
  return n == "." || n == "..";
}

// ---------------------------------------------------------------------------
// Small file-system operations

namespace platform {

#ifdef _WIN32

bool PathExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectoryPath(const char* path) {
  DWORD a = GetFileAttributesA(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeDirectory(const char* path) { return CreateDirectoryA(path, nullptr) != 0; }
bool RemoveFolder(const char* path) { return RemoveDirectoryA(path) != 0; }
bool RemoveFile(const char* path) { return DeleteFileA(path) != 0; }

bool AppendToFile(const char* path, const void* data, size_t size) {
  HANDLE h = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = size == 0 || (WriteFile(h, data, (DWORD)size, &put, nullptr) && put == size);
  CloseHandle(h);
  return ok;
}

#else

bool PathExists(const char* path) { return ::access(NativePath(path).c_str(), F_OK) == 0; }

bool IsDirectoryPath(const char* path) {
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectory(const char* path) {
  bool ok = ::mkdir(NativePath(path).c_str(), 0755) == 0;
  if (!ok) SetLastError(LastOsError());
  return ok;
}

bool RemoveFolder(const char* path) { return ::rmdir(NativePath(path).c_str()) == 0; }
bool RemoveFile(const char* path) { return ::unlink(NativePath(path).c_str()) == 0; }

bool AppendToFile(const char* path, const void* data, size_t size) {
  int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ssize_t n = size ? ::write(fd, data, size) : 0;
  ::close(fd);
  return n == (ssize_t)size;
}

#endif

}  // namespace platform
