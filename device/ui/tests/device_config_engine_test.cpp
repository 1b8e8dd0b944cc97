// The Device Configuration dialog against a running engine: Mardrive.exe, started by
// the job manager as the operator program starts it, attached over UDP to the test
// controller, which keeps its own ROM parameters. A read brings the controller's values
// into the list, a write puts the dialog's values into the controller, and a controller
// that takes the requests but never answers ends the query with "Communication
// timeout !".
#include "device/links/tests/udp_test_support.h"
#include "device/ui/tests/device_config_support.h"
#include "device/link_helpers.h"

namespace {

class DeviceConfigEngineTest : public DeviceConfigTest {
 protected:
  void SetUp() override {
    DeviceConfigTest::SetUp();
    // The build names the program by its Unix path; Wine maps "/" to drive Z:.
    ASSERT_TRUE(::CopyFileA("Z:" MARDRIVE_EXE, Path("Mardrive.EXE"), FALSE));
    PutParamValue("RomExchange", "Timeout", "1000");
    PutParamValue("RomExchange", "Repeat", "2");
    PutParamValue("System", "LogFile", "enable");
    PutParamValue("System", "LogList", "rom,shm,frames");
    udp_test::Control("ROM DEFAULT");
    udp_test::Control("ACKS numbered");
  }
  void TearDown() override {
    Close();
    CJobManager::SendDetach(m_strJob);
    for (int i = 0; i < 200 && !CJobManager::NoEngineRunning(); ++i) {
      CJobManager::MonitorJobs();
      ::Sleep(50);
    }
    udp_test::Control("ROM DEFAULT");
    udp_test::Control("FORGET");
    DeviceConfigTest::TearDown();
  }

  // A job on the test controller whose engine has attached to it.
  void AttachJob() {
    m_strJob = Name("RomNet");
    JobRecord job;
    SetRecordText(job.JobName, m_strJob);
    CString connection;
    connection.Format("NET:ctl:127.0.0.1:%u", udp_test::PeerPort());
    SetRecordText(job.Connection, connection);
    SetRecordText(job.DeviceName, "Router");
    job.TotalTags = 1;
    job.CopiesX = job.CopiesY = job.CopiesZ = 1;
    job.FormatStamp = kJobFormatStamp;
    CreateFolderPath(JobFolderPath(m_strJob));
    ASSERT_TRUE(WriteJobInfoFile(JobFilePath(m_strJob, ".jobinfo"), job));
    CJobManager::ScanJobsFolder();
    ASSERT_TRUE(CJobManager::StartEngine(m_strJob, ""));
    for (int i = 0; i < 200 && udp_test::Stat("connected") != 1; ++i) ::Sleep(50);
    ASSERT_EQ(1, udp_test::Stat("connected"));
    ::Sleep(300);  // the engine's queries go out once the link is up
    for (const char* line : {"TREADY", "SONLINE", "WX4000Y3000Z1000", "OX0Y0Z0", "VVER5300"})
      udp_test::Control(std::string("REPLY ") + (const char*)MakeReplyLine(line));
    bool attached = false;
    for (int i = 0; i < 300 && !attached; ++i) {
      DrainFor(50);
      attached = CJobManager::GetJobState(m_strJob) == "ATTACHED";
    }
    CJobChannel rx;
    ChannelHeader h = {};
    if (rx.Open(CString("PanelRx_") + m_strJob, kJobChannelSlots)) rx.ReadHeader(&h);
    ASSERT_TRUE(attached) << CJobManager::GetJobState(m_strJob).str() << ": " << h.szMessage;
  }

  bool WaitIdle(DWORD ms) {
    for (DWORD t = 0; t < ms; t += 50) {
      DrainFor(50);
      if (!m_dlg->IsQueryRunning()) return true;
    }
    return false;
  }

  // Every log the engine wrote, for failure messages.
  std::string Logs() {
    std::string out;
    CFileFind find;
    for (BOOL more = find.FindFile(Path("*.log")); more;) {
      more = find.FindNextFile();
      out += "--- " + std::string((const char*)find.GetFileName()) + "\n" +
             testing_support::ReadFileBytes(find.GetFilePath());
    }
    return out;
  }

