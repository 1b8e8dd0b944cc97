// Mardrive.exe as a process, driven from the operator side with the job manager's own
// code over the real job channel: the command-line table, a job file that cannot be
// read, attaching over UDP to the test controller (header fields and "ATTACHED"), a
// silent controller, and the effect of the commands; attaching to the simulator, and a
// whole job exported through the file link.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "device/links/tests/udp_test_support.h"
#include "engine/planner/command_codes.h"
#include "engine/planner/testing/command_stream.h"
#include "engine/planner/testing/frame_recorder.h"
#include "engine/planner/testing/job_driver.h"
#include "engine/protocol/reply_line.h"
#include "foundation/job_channel.h"
#include "foundation/settings.h"
#include "engine/runtime/job_setup.h"
#include "engine/runtime/tests/sample_job.h"
#include "jobs/job_files.h"
#include "jobs/job_name.h"
#include "jobs/process_check.h"
#include "jobs/structs_file.h"
#include "jobs/table/job_manager.h"
#include "platform/bytes.h"
#include "platform/testing/test_support.h"

// After the platform's own Windows header.
#include <tlhelp32.h>

namespace {

constexpr DWORD kExitWait_ms = 20000;

class EngineProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_saved = g_strAppFolder;
    g_strAppFolder = m_dir.Path();
    // The build names the program by its Unix path; Wine maps "/" to drive Z:.
    ASSERT_TRUE(::CopyFileA("Z:" MARDRIVE_EXE, m_dir / "Mardrive.EXE", FALSE));
    CreateFolderPath(m_dir / "Jobs\\");
    // The shortest attach time-out keeps the silent-controller case short.
    PutParamValue("Communication", "LinkTimeout(ms)", "5000");
    g_nUiLanguage = 1;
  }
  void TearDown() override {
    for (int i = 0; i < CJobManager::GetJobCount(); ++i) {
      JobRecord job;
      CJobManager::GetJobByIndex(i, &job);
      CJobManager::SendDetach(job.JobName);
    }
    WaitNoEngine(10000);
    CJobManager::CloseChannels("");
    udp_test::Control("SILENT 0");
    udp_test::Control("PFAULTS");
    udp_test::Control("FAULTS");
    udp_test::Control("RECORD");
    udp_test::Control("FORGET");
    g_strAppFolder = m_saved;
  }

  // A job written with the job files' own code and taken into the table by the scan.
  void AddJob(const char* name, const char* connection) {
    JobRecord job;
    SetRecordText(job.JobName, name);
    SetRecordText(job.Connection, connection);
    job.TotalTags = 1;
    job.CopiesX = job.CopiesY = job.CopiesZ = 1;
    job.FormatStamp = kJobFormatStamp;
    CreateFolderPath(JobFolderPath(name));
    ASSERT_TRUE(WriteJobInfoFile(JobFilePath(name, ".jobinfo"), job));
    CJobManager::ScanJobsFolder();
    ASSERT_TRUE(CJobManager::JobExists(name));
  }

  // A job of six tags on the plain router, with its path records and the device file,
  // taken into the table.
  void AddRunnableJob(const char* name, const char* connection, const std::function<void(JobRecord&)>& edit = nullptr,
                      size_t structsBytes = 0) {
    DeviceParams device = planner_testing::PlainDevice();
    CreateFolderPath(m_dir / "Devices\\");
    ASSERT_TRUE(device.Save());
    JobRecord job = planner_testing::PlainJob(6);
    SetRecordText(job.JobName, name);
    SetRecordText(job.Connection, connection);
    SetRecordText(job.DeviceName, device.m_szName);
    job.CopiesX = job.CopiesY = job.CopiesZ = 1;
    job.FormatStamp = kJobFormatStamp;
    job.MaterialHeight = 10;
    job.FeedMin = Vec3(0, 0, -1);
    job.FeedMax = Vec3(59, 2, 5);
    if (edit) edit(job);
    CreateFolderPath(JobFolderPath(name));
    ASSERT_TRUE(WriteJobInfoFile(JobFilePath(name, ".jobinfo"), job));
    RecordList source(SixTagJob());
    CString structs = JobFilePath(name, ".structs");
    ASSERT_TRUE(WriteStructsFile(structs, source, nullptr));
    if (structsBytes) {  // cut short
      std::string bytes = testing_support::ReadFileBytes(structs);
      bytes.resize(structsBytes);
      testing_support::WriteFileBytes(structs, bytes);
    }
    CJobManager::ScanJobsFolder();
    ASSERT_TRUE(CJobManager::JobExists(name));
  }

  class RecordList : public CPathRecordSource {
   public:
    explicit RecordList(std::vector<PathRecord> records) : m_records(std::move(records)) {}
    int GetRecordCount() override { return (int)m_records.size(); }
    BOOL GetRecord(int index, PathRecord& record) override {
      if (index < 0 || index >= (int)m_records.size()) return FALSE;
      record = m_records[(size_t)index];
      return TRUE;
    }

   private:
    std::vector<PathRecord> m_records;
  };

  CString NetConnection() const {
    CString c;
    c.Format("NET:ctl:127.0.0.1:%u", udp_test::PeerPort());
    return c;
  }

  // Runs supervision passes until the job's state is `state`, or one of the states
  // separated by "|".
  bool WaitState(const char* name, const char* state, DWORD ms) {
    CString states = CString("|") + state + "|";
    for (DWORD t = 0; t < ms; t += 50) {
      CJobManager::MonitorJobs();
      if (states.Find("|" + CJobManager::GetJobState(name) + "|") >= 0) return true;
      ::Sleep(50);
    }
    return false;
  }

  bool WaitNoEngine(DWORD ms) {
    for (DWORD t = 0; t < ms; t += 50) {
      CJobManager::MonitorJobs();
      if (CJobManager::NoEngineRunning()) return true;
      ::Sleep(50);
    }
    return false;
  }

  // Starts Mardrive.exe with the argument text; returns its exit code, or -1 when it
  // did not end in time (it is then ended).
  int RunEngine(const std::string& args, DWORD* pid = nullptr) {
    std::string line = std::string(m_dir / "Mardrive.EXE") + " " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string buffer = line;
    if (!::CreateProcessA(nullptr, &buffer[0], nullptr, nullptr, FALSE, 0, nullptr, m_dir.Path(), &si, &pi)) return -2;
    ::CloseHandle(pi.hThread);
    if (pid) *pid = pi.dwProcessId;
    DWORD code = (DWORD)-1;
    if (::WaitForSingleObject(pi.hProcess, kExitWait_ms) == WAIT_OBJECT_0)
      ::GetExitCodeProcess(pi.hProcess, &code);
    else
      ::TerminateProcess(pi.hProcess, 1);
    ::CloseHandle(pi.hProcess);
    return (int)code;
  }

  ChannelHeader Header(const char* name) {
    CJobChannel rx;
    ChannelHeader h = {};
    if (rx.Open(CString("PanelRx_") + name, kJobChannelSlots)) rx.ReadHeader(&h);
    return h;
  }

  // Every log the engine wrote, for failure messages.
  std::string Logs() {
    std::string out;
    CFileFind find;
    for (BOOL more = find.FindFile(m_dir / "*.log"); more;) {
      more = find.FindNextFile();
      out += "--- " + std::string((const char*)find.GetFileName()) + "\n" +
             testing_support::ReadFileBytes(find.GetFilePath());
    }
    return out;
  }

  // The command stream the planner writes for the job to a file target, as the file
  // link writes it (no tag marks), one item a line. Fed as the engine's processing
  // thread feeds it: the header's instructions once, then copy by copy the start
  // commands and every record moved by the copy's offset; the last record of a copy is
  // not fed again after the next copy's start commands.
  std::vector<std::string> PlannedStream(JobRecord job) {
    using namespace planner_testing;
    std::vector<Vec3> offsets;
    PrepareCopies(job, offsets);
    job.TotalTags *= (int32_t)offsets.size();
    RecordTransform how;
    how.nOrientation = job.Orientation;
    how.bFlipZ = job.FlipZ;
    SetupOrientation(job, how.transform);
    CFrameRecorder expected;
    expected.m_strVersion = "VER5300";
    expected.m_bFileTarget = TRUE;
    {
      CPathProcessor processor;
      EXPECT_TRUE(
          StartJob(processor, &expected, job, PlainDevice(), PlainSettings(), job.TagRangeStart, job.TagRangeEnd));
      processor.AddCommand(DT_IN, kInValue);
      processor.ParseInstructionString(PlainDevice().m_szInitialString);
      bool ended = false;  // a single copy ends with its tag range
      for (size_t copy = 0; copy < offsets.size() && !ended; ++copy) {
        how.copyOffset = offsets[copy];
        processor.AddStartCommands();
        int plane = 0;
        for (PathRecord record : SixTagJob()) {
          PathRecordData data = record.Data();
          PrepareJobRecord(data, plane, how);
          record.SetData(data);
          if (processor.ProcessRecord(&record) < 0 && offsets.size() == 1) {
            processor.FlushSegments();
            processor.SetAllTagsDone();
            processor.ProcessRecord(nullptr);
            ended = true;
            break;
          }
        }
        if (!ended) processor.FlushSegments();
      }
      if (!ended) processor.ProcessRecord(nullptr);
    }
    std::vector<StreamItem> sent;
    std::string error;
    EXPECT_TRUE(DecodeFrames(expected.FrameData(), sent, error)) << error;
    std::vector<std::string> items;
    for (const StreamItem& i : sent)
      if (i.kind != ItemKind::kCommand || i.code != DT_DH) items.push_back(Describe(i));
    return items;
  }

  std::vector<std::string> ExportedStream(const char* path) {
    using namespace planner_testing;
    std::vector<StreamItem> exported;
    std::string error;
    std::string file = testing_support::ReadFileBytes(path);
    EXPECT_TRUE(DecodeFrames({std::vector<BYTE>(file.begin(), file.end())}, exported, error)) << error;
    std::vector<std::string> items;
    for (const StreamItem& i : exported) items.push_back(Describe(i));
    return items;
  }

  // The engine this test started (the one Mardrive.EXE whose parent we are); 0 when none.
  static DWORD EngineProcessId() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = ::Process32First(snapshot, &entry); more && !found; more = ::Process32Next(snapshot, &entry))
      if (entry.th32ParentProcessID == ::GetCurrentProcessId() && _stricmp(entry.szExeFile, "Mardrive.EXE") == 0)
        found = entry.th32ProcessID;
    ::CloseHandle(snapshot);
    return found;
  }

  // The test controllers have their origin at Z 0: the job's extent keeps above it.
  static void OnTheTestController(JobRecord& job) { job.FeedMin.z = 0; }

  // Attaches the job's engine to the UDP test controller (it answers as the first LAN
  // controllers did, every frame with a plain F0).
  void AttachOverUdp(const char* name) {
    ASSERT_TRUE(CJobManager::StartEngine(name, ""));
    for (int i = 0; i < 200 && udp_test::Stat("connected") != 1; ++i) ::Sleep(50);
    ASSERT_EQ(1, udp_test::Stat("connected"));
    ASSERT_TRUE(WaitState(name, "ATTACHED", 10000)) << Header(name).szMessage;  // it answers the queries
  }

  void Reply(const std::string& text) { Reply(text.c_str()); }
  void Reply(const char* text) { udp_test::Control(std::string("REPLY ") + (const char*)MakeReplyLine(text)); }

  testing_support::TempDir m_dir;
  CString m_saved;
};

