// Random and mutated input for the parsers that take data from outside: datagrams,
// device frames, ".pam", ".rom" and "Cutter.db" files. Nothing may crash or read past
// its data (the host build runs this under the sanitizers).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "device/cutter.h"
#include "device/device_frame.h"
#include "device/device_params.h"
#include "device/link_helpers.h"
#include "device/links/net_devices.h"
#include "device/param_sets.h"
#include "device/rom_params.h"
#include "device/links/udp_frame.h"
#include "foundation/tests/app_folder_test.h"

using testing_support::MessageBoxRecorder;
using testing_support::WriteFileBytes;

namespace {

using Bytes = std::vector<BYTE>;

Bytes Mutate(Bytes b, std::mt19937& rng) {
  int edits = 1 + (int)(rng() % 4);
  for (int i = 0; i < edits; ++i) {
    switch (rng() % 4) {
      case 0:
        if (!b.empty()) b[rng() % b.size()] ^= (BYTE)(1u << (rng() % 8));
        break;
      case 1:
        if (!b.empty()) b.resize(rng() % b.size());
        break;
      case 2: b.insert(b.begin() + (b.empty() ? 0 : rng() % b.size()), (BYTE)rng()); break;
      case 3:
        if (!b.empty()) b[rng() % b.size()] = (BYTE)(rng() % 2 ? 0xFE : 0xFF);
        break;
    }
  }
  return b;
}

// Handles frames the way the link does: header, tags, status bytes, Enum replies.
class Handler : public CUdpFrameBuffer {
 public:
  void OnFrame(BYTE* frame) override {
    const UdpFrameHeader h = DecodeUdpFrameHeader(frame);
    ASSERT_LE(h.length, kUdpMaxPayload);
    const BYTE* payload = frame + kUdpHeaderSize;
    char value[1024];
    ParseTag((const char*)payload, h.length, "PROT", value, sizeof(value));
    if (h.length >= sizeof(EnumReply)) {
      EnumReply r;
      memcpy(&r, payload, sizeof(r));
      FormatFoundDevice(r, "127.0.0.1", 1);
    }
    UpdateNetDevices(payload, h.length);
    ++frames;
  }
  int frames = 0;
};

TEST(Fuzz, DatagramsIntoTheReassembly) {
  std::mt19937 rng(20261210);
  std::vector<Bytes> seeds;
  for (int i = 0; i < 8; ++i) {
    std::string payload((size_t)(rng() % 64), 'a');
    if (i == 1) payload = "APR[1]NCID[5]PROT[1]";
    if (i == 2) payload = std::string(28, '\x7f') + "A[1]";
    Bytes f(kUdpHeaderSize + payload.size());
    BuildUdpFrame(f.data(), f.size(), (BYTE)(1 + i % 7), 0, (WORD)i, payload.data(), (WORD)payload.size());
    seeds.push_back(f);
  }
  Handler h;
  for (int round = 0; round < 20000; ++round) {
    Bytes d;
    if (round % 5 == 0) {
      d.resize(rng() % 9000);
      for (BYTE& b : d) b = (BYTE)rng();
    } else {
      d = Mutate(seeds[rng() % seeds.size()], rng);
      if (rng() % 3 == 0) {
        Bytes more = seeds[rng() % seeds.size()];
        d.insert(d.end(), more.begin(), more.end());
      }
    }
    h.AppendData(d.data(), (int)d.size());
    ASSERT_LE(h.GetBufferedCount(), 0x4000 + kUdpMaxPayload);
  }
  EXPECT_GT(h.frames, 1000);
  FreeNetDevices();
}

TEST(Fuzz, DeviceFramesFromPartialBuffers) {
  std::mt19937 rng(7);
  for (int version : {5, 7}) {
    g_nProtocolVersion = version;
    for (int round = 0; round < 5000; ++round) {
      DeviceFrame f{};
      size_t received = rng() % sizeof(f.m_bytes);
      for (size_t i = 0; i < received; ++i) f.m_bytes[i] = (BYTE)rng();
      if (rng() % 2) f.m_bytes[0] = f.m_bytes[1] = version == 5 ? 0x7E : 0xE7;
      BYTE data[DEVICE_FRAME_MAX_DATA];
      if (f.IsSyncValid() && f.IsLengthValid(received)) {
        f.IsChecksumValid();
        ASSERT_LE(f.GetData(data), DEVICE_FRAME_MAX_DATA);
      }
      f.IsDataEmpty();
      ASSERT_LE(f.GetData(data), DEVICE_FRAME_MAX_DATA);
    }
  }
  g_nProtocolVersion = 5;
}

// Random bytes, and frames buried in random bytes, through the scanner: it never reads
// past what it is given, always makes progress, and every frame it returns checks.
TEST(Fuzz, FrameScanner) {
  std::mt19937 rng(11);
  for (int version : {5, 7}) {
    const BYTE sync = version == 5 ? 0x7E : 0xE7;
    for (int round = 0; round < 3000; ++round) {
      std::vector<BYTE> stream(rng() % 3000);
      for (BYTE& b : stream) b = (BYTE)(rng() % 4 == 0 ? sync : rng());
      if (rng() % 2) {  // plant a frame
        DeviceFrame f;
        f.Clear();
        f.SetSync(version);
        BYTE data[DEVICE_FRAME_MAX_DATA];
        for (BYTE& b : data) b = (BYTE)rng();
        WORD n = f.PutData(0, data, (int)(rng() % GetFrameDataCapacity(version)) + 1, version);
        f.SetLength(n, version);
        f.UpdateChecksum(version);
        size_t at = stream.empty() ? 0 : rng() % stream.size();
        stream.insert(stream.begin() + (long)at, f.m_bytes, f.m_bytes + f.GetFrameSize(version));
      }
      size_t pos = 0;
      while (pos < stream.size()) {
        int count = (int)std::min<size_t>(stream.size() - pos, 1 + rng() % 2000);
        std::vector<BYTE> window(stream.begin() + (long)pos, stream.begin() + (long)pos + count);  // exact size
        int r = ScanDeviceFrame(window.data(), count, version);
        ASSERT_LE(r, count);
        ASSERT_GE(r, -count);
        if (r == 0) {
          if (pos + (size_t)count == stream.size()) break;  // the tail stays unread
          continue;
        }
        if (r > 0) {
          DeviceFrame f;
          f.Clear();
          memcpy(f.m_bytes, window.data(), (size_t)r);
          ASSERT_TRUE(f.IsSyncValid(version));
          ASSERT_TRUE(f.IsChecksumValid(version));
          ASSERT_EQ(r, f.GetFrameSize(version));
        }
        pos += (size_t)(r > 0 ? r : -r);
      }
    }
  }
}

class FuzzFiles : public AppFolderTest {};

std::string RandomText(std::mt19937& rng, const std::vector<std::string>& words, int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    std::string line = words[rng() % words.size()];
    for (int k = (int)(rng() % 3); k > 0; --k) {
      size_t at = line.empty() ? 0 : rng() % line.size();
      line.insert(at, 1, "=,[]{}|. \t\xB5\xF1x09-"[rng() % 16]);
    }
    if (rng() % 10 == 0) line += std::string(rng() % 400, 'z');
    text += line + (rng() % 5 ? "\r\n" : "\n");
  }
  return text;
}

