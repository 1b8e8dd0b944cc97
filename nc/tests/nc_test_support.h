// Helpers of the NC program tests: a program folder of its own and a compact text form
// of the element list, so that tests compare whole programs as tables of lines.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/settings.h"
#include "foundation/tests/app_folder_test.h"
#include "nc/nc_program.h"
#include "nc/read_context.h"
#include "platform/testing/test_support.h"

namespace nc_testing {

// The reader state of a program, as a reader sees it: tests that build paths by hand
// play the reader.
inline NCReadState& ReadState(CNCProgram& program) { return CNCReadContext(program).State(); }
inline HpglState& Hpgl(CNCProgram& program) { return CNCReadContext(program).Hpgl(); }

// One element as text:
//   mode code   "G17"
//   tag         "ZZ=0"                       (with " tool=<diameter>" when it owns one)
//   move        "R(x,y,z)" rapid, "F(x,y,z)" feed
//   arc         "CW(x,y,z)@(cx,cy,cz)", "CCW(...)@(...)"
// followed by " ~" when the source bit is clear. Coordinates are rounded to 1e-9 and
// print with %.6g.
std::string Describe(const CPathElement* e);
std::vector<std::string> Describe(const CNCProgram& program);
std::string Join(const std::vector<std::string>& lines);

}  // namespace nc_testing
