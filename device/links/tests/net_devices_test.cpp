#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/links/net_devices.h"

namespace {

std::string Answer(int lastOctet, const std::string& info = "") {
  EnumReply r{};
  r.address[0] = 127;
  r.address[1] = 1;
  r.address[2] = 0;
  r.address[3] = (BYTE)lastOctet;
  strcpy(r.name, "C");
  return std::string((const char*)&r, sizeof(r)) + info;
}

void Update(const std::string& answer) { UpdateNetDevices((const BYTE*)answer.data(), (int)answer.size()); }

class NetDevices : public ::testing::Test {
 protected:
  void SetUp() override { FreeNetDevices(); }
  void TearDown() override { FreeNetDevices(); }
};

TEST_F(NetDevices, EntriesAreKeyedByTheReportedAddress) {
  Update(Answer(1));
  Update(Answer(2, "A[100]"));
  Update(Answer(1, "xy"));
  Update(Answer(2, "A[200]"));
  ASSERT_EQ(2, g_NetDevices.m_nCount);
  EXPECT_STREQ("xy", g_NetDevices.m_pEntries[0].info);
  EXPECT_STREQ("A[200]", g_NetDevices.m_pEntries[1].info);
  Update(Answer(1));  // exactly 28 bytes: the text is cleared
  EXPECT_STREQ("", g_NetDevices.m_pEntries[0].info);
  EXPECT_STREQ("A[200]", GetNetDeviceInfoForConnection(" net:C:127.1.0.2:7878:0.0.0.0:0"));
  EXPECT_STREQ("", GetNetDeviceInfoForConnection("NET:C:127.1.0.9:7878:0.0.0.0:0"));
  EXPECT_STREQ("", GetNetDeviceInfoForConnection("SIMU:"));
  EXPECT_STREQ("", GetNetDeviceInfoForConnection("NET:C:127.1"));
  EXPECT_STREQ("", GetNetDeviceInfoForConnection("NET:nocolon"));
}

TEST_F(NetDevices, LongTextsShortAnswersAndAFullTable) {
  Update(Answer(1, std::string(300, 'i')));
  EXPECT_EQ(127u, strlen(g_NetDevices.m_pEntries[0].info));
  Update(Answer(3).substr(0, 20));  // shorter than a reply: ignored
  EXPECT_EQ(1, g_NetDevices.m_nCount);
  for (int i = 10; i < 10 + kNetDeviceTableSize + 5; ++i) Update(Answer(i));
  EXPECT_EQ(kNetDeviceTableSize, g_NetDevices.m_nCount);
}

TEST_F(NetDevices, EntriesExpireTwentySecondsAfterTheirLastAnswer) {
  Update(Answer(1));
  Update(Answer(2));
  g_NetDevices.m_pEntries[0].lastSeen = GetTickCount() - (kNetDeviceExpiryMs + 50);
  g_NetDevices.m_pEntries[1].lastSeen = GetTickCount() - (kNetDeviceExpiryMs - 2000);
  UpdateNetDevices(nullptr, 0);
  ASSERT_EQ(1, g_NetDevices.m_nCount);
  EXPECT_EQ(2, g_NetDevices.m_pEntries[0].reply.address[3]);
}

}  // namespace
