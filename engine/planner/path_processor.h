// CPathProcessor: the planning core of the job engine. It takes a job's path records one
// at a time and turns them into the controller's command stream, which it cuts into
// device data frames and queues (IFrameQueue).
//
// Consecutive moves are collected into a run of PlanSegments; when the run ends (a new
// tag, a dwell, the segment limit, the end of the job) it goes through the phases, one
// family per file:
//   intake          record by record: tags and ranges, safe Z, lift, entry moves  (intake.cpp)
//   runs            segments of a run, relative splitting, run cuts, Force2D      (runs.cpp)
//   smoothing       SnowBall chains of nearly equal corner radii                   (smoothing.cpp)
//   arc fitting     short lines on a circle become arc pieces; short arcs lines   (arc_fitting.cpp)
//   speed planning  ramp table, initial speeds, cut types, junction limits        (speed_planning.cpp)
//   packing         move blocks or G commands, held-back instructions             (packing.cpp)
//   timing          planned times per tag, speed trace, progress                  (timing.cpp)
// Tag and mode records become short commands (instructions.cpp); the lifecycle and the
// checks of a job's settings are in path_processor.cpp.
//
// Threads: the preparation calls run before the processing thread starts; everything
// from BeginJob on runs on the processing thread, except the timing queries and the tag
// progress calls, which take the timing lock.
#pragma once

#include <vector>

#include "device/device_params.h"
#include "engine/planner/command_writer.h"
#include "engine/planner/plan_segment.h"
#include "engine/planner/planner_settings.h"
#include "engine/planner/ramp_table.h"
#include "engine/protocol/frame_queue.h"
#include "foundation/path_record.h"
#include "jobs/job_record.h"
#include "platform/clock.h"
#include "platform/core.h"

// Sees every planned run just before it is packed (tests and diagnostics).
class IPlanObserver {
 public:
  virtual ~IPlanObserver() = default;
  virtual void OnRunPlanned(const PlanSegment* segments, int count, WORD runGType) = 0;
};

// Where the speed trace of a job goes: "<program folder>Temp\<job>.trace".
CString GetSpeedTracePath(const char* jobName);

const int kRangePassed = -1;          // ProcessRecord: the record range of the job has been passed
const int kOutputFailed = -2;         // ProcessRecord: a frame could not be queued; stop the job
const int kToolSlots = 64;            // "@T" slots 1..63
const int kSoftSegmentLimit = 32767;  // a run longer than this is cut at a continuation point
const int kHardSegmentLimit = 65531;  // ... and always here

class CPathProcessor {
 public:
  // `ticks` times the tags while the controller works (null: the system's tick count).
  explicit CPathProcessor(ITickSource* ticks = nullptr);
  ~CPathProcessor();
  CPathProcessor(const CPathProcessor&) = delete;
  CPathProcessor& operator=(const CPathProcessor&) = delete;

  // Room for the longest run (about 9 MB), allocated and written once, so that the
  // processing thread neither grows nor first touches it: the engine calls it once, and
  // a long first run is not slowed on its way to the first frame. Without it the room
  // grows as runs need it.
  void ReserveRunBuffer();

  // ---- Before a transmission, in this order: Reset, PrepareJob, BeginJob.
  // Frames go to `queue` (null: nothing is queued).
  void SetOutput(IFrameQueue* queue);
  void Reset();
  // Copies the job, its device and the settings, applies the job's overrides and checks
  // every setting the planner divides by. FALSE with `error` set (naming the setting)
  // when one is unusable; nothing may then be started.
  BOOL PrepareJob(const JobRecord& job, const DeviceParams& device, const PlannerSettings& settings, CString& error);
  // The engine's parking lift height (mm) after its range checks; read when the first
  // move lifts the tool, for both the lift and the safe Z of the first moves.
  void SetParkingLift(double lift_mm) { m_dParkingLift_mm = lift_mm; }
  // Force2D (the operator's option): Z is dropped from every run.
  void SetForce2D(BOOL on) { m_bForce2D = on; }
  // Starts a job machining tags first..last (last 0: to the end).
  void BeginJob(int firstTag, int lastTag);
  // The controller model's number: "V5" gives 5.
  int GetControllerVersionNumber() const;
  // Queues the 100-byte job header as a frame of its own. `target` is the export or
  // upload target of the command line, `launched` whether the operator program started
  // the engine. FALSE when the frame was refused.
  BOOL SendJobHeader(const char* target, BOOL launched);
  // Cleans a job name for the header: a lead byte that ends the text goes, a lead byte
  // before a plain byte becomes a blank, a double-byte character stays.
  static void SanitizeJobName(char* name);

