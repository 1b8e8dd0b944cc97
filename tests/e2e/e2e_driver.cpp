// The operator side of a job's whole road, played with the job manager's own code for
// the end-to-end tests and the engine benchmark (the main window does this once it
// exists). One program folder, given first; then one command:
//
//   e2e_driver FOLDER add NAME NCFILE CONNECTION [COPIES [AUTOQUIT]]
//       loads and optimises the NC file and adds it as a job on the plain router
//       (written to "Devices\"); its engine detaches and quits when the job is done
//       unless AUTOQUIT is 0
//   e2e_driver FOLDER add-records NAME CONNECTION N
//       writes a stored job of N path records (tags of 100 records: a rapid, a plunge
//       and a zig-zag in a 50 mm square) with the job files' own code, for runs longer
//       than an NC file is worth loading
//   e2e_driver FOLDER run [OPTIONS] NAME[=TARGET]...
//       starts each job's engine (with TARGET: an export to that file), starts the job
//       once it is attached, and supervises every 100 ms until no engine runs
//     --stop-at N          stop each job once its progress reaches tag N
//     --kill-engine-at N   end each job's engine process once its progress reaches tag N
//     --detach-finished    detach a job once it is "FINISHED" (for jobs that stay)
//     --timeout S          give up after S seconds (default 60): detach, exit 2
//   e2e_driver FOLDER wait-exit PID S
//       waits up to S seconds for the process PID to end (exit 0 when it did, else 2)
//
// What it sees goes to stdout, one line each, as it happens:
//   ENGINE name pid           the engine process the job manager started
//   STATE name state [text]   a new state in the job's reply header (read every 1 ms)
//   PROGRESS name done total  a progress message
//   START name ms             the start command went out, ms after the engines started
//   STOP name / KILL name     the stop command went out / the engine was ended
//   DETACH name               the detach command went out
//   END name state lines=n    the job's engine has gone; n controller lines came
//   DONE ms                   every engine has gone, ms after the first start
// Exit 0 when every engine went by itself within the time, 2 on the time-out, 1 on a
// bad command line or a job that could not be added or started.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/planner/command_codes.h"
#include "engine/planner/plan_segment.h"
#include "engine/planner/testing/job_driver.h"
#include "foundation/job_channel.h"
#include "foundation/settings.h"
#include "jobs/job_files.h"
#include "jobs/job_name.h"
#include "jobs/process_check.h"
#include "jobs/structs_file.h"
#include "jobs/table/job_manager.h"
#include "nc/optimize/path_optimizer.h"
#include "platform/bytes.h"
#include "platform/types.h"

// After the types: it needs the Windows types.
#include <tlhelp32.h>

namespace {

constexpr DWORD kPass_ms = 100;  // the main window's supervision timer
constexpr DWORD kPoll_ms = 1;    // header states between passes: "FINISHED" lasts a moment before an auto-quit

int PrintBox(const char* text, const char* caption, UINT type) {
  std::printf("BOX [%s] %s\n", caption, text);
  std::fflush(stdout);
  return platform::DefaultButton(type);
}

void Say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

// The plain router of the planner's tests, as the device file every job here names.
bool SavePlainDevice(DeviceParams& device) {
  device = planner_testing::PlainDevice();
  CreateFolderPath(g_strAppFolder + "Devices\\");
  return device.Save() != FALSE;
}

int Add(const char* name, const char* file, const char* connection, int copies, bool autoQuit) {
  DeviceParams device;
  if (!SavePlainDevice(device)) return 1;
  CJobManager::ScanJobsFolder();
  CPathOptimizer program;
  program.Reset();
  if (!program.LoadFromNCFile(nullptr, file, Vec3(1, 1, 1)) || !program.Optimize(nullptr, nullptr)) {
    Say("FAILED %s the NC file did not load\n", name);
    return 1;
  }
  JobRecord job = planner_testing::PlainJob(0);
  if (!SetRecordText(job.JobName, name) || !SetRecordText(job.SourcePath, file) ||
      !SetRecordText(job.Connection, connection) || !SetRecordText(job.DeviceName, device.m_szName))
    return 1;
  std::strcpy(job.FormatName, "GCODE");
  job.CopiesX = copies;
  job.CopiesY = job.CopiesZ = 1;
  job.Orientation = 1;
  job.AutoDisconnect = autoQuit ? 1 : 0;
  job.MaterialHeight = 10;
  job.FormatStamp = kJobFormatStamp;
  if (!CJobManager::AddJob(nullptr, &job, &program)) {
    Say("FAILED %s the job manager did not add the job\n", name);
    return 1;
  }
  CJobManager::GetJob(name, &job);
  Say("ADDED %s elements=%d tags=%d\n", name, program.GetElementCount(), (int)job.TotalTags);
  CJobManager::CloseChannels("");
  return 0;
}

// The records of a long job, made as they are asked for.
class CGeneratedRecords : public CPathRecordSource {
 public:
  static constexpr int kTagRecords = 100;
  explicit CGeneratedRecords(int count) : m_nCount(count) {}
  int GetRecordCount() override { return m_nCount; }
  BOOL GetRecord(int index, PathRecord& record) override {
    using planner_testing::MoveRecord;
    if (index < 0 || index >= m_nCount) return FALSE;
    int tag = index / kTagRecords, k = index % kTagRecords;
    double x = (tag % 10) * 5.0, y = (tag / 10 % 10) * 5.0;
    if (k == 0)
      record = MoveRecord(kGRapid, x, y, 5, kAxisBitsXYZ, true);
    else if (k == 1)
      record = MoveRecord(kGLine, x, y, -1, kAxisBitZ, true);
    else
      record = MoveRecord(kGLine, x + (k % 2) * 4.0, y + k * 0.04, -1, 0xC0);
    return TRUE;
  }
  int TagCount() const { return (m_nCount + kTagRecords - 1) / kTagRecords; }

