// The engine commands of the job manager as they reach a job's command ring: which
// commands go in which state, their bytes, and the values that are refused rather than
// cut or wrapped.
#include "jobs/table/tests/job_table_support.h"

#include "device/device_params.h"
#include "platform/bytes.h"

namespace {

class JobEngineTest : public JobTableTest {
 protected:
  // The commands waiting on the job's command ring, as (type, payload) in order.
  std::vector<std::pair<int, std::string>> Commands(const char* name) {
    CJobChannel tx;
    EXPECT_TRUE(tx.Open(CString("PanelTx_") + name, kJobChannelSlots));
    std::vector<std::pair<int, std::string>> out;
    BYTE buffer[kChannelSlotSize];
    while (UINT n = tx.PopMessage(buffer, sizeof buffer)) {
      out.emplace_back(bytes::Load16(buffer), std::string((const char*)buffer + 4, n - 4));
      EXPECT_EQ(n - 4, bytes::Load16(buffer + 2));
    }
    return out;
  }
};

TEST_F(JobEngineTest, StartOnlyFromAStateThatAllowsIt) {
  CString a = Name("StartA");
  ASSERT_TRUE(Add(a));
  // "READY": language and options go, the start does not.
  EXPECT_FALSE(CJobManager::StartJob(a, 0, 1, 1));
  auto sent = Commands(a);
  ASSERT_EQ(3u, sent.size());
  EXPECT_EQ(kMsgLanguage, sent[0].first);
  EXPECT_EQ(std::string(1, '\0'), sent[0].second);
  EXPECT_EQ(kMsgForce2D, sent[1].first);
  EXPECT_EQ(kMsgSimulateTime, sent[2].first);

  for (const char* state : {"ATTACHED", "ERROR", "ABORTED", "FINISHED"}) {
    SCOPED_TRACE(state);
    SetState(a, state);
    EXPECT_TRUE(CJobManager::StartJob(a, 1, 0, 0));
    sent = Commands(a);
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(kMsgStart, sent[1].first);
  }
  SetState(a, "TRANSMITTING");
  EXPECT_FALSE(CJobManager::StartJob(a, 1, 0, 0));
  EXPECT_TRUE(CJobManager::StopJob(a));
  sent = Commands(a);
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ(kMsgStop, sent[1].first);
  SetState(a, "ATTACHED");
  EXPECT_FALSE(CJobManager::StopJob(a));
  EXPECT_TRUE(Commands(a).empty());
}

TEST_F(JobEngineTest, StartReportsARingThatRefusedIt) {
  CString a = Name("Full");
  ASSERT_TRUE(Add(a));
  SetState(a, "ATTACHED");
  CJobChannel tx;
  ASSERT_TRUE(tx.Open(CString("PanelTx_") + a, kJobChannelSlots));
  BYTE filler[4] = {kMsgPause, 0, 0, 0};
  while (tx.PushMessage(filler, 4)) {
  }
  EXPECT_FALSE(CJobManager::StartJob(a, 1, 0, 0));
}

TEST_F(JobEngineTest, BusyDeviceBlocksTheStartExceptForSimulations) {
  CString a = Name("OnCom3"), b = Name("AlsoCom3"), s1 = Name("Sim1"), s2 = Name("Sim2");
  ASSERT_TRUE(Add(a, "COM3:9600"));
  ASSERT_TRUE(Add(b, "com3:38400"));
  ASSERT_TRUE(Add(s1, "SIMU:"));
  ASSERT_TRUE(Add(s2, "SIMU:"));
  SetState(a, "ATTACHED");
  SetState(b, "TRANSMITTING");
  EXPECT_FALSE(CJobManager::StartJob(a, 1, 0, 0));
  SetState(s1, "ATTACHED");
  SetState(s2, "TRANSMITTING");
  EXPECT_TRUE(CJobManager::StartJob(s1, 1, 0, 0));
}

TEST_F(JobEngineTest, ZAdjustInStepsAndRefusedWhenItWouldWrap) {
  CreateFolderPath(Path("Devices\\"));
  DeviceParams device;
  device.ResetForName("Router");
  std::strcpy(device.m_szName, "Router");
  device.m_dResZ = 1016;
  ASSERT_TRUE(device.Save());
  LoadDeviceTable();
  CString a = Name("ZAdj");
  ASSERT_TRUE(Add(a));
  EXPECT_FALSE(CJobManager::SendZAdjust(a, 1.0));  // "READY": not sent
  SetState(a, "ATTACHED");
  struct {
    double mm;
    bool sent;
    int16_t steps;
  } cases[] = {{1.0, true, 40}, {-0.03, true, -1}, {819.0, true, 32760}, {820.0, false, 0}, {-820.0, false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mm);
    EXPECT_EQ(c.sent, CJobManager::SendZAdjust(a, c.mm) != FALSE);
    auto sent = Commands(a);
    ASSERT_EQ(c.sent ? 1u : 0u, sent.size());
    if (c.sent) {
      EXPECT_EQ(kMsgZAdjust, sent[0].first);
      EXPECT_EQ(c.steps, (int16_t)bytes::Load16((const BYTE*)sent[0].second.data()));
    }
  }
}

TEST_F(JobEngineTest, OutputAndRomParameters) {
  CString a = Name("Params");
  ASSERT_TRUE(Add(a));
  EXPECT_TRUE(CJobManager::SendParamU(a, 48, 12000));
  EXPECT_TRUE(CJobManager::SendParamD(a, 9, 8));
  EXPECT_TRUE(CJobManager::SendParamD(a, 9, 6));
  JobRecord job;
  ASSERT_TRUE(CJobManager::GetJob(a, &job));
  EXPECT_DOUBLE_EQ(12000.0, job.SpindleSpeed);
  EXPECT_EQ(1, job.CoolantOn);
  EXPECT_EQ(0, job.SpindleOn);
  auto sent = Commands(a);
  ASSERT_EQ(3u, sent.size());
  EXPECT_EQ(std::string("48,12000", 9), sent[0].second);
  EXPECT_EQ(std::string("9,8", 4), sent[1].second);

  BYTE data[kChannelMaxPayload] = {};
  EXPECT_TRUE(CJobManager::SendRomParam(a, 0x21, data, 42));
  sent = Commands(a);
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ(46u, sent[0].second.size());
  EXPECT_EQ(42, bytes::Load16((const BYTE*)sent[0].second.data() + 2));
  EXPECT_TRUE(CJobManager::SendRomParam(a, 0x21, data, kChannelMaxPayload - 4));
  EXPECT_FALSE(CJobManager::SendRomParam(a, 0x21, data, kChannelMaxPayload - 3));  // would not fit a slot
  EXPECT_EQ(1u, Commands(a).size());
}

TEST_F(JobEngineTest, EngineStartRefusesACommandLineThatDoesNotFit) {
  CString a = Name("Long");
  ASSERT_TRUE(Add(a));
  std::string target(300, 't');
  EXPECT_FALSE(CJobManager::StartEngine(a, target.c_str()));
  EXPECT_TRUE(CJobManager::NoEngineRunning());
  EXPECT_FALSE(CJobManager::StartEngine("NoSuchJob", ""));
}

}  // namespace
