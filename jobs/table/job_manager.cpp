// The job table: entries, folders, scan, add, update, delete, queries and rings.
#include "jobs/table/job_manager.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

#include "foundation/job_channel.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "jobs/job_files.h"
#include "jobs/job_name.h"
#include "jobs/structs_file.h"
#include "jobs/table/program_records.h"

namespace {

constexpr char kLogName[] = "jobs";

struct JobTable {
  CMutex lock;                                      // unnamed; recursive for its owner thread
  std::vector<std::unique_ptr<CJobEntry>> entries;  // the valid entries, at most kMaxJobs
};

JobTable& Table() {
  static JobTable table;
  return table;
}

CString ChannelName(const char* prefix, const char* name) {
  CString s;
  s.Format("%s%s", prefix, name);
  return s;
}

// The ring's state text as stored (untrimmed); empty without the ring.
CString RawState(const CJobEntry& entry) { return entry.m_pRxChannel ? entry.m_pRxChannel->GetState() : CString(); }

// Newest first. A stable order keeps jobs of the same second as they were.
void SortNewestFirst(std::vector<std::unique_ptr<CJobEntry>>& entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const std::unique_ptr<CJobEntry>& a, const std::unique_ptr<CJobEntry>& b) {
                     return a->m_job.Created > b->m_job.Created;
                   });
}

// The used-tools text cut to the field at a whole "T<n>" entry.
CString UsedToolsForRecord(const CString& tools) {
  const int limit = kJobTextSize - 1;
  if (tools.GetLength() <= limit) return tools;
  CString cut = tools.Left(limit);
  if (tools[limit] != 'T') {
    int start = cut.ReverseFind('T');
    cut = cut.Left(start < 0 ? 0 : start);
  }
  return cut;
}

void CopyText(char* to, const char* from, size_t size) {
  std::memcpy(to, from, size);
  to[size - 1] = '\0';
}

}  // namespace

CJobManager::CTableLock::CTableLock() : m_lock(&Table().lock, TRUE) {}

CJobEntry::CJobEntry() = default;
CJobEntry::~CJobEntry() = default;

CString ConnectionDevice(const char* connection) {
  CString c(connection ? connection : "");
  c.Trim();
  int colon = c.Find(':');
  if (c.GetLength() > 3 && c.Left(3).CompareNoCase("COM") == 0 && colon > 3) c = c.Left(colon);
  return c;
}

BOOL IsSimulationConnection(const char* connection) {
  CString c(connection ? connection : "");
  c.Trim();
  return c.Left(5).CompareNoCase("SIMU:") == 0 ? TRUE : FALSE;
}

CJobEntry* CJobManager::FindEntry(const char* name) {
  if (!name || !*name) return nullptr;
  for (auto& e : Table().entries)
    if (CString(e->m_job.JobName).CompareNoCase(name) == 0) return e.get();
  return nullptr;
}

CJobEntry* CJobManager::EntryAt(int index) {
  auto& entries = Table().entries;
  return index >= 0 && index < (int)entries.size() ? entries[index].get() : nullptr;
}

BOOL CJobManager::IsEntryActive(CJobEntry& entry) {
  if (!entry.m_pRxChannel) return FALSE;
  CString state = RawState(entry);
  return (!state.IsEmpty() && state != "READY" && state != "ERROR") ? TRUE : FALSE;
}

// ---------------------------------------------------------------------------
// Scan

