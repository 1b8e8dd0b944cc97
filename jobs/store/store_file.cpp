#include "jobs/store/store_file.h"

#ifndef _WIN32
#include <cstdio>
#include <sys/stat.h>
#endif

namespace {

jobstore_testing::TempWrittenHook g_tempWrittenHook = nullptr;

// "<file>: <reason> (<system code>)"
CString FileErrorText(const char* path, const CFileException& e) {
  CFileException named = e;
  if (named.m_strFileName.IsEmpty()) named.m_strFileName = path;
  return named.GetErrorMessage();
}

// A read-only file stays as it is: the rename would replace it all the same.
bool IsWritableTarget(const char* path) {
#ifdef _WIN32
  DWORD attrs = GetFileAttributesA(path);
  return attrs == INVALID_FILE_ATTRIBUTES || (attrs & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
#else
  struct stat st;
  // The write bits, not access(): tests and CI may run as root.
  return ::stat(platform::NativePath(path).c_str(), &st) != 0 || (!S_ISDIR(st.st_mode) && (st.st_mode & S_IWUSR));
#endif
}

bool ReplaceWithTemp(const char* temp, const char* path) {
#ifdef _WIN32
  // A reader elsewhere (a virus scanner, an editor) can hold the old file for a moment.
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    DWORD err = GetLastError();
    if (err != ERROR_SHARING_VIOLATION && err != ERROR_ACCESS_DENIED && err != ERROR_LOCK_VIOLATION) break;
    Sleep(10);
  }
  return false;
#else
  return ::rename(platform::NativePath(temp).c_str(), platform::NativePath(path).c_str()) == 0;
#endif
}

}  // namespace

bool LoadJobStoreFile(const char* path, CJobOrderTable& table, StoreError& error) {
  std::string text;
  CFile file;
  CFileException fe;
  if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary, &fe)) {
    if (fe.m_cause == CFileException::fileNotFound || fe.m_cause == CFileException::badPath) {
      return error.Set(kStoreFileMissing, path);
    }
    return error.Set(kStoreFileRead, FileErrorText(path, fe));
  }
  try {
    char buf[65536];
    for (UINT n; (n = file.Read(buf, sizeof buf)) > 0;) text.append(buf, n);
  } catch (const CFileException& e) {
    return error.Set(kStoreFileRead, FileErrorText(path, e));
  }
  return table.Load(text, error);
}

bool SaveJobStoreFile(const char* path, const CJobOrderTable& table, StoreError& error) {
  if (!IsWritableTarget(path)) {
    return error.Set(kStoreFileWrite, CFileException(CFileException::accessDenied, 0, path).GetErrorMessage());
  }
  CString temp = CString(path) + ".tmp";
  std::string text = table.Save();
  try {
    CFile file(temp, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive | CFile::typeBinary);
    file.Write(text.data(), (UINT)text.size());
    file.Flush();
    file.Close();
  } catch (const CFileException& e) {
    platform::RemoveFile(temp);
    return error.Set(kStoreFileWrite, FileErrorText(temp, e));
  }
  if (g_tempWrittenHook) g_tempWrittenHook(temp);
  if (!ReplaceWithTemp(temp, path)) {
    LONG err = (LONG)platform::LastOsError();
    platform::RemoveFile(temp);
    return error.Set(kStoreFileWrite, CFileException(CFileException::OsErrorToCause(err), err, path).GetErrorMessage());
  }
  return true;
}

CJobStoreFileLock::CJobStoreFileLock(const char* path)
    : m_mutex(FALSE, FileMutexName("CorvaneJobStore", path)), m_lock(&m_mutex) {}

void jobstore_testing::SetTempWrittenHook(TempWrittenHook hook) { g_tempWrittenHook = hook; }
