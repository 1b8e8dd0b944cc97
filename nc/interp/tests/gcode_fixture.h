// A program object that loads G-code text through the real loader, as the operator's
// import does. Elements come back in the compact text form of the NC tests.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/texts.h"
#include "nc/interp/gcode_interpreter.h"
#include "nc/interp/nc_errors.h"
#include "nc/loader/nc_loader.h"
#include "nc/tests/nc_test_support.h"

namespace interp_testing {

class GCodeTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    g_nUiLanguage = 1;
    m_program = std::make_unique<CNCProgram>();
  }
  void TearDown() override {
    m_program.reset();
    g_nUiLanguage = 0;
    AppFolderTest::TearDown();
  }

  const InterpreterSetup& State() const {
    return static_cast<const CGCodeInterpreter&>(*m_program->GetGCodeReader()).GetSetup();
  }

  // Writes text to a file of the program folder and loads it (LoadFromNCFile's result).
  // A text too short or too odd to be taken for G-code gets two "N0000" lines (words with
  // no effect) at its end, so that it is.
  bool Load(const std::string& text, const char* name = "t.nc", const Vec3& factors = Vec3(1, 1, 1),
            CProgressSink* progress = nullptr) {
    CString path = m_dir / name;
    EXPECT_TRUE(testing_support::WriteFileBytes(path, text));
    if (DetectNCFileKind(path) != "GCODE") {
      std::string padded = text;
      if (!padded.empty() && padded.back() != '\n') padded += "\n";
      EXPECT_TRUE(testing_support::WriteFileBytes(path, padded + "N0000\nN0000\n"));
    }
    m_boxes.Clear();
    return m_program->LoadFromNCFile(progress, path, factors) != FALSE;
  }

  // The elements that stand for items of the source (pieces of split moves left out).
  std::vector<std::string> Elements() const {
    std::vector<std::string> out;
    for (const std::string& e : nc_testing::Describe(*m_program))
      if (e.size() < 2 || e.compare(e.size() - 2, 2, " ~") != 0) out.push_back(e);
    return out;
  }
  std::vector<std::string> AllElements() const { return nc_testing::Describe(*m_program); }
  std::string Report() const { return std::string(m_program->GetErrors()); }

  std::unique_ptr<CNCProgram> m_program;
  testing_support::MessageBoxRecorder m_boxes;
};

using Lines = std::vector<std::string>;

}  // namespace interp_testing
