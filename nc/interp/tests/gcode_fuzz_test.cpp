// Random and mutated G-code through the program's whole load, under the sanitizers: no
// crash, no hang, no sanitizer report, and the program object left sound.
//
// The programs come from RandomGCodeGenerator. Loops that never end are normal here: the
// operator's Cancel (a progress sink) ends them. The seed is fixed, so a failure repeats;
// CORVANE_FUZZ_PROGRAMS asks for more programs than the default.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "nc/interp/tests/gcode_fixture.h"
#include "nc/interp/tests/gcode_generator.h"

namespace {

struct CancelAfter : CProgressSink {
  explicit CancelAfter(int lines) : left(lines) {}
  void SetProgress(int, int) override {}
  BOOL IsCanceled() override { return --left < 0; }
  int left;
};

class GCodeFuzzTest : public interp_testing::GCodeTest {
 protected:
  // The program is sound after a load: the file closed, no o-word state left, the
  // report within its bound (2048 characters, the last line and the closing notes).
  void ExpectSound(const std::string& text) {
    ASSERT_LT(m_program->GetErrors().GetLength(), 2048 + 1200) << text;
    if (!m_program->GetGCodeReader()) return;  // the file was not taken for G-code
    ASSERT_EQ(nullptr, State().file) << text;
    ASSERT_EQ(0, State().label_count) << text;
    ASSERT_EQ(nullptr, State().skipping_o) << text;
  }
};

TEST_F(GCodeFuzzTest, RandomAndMutatedPrograms) {
  int programs = 1500;
  if (const char* more = std::getenv("CORVANE_FUZZ_PROGRAMS")) programs = std::atoi(more);
  interp_testing::RandomGCodeGenerator gen(20090709u);
  // A subroutine file in the prefix folder, so that calls also switch files.
  ASSERT_TRUE(testing_support::WriteFileBytes(m_dir / "Prefix\\101.nc", "o101 sub\nG1 X#1\no101 endsub\n"));
  CString path = m_dir / "fuzz.nc";
  int loaded = 0;
  for (int i = 0; i < programs; ++i) {
    std::string text = gen.Program();
    ASSERT_TRUE(testing_support::WriteFileBytes(path, text));
    m_program->Reset();
    CancelAfter cancel(3000);
    m_program->LoadFromNCFile(&cancel, path, Vec3(1, 1, 1));
    if (m_program->GetFileKind() == "GCODE" && m_program->GetLastLine() > 0) ++loaded;
    ExpectSound(text);
    m_boxes.Clear();

    // The same lines straight to the reader, as the editor's preview hands them in
    // (no file: o-word jumps go nowhere), whatever kind the file would be taken for.
    m_program->Reset();
    size_t at = 0;
    for (int n = 1; at < text.size() && n <= 3000; ++n) {
      size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(at, end - at);
      at = end + 1;
      if (!m_program->InterpretLine(n, &line[0])) break;
    }
    ASSERT_LT(m_program->GetErrors().GetLength(), 2048 + 1200) << text;
  }
  // Most programs are not refused outright: the loader really ran them (many of them
  // then stop at a fault of their random o-word structure, as they should).
  EXPECT_GT(loaded, programs / 2);
}

}  // namespace
