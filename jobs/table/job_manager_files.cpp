// The job table's files: info file, the stored job against an edited record, path
// records and the summary.
#include <cmath>
#include <ctime>

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "jobs/job_files.h"
#include "jobs/job_name.h"
#include "jobs/job_summary.h"
#include "jobs/structs_file.h"
#include "jobs/table/job_manager.h"
#include "jobs/table/program_records.h"
#include "resources/resource.h"

namespace {

bool Near(double a, double b) { return std::fabs(a - b) <= 1e-6; }
bool SameText(const char* a, const char* b) { return CString(a).CompareNoCase(b) == 0; }

// A job file the program cannot use: the operator may delete the job.
void AskDeleteUnusableJob(const char* name) {
  CString text;
  text.Format(LoadLangString(IDS_JOB_OLD_FORMAT_CN, IDS_JOB_OLD_FORMAT_EN), name);
  if (ShowMessage(text, MB_YESNO | MB_ICONQUESTION) == IDYES) DeleteFolderTree(JobFolderPath(name), FALSE, TRUE);
}

}  // namespace

int32_t CJobManager::FolderCreated(const char* name) {
  CString folder = JobFolderPath(name);
  folder.TrimRight('\\');
  FileStatus status;
  if (!folder.IsEmpty() && GetFileStatus(folder, status)) return (int32_t)status.created;
  return (int32_t)time(nullptr);
}

BOOL CJobManager::WriteJobInfo(const char* name) {
  CTableLock lock;
  CJobEntry* e = FindEntry(name);
  if (!e) return FALSE;
  CString path = JobFilePath(e->m_job.JobName, ".jobinfo");
  if (path.IsEmpty()) return FALSE;
  CreateFolderPath(path);
  return WriteJobInfoFile(path, e->m_job);
}

BOOL CJobManager::ReadJobInfo(const char* name, JobRecord* record) {
  if (!record || !IsValidJobName(name)) return FALSE;
  int32_t created = FolderCreated(name);
  JobRecord read;
  switch (ReadJobInfoFile(JobFilePath(name, ".jobinfo"), read)) {
    case kJobInfoMissing: return FALSE;
    case kJobInfoShort:
    case kJobInfoOldFormat: AskDeleteUnusableJob(name); return FALSE;
    case kJobInfoRead: break;
  }
  read.Created = created;
  *record = read;
  return TRUE;
}

BOOL CJobManager::ToolpathSettingsDiffer(const char* name, const JobRecord* record) {
  JobRecord stored;
  if (!record || !ReadJobInfo(name, &stored)) return FALSE;
  JobRecord r = *record;
  r.TerminateTexts();
  bool sameDevice = SameText(stored.DeviceName, r.DeviceName);
  bool same = sameDevice && stored.ShowPlate == r.ShowPlate && stored.RawPathOnly == r.RawPathOnly &&
              stored.ShowInterpolation == r.ShowInterpolation && Near(stored.ViewDepth, r.ViewDepth) &&
              stored.FlipX == r.FlipX && stored.FlipY == r.FlipY && stored.FlipZ == r.FlipZ &&
              stored.Orientation == r.Orientation && stored.ViewPoint == r.ViewPoint && stored.CopiesX == r.CopiesX &&
              stored.CopiesY == r.CopiesY && stored.CopiesZ == r.CopiesZ && Near(stored.CopyOffsetX, r.CopyOffsetX) &&
              Near(stored.CopyOffsetY, r.CopyOffsetY) && Near(stored.CopyOffsetZ, r.CopyOffsetZ);
  if (same) return FALSE;
  // Without the plate the device does not show in the picture.
  if (r.ShowPlate == 0 && !sameDevice) return FALSE;
  return TRUE;
}

