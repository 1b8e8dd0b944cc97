// Loading files as the operator's import does: kind detection, the line (statement)
// loop, its limits, line ends and odd bytes, cancel, the element limit and the report.
#include <cstring>
#include <string>
#include <vector>

#include "foundation/texts.h"
#include "nc/loader/nc_loader.h"
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
  BOOL Load(CNCProgram& p, const char* name, const std::string& bytes) {
    return p.LoadFromNCFile(nullptr, Write(name, bytes), Vec3(1, 1, 1));
  }
  // The one report box of the last load ("" without one).
  std::string Box() const { return m_boxes.Boxes().empty() ? "" : m_boxes.Boxes().back().text; }
  MessageBoxRecorder m_boxes;
};

constexpr char kUnknownKind[] = "Unknown character found, it is not a HPGL/G Code/BNC format file";
constexpr char kError[] = "Error(the last item):\r\n\r\n";
constexpr char kWarning[] =
    "Warning for unknown code(s), or parameter(s) not assigned, or invalid expression: \r\n\r\n";

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
      {"byte-order mark", "\xEF\xBB\xBFG0 X1 Y1\nG1 X2\n", "GCODE", false},
      {"CR line ends", "(a)\rPU;\rPU;\rG1\r", "HPGL", false},
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
  // A list that stands is not written back (a longer one would be cut in the file).
  const std::string longList = "SPPU" + std::string(300, 'Q');
  PutParamValue("HPGL", "Enabled", longList.c_str());
  EXPECT_STREQ("HPGL", SniffNCText(path, 20));
  EXPECT_EQ(longList, std::string(ReadIniValue("HPGL", "Enabled", "?", GetParamsFilePath())));
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

// Plotters often write a whole plot on one line, or break lines inside a statement: HPGL
// is read statement by statement, whatever the lines.
TEST_F(NCLoadTest, HpglStatementsWhateverTheLines) {
  std::string plot = "IN;SP1;PU0,0;";
  for (int i = 1; i <= 2000; i++) plot += "PD" + std::to_string(i * 10) + ",0;";
  plot += "PU;SP0;";
  CNCProgram one;
  ASSERT_TRUE(Load(one, "one.plt", plot));
  EXPECT_EQ(2000 + 4, one.GetElementCount());  // T, ZZ, the rapid, 2000 feeds, M
  EXPECT_EQ("F(100,0,0)", Describe(one.GetElement(one.GetElementCount() - 2)));
  EXPECT_EQ("", Box());

  // A statement broken over lines (any line end) is one statement; it counts on the
  // line where it starts.
  CNCProgram broken;
  ASSERT_TRUE(Load(broken, "broken.plt", "IN;\r\nSP1;\r\nPU100,\r\n100;PD\n200,\r100;\nSP0;"));
  EXPECT_EQ("T=1\nZZ=0\nR(0.5,0.5,0)\nF(1,0.5,0)\nM=2\n", Join(Describe(broken)));
  EXPECT_EQ(3u, broken.GetElement(2)->m_nLine);
  EXPECT_EQ(4u, broken.GetElement(3)->m_nLine);
}

TEST_F(NCLoadTest, ReportsAtTheEnd) {
  struct {
    const char* why;
    std::string file;
    BOOL result;
    std::string box;  // "" none
  } cases[] = {
      {"first move a feed", "PD;PA10,10;\nPU;PA0,0;\n", TRUE,
       "!!! The first moving code is a feeding code (not PU / G00 / U), so this may result in an "
       "unexcepted line in the view window. !!!"},
      {"unknown commands", "PU;PA10,10;\nXX;PA5,5;\nPA1,1;%s;\n", TRUE,
       std::string(kWarning) + "Line 2: XX;\r\nLine 3: %S;\r\n"},
      {"both", "PD;PA10,10;\nQQ;\n", TRUE,
       "!!! The first moving code is a feeding code (not PU / G00 / U), so this may result in an "
       "unexcepted line in the view window. !!!\r\n\r\n" +
           std::string(kWarning) + "Line 2: QQ;\r\n"},
  };
  for (const auto& k : cases) {
    m_boxes.Clear();
    CNCProgram p;
    EXPECT_EQ(k.result, Load(p, "r.plt", k.file)) << k.why;
    ASSERT_EQ(1u, m_boxes.Boxes().size()) << k.why;
    EXPECT_EQ(k.box, m_boxes.Boxes()[0].text) << k.why;
    EXPECT_EQ(UINT(MB_OK), m_boxes.Boxes()[0].type & 0xF);
  }
}