void CJobManager::ScanJobsFolder() {
  CTableLock lock;
  CloseChannels("");
  Table().entries.clear();

  CString folder = JobsFolderPath();
  CreateFolderPath(folder);
  CFileFind finder;
  BOOL more = finder.FindFile(folder + "*.*");
  if (!more) return;

  // Every readable job first: with more jobs than the table holds, the newest stay.
  std::vector<std::unique_ptr<CJobEntry>> found;
  while (more) {
    more = finder.FindNextFile();
    if (!finder.IsDirectory() || finder.IsDots()) continue;
    CString name = finder.GetFileName();
    if (name.IsEmpty() || name[0] == '.') continue;
    if (!IsValidJobName(name)) {
      WriteLog(kLogName, CString("Job folder skipped, not a job name: ") + name);
      continue;
    }
    auto entry = std::make_unique<CJobEntry>();
    if (!ReadJobInfo(name, &entry->m_job)) continue;
    SetRecordText(entry->m_job.JobName, name);  // the folder names the job
    found.push_back(std::move(entry));
  }
  finder.Close();
  SortNewestFirst(found);

  CString left;
  int leftCount = 0;
  for (auto& entry : found) {
    if ((int)Table().entries.size() >= kMaxJobs) {
      left += CString(leftCount++ ? ", " : "") + entry->m_job.JobName;
      continue;
    }
    if (OpenChannels(*entry)) Table().entries.push_back(std::move(entry));
  }
  if (leftCount > 0) {
    CString text;
    text.Format("Job table full (%d jobs): %d job folders not loaded: %s", kMaxJobs, leftCount, (const char*)left);
    WriteLog(kLogName, text);
  }
}

// ---------------------------------------------------------------------------
// Add

void CJobManager::SetRecordFromToolpath(JobRecord* record, CNCProgram* program) {
  if (!record || !program || program->GetElementCount() <= 0) return;
  record->Reserved1244 = 0;
  record->TotalTags = program->GetTagCount();
  record->ToolpathLength = program->GetPathLength();
  Vec3 v;
  program->GetExtentMin(v, FALSE);
  record->FeedMin = v;
  program->GetExtentMax(v, FALSE);
  record->FeedMax = v;
  double zMin = 0.0, zMax = 0.0;
  program->GetTraverseZRange(zMin, zMax, FALSE);
  record->TraverseZMin = zMin;
  record->TraverseZMax = zMax;
  SetRecordText(record->UsedTools, UsedToolsForRecord(program->GetUsedTools()));
}

// The new record goes to disk first, all of it or nothing: the path records (the long,
// cancellable part) and the info file are written beside the old files and take their
// names together at the end. Only then does the table change. The write drains the
// message queue, so the job is looked up again afterwards.
BOOL CJobManager::AddJob(CProgressSink* progress, const JobRecord* record, CNCProgram* program) {
  if (!record || !program || !record->JobName[0]) return FALSE;
  JobRecord job = *record;
  job.TerminateTexts();
  CString name = job.JobName;
  CString infoPath = JobFilePath(name, ".jobinfo");
  CString structsPath = JobFilePath(name, ".structs");
  CString snapshotPath = JobFilePath(name, ".snapshot");
  if (infoPath.IsEmpty() || structsPath.IsEmpty() || snapshotPath.IsEmpty()) {
    WriteLog(kLogName, CString("Job refused, not a job name: ") + name);
    return FALSE;
  }

  CTableLock lock;
  if (!FindEntry(name) && (int)Table().entries.size() >= kMaxJobs) return FALSE;

  job.ClearRuntimeSlots();
  job.NormalizeCopies();
  bool writeRecords = program->GetElementCount() > 0;
  if (writeRecords) SetRecordFromToolpath(&job, program);
  FileStatus sourceFile;
  if (GetFileStatus(job.SourcePath, sourceFile)) {
    job.SourceTime = (int32_t)sourceFile.modified;
    job.SourceSize = (int32_t)sourceFile.size;
  }

  CString folder = JobFolderPath(name);
  bool folderWasThere = platform::IsDirectoryPath(folder);
  CreateFolderPath(folder);
  CReplacingFile structsFile, infoFile;
  auto fail = [&]() {
    structsFile.Discard();
    infoFile.Discard();
    if (!folderWasThere) DeleteFolderTree(folder, FALSE, TRUE);
    return FALSE;
  };
  if (writeRecords) {
    CProgramRecordSource source(*program);
    if (!structsFile.Open(structsPath) || !WritePathRecords(structsFile, source, progress) || !structsFile.Finish())
      return fail();
  }

  CJobEntry* existing = FindEntry(name);
  std::unique_ptr<CJobEntry> added;
  if (existing) {
    // The job keeps its name as its folder and rings have it, whatever the case given.
    SetRecordText(job.JobName, existing->m_job.JobName);
    job.Created = FolderCreated(name);
  } else {
    if ((int)Table().entries.size() >= kMaxJobs) return fail();
    job.Created = (int32_t)time(nullptr);
    added = std::make_unique<CJobEntry>();
    added->m_job = job;
    if (!OpenChannels(*added)) return fail();
  }

  JobRecord stored = StoredJobRecord(job);
  if (!infoFile.Open(infoPath) || !infoFile.Write(&stored, (UINT)kJobRecordSize) || !infoFile.Finish()) return fail();
  if (writeRecords && !structsFile.Commit()) return fail();
  if (!infoFile.Commit()) {
    // The path records are in place already; the old record no longer describes them.
    WriteLog(kLogName, CString("Job info file not replaced: ") + infoPath);
    return FALSE;
  }
  CopyFileA(JobsFolderPath() + "preview.snapshot", snapshotPath, FALSE);

  if (existing)
    existing->m_job = job;
  else
    Table().entries.push_back(std::move(added));
  SortJobs();
  return TRUE;
}

