// The CAM file container and the loading of its records.
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>

#include "foundation/checksum.h"
#include "foundation/texts.h"
#include "nc/formats/tests/cam_fixtures.h"
#include "nc/tests/nc_test_support.h"

using nc_testing::Describe;
using nc_testing::Join;
using testing_support::MessageBoxRecorder;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

namespace {

using namespace cam_fixtures;

class CamFileTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    g_nUiLanguage = 1;
  }
  // Loads a CAM file of these records; the result of the load.
  BOOL Load(CNCProgram& p, const std::string& body) {
    CString path = m_dir / "job.cf";
    EXPECT_TRUE(WriteCamFile(path, body));
    return p.LoadFromNCFile(nullptr, path, Vec3(1, 1, 1));
  }
  MessageBoxRecorder m_boxes;
};

TEST_F(CamFileTest, HeaderCheck) {
  std::string header = HeaderBytes();
  ASSERT_EQ(294u, header.size());
  EXPECT_EQ(std::string("\x26\x01\x00\x00\x00\x01Kestrada CAM File\0", 24), header.substr(0, 24));
  struct {
    const char* why;
    std::string bytes;
    bool accepted;
  } cases[] = {
      {"header and no body", header, true},
      {"293 bytes", header.substr(0, 293), false},
      {"magic in lower case",
       [&] {
         std::string h = header;
         for (int i = 6; i < 23; i++) h[i] = (char)tolower(h[i]);
         return h;
       }(),
       true},
      {"other magic",
       [&] {
         std::string h = header;
         h[6] = 'X';
         return h;
       }(),
       false},
      {"text", std::string(400, 'G'), false},
  };
  for (const auto& k : cases) {
    CString path = m_dir / "h.cf";
    ASSERT_TRUE(WriteFileBytes(path, k.bytes));
    EXPECT_EQ(k.accepted, !!IsCamFile(path)) << k.why;
  }
  EXPECT_FALSE(IsCamFile(m_dir / "missing.cf"));
  // An empty file opens with a fresh header (for writing).
  CString empty = m_dir / "empty.cf";
  ASSERT_TRUE(WriteFileBytes(empty, ""));
  CCamFile f;
  ASSERT_TRUE(f.Open(empty, CFile::modeReadWrite | CFile::typeBinary));
  EXPECT_STREQ(kCamMagic, reinterpret_cast<const char*>(f.GetHeader()) + offsetof(CamFileHeader, m_szMagic));
  EXPECT_EQ(0u, f.GetBodyLength());
  f.RewriteHeader();
  EXPECT_EQ(294u, f.GetPosition());
  f.Close();
  EXPECT_EQ(header, ReadFileBytes(empty));
}

TEST_F(CamFileTest, BodyIsScrambledWithTheHeaderDigest) {
  std::string plain;
  for (int i = 0; i < 40; i++) plain += (char)(i * 7);
  CString path = m_dir / "s.cf";
  ASSERT_TRUE(WriteCamFile(path, plain));
  std::string disk = ReadFileBytes(path);
  ASSERT_EQ(294u + 40u, disk.size());
  BYTE key[16];
  Md5Context md5;
  Md5Init(&md5);
  Md5Update(&md5, disk.data() + 6, 288);
  Md5Final(key, &md5);
  for (int i = 0; i < 40; i++) EXPECT_EQ((char)(plain[i] ^ key[i % 16]), disk[294 + i]) << i;
  // Reading unscrambles, also from the middle of the body.
  CCamFile f;
  ASSERT_TRUE(f.Open(path, CFile::modeRead | CFile::typeBinary));
  EXPECT_EQ(0, std::memcmp(key, f.GetKey(), 16));
  EXPECT_EQ(40u, f.GetBodyLength());
  char got[40];
  ASSERT_EQ(40u, f.Read(got, 40));
  EXPECT_EQ(plain, std::string(got, 40));
  f.Seek(294 + 16, CFile::begin);
  ASSERT_EQ(3u, f.Read(got, 3));
  EXPECT_EQ(plain.substr(16, 3), std::string(got, 3));
  EXPECT_EQ(294u + 19u, f.GetPosition());
  EXPECT_EQ(21u, f.Read(got, 40));
}