// A G-code line over the limit ends the load: the load fails and the report names the
// line. The line end is no part of the length, whichever it is.
TEST_F(NCLoadTest, OverlongLinesFailTheLoad) {
  const std::string ok = "G1 X1" + std::string(504, ' ');  // 509 characters
  const std::string tooLong = "G1 X2" + std::string(505, ' ');
  for (const char* end : {"\n", "\r\n", "\r"}) {
    m_boxes.Clear();
    CNCProgram p;
    EXPECT_FALSE(Load(p, "long.nc", "G0 X0\n" + ok + end + tooLong + end + "G1 X3\n")) << end;
    EXPECT_EQ("R(0,0,0)\nF(1,0,0)\n", Join(Describe(p))) << end;
    EXPECT_EQ(std::string(kError) + "Line 3: Command too long\r\n", Box()) << end;
  }
  // A comment of 600 characters used to end the load after it, reported as a warning.
  m_boxes.Clear();
  CNCProgram c;
  EXPECT_FALSE(Load(c, "comment.nc", "G0 X0\n(" + std::string(600, 'c') + ")\nG1 X1\n"));
  EXPECT_EQ("R(0,0,0)\n", Join(Describe(c)));
  EXPECT_EQ(std::string(kError) + "Line 2: Command too long\r\n", Box());

  // HPGL has no line limit; a statement may be as long as a plot of one line.
  m_boxes.Clear();
  CNCProgram h;
  EXPECT_TRUE(Load(h, "long.plt", "PU;PA10,10;" + std::string(2000, ' ') + "PA20,20;\n"));
  EXPECT_EQ("ZZ=0\nR(0.05,0.05,0)\nR(0.1,0.1,0)\n", Join(Describe(h)));
}

TEST_F(NCLoadTest, LineEndsAndOddBytes) {
  // A NUL within the first 2048 bytes makes the file binary; later ones are in a line.
  std::string head, plotHead;
  for (int i = 0; i < 300; i++) head += "N100   \n";
  for (int i = 0; i < 300; i++) plotHead += "IN;    \n";
  struct {
    const char* why;
    std::string file;
    BOOL result;
    const char* elements;
    std::string box;
  } cases[] = {
      {"CR line ends", "G0 X0\rG1 X1\rG1 X2\r", TRUE, "R(0,0,0)\nF(1,0,0)\nF(2,0,0)\n", ""},
      {"mixed line ends", "G0 X0\r\nG1 X1\rG1 X2\nG1 X3", TRUE, "R(0,0,0)\nF(1,0,0)\nF(2,0,0)\nF(3,0,0)\n", ""},
      {"byte-order mark", "\xEF\xBB\xBFG0 X0\nG1 X1\n", TRUE, "R(0,0,0)\nF(1,0,0)\n", ""},
      {"NUL in a line", head + std::string("G0 X0\nG1 X1\0Y5\nG1 X2\n", 20), TRUE, "R(0,0,0)\nF(1,0,0)\nF(2,0,0)\n",
       std::string(kWarning) + "Line 302: NUL character: the rest of the line is ignored\r\n"},
      {"HPGL with CR line ends", "IN;\rPU100,100;\rPD200,100;\r", TRUE, "ZZ=0\nR(0.5,0.5,0)\nF(1,0.5,0)\n", ""},
      {"NUL in an HPGL statement", plotHead + std::string("IN;\nPU1\0,1;\nPU2,2;\n", 19), TRUE,
       "ZZ=0\nR(0.01,0.01,0)\n", std::string(kWarning) + "Line 302: NUL character: the statement is ignored\r\n"},
  };
  for (const auto& k : cases) {
    m_boxes.Clear();
    CNCProgram p;
    EXPECT_EQ(k.result, Load(p, "odd.nc", k.file)) << k.why;
    EXPECT_EQ(k.elements, Join(Describe(p))) << k.why;
    EXPECT_EQ(k.box, Box()) << k.why;
  }
}

// A statement is read only whole: a last command without its ";" is left out, and the
// operator is told. An end-of-file mark or stray bytes after the last ";" are no command.
TEST_F(NCLoadTest, HpglLastCommandWithoutItsSemicolon) {
  std::string head;  // past the bytes the kind detection looks at
  for (int i = 0; i < 300; i++) head += "IN;    \n";
  struct {
    const char* why;
    std::string file;
    const char* elements;
    std::string box;
  } cases[] = {
      {"a last pen move", "IN;PU0,0;\nPD100,0;\nPD100,100\n", "ZZ=0\nR(0,0,0)\nF(0.5,0,0)\n",
       std::string(kWarning) + "Line 3: <PD100,100>No semicolon ends the last command of the file: it is left out\r\n"},
      {"a plot without any", "IN\nSP1\nPU0,0\nPD100,0\n" + std::string(60, '1'), "",
       std::string(kWarning) + "Line 1: <INSP1PU0,0PD100,0" + std::string(23, '1') +
           "...>No semicolon ends the last command of the file: it is left out\r\n"},
      {"an end-of-file mark", head + "PU0,0;PD100,0;\r\n\x1A", "ZZ=0\nR(0,0,0)\nF(0.5,0,0)\n", ""},
      {"blanks", "IN;PU0,0;PD100,0;\n  \n", "ZZ=0\nR(0,0,0)\nF(0.5,0,0)\n", ""},
  };
  for (const auto& k : cases) {
    m_boxes.Clear();
    CNCProgram p;
    EXPECT_TRUE(Load(p, "last.plt", k.file)) << k.why;
    EXPECT_EQ(k.elements, Join(Describe(p))) << k.why;
    EXPECT_EQ(k.box, Box()) << k.why;
  }
  // 文件最后一条命令没有以分号结束，未执行 in GB2312.
  g_nUiLanguage = 0;
  CNCProgram chinese;
  EXPECT_TRUE(Load(chinese, "last.plt", "IN;PU0,0;PD1,1"));
  EXPECT_NE(std::string::npos,
            Box().find("Line 1: <PD1,1>"
                       "\xCE\xC4\xBC\xFE\xD7\xEE\xBA\xF3\xD2\xBB\xCC\xF5\xC3\xFC\xC1\xEE\xC3\xBB\xD3\xD0"
                       "\xD2\xD4\xB7\xD6\xBA\xC5\xBD\xE1\xCA\xF8\xA3\xAC\xCE\xB4\xD6\xB4\xD0\xD0\r\n"))
      << Box();
}

