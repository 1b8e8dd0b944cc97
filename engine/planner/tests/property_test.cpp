// Properties of the command stream over generated programs. Each program goes the whole
// way a job goes: the NC loader and the optimiser, the path records, the planner in one
// of several machine set-ups, the frames, the decoder. Then, whatever the program:
//   - the stream decodes completely;
//   - replaying it reaches every point the records move to, in order, within one step
//     per axis (on an arc command: on its circle), and every tag record's commands come
//     exactly once, in order, between the moves they stood between;
//   - every item's Vn is within the rated axis speeds of its own direction;
//   - every planned segment stays within its intake limit, every corner within its
//     corner limit and above the continuation speed, and consecutive corner speeds are
//     reachable on the ramp within the segment between them;
//   - DT_DH never decreases and the stream ends with the job's closing commands;
//   - planned times are finite and never decrease;
//   - the same input gives the same bytes.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>

#include "engine/planner/planner_numbers.h"
#include "engine/planner/tests/planner_fixture.h"
#include "nc/interp/tests/gcode_generator.h"
#include "nc/optimize/path_optimizer.h"

namespace planner_testing {
namespace {

const double kStepsPerMm = 1016.0 / 25.4;

struct Program {
  std::string name;
  std::vector<PathRecord> records;
  int tags = 0;
};

struct SetUpCase {
  const char* name;
  bool gForm;
  bool fitting;
  bool relative;
  bool force2D;
  WORD capacity;
  bool roll;
  bool range;  // machine the middle third of the tags
};

const SetUpCase kSetUps[] = {
    {"blocks", false, false, false, false, 128, false, false},
    {"G form with fitting", true, true, false, false, 128, false, false},
    {"relative blocks", false, false, true, false, 128, false, false},
    {"relative G form", true, true, true, false, 128, false, false},
    {"Force2D", true, false, false, true, 128, false, false},
    {"protocol 7", true, true, false, false, 1024, false, false},
    {"roll engraving", true, true, false, false, 128, true, false},
    {"tag range", false, false, false, false, 128, false, true},
};

// ---- What the planner must produce, from the records alone

struct Event {
  bool isMove = false;
  int64_t target[3] = {0, 0, 0};  // steps
  WORD code = 0;                  // a command
  DWORD value = 0;
};

class CExpectation {
 public:
  CExpectation(const SetUpCase& c, const DeviceParams& d, const JobRecord& j, const PlannerSettings& s, int firstTag,
               int lastTag)
      : m_case(c), m_device(d), m_job(j), m_firstTag(firstTag), m_lastTag(lastTag) {
    m_safeZ = std::min(d.m_dWorkZ, s.m_dParkingLift_mm);
    if (c.roll) m_rotaryScale = d.m_dPcr * 25.4 / (j.RollDiameter * 3.14159265358979323846) / d.m_dResY;
  }

  std::vector<Event> Build(const std::vector<PathRecord>& records) {
    std::vector<Event> events;
    bool firstMove = true, beforeRange = m_firstTag > 0;
    int tag = 0, prev = -1;
    for (const PathRecord& r : records) {
      if (r.m_nDiscard) continue;
      if (r.m_nCode <= 3) {
        Vec3 end = r.m_vEnd;
        if (firstMove) {
          if (r.m_byAxes & kAxisBitZ)
            firstMove = false;
          else
            end.z = m_safeZ;
        }
        if (r.m_nTagStart && prev != 0) {
          if (prev != -1) tag++;
          if (tag < m_firstTag)
            beforeRange = true;
          else if (beforeRange && tag == m_firstTag)
            beforeRange = false;
        }
        prev = r.m_nCode;
        if (beforeRange) continue;
        if (m_lastTag != 0 && m_lastTag >= m_firstTag && m_lastTag < tag) break;
        Event e;
        e.isMove = true;
        e.target[0] = (int64_t)SaturateInt32(end.x * kStepsPerMm);
        e.target[1] = (int64_t)SaturateInt32(end.y * m_rotaryScale * kStepsPerMm);
        e.target[2] = (int64_t)SaturateInt32(end.z * kStepsPerMm);
        events.push_back(e);
      } else if (r.m_nCode == 0xFFFF) {
        AddTagCommands(r, events);
      }
    }
    return events;
  }

