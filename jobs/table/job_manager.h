// The operator program's job table: at most 100 jobs, newest first, each mirrored on
// disk by its folder "<program folder>Jobs\<name>\" (".jobinfo", ".structs",
// ".snapshot") and owning the two rings of its job channel, created when the job enters
// the table so that they exist before any engine starts.
//
// All operations are static and work on one table for the whole run. They run on the
// UI thread and hold the table lock (recursive) for their whole duration: writing a
// job's path records drains the message queue, and timer handlers that run meanwhile
// come back into the table on the same thread.
//
// A name is found ignoring case, as the file system finds the job's folder. Job names
// reach paths only after IsValidJobName: a name that could leave the Jobs folder is
// refused before anything is written or deleted.
#pragma once

#include <memory>

#include "jobs/job_record.h"
#include "platform/core.h"

class CJobChannel;
class CNCProgram;

constexpr int kMaxJobs = 100;
constexpr UINT kJobChannelSlots = 128;
// The main window's message for forwarded engine lines (WM_APP+100).
constexpr UINT kEngineLineMessage = 0x8000 + 100;

// One job of the table: its record and what exists only while the program runs.
class CJobEntry {
 public:
  CJobEntry();
  ~CJobEntry();
  CJobEntry(const CJobEntry&) = delete;
  CJobEntry& operator=(const CJobEntry&) = delete;

  JobRecord m_job;
  std::unique_ptr<CJobChannel> m_pTxChannel;  // "PanelTx_<name>"; both rings exist or neither
  std::unique_ptr<CJobChannel> m_pRxChannel;  // "PanelRx_<name>"; its header holds the state
  DWORD m_nEnginePid = 0;                     // the job's engine process, 0 when none
  BOOL m_bEngineRunning = FALSE;              // an engine was started and is not known gone
};

// The device a connection string drives: the port ("COM3") for "COM3:<baud>", else the
// whole trimmed string; empty for an empty string. Compared ignoring case.
CString ConnectionDevice(const char* connection);
// "SIMU:" connections (trimmed, any case): each simulation has a device of its own.
BOOL IsSimulationConnection(const char* connection);

class CJobManager {
 public:
  // ---- The table and its folders

  // Rebuilds the table from the job folders: every folder whose name is a job name and
  // does not begin with '.', whose info file reads, and whose rings open. With more
  // than kMaxJobs such jobs the newest are loaded and the others named in the "jobs"
  // log; they stay on disk.
  static void ScanJobsFolder();
  // Adds the job of the record, or overwrites the job of that name, taking the
  // toolpath fields and the path records from the program (when it has elements; an
  // empty program leaves a job's path records as they are). The job's files are
  // replaced only when all of them were written: a cancelled or failed write changes
  // nothing and gives 0. 0 also for a bad name and for a new job in a full table.
  static BOOL AddJob(CProgressSink* progress, const JobRecord* record, CNCProgram* program);
  // Takes the preview options of the record into the job of its name, replaces the
  // job's snapshot by "Jobs\preview.snapshot" and rewrites the info file.
  static BOOL RefreshJob(const JobRecord* record);
  // Takes the editable settings of the record into the job; the name, the toolpath
  // statistics, RelativeCoords, Mode2D, FormatName and Created stay. The table changes
  // only when the info file was written.
  static BOOL UpdateJobRecord(const char* name, const JobRecord* record);
  // Deletes the job's folder, its rings and its entry; 0 when the job is not in the
  // table, its name is not a job name, or its folder cannot be listed.
  static BOOL DeleteJob(const char* name);
  // The toolpath fields of the record from the program (nothing for an empty one).
  static void SetRecordFromToolpath(JobRecord* record, CNCProgram* program);
  // 1 when the job's NC file now has another modification time or size.
  static BOOL IsSourceChanged(const char* name);
  static void SortJobs();

  // ---- Queries

  static BOOL JobExists(const char* name);
  // The job's state is neither empty nor "READY" nor "ERROR" (0 without rings).
  static BOOL IsJobActive(const char* name);
  // The first other job on the same device (ConnectionDevice) that is active; every
  // other job is looked at. Empty for none, for "SIMU:" and for an empty connection.
  static CString FindActiveJobOnDevice(const char* name, const char* connection);
  // Whether FindActiveJobOnDevice finds a job.
  static BOOL IsDeviceBusy(const char* name, const char* connection);
  static BOOL IsSimulation(const char* name);
  static int GetJobCount();
  static BOOL GetJobByIndex(int index, JobRecord* record);
  static BOOL GetJob(const char* name, JobRecord* record);
  // The state text of the job's reply ring, trimmed; empty without the job or its rings.
  static CString GetJobState(const char* name);
  // "<name>@<device>" of every job whose state is "ATTACHED"; TRUE when there is one.
  static BOOL ListAttachedJobs(CStringArray& jobs);

  // ---- Rings