TEST_F(EngineProcessTest, CommandLinesThatEndTheEngine) {
  std::string pid = std::to_string(::GetCurrentProcessId());
  AddJob("JobA", "COM1:9600");
  struct {
    std::string args;
    const char* what;
  } cases[] = {
      {"1|JobA", "no parent field: no channel, no job"},
      {"1|..|" + pid, "a name that leaves the Jobs folder"},
      {"1|..\\Jobs\\JobA|" + pid, "a path for a name"},
      {"1|NUL|" + pid, "a device name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(0, RunEngine(c.args));
    EXPECT_STREQ("READY", CJobManager::GetJobState("JobA"));  // nothing touched JobA's channel
  }
  EXPECT_TRUE(testing_support::FileExists(JobFilePath("JobA", ".jobinfo")));
}

// The operator program has gone (its process id names a process that has ended): the
// engine closes its link ("READY"), logs "Corvane is not running" and ends by itself.
TEST_F(EngineProcessTest, EngineEndsWhenTheOperatorProgramHasGone) {
  PutParamValue("System", "LogFile", "enable");
  PutParamValue("System", "LogList", "frames");
  AddRunnableJob("Orphan", "SIMU:");
  DWORD gone = 0;
  ASSERT_EQ(0, RunEngine("1|NoSuchJob", &gone));  // ends at once: no channel
  EXPECT_EQ(0, RunEngine("1|Orphan|" + std::to_string(gone)));
  EXPECT_STREQ("READY", CJobManager::GetJobState("Orphan"));
  EXPECT_NE(std::string::npos, Logs().find("Corvane is not running")) << Logs();
}

TEST_F(EngineProcessTest, JobFileThatCannotBeRead) {
  CJobChannel tx, rx;  // the rings exist, the job folder does not
  ASSERT_TRUE(tx.Open("PanelTx_Ghost", kJobChannelSlots));
  ASSERT_TRUE(rx.Open("PanelRx_Ghost", kJobChannelSlots));
  EXPECT_EQ(0, RunEngine("1|Ghost|" + std::to_string(::GetCurrentProcessId())));
  EXPECT_STREQ("Failed to open job file", rx.GetMessageText());
  EXPECT_STREQ("READY", rx.GetState());
}

TEST_F(EngineProcessTest, AttachesOverUdpAndObeysItsChannel) {
  AddJob("NetJob", NetConnection());
  ASSERT_TRUE(CJobManager::StartEngine("NetJob", ""));
  ASSERT_TRUE(CJobManager::StartEngine("NetJob", ""));  // already running: nothing more
  ASSERT_TRUE(WaitState("NetJob", "ATTACHING", 10000));
  for (int i = 0; i < 200 && udp_test::Stat("connected") != 1; ++i) ::Sleep(50);
  ASSERT_EQ(1, udp_test::Stat("connected"));
  // The controller answers the engine's queries.
  ASSERT_TRUE(WaitState("NetJob", "ATTACHED", 10000));
  ChannelHeader h = Header("NetJob");
  EXPECT_STREQ("TestCarver", h.szReplyT);
  EXPECT_STREQ("ONLINE", h.szRunMode);
  EXPECT_STREQ("VER5300", h.szReplyV);
  // No device record: positions stay in controller steps.
  EXPECT_DOUBLE_EQ(100000, h.dPosW[0]);
  // Lines the controller sends by itself go into the header as well.
  for (const char* line : {"TREADY", "WX4000Y3000Z1000", "OX100Y200Z300"}) Reply(line);
  for (int i = 0; i < 100 && Header("NetJob").dPosO[2] != 300; ++i) ::Sleep(50);
  h = Header("NetJob");
  EXPECT_STREQ("READY", h.szReplyT);
  EXPECT_DOUBLE_EQ(4000, h.dPosW[0]);
  EXPECT_DOUBLE_EQ(300, h.dPosO[2]);

  // A stop to an idle engine does nothing (it is not a start).
  EXPECT_FALSE(CJobManager::StopJob("NetJob"));  // the job manager does not send it
  BYTE stop[5] = {kMsgStop, 0, 1, 0, 0};
  JobRecord job;
  ASSERT_TRUE(CJobManager::GetJob("NetJob", &job));
  CJobChannel tx;
  ASSERT_TRUE(tx.Open("PanelTx_NetJob", kJobChannelSlots));
  ASSERT_EQ(5u, tx.PushMessage(stop, 5));
  ::Sleep(500);
  EXPECT_STREQ("ATTACHED", CJobManager::GetJobState("NetJob"));

  // Language 0, then start: the job has no path records, so the start fails in Chinese
  // and the engine is ended; the state stays "ERROR" for the operator.
  ASSERT_TRUE(CJobManager::StartJob("NetJob", 0, 0, 0));
  ASSERT_TRUE(WaitState("NetJob", "ERROR", 10000));
  EXPECT_STREQ("\xc3\xbb\xd3\xd0\xb5\xbc\xc8\xeb\xca\xfd\xbe\xdd", Header("NetJob").szMessage);  // "没有导入数据"
  EXPECT_TRUE(WaitNoEngine(10000));
  EXPECT_STREQ("ERROR", CJobManager::GetJobState("NetJob"));
}

// The supervision pass on the operator side: controller lines beginning with 'B' go to
// the engine-line window, cut to what a ring slot carries; other messages are taken and
// dropped (a progress message whose first byte is 'B' among them). Header texts are cut
// to their 16-byte slots. An engine that is killed leaves its job "READY".
TEST_F(EngineProcessTest, SupervisionForwardsBLinesAndNoticesAKilledEngine) {
  AddJob("Watched", NetConnection());
  JobRecord job;
  ASSERT_TRUE(CJobManager::GetJob("Watched", &job));
  job.TotalTags = 100;
  ASSERT_TRUE(WriteJobInfoFile(JobFilePath("Watched", ".jobinfo"), job));
  AttachOverUdp("Watched");
  udp_test::TestWindow window;
  std::vector<std::string> forwarded;
  window.onAppMessage = [&](UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kEngineLineMessage) return;
    EXPECT_EQ(1u, wParam);
    forwarded.push_back((const char*)lParam);
    delete[](char*) lParam;
  };
  CJobManager::SetEngineLineWindow(window.Handle());
  // Everything the passes take, whatever they do with it.
  std::vector<std::string> taken;
  CJobManager::SetEngineMessageObserver(
      [](int, const BYTE* message, UINT length, void* context) {
        std::string seen = std::to_string(bytes::Load16(message)) + ":";
        if (bytes::Load16(message) == kMsgProgress && length >= 12)
          seen += std::to_string(bytes::Load32(message + 4));
        else if (length > 4)
          seen += std::string((const char*)message + 4, 1);
        static_cast<std::vector<std::string>*>(context)->push_back(seen);
      },
      &taken);
  Reply("T" + std::string(40, 't'));
  Reply("G66");   // message 21 of tag 66: its first payload byte is 'B'
  Reply("G101");  // not a tag of this job
  Reply("EError line");
  Reply("b" + std::string(299, 'x'));
  Reply("BLast");
  window.PumpUntil(
      10000, [&] { return forwarded.size() >= 2; }, [] { CJobManager::MonitorJobs(); }, 50);
  window.PumpFor(300, [] { CJobManager::MonitorJobs(); });
  CJobManager::SetEngineLineWindow(nullptr);
  CJobManager::SetEngineMessageObserver(nullptr, nullptr);
  std::vector<std::string> wanted = {"21:66", "20:E", "20:b", "20:B"}, got;
  for (const std::string& seen : taken)
    if (std::find(wanted.begin(), wanted.end(), seen) != wanted.end()) got.push_back(seen);
  EXPECT_EQ(wanted, got);
  ASSERT_EQ(2u, forwarded.size());
  EXPECT_EQ("b" + std::string(kChannelMaxPayload - 2, 'x'), forwarded[0]);
  EXPECT_EQ("BLast", forwarded[1]);
  ChannelHeader h = Header("Watched");
  EXPECT_EQ(std::string(15, 't'), h.szReplyT);
  EXPECT_STREQ("66", h.szReplyG);

  DWORD pid = EngineProcessId();
  ASSERT_NE(0u, pid);
  HANDLE engine = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  ASSERT_NE(nullptr, engine);
  ::TerminateProcess(engine, 9);
  ::WaitForSingleObject(engine, 5000);
  ::CloseHandle(engine);
  EXPECT_TRUE(WaitState("Watched", "READY", 5000));
  EXPECT_TRUE(CJobManager::NoEngineRunning());
}

