#include "jobs/job_files.h"

#include <cstring>

#ifndef _WIN32
#include <sys/stat.h>

#include <cstdio>
#endif

namespace {

#ifdef _WIN32
int64_t FileTimeToUnix(const FILETIME& ft) {
  // FILETIME counts 100 ns steps since 1601-01-01.
  ULONGLONG ticks = ((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
  return (int64_t)(ticks / 10000000ULL) - 11644473600LL;
}
#endif

// Moves `from` over `to`, replacing it.
bool ReplaceFile(const char* from, const char* to) {
#ifdef _WIN32
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return std::rename(platform::NativePath(from).c_str(), platform::NativePath(to).c_str()) == 0;
#endif
}

}  // namespace

BOOL GetFileStatus(const char* path, FileStatus& status) {
  if (!path || !*path) return FALSE;
#ifdef _WIN32
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return FALSE;
  status.created = FileTimeToUnix(data.ftCreationTime);
  status.modified = FileTimeToUnix(data.ftLastWriteTime);
  status.size = ((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
#else
  struct stat st;
  if (::stat(platform::NativePath(path).c_str(), &st) != 0) return FALSE;
  status.created = (int64_t)st.st_ctime;
  status.modified = (int64_t)st.st_mtime;
  status.size = (ULONGLONG)st.st_size;
#endif
  return TRUE;
}

// ---------------------------------------------------------------------------
// CReplacingFile

BOOL CReplacingFile::Open(const char* path) {
  Discard();
  if (!path || !*path) return FALSE;
  m_strPath = path;
  CString temp = m_strPath + kReplacingSuffix;
  if (!m_file.Open(temp, CFile::modeCreate | CFile::modeReadWrite | CFile::shareDenyWrite | CFile::typeBinary))
    return FALSE;
  m_strTemp = temp;
  m_bFailed = false;
  return TRUE;
}

BOOL CReplacingFile::Write(const void* data, UINT size) {
  if (m_bFailed || !m_file.IsOpen()) return FALSE;
  try {
    m_file.Write(data, size);
  } catch (const CFileException&) {
    m_bFailed = true;
  }
  return m_bFailed ? FALSE : TRUE;
}

BOOL CReplacingFile::Finish() {
  if (m_strTemp.IsEmpty()) return FALSE;
  if (m_file.IsOpen()) {
    try {
      m_file.Close();
    } catch (const CFileException&) {
      m_bFailed = true;
    }
  }
  return m_bFailed ? FALSE : TRUE;
}

BOOL CReplacingFile::Commit() {
  if (!Finish()) return FALSE;
  if (!ReplaceFile(m_strTemp, m_strPath)) return FALSE;
  m_strTemp.Empty();
  return TRUE;
}

void CReplacingFile::Discard() {
  m_file.Abort();
  if (!m_strTemp.IsEmpty()) platform::RemoveFile(m_strTemp);
  m_strTemp.Empty();
  m_bFailed = false;
}

// ---------------------------------------------------------------------------
// ".jobinfo"

JobInfoStatus ReadJobInfoFile(const char* path, JobRecord& job) {
  CFile file;
  if (!path || !file.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) return kJobInfoMissing;
  JobRecord read;
  UINT got = 0;
  try {
    while (got < (UINT)kJobRecordSize) {
      UINT n = file.Read(reinterpret_cast<BYTE*>(&read) + got, (UINT)kJobRecordSize - got);
      if (n == 0) break;
      got += n;
    }
  } catch (const CFileException&) {
    // What was read stands; the record counts as short.
  }
  file.Abort();
  read.TerminateTexts();
  read.ClearRuntimeSlots();
  job = read;
  if (got < (UINT)kJobRecordSize) return kJobInfoShort;
  return read.FormatStamp == kJobFormatStamp ? kJobInfoRead : kJobInfoOldFormat;
}

JobRecord StoredJobRecord(const JobRecord& job) {
  JobRecord stored = job;
  stored.ClearRuntimeSlots();
  stored.FormatStamp = kJobFormatStamp;
  return stored;
}

BOOL WriteJobInfoFile(const char* path, const JobRecord& job) {
  JobRecord stored = StoredJobRecord(job);
  CReplacingFile file;
  if (!file.Open(path)) return FALSE;
  file.Write(&stored, (UINT)kJobRecordSize);
  return file.Commit();
}
