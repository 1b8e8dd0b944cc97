// The job the engine's link tests run: six tags on the plain router of the planner's
// test driver, each a rapid, a plunge and a short zig-zag (59 x 2 mm, Z -1 to 5).
#pragma once

#include <vector>

#include "engine/planner/command_codes.h"
#include "engine/planner/plan_segment.h"
#include "engine/planner/testing/job_driver.h"

inline std::vector<PathRecord> SixTagJob() {
  using planner_testing::MoveRecord;
  std::vector<PathRecord> records;
  for (int tag = 0; tag < 6; tag++) {
    records.push_back(MoveRecord(kGRapid, tag * 10.0, 0, 5, kAxisBitsXYZ, true));
    records.push_back(MoveRecord(kGLine, tag * 10.0, 0, -1, kAxisBitZ, true));
    for (int k = 1; k <= 30; k++) records.push_back(MoveRecord(kGLine, tag * 10.0 + k * 0.3, k % 3, -1, 0xC0));
  }
  return records;
}
