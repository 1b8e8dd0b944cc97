// Loading files: kind detection, the line loop, its limits, cancel and the report.
#include <cstring>
#include <string>
#include <vector>

#include "foundation/texts.h"
#include "nc/tests/nc_test_support.h"

using nc_testing::Describe;
using nc_testing::Join;
using testing_support::MessageBoxRecorder;
using testing_support::WriteFileBytes;

namespace {

class NCLoadTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    g_nUiLanguage = 1;
  }
  CString Write(const char* name, const std::string& bytes) {
    CString path = m_dir / name;
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return path;
  }
  MessageBoxRecorder m_boxes;
};

const char kUnknownKind[] = "Unknown character found, it is not a HPGL/G Code/BNC format file";

TEST_F(NCLoadTest, FileKinds) {
  struct {
    const char* why;
    std::string bytes;
    const char* kind;
    bool told;  // the operator was told the file is of no kind
  } cases[] = {
      {"9 bytes", "G1 X1\r\nG0", "", false},
      {"10 bytes of G-code", "G1X1\r\nG0X1", "GCODE", false},
      {"HPGL", "IN;\r\nSP1;\r\nPU0,0;\r\n", "HPGL", false},
      {"tie of HPGL and G-code", "PU;\nG1 X1\n", "HPGL", false},
      {"tie with unknown lines", "PU;\n$$$$$$$$\n", "", true},
      {"only comments", "(abc)\n(def)\n)x\n", "", true},
      {"a percent line counts as G-code", "(abc)\n%\n(def)\n", "GCODE", false},
      {"marks before HPGL", ";;!PU0,0;\n!;PD1,1;\n", "HPGL", false},
      {"empty lines do not count", "\n\n\n   \nG1 X5 Y5\n", "GCODE", false},
      {"binary", std::string("G1 X1\0\1\2\3\4\5\6", 13), "", true},
      {"GB text in a comment", "G1 X1 (\xB5\xB6\xBE\xDF)\nG0 X0\n", "GCODE", false},
      {"GB text outside a comment", "G1 X1 \xB5\xB6\nG0 X0\n", "", true},
      {"comment ends at the line end", "(note\n\x01G1 X1\n", "", true},
  };
  for (const auto& k : cases) {
    m_boxes.Clear();
    CString path = Write("kind.nc", k.bytes);
    EXPECT_STREQ(k.kind, DetectNCFileKind(path)) << k.why;
    ASSERT_EQ(k.told ? 1u : 0u, m_boxes.Boxes().size()) << k.why;
    if (k.told) {
      EXPECT_EQ(kUnknownKind, m_boxes.Boxes()[0].text) << k.why;
    }
  }
  EXPECT_STREQ("", DetectNCFileKind(m_dir / "missing.nc"));
  EXPECT_STREQ("ERROR", SniffNCText(m_dir / "missing.nc", 20));
  // The mnemonic list comes from the settings and stands there afterwards.
  CString path = Write("sp.plt", "SP1;\nSP2;\n");
  EXPECT_STREQ("HPGL", SniffNCText(path, 20));
  EXPECT_STREQ("PAPRPUPDINSFSWSAZWSPAAAR", GetParamValue("HPGL", "Enabled", ""));
  PutParamValue("HPGL", "Enabled", "PAPU");
  EXPECT_STREQ("GCODE", SniffNCText(path, 20));
  // Only the first non-empty lines vote.
  path = Write("votes.plt", "PU;\n\nPD;\nG1\nG1\nG1\n");
  EXPECT_STREQ("GCODE", SniffNCText(path, 5));
  EXPECT_STREQ("HPGL", SniffNCText(path, 2));
}

TEST_F(NCLoadTest, HpglFileLoads) {
  CString path = Write("a.plt", "IN;\r\nSP1;\r\nPU100,100;\r\n\r\nPD200,100,200,200;\r\nPU;SP0;\r\nPD0,0;\r\n");
  CNCProgram p;
  ASSERT_TRUE(p.LoadFromNCFile(nullptr, path, Vec3(1, 1, 1)));
  EXPECT_EQ("T=1\nZZ=0\nR(0.5,0.5,0)\nF(1,0.5,0)\nF(1,1,0)\nM=2\n", Join(Describe(p)));
  EXPECT_STREQ("HPGL", p.GetFileKind());
  // Each element carries its line; the empty line 4 counts.
  DWORD lines[] = {2, 3, 3, 5, 5, 6};
  for (int i = 0; i < 6; i++) EXPECT_EQ(lines[i], p.GetElement(i)->m_nLine) << i;
  EXPECT_TRUE(m_boxes.Boxes().empty());
  Vec3 lo, hi;
  p.GetExtentMin(lo, FALSE);
  p.GetExtentMax(hi, FALSE);
  EXPECT_EQ(Vec3(0.5, 0.5, 0), lo);
  EXPECT_EQ(Vec3(1, 1, 0), hi);

  // Axis factors scale every coordinate.
  CNCProgram q;
  ASSERT_TRUE(q.LoadFromNCFile(nullptr, path, Vec3(2, -2, 1)));
  EXPECT_EQ("R(1,-1,0)", Describe(q.GetElement(2)));
}

