// What the engine derives from a job before it runs it: the orientation transform, the
// copy offsets, the record preparation of the processing thread (orientation, copy
// offset, turning sense of arcs, axis masks), and the checks of a start (tag range,
// work range, copies range) with their texts.
//
// All of it is arithmetic on the job record and the controller's reported positions,
// kept apart from the dialog so that the tables of cases run in both builds.
#pragma once

#include <vector>

#include "device/device_params.h"
#include "foundation/geometry.h"
#include "foundation/path_record.h"
#include "jobs/job_record.h"
#include "platform/core.h"

// The job's orientation transform: orientation codes 2-8 mirror and exchange X and Y
// inside the job's extent (FeedMax); FlipZ mirrors Z; any other code is the identity.
void SetupOrientation(const JobRecord& job, TransformMatrix& transform);
// Orientations 3, 4, 7 and 8 exchange X and Y: the mask's X and Y bits swap, Z stays,
// other bits go. Other orientations keep the mask.
BYTE RotateAxisMask(int orientation, BYTE mask);
// Whether an arc's turning sense flips in this plane (0 XY, 4 XZ, 8 YZ).
bool ArcTurnFlips(int orientation, BOOL flipZ, int plane);

// The offsets of every copy, X outermost and Z innermost; counts by their absolute
// value, 0 taken as 1. TRUE when there is more than one copy.
BOOL PrepareCopies(const JobRecord& job, std::vector<Vec3>& offsets);

// Everything a record needs on its way to the planner.
struct RecordTransform {
  int nOrientation = 0;
  BOOL bFlipZ = FALSE;
  TransformMatrix transform;
  Vec3 copyOffset;
};
// Prepares a record just read: plane codes (17, 18, 19) switch `plane`; a move gets its
// end point (and an arc its centre) through the orientation and the copy offset, its
// axis mask rotated and an arc's code flipped where the orientation mirrors the plane.
void PrepareJobRecord(PathRecordData& record, int& plane, const RecordTransform& how);

// The start and end tag of a start within 0..total-1 (total of all copies). FALSE with
// the "Available Number" message otherwise; a job of no tags has no valid range and
// gives "No data imported".
BOOL CheckTagRange(long start, long end, DWORD totalTags, CString& message);

// What the range checks compare: the controller's last work and origin positions, in
// steps, with each axis's resolution (steps per inch).
struct WorkArea {
  Vec3 work_steps;
  Vec3 origin_steps;
  double res_steps_in[3] = {1016.0, 1016.0, 1016.0};
};

// Whether the job, after orientation, fits the work area with one step's tolerance per
// axis. `parkingLift_mm` drops to the top of the Z range when that is lower. FALSE with
// the violations and the allowed ranges in `message`.
BOOL CheckWorkRange(const JobRecord& job, const TransformMatrix& transform, const WorkArea& area,
                    double& parkingLift_mm, CString& message);

// The copy settings as the dialog holds them: counts and whole millimetres of spacing.
struct CopySettings {
  long count[3] = {1, 1, 1};
  long spacing_mm[3] = {0, 0, 0};
};
enum CopiesCheck {
  kCopiesFit = 0,      // nothing to say
  kCopiesWarning = 1,  // the spacing is smaller than the job: a text only, the job may run
  kCopiesOutside = 2,  // a copy leaves the work area: the start fails
};
// Whether all copies fit. With a warning or a failure `message` holds the text.
CopiesCheck CheckCopiesRange(const JobRecord& job, const TransformMatrix& transform, const WorkArea& area,
                             const CopySettings& copies, double& parkingLift_mm, CString& message);
