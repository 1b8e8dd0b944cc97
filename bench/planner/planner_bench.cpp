// Planning and packing speed of the path processor.
//
//   planner_bench [FILE...]
//
// Each NC file is loaded and optimised first (not timed); its path records then go
// through the planner as the processing thread feeds them, into a frame queue that only
// counts. Two built-in inputs follow: short-chord runs (curves as 0.3 mm lines with
// corner radii, the food of smoothing and fitting) and one run of 65,000 segments, whose
// first frame can leave only once the whole run is planned.
//
// One line per input and set-up:
//   input=... setup=... segments=N seconds=S segments_per_s=R frames=F frames_per_s=Q
//   ceiling_segments_per_s=C ratio=R/C
// The ceiling is a pass over the same records that only copies each one and converts its
// end point to steps: what any planner must do at least. "blocks" sends move blocks with
// smoothing on; "gform" sends G commands with smoothing and arc fitting on. Logs are off.
// The 65,000-segment run adds first_frame_ms: from its first record to its first frame.
// Goal: 1,000,000 segments/s or more on relief under Wine, first frame under 100 ms.
//
// bench/planner/run.sh makes relief (1M lines) and contour inputs with the shared bench
// data generator and runs this program from an unsanitized host build and under Wine.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/planner/path_processor.h"
#include "engine/planner/testing/job_driver.h"
#include "foundation/settings.h"
#include "nc/optimize/path_optimizer.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// A frame queue that counts and notes when the first frame came.
class CCountingQueue : public IFrameQueue {
 public:
  WORD QueueDataFrame(BOOL, const BYTE*, int count) override {
    if (m_frames++ == 0) m_first = Clock::now();
    int take = count < m_capacity ? count : m_capacity;
    m_bytes += (unsigned long long)take;
    return (WORD)take;
  }
  void MarkFifoEnd() override {}
  void SetDeliveredDone() override {}
  WORD GetFrameDataCapacity() const override { return (WORD)m_capacity; }
  BOOL IsFileTarget() const override { return FALSE; }
  CString GetControllerVersion() override { return m_version; }

  int m_capacity = 128;
  CString m_version;
  unsigned long long m_frames = 0, m_bytes = 0;
  Clock::time_point m_first;
};

struct SetUp {
  const char* name;
  bool gForm;
};
const SetUp kSetUps[] = {{"blocks", false}, {"gform", true}};

int CountMoves(const std::vector<PathRecord>& records) {
  int n = 0;
  for (const PathRecord& r : records)
    if (!r.m_nDiscard && r.m_nCode <= 3) n++;
  return n;
}

// What any planner must do per record: copy it and convert its end point to steps.
double CeilingPerSecond(const std::vector<PathRecord>& records) {
  volatile long long sink = 0;
  auto start = Clock::now();
  PathRecordData copy;
  long long sum = 0;
  for (int pass = 0; pass < 3; pass++)
    for (const PathRecord& r : records) {
      std::memcpy(&copy, &r.Data(), sizeof copy);
      if (copy.m_nDiscard || copy.m_nCode > 3) continue;
      sum += (long long)(copy.m_vEnd.x * 40.0) + (long long)(copy.m_vEnd.y * 40.0) + (long long)(copy.m_vEnd.z * 40.0);
    }
  sink = sum;
  (void)sink;
  double s = Seconds(start) / 3;
  return s > 0 ? CountMoves(records) / s : 0;
}