TEST_F(CamFileTest, RecordsBecomeElements) {
  std::string body = Record(21) + Record(17) + Record(90) + Record(kCamFeedRate, Doubles({600})) +
                     Record(kCamSpindle, Doubles({18000})) + Record(kCamTool, ToolDefinition("ball 3", 5, 3, 3.0)) +
                     Record(kCamMCode, Doubles({3})) + Record(0, Doubles({0, 0, 5})) + Record(1, Doubles({10, 0, -1})) +
                     Record(3, Doubles({0, 10, -1, 0, 0, 0}));
  CNCProgram p;
  p.SetArcTolerance(100);  // whole arcs
  ASSERT_TRUE(Load(p, body));
  EXPECT_EQ("G21\nG17\nG90\nF=10\nS=18000\nT=5 tool=3\nM=3\nR(0,0,5)\nF(10,0,-1)\nCCW(0,10,-1)@(0,0,0)\n",
            Join(Describe(p)));
  EXPECT_STREQ("BNC", p.GetFileKind());
  EXPECT_STREQ("T5", p.GetUsedTools());
  EXPECT_TRUE(m_boxes.Boxes().empty());
  // Records count as lines.
  EXPECT_EQ(8u, p.GetElement(7)->m_nLine);
  const CPathTagElement* tool = AsTag(p.GetElement(5));
  ASSERT_NE(nullptr, tool);
  ASSERT_NE(nullptr, tool->m_pTool);
  EXPECT_EQ(1u, DWORD(tool->m_pTool->m_nKind));  // CAM kind 3 is a ball
  EXPECT_STREQ("ball 3", tool->m_pTool->m_szName);
  EXPECT_EQ(2.0, double(tool->m_pTool->m_dSize1));
  EXPECT_EQ(4.0, double(tool->m_pTool->m_dSize3));
  EXPECT_EQ(7.0, double(tool->m_pTool->m_dSize4));
}

TEST_F(CamFileTest, UnitsIncrementsAndFactors) {
  struct {
    const char* why;
    std::string body;
    Vec3 factors;
    const char* expected;
  } cases[] = {
      // Inches: the centre is scaled like the end point.
      {"inch arc",
       Record(20) + Record(0, Doubles({1, 0, 0})) + Record(3, Doubles({0, 1, 0, 0, 0, 0})),
       {1, 1, 1},
       "G20\nR(25.4,0,0)\nCCW(0,25.4,0)@(0,0,0)\n"},
      {"inch arc off the origin",
       Record(20) + Record(0, Doubles({2, 1, 0})) + Record(2, Doubles({1, 2, 0, 1, 1, 0})),
       {1, 1, 1},
       "G20\nR(25.4,25.4,0) ~\nR(50.8,25.4,0)\nCW(25.4,50.8,0)@(25.4,25.4,0)\n"},
      // Incremental: the end point is relative, the centre absolute.
      {"incremental arc",
       Record(91) + Record(0, Doubles({10, 0, 0})) + Record(3, Doubles({-10, 10, 0, 0, 0, 0})),
       {1, 1, 1},
       "G91\nR(10,0,0)\nCCW(0,10,0)@(0,0,0)\n"},
      {"axis factors",
       Record(1, Doubles({1, 2, 3})) + Record(2, Doubles({2, 0, 3, 1, 0, 3})),
       {2, -1, 1},
       "F(2,-2,3)\nCW(4,0,3)@(2,0,3)\n"},
      {"planes", Record(18) + Record(19) + Record(17), {1, 1, 1}, "G18\nG19\nG17\n"},
  };
  for (const auto& k : cases) {
    CNCProgram p;
    p.SetArcTolerance(100);
    CString path = m_dir / "u.cf";
    ASSERT_TRUE(WriteCamFile(path, k.body));
    m_boxes.Clear();
    EXPECT_TRUE(p.LoadFromNCFile(nullptr, path, k.factors)) << k.why;
    EXPECT_EQ(k.expected, Join(Describe(p))) << k.why;
  }
}

TEST_F(CamFileTest, ToolNumbersOutsideTheRangeAddNothing) {
  std::string body = Record(kCamTool, ToolDefinition("a", 0, 1, 1)) + Record(kCamTool, ToolDefinition("b", 100, 1, 1)) +
                     Record(kCamTool, ToolDefinition("c", 10, 2, 6)) + Record(kCamTool, ToolDefinition("d", 1, 9, 1)) +
                     Record(kCamTool, ToolDefinition("e", 10, 1, 8));
  CNCProgram p;
  ASSERT_TRUE(Load(p, body));
  EXPECT_EQ("T=10 tool=6\nT=1 tool=1\nT=10 tool=8\n", Join(Describe(p)));
  EXPECT_STREQ("T10T1", p.GetUsedTools());
  auto kind = [&](int i) { return DWORD(AsTag(p.GetElement(i))->m_pTool->m_nKind); };
  EXPECT_EQ(6u, kind(0));
  EXPECT_EQ(0u, kind(1));
}

TEST_F(CamFileTest, UnknownAndShortRecordsAreListedOnce) {
  std::string body;
  for (int i = 1; i <= 6; i++) body += Record(90);
  body += Record(0x1234, Doubles({1}));  // record 7
  body += Record(0, Doubles({1, 2}));    // record 8: a move needs three doubles
  body += Record(kCamTool, "short");     // record 9
  body += Record(74);                    // record 10
  body += Record(1, Doubles({5, 5, 5}));
  CNCProgram p;
  ASSERT_TRUE(Load(p, body));
  EXPECT_STREQ(
      "Tag7: Code=4660(0x1234), Len=8, Tag8: Code=0(0x0000), Len=16, Tag9: Code=65283(0xFF03), Len=5, "
      "Tag10: Code=74(0x004A), Len=0",
      p.GetErrors());
  EXPECT_EQ("F(5,5,5)", Describe(p.GetElement(p.GetElementCount() - 1)));
  ASSERT_EQ(1u, m_boxes.Boxes().size());
  EXPECT_EQ(0u, m_boxes.Boxes()[0].text.find("!!! The first moving code"));
  // Loading the same records again (no reset) does not repeat the entries.
  CString before = p.GetErrors();
  p.LoadFromNCFile(nullptr, m_dir / "job.cf", Vec3(1, 1, 1));
  EXPECT_STREQ(before, p.GetErrors());
}