 private:
  void Command(std::vector<Event>& events, WORD code, DWORD value) {
    Event e;
    e.code = code;
    e.value = value;
    events.push_back(e);
  }
  void SelectTool(std::vector<Event>& events) {
    Command(events, DT_SS, Low16(m_job.StartSpeed));
    Command(events, DT_SU, Low16(m_job.TraverseSpeed));
    Command(events, DT_SD, Low16(m_job.FeedSpeed));
    Command(events, DT_SZ, Low16(m_job.PlungeSpeed));
    if (m_job.SpindleOn) Command(events, DT_G97, Low32(m_job.SpindleSpeed));
  }
  // The instruction table for the tags generated programs carry.
  void AddTagCommands(const PathRecord& r, std::vector<Event>& events) {
    char raw[3] = {r.m_szName[0], r.m_szName[0] ? r.m_szName[1] : '\0', 0};
    std::string name(raw);
    for (char& ch : name) ch = (char)std::toupper((unsigned char)ch);
    double v = r.m_dValue;
    int n = (int)TruncToInt64(v);
    if (name == "M") {
      bool known = n == 3 || n == 4 || n == 5 || n == 7 || n == 8 || n == 9;
      if (known) Command(events, DT_M03, Low16(v));
    } else if (name == "S") {
      if (m_job.SWordEnabled) Command(events, DT_G97, Low32(v));
    } else if (name == "T" || name == "SP") {
      SelectTool(events);
      Command(events, DT_SP, Low16(v));
    } else if (name == "ZZ") {
      if (!(m_case.force2D && v <= 1)) Command(events, DT_ZZ, Low16(v));
    } else if (name == "IN") {
      Command(events, DT_IN, kInValue);
    } else if (name == "SW" || name == "ZW" || name == "PU" || name == "PD" || name == "P" || name == "D") {
      WORD code = name == "SW"   ? DT_SW
                  : name == "ZW" ? DT_ZW
                  : name == "PU" ? DT_PU
                  : name == "PD" ? DT_PD
                  : name == "P"  ? DT_P
                                 : DT_D;
      Command(events, code, Low16(v));
    } else if (name == "SA") {
      Command(events, DT_CS, Low16(m_device.m_dCornerSpeed));
      Command(events, DT_PN, Low16(m_device.m_dParamN));
      Command(events, DT_CU, Low16(m_device.m_dCornerUp));
      Command(events, DT_SA, Low16(v));
    } else if (name == "Y") {
      Command(events, DT_Y, Low32(v * kStepsPerMm));
    }
  }

  const SetUpCase& m_case;
  const DeviceParams& m_device;
  const JobRecord& m_job;
  int m_firstTag, m_lastTag;
  double m_safeZ = 50;
  double m_rotaryScale = 1.0;
};

// ---- The planner's own view: every planned run

class CPlanChecker : public IPlanObserver {
 public:
  CPlanChecker(const CPathProcessor& p, const DeviceParams& d) : m_proc(p), m_device(d) {}
  void OnRunPlanned(const PlanSegment* s, int n, WORD runGType) override {
    double floor = m_device.m_dLoForContinue;
    for (int i = 1; i < n; i++) {
      if (!(s[i].m_fTime >= m_lastTime) || !std::isfinite(s[i].m_fTime)) Fail("planned time goes back", i, s[i]);
      m_lastTime = s[i].m_fTime;
      if (s[i].m_dLength > 1e-6 && s[i].m_dVn > s[i].m_dVmax * (1 + 1e-9) + 1e-9)
        Fail("Vn above the intake limit", i, s[i]);
      if (runGType == kGRapid) continue;
      bool last = i == n - 1;
      double corner = s[i].m_dVn;
      if (s[i].m_dRadius != kUnset && s[i].m_dRadius <= 10000) corner = m_proc.GetCornerSpeed(s[i].m_dRadius);
      if (!last && s[i].m_dVc > std::max(floor, corner) + 1e-6) Fail("corner speed above its corner limit", i, s[i]);
      if (!last && s[i].m_dVc > std::max(floor, s[i + 1].m_dVn) + 1e-6) Fail("corner speed above the next Vn", i, s[i]);
      if (!last && s[i].m_dVc < floor - 1e-9) Fail("corner speed below the continuation speed", i, s[i]);
      if (last && s[i].m_dVc > m_proc.GetStartSpeed()) Fail("last corner above the start velocity", i, s[i]);
      double ramp = m_proc.GetRampTable().DistanceBetween(s[i - 1].m_dVc, s[i].m_dVc);
      if (ramp > s[i].m_dLength + 1e-9) Fail("corner speeds not reachable within the segment", i, s[i]);
    }
    m_runs++;
  }
  int Runs() const { return m_runs; }
  const std::vector<std::string>& Failures() const { return m_failures; }