// A stop while the processing thread still feeds the queue (the controller has gone
// quiet, so the queue stays full): the engine stops the thread and waits for it before
// it empties the queues, sends the device's stop command three times and says
// "ABORTED"; it stays attached and can be detached. An output command that comes while
// the thread runs goes out as well.
TEST_F(EngineProcessTest, StopMidJob) {
  AddRunnableJob("Stopped", NetConnection(), [](JobRecord& job) {
    OnTheTestController(job);
    job.CopiesX = 20;
    job.CopyOffsetX = 70;
  });
  AttachOverUdp("Stopped");
  // Quiet after the start's query frame, the job header and a few data frames.
  udp_test::Control("PFAULTS silence=100000@" + std::to_string(udp_test::Stat("packs_taken") + 6));
  ASSERT_TRUE(CJobManager::StartJob("Stopped", 1, 0, 0));
  ASSERT_TRUE(WaitState("Stopped", "TRANSMITTING|TRANSMITTED", 10000)) << Header("Stopped").szMessage;
  ::Sleep(500);
  ASSERT_GT(udp_test::Stat("silenced"), 0) << "the controller never went quiet";
  int commandFrames = udp_test::Stat("command_frames");
  // The spindle switched off while the thread owns the planner: the thread takes it.
  ASSERT_TRUE(CJobManager::SendParamD("Stopped", 9, 5));
  ::Sleep(300);
  ASSERT_TRUE(CJobManager::StopJob("Stopped"));
  ASSERT_TRUE(WaitState("Stopped", "ABORTED", 10000)) << Header("Stopped").szMessage;
  udp_test::Control("PFAULTS");
  for (int i = 0; i < 200 && udp_test::Stat("command_frames") < commandFrames + 4; ++i) ::Sleep(50);
  ::Sleep(500);
  EXPECT_EQ(commandFrames + 4, udp_test::Stat("command_frames")) << Logs();  // M5, then three stops
  EXPECT_STREQ("ABORTED", CJobManager::GetJobState("Stopped"));
  EXPECT_FALSE(CJobManager::NoEngineRunning());
  EXPECT_TRUE(CJobManager::SendDetach("Stopped"));
  EXPECT_TRUE(WaitNoEngine(10000));
}

