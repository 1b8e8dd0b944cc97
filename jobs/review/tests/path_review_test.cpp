// The path review's listing: the words of every kind of record, tag numbers, the range,
// the three filters, the line-limit question, and the mapped file.
#include <utility>

#include "foundation/tests/app_folder_test.h"
#include "jobs/review/path_review.h"
#include "jobs/review/tests/review_test_support.h"
#include "platform/testing/test_support.h"

using namespace review_testing;

namespace {

TEST(PathReviewDescribe, EveryKindOfRecordInItsWords) {
  PathRecord line = MoveRecord(1, 1.5, -2.25, 3, 0xA0);  // X and Z set
  line.m_nLine = 42;
  PathRecord arc = ArcRecord(3, 10, 20, 0, 5, 6, 7, 0xC0);
  arc.m_nLine = 7;
  PathRecord toolGroup = TagRecord("@T", 5 + 0.03 + 0.0001);  // tools 1 and 3, group 3
  struct Case {
    PathRecord record;
    bool unchanged;
    const char* text;
  } cases[] = {
      {line, false, "Line=00042: G01  X1.500 Z3.000"},
      {line, true, "Line=00042: G01  X1.500 y-2.250 Z3.000"},
      {arc, false, "Line=00007: G03  X10.000 Y20.000 I5.000 J6.000"},
      {arc, true, "Line=00007: G03  X10.000 Y20.000 z0.000 I5.000 J6.000 k7.000"},
      {ModeRecord(17), false, "G17 (XY-plane Selection)"},
      {ModeRecord(20), false, "G20 (Inch System Selection (but the internal unit is Millimeter))"},
      {ModeRecord(99), false, "G99 (Set Canned Cycle Return Level to Retract R)"},
      {ModeRecord(40), false, "G40"},
      {TagRecord("PU", 0), false, "PU"},
      {TagRecord("pd", 0), false, "PD"},
      {TagRecord("M", 3), false, "M3 (Turn Spindle Clockwise)"},
      {TagRecord("M", 30), false, "M30 (Program End, Pallet Shuttle, and Reset)"},
      {TagRecord("M", 105), false, "M105 (Extension for Kestrada Multi-Header Spindle, Set to ON)"},
      {TagRecord("M", 215), false, "M215 (Extension for Kestrada Multi-Header Spindle, Set to OFF)"},
      {TagRecord("M", 77), false, "M77"},
      {TagRecord("T", 12.9), false, "T12 (Tool Number)"},
      {TagRecord("S", 18000), false, "S18000 (Spindle Speed, rpm)"},
      {TagRecord("F", 40.5), false, "F40 (Feed Rate, mm/s)"},
      {TagRecord("ZZ", 1), false, "ZZ1 (3D Mode)"},
      {TagRecord("ZZ", 0), false, "ZZ0 (2D Mode)"},
      {TagRecord("ZW", 2500), false, "G4 P2 (Dwell in seconds)"},
      {TagRecord("P", 2), false, "G100 P2 (Extension for Kestrada Multi-Header Control)"},
      {TagRecord("D", 6), false, "G100 D6 (Extension for Kestrada, Bit Mask for Headers)"},
      {TagRecord("Y", -12.7), false, "G100 Y-12 (Extension for Kestrada, Header Move, mm)"},
      {toolGroup, false, "(@T@T3:1,3) (Extension for Kestrada, Tool Group Definition)"},
      {TagRecord("#O", 0), false, "#O (All Offsets canceled)"},
      {TagRecord("#Y", -1.25), false, "#Y -1.250 (Offset, mm)"},
      {TagRecord("Q", 8), false, "Q8"},
      {TagRecord("Q", 1e300), false, nullptr},  // far out of range: printed, no crash
  };
  for (const Case& c : cases) {
    CString text = DescribePathRecord(c.record.Data(), c.unchanged);
    if (c.text) {
      EXPECT_STREQ(c.text, text) << c.text;
    }
  }
}

TEST(PathReviewDescribe, LineColourByTheFirstRuleThatApplies) {
  EXPECT_EQ(kReviewDiscardedColor, ReviewLineColor(MoveRecord(1, 0, 0, 0, 0xE0, true, true).Data()));
  EXPECT_EQ(kReviewNewTagColor, ReviewLineColor(MoveRecord(0, 0, 0, 0, 0xE0, true).Data()));
  EXPECT_EQ(kReviewRapidColor, ReviewLineColor(MoveRecord(0, 0, 0, 0).Data()));
  EXPECT_EQ(kReviewFeedColor, ReviewLineColor(MoveRecord(1, 0, 0, 0).Data()));
  EXPECT_EQ(kReviewCwColor, ReviewLineColor(MoveRecord(2, 0, 0, 0).Data()));
  EXPECT_EQ(kReviewCcwColor, ReviewLineColor(MoveRecord(3, 0, 0, 0).Data()));
  EXPECT_EQ(kReviewOtherColor, ReviewLineColor(TagRecord("M", 3).Data()));
}

// Collects what the listing hands out; answers the line-limit question.
class CCollectingSink : public CPathReviewSink {
 public:
  void AddLine(const CString& text, COLORREF color) override { m_lines.emplace_back((const char*)text, color); }
  BOOL Checkpoint(int lines) override {
    m_checkpoints.push_back(lines);
    return (int)m_checkpoints.size() != m_nStopAtCheckpoint;
  }
  BOOL ContinuePastLimit() override {
    ++m_asked;
    m_askedAtLines = (int)m_lines.size();
    return m_bContinue;
  }
  std::vector<std::pair<std::string, COLORREF>> m_lines;
  std::vector<int> m_checkpoints;
  int m_asked = 0, m_askedAtLines = 0;
  int m_nStopAtCheckpoint = 0;  // 1-based; 0 never
  BOOL m_bContinue = TRUE;
};

// A job of three tags. Tag 0: the program head. A new tag right after a rapid does not
// advance the number; one after a cut does.
std::vector<PathRecord> CraftedJob() {
  return {
      ModeRecord(21),                                      // 0  tag 0
      TagRecord("M", 3),                                   // 1
      MoveRecord(0, 0, 0, 5),                              // 2  rapid
      MoveRecord(1, 0, 0, -1, 0x20, true),                 // 3  new tag after a rapid: still 0
      MoveRecord(1, 5, 0, -1, 0x80),                       // 4
      MoveRecord(1, 6, 0, -1, 0x80, false, true),          // 5  merged away
      MoveRecord(1, 7, 0, -1, 0x80, false, false, false),  // 6  inserted by the optimiser
      MoveRecord(1, 7, 3, -1, 0x40, true),                 // 7  new tag after a cut: tag 1
      ArcRecord(2, 9, 5, -1, 7, 5, -1),                    // 8
      MoveRecord(1, 9, 9, -1, 0x40, true, true),           // 9  merged away: no new tag
      MoveRecord(3, 9, 9, -2, 0x20, true),                 // 10 tag 2
      MoveRecord(0, 9, 9, 5),                              // 11
  };
}

std::vector<std::string> Texts(const CCollectingSink& sink) {
  std::vector<std::string> out;
  for (const auto& line : sink.m_lines) out.push_back(line.first);
  return out;
}

TEST(PathReviewListing, TagNumbersRangesAndFilters) {
  std::string bytes = StructsBytes(CraftedJob());
  const BYTE* data = reinterpret_cast<const BYTE*>(bytes.data());
  PathReviewOptions o;
  CCollectingSink all;
  EXPECT_EQ(9, ListPathRecords(data, bytes.size(), o, all));
  std::vector<std::string> expected = {
      "G21 (Millimeter System Selection)",
      "M3 (Turn Spindle Clockwise)",
      "Tag000000 Line=00000: G00  X0.000 Y0.000 Z5.000",
      "Tag000000 Line=00000: G01  Z-1.000",
      "Tag000000 Line=00000: G01  X5.000",
      "Tag000001 Line=00000: G01  Y3.000",
      "Tag000001 Line=00000: G02  X9.000 Y5.000 I7.000 J5.000",
      "Tag000002 Line=00000: G03  Z-2.000 K0.000",
      "Tag000002 Line=00000: G00  X9.000 Y9.000 Z5.000",
  };
  EXPECT_EQ(expected, Texts(all));
  EXPECT_EQ(kReviewOtherColor, all.m_lines[0].second);
  EXPECT_EQ(kReviewNewTagColor, all.m_lines[3].second);
  EXPECT_EQ(kReviewFeedColor, all.m_lines[4].second);
  EXPECT_EQ(std::vector<int>{1}, all.m_checkpoints);  // at record 0 only: fewer than 200 records

  // The filters bring back the merged-away and inserted records.
  o.bShowDiscarded = true;
  o.bShowInterpolation = true;
  CCollectingSink more;
  EXPECT_EQ(12, ListPathRecords(data, bytes.size(), o, more));
  EXPECT_EQ("Tag000000 Line=00000: G01  X6.000", more.m_lines[5].first);
  EXPECT_EQ(kReviewDiscardedColor, more.m_lines[5].second);
  EXPECT_EQ("Tag000000 Line=00000: G01  X7.000", more.m_lines[6].first);

  // Range 1..1: tag 1 only; an end of 0 lists tag 0 only.
  o = PathReviewOptions();
  o.nStartTag = 1;
  o.nEndTag = 1;
  CCollectingSink one;
  EXPECT_EQ(2, ListPathRecords(data, bytes.size(), o, one));
  EXPECT_EQ("Tag000001 Line=00000: G01  Y3.000", one.m_lines[0].first);
  o.nStartTag = 0;
  o.nEndTag = 0;
  CCollectingSink zero;
  EXPECT_EQ(5, ListPathRecords(data, bytes.size(), o, zero));
  // An end tag of 0xFFFFFFFF lists to the end rather than nothing.
  o.nEndTag = 0xFFFFFFFF;
  CCollectingSink wide;
  EXPECT_EQ(9, ListPathRecords(data, bytes.size(), o, wide));
  // Show Unchanged prints every axis, the unchanged ones in lower case.
  o = PathReviewOptions();
  o.bShowUnchanged = true;
  CCollectingSink unchanged;
  ListPathRecords(data, bytes.size(), o, unchanged);
  EXPECT_EQ("Tag000000 Line=00000: G01  x0.000 y0.000 Z-1.000", unchanged.m_lines[3].first);
}

TEST(PathReviewListing, APartialRecordAtTheEndIsLeftOut) {
  std::string bytes = StructsBytes(CraftedJob());
  bytes.append(117, '\x01');
  CCollectingSink sink;
  EXPECT_EQ(9, ListPathRecords(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(), PathReviewOptions(), sink));
  EXPECT_EQ(0, ListPathRecords(nullptr, 0, PathReviewOptions(), sink));
}

TEST(PathReviewListing, TheLineLimitIsAskedOnceAtTheFirstCheckpointPastIt) {
  std::vector<PathRecord> records;
  for (int i = 0; i < 1000; ++i) records.push_back(MoveRecord(1, i, 0, -1, 0x80));
  std::string bytes = StructsBytes(records);
  const BYTE* data = reinterpret_cast<const BYTE*>(bytes.data());
  PathReviewOptions o;
  o.nLineLimit = 250;

  // Yes: asked at record 400 (the first multiple of 200 past 250 lines), once.
  CCollectingSink yes;
  EXPECT_EQ(1000, ListPathRecords(data, bytes.size(), o, yes));
  EXPECT_EQ(1, yes.m_asked);
  EXPECT_EQ(401, yes.m_askedAtLines);
  EXPECT_EQ((std::vector<int>{1, 201, 401, 601, 801}), yes.m_checkpoints);

  // No: the lines listed so far stay.
  CCollectingSink no;
  no.m_bContinue = FALSE;
  EXPECT_EQ(401, ListPathRecords(data, bytes.size(), o, no));
  EXPECT_EQ(1, no.m_asked);
  EXPECT_EQ(401u, no.m_lines.size());

  // A checkpoint that answers FALSE ends the listing there.
  CCollectingSink stopped;
  stopped.m_nStopAtCheckpoint = 2;
  EXPECT_EQ(201, ListPathRecords(data, bytes.size(), o, stopped));
  EXPECT_EQ(0, stopped.m_asked);
}

class FileViewTest : public AppFolderTest {};

TEST_F(FileViewTest, MapsWholeFilesAndRefusesMissingAndEmptyOnes) {
  std::string bytes = StructsBytes(CraftedJob());
  ASSERT_TRUE(testing_support::WriteFileBytes(Path("a.structs"), bytes));
  ASSERT_TRUE(testing_support::WriteFileBytes(Path("empty.structs"), ""));
  CReadOnlyFileView view;
  ASSERT_TRUE(view.Open(Path("a.structs")));
  ASSERT_EQ(bytes.size(), view.Size());
  EXPECT_EQ(0, std::memcmp(bytes.data(), view.Data(), bytes.size()));
  EXPECT_FALSE(view.Open(Path("empty.structs")));
  EXPECT_EQ(nullptr, view.Data());
  EXPECT_EQ(0u, view.Size());
  EXPECT_FALSE(view.Open(Path("none.structs")));
  // Another reader may have the file open for writing meanwhile.
  ASSERT_TRUE(view.Open(Path("a.structs")));
  CFile writer;
  EXPECT_TRUE(writer.Open(Path("a.structs"), CFile::modeReadWrite | CFile::shareDenyNone | CFile::typeBinary));
}

}  // namespace