  CString m_strJob;
};

TEST_F(DeviceConfigEngineTest, ReadAndWriteThroughTheEngine) {
  ASSERT_NO_FATAL_FAILURE(AttachJob());
  Open();
  EXPECT_EQ(m_strJob.str() + "@Router", Chosen(IDC_ROM_JOB));
  for (const char* index : {"0x400", "0x451", "0x452", "0x470"}) Tick(index);
  udp_test::Control("ROM CLEAR");
  udp_test::Control("ROM SET 0x400 float 2540.0");
  udp_test::Control("ROM SET 0x451 byte 3");
  udp_test::Control("ROM SET 0x470 string Router5");  // 0x452 the controller does not have
  DrainFor(250);
  int reads = udp_test::Stat("rom_reads"), writes = udp_test::Stat("rom_writes");
  Press(IDC_ROM_READ);
  ASSERT_TRUE(WaitIdle(15000));
  DrainFor(1100);
  EXPECT_EQ("4/4 Finished", ProgressText());
  EXPECT_EQ(reads + 4, udp_test::Stat("rom_reads")) << udp_test::Control("STATS") << Logs();
  EXPECT_EQ("0x400|-|float|2540.|{1016.0,1014.59,2536.49,2540.07,2540.0}| xdpi//4b,double,*****", Rows()[0]);
  EXPECT_EQ("0x451|-|byte|3|{0,1,2,3,4,5,6,7,255}| iGearMode//1b,,*****", Rows()[5]);
  EXPECT_EQ("0x452|-|byte|0| | bxMS_Base//1b,*****", Rows()[6]);
  EXPECT_EQ("0x470|-|string|Router5| | name//16b,*****", Rows()[12]);
  EXPECT_TRUE(m_boxes.Boxes().empty());

  // Change two values in the dialog and write all four.
  ClickCell(RowOf("0x400"), 3);
  Choose(IDC_ROM_VALUE_CHOICE, "2540.07");
  m_boxes.QueueAnswer(IDYES);
  Press(IDC_ROM_UPDATE_LIST);
  ClickCell(RowOf("0x470"), 3);
  Type(IDC_ROM_VALUE, "Mill-7");
  m_boxes.QueueAnswer(IDYES);
  Press(IDC_ROM_UPDATE_LIST);
  Press(IDC_ROM_WRITE);
  ASSERT_TRUE(WaitIdle(15000));
  EXPECT_EQ(writes + 4, udp_test::Stat("rom_writes"));
  EXPECT_EQ("float 2540.07007", udp_test::Control("ROM GET 0x400"));
  EXPECT_EQ("byte 3", udp_test::Control("ROM GET 0x451"));
  EXPECT_EQ("NONE", udp_test::Control("ROM GET 0x452"));
  EXPECT_EQ("string Mill-7", udp_test::Control("ROM GET 0x470"));
  EXPECT_EQ(2u, BoxTexts().size());  // the two questions of Update List
}

TEST_F(DeviceConfigEngineTest, ControllerThatNeverAnswersGivesCommunicationTimeout) {
  ASSERT_NO_FATAL_FAILURE(AttachJob());
  Open();
  Tick("0x400");
  udp_test::Control("ROM SILENT 1");
  DrainFor(250);
  int reads = udp_test::Stat("rom_reads");
  Press(IDC_ROM_READ);
  ASSERT_TRUE(WaitIdle(15000));
  EXPECT_EQ(std::vector<std::string>({"Communication timeout !"}), BoxTexts());
  EXPECT_EQ(reads + 3, udp_test::Stat("rom_reads"));  // the request and its two resends
  EXPECT_EQ(1, m_dlg->GetPendingIndexes().GetSize());
  DrainFor(250);
  EXPECT_EQ("0/1 Finished", ProgressText());
  EXPECT_EQ("0x400|-|float|1016.|{1016.0,1014.59,2536.49,2540.07,2540.0}| xdpi//4b,double,*****", Rows()[0]);
}

}  // namespace
