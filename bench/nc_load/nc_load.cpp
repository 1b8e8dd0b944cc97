// Load speed and memory of the NC program loader against a parse floor, and the speed of
// the path optimiser.
//
//   nc_load [--optimize] [--runs N] FILE...
//
// Per file, first one untimed load that measures memory: the growth of the process's
// working set (resident set on the host) over the load, its peak when the load raised
// the process's peak, else the largest of samples taken every few thousand lines. Then N
// (default 3) rounds, each timing the floor program, a load and the load's teardown, the
// three one after the other so that a busy machine disturbs them alike. One line per
// file gives the medians:
//   file=... lines=N elements=M seconds=S lines_per_s=R floor_seconds=F
//   ratio_to_floor=Q peak_mb=P mb_per_mline=B teardown_ms=T fresh_seconds=W ratio_fresh_bound=U
// Lines are text lines, or records of a CAM file. ratio_to_floor is the loader's speed as
// a share of the floor's: the floor reads the file in the same way a plain C program would
// (fread), splits it into lines and converts every number with strtod; for a CAM file it
// reads, unscrambles and splits the records and loads every 8-byte field of the payloads.
// fresh_seconds is the time to write the peak's bytes into memory newly taken from the
// system (in each round too), and ratio_fresh_bound = floor / that: the best ratio a load
// that fills that much memory can reach on this machine, however little else it does.
// The teardown is the deletion of the loaded program (the pages of a big one go back to the
// system on a thread of their own afterwards). A message box the load would show
// is kept and printed to stderr after the timed load (an unbuffered write per character
// costs a round trip to the Wine server each).
//
// With --optimize each round's program is then optimised with the settings of the program
// folder's "Parameters.ini", and a second line gives the optimiser's own figures (medians):
// file=... optimize elements=M elements_after=K seconds=S elements_per_s=R.
//
// Inputs: ../shared/bench-data/gen_gcode.py relief 1000000, contour 300000, cycles 200000
// and hpgl 1000000 (3D raster moves; arcs by centre and radius; canned cycles, o-word
// loops and named parameters; an HPGL plot), and gen_cam.py 500000 here (a CAM file).
// bench/nc_load/run.sh makes them and runs this program on each, a process per file. bench/compare-peer.sh
// runs it against a peer loader on one core.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/settings.h"
#include "nc/formats/cam_file.h"
#include "nc/loader/nc_loader.h"
#include "nc/nc_program.h"
#include "nc/optimize/path_optimizer.h"
#include "platform/bytes.h"
#include "platform/progress.h"

#ifdef _WIN32
#include <psapi.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double Median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// ---- Memory of the process

struct MemoryFigures {
  size_t current = 0;  // bytes now
  size_t peak = 0;     // bytes at the process's peak
};

MemoryFigures ReadMemory() {
  MemoryFigures m;
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS counters;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    m.current = counters.WorkingSetSize;
    m.peak = counters.PeakWorkingSetSize;
  }
#else
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  m.current = (size_t)resident * (size_t)sysconf(_SC_PAGESIZE);
  struct rusage usage;
  if (getrusage(RUSAGE_SELF, &usage) == 0) m.peak = (size_t)usage.ru_maxrss * 1024;
#endif
  return m;
}

// Samples the working set while a load runs (the untimed memory load only).
class MemorySampler : public CProgressSink {
 public:
  void SetProgress(int, int) override {
    if (++m_nCalls % kEvery == 0) Sample();
  }
  BOOL IsCanceled() override { return FALSE; }
  void Sample() { m_nLargest = std::max(m_nLargest, ReadMemory().current); }
  size_t Largest() const { return m_nLargest; }

 private:
  static constexpr int kEvery = 4096;
  int m_nCalls = 0;
  size_t m_nLargest = 0;
};

// ---- Message boxes: kept while a load is timed, printed after it

std::string g_boxes;

int KeepBox(const char* text, const char* caption, UINT type) {
  g_boxes += '[';
  g_boxes += caption ? caption : "";
  g_boxes += "] ";
  g_boxes += text ? text : "";
  g_boxes += '\n';
  return platform::DefaultButton(type);
}

void PrintBoxes() {
  if (g_boxes.empty()) return;
  std::fwrite(g_boxes.data(), 1, g_boxes.size(), stderr);
  g_boxes.clear();
}

// ---- The floor

bool IsNumberStart(const char* p) {
  char c = *p;
  if (c >= '0' && c <= '9') return true;
  if (c == '.') return p[1] >= '0' && p[1] <= '9';
  if (c == '-' || c == '+') return (p[1] >= '0' && p[1] <= '9') || p[1] == '.';
  return false;
}