  // ---- Processing thread
  // One record; null ends the job. Returns the current tag, kRangePassed once the tag
  // range has been passed, or kOutputFailed once a frame could not be queued.
  int ProcessRecord(const PathRecord* record);
  // Ends the current run: plans it, packs it, sends what it held back.
  void FlushSegments();
  void SetAllTagsDone();
  // Instruction text ("SW1;SP2;M3;"): only pieces closed by ";" count. Returns 1.
  int ParseInstructionString(const char* text);
  // Start commands of a copy: velocities, coolant, spindle, waits, machine modes.
  void AddStartCommands();
  // The operator's spindle speed and M codes: they become the planner's own state, so
  // the next copy's start commands and tool changes repeat them instead of the job's
  // values, and go out at once as device commands when the output is bound. Called on
  // the thread that may use the planner (not beside a running processing thread).
  void SetSpindleSpeed(DWORD speed);
  // 3 and 4 spindle on, 5 off, 7 and 8 coolant on, 9 off; any code is sent.
  void SendMCode(WORD code);
  void AddCommand(WORD code, WORD value);
  void AddCommand2(WORD code, DWORD value);
  BOOL FlushOutput() { return m_out.Flush(); }
  // Empties the run (flushing the output first when asked) and publishes the frames.
  void Clear(BOOL flush);
  BOOL IsOutputFailed() const { return m_out.Failed(); }

  // ---- Timing (any thread)
  void StartTagTimer();
  void PauseTagTimer();
  void StopTagTimer();
  // The controller reported tag n (0: it began). Numbers outside 0..total are ignored.
  void OnTagProgress(int n);
  double GetElapsedTime();
  // Planned seconds of tag n; n < 0: the projected time of the whole job.
  double GetPlannedTagTime(int n);

  // ---- State for the engine and tests
  int GetCurrentTag() const { return m_nCurrentTag; }
  int GetTotalTags() const { return m_job.TotalTags; }
  // The controller takes G commands (arcs as arcs, lines with their length).
  BOOL SupportsGCommands() const;
  void SetPlanObserver(IPlanObserver* observer) { m_pObserver = observer; }
  const CRampTable& GetRampTable() const { return m_ramp; }
  const PlannerSettings& GetSettings() const { return m_settings; }
  double GetCornerSpeed(double radius_mm) const;
  double GetStartSpeed() const { return m_dStart_mm_s; }
  double GetCumulativeTime() const { return m_dCumTime_s; }

 private:
  struct HeldRecord {
    int m_nSegment;         // the record came after this segment of the run
    PathRecordData m_data;  // its stored bytes
  };

  // ---- intake.cpp
  int EndJob();
  void ApplyFirstMoveRule(PathRecordData& r);
  void LiftTool();
  // A move with the new-tag mark: closes the tag before it, writes the tag markers and
  // enters the tag range.
  void BeginTag(const PathRecordData& r);
  void AddEntryMoves(const Vec3& from, const Vec3& to);
  void WriteSingleMove(WORD code, const Vec3& from_mm, const Vec3& to_mm, double vn, double vc, bool lengthKnown);
  void CloseTagTime();
  // DT_DH with the tag number; never below a marker written before.
  void MarkTag(int tag);

  // ---- runs.cpp
  void AddMoveRecord(const PathRecordData& r);
  void AddMoveSegment(const PathRecordData& r, const Vec3& target, double radius, bool org);
  Vec3 ScaleRotary(const Vec3& p) const;
  bool IsRunCutPoint(const PlanSegment& s) const;
  void ApplyForce2D();
  void EraseSegment(int index);

  // ---- instructions.cpp
  void AddTagRecord(const PathRecordData& r);
  void SendTagRecord(const PathRecordData& r);
  void SetPlaneFromCode(int code);
  void SelectTool(int tool);
  void HandleMCode(const PathRecordData& r);
  void SendHeldRecords(int segment);
  void SendAllHeldRecords();
  void AddSpeedCommands();
  // DT_SS, DT_SU, DT_SD, DT_SZ with the current tool's velocities.
  void AddVelocityCommands();

  // ---- smoothing.cpp
  bool IsSmoothVertex(const Vec3& a, const Vec3& b, const Vec3& c, PlanSegment& bSegment) const;
  void SmoothRadiusSpeeds();
  void SetSmoothingConstants();

  // ---- arc_fitting.cpp
  void FitArcs();
  int TryFitArc(int first, int last);
  // The spread of radii and the chord deviation of a walked arc within their limits (the
  // "fitting" log says why not).
  bool ArcWithinLimits(double rMin, double rMax, double hMax) const;
  void ReplaceArcs();
  void LogFitting() const;

  // ---- speed_planning.cpp
  void SetInitialSpeeds(PlanSegment& s, const Vec3& from, double radius) const;
  void BuildRampTable();
  void PlanSegments();
  void SetCutTypes();
  void NormalizeCutTypes();
  void PlanVelocities();
  int LimitJunction(PlanSegment& a, PlanSegment& b, bool bIsLast);
  void EvenShortSegments();