// A stop while the link streams at full speed (the controller answers every frame at
// once) is obeyed mid-job: the stream of link notifications must not hold the command
// poll back until the whole job has gone out.
TEST_F(EngineProcessTest, StopWhileTheLinkStreams) {
  constexpr int kCopies = 200;
  AddRunnableJob("Streaming", NetConnection(), [](JobRecord& job) {
    OnTheTestController(job);
    job.CopiesX = 20;
    job.CopyOffsetX = 70;
    job.CopiesY = kCopies / 20;
    job.CopyOffsetY = 10;
  });
  AttachOverUdp("Streaming");
  ASSERT_TRUE(CJobManager::StartJob("Streaming", 1, 0, 0));
  ASSERT_TRUE(WaitState("Streaming", "TRANSMITTING|TRANSMITTED", 10000)) << Header("Streaming").szMessage;
  int taken = udp_test::Stat("packs_taken");
  for (int i = 0; i < 200 && udp_test::Stat("packs_taken") < taken + 20; ++i) ::Sleep(10);
  ASSERT_GE(udp_test::Stat("packs_taken"), taken + 20) << "the job does not stream";
  ASSERT_TRUE(CJobManager::StopJob("Streaming"));
  ASSERT_TRUE(WaitState("Streaming", "ABORTED", 10000)) << Header("Streaming").szMessage;
  // Two tag marks a tag: a job stopped early leaves most of its tags unsent.
  EXPECT_LT(udp_test::Stat("tags"), 6 * kCopies) << Logs();
  // The controller's tag lines trail the stream, one a round trip: they are taken before
  // the engine goes, or the controller would offer them to the next test's engine.
  for (int i = 0; i < 500 && udp_test::Stat("replies_pending") > 0; ++i) ::Sleep(20);
  EXPECT_EQ(0, udp_test::Stat("replies_pending"));
  EXPECT_TRUE(CJobManager::SendDetach("Streaming"));
  EXPECT_TRUE(WaitNoEngine(10000));
}