// ---------------------------------------------------------------------------
// Refresh, update, delete

BOOL CJobManager::RefreshJob(const JobRecord* record) {
  if (!record) return FALSE;
  JobRecord r = *record;
  r.TerminateTexts();
  CTableLock lock;
  CJobEntry* e = FindEntry(r.JobName);
  if (!e) return FALSE;
  JobRecord& job = e->m_job;
  job.ViewPoint = r.ViewPoint;
  job.ShowInterpolation = r.ShowInterpolation;
  job.RawPathOnly = r.RawPathOnly;
  job.ShowPlate = r.ShowPlate;
  job.ViewDepth = r.ViewDepth;
  CString snapshot = JobFilePath(job.JobName, ".snapshot");
  if (!snapshot.IsEmpty()) CopyFileA(JobsFolderPath() + "preview.snapshot", snapshot, FALSE);
  return WriteJobInfo(job.JobName);
}

BOOL CJobManager::UpdateJobRecord(const char* name, const JobRecord* record) {
  if (!record) return FALSE;
  CTableLock lock;
  CJobEntry* e = FindEntry(name);
  if (!e) return FALSE;
  JobRecord job = e->m_job;
  const JobRecord& r = *record;
  CopyText(job.SourcePath, r.SourcePath, sizeof job.SourcePath);
  CopyText(job.Connection, r.Connection, sizeof job.Connection);
  CopyText(job.DeviceName, r.DeviceName, sizeof job.DeviceName);
  job.FlipX = r.FlipX;
  job.FlipY = r.FlipY;
  job.FlipZ = r.FlipZ;
  job.Orientation = r.Orientation;
  job.ViewPoint = r.ViewPoint;
  job.TraverseSpeed = r.TraverseSpeed;
  job.FeedSpeed = r.FeedSpeed;
  job.PlungeSpeed = r.PlungeSpeed;
  job.StartSpeed = r.StartSpeed;
  job.Acceleration = r.Acceleration;
  job.SpindleSpeed = r.SpindleSpeed;
  job.CollinearAngle = r.CollinearAngle;
  job.CollinearTolerance = r.CollinearTolerance;
  job.CollinearSideLeastLength = r.CollinearSideLeastLength;
  job.ArcFitRadiusJitter = r.ArcFitRadiusJitter;
  job.ArcFitDeviation = r.ArcFitDeviation;
  job.ArcFitLeastLength = r.ArcFitLeastLength;
  job.CornerArcDeviation = r.CornerArcDeviation;
  job.CornerArcLeastRadius = r.CornerArcLeastRadius;
  job.SlowDownFraction = r.SlowDownFraction;
  job.SmoothLevel = r.SmoothLevel;
  job.Scale = r.Scale;
  job.DoorToolpath = r.DoorToolpath;
  job.DoorWidth = r.DoorWidth;
  job.ToolCount = (uint8_t)r.ValidToolCount();
  for (int i = 0; i < job.ToolCount; ++i) {
    job.ToolSpeeds[i] = r.ToolSpeeds[i];
    job.ToolSpeeds[i].Key[kToolKeySize - 1] = '\0';
  }
  job.CopiesX = r.CopiesX;
  job.CopiesY = r.CopiesY;
  job.CopiesZ = r.CopiesZ;
  job.NormalizeCopies();
  job.CopyOffsetX = r.CopyOffsetX;
  job.CopyOffsetY = r.CopyOffsetY;
  job.CopyOffsetZ = r.CopyOffsetZ;
  job.MaterialHeight = r.MaterialHeight;
  job.MaterialZeroOffset = r.MaterialZeroOffset;
  job.ZeroZ = r.ZeroZ;
  job.TagRangeStart = r.TagRangeStart;
  job.TagRangeEnd = r.TagRangeEnd;
  job.Switch1 = r.Switch1;
  job.Switch2 = r.Switch2;
  job.CoolantOn = r.CoolantOn;
  job.SpindleOn = r.SpindleOn;
  job.RawPathOnly = r.RawPathOnly;
  job.ShowInterpolation = r.ShowInterpolation;
  job.ShowPlate = r.ShowPlate;
  job.PreviewParam = r.PreviewParam;
  job.ViewDepth = r.ViewDepth;
  job.AutoDisconnect = r.AutoDisconnect;
  job.AutoHome = r.AutoHome;
  job.TWordEnabled = r.TWordEnabled;
  job.FWordEnabled = r.FWordEnabled;
  job.SWordEnabled = r.SWordEnabled;
  job.SurfaceAutoDetect = r.SurfaceAutoDetect;
  job.RollEngrave = r.RollEngrave;
  job.Test2D = r.Test2D;
  job.RollDiameter = r.RollDiameter;
  char tools[kJobTextSize];
  CopyText(tools, r.UsedTools, sizeof tools);
  SetRecordText(job.UsedTools, UsedToolsForRecord(tools));

  CString path = JobFilePath(job.JobName, ".jobinfo");
  if (path.IsEmpty()) return FALSE;
  CreateFolderPath(path);
  if (!WriteJobInfoFile(path, job)) return FALSE;
  e->m_job = job;
  return TRUE;
}