  // Creates the entry's missing rings; TRUE when both exist.
  static BOOL OpenChannels(CJobEntry& entry);
  // Closes the rings of the job, or of every job for an empty name.
  static void CloseChannels(const char* name);

  // ---- Job files

  // Replaces the job's info file by its table record; 0 when the job is not in the table.
  static BOOL WriteJobInfo(const char* name);
  // Reads the job's info file into the record, with Created the job folder's creation
  // time. A short file or one of another format asks whether to delete the job.
  static BOOL ReadJobInfo(const char* name, JobRecord* record);
  // Whether the stored job's preview must be drawn again for the edited record.
  static BOOL ToolpathSettingsDiffer(const char* name, const JobRecord* record);
  // Whether the edited record differs from the stored job in a setting the job keeps.
  static BOOL JobRecordDiffer(const char* name, const JobRecord* record);
  // Replaces the job's ".structs" file by the program's records; 0, and the old file as
  // it was, when the program is empty, the file cannot be written or the operator
  // cancels.
  static BOOL WriteStructs(CProgressSink* progress, const char* name, CNCProgram* program);
  // Rebuilds the program from the job's ".structs" file. 0 for a missing file or one
  // shorter than a record (the program as it was), and on cancel (the program empty).
  static BOOL LoadStructs(CProgressSink* progress, const char* name, CNCProgram* program);
  // LoadStructs for the job imported from this NC file (path compared ignoring case).
  static BOOL LoadStructsBySource(CProgressSink* progress, const char* sourcePath, CNCProgram* program);
  // The summary text of the job's info file; empty when it cannot be read.
  static CString GetJobSummary(const char* name);

  // ---- Engines (job_engine.cpp)

  // Starts the job's engine hidden, with the program folder as working folder and the
  // command line "<folder>Mardrive.EXE <language>|<job>|<own pid>[|<target>]". TRUE when
  // started or already marked running; FALSE when the job is unknown, the command line
  // would not fit (nothing is cut) or the process could not be started.
  static BOOL StartEngine(const char* name, const char* target);
  // One supervision pass (the main window's 100 ms timer): at most one message per job
  // ('B' lines go to the engine-line window), a job whose engine has gone back to
  // "READY" unless it is in "ERROR", an engine in "ERROR" ended.
  static void MonitorJobs();
  // Takes at most one message of job `index`'s reply ring; TRUE when one was taken.
  static BOOL ReadEngineMessage(int index, BYTE* buffer, UINT size, UINT& length);
  // TRUE when no job has a live engine process.
  static BOOL NoEngineRunning();
  // Where MonitorJobs posts the forwarded engine lines (kEngineLineMessage, wParam 1,
  // lParam a heap text the receiver frees with delete[]); null: they are dropped.
  static void SetEngineLineWindow(HWND window);
  // Sees every message a supervision pass takes (job index, message, stored length)
  // before the pass forwards or drops it: whoever also reads the rings between passes
  // sees every message once. Null: none.
  using EngineMessageObserver = void (*)(int index, const BYTE* message, UINT length, void* context);
  static void SetEngineMessageObserver(EngineMessageObserver observer, void* context);

  // ---- Engine commands (job_engine.cpp). Each TRUE when the ring took the command.
  static BOOL SendToEngine(CJobEntry* entry, const void* bytes, UINT length);
  // Language, then force 2D and simulate-with-time when set, then start when no other
  // job is busy on the device and the state allows it. TRUE only when the start went.
  static BOOL StartJob(const char* name, WORD language, BYTE force2D, BYTE simulateWithTime);
  static BOOL StopJob(const char* name);
  static BOOL SendDetach(const char* name);
  static BOOL SendToolChangeDone(const char* name);
  static BOOL SendLanguage(WORD language);
  // FALSE, nothing sent, when the offset in steps does not fit a signed 16-bit word.
  static BOOL SendZAdjust(const char* name, double offset_mm);
  static BOOL SendParamU(const char* name, WORD code, DWORD value);
  static BOOL SendParamD(const char* name, WORD code, WORD value);
  // FALSE, nothing sent, when the data does not fit one ring message.
  static BOOL SendRomParam(const char* name, WORD request, const BYTE* data, WORD length);

 private:
  // Holds the table lock for a scope.
  class CTableLock {
   public:
    CTableLock();

   private:
    CSingleLock m_lock;
  };
  // The entry of that name (ignoring case), or null. Call with the lock held.
  static CJobEntry* FindEntry(const char* name);
  // Entry `index` in table order, or null past the last. Call with the lock held.
  static CJobEntry* EntryAt(int index);
  static BOOL IsEntryActive(CJobEntry& entry);
  // The creation time of the job's folder; now when it cannot be read.
  static int32_t FolderCreated(const char* name);
  // Pushes a message of type and payload to the entry's command ring.
  static BOOL SendCommand(CJobEntry* entry, WORD type, const void* payload, UINT length);
  static void EndEngine(CJobEntry& entry);
};