 private:
  int m_nCount;
};

int AddRecords(const char* name, const char* connection, int count) {
  DeviceParams device;
  if (count <= 0 || !SavePlainDevice(device)) return 1;
  CGeneratedRecords records(count);
  JobRecord job = planner_testing::PlainJob(records.TagCount());
  if (!SetRecordText(job.JobName, name) || !SetRecordText(job.Connection, connection) ||
      !SetRecordText(job.DeviceName, device.m_szName))
    return 1;
  job.CopiesX = job.CopiesY = job.CopiesZ = 1;
  job.AutoDisconnect = 1;
  job.FormatStamp = kJobFormatStamp;
  job.MaterialHeight = 10;
  job.FeedMin = Vec3(0, 0, -1);
  job.FeedMax = Vec3(50, 50, 5);
  CreateFolderPath(JobFolderPath(name));
  if (!WriteJobInfoFile(JobFilePath(name, ".jobinfo"), job) ||
      !WriteStructsFile(JobFilePath(name, ".structs"), records, nullptr))
    return 1;
  CJobManager::ScanJobsFolder();
  if (!CJobManager::JobExists(name)) return 1;
  Say("ADDED %s records=%d tags=%d\n", name, count, records.TagCount());
  CJobManager::CloseChannels("");
  return 0;
}

// The engine process this program started for a job: the newest child not yet taken.
DWORD FindEngineChild(const std::vector<DWORD>& known) {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  DWORD found = 0;
  for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
    if (entry.th32ParentProcessID != ::GetCurrentProcessId()) continue;
    bool taken = false;
    for (DWORD pid : known) taken = taken || pid == entry.th32ProcessID;
    if (!taken) found = entry.th32ProcessID;
  }
  ::CloseHandle(snapshot);
  return found;
}

struct Job {
  CString name;
  CString target;
  CString state;
  DWORD pid = 0;
  bool started = false;
  bool stopped = false;
  bool killed = false;
  bool ended = false;
  DWORD done = 0;
  int lines = 0;
};

void TakeMessage(Job& job, const BYTE* message, UINT length) {
  WORD type = bytes::Load16(message);
  if (type == kMsgProgress && length >= 12) {
    job.done = bytes::Load32(message + 4);
    Say("PROGRESS %s %lu %lu\n", (const char*)job.name, (unsigned long)job.done,
        (unsigned long)bytes::Load32(message + 8));
  } else if (type == kMsgControllerLine) {
    ++job.lines;
  }
}

// Every message of the job's reply ring, as they come between supervision passes.
void TakeMessages(int index, Job& job) {
  BYTE buffer[kChannelSlotSize + 1] = {};
  UINT length = 0;
  while (CJobManager::ReadEngineMessage(index, buffer, kChannelSlotSize, length)) TakeMessage(job, buffer, length);
}

int IndexOf(const Job& job) {
  for (int i = 0; i < CJobManager::GetJobCount(); ++i) {
    JobRecord record;
    if (CJobManager::GetJobByIndex(i, &record) && job.name.CompareNoCase(record.JobName) == 0) return i;
  }
  return -1;
}

void EndProcess(DWORD pid) {
  if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
    ::TerminateProcess(process, 1);
    ::CloseHandle(process);
  }
}

int IndexOf(const Job& job);

// The message a supervision pass takes itself: the pass drops all but the controller's
// 'B' lines, so without this a progress message that came just before it would be lost.
void TakenByThePass(int index, const BYTE* message, UINT length, void* context) {
  for (Job& job : *static_cast<std::vector<Job>*>(context))
    if (IndexOf(job) == index) TakeMessage(job, message, length);
}