BOOL CJobManager::DeleteJob(const char* name) {
  if (!IsValidJobName(name)) return FALSE;
  CTableLock lock;
  CJobEntry* e = FindEntry(name);
  if (!e) return FALSE;
  CString folder = JobFolderPath(e->m_job.JobName);
  if (folder.IsEmpty() || !DeleteFolderTree(folder, FALSE, TRUE)) return FALSE;
  e->m_pRxChannel.reset();
  e->m_pTxChannel.reset();
  auto& entries = Table().entries;
  entries.erase(std::find_if(entries.begin(), entries.end(), [e](const auto& p) { return p.get() == e; }));
  SortJobs();
  return TRUE;
}

BOOL CJobManager::IsSourceChanged(const char* name) {
  CTableLock lock;
  CJobEntry* e = FindEntry(name);
  FileStatus status;
  if (!e || !GetFileStatus(e->m_job.SourcePath, status)) return FALSE;
  return ((int32_t)status.modified != e->m_job.SourceTime || (int32_t)status.size != e->m_job.SourceSize) ? TRUE
                                                                                                          : FALSE;
}

void CJobManager::SortJobs() {
  CTableLock lock;
  SortNewestFirst(Table().entries);
}

// ---------------------------------------------------------------------------
// Queries

BOOL CJobManager::JobExists(const char* name) {
  CTableLock lock;
  return FindEntry(name) ? TRUE : FALSE;
}

