// The serial connection string's port and rate, and the settings derived from the rate.
#include <gtest/gtest.h>

#include "device/links/serial_settings.h"

namespace {

TEST(SerialSettingsTest, PortNames) {
  struct Case {
    const char* name;
    int port;
  } cases[] = {
      {"COM1", 1},
      {"com20", 20},
      {"CoM7", 7},
      {"COM01", 1},
      {"COM21", 0},
      {"COM0", 0},
      {"COM", 0},
      {"COMX", 0},
      {"COM3 ", 0},
      {"COM-1", 0},
      {"LPT1", 0},
      {"", 0},
      {"COM999999999999", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.port, ParseSerialPortName(c.name)) << c.name;
  EXPECT_EQ(0, ParseSerialPortName(nullptr));
}

TEST(SerialSettingsTest, BaudRates) {
  struct Case {
    const char* text;
    int baud;
  } cases[] = {
      {"38400", 38400}, {"115200", 115200}, {" 9600 ", 9600},   {"", 0},        {"fast", 0}, {"38400x", 0},
      {"-9600", 0},     {"96.00", 0},       {"99999999999", 0}, {"4000001", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.baud, ParseSerialBaudRate(c.text)) << c.text;
}

TEST(SerialSettingsTest, WriteMultiplierAndWireTime) {
  EXPECT_EQ(2u, SerialWriteMultiplier(9600));
  EXPECT_EQ(1u, SerialWriteMultiplier(19200));
  EXPECT_EQ(0u, SerialWriteMultiplier(38400));
  EXPECT_EQ(0u, SerialWriteMultiplier(115200));
  EXPECT_EQ(0u, SerialWriteMultiplier(0));
  // A protocol 5 frame and its ACK at 115200 baud: 135 bytes, 11.72 ms.
  EXPECT_NEAR(11718.75, SerialWireTime_us(135, 115200), 0.01);
}

}  // namespace