// Values that are not finite numbers never reach the elements (marks NaN, length inf):
// the record is listed and skipped, as the other readers do.
TEST_F(CamFileTest, ValuesThatAreNotFiniteNumbersAreRefused) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::string body = Record(0, Doubles({0, 0, 5}));  // record 1
  body += Record(1, Doubles({nan, 1, 1}));           // record 2
  body += Record(2, Doubles({1, 0, 5, inf, 0, 5}));  // record 3: the centre
  body += Record(kCamFeedRate, Doubles({nan}));      // record 4
  body += Record(1, Doubles({1e308, 0, 5}));         // record 5: finite, then inches
  body = Record(20) + body;                          // inches: 1e308 in becomes inf mm
  body += Record(1, Doubles({1, 1, 1}));
  CNCProgram p;
  ASSERT_TRUE(Load(p, body));
  EXPECT_EQ("G20\nR(0,0,127)\nF(25.4,25.4,25.4)\n", Join(Describe(p)));
  EXPECT_STREQ(
      "Tag3: Code=1(0x0001), Len=24: Not a finite number, Tag4: Code=2(0x0002), Len=48: Not a finite number, "
      "Tag5: Code=65281(0xFF01), Len=8: Not a finite number, Tag6: Code=1(0x0001), Len=24: Not a finite number",
      p.GetErrors());
}

TEST_F(CamFileTest, BrokenFilesEndTheLoadAsAnError) {
  std::string good = Record(0, Doubles({0, 0, 1}));
  std::string longHead = Record(1, "", 3000);
  std::string cut = Record(1, Doubles({1, 2, 3}));
  struct {
    const char* why;
    std::string body;
    const char* error;
  } cases[] = {
      {"payload longer than a record", good + longHead + std::string(3000, 'x'),
       "Tag2: Code=1(0x0001), Len=3000, longer than a record can be"},
      {"file ends in the payload", good + cut.substr(0, cut.size() - 5),
       "Tag2: Code=1(0x0001), Len=24, the file ends after 19 bytes"},
      {"file ends in the head", good + "\x01\x00", "Tag2: the file ends within the record head"},
  };
  for (const auto& k : cases) {
    m_boxes.Clear();
    CNCProgram p;
    EXPECT_FALSE(Load(p, k.body)) << k.why;
    EXPECT_STREQ(k.error, p.GetErrors()) << k.why;
    EXPECT_EQ("R(0,0,1)\n", Join(Describe(p))) << k.why;
    ASSERT_EQ(1u, m_boxes.Boxes().size()) << k.why;
    EXPECT_EQ(std::string("Error(the last item):\r\n\r\n") + k.error, m_boxes.Boxes()[0].text) << k.why;
  }
}

// A record the program has no room for fails the load there, as in the other readers.
TEST_F(CamFileTest, ElementLimitEndsTheLoad) {
  std::string body;
  for (int i = 1; i <= 20; i++) body += Record(1, Doubles({double(i), 0, 0}));
  CNCProgram p;
  p.SetElementLimit(5);
  EXPECT_FALSE(Load(p, body));
  EXPECT_EQ(5, p.GetElementCount());
  EXPECT_EQ(6, p.GetLastLine());
  ASSERT_EQ(1u, m_boxes.Boxes().size());
  const std::string& box = m_boxes.Boxes()[0].text;
  EXPECT_NE(std::string::npos,
            box.find("Error(the last item):\r\n\r\nLine 6: The program needs more than 5 path elements"))
      << box;
}

TEST_F(CamFileTest, ProgressCountsBodyBytes) {
  struct Sink : CProgressSink {
    std::vector<std::pair<int, int>> calls;
    void SetProgress(int position, int range) override { calls.push_back({position, range}); }
    BOOL IsCanceled() override { return FALSE; }
  } sink;
  std::string body;
  for (int i = 0; i < 10; i++) body += Record(1, Doubles({double(i), 0, 0}));  // 28 bytes each
  CString path = m_dir / "p.cf";
  ASSERT_TRUE(WriteCamFile(path, body));
  CNCProgram p;
  ASSERT_TRUE(p.LoadFromNCFile(&sink, path, Vec3(1, 1, 1)));
  ASSERT_EQ(10u, sink.calls.size());
  EXPECT_EQ(std::make_pair(2, 28), sink.calls[0]);
  EXPECT_EQ(std::make_pair(28, 28), sink.calls.back());
}

}  // namespace
