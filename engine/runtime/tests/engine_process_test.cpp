// Mardrive.exe as a process, driven from the operator side with the job manager's own
// code over the real job channel: the command-line table, a job file that cannot be
// read, attaching over UDP to the test controller (header fields and "ATTACHED"), a
// silent controller, and the effect of the commands; attaching to the simulator, and a
// whole job exported through the file link.
#include <gtest/gtest.h>

#include <string>

#include "device/links/tests/udp_test_support.h"
#include "engine/planner/command_codes.h"
#include "engine/planner/testing/command_stream.h"
#include "engine/planner/testing/frame_recorder.h"
#include "engine/planner/testing/job_driver.h"
#include "engine/protocol/reply_line.h"
#include "foundation/job_channel.h"
#include "foundation/settings.h"
#include "engine/runtime/tests/sample_job.h"
#include "jobs/job_files.h"
#include "jobs/job_name.h"
#include "jobs/process_check.h"
#include "jobs/structs_file.h"
#include "jobs/table/job_manager.h"
#include "platform/bytes.h"
#include "platform/testing/test_support.h"

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
  void AddRunnableJob(const char* name, const char* connection) {
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
    CreateFolderPath(JobFolderPath(name));
    ASSERT_TRUE(WriteJobInfoFile(JobFilePath(name, ".jobinfo"), job));
    RecordList source(SixTagJob());
    ASSERT_TRUE(WriteStructsFile(JobFilePath(name, ".structs"), source, nullptr));
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

  // Runs supervision passes until the job's state is `state`.
  bool WaitState(const char* name, const char* state, DWORD ms) {
    for (DWORD t = 0; t < ms; t += 50) {
      CJobManager::MonitorJobs();
      if (CJobManager::GetJobState(name) == state) return true;
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
  int RunEngine(const std::string& args) {
    std::string line = std::string(m_dir / "Mardrive.EXE") + " " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string buffer = line;
    if (!::CreateProcessA(nullptr, &buffer[0], nullptr, nullptr, FALSE, 0, nullptr, m_dir.Path(), &si, &pi)) return -2;
    ::CloseHandle(pi.hThread);
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
  ::Sleep(300);  // the engine's queries go out once the link is up
  for (const char* line : {"TREADY", "SONLINE", "WX4000Y3000Z1000", "OX100Y200Z300", "VVER5300"}) Reply(line);
  ASSERT_TRUE(WaitState("NetJob", "ATTACHED", 10000));
  ChannelHeader h = Header("NetJob");
  EXPECT_STREQ("READY", h.szReplyT);
  EXPECT_STREQ("ONLINE", h.szRunMode);
  EXPECT_STREQ("VER5300", h.szReplyV);
  // No device record: positions stay in controller steps.
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

  using namespace planner_testing;
  CFrameRecorder expected;
  expected.m_strVersion = "VER5300";
  expected.m_bFileTarget = TRUE;
  {
    JobRecord job;
    ASSERT_TRUE(CJobManager::GetJob("Export", &job));
    CPathProcessor processor;
    ASSERT_TRUE(StartJob(processor, &expected, job, PlainDevice(), PlainSettings()));
    RunRecords(processor, PlainDevice(), job, SixTagJob());
  }
  std::vector<StreamItem> sent, exported;
  std::string error;
  ASSERT_TRUE(DecodeFrames(expected.FrameData(), sent, error)) << error;
  std::string file = testing_support::ReadFileBytes(target);
  ASSERT_TRUE(DecodeFrames({std::vector<BYTE>(file.begin(), file.end())}, exported, error)) << error;
  std::vector<std::string> want, got;
  for (const StreamItem& i : sent)
    if (i.kind != ItemKind::kCommand || i.code != DT_DH) want.push_back(Describe(i));
  for (const StreamItem& i : exported) got.push_back(Describe(i));
  EXPECT_EQ(want, got) << Logs();
}

// Simulating with time: the simulator answers every tag mark at once, but the engine
// hands the tag progress on no faster than the planned tag times, so the job finishes
// no sooner than its projected run time.
TEST_F(EngineProcessTest, SimulationWithTimeTakesThePlannedTime) {
  AddRunnableJob("Paced", "SIMU:");
  ASSERT_TRUE(CJobManager::StartEngine("Paced", ""));
  ASSERT_TRUE(WaitState("Paced", "ATTACHED", 15000));
  DWORD start_ms = ::GetTickCount();
  ASSERT_TRUE(CJobManager::StartJob("Paced", 1, 0, 1));
  ASSERT_TRUE(WaitState("Paced", "FINISHED", 60000)) << Header("Paced").szMessage;
  DWORD took_ms = ::GetTickCount() - start_ms;
  ChannelHeader h = Header("Paced");
  EXPECT_GT(h.dProjectedTime, 1.0);
  EXPECT_GE(took_ms, (DWORD)(h.dProjectedTime * 1000.0)) << "projected " << h.dProjectedTime << " s";
  EXPECT_STREQ("6", h.szReplyG);
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