struct FloorResult {
  int lines = 0;
  double sum = 0.0;  // of every number, so that no conversion can be left out
};

// Text: read in blocks, split at CR and LF, strtod every number of every line.
FloorResult TextFloor(const char* path) {
  FloorResult r;
  FILE* f = std::fopen(path, "rb");
  if (!f) return r;
  std::vector<char> block(64 * 1024);
  std::string line;
  bool lastCr = false;
  auto finishLine = [&]() {
    r.lines++;
    const char* p = line.c_str();
    while (*p) {
      if (IsNumberStart(p)) {
        char* end;
        r.sum += std::strtod(p, &end);
        p = end > p ? end : p + 1;
      } else {
        p++;
      }
    }
    line.clear();
  };
  size_t got;
  while ((got = std::fread(block.data(), 1, block.size(), f)) > 0) {
    const char* p = block.data();
    const char* end = p + got;
    while (p < end) {
      const char* stop = p;
      while (stop < end && *stop != '\n' && *stop != '\r') stop++;
      line.append(p, (size_t)(stop - p));
      if (stop == end) {
        lastCr = false;
        break;
      }
      if (*stop == '\n' && lastCr && stop == p) {
        lastCr = false;  // the LF of a CR LF split across blocks
      } else {
        finishLine();
        lastCr = *stop == '\r';
      }
      p = stop + 1;
      if (lastCr && p < end && *p == '\n') {
        p++;
        lastCr = false;
      }
    }
  }
  if (!line.empty()) finishLine();
  std::fclose(f);
  return r;
}

// CAM file: read in blocks, unscramble, split the records, load every 8-byte field.
FloorResult CamFloor(const char* path) {
  FloorResult r;
  BYTE key[kCamKeySize];
  {
    CCamFile cam;
    if (!cam.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) return r;
    std::memcpy(key, cam.GetKey(), sizeof key);
    cam.Abort();
  }
  FILE* f = std::fopen(path, "rb");
  if (!f) return r;
  std::vector<BYTE> body;  // sized once, as a plain program would, not grown byte by byte
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long size = std::ftell(f);
    if (size > kCamHeaderSize) body.reserve((size_t)(size - kCamHeaderSize));
    std::fseek(f, 0, SEEK_SET);
  }
  std::vector<BYTE> block(64 * 1024);
  size_t got;
  size_t offset = 0;
  while ((got = std::fread(block.data(), 1, block.size(), f)) > 0) {
    for (size_t i = 0; i < got; i++, offset++) {
      if (offset < (size_t)kCamHeaderSize) continue;
      body.push_back(block[i] ^ key[(offset - kCamHeaderSize) % kCamKeySize]);
    }
  }
  std::fclose(f);
  size_t at = 0;
  while (at + kCamRecordHead <= body.size()) {
    size_t length = bytes::Load16(body.data() + at + 2);
    const BYTE* payload = body.data() + at + kCamRecordHead;
    at += kCamRecordHead + length;
    if (at > body.size()) break;
    r.lines++;
    for (size_t k = 0; k + 8 <= length; k += 8) {
      double v;
      std::memcpy(&v, payload + k, sizeof v);
      r.sum += v;
    }
  }
  return r;
}

// ---- One file

struct Round {
  double loadSeconds, floorSeconds, teardownSeconds, freshSeconds;
  double optimizeSeconds = 0.0;
  int lines = 0, elements = 0, elementsAfter = 0;
  bool ok = true;
};

std::unique_ptr<CPathOptimizer> Load(const char* path, CProgressSink* sink, BOOL& ok) {
  auto program = std::make_unique<CPathOptimizer>();
  ok = program->LoadFromNCFile(sink, path, Vec3(1, 1, 1));
  return program;
}

int LinesOf(const CNCProgram& program) { return program.GetLastLine() > 0 ? program.GetLastLine() : 0; }

// Fresh memory: writes `bytes` into blocks newly taken from the system, as a load fills
// its arena, and gives them back; the seconds. A load writes at least its peak's worth of
// fresh pages, and where the first touch of a page is dear (a virtual machine that keeps
// its own page tables) that alone bounds the load's speed.
double FreshMemorySeconds(size_t bytes) {
  constexpr size_t kBlock = 1 << 20;
  std::vector<char*> blocks;
  blocks.reserve(bytes / kBlock + 1);
  const auto start = Clock::now();
  for (size_t done = 0; done < bytes; done += kBlock) {
    char* block = static_cast<char*>(::operator new(kBlock, std::nothrow));
    if (!block) break;
    std::memset(block, (int)(done >> 20), kBlock);
    blocks.push_back(block);
  }
  const double seconds = SecondsSince(start);
  for (char* block : blocks) ::operator delete(block);
  return seconds;
}

