// Random and mutated input for the HPGL and CAM readers and the file kind detection:
// whatever comes in, a load ends with a report, bounded memory and no crash. Each run
// uses fixed seeds and a time budget; the host build runs it under the sanitizers.
#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "nc/formats/format_question.h"
#include "nc/formats/tests/cam_fixtures.h"
#include "nc/loader/nc_loader.h"
#include "nc/tests/nc_test_support.h"

using testing_support::MessageBoxRecorder;
using testing_support::WriteFileBytes;
using namespace cam_fixtures;

namespace {

#ifdef CORVANE_HOST
constexpr double kBudgetSeconds = 3.0;
#else
constexpr double kBudgetSeconds = 1.0;
#endif

// Runs `step` with a growing counter until the budget is spent, and at least
// `minRuns` times however slow the machine is.
template <class Step>
int RunFor(double seconds, Step step, int minRuns = 0) {
  auto start = std::chrono::steady_clock::now();
  int n = 0;
  while (n < minRuns || std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < seconds) {
    step(n++);
  }
  return n;
}

int RandomFormat(const char*) { return std::rand() & 1; }

class ReaderFuzzTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    m_previous = SetFormatQuestionHook(RandomFormat);
  }
  void TearDown() override {
    SetFormatQuestionHook(m_previous);
    AppFolderTest::TearDown();
  }
  // A program that stays small enough to keep going.
  static void Bound(std::unique_ptr<CNCProgram>& p) {
    if (!p || p->GetElementCount() > 200000 || p->GetReadState().m_bProgramEnd || p->GetReadState().m_bStop)
      p = std::make_unique<CNCProgram>();
  }
  // Writes and loads generated files until the budget is spent: every load ends with a
  // bounded report (and the expected kind, when given).
  template <class Generate, class Write>
  void LoadGeneratedFiles(const CString& path, Generate generate, Write write, const char* kind) {
    int runs = RunFor(
        kBudgetSeconds / 2,
        [&](int n) {
          ASSERT_TRUE(write(path, generate()));
          CNCProgram p;
          p.LoadFromNCFile(nullptr, path, Vec3(1, 1, 1));
          if (kind) {
            ASSERT_STREQ(kind, p.GetFileKind()) << "file " << n;
          }
          ASSERT_LT(p.GetErrors().GetLength(), 4096) << "file " << n;
          if (n % 64 == 0) m_boxes.Clear();
        },
        11);
    EXPECT_GT(runs, 10);
  }
  FormatQuestionHook m_previous = nullptr;
  MessageBoxRecorder m_boxes;
};

const char* const kHpglPieces[] = {
    "PU",  "PD",     "PA",    "PR",    "AA",     "AR",  "IN",  "SP",        "SF",  "SW",   "SA", "ZW", "ZZ",       "XX",
    "@",   ";",      ";",     ";",     ",",      ",",   ",",   " ",         "-",   "+",    ".",  "0",  "1",        "9",
    "100", "-40000", "1e308", "1e999", "-1e999", "nan", "inf", "0.0000001", "360", "-360", "\t", "\r", "\xB5\xB6",
};

std::string RandomHpglLine(std::mt19937& rnd) {
  std::string line;
  int pieces = rnd() % 24;
  for (int i = 0; i < pieces; i++) {
    if (rnd() % 16 == 0)
      line += (char)(rnd() % 256);
    else
      line += kHpglPieces[rnd() % (sizeof kHpglPieces / sizeof kHpglPieces[0])];
  }
  return line;
}

TEST_F(ReaderFuzzTest, HpglLines) {
  std::mt19937 rnd(1);
  std::unique_ptr<CNCProgram> p;
  int runs = RunFor(
      kBudgetSeconds / 2,
      [&](int n) {
        Bound(p);
        std::string line = RandomHpglLine(rnd);
        nc_testing::ReadState(*p).m_nLine = n;
        p->InterpretHpglLine(n, line.c_str());
        ASSERT_LT(p->GetErrors().GetLength(), 4096) << "line " << n << ": " << line;
      },
      101);
  EXPECT_GT(runs, 100);
}