BOOL CJobManager::IsJobActive(const char* name) {
  CTableLock lock;
  CJobEntry* e = FindEntry(name);
  return e ? IsEntryActive(*e) : FALSE;
}

CString CJobManager::FindActiveJobOnDevice(const char* name, const char* connection) {
  if (IsSimulationConnection(connection)) return CString();
  CString device = ConnectionDevice(connection);
  if (device.IsEmpty()) return CString();
  CTableLock lock;
  for (auto& e : Table().entries) {
    if (name && CString(e->m_job.JobName).CompareNoCase(name) == 0) continue;
    if (ConnectionDevice(e->m_job.Connection).CompareNoCase(device) != 0) continue;
    if (IsEntryActive(*e)) return CString(e->m_job.JobName);
  }
  return CString();
}

BOOL CJobManager::IsDeviceBusy(const char* name, const char* connection) {
  return FindActiveJobOnDevice(name, connection).IsEmpty() ? FALSE : TRUE;
}

BOOL CJobManager::IsSimulation(const char* name) {
  CTableLock lock;
  CJobEntry* e = FindEntry(name);
  if (!e) return FALSE;
  CString c(e->m_job.Connection);
  c.Trim();
  c.MakeLower();
  return c.Find("simu:") >= 0 ? TRUE : FALSE;
}

int CJobManager::GetJobCount() {
  CTableLock lock;
  return (int)Table().entries.size();
}

BOOL CJobManager::GetJobByIndex(int index, JobRecord* record) {
  CTableLock lock;
  CJobEntry* e = EntryAt(index);
  if (!record || !e) return FALSE;
  *record = e->m_job;
  return TRUE;
}

BOOL CJobManager::GetJob(const char* name, JobRecord* record) {
  CTableLock lock;
  CJobEntry* e = FindEntry(name);
  if (!record || !e) return FALSE;
  *record = e->m_job;
  return TRUE;
}

CString CJobManager::GetJobState(const char* name) {
  CTableLock lock;
  CJobEntry* e = FindEntry(name);
  if (!e) return CString();
  CString state = RawState(*e);
  state.Trim();
  return state;
}

BOOL CJobManager::ListAttachedJobs(CStringArray& jobs) {
  jobs.RemoveAll();
  CTableLock lock;
  for (auto& e : Table().entries) {
    CString state = RawState(*e);
    state.Trim();
    if (state != "ATTACHED") continue;
    CString item;
    item.Format("%s@%s", e->m_job.JobName, e->m_job.DeviceName);
    jobs.Add(item);
  }
  return jobs.GetSize() > 0 ? TRUE : FALSE;
}

// ---------------------------------------------------------------------------
// Rings

BOOL CJobManager::OpenChannels(CJobEntry& entry) {
  CTableLock lock;
  auto open = [&](std::unique_ptr<CJobChannel>& ring, const char* prefix) {
    if (ring) return;
    auto channel = std::make_unique<CJobChannel>();
    if (channel->Open(ChannelName(prefix, entry.m_job.JobName), kJobChannelSlots)) ring = std::move(channel);
  };
  open(entry.m_pRxChannel, "PanelRx_");
  if (entry.m_pRxChannel) open(entry.m_pTxChannel, "PanelTx_");
  if (!entry.m_pRxChannel || !entry.m_pTxChannel) {
    entry.m_pRxChannel.reset();
    entry.m_pTxChannel.reset();
    return FALSE;
  }
  return TRUE;
}

void CJobManager::CloseChannels(const char* name) {
  CTableLock lock;
  bool all = !name || !*name;
  for (auto& e : Table().entries) {
    if (!all && CString(e->m_job.JobName).CompareNoCase(name) != 0) continue;
    e->m_pRxChannel.reset();
    e->m_pTxChannel.reset();
  }
}
