// Which link a connection string names and with what it is opened.
#include <gtest/gtest.h>

#include "engine/runtime/engine_links.h"

namespace {

TEST(EngineLinks, ConnectionTable) {
  struct {
    const char* connection;
    EngineLinkKind kind;
    const char* openText;
    int baud;
  } cases[] = {
      {"COM3:115200", kLinkSerial, "COM3", 115200},
      {"com3:9600", kLinkSerial, "com3", 9600},
      {"SIMU:", kLinkSimu, "SIMU", 0},
      {"simulator", kLinkSimu, "simulator", 0},
      {"FILE:C:\\a.cf", kLinkFile, "FILE:C:\\a.cf", 0},
      {"NET:dev:192.168.1.20:7878", kLinkNet, "NET:192.168.1.20:7878", 0},
      {"NET:192.168.1.20:7878", kLinkNet, "NET", 0},
      {"", kLinkSerial, "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.connection);
    EngineLinkChoice choice = ChooseEngineLink(c.connection);
    EXPECT_EQ(c.kind, choice.nKind);
    EXPECT_STREQ(c.openText, choice.strOpenText);
    EXPECT_EQ(c.baud, choice.nBaud);
  }
}

TEST(EngineLinks, NetAddress) {
  CString first, second, third;
  EXPECT_TRUE(ParseNetAddress("a:b:c:d", first, third, second));
  EXPECT_STREQ("a", first);
  EXPECT_STREQ("b", second);
  EXPECT_STREQ("c", third);
  EXPECT_FALSE(ParseNetAddress("a:b", first, third, second));
  EXPECT_TRUE(first.IsEmpty() && second.IsEmpty() && third.IsEmpty());
}

}  // namespace
