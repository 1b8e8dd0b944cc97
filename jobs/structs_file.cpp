#include "jobs/structs_file.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Every kStructsPumpInterval records: progress, a queue drain and a yield. TRUE when
// the operator has cancelled.
BOOL Checkpoint(CProgressSink* progress, int done, int total) {
  if (!progress) return FALSE;
  progress->SetProgress(done, total);
  platform::PumpMessages();
  Sleep(0);
  return progress->IsCanceled();
}

bool IsMoveCode(WORD code) { return code <= 3; }

// The toolpath length as the records of a file give it.
class CLengthMeter {
 public:
  void Add(const PathRecordData& r) {
    if (r.m_nDiscard != 0 || !IsMoveCode(r.m_nCode)) return;
    Vec3 end = r.m_vEnd;
    if (m_bHavePrevious && r.m_nCode != 0) {
      m_dLength_mm += Distance3D(m_vPrevious.x, m_vPrevious.y, m_vPrevious.z, end.x, end.y, end.z);
    }
    m_vPrevious = end;
    m_bHavePrevious = true;
  }
  double Length_mm() const { return m_dLength_mm; }

 private:
  Vec3 m_vPrevious;
  bool m_bHavePrevious = false;
  double m_dLength_mm = 0.0;
};

}  // namespace

BOOL WritePathRecords(CReplacingFile& file, CPathRecordSource& source, CProgressSink* progress) {
  int total = source.GetRecordCount();
  if (total <= 0) return FALSE;
  PathRecord record;
  int n = 0;
  for (; source.GetRecord(n, record); ++n) {
    PathRecordData stored = record.Data();
    stored.m_nReserved = 0;
    stored.m_nToolRef = 0;
    if (!file.Write(&stored, (UINT)kPathRecordSize)) return FALSE;
    if ((n + 1) % kStructsPumpInterval == 0 && Checkpoint(progress, n + 1, total)) return FALSE;
  }
  if (n == 0) return FALSE;
  if (progress) progress->SetProgress(n, total);
  return TRUE;
}

BOOL WriteStructsFile(const char* path, CPathRecordSource& source, CProgressSink* progress) {
  if (source.GetRecordCount() <= 0) return FALSE;
  CReplacingFile file;
  if (!file.Open(path)) return FALSE;
  if (!WritePathRecords(file, source, progress)) return FALSE;
  return file.Commit();
}

BOOL ReadStructsFile(const char* path, CPathRecordSink& sink, CProgressSink* progress, double* length_mm) {
  CFile file;
  if (!path || !file.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) return FALSE;
  ULONGLONG size = 0;
  try {
    size = file.GetLength();
  } catch (const CFileException&) {
    return FALSE;
  }
  if (size < (ULONGLONG)kPathRecordSize) return FALSE;
  ULONGLONG count64 = size / kPathRecordSize;
  int total = count64 > 0x7FFFFFFF ? 0x7FFFFFFF : (int)count64;

  sink.Clear();
  std::vector<BYTE> buffer((size_t)kStructsChunkRecords * kPathRecordSize);
  CLengthMeter meter;
  PathRecord record;
  PathRecordData data;
  int done = 0;
  bool ok = true;
  try {
    while (ok && done < total) {
      // Whole records only: a short read is completed, a partial last record dropped.
      UINT want = (UINT)buffer.size();
      UINT got = 0;
      while (got < want) {
        UINT n = file.Read(buffer.data() + got, want - got);
        if (n == 0) break;
        got += n;
      }
      int records = (int)(got / kPathRecordSize);
      if (records > total - done) records = total - done;
      for (int i = 0; i < records && ok; ++i) {
        std::memcpy(&data, buffer.data() + (size_t)i * kPathRecordSize, kPathRecordSize);
        record.SetData(data);
        meter.Add(data);
        ok = sink.Append(record) != FALSE;
        ++done;
        if (ok && done % kStructsPumpInterval == 0 && Checkpoint(progress, done, total)) ok = false;
      }
      if (got < want) break;
    }
  } catch (const CFileException&) {
    ok = false;
  }
  if (!ok) {
    sink.Clear();
    return FALSE;
  }
  if (progress) progress->SetProgress(done, total);
  if (length_mm) *length_mm = meter.Length_mm();
  return TRUE;
}