TEST_F(NCLoadTest, ReportsAtTheEnd) {
  struct {
    const char* why;
    std::string file;
    BOOL result;
    const char* box;  // "" none
  } cases[] = {
      {"first move a feed", "PD;PA10,10;\nPU;PA0,0;\n", TRUE,
       "!!! The first moving code is a feeding code (not PU / G00 / U), so this may result in an "
       "unexcepted line in the view window. !!!"},
      {"unknown commands", "PU;PA10,10;\nXX;PA5,5;\nPA1,1;%s;\n", TRUE,
       "Warning for unknown code(s), or parameter(s) not assigned, or invalid expression: "
       "\r\n\r\nLine 2: XX;\r\nLine 3: %S;\r\n"},
      {"both", "PD;PA10,10;\nQQ;\n", TRUE,
       "!!! The first moving code is a feeding code (not PU / G00 / U), so this may result in an "
       "unexcepted line in the view window. !!!\r\n\r\nWarning for unknown code(s), or parameter(s) "
       "not assigned, or invalid expression: \r\n\r\nLine 2: QQ;\r\n"},
  };
  for (const auto& k : cases) {
    m_boxes.Clear();
    CNCProgram p;
    EXPECT_EQ(k.result, p.LoadFromNCFile(nullptr, Write("r.plt", k.file), Vec3(1, 1, 1))) << k.why;
    ASSERT_EQ(1u, m_boxes.Boxes().size()) << k.why;
    EXPECT_EQ(k.box, m_boxes.Boxes()[0].text) << k.why;
    EXPECT_EQ(UINT(MB_OK), m_boxes.Boxes()[0].type & 0xF);
  }
}

TEST_F(NCLoadTest, OverlongLinesEndTheLoad) {
  // 509 characters and a newline are read; 510 and a newline are too long.
  std::string ok = "PU;PA10,10;" + std::string(498, ' ') + "\n";
  std::string tooLong = "PA20,20;" + std::string(502, ' ') + "\n";
  ASSERT_EQ(510u, ok.size());
  ASSERT_EQ(511u, tooLong.size());
  CNCProgram p;
  EXPECT_TRUE(p.LoadFromNCFile(nullptr, Write("long.plt", ok + tooLong + "PA30,30;\n"), Vec3(1, 1, 1)));
  EXPECT_EQ("ZZ=0\nR(0.05,0.05,0)\n", Join(Describe(p)));
  EXPECT_STREQ("Command too long", p.GetErrors());
  ASSERT_EQ(1u, m_boxes.Boxes().size());

  // A file of one huge line.
  m_boxes.Clear();
  CNCProgram q;
  std::string huge = "PU;";
  while (huge.size() < 200000) huge += "PA1,1;";
  EXPECT_TRUE(q.LoadFromNCFile(nullptr, Write("huge.plt", huge), Vec3(1, 1, 1)));
  EXPECT_EQ(0, q.GetElementCount());
  EXPECT_STREQ("Command too long", q.GetErrors());
}

TEST_F(NCLoadTest, ProgramEndStopsReading) {
  CNCProgram p;
  EXPECT_TRUE(p.LoadFromNCFile(nullptr, Write("end.plt", "PU;PA1,1;\nSP0;\nPA2,2;\nGARBAGE;\n"), Vec3(1, 1, 1)));
  EXPECT_EQ("ZZ=0\nR(0.005,0.005,0)\nM=2\n", Join(Describe(p)));
  EXPECT_TRUE(m_boxes.Boxes().empty());
}

struct CancelAfter : CProgressSink {
  explicit CancelAfter(int n) : left(n) {}
  void SetProgress(int position, int range) override { calls.push_back({position, range}); }
  BOOL IsCanceled() override { return --left < 0; }
  int left;
  std::vector<std::pair<int, int>> calls;
};