// The job as the engine would run it: fitting and smoothing on, logs off.
void Plan(const char* input, const std::vector<PathRecord>& records, int tags, double ceiling, bool firstFrame) {
  for (const SetUp& setUp : kSetUps) {
    CCountingQueue queue;
    if (setUp.gForm) queue.m_version = "VER5300";
    DeviceParams device = planner_testing::PlainDevice();
    JobRecord job = planner_testing::PlainJob(tags);
    job.SmoothLevel = 2;
    job.SlowDownFraction = 0.6;
    planner_testing::EnableArcFitting(job);
    CPathProcessor processor;
    processor.ReserveRunBuffer();  // as the engine does once
    if (!planner_testing::StartJob(processor, &queue, job, device, planner_testing::PlainSettings())) {
      std::fprintf(stderr, "the job was refused\n");
      return;
    }
    unsigned long long headerFrames = queue.m_frames;
    queue.m_frames = 0;
    auto start = Clock::now();
    planner_testing::RunRecords(processor, device, job, records);
    double seconds = Seconds(start);
    int segments = CountMoves(records);
    double perSecond = seconds > 0 ? segments / seconds : 0;
    std::printf(
        "input=%s setup=%s segments=%d seconds=%.3f segments_per_s=%.0f frames=%llu frames_per_s=%.0f "
        "ceiling_segments_per_s=%.0f ratio=%.3f",
        input, setUp.name, segments, seconds, perSecond, queue.m_frames + headerFrames,
        seconds > 0 ? queue.m_frames / seconds : 0.0, ceiling, ceiling > 0 ? perSecond / ceiling : 0.0);
    if (firstFrame)
      std::printf(" first_frame_ms=%.1f", std::chrono::duration<double, std::milli>(queue.m_first - start).count());
    std::printf("\n");
    std::fflush(stdout);
  }
}

std::vector<PathRecord> LoadRecords(const char* path, int& tags) {
  std::vector<PathRecord> records;
  CPathOptimizer program;
  program.Reset();
  if (!program.LoadFromNCFile(nullptr, path, Vec3(1, 1, 1))) std::fprintf(stderr, "%s: load reported errors\n", path);
  program.Optimize(nullptr, nullptr);
  records.reserve((size_t)program.GetElementCount());
  for (int i = 0; i < program.GetElementCount(); i++) {
    PathRecord r;
    if (!program.GetPathRecord(i, r, FALSE)) break;
    records.push_back(r);
  }
  tags = program.GetTagCount() > 0 ? program.GetTagCount() : 1;
  return records;
}

// Circles of 0.3 mm chords, each chord with its corner radius, a plunge before each.
std::vector<PathRecord> ShortChords(int& tags) {
  std::vector<PathRecord> records;
  const double kPi = 3.14159265358979323846;
  tags = 0;
  for (int c = 0; c < 2000; c++) {
    double cx = 20 + (c % 40) * 25, cy = 20 + (c / 40) * 25, r = 2 + (c % 9);
    int chords = (int)(2 * kPi * r / 0.3);
    records.push_back(planner_testing::MoveRecord(0, cx + r, cy, 2, 0xE0, true));
    records.push_back(planner_testing::MoveRecord(1, cx + r, cy, -1, 0x20, true));
    double vertex = 180.0 - 360.0 / chords;
    for (int k = 1; k <= chords; k++) {
      double a = 2 * kPi * k / chords;
      records.push_back(
          planner_testing::MoveRecord(1, cx + r * std::cos(a), cy + r * std::sin(a), -1, 0xC0, false, r, vertex));
    }
    tags += 2;
  }
  return records;
}

// One tag of 65,000 zigzag segments.
std::vector<PathRecord> LongRun() {
  std::vector<PathRecord> records = {planner_testing::MoveRecord(1, 0, 0, -1, 0xE0, true)};
  for (int i = 1; i < 65000; i++) records.push_back(planner_testing::MoveRecord(1, i * 0.05, (i % 2) * 0.05, -1, 0xC0));
  return records;
}

}  // namespace

int main(int argc, char** argv) {
  g_strAppFolder = GetAppFolder();
  for (int i = 1; i < argc; i++) {
    int tags = 1;
    auto start = Clock::now();
    std::vector<PathRecord> records = LoadRecords(argv[i], tags);
    std::fprintf(stderr, "%s: %zu records, %d tags, loaded and optimised in %.1f s\n", argv[i], records.size(), tags,
                 Seconds(start));
    std::string name(argv[i]);
    size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    Plan(name.c_str(), records, tags, CeilingPerSecond(records), false);
  }
  int tags = 1;
  std::vector<PathRecord> chords = ShortChords(tags);
  Plan("short-chords", chords, tags, CeilingPerSecond(chords), false);
  std::vector<PathRecord> longRun = LongRun();
  Plan("run-65000", longRun, 1, CeilingPerSecond(longRun), true);
  return 0;
}