// A program's teardown gives the pages of a big arena back on a thread of its own; the
// next figure is taken once they are back.
void WaitForReleases() {
  while (ElementArena::BytesBeingReleased() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

int main(int argc, char** argv) {
  bool optimize = false;
  int runs = 3;
  int first = 1;
  for (; first < argc && argv[first][0] == '-'; first++) {
    if (std::strcmp(argv[first], "--optimize") == 0) {
      optimize = true;
    } else if (std::strcmp(argv[first], "--runs") == 0 && first + 1 < argc && std::atoi(argv[first + 1]) > 0) {
      runs = std::atoi(argv[++first]);
    } else {
      first = argc;
    }
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: nc_load [--optimize] [--runs N] FILE...\n");
    return 2;
  }
  g_strAppFolder = GetAppFolder();
  platform::SetMessageBoxHook(KeepBox);
  int failed = 0;
  for (int i = first; i < argc; i++) {
    const char* path = argv[i];
    const bool cam = DetectNCFileKind(path) == "BNC";
    PrintBoxes();

    // Memory: one untimed load.
    size_t peakBytes;
    WaitForReleases();
    {
      const MemoryFigures before = ReadMemory();
      MemorySampler sampler;
      BOOL ok;
      auto program = Load(path, &sampler, ok);
      sampler.Sample();
      const MemoryFigures after = ReadMemory();
      size_t top = after.peak > before.peak ? after.peak : sampler.Largest();
      peakBytes = top > before.current ? top - before.current : 0;
    }
    PrintBoxes();

    std::vector<Round> rounds;
    for (int run = 0; run < runs; run++) {
      Round r;
      WaitForReleases();
      auto start = Clock::now();
      FloorResult floor = cam ? CamFloor(path) : TextFloor(path);
      r.floorSeconds = SecondsSince(start);
      if (floor.sum == 1e300) std::printf("\n");  // keeps the sum alive
      r.freshSeconds = FreshMemorySeconds(peakBytes);

      BOOL ok;
      start = Clock::now();
      auto program = Load(path, nullptr, ok);
      r.loadSeconds = SecondsSince(start);
      PrintBoxes();
      r.ok = ok != FALSE;
      r.lines = LinesOf(*program);
      r.elements = program->GetElementCount();
      if (optimize) {
        start = Clock::now();
        if (!program->Optimize(nullptr, nullptr)) r.ok = false;
        r.optimizeSeconds = SecondsSince(start);
        r.elementsAfter = program->GetElementCount();
        PrintBoxes();
      }
      start = Clock::now();
      program.reset();
      r.teardownSeconds = SecondsSince(start);
      rounds.push_back(r);
    }

    std::vector<double> load, floor, teardown, opt, fresh;
    bool ok = true;
    for (const Round& r : rounds) {
      load.push_back(r.loadSeconds);
      floor.push_back(r.floorSeconds);
      teardown.push_back(r.teardownSeconds);
      opt.push_back(r.optimizeSeconds);
      fresh.push_back(r.freshSeconds);
      ok = ok && r.ok;
    }
    const Round& last = rounds.back();
    const double seconds = Median(load), floorSeconds = Median(floor);
    const double mb = peakBytes / (1024.0 * 1024.0), freshSeconds = Median(fresh);
    std::printf(
        "file=%s lines=%d elements=%d seconds=%.3f lines_per_s=%.0f floor_seconds=%.3f ratio_to_floor=%.2f "
        "peak_mb=%.1f mb_per_mline=%.0f teardown_ms=%.1f fresh_seconds=%.3f ratio_fresh_bound=%.2f\n",
        path, last.lines, last.elements, seconds, seconds > 0 ? last.lines / seconds : 0.0, floorSeconds,
        seconds > 0 ? floorSeconds / seconds : 0.0, mb, last.lines > 0 ? mb * 1e6 / last.lines : 0.0,
        Median(teardown) * 1000, freshSeconds, freshSeconds > 0 ? floorSeconds / freshSeconds : 0.0);
    if (optimize) {
      const double o = Median(opt);
      std::printf("file=%s optimize elements=%d elements_after=%d seconds=%.3f elements_per_s=%.0f\n", path,
                  last.elements, last.elementsAfter, o, o > 0 ? last.elements / o : 0.0);
    }
    std::fflush(stdout);
    if (!ok) failed++;
  }
  return failed ? 1 : 0;
}