TEST_F(NCLoadTest, ProgressAndCancel) {
  std::string file;
  for (int i = 0; i < 50; i++) file += "PU;PA" + std::to_string(i) + ",0;\n";
  CString path = Write("many.plt", file);
  CancelAfter never(1000000);
  CNCProgram p;
  ASSERT_TRUE(p.LoadFromNCFile(&never, path, Vec3(1, 1, 1)));
  ASSERT_EQ(50u, never.calls.size());
  EXPECT_EQ(std::make_pair(int(file.size() / 10), int(file.size() / 10)), never.calls.back());
  EXPECT_EQ(std::make_pair(1, int(file.size() / 10)), never.calls[0]);  // 10 bytes read

  CancelAfter soon(3);
  CNCProgram q;
  EXPECT_FALSE(q.LoadFromNCFile(&soon, path, Vec3(1, 1, 1)));
  EXPECT_EQ(4u, soon.calls.size());
  EXPECT_EQ(5, q.GetElementCount());  // ZZ and the moves of the first four lines stay
}

TEST_F(NCLoadTest, FilesOfNoKindLoadNothing) {
  CNCProgram p;
  EXPECT_FALSE(p.LoadFromNCFile(nullptr, Write("empty.plt", ""), Vec3(1, 1, 1)));
  EXPECT_FALSE(p.LoadFromNCFile(nullptr, m_dir / "missing.plt", Vec3(1, 1, 1)));
  EXPECT_FALSE(p.LoadFromNCFile(nullptr, Write("bin.plt", std::string(4000, '\xFE')), Vec3(1, 1, 1)));
  EXPECT_EQ(0, p.GetElementCount());
  EXPECT_STREQ("", p.GetFileKind());
}

// Stands in for the G-code interpreter: reads its own file, records what it is given.
class FakeGCodeReader : public CGCodeReader {
 public:
  explicit FakeGCodeReader(CNCProgram& p) : m_program(p) {}
  BOOL OpenFile(const char* path) override { return m_file.Open(path); }
  int ReadLine(char* line, int capacity, ULONGLONG* position) override {
    int n = m_file.ReadLine(line, capacity);
    *position = m_file.GetPosition();
    return n;
  }
  BOOL InterpretLine(int line, char* text) override {
    m_lines.push_back(std::to_string(line) + ":" + text);
    if (!std::strcmp(text, "M30")) return FALSE;
    m_program.m_vLastPoint = m_program.m_vNewPoint;
    m_program.m_vNewPoint.x += 1;
    m_program.AddLine(kCodeFeed, kAxisX, m_program.m_vNewPoint);
    return TRUE;
  }
  void CloseFile() override {
    m_closed = true;
    m_file.Close();
  }
  CNCProgram& m_program;
  CTextLineFile m_file;
  std::vector<std::string> m_lines;
  bool m_closed = false;
};

TEST_F(NCLoadTest, GCodeLinesGoToTheInterpreter) {
  CNCProgram p;
  auto owned = std::make_unique<FakeGCodeReader>(p);
  FakeGCodeReader* reader = owned.get();
  p.m_pGCode = std::move(owned);
  std::string file = "  G1 X1 \r\n\r\nG1 X2\t\n" + std::string(509, 'G') + "\nM30\nG1 X9\n";
  ASSERT_TRUE(p.LoadFromNCFile(nullptr, Write("a.nc", file), Vec3(1, 1, 1)));
  ASSERT_EQ(5u, reader->m_lines.size());
  EXPECT_EQ("1:G1 X1", reader->m_lines[0]);
  EXPECT_EQ("2:", reader->m_lines[1]);
  EXPECT_EQ("3:G1 X2", reader->m_lines[2]);
  EXPECT_EQ("5:M30", reader->m_lines[4]);
  EXPECT_TRUE(reader->m_closed);
  EXPECT_EQ(4, p.GetElementCount());
  ASSERT_EQ(1u, m_boxes.Boxes().size());  // the first move is a feed

  // The line limit holds for G-code as for HPGL.
  CNCProgram q;
  q.m_pGCode = std::make_unique<FakeGCodeReader>(q);
  EXPECT_TRUE(q.LoadFromNCFile(nullptr, Write("b.nc", "G1 X1\n" + std::string(600, 'X') + "\nG1 X2\n"), Vec3(1, 1, 1)));
  EXPECT_EQ(1, q.GetElementCount());
  EXPECT_STREQ("Command too long", q.GetErrors());
}

}  // namespace