std::string MutatedHpglFile(std::mt19937& rnd) {
  std::string file;
  int lines = 1 + rnd() % 40;
  for (int i = 0; i < lines; i++) {
    if (rnd() % 3 == 0) {
      file += RandomHpglLine(rnd);
    } else {
      file += "PU" + std::to_string(rnd() % 40000) + "," + std::to_string(rnd() % 30000) + ";PD";
      for (int k = rnd() % 6; k >= 0; k--) file += std::to_string((int)(rnd() % 800) - 400) + ",";
      file += "0;";
    }
    file += rnd() % 5 ? "\r\n" : "\n";
  }
  // Flip, drop or insert a few bytes.
  for (int k = rnd() % 4; k > 0 && !file.empty(); k--) {
    size_t at = rnd() % file.size();
    switch (rnd() % 3) {
      case 0: file[at] = (char)(rnd() % 256); break;
      case 1: file.erase(at, 1 + rnd() % 8); break;
      default: file.insert(at, std::string(1 + rnd() % 600, (char)(rnd() % 128))); break;
    }
  }
  return file;
}

TEST_F(ReaderFuzzTest, HpglFiles) {
  std::mt19937 rnd(2);
  LoadGeneratedFiles(
      m_dir / "f.plt", [&] { return MutatedHpglFile(rnd); }, WriteFileBytes, nullptr);
}

std::string RandomCamBody(std::mt19937& rnd) {
  static const WORD kCodes[] = {
      0, 1, 2, 3, 17, 18, 19, 20, 21, 90, 91, 74, kCamFeedRate, kCamSpindle, kCamTool, kCamMCode, 0x1234, 0xFFFF};
  std::string body;
  int records = rnd() % 30;
  for (int i = 0; i < records; i++) {
    WORD code = kCodes[rnd() % (sizeof kCodes / sizeof kCodes[0])];
    std::string payload;
    switch (code) {
      case 0:
      case 1: payload = Doubles({double(rnd() % 200), double(rnd() % 200), -double(rnd() % 5)}); break;
      case 2:
      case 3:
        payload = Doubles({double(rnd() % 200), double(rnd() % 200), 0, double(rnd() % 200), double(rnd() % 200), 0});
        break;
      case kCamTool: payload = ToolDefinition("t", (int)(rnd() % 120) - 10, rnd() % 5, rnd() % 20); break;
      case kCamFeedRate:
      case kCamSpindle:
      case kCamMCode: payload = Doubles({double(rnd() % 30000)}); break;
      default: break;
    }
    int length = rnd() % 8 == 0 ? (int)(rnd() % 65536) : -1;
    body += Record(code, payload, length);
  }
  for (int k = rnd() % 6; k > 0 && !body.empty(); k--) body[rnd() % body.size()] = (char)(rnd() % 256);
  if (rnd() % 4 == 0 && !body.empty()) body.resize(rnd() % body.size());
  if (rnd() % 8 == 0) {
    body.clear();
    for (int k = rnd() % 5000; k > 0; k--) body += (char)(rnd() % 256);
  }
  return body;
}

TEST_F(ReaderFuzzTest, CamFiles) {
  std::mt19937 rnd(3);
  LoadGeneratedFiles(
      m_dir / "f.cf", [&] { return RandomCamBody(rnd); }, WriteCamFile, "BNC");
}

TEST_F(ReaderFuzzTest, CamRecords) {
  std::mt19937 rnd(4);
  std::unique_ptr<CNCProgram> p;
  std::vector<BYTE> record;
  RunFor(kBudgetSeconds / 2, [&](int n) {
    Bound(p);
    record.resize(rnd() % 400);
    for (BYTE& b : record) b = (BYTE)(rnd() % 256);
    if (record.size() >= 2 && rnd() % 2) record[1] = 0xFF;  // tag codes
    p->AddCamRecord(n, record.data(), (int)record.size());
    ASSERT_LT(p->GetErrors().GetLength(), 4096) << "record " << n;
  });
}

TEST_F(ReaderFuzzTest, KindOfRandomFiles) {
  std::mt19937 rnd(5);
  CString path = m_dir / "k.bin";
  RunFor(kBudgetSeconds / 4, [&](int n) {
    std::string bytes;
    int size = rnd() % 3000;
    bool text = rnd() % 2;
    for (int k = 0; k < size; k++) bytes += text ? "PAG1;,\r\n (XY"[rnd() % 13] : (char)(rnd() % 256);
    if (rnd() % 4 == 0) bytes = HeaderBytes().substr(0, rnd() % 300) + bytes;
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    CString kind = DetectNCFileKind(path);
    ASSERT_TRUE(kind == "" || kind == "GCODE" || kind == "HPGL" || kind == "BNC") << kind.GetString();
    if (n % 64 == 0) m_boxes.Clear();
  });
}

}  // namespace
