// Load speed of the NC program loader, and of the path optimiser.
//
//   nc_load [--optimize] FILE...
//
// Loads each file through CNCProgram, without a progress display, and prints one line
// per file: file=... lines=N elements=M seconds=S lines_per_s=R. Lines are text lines,
// or records of a CAM file. A message box the load would show is printed to stderr.
// With --optimize the program is then optimised with the settings of the program
// folder's "Parameters.ini", and a second line gives the optimiser's own figures:
// file=... optimize elements=M elements_after=K seconds=S elements_per_s=R.
//
// G-code inputs: ../shared/bench-data/gen_gcode.py relief 1000000, contour 300000 and
// cycles 200000 (3D raster moves; arcs by centre and radius; canned cycles, o-word loops
// and named parameters). bench/compare-peer.sh makes them and runs this program against
// a peer loader on one core.
#include <chrono>
#include <cstdio>
#include <cstring>

#include "foundation/settings.h"
#include "nc/nc_program.h"
#include "nc/optimize/path_optimizer.h"

namespace {

int PrintBox(const char* text, const char* caption, UINT type) {
  std::fprintf(stderr, "[%s] %s\n", caption, text);
  return platform::DefaultButton(type);
}

}  // namespace

int main(int argc, char** argv) {
  bool optimize = argc > 1 && std::strcmp(argv[1], "--optimize") == 0;
  int first = optimize ? 2 : 1;
  if (argc <= first || argv[first][0] == '-') {
    std::fprintf(stderr, "usage: nc_load [--optimize] FILE...\n");
    return 2;
  }
  g_strAppFolder = GetAppFolder();
  platform::SetMessageBoxHook(PrintBox);
  int failed = 0;
  for (int i = first; i < argc; i++) {
    CPathOptimizer program;
    auto start = std::chrono::steady_clock::now();
    BOOL ok = program.LoadFromNCFile(nullptr, argv[i], Vec3(1, 1, 1));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int lines = program.GetLastLine() > 0 ? program.GetLastLine() : 0;
    std::printf("file=%s lines=%d elements=%d seconds=%.3f lines_per_s=%.0f\n", argv[i], lines,
                program.GetElementCount(), seconds, seconds > 0 ? lines / seconds : 0.0);
    std::fflush(stdout);
    if (!ok) failed++;
    if (optimize) {
      int elements = program.GetElementCount();
      start = std::chrono::steady_clock::now();
      if (!program.Optimize(nullptr, nullptr)) failed++;
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::printf("file=%s optimize elements=%d elements_after=%d seconds=%.3f elements_per_s=%.0f\n", argv[i],
                  elements, program.GetElementCount(), seconds, seconds > 0 ? elements / seconds : 0.0);
      std::fflush(stdout);
    }
  }
  return failed ? 1 : 0;
}