  // ---- packing.cpp
  void PackRun();
  void PackBlockForm(WORD code);
  void PackGForm(WORD code);
  void FillOnePointEx(WORD code, bool last, const PlanSegment& s, const PlanSegment& p);
  void FillMoveItem(WORD code, bool last, const PlanSegment& s, const PlanSegment& p, bool gForm, double vc,
                    bool lengthKnown);
  void AddArc(bool last, const PlanSegment& s, const PlanSegment& p, double vn);
  void LogItem(WORD code, const PlanSegment& s, DWORD length, const long long* values);
  // Instructions wait after segment `segment` (or before it).
  bool HeldAfter(int segment) const;
  long Steps(int axis, double mm) const;

  // ---- timing.cpp
  void ComputeTiming();
  void AppendTrace(const CString& rows);
  void LogReview() const;

  // ---- configuration of the job
  JobRecord m_job;             // copy of the job
  DeviceParams m_device;       // copy of the device record
  PlannerSettings m_settings;  // the settings with the job's overrides
  IPlanObserver* m_pObserver = nullptr;
  ITickSource* m_pTicks = nullptr;
  double m_dEps = 1e-7;                     // epsilon of every comparison (mm, mm/s)
  double m_adStepsPerMm[3] = {40, 40, 40};  // axis resolution / 25.4
  int m_nRotaryAxis = -1;                   // 0 X, 1 Y: the axis scaled for roll engraving; -1 none
  double m_dRotaryScale = 1.0;              // factor of the rotary axis' coordinates
  BOOL m_bArcSupport = FALSE;               // the device takes arcs (off for roll engraving)
  double m_dParkingLift_mm = 50.0;
  BOOL m_bForce2D = FALSE;
  bool m_bLogOutput = false, m_bLogFitting = false, m_bLogReview = false;  // log switches, read per job

  // ---- current tool and instructions
  int m_nCurrentTool = 1;
  double m_dTraverse_mm_s = 0, m_dFeed_mm_s = 0, m_dPlunge_mm_s = 0, m_dStart_mm_s = 0, m_dAccel_mm_s2 = 0;
  double m_dSpindle_rpm = 0;
  int m_anToolSlots[kToolSlots] = {};  // "@T" slot -> tool number
  BOOL m_bZZGuard = FALSE;             // a DT_ZZ 0 was sent at the start: ZZ 0 and 1 are not repeated
  long m_nZWValue = -1;                // "ZW" of an instruction text, sent by the start commands; -1 none
  double m_dFeedOverride = kUnset;     // "F" tag (mm/s)

  // ---- intake and run state
  bool m_bLiftPending = true;   // the tool lift is still due
  bool m_bFirstMove = true;     // moves keep the safe Z until one moves Z
  bool m_bBeforeRange = false;  // records before the first tag of the range
  double m_dSafeZ_mm = 50.0;    // the lift height, fixed when the first move comes
  int m_nRangeStart = 0, m_nRangeEnd = 0;
  int m_nCurrentTag = 0;
  int m_nPrevMoveCode = -1;
  WORD m_nRunGType = kGRapid;            // code of the last accepted move
  BYTE m_nRunAxes = 0;                   // union of the run's axis bits
  WORD m_nPlane = 0;                     // 0 XY, 4 XZ, 8 YZ
  Vec3 m_vPosition;                      // end of the last accepted move (mm, unscaled)
  std::vector<PlanSegment> m_aSegments;  // the run; the first is its starting point
  std::vector<HeldRecord> m_aHeld;       // instructions met inside the run, in order
  size_t m_nHeldSent = 0;                // how many of m_aHeld went out while packing

  // ---- planning and packing
  CRampTable m_ramp;
  CCommandWriter m_out;
  bool m_bGFormRun = false;          // the run being planned goes out in the G form
  DWORD m_nLastTagMark = 0;          // the last DT_DH value written
  WORD m_nLastLoggedGType = 0xFFFF;  // the "output" log's blank line between G types

  // ---- timing, guarded by m_timingLock where noted
  CCriticalSection m_timingLock;
  std::vector<double> m_adPlannedTag_s;  // planned seconds per tag (processing thread writes)
  std::vector<DWORD> m_anActualTag_ms;   // measured ms per tag (UI thread writes)
  double m_dRunningTagTime_s = 0;        // lock: planned seconds of the current tag so far
  double m_dCumTime_s = 0;               // planned seconds of the job so far
  double m_dCumDistance_mm = 0;          // planned millimetres of the job so far
  int m_nTraceLine = 0;                  // segments timed since BeginJob
  DWORD m_dwTagTimer = 0;                // start tick of the running tag; 0 stopped
  DWORD m_dwTagElapsed_ms = 0;           // time of the current tag while the timer stood
  double m_dActualTotal_s = 0;           // lock: seconds of the finished tags
  double m_dPlannedTotal_s = 0;          // lock: planned seconds of the finished tags
};