 private:
  void Fail(const char* what, int i, const PlanSegment& s) {
    if (m_failures.size() >= 5) return;
    char text[200];
    std::snprintf(text, sizeof text, "run %d segment %d: %s (Vn %.3f Vc %.3f Vmax %.3f len %.3f r %.3g)", m_runs, i,
                  what, s.m_dVn, s.m_dVc, s.m_dVmax, s.m_dLength, s.m_dRadius);
    m_failures.push_back(text);
  }
  const CPathProcessor& m_proc;
  const DeviceParams& m_device;
  float m_lastTime = 0.0f;
  int m_runs = 0;
  std::vector<std::string> m_failures;
};

// ---- One job through the planner

struct Outcome {
  std::vector<std::vector<BYTE>> frames;
  std::vector<StreamItem> items;
  std::string decodeError;
  bool deliveredDone = false;
  std::vector<std::string> planFailures;
  double cumulativeTime = 0;
  double projected = 0;
};

class PropertyTest : public PlannerTest {
 protected:
  void Configure(const SetUpCase& c, const Program& program) {
    m_device = PlainDevice();
    m_job = PlainJob(program.tags);
    m_settings = PlainSettings();
    m_queue = CFrameRecorder();
    m_queue.m_nCapacity = c.capacity;
    if (c.gForm) m_queue.m_strVersion = "VER5300";
    m_job.RelativeCoords = c.relative;
    m_job.SmoothLevel = 3;
    m_job.SlowDownFraction = 0.6;
    m_job.SWordEnabled = TRUE;
    if (c.fitting) EnableArcFitting(m_job);
    if (c.roll) {
      m_device.m_nMachineClass = 4;
      m_device.m_nRotaryAxis = 0;  // turns about X: Y is scaled
      m_job.RollEngrave = TRUE;
      m_job.RollDiameter = 80;
    }
    m_first = c.range && program.tags >= 3 ? program.tags / 3 : 0;
    m_last = c.range && program.tags >= 3 ? 2 * program.tags / 3 : 0;
  }

  Outcome RunOnce(const SetUpCase& c, const Program& program) {
    Outcome out;
    m_queue.Clear();
    auto proc = std::make_unique<CPathProcessor>();
    CPlanChecker checker(*proc, m_device);
    proc->SetPlanObserver(&checker);
    proc->SetForce2D(c.force2D);
    CString error;
    EXPECT_TRUE(StartJob(*proc, &m_queue, m_job, m_device, m_settings, m_first, m_last, &error)) << (const char*)error;
    RunRecords(*proc, m_device, m_job, program.records);
    out.frames = m_queue.FrameData();
    DecodeFrames(out.frames, out.items, out.decodeError);
    out.deliveredDone = m_queue.m_bDeliveredDone;
    out.planFailures = checker.Failures();
    out.cumulativeTime = proc->GetCumulativeTime();
    out.projected = proc->GetPlannedTagTime(-1);
    return out;
  }

  // The start commands of this set-up: what a job without records sends before its end.
  size_t StartCommandCount(const SetUpCase& c) {
    Program empty;
    empty.tags = m_job.TotalTags;
    Outcome o = RunOnce(c, empty);
    size_t commands = 0;
    for (const StreamItem& i : o.items)
      if (i.kind == ItemKind::kCommand) commands++;
    return commands - 5;  // the closing DT_DH x4 and DT_SP 0
  }

