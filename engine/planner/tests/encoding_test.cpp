// Byte-exact vectors of the command encodings, and how the stream is cut into frames.
#include <cfloat>
#include <cstring>

#include "engine/planner/tests/planner_fixture.h"

namespace planner_testing {
namespace {

using Encoding = PlannerTest;

TEST_F(Encoding, ShortAndLongCommands) {
  m_proc.SetOutput(&m_queue);
  m_proc.Reset();
  m_proc.AddCommand(DT_SP, 3);
  m_proc.AddCommand2(DT_DH, 0x12345678);
  m_proc.AddCommand2(DT_G97, 180000);
  m_proc.FlushOutput();
  ASSERT_EQ(1u, m_queue.m_frames.size());
  EXPECT_EQ(Hex("03 80 02 00 03 00  0A 80 04 00 78 56 34 12  30 80 04 00 20 BF 02 00"), m_queue.m_frames[0].data);
}

TEST_F(Encoding, AccelerationCommandComesWithTheThreeSpeedCommands) {
  m_device.m_dCornerSpeed = 50.9;
  m_device.m_dParamN = 2;
  m_device.m_dCornerUp = 10;
  CString error;
  m_proc.SetOutput(&m_queue);
  ASSERT_TRUE(m_proc.PrepareJob(m_job, m_device, m_settings, error));
  m_proc.AddCommand(DT_SA, 500);
  m_proc.FlushOutput();
  EXPECT_EQ(Hex("04 80 02 00 32 00  05 80 02 00 02 00  06 80 02 00 0A 00  15 80 02 00 F4 01"),
            m_queue.m_frames.at(0).data);
}

// Frames carry exactly the capacity; a command continues in the next frame, here at a
// word inside a six-byte command.
TEST_F(Encoding, SixByteCommandSplitFourAndTwoAcrossFrames) {
  m_proc.SetOutput(&m_queue);
  m_proc.Reset();
  for (int i = 0; i < 18; i++) m_proc.AddCommand(DT_M03, 9);  // 108 bytes
  for (int i = 0; i < 2; i++) m_proc.AddCommand2(DT_DH, 1);   // 124
  m_proc.AddCommand(DT_SP, 3);
  ASSERT_EQ(1u, m_queue.m_frames.size());
  const std::vector<BYTE>& first = m_queue.m_frames[0].data;
  ASSERT_EQ(128u, first.size());
  EXPECT_EQ(Hex("03 80 02 00"), std::vector<BYTE>(first.end() - 4, first.end()));
  m_proc.FlushOutput();
  ASSERT_EQ(2u, m_queue.m_frames.size());
  EXPECT_EQ(Hex("03 00"), m_queue.m_frames[1].data);
  Decode();
  EXPECT_EQ(21u, m_items.size());
  EXPECT_EQ(DT_SP, m_items.back().code);
  EXPECT_EQ(3u, m_items.back().value);
}

TEST_F(Encoding, ProtocolSevenFramesCarryUpTo1024Bytes) {
  m_queue.m_nCapacity = 1024;
  m_proc.SetOutput(&m_queue);
  m_proc.Reset();
  for (int i = 0; i < 200; i++) m_proc.AddCommand(DT_M03, 9);  // 1200 bytes
  m_proc.FlushOutput();
  ASSERT_EQ(2u, m_queue.m_frames.size());
  EXPECT_EQ(1024u, m_queue.m_frames[0].data.size());
  EXPECT_EQ(176u, m_queue.m_frames[1].data.size());
}

// A line from where the lift left the tool to (200, 100): 8000 and 4000 steps at 1016
// steps per inch, S = 8944, Vn limited by X to 178 mm/s, the run's last item at the
// start velocity 8.
TEST_F(Encoding, GFormLineAt1016StepsPerInch) {
  UseGForm();
  Run({MoveRecord(kGLine, 200, 100, 0, kAxisBitX | kAxisBitY, true)});
  std::vector<BYTE> line = CommandBytes(ItemKind::kGLine, DT_G01, 22);
  EXPECT_EQ(Hex("24 80 12 00 31 80 B2 00 08 00 F0 22 00 00 40 1F 00 00 A0 0F 00 00"), line);
}

TEST_F(Encoding, BlockFormLine) {
  Run({MoveRecord(kGLine, 200, 100, 0, kAxisBitX | kAxisBitY, true)});
  // The block head, then the item.
  long item = (long)Moves().at(1).offset;
  EXPECT_EQ(Hex("44 80 0E 00 01 00  01 00 B2 00 08 00 40 1F 00 00 A0 0F 00 00"), Bytes(item - 6, 20));
}

TEST_F(Encoding, ToolLiftInBothForms) {
  Run({MoveRecord(kGLine, 10, 0, 0, kAxisBitX, true)});
  long lift = (long)Moves().at(0).offset;
  EXPECT_EQ(Hex("43 80 0A 00 01 00  00 00 32 00 08 00 D0 07 00 00"), Bytes(lift - 6, 16));

  m_queue.Clear();
  UseGForm();
  Run({MoveRecord(kGLine, 10, 0, 0, kAxisBitX, true)});
  EXPECT_EQ(Hex("23 80 0E 00 40 80 32 00 08 00 00 00 00 00 D0 07 00 00"), CommandBytes(ItemKind::kGLine, DT_G00, 18));
}

// A half circle of radius 100 mm as one clockwise arc: 4000 steps of radius, an arc
// length of trunc(4000 π) = 12566, end (-4000, 0), centre (0, 0).
TEST_F(Encoding, GFormArc) {
  UseGForm();
  Run({MoveRecord(kGRapid, 100, 0, 0, kAxisBitsXYZ, true), ArcRecord(kGArcCW, Vec3(-100, 0, 0), Vec3(0, 0, 0))});
  EXPECT_EQ(
      Hex("25 80 1E 00 31 83 A0 00 08 00 16 31 00 00 A0 0F 00 00 60 F0 FF FF 00 00 00 00 00 00 00 00 00 00 00 00"),
      CommandBytes(ItemKind::kGArc, DT_G02, 34));
}

TEST_F(Encoding, RelativeItemsCarry16BitDeltas) {
  m_job.RelativeCoords = TRUE;
  Run({MoveRecord(kGLine, 10, 0, 0, kAxisBitX, true), MoveRecord(kGLine, 5, 0, 0, kAxisBitX)});
  std::vector<StreamItem> moves = Moves();
  ASSERT_EQ(3u, moves.size());  // lift, then one block of two relative items
  EXPECT_EQ(DT_PRX, moves[1].code);
  EXPECT_EQ(400, moves[1].coord[0]);
  EXPECT_EQ(-200, moves[2].coord[0]);
  EXPECT_EQ(Hex("71 80 08 00 02 00"), Bytes((long)moves[1].offset - 6, 6));
  EXPECT_EQ(Hex("38 FF"), Bytes((long)moves[2].offset + 6, 2));
}

TEST_F(Encoding, JobHeader) {
  m_job.TotalTags = 240;
  m_job.FeedMin = Vec3(-1, -2, -3);
  m_job.FeedMax = Vec3(100, 50, 0);
  m_job.TraverseZMin = -1;
  m_job.TraverseZMax = 5;
  CString error;
  m_proc.SetOutput(&m_queue);
  ASSERT_TRUE(m_proc.PrepareJob(m_job, m_device, m_settings, error));
  ASSERT_TRUE(m_proc.SendJobHeader("", FALSE));
  ASSERT_EQ(1u, m_queue.m_frames.size());
  std::vector<BYTE> expected = Hex(
      "1D 80 60 00 52 00 00 00 F0 00 00 00 D8 FF FF FF A0 0F 00 00 B0 FF FF FF D0 07 00 00 88 FF FF FF C8 00 00 00");
  expected.resize(100);
  std::memcpy(expected.data() + 36, "Kestrada", 9);
  EXPECT_EQ(expected, m_queue.m_frames[0].data);
}

// Started by the operator program with an export target: the cleaned name, not the brand.
// An extent of DBL_MAX (a program without feed moves) saturates instead of wrapping.
TEST_F(Encoding, JobHeaderNameAndSaturatedExtent) {
  std::strcpy(m_job.JobName, "Door\xB0\xA1\xC1x");  // a GB character, then a lead byte before 'x'
  m_job.FeedMin = Vec3(DBL_MAX, -DBL_MAX, 0);
  CString error;
  m_proc.SetOutput(&m_queue);
  ASSERT_TRUE(m_proc.PrepareJob(m_job, m_device, m_settings, error));
  ASSERT_TRUE(m_proc.SendJobHeader("FILE:door.cf", TRUE));
  const std::vector<BYTE>& h = m_queue.m_frames.at(0).data;
  EXPECT_EQ(Hex("FF FF FF 7F"), std::vector<BYTE>(h.begin() + 12, h.begin() + 16));
  EXPECT_EQ(Hex("00 00 00 80"), std::vector<BYTE>(h.begin() + 20, h.begin() + 24));
  EXPECT_EQ(0, h[36]);
  EXPECT_STREQ("Door\xB0\xA1 x", (const char*)h.data() + 37);
  EXPECT_EQ(0, h[99]);
}

TEST_F(Encoding, SanitizeJobName) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"plain", "plain"}, {"\xD6\xD0\xCE\xC4", "\xD6\xD0\xCE\xC4"},  // two GB characters stay
      {"ab\xD6", "ab"},                                              // a lead byte that ends the text goes
      {"\xD6z", " z"},                                               // a lead byte before a plain byte: blank
      {"", ""},
  };
  for (const Case& c : cases) {
    char buffer[32];
    std::strcpy(buffer, c.in);
    CPathProcessor::SanitizeJobName(buffer);
    EXPECT_STREQ(c.out, buffer) << c.in;
  }
}

// The header is cut at 61 bytes before it is cleaned: a character cut in two loses its
// lead byte instead of ending the name with half a character.
TEST_F(Encoding, JobHeaderNameCutInsideACharacter) {
  std::memset(m_job.JobName, 'a', 60);
  std::strcpy(m_job.JobName + 60, "\xD6\xD0");
  CString error;
  m_proc.SetOutput(&m_queue);
  ASSERT_TRUE(m_proc.PrepareJob(m_job, m_device, m_settings, error));
  ASSERT_TRUE(m_proc.SendJobHeader("x", TRUE));
  const std::vector<BYTE>& h = m_queue.m_frames.at(0).data;
  EXPECT_EQ(60u, std::strlen((const char*)h.data() + 37));
}

}  // namespace
}  // namespace planner_testing
