// Driving the path processor as the engine does, for tests and benchmarks: a plain
// machine and job, the calls before a transmission, and the processing thread's loop
// over the records of one copy.
#pragma once

#include <vector>

#include "engine/planner/path_processor.h"

namespace planner_testing {

// A three-axis router: 1016 steps per inch, 160/160/50 mm/s, continuation 8 mm/s,
// controller "V5" with arc support, 100 mm of Z.
DeviceParams PlainDevice();
// A job on it: traverse 100, feed 40, plunge 10, start 8 mm/s, 500 mm/s/s, smoothing
// grade 2, no arc fitting, no corner slow-down fraction.
JobRecord PlainJob(int totalTags);
// The job's own arc-fitting values (radius jitter 0.1, deviation 0.4, least length 0.5
// mm), which switch fitting on.
void EnableArcFitting(JobRecord& job);
// The settings' defaults, with the engine-wide values of a fresh engine.
PlannerSettings PlainSettings();

// Reset, PrepareJob, BeginJob(first, last) and the job header. False when PrepareJob
// refused (error set).
bool StartJob(CPathProcessor& processor, IFrameQueue* queue, const JobRecord& job, const DeviceParams& device,
              const PlannerSettings& settings, int firstTag = 0, int lastTag = 0, CString* error = nullptr);

// One copy of a job, as the processing thread feeds it: DT_IN and the device's initial
// instructions (and the start switch's), the start commands, every record that is not
// discarded ("T" tags only with automatic tool change), then the end of the job, also
// when the tag range ends first. Returns the last ProcessRecord result.
int RunRecords(CPathProcessor& processor, const DeviceParams& device, const JobRecord& job,
               const std::vector<PathRecord>& records, bool autoToolChange = true);

// Records made by hand.
PathRecord MoveRecord(WORD code, double x, double y, double z, BYTE axes = 0xE0, bool tagStart = false,
                      double radius = 1.7976931348623157e308, double angle = 1.7976931348623157e308);
PathRecord ArcRecord(WORD code, const Vec3& end, const Vec3& center, bool org = true);
PathRecord TagRecord(const char* name, double value);
PathRecord CodeRecord(WORD code);

}  // namespace planner_testing