BOOL CJobManager::JobRecordDiffer(const char* name, const JobRecord* record) {
  JobRecord s;
  if (!record || !ReadJobInfo(name, &s)) return FALSE;
  JobRecord r = *record;
  r.TerminateTexts();
  bool texts = SameText(s.SourcePath, r.SourcePath) && SameText(s.Connection, r.Connection) &&
               SameText(s.DeviceName, r.DeviceName);
  bool numbers = s.ShowPlate == r.ShowPlate && s.RawPathOnly == r.RawPathOnly &&
                 s.ShowInterpolation == r.ShowInterpolation && s.FlipX == r.FlipX && s.FlipY == r.FlipY &&
                 s.FlipZ == r.FlipZ && s.Orientation == r.Orientation && s.ViewPoint == r.ViewPoint &&
                 s.CopiesX == r.CopiesX && s.CopiesY == r.CopiesY && s.CopiesZ == r.CopiesZ && s.Switch1 == r.Switch1 &&
                 s.Switch2 == r.Switch2 && s.CoolantOn == r.CoolantOn && s.SpindleOn == r.SpindleOn &&
                 s.TWordEnabled == r.TWordEnabled && s.FWordEnabled == r.FWordEnabled &&
                 s.SWordEnabled == r.SWordEnabled && s.AutoDisconnect == r.AutoDisconnect && s.Test2D == r.Test2D &&
                 s.SurfaceAutoDetect == r.SurfaceAutoDetect && s.RollEngrave == r.RollEngrave &&
                 s.AutoHome == r.AutoHome && s.TagRangeStart == r.TagRangeStart && s.TagRangeEnd == r.TagRangeEnd;
  bool doubles = Near(s.ViewDepth, r.ViewDepth) && Near(s.TraverseSpeed, r.TraverseSpeed) &&
                 Near(s.FeedSpeed, r.FeedSpeed) && Near(s.PlungeSpeed, r.PlungeSpeed) &&
                 Near(s.StartSpeed, r.StartSpeed) && Near(s.Acceleration, r.Acceleration) &&
                 Near(s.SpindleSpeed, r.SpindleSpeed) && Near(s.CopyOffsetX, r.CopyOffsetX) &&
                 Near(s.CopyOffsetY, r.CopyOffsetY) && Near(s.CopyOffsetZ, r.CopyOffsetZ) &&
                 Near(s.MaterialZeroOffset, r.MaterialZeroOffset) && Near(s.MaterialHeight, r.MaterialHeight) &&
                 Near(s.ZeroZ, r.ZeroZ) && Near(s.RollDiameter, r.RollDiameter) &&
                 Near(s.ArcFitRadiusJitter, r.ArcFitRadiusJitter) && Near(s.ArcFitLeastLength, r.ArcFitLeastLength) &&
                 Near(s.SmoothLevel, r.SmoothLevel) && Near(s.SlowDownFraction, r.SlowDownFraction);
  return (texts && numbers && doubles) ? FALSE : TRUE;
}

BOOL CJobManager::WriteStructs(CProgressSink* progress, const char* name, CNCProgram* program) {
  if (!program || program->GetElementCount() <= 0) return FALSE;
  CString path = JobFilePath(name, ".structs");
  if (path.IsEmpty()) return FALSE;
  CreateFolderPath(path);
  CProgramRecordSource source(*program);
  return WriteStructsFile(path, source, progress);
}

BOOL CJobManager::LoadStructs(CProgressSink* progress, const char* name, CNCProgram* program) {
  if (!program || !name || !*name) return FALSE;
  CString path = JobFilePath(name, ".structs");
  if (path.IsEmpty()) return FALSE;
  CProgramRecordSink sink(*program);
  double length_mm = 0.0;
  if (!ReadStructsFile(path, sink, progress, &length_mm)) return FALSE;
  program->SetPathLength(program->GetPathLength() + length_mm);
  return TRUE;
}

BOOL CJobManager::LoadStructsBySource(CProgressSink* progress, const char* sourcePath, CNCProgram* program) {
  if (!sourcePath || !*sourcePath) return FALSE;
  CString name;
  {
    CTableLock lock;
    for (int i = 0; CJobEntry* e = EntryAt(i); ++i) {
      if (SameText(e->m_job.SourcePath, sourcePath)) {
        name = e->m_job.JobName;
        break;
      }
    }
  }
  if (name.IsEmpty()) return FALSE;
  return LoadStructs(progress, name, program);
}

CString CJobManager::GetJobSummary(const char* name) {
  CString path = JobFilePath(name, ".jobinfo");
  if (path.IsEmpty()) return CString();
  return ReadJobSummary(path);
}