  void Check(const SetUpCase& c, const Program& program) {
    SCOPED_TRACE(program.name + " / " + c.name);
    Configure(c, program);
    size_t startCommands = StartCommandCount(c);
    Outcome o = RunOnce(c, program);
    ASSERT_TRUE(o.decodeError.empty()) << o.decodeError;
    EXPECT_TRUE(o.deliveredDone);
    for (const std::string& f : o.planFailures) ADD_FAILURE() << f;
    EXPECT_TRUE(std::isfinite(o.cumulativeTime) && o.cumulativeTime >= 0);
    EXPECT_TRUE(std::isfinite(o.projected) && o.projected >= 0);
    CheckEnding(o.items);
    CheckItems(c, o.items);
    CExpectation model(c, m_device, m_job, m_settings, m_first, m_last);
    std::vector<Event> ev = model.Build(program.records);
    CheckOrder(c, o.items, ev, startCommands);
    if (getenv("PLANNER_DEBUG")) {
      int arcs = 0, moves = 0, cmds = 0;
      for (auto& i : o.items) {
        if (i.kind == ItemKind::kGArc) arcs++;
        if (i.IsMove())
          moves++;
        else
          cmds++;
      }
      int evm = 0;
      for (auto& e : ev) evm += e.isMove;
      printf("%s/%s: records %zu events %zu (moves %d) items moves %d arcs %d cmds %d frames %zu start %zu\n",
             program.name.c_str(), c.name, program.records.size(), ev.size(), evm, moves, arcs, cmds, o.frames.size(),
             startCommands);
    }

    Outcome again = RunOnce(c, program);
    EXPECT_TRUE(again.frames == o.frames) << "the same input gave other bytes";
  }

  void CheckEnding(const std::vector<StreamItem>& items) {
    std::vector<const StreamItem*> commands;
    for (const StreamItem& i : items)
      if (i.kind == ItemKind::kCommand) commands.push_back(&i);
    ASSERT_GE(commands.size(), 5u);
    size_t n = commands.size();
    DWORD total = (DWORD)m_job.TotalTags;
    EXPECT_EQ(DT_SP, commands[n - 1]->code);
    EXPECT_EQ(0u, commands[n - 1]->value);
    EXPECT_TRUE(commands[n - 2]->code == DT_DH && commands[n - 2]->value == total + 1);
    EXPECT_TRUE(commands[n - 3]->code == DT_DH && commands[n - 3]->value == total);
    EXPECT_TRUE(commands[n - 4]->code == DT_DH && commands[n - 5]->code == DT_DH &&
                commands[n - 4]->value == commands[n - 5]->value);
    DWORD last = 0;
    for (const StreamItem* i : commands)
      if (i->code == DT_DH) {
        EXPECT_GE(i->value, last) << "DT_DH went back";
        last = i->value;
      }
  }

  // Items alone: no arc command on a scaled rotary axis; Vn within the rated axis speeds
  // of the item's direction (items of a millimetre or more, where truncation to steps
  // bends the direction by at most a few percent).
  void CheckItems(const SetUpCase& c, const std::vector<StreamItem>& items) {
    CMoveReplay replay;
    double rated[3] = {m_device.m_dMaxSpeedX, m_device.m_dMaxSpeedY, m_device.m_dMaxSpeedZ};
    int reported = 0;
    for (const StreamItem& i : items) {
      if (!i.IsMove()) continue;
      if (c.roll && i.kind == ItemKind::kGArc) {
        ADD_FAILURE() << "an arc command on a roll job";
        return;
      }
      int64_t before[3] = {replay.Position(0), replay.Position(1), replay.Position(2)};
      replay.Apply(i);
      if (i.kind == ItemKind::kGArc) continue;
      double d[3], len = 0, m = 0, dominant = 0;
      for (int a = 0; a < 3; a++) {
        d[a] = std::fabs((double)(replay.Position(a) - before[a])) / kStepsPerMm;
        len += d[a] * d[a];
        m = std::max(m, d[a] / rated[a]);
        dominant = std::max(dominant, d[a]);
      }
      if (dominant < 1.0) continue;
      double limit = std::sqrt(len) / m;
      if ((i.vn > limit * 1.05 + 1 || i.vn < 1) && reported++ < 5)
        ADD_FAILURE() << "Vn " << i.vn << " against an axis limit of " << limit << ": " << Describe(i);
    }
  }

