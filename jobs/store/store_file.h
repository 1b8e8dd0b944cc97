// The file behind the job order store. It is read whole for every statement and, when a
// statement changed the table, written whole: first to "<file>.tmp", flushed to disk,
// then renamed over the file. A crash at any point leaves either the old file or the
// new one, never a mix; a stale ".tmp" is simply overwritten by the next write.
#pragma once

#include "jobs/store/job_order_table.h"

bool LoadJobStoreFile(const char* path, CJobOrderTable& table, StoreError& error);
bool SaveJobStoreFile(const char* path, const CJobOrderTable& table, StoreError& error);

// Serialises the read-change-write of one file between the threads and processes that
// use it. Lock fails after timeout milliseconds.
class CJobStoreFileLock {
 public:
  explicit CJobStoreFileLock(const char* path);
  BOOL Lock(DWORD timeout_ms) { return m_lock.Lock(timeout_ms); }

 private:
  CMutex m_mutex;
  CSingleLock m_lock;
};

namespace jobstore_testing {
// Called after the temporary file is written and before the rename; a test ends the
// process there to show that the old file survives.
using TempWrittenHook = void (*)(const char* tempPath);
void SetTempWrittenHook(TempWrittenHook hook);
}  // namespace jobstore_testing