// Values that are not finite numbers never reach the elements: the command is refused and
// reported, as the G-code reader does with its words.
TEST_F(NCLoadTest, HpglValuesThatAreNotFiniteNumbers) {
  CNCProgram p;
  EXPECT_TRUE(Load(p, "inf.plt", "IN;PU0,0;\nPD1E999,0;\nPD10,10;\nAA1E400,0,90;\nSF1E999;\nPU20,20;\n"));
  EXPECT_EQ("ZZ=0\nR(0,0,0)\nF(0.05,0.05,0)\nR(0.1,0.1,0)\n", Join(Describe(p)));
  EXPECT_EQ(std::string(kWarning) +
                "Line 2: <PD1E999,0;>Not a finite number\r\nLine 4: <AA1E400,0,90;>Not a finite "
                "number\r\nLine 5: <SF1E999;>Not a finite number\r\n",
            Box());
}

TEST_F(NCLoadTest, ProgramEndStopsReading) {
  CNCProgram p;
  EXPECT_TRUE(Load(p, "end.plt", "PU;PA1,1;\nSP0;\nPA2,2;\nGARBAGE;\n"));
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
  ASSERT_EQ(100u, never.calls.size());  // one per statement
  EXPECT_EQ(std::make_pair(int(file.size() / 10), int(file.size() / 10)), never.calls.back());

  CancelAfter soon(7);
  CNCProgram q;
  EXPECT_FALSE(q.LoadFromNCFile(&soon, path, Vec3(1, 1, 1)));
  EXPECT_EQ(8u, soon.calls.size());
  EXPECT_EQ(5, q.GetElementCount());  // ZZ and the moves of the first four lines stay
}

TEST_F(NCLoadTest, FilesOfNoKindLoadNothing) {
  CNCProgram p;
  EXPECT_FALSE(Load(p, "empty.plt", ""));
  EXPECT_FALSE(p.LoadFromNCFile(nullptr, m_dir / "missing.plt", Vec3(1, 1, 1)));
  EXPECT_FALSE(Load(p, "bin.plt", std::string(4000, '\xFE')));
  EXPECT_EQ(0, p.GetElementCount());
  EXPECT_STREQ("", p.GetFileKind());
}

// A program that needs more elements than the program may hold fails its load at that
// element instead of filling the machine's memory.
TEST_F(NCLoadTest, ElementLimit) {
  CNCProgram p;
  p.SetElementLimit(1000);
  EXPECT_FALSE(Load(p, "loop.nc", "G0 X0\no1 while [1]\n  G91 G1 X1\no1 endwhile\n"));
  EXPECT_LE(p.GetElementCount(), 1000);
  EXPECT_GT(p.GetElementCount(), 900);
  EXPECT_NE(std::string::npos, Box().find("The program needs more than 1000 path elements and cannot be loaded whole"));
  EXPECT_EQ(0u, Box().find(kError));

  CNCProgram h;
  h.SetElementLimit(10);
  std::string plot = "IN;PU0,0;PD";
  for (int i = 1; i < 50; i++) plot += std::to_string(i) + ",0,";
  EXPECT_FALSE(Load(h, "many.plt", plot + "0,0;\n"));
  EXPECT_EQ(10, h.GetElementCount());
}

// G-code lines reach the interpreter trimmed and numbered, up to the program end.
TEST_F(NCLoadTest, GCodeLinesGoToTheInterpreter) {
  CNCProgram p;
  ASSERT_TRUE(Load(p, "a.nc", "  G0 X1 \r\n\r\nG1 X2\t\nM30\nG1 X9\n"));
  EXPECT_EQ("R(1,0,0)\nF(2,0,0)\nM=30\n", Join(Describe(p)));
  EXPECT_EQ(4, p.GetLastLine());
  EXPECT_EQ(3u, p.GetElement(1)->m_nLine);
  EXPECT_EQ("", Box());
}

}  // namespace
