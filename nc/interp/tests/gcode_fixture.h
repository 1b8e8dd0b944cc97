// A program object that reads G-code text the way the loader feeds it: lines of at most
// 510 characters, trimmed, one by one until the reader refuses. Elements come back in
// the compact text form of the NC tests.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/texts.h"
#include "nc/interp/gcode_interpreter.h"
#include "nc/interp/nc_errors.h"
#include "nc/tests/nc_test_support.h"

namespace interp_testing {

class GCodeTest : public nc_testing::ProgramFolderTest {
 protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    g_nUiLanguage = 1;
    m_program = std::make_unique<CNCProgram>();
  }
  void TearDown() override {
    m_program.reset();
    g_nUiLanguage = 0;
    ProgramFolderTest::TearDown();
  }

  CGCodeInterpreter& Reader() { return static_cast<CGCodeInterpreter&>(*m_program->m_pGCode); }
  InterpreterSetup& State() { return Reader().GetSetup(); }

  // Writes text to a file of the program folder and reads it; true when the reader took
  // every line (no program end, no stop).
  bool Load(const std::string& text, const char* name = "t.nc") {
    CString path = m_dir / name;
    EXPECT_TRUE(testing_support::WriteFileBytes(path, text));
    return LoadFile(path);
  }

  // At most maxLines lines are read (a program that loops for ever stops there).
  bool LoadFile(const char* path, int maxLines = -1) {
    CGCodeReader& reader = *m_program->m_pGCode;
    if (!reader.OpenFile(path)) return false;
    bool more = true;
    int count = 0;
    char line[512];
    ULONGLONG position;
    while (more && count != maxLines) {
      int n = reader.ReadLine(line, sizeof line, &position);
      if (n == 0) break;
      if (n > 510) {
        m_program->AppendLoadError(GetNCErrorText(NCE_COMMAND_TOO_LONG));
        break;
      }
      CString text(line);
      text.Trim();
      std::strcpy(line, text);
      more = m_program->InterpretLine(++count, line) != FALSE;
    }
    reader.CloseFile();
    return more;
  }

  // The elements that stand for items of the source (pieces of split moves left out).
  std::vector<std::string> Elements() const {
    std::vector<std::string> out;
    for (const std::string& e : nc_testing::Describe(*m_program))
      if (e.size() < 2 || e.compare(e.size() - 2, 2, " ~") != 0) out.push_back(e);
    return out;
  }
  std::vector<std::string> AllElements() const { return nc_testing::Describe(*m_program); }
  std::string Report() const { return std::string(m_program->m_strErrors); }

  std::unique_ptr<CNCProgram> m_program;
};

using Lines = std::vector<std::string>;

}  // namespace interp_testing