  // Replays the stream against the records' points and tag commands, in order.
  void CheckOrder(const SetUpCase& c, const std::vector<StreamItem>& items, const std::vector<Event>& events,
                  size_t startCommands) {
    std::vector<const StreamItem*> stream;
    size_t commands = 0;
    for (const StreamItem& i : items) {
      if (i.kind == ItemKind::kHeader) continue;
      if (i.kind == ItemKind::kCommand && commands++ < startCommands) continue;
      stream.push_back(&i);
    }
    ASSERT_GE(stream.size(), 5u);
    stream.resize(stream.size() - 5);  // the closing commands, checked on their own
    double tolerance = (c.fitting ? m_job.ArcFitRadiusJitter : 0.0) + 0.02;
    CMoveReplay replay;
    size_t p = 0;
    int reached = 0;
    auto at = [&](const Event& e) {
      for (int a = 0; a < 3; a++) {
        if (a == 2 && c.force2D) continue;
        if (std::llabs(replay.Position(a) - e.target[a]) > 1) return false;
      }
      return true;
    };
    auto onArc = [&](const StreamItem& arc, const Event& e) {
      int first = arc.plane == kPlaneYZ ? 1 : 0, second = arc.plane == kPlaneXY ? 1 : 2, normal = 3 - first - second;
      double r = std::hypot((double)(e.target[first] - arc.center[0]), (double)(e.target[second] - arc.center[1]));
      bool inPlane = c.force2D && normal == 2 ? true : std::llabs(replay.Position(normal) - e.target[normal]) <= 1;
      return inPlane && std::fabs(r - arc.radius) <= tolerance * kStepsPerMm + 2;
    };
    for (size_t k = 0; k < events.size(); k++) {
      const Event& e = events[k];
      if (e.isMove) {
        for (;;) {
          if (at(e)) break;
          if (p >= stream.size()) {
            FAIL() << "point " << reached << " (" << e.target[0] << ", " << e.target[1] << ", " << e.target[2]
                   << ") never reached; the stream is at (" << replay.Position(0) << ", " << replay.Position(1) << ", "
                   << replay.Position(2) << ")";
          }
          const StreamItem& i = *stream[p];
          if (i.kind == ItemKind::kCommand) {
            if (i.code == DT_DH || i.code == DT_ZW) {
              p++;
              continue;
            }
            FAIL() << "command " << Describe(i) << " before point " << reached << " that it follows in the records";
          }
          if (i.kind == ItemKind::kGArc && onArc(i, e)) break;
          replay.Apply(i);
          p++;
        }
        reached++;
      } else {
        for (;;) {
          if (p >= stream.size()) FAIL() << "command " << e.code << "=" << e.value << " missing";
          const StreamItem& i = *stream[p++];
          if (i.IsMove()) {
            replay.Apply(i);
            continue;
          }
          if (i.code == DT_DH) continue;
          ASSERT_TRUE(i.code == e.code && i.value == e.value) << "expected command " << e.code << "=" << e.value
                                                              << " after point " << reached << ", got " << Describe(i);
          break;
        }
      }
    }
    for (; p < stream.size(); p++)
      if (stream[p]->kind == ItemKind::kCommand && stream[p]->code != DT_DH)
        ADD_FAILURE() << "command " << Describe(*stream[p]) << " that no record asked for";
  }

