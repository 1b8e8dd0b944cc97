// The ".structs" file: records of a real loaded program written and read back, files
// of partial records, the toolpath length, cancel and failure on both sides.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/tests/app_folder_test.h"
#include "jobs/structs_file.h"
#include "jobs/table/program_records.h"
#include "jobs/tests/progress_probe.h"
#include "platform/bytes.h"

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

namespace {

const char kProgram[] =
    "G0 X0 Y0 Z5\n"
    "G1 Z-1 F100\n"
    "G1 X10 Y0\n"
    "G2 X20 Y0 I5 J0\n"
    "T2\n"
    "G1 X20 Y10\n"
    "M30\n";

// Records from a list (built by hand or taken from a program).
class CListSource : public CPathRecordSource {
 public:
  std::vector<PathRecord> records;
  int GetRecordCount() override { return (int)records.size(); }
  BOOL GetRecord(int index, PathRecord& record) override {
    if (index < 0 || index >= (int)records.size()) return FALSE;
    record = records[index];
    return TRUE;
  }
};

class CListSink : public CPathRecordSink {
 public:
  std::vector<PathRecord> records;
  int clears = 0;
  int refuseAt = -1;  // the index of the record Append refuses
  void Clear() override {
    records.clear();
    ++clears;
  }
  BOOL Append(const PathRecord& record) override {
    if ((int)records.size() == refuseAt) return FALSE;
    records.push_back(record);
    return TRUE;
  }
};

PathRecord Move(WORD code, double x, double y, double z, DWORD discard = 0) {
  PathRecord r;
  r.m_nCode = code;
  r.m_nDiscard = discard;
  r.m_vEnd = Vec3(x, y, z);
  return r;
}

std::string StoredBytes(const PathRecord& r) {
  PathRecordData d = r.Data();
  d.m_nReserved = 0;
  d.m_nToolRef = 0;
  return std::string(reinterpret_cast<const char*>(&d), kPathRecordSize);
}

class StructsFileTest : public AppFolderTest {
 protected:
  // A real program, loaded from G-code as the operator imports one.
  void Load(CNCProgram& program, const char* text) {
    CString path = Path("part.nc");
    ASSERT_TRUE(WriteFileBytes(path, text));
    ASSERT_TRUE(program.LoadFromNCFile(nullptr, path, Vec3(1, 1, 1)));
    ASSERT_GT(program.GetElementCount(), 0);
  }
  testing_support::MessageBoxRecorder m_boxes;
};

TEST_F(StructsFileTest, RecordsOfALoadedProgramWrittenAndReadBack) {
  CNCProgram program;
  Load(program, kProgram);
  int n = program.GetElementCount();
  CString path = Path("job.structs");
  CProgramRecordSource source(program);
  ASSERT_TRUE(WriteStructsFile(path, source, nullptr));

  // The file is the program's records in order, 118 bytes each, nothing else.
  std::string file = ReadFileBytes(path);
  ASSERT_EQ((size_t)n * 118, file.size());
  std::string expected;
  int feeds = 0;
  for (int i = 0; i < n; ++i) {
    PathRecord r;
    ASSERT_TRUE(program.GetPathRecord(i, r, FALSE));
    expected += StoredBytes(r);
    const uint8_t* b = reinterpret_cast<const uint8_t*>(file.data()) + i * 118;
    EXPECT_EQ(0u, bytes::Load32(b + 14)) << i;
    EXPECT_EQ(0u, bytes::Load32(b + 114)) << i;
    // The fields at their offsets, read without the struct.
    EXPECT_EQ(uint16_t(r.m_nCode), bytes::Load16(b)) << i;
    EXPECT_EQ(uint32_t(r.m_nLine), bytes::Load32(b + 10)) << i;
    if (r.m_nCode == 1) {
      ++feeds;
      EXPECT_EQ(double(r.m_vEnd.x), bytes::LoadDouble(b + 66)) << i;
      EXPECT_EQ(double(r.m_vEnd.y), bytes::LoadDouble(b + 74)) << i;
      EXPECT_EQ(double(r.m_vEnd.z), bytes::LoadDouble(b + 82)) << i;
    }
  }
  EXPECT_EQ(expected, file);
  EXPECT_GE(feeds, 3);

  // Read back into another program: the same records; the tool tag keeps its number.
  CNCProgram back;
  CProgramRecordSink sink(back);
  double length_mm = -1.0;
  ASSERT_TRUE(ReadStructsFile(path, sink, nullptr, &length_mm));
  ASSERT_EQ(n, back.GetElementCount());
  for (int i = 0; i < n; ++i) {
    PathRecord a, b;
    ASSERT_TRUE(program.GetPathRecord(i, a, FALSE));
    ASSERT_TRUE(back.GetPathRecord(i, b, FALSE));
    EXPECT_EQ(StoredBytes(a), StoredBytes(b)) << i;
  }
  EXPECT_STREQ(program.GetUsedTools(), back.GetUsedTools());
  EXPECT_EQ(program.GetTagCount(), back.GetTagCount());
  EXPECT_GT(length_mm, 0.0);
}

TEST_F(StructsFileTest, FilesOfPartialRecords) {
  CListSource source;
  source.records = {Move(0, 1, 2, 3), Move(1, 4, 5, 6), Move(1, 7, 8, 9)};
  ASSERT_TRUE(WriteStructsFile(Path("three.structs"), source, nullptr));
  std::string three = ReadFileBytes(Path("three.structs"));
  ASSERT_EQ(354u, three.size());
  struct {
    const char* why;
    std::string bytes;
    int records;  // -1: the read fails and the sink is untouched
  } cases[] = {
      {"117 bytes", three.substr(0, 117), -1},     {"empty", "", -1},           {"one record", three.substr(0, 118), 1},
      {"236 + 50 bytes", three.substr(0, 286), 2}, {"three records", three, 3},
  };
  for (const auto& c : cases) {
    CString path = Path("case.structs");
    ASSERT_TRUE(WriteFileBytes(path, c.bytes));
    CListSink sink;
    sink.records.push_back(Move(1, 0, 0, 0));  // what the destination held before
    BOOL ok = ReadStructsFile(path, sink, nullptr, nullptr);
    if (c.records < 0) {
      EXPECT_FALSE(ok) << c.why;
      EXPECT_EQ(1u, sink.records.size()) << c.why;
      EXPECT_EQ(0, sink.clears) << c.why;
    } else {
      EXPECT_TRUE(ok) << c.why;
      ASSERT_EQ((size_t)c.records, sink.records.size()) << c.why;
      EXPECT_EQ(StoredBytes(source.records[c.records - 1]), StoredBytes(sink.records.back())) << c.why;
    }
  }
  CListSink sink;
  EXPECT_FALSE(ReadStructsFile(Path("missing.structs"), sink, nullptr, nullptr));
}

TEST_F(StructsFileTest, ToolpathLengthFromTheRecords) {
  struct {
    const char* why;
    std::vector<PathRecord> records;
    double length_mm;
  } cases[] = {
      {"the first move only sets the start", {Move(1, 3, 4, 0)}, 0.0},
      {"feed, rapid, feed: the rapid adds nothing, the second feed starts at the rapid's end",
       {Move(1, 0, 0, 0), Move(0, 3, 4, 0), Move(1, 3, 4, 12)},
       12.0},
      {"an arc counts its chord", {Move(0, 0, 0, 0), Move(2, 6, 8, 0)}, 10.0},
      {"a discarded move adds nothing and is not the start of the next",
       {Move(0, 0, 0, 0), Move(1, 100, 0, 0, 1), Move(1, 0, 5, 0)},
       5.0},
      {"tags and mode codes are no moves",
       {Move(0, 0, 0, 0), Move(0xFFFF, 9, 9, 9), Move(17, 9, 9, 9), Move(1, 1, 0, 0)},
       1.0},
  };
  for (auto& c : cases) {
    CListSource source;
    source.records = c.records;
    CString path = Path("length.structs");
    ASSERT_TRUE(WriteStructsFile(path, source, nullptr)) << c.why;
    CListSink sink;
    double length_mm = -1.0;
    ASSERT_TRUE(ReadStructsFile(path, sink, nullptr, &length_mm)) << c.why;
    EXPECT_DOUBLE_EQ(c.length_mm, length_mm) << c.why;
  }
}

// Writing: a cancelled or failed write reports failure and leaves the old file alone.
TEST_F(StructsFileTest, CancelledOrEmptyWriteKeepsTheOldFile) {
  CListSource source;
  for (int i = 0; i < 1200; ++i) source.records.push_back(Move(1, i, 0, 0));
  CString path = Path("job.structs");
  ASSERT_TRUE(WriteFileBytes(path, "old records"));

  CProgressProbe cancel;
  cancel.cancelAfterReports = 2;  // the second checkpoint, after 1000 records
  EXPECT_FALSE(WriteStructsFile(path, source, &cancel));
  EXPECT_EQ(2, cancel.reports);
  EXPECT_EQ(1000, cancel.lastPosition);
  EXPECT_EQ(1200, cancel.lastRange);
  EXPECT_EQ("old records", ReadFileBytes(path));
  EXPECT_FALSE(FileExists(path + kReplacingSuffix));

  CListSource empty;
  EXPECT_FALSE(WriteStructsFile(path, empty, nullptr));
  EXPECT_EQ("old records", ReadFileBytes(path));
  EXPECT_FALSE(WriteStructsFile(Path("new.structs"), empty, nullptr));
  EXPECT_FALSE(FileExists(Path("new.structs")));

  CProgressProbe watch;
  ASSERT_TRUE(WriteStructsFile(path, source, &watch));
  EXPECT_EQ(1200, watch.lastPosition);
  EXPECT_EQ(1200u * 118, ReadFileBytes(path).size());
}

// Reading: cancel and a record the destination cannot take empty the destination.
TEST_F(StructsFileTest, CancelledOrRefusedReadEmptiesTheDestination) {
  CListSource source;
  for (int i = 0; i < 1200; ++i) source.records.push_back(Move(1, i, 0, 0));
  CString path = Path("job.structs");
  ASSERT_TRUE(WriteStructsFile(path, source, nullptr));

  CNCProgram program;
  Load(program, kProgram);
  CProgramRecordSink sink(program);
  CProgressProbe cancel;
  cancel.cancelAfterReports = 1;
  EXPECT_FALSE(ReadStructsFile(path, sink, &cancel, nullptr));
  EXPECT_EQ(0, program.GetElementCount());

  CListSink refusing;
  refusing.refuseAt = 700;
  EXPECT_FALSE(ReadStructsFile(path, refusing, nullptr, nullptr));
  EXPECT_TRUE(refusing.records.empty());

  CProgressProbe watch;
  CListSink all;
  ASSERT_TRUE(ReadStructsFile(path, all, &watch, nullptr));
  EXPECT_EQ(1200u, all.records.size());
  EXPECT_EQ(1200, watch.lastPosition);
  EXPECT_EQ(1200, watch.lastRange);
}

// A file bigger than one read chunk.
TEST_F(StructsFileTest, FilesLongerThanOneChunk) {
  CListSource source;
  const int n = kStructsChunkRecords * 2 + 7;
  for (int i = 0; i < n; ++i) source.records.push_back(Move(1, i, 0, 0));
  CString path = Path("long.structs");
  ASSERT_TRUE(WriteStructsFile(path, source, nullptr));
  CListSink sink;
  double length_mm = 0.0;
  ASSERT_TRUE(ReadStructsFile(path, sink, nullptr, &length_mm));
  ASSERT_EQ((size_t)n, sink.records.size());
  EXPECT_EQ(n - 1.0, double(sink.records.back().m_vEnd.x));
  EXPECT_DOUBLE_EQ(n - 1.0, length_mm);
}

}  // namespace
