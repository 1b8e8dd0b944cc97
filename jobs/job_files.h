// The job folder's files on disk: the ".jobinfo" record file, whole-file replacement
// and the file status the job table keeps (creation and modification times, size).
//
// Job files are replaced, never rewritten in place: the new content goes into a file
// beside the old one and takes its name only once it is complete. A write that is
// cancelled or fails leaves the old file as it was, and a reader (the engine loading
// its job) never sees half a record.
#pragma once

#include <cstdint>

#include "jobs/job_record.h"
#include "platform/core.h"

// Appended to a file's path for the file written beside it.
constexpr char kReplacingSuffix[] = ".new";
constexpr int kReplacingSuffixLength = (int)sizeof(kReplacingSuffix) - 1;

// Times in seconds since 1970 UTC. `created` is the creation time where the file system
// keeps one (Windows), otherwise the status change time.
struct FileStatus {
  int64_t created = 0;
  int64_t modified = 0;
  ULONGLONG size = 0;
};
// FALSE when the file or folder cannot be examined.
BOOL GetFileStatus(const char* path, FileStatus& status);

// A file written beside its final path ("<path>.new") and put in its place by Commit.
// Destroyed without a successful Commit, it leaves the final path untouched and
// removes what it wrote.
class CReplacingFile {
 public:
  CReplacingFile() = default;
  ~CReplacingFile() { Discard(); }
  CReplacingFile(const CReplacingFile&) = delete;
  CReplacingFile& operator=(const CReplacingFile&) = delete;

  // Creates the file beside `path` (emptying one left over). FALSE when it cannot.
  BOOL Open(const char* path);
  // FALSE once any write has failed (the failure is kept until Commit or Discard).
  BOOL Write(const void* data, UINT size);
  // Closes the file; FALSE when it was not opened or a write or the close failed.
  BOOL Finish();
  // Finishes and moves the file over `path`; FALSE, with nothing replaced, otherwise.
  BOOL Commit();
  // Closes and removes the file written so far.
  void Discard();

 private:
  CFile m_file;
  CString m_strPath;       // final path
  CString m_strTemp;       // path + kReplacingSuffix; empty when nothing is open
  bool m_bFailed = false;  // a write or the close failed
};

// Result of reading a ".jobinfo" file.
enum JobInfoStatus {
  kJobInfoRead,       // a whole record with the current stamp
  kJobInfoOldFormat,  // a whole record whose stamp is not kJobFormatStamp
  kJobInfoShort,      // fewer than 6780 bytes (the rest of the record is zero)
  kJobInfoMissing,    // the file cannot be opened
};

// Reads the first 6780 bytes of the file into `job` (zeros for what a short file lacks;
// bytes after the record are ignored). The texts come back terminated inside their
// fields and the run-time slots 0. `job` is untouched only for kJobInfoMissing.
JobInfoStatus ReadJobInfoFile(const char* path, JobRecord& job);
// The record as it is stored: run-time slots 0, FormatStamp kJobFormatStamp.
JobRecord StoredJobRecord(const JobRecord& job);
// Replaces the file by the stored form of the record (exactly 6780 bytes).
BOOL WriteJobInfoFile(const char* path, const JobRecord& job);