int Run(std::vector<Job>& jobs, long stopAt, long killAt, bool detachFinished, DWORD timeout_ms) {
  CJobManager::ScanJobsFolder();
  CJobManager::SetEngineMessageObserver(TakenByThePass, &jobs);
  std::vector<DWORD> known;
  for (Job& job : jobs) {
    if (!CJobManager::JobExists(job.name) || !CJobManager::StartEngine(job.name, job.target)) {
      Say("FAILED %s the engine did not start\n", (const char*)job.name);
      return 1;
    }
    job.pid = FindEngineChild(known);
    known.push_back(job.pid);
    Say("ENGINE %s %lu\n", (const char*)job.name, (unsigned long)job.pid);
  }
  const DWORD begin = ::GetTickCount();
  DWORD lastPass = begin;
  for (;;) {
    bool all = true;
    for (Job& job : jobs) {
      CString state = CJobManager::GetJobState(job.name);
      if (state != job.state) {
        job.state = state;
        CJobChannel rx;
        ChannelHeader h = {};
        if (rx.Open(CString("PanelRx_") + job.name, kJobChannelSlots)) rx.ReadHeader(&h);
        CString text = h.szMessage;  // one report line
        text.Replace("\r", " ");
        text.Replace("\n", " ");
        Say("STATE %s %s %s\n", (const char*)job.name, (const char*)state, (const char*)text);
      }
      if (!job.started && state == "ATTACHED") {
        if (!CJobManager::StartJob(job.name, 1, 0, 0)) {
          Say("FAILED %s the start was refused\n", (const char*)job.name);
          return 1;
        }
        job.started = true;
        Say("START %s %lu\n", (const char*)job.name, (unsigned long)(::GetTickCount() - begin));
      }
      if (detachFinished && !job.stopped && state == "FINISHED" && CJobManager::SendDetach(job.name)) {
        job.stopped = true;
        Say("DETACH %s\n", (const char*)job.name);
      }
      if (stopAt > 0 && !job.stopped && (long)job.done >= stopAt && CJobManager::StopJob(job.name)) {
        job.stopped = true;
        Say("STOP %s\n", (const char*)job.name);
      }
      if (killAt > 0 && !job.killed && (long)job.done >= killAt) {
        EndProcess(job.pid);
        job.killed = true;
        Say("KILL %s\n", (const char*)job.name);
      }
      all = all && job.ended;
    }
    if (all) break;
    if (::GetTickCount() - lastPass >= kPass_ms) {
      lastPass = ::GetTickCount();
      for (Job& job : jobs) {
        int index = IndexOf(job);
        if (index >= 0) TakeMessages(index, job);
      }
      CJobManager::MonitorJobs();
      for (Job& job : jobs) {
        if (job.ended || IsProcessRunning(job.pid)) continue;
        int index = IndexOf(job);
        if (index >= 0) TakeMessages(index, job);
        job.ended = true;
        Say("END %s %s lines=%d\n", (const char*)job.name, (const char*)CJobManager::GetJobState(job.name), job.lines);
      }
    }
    if (::GetTickCount() - begin > timeout_ms) {
      Say("TIMEOUT\n");
      for (Job& job : jobs) CJobManager::SendDetach(job.name);
      return 2;
    }
    ::Sleep(kPoll_ms);
  }
  Say("DONE %lu\n", (unsigned long)(::GetTickCount() - begin));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 1;
  platform::SetMessageBoxHook(PrintBox);
  CString folder = argv[1];
  if (folder.Right(1) != "\\") folder += "\\";
  g_strAppFolder = folder;
  g_nUiLanguage = 1;
  int rc = 1;
  if (std::strcmp(argv[2], "add") == 0 && argc >= 6) {
    rc = Add(argv[3], argv[4], argv[5], argc >= 7 ? std::atoi(argv[6]) : 1, argc < 8 || std::atoi(argv[7]) != 0);
  } else if (std::strcmp(argv[2], "add-records") == 0 && argc >= 6) {
    rc = AddRecords(argv[3], argv[4], std::atoi(argv[5]));
  } else if (std::strcmp(argv[2], "run") == 0) {
    std::vector<Job> jobs;
    long stopAt = 0, killAt = 0;
    bool detachFinished = false;
    DWORD timeout_ms = 60000;
    for (int i = 3; i < argc; ++i) {
      std::string a = argv[i];
      if (a == "--stop-at" && i + 1 < argc) {
        stopAt = std::atol(argv[++i]);
      } else if (a == "--kill-engine-at" && i + 1 < argc) {
        killAt = std::atol(argv[++i]);
      } else if (a == "--detach-finished") {
        detachFinished = true;
      } else if (a == "--timeout" && i + 1 < argc) {
        timeout_ms = (DWORD)(std::atof(argv[++i]) * 1000);
      } else {
        Job job;
        size_t eq = a.find('=');
        job.name = a.substr(0, eq).c_str();
        if (eq != std::string::npos) job.target = a.substr(eq + 1).c_str();
        jobs.push_back(job);
      }
    }
    if (!jobs.empty()) rc = Run(jobs, stopAt, killAt, detachFinished, timeout_ms);
    CJobManager::SetEngineMessageObserver(nullptr, nullptr);
  } else if (std::strcmp(argv[2], "wait-exit") == 0 && argc >= 5) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, (DWORD)std::atol(argv[3]));
    rc = 0;  // a process that cannot be opened any more has ended
    if (process && ::WaitForSingleObject(process, (DWORD)(std::atof(argv[4]) * 1000)) != WAIT_OBJECT_0) rc = 2;
    if (process) ::CloseHandle(process);
  }
  CJobManager::CloseChannels("");
  return rc;
}