TEST_F(FuzzFiles, DeviceAndParameterSetFiles) {
  std::mt19937 rng(11);
  platform::MakeDirectory(Path("Devices"));
  platform::MakeDirectory(Path("Params"));
  std::vector<std::string> words = {"[File]",
                                    "ID=Parameters for Kestrada Carver",
                                    "[Device]",
                                    "Name=",
                                    "CommandSet=hpgl",
                                    "XYHome=RT",
                                    "ParamN=-3",
                                    "[Resolution(StepsPerInch)]",
                                    "X=1e999",
                                    "Y=-0",
                                    "[Defined Parameters]",
                                    "Ident=Kestrada Defined Parameters",
                                    "[Parameters]",
                                    "Mode=cut",
                                    "Spindles=99999999999",
                                    "=",
                                    "[",
                                    ""};
  for (int round = 0; round < 60; ++round) {
    WriteFileBytes(Path("Devices\\F.pam"), RandomText(rng, words, 30));
    WriteFileBytes(Path("Params\\F.pam"), RandomText(rng, words, 30));
    LoadDeviceTable();
    LoadUserParamSets();
    ASSERT_LE(g_DeviceTable.m_nCount, 1);
    SaveDeviceTable();
  }
}

TEST_F(FuzzFiles, RomFiles) {
  std::mt19937 rng(12);
  std::vector<std::string> words = {"[Parameters]",
                                    "0x400=none, float, 1016{1016.0|1014.59}, xdpi",
                                    "0x450=none, byte, 0[0|7], uDriver",
                                    "x1f=c,string,ABCDEFGHIJKLMNOPQRS,d",
                                    "31=c,dword,-1,d",
                                    "0x12=c,short,4294967291[|],d",
                                    "=,,,",
                                    "0x=",
                                    ",,,,"};
  MessageBoxRecorder boxes;
  for (int round = 0; round < 100; ++round) {
    WriteFileBytes(Path("f.rom"), RandomText(rng, words, 40));
    RomParamFile f;
    f.LoadRomFile(Path("f.rom"));
    f.SaveRomFile(Path("g.rom"));
    RomParamFile g;
    g.LoadRomFile(Path("g.rom"));
  }
}

TEST_F(FuzzFiles, CutterFiles) {
  MessageBoxRecorder boxes;  // files beyond the table are reported
  std::mt19937 rng(13);
  for (int round = 0; round < 50; ++round) {
    std::string bytes(rng() % 70000, '\0');
    for (char& c : bytes) c = (char)rng();
    WriteFileBytes(Path("Cutter.db"), bytes);
    LoadCutterTable();
    ASSERT_LE(g_CutterTable.m_nCount, kCutterTableSize);
    for (int i = 0; i < g_CutterTable.m_nCount; ++i) {
      ASSERT_LT(strlen(g_CutterTable.m_records[i].m_szDescription), 256u);
      g_CutterTable.m_records[i].GetCutWidth(0, 1.5);
    }
    FindCutter((int)rng());
  }
}

}  // namespace