  int m_first = 0, m_last = 0;
};

// ---- Programs

Program LoadProgram(const std::string& name, const CString& path) {
  Program program;
  program.name = name;
  testing_support::MessageBoxRecorder boxes;
  CPathOptimizer opt;
  opt.Reset();
  opt.LoadFromNCFile(nullptr, path, Vec3(1, 1, 1));
  opt.Optimize(nullptr, nullptr);
  for (int i = 0; i < opt.GetElementCount(); i++) {
    PathRecord r;
    if (!opt.GetPathRecord(i, r, FALSE)) break;
    program.records.push_back(r);
  }
  program.tags = std::max(opt.GetTagCount(), 1);
  return program;
}

// Circles and spirals made of short chords (what CAM output gives for curves), with
// plunges between them, tool and spindle words, and coolant and spindle words in the
// middle of a cut: the food of smoothing, fitting and held-back instructions.
std::string ShortChordProgram() {
  std::ostringstream out;
  out << "G21 G90 G17\nT1 M6\nS12000 M3\nF1200\n";
  char line[96];
  for (int c = 0; c < 12; c++) {
    double cx = 20 + 35 * (c % 4), cy = 20 + 35 * (c / 4), r = 3 + 2.5 * c;
    int chords = 60 + 40 * (c % 3);
    std::snprintf(line, sizeof line, "G0 Z5\nG0 X%.4f Y%.4f\nG1 Z-%.2f F300\nF1500\n", cx + r, cy, 0.5 + 0.1 * c);
    out << line;
    for (int k = 1; k <= chords; k++) {
      double a = 2 * 3.14159265358979 * k / chords * (c % 2 ? -1 : 1);
      double rr = c % 3 == 2 ? r * (1 - 0.3 * k / chords) : r;  // every third a spiral
      std::snprintf(line, sizeof line, "G1 X%.4f Y%.4f\n", cx + rr * std::cos(a), cy + rr * std::sin(a));
      out << line;
      if (k == chords / 2 && c % 4 == 1) out << (c % 8 == 1 ? "M8\n" : "S14000\nM9\n");  // words in mid-cut
    }
    if (c == 5) out << "M5\nT2 M6\nS15000 M3\n";
  }
  out << "G0 Z10\nM5\nM30\n";
  return out.str();
}

TEST_F(PropertyTest, ShortChordProgram) {
  CString path = Path("chords.nc");
  ASSERT_TRUE(testing_support::WriteFileBytes(path, ShortChordProgram()));
  Program program = LoadProgram("chords", path);
  ASSERT_GT(program.records.size(), 500u);
  for (const SetUpCase& c : kSetUps) Check(c, program);
  // Without the optimiser's forced tag breaks the words stay inside their runs and are
  // held back there.
  PutParamValue("Optimization", "ForceBreak(M-Codes)", "");
  PutParamValue("Optimization", "ForceBreak(G-Words)", "");
  program = LoadProgram("chords without breaks", path);
  for (const SetUpCase& c : kSetUps) Check(c, program);
}

#if PLANNER_HAVE_GEN_DATA
TEST_F(PropertyTest, GeneratedPrograms) {
  const char* files[] = {"relief.nc", "contour.nc", "cycles.nc", "plot.plt"};
  for (const char* file : files) {
    CString path = GetAppFolder() + "data\\" + file;  // generated beside the test program
    Program program = LoadProgram(file, path);
    ASSERT_GT(program.records.size(), 100u) << file;
    for (const SetUpCase& c : kSetUps) Check(c, program);
  }
}
#else
TEST_F(PropertyTest, GeneratedPrograms) { GTEST_SKIP() << "the bench data generator (gen_gcode.py) was not found"; }
#endif

// The interpreter's random programs (o-words, expressions, cycles, broken lines): whatever
// the loader makes of them plans into a sound stream.
TEST_F(PropertyTest, InterpreterRandomPrograms) {
  struct CancelAfter : CProgressSink {
    explicit CancelAfter(int lines) : left(lines) {}
    void SetProgress(int, int) override {}
    BOOL IsCanceled() override { return --left < 0; }
    int left;
  };
  interp_testing::RandomGCodeGenerator gen(16016u);
  CString path = Path("random.nc");
  int planned = 0;
  for (int run = 0; run < 80; run++) {
    ASSERT_TRUE(testing_support::WriteFileBytes(path, gen.Program()));
    testing_support::MessageBoxRecorder boxes;
    CPathOptimizer opt;
    opt.Reset();
    CancelAfter cancel(3000);
    opt.LoadFromNCFile(&cancel, path, Vec3(1, 1, 1));
    opt.Optimize(nullptr, nullptr);
    Program program;
    program.name = "random " + std::to_string(run);
    for (int i = 0; i < opt.GetElementCount(); i++) {
      PathRecord r;
      if (!opt.GetPathRecord(i, r, FALSE)) break;
      program.records.push_back(r);
    }
    program.tags = std::max(opt.GetTagCount(), 1);
    if (!program.records.empty()) planned++;
    Check(kSetUps[run % 2 ? 1 : 0], program);
    Check(kSetUps[2 + run % 3], program);
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(planned, 20);
}

}  // namespace
}  // namespace planner_testing
