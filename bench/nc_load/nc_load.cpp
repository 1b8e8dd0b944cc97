// Load speed of the NC program loader.
//
//   nc_load FILE...
//
// Loads each file through CNCProgram, without a progress display, and prints one line
// per file: file=... lines=N elements=M seconds=S lines_per_s=R. Lines are text lines,
// or records of a CAM file. A message box the load would show is printed to stderr.
#include <chrono>
#include <cstdio>
#include <cstring>

#include "foundation/settings.h"
#include "nc/nc_program.h"

namespace {

int PrintBox(const char* text, const char* caption, UINT type) {
  std::fprintf(stderr, "[%s] %s\n", caption, text);
  return platform::DefaultButton(type);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: nc_load FILE...\n");
    return 2;
  }
  g_strAppFolder = GetAppFolder();
  platform::SetMessageBoxHook(PrintBox);
  int failed = 0;
  for (int i = 1; i < argc; i++) {
    CNCProgram program;
    auto start = std::chrono::steady_clock::now();
    BOOL ok = program.LoadFromNCFile(nullptr, argv[i], Vec3(1, 1, 1));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int lines = program.m_nLine > 0 ? program.m_nLine : 0;
    std::printf("file=%s lines=%d elements=%d seconds=%.3f lines_per_s=%.0f\n", argv[i], lines,
                program.GetElementCount(), seconds, seconds > 0 ? lines / seconds : 0.0);
    std::fflush(stdout);
    if (!ok) failed++;
  }
  return failed ? 1 : 0;
}