// The commands that reach the controller as command frames of their own, and those the
// engine refuses or only logs.
TEST_F(EngineProcessTest, CommandFramesOfTheCommands) {
  AddJob("Cmds", NetConnection());
  AttachOverUdp("Cmds");
  CJobChannel tx;
  ASSERT_TRUE(tx.Open("PanelTx_Cmds", kJobChannelSlots));
  auto message = [](WORD type, const std::vector<BYTE>& payload) {
    std::vector<BYTE> m(4 + payload.size());
    bytes::Store16(m.data(), type);
    bytes::Store16(m.data() + 2, (WORD)payload.size());
    for (size_t i = 0; i < payload.size(); ++i) m[4 + i] = payload[i];
    return m;
  };
  auto rom = [&](WORD announced, size_t carried) {
    std::vector<BYTE> payload = {0x21, 0, (BYTE)announced, (BYTE)(announced >> 8)};
    payload.resize(4 + carried, 0x5A);
    return message(kMsgRomParams, payload);
  };
  auto text = [&](const char* t) { return message(kMsgMachineOutputs, std::vector<BYTE>(t, t + strlen(t) + 1)); };
  struct {
    const char* what;
    std::vector<BYTE> bytes;
    int frames;
  } cases[] = {
      {"Z adjust", message(kMsgZAdjust, {40, 0}), 1},
      {"ROM parameters", rom(10, 10), 1},
      {"ROM length past the bytes carried", rom(11, 10), 0},
      {"ROM parameters past a frame", rom(200, 200), 0},
      {"spindle speed", text("48,12000"), 1},
      {"M code", text("9,8"), 1},
      {"output without a value", text("48"), 0},
      {"output code of no meaning here", text("7,1"), 0},
      {"type 14", message(14, {}), 0},
      {"pause", message(kMsgPause, {0}), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    int before = udp_test::Stat("command_frames");
    ASSERT_EQ(c.bytes.size(), tx.PushMessage(c.bytes.data(), (UINT)c.bytes.size()));
    for (int i = 0; i < 40 && udp_test::Stat("command_frames") < before + c.frames; ++i) ::Sleep(50);
    ::Sleep(200);
    EXPECT_EQ(before + c.frames, udp_test::Stat("command_frames"));
  }
  EXPECT_STREQ("ATTACHED", CJobManager::GetJobState("Cmds"));
}

// Two starts at once: the second comes while the first still probes the device (its
// answers come late) and is ignored: one job header reaches the controller, and the
// job finishes.
TEST_F(EngineProcessTest, SecondStartDuringTheProbeIsIgnored) {
  const char* peerDir = std::getenv("CORVANE_PEER_DIR");
  ASSERT_NE(nullptr, peerDir);
  std::string record = std::string(peerDir) + "/twice.rec";
  AddRunnableJob("Twice", NetConnection(), OnTheTestController);
  AttachOverUdp("Twice");
  udp_test::Control("RECORD " + record);
  udp_test::Control("FAULTS delay=1 delay_ms=300");
  ASSERT_TRUE(CJobManager::StartJob("Twice", 1, 0, 0));
  ASSERT_TRUE(CJobManager::StartJob("Twice", 1, 0, 0));  // still "ATTACHED": it goes too
  ASSERT_TRUE(WaitState("Twice", "TRANSMITTING|TRANSMITTED", 15000)) << Header("Twice").szMessage;
  udp_test::Control("FAULTS");
  ASSERT_TRUE(WaitState("Twice", "FINISHED", 30000)) << Header("Twice").szMessage << Logs();
  udp_test::Control("RECORD");
  CString path = CString("Z:") + record.c_str();
  path.Replace('/', '\\');
  std::string bytes = testing_support::ReadFileBytes(path);
  std::vector<planner_testing::StreamItem> items;
  std::string error;
  ASSERT_TRUE(planner_testing::DecodeFrames({std::vector<BYTE>(bytes.begin(), bytes.end())}, items, error)) << error;
  int headers = 0;
  for (const auto& item : items) headers += item.kind == planner_testing::ItemKind::kHeader ? 1 : 0;
  EXPECT_EQ(1, headers);
}

TEST_F(EngineProcessTest, DetachClosesTheLinkAndEndsTheEngine) {
  AddJob("Detached", NetConnection());
  ASSERT_TRUE(CJobManager::StartEngine("Detached", ""));
  for (int i = 0; i < 200 && udp_test::Stat("connected") != 1; ++i) ::Sleep(50);
  ::Sleep(300);
  for (const char* line : {"TREADY", "SONLINE", "WX1Y1Z1", "OX0Y0Z0"}) Reply(line);
  ASSERT_TRUE(WaitState("Detached", "ATTACHED", 10000));
  EXPECT_TRUE(CJobManager::SendDetach("Detached"));
  EXPECT_TRUE(WaitNoEngine(10000));
  EXPECT_STREQ("READY", CJobManager::GetJobState("Detached"));
}

TEST_F(EngineProcessTest, SilentControllerGivesErrorAndTheEngineEnds) {
  udp_test::Control("SILENT 1");
  AddJob("Silent", NetConnection());
  ASSERT_TRUE(CJobManager::StartEngine("Silent", ""));
  ASSERT_TRUE(WaitState("Silent", "ERROR", 15000));
  EXPECT_STREQ("Device is not opened", Header("Silent").szMessage);
  EXPECT_TRUE(WaitNoEngine(10000));
}

TEST_F(EngineProcessTest, LinkThatCannotBeOpened) {
  AddJob("NoPort", "COM77:9600");
  ASSERT_TRUE(CJobManager::StartEngine("NoPort", ""));
  ASSERT_TRUE(WaitState("NoPort", "ERROR", 10000));
  EXPECT_STREQ("Device can't be opened:COM77:9600", Header("NoPort").szMessage);
  EXPECT_TRUE(WaitNoEngine(10000));
}

// Over a COM port: the serial test controller on a pty pair, which the runner maps as a
// COM port of the prefix and names; it answers the engine's queries itself. (Run by the
// serial runner only; see the CMake file.)
TEST_F(EngineProcessTest, SerialAttachesOverAComPort) {
  const char* port = std::getenv("CORVANE_SERIAL_PORT");
  ASSERT_NE(nullptr, port) << "needs the serial test controller beside it";
  AddJob("ComJob", CString(port) + ":115200");
  ASSERT_TRUE(CJobManager::StartEngine("ComJob", ""));
  ASSERT_TRUE(WaitState("ComJob", "ATTACHED", 15000)) << Header("ComJob").szMessage << Logs();
  ChannelHeader h = Header("ComJob");
  EXPECT_STREQ("TestCarver", h.szReplyT);
  EXPECT_STREQ("ONLINE", h.szRunMode);
  EXPECT_STREQ("VER5300", h.szReplyV);
  EXPECT_STREQ("", h.szMessage);
  // No device record: positions stay in controller steps.
  EXPECT_DOUBLE_EQ(100000, h.dPosW[0]);
  EXPECT_DOUBLE_EQ(48000, h.dPosW[1]);
  EXPECT_DOUBLE_EQ(6400, h.dPosW[2]);
  EXPECT_DOUBLE_EQ(0, h.dPosO[0]);
  EXPECT_GE(udp_test::Stat("queries"), 5);
  EXPECT_TRUE(CJobManager::SendDetach("ComJob"));
  EXPECT_TRUE(WaitNoEngine(10000));
  EXPECT_STREQ("READY", CJobManager::GetJobState("ComJob"));
}

// The simulator answers the start queries from the job's device record: its name, and
// a work area of its dimensions with the origin at the X/Y corner and half way up Z.
TEST_F(EngineProcessTest, AttachesToTheSimulator) {
  AddRunnableJob("SimJob", "SIMU:");
  ASSERT_TRUE(CJobManager::StartEngine("SimJob", ""));
  ASSERT_TRUE(WaitState("SimJob", "ATTACHED", 15000));
  ChannelHeader h = Header("SimJob");
  EXPECT_STREQ("Router", h.szReplyT);
  EXPECT_STREQ("ONLINE", h.szRunMode);
  EXPECT_STREQ("VER5300", h.szReplyV);
  EXPECT_DOUBLE_EQ(1200, h.dPosW[0]);
  EXPECT_DOUBLE_EQ(1200, h.dPosW[1]);
  EXPECT_DOUBLE_EQ(100, h.dPosW[2]);
  EXPECT_DOUBLE_EQ(0, h.dPosO[0]);
  EXPECT_DOUBLE_EQ(50, h.dPosO[2]);
  EXPECT_TRUE(CJobManager::SendDetach("SimJob"));
  EXPECT_TRUE(WaitNoEngine(10000));
}

// An export: the engine started with a target file attaches to it, runs the job and,
// as an export quits by itself, ends; the file holds the command stream the path
// processor writes for the job to a file target, less the tag marks.
TEST_F(EngineProcessTest, ExportsTheJobToAFile) {
  AddRunnableJob("Export", "SIMU:");
  CString target = m_dir / "export.cf";
  ASSERT_TRUE(CJobManager::StartEngine("Export", target));
  ASSERT_TRUE(WaitState("Export", "ATTACHED", 15000));
  ASSERT_TRUE(CJobManager::StartJob("Export", 1, 0, 0));
  ASSERT_TRUE(WaitNoEngine(60000)) << Logs();
  EXPECT_STREQ("READY", CJobManager::GetJobState("Export"));
  EXPECT_STREQ("", Header("Export").szMessage);

  JobRecord job;
  ASSERT_TRUE(CJobManager::GetJob("Export", &job));
  EXPECT_EQ(PlannedStream(job), ExportedStream(target)) << Logs();
}

// The operator's spindle speed and M codes (command 13) become the planner's state: the
// start commands of the job that follows repeat them instead of the job's own values,
// after the two commands themselves.
TEST_F(EngineProcessTest, OperatorOutputsCarryIntoTheJob) {
  AddRunnableJob("Outputs", "SIMU:");
  CString target = m_dir / "outputs.cf";
  ASSERT_TRUE(CJobManager::StartEngine("Outputs", target));
  ASSERT_TRUE(WaitState("Outputs", "ATTACHED", 15000));
  ASSERT_TRUE(CJobManager::SendParamU("Outputs", 48, 12000));
  ASSERT_TRUE(CJobManager::SendParamD("Outputs", 9, 8));  // coolant on
  ASSERT_TRUE(CJobManager::SendParamD("Outputs", 9, 6));  // no state of its own
  ::Sleep(500);                                           // the engine takes one command per 20 ms
  ASSERT_TRUE(CJobManager::StartJob("Outputs", 1, 0, 0));
  ASSERT_TRUE(WaitNoEngine(60000)) << Logs();

  JobRecord job;
  ASSERT_TRUE(CJobManager::GetJob("Outputs", &job));
  EXPECT_DOUBLE_EQ(12000, job.SpindleSpeed);  // the operator's record follows as well
  EXPECT_EQ(1, job.CoolantOn);
  std::vector<std::string> want = {"cmd 48=12000", "cmd 9=8", "cmd 9=6"};
  for (const std::string& item : PlannedStream(job)) want.push_back(item);
  EXPECT_EQ(want, ExportedStream(target)) << Logs();
}

// Exports of a job as the processing thread feeds it: two copies side by side (each
// copy's start commands, then its records from the first; the last record of the first
// copy is not replayed at the second's start), a tag range that ends before the records
// do, and copies that overlap (only a warning).
TEST_F(EngineProcessTest, ExportsCopiesAndTagRanges) {
  struct {
    const char* name;
    std::function<void(JobRecord&)> edit;
  } cases[] = {
      {"TwoCopies",
       [](JobRecord& job) {
         job.CopiesX = 2;
         job.CopyOffsetX = 80;
       }},
      {"TagsTwoToThree",
       [](JobRecord& job) {
         job.TagRangeStart = 2;
         job.TagRangeEnd = 3;
       }},
      // Copies closer than the job is wide: a warning, not an error; the job runs.
      {"CloseCopies",
       [](JobRecord& job) {
         job.CopiesY = 2;
         job.CopyOffsetY = 1;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AddRunnableJob(c.name, "SIMU:", c.edit);
    CString target = m_dir / (CString(c.name) + ".cf");
    ASSERT_TRUE(CJobManager::StartEngine(c.name, target));
    ASSERT_TRUE(WaitState(c.name, "ATTACHED", 15000));
    ASSERT_TRUE(CJobManager::StartJob(c.name, 1, 0, 0));
    ASSERT_TRUE(WaitNoEngine(60000)) << Logs();
    EXPECT_STREQ("READY", CJobManager::GetJobState(c.name)) << Header(c.name).szMessage;
    JobRecord job;
    ASSERT_TRUE(CJobManager::GetJob(c.name, &job));
    EXPECT_EQ(PlannedStream(job), ExportedStream(target)) << Logs();
  }
}

// The start's checks, each failing with its text: "ERROR", and the engine ends.
TEST_F(EngineProcessTest, StartFailures) {
  struct {
    const char* name;
    std::function<void(JobRecord&)> edit;
    size_t structsBytes;
    const char* message;
  } cases[] = {
      {"TagPastEnd", [](JobRecord& j) { j.TagRangeStart = 6; }, 0, "Available Number Start:[0-5]"},
      {"TagBelow", [](JobRecord& j) { j.TagRangeStart = -1; }, 0, "Available Number Start:[0-5]"},
      {"EndPastEnd", [](JobRecord& j) { j.TagRangeEnd = 6; }, 0, "Available Number End:[0-5]"},
      {"NoTags", [](JobRecord& j) { j.TotalTags = 0; }, 0, "No data imported"},
      {"ShortStructs", nullptr, kPathRecordSize - 1, "No data imported"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AddRunnableJob(c.name, "SIMU:", c.edit, c.structsBytes);
    ASSERT_TRUE(CJobManager::StartEngine(c.name, ""));
    ASSERT_TRUE(WaitState(c.name, "ATTACHED", 15000)) << Header(c.name).szMessage;
    ASSERT_TRUE(CJobManager::StartJob(c.name, 1, 0, 0));
    ASSERT_TRUE(WaitState(c.name, "ERROR", 10000)) << Header(c.name).szMessage;
    EXPECT_STREQ(c.message, Header(c.name).szMessage);
    EXPECT_TRUE(WaitNoEngine(10000));
    EXPECT_STREQ("ERROR", CJobManager::GetJobState(c.name));
  }
}

// Simulating with time: the simulator answers every tag mark at once, but the engine
// hands the tag progress on no faster than the planned tag times, so the job finishes
// no sooner than its projected run time. A second run is paced likewise: the first
// run's last tag does not finish it as soon as its frames are delivered.
TEST_F(EngineProcessTest, SimulationWithTimeTakesThePlannedTime) {
  AddRunnableJob("Paced", "SIMU:");
  ASSERT_TRUE(CJobManager::StartEngine("Paced", ""));
  ASSERT_TRUE(WaitState("Paced", "ATTACHED", 15000));
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    DWORD start_ms = ::GetTickCount();
    ASSERT_TRUE(CJobManager::StartJob("Paced", 1, 0, 1));
    ASSERT_TRUE(WaitState("Paced", "TRANSMITTING|TRANSMITTED", 10000));
    ASSERT_TRUE(WaitState("Paced", "FINISHED", 60000)) << Header("Paced").szMessage;
    DWORD took_ms = ::GetTickCount() - start_ms;
    ChannelHeader h = Header("Paced");
    EXPECT_GT(h.dProjectedTime, 1.0);
    // The second run has to show it was paced, not ended by the first run's last tag
    // as soon as its frames were out (well under a second).
    double floor_ms = h.dProjectedTime * 1000.0 * (run == 1 ? 1.0 : 0.9);
    EXPECT_GE(took_ms, (DWORD)floor_ms) << "projected " << h.dProjectedTime << " s";
    EXPECT_STREQ("6", h.szReplyG);
  }
  EXPECT_TRUE(CJobManager::SendDetach("Paced"));
  EXPECT_TRUE(WaitNoEngine(10000));
}

TEST_F(EngineProcessTest, ExportFileThatCannotBeCreated) {
  AddRunnableJob("NoFolder", "SIMU:");
  CString target = m_dir / "no such folder\\export.cf";
  ASSERT_TRUE(CJobManager::StartEngine("NoFolder", target));
  ASSERT_TRUE(WaitState("NoFolder", "ERROR", 10000));
  EXPECT_STREQ("Device can't be opened:FILE:" + target, Header("NoFolder").szMessage);
  EXPECT_TRUE(WaitNoEngine(10000));
}

}  // namespace
