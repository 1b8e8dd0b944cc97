#include "engine/runtime/job_setup.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "resources/resource.h"

namespace {

constexpr double kMmPerInch = 25.4;

double AxisOf(const Vec3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }
double& AxisOf(Vec3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// The job's corners after orientation: a mirrored axis swaps its lower and upper corner.
void JobCorners(const JobRecord& job, const TransformMatrix& transform, Vec3& upper, Vec3& lower) {
  Vec3 p = transform.Apply(Vec3(job.FeedMax));
  Vec3 q = transform.Apply(Vec3(job.FeedMin));
  upper = Vec3(std::max(p.x, q.x), std::max(p.y, q.y), std::max(p.z, q.z));
  lower = Vec3(std::min(p.x, q.x), std::min(p.y, q.y), std::min(p.z, q.z));
}

// The allowed range of the work area in millimetres: each axis converted with its own
// resolution, as the reply lines are.
struct AllowedRange {
  Vec3 min_mm, max_mm;
  double step_mm[3] = {0, 0, 0};  // one step of each axis: the tolerance of every test
};

AllowedRange MakeAllowedRange(const WorkArea& area, double& parkingLift_mm) {
  AllowedRange r;
  Vec3 work = area.work_steps, origin = area.origin_steps;
  for (int axis = 0; axis < 3; ++axis) {
    double perMm = area.res_steps_in[axis] / kMmPerInch;
    if (std::fabs(perMm) > g_dDoubleZero) {
      AxisOf(work, axis) /= perMm;
      AxisOf(origin, axis) /= perMm;
      r.step_mm[axis] = 1.0 / perMm;
    }
    AxisOf(r.min_mm, axis) = -AxisOf(origin, axis);
    AxisOf(r.max_mm, axis) = AxisOf(work, axis) - AxisOf(origin, axis);
  }
  if (r.max_mm.z < parkingLift_mm) parkingLift_mm = r.max_mm.z;
  return r;
}

CString Amount(double mm) {
  CString text;
  text.Format(LoadLangString(IDS_RANGE_MM_CN, IDS_RANGE_MM_EN), mm);
  return text;
}

struct AxisTexts {
  UINT negative[2], positive[2], offset[2];
};
const AxisTexts kAxisTexts[3] = {
    {{IDS_X_NEGATIVE_CN, IDS_X_NEGATIVE_EN},
     {IDS_X_POSITIVE_CN, IDS_X_POSITIVE_EN},
     {IDS_OFFSET_X_CN, IDS_OFFSET_X_EN}},
    {{IDS_Y_NEGATIVE_CN, IDS_Y_NEGATIVE_EN},
     {IDS_Y_POSITIVE_CN, IDS_Y_POSITIVE_EN},
     {IDS_OFFSET_Y_CN, IDS_OFFSET_Y_EN}},
    {{IDS_Z_NEGATIVE_CN, IDS_Z_NEGATIVE_EN},
     {IDS_Z_POSITIVE_CN, IDS_Z_POSITIVE_EN},
     {IDS_OFFSET_Z_CN, IDS_OFFSET_Z_EN}},
};

CString Item(const UINT ids[2], double mm) { return LoadLangString(ids[0], ids[1]) + Amount(mm); }

// Appends the axis's violations of the range; true when there was one.
bool CheckAxis(int axis, const Vec3& lower, const Vec3& upper, const AllowedRange& r, CStringArray& items) {
  bool outside = false;
  double step = r.step_mm[axis];
  if (AxisOf(lower, axis) + step < AxisOf(r.min_mm, axis)) {
    items.Add(Item(kAxisTexts[axis].negative, AxisOf(r.min_mm, axis) - AxisOf(lower, axis)));
    outside = true;
  }
  if (AxisOf(r.max_mm, axis) + step < AxisOf(upper, axis)) {
    items.Add(Item(kAxisTexts[axis].positive, AxisOf(upper, axis) - AxisOf(r.max_mm, axis)));
    outside = true;
  }
  return outside;
}

CString AllowedText(const AllowedRange& r, int axis) {
  static const UINT ids[3][2] = {
      {IDS_ALLOWED_X_CN, IDS_ALLOWED_X_EN}, {IDS_ALLOWED_Y_CN, IDS_ALLOWED_Y_EN}, {IDS_ALLOWED_Z_CN, IDS_ALLOWED_Z_EN}};
  CString text;
  text.Format(LoadLangString(ids[axis][0], ids[axis][1]), AxisOf(r.min_mm, axis), AxisOf(r.max_mm, axis));
  return text;
}

CString Join(const CStringArray& items, const char* separator) {
  CString text;
  for (int i = 0; i < items.GetSize(); ++i) {
    if (i > 0) text += separator;
    text += items[i];
  }
  return text;
}

}  // namespace

void SetupOrientation(const JobRecord& job, TransformMatrix& t) {
  const Vec3 m = job.FeedMax;
  t.SetIdentity();
  t.SetZAxis(0, 0, job.FlipZ ? -1.0 : 1.0);
  switch (job.Orientation) {
    case 2: t.SetXAxis(-1, 0, 0), t.SetYAxis(0, 1, 0), t.SetOrigin(m.x, 0, 0); break;
    case 3: t.SetXAxis(0, -1, 0), t.SetYAxis(-1, 0, 0), t.SetOrigin(m.y, m.x, 0); break;
    case 4: t.SetXAxis(0, -1, 0), t.SetYAxis(1, 0, 0), t.SetOrigin(0, m.x, 0); break;
    case 5: t.SetXAxis(1, 0, 0), t.SetYAxis(0, -1, 0), t.SetOrigin(0, m.y, 0); break;
    case 6: t.SetXAxis(-1, 0, 0), t.SetYAxis(0, -1, 0), t.SetOrigin(m.x, m.y, 0); break;
    case 7: t.SetXAxis(0, 1, 0), t.SetYAxis(-1, 0, 0), t.SetOrigin(m.y, 0, 0); break;
    case 8: t.SetXAxis(0, 1, 0), t.SetYAxis(1, 0, 0), t.SetOrigin(0, 0, 0); break;
    default: break;
  }
}

BYTE RotateAxisMask(int orientation, BYTE mask) {
  if (orientation != 3 && orientation != 4 && orientation != 7 && orientation != 8) return mask;
  BYTE rotated = mask & 0x20;
  if (mask & 0x80) rotated |= 0x40;
  if (mask & 0x40) rotated |= 0x80;
  return rotated;
}

bool ArcTurnFlips(int orientation, BOOL flipZ, int plane) {
  auto any = [orientation](std::initializer_list<int> codes) {
    return std::find(codes.begin(), codes.end(), orientation) != codes.end();
  };
  if (plane == 8) return (flipZ != 0) != any({4, 5, 6, 8});
  if (plane == 4) return (flipZ != 0) != any({2, 6, 7, 8});
  return any({2, 3, 5, 8});
}

BOOL PrepareCopies(const JobRecord& job, std::vector<Vec3>& offsets) {
  auto count = [](int32_t n) { return n == 0 ? 1L : std::labs((long)n); };
  long nx = count(job.CopiesX), ny = count(job.CopiesY), nz = count(job.CopiesZ);
  offsets.clear();
  // The offsets are sums of the spacing, as the controller's own copy placement adds them.
  double x = 0;
  for (long i = 0; i < nx; ++i, x += job.CopyOffsetX) {
    double y = 0;
    for (long j = 0; j < ny; ++j, y += job.CopyOffsetY) {
      double z = 0;
      for (long k = 0; k < nz; ++k, z += job.CopyOffsetZ) offsets.push_back(Vec3(x, y, z));
    }
  }
  return offsets.size() > 1 ? TRUE : FALSE;
}

void PrepareJobRecord(PathRecordData& r, int& plane, const RecordTransform& how) {
  if (r.m_nCode == 17) plane = 0;
  if (r.m_nCode == 18) plane = 4;
  if (r.m_nCode == 19) plane = 8;
  if (r.m_nCode > 3) return;
  bool arc = r.m_nCode == 2 || r.m_nCode == 3;
  if (arc && ArcTurnFlips(how.nOrientation, how.bFlipZ, plane)) r.m_nCode = r.m_nCode == 2 ? 3 : 2;
  Vec3 end = how.transform.Apply(Vec3(r.m_vEnd));
  end += how.copyOffset;
  r.m_vEnd = end;
  if (arc) {
    Vec3 centre = how.transform.Apply(Vec3(r.m_vCenter));
    centre += how.copyOffset;
    r.m_vCenter = centre;
  }
  r.m_byAxes = RotateAxisMask(how.nOrientation, r.m_byAxes);
}

BOOL CheckTagRange(long start, long end, DWORD totalTags, CString& message) {
  message.Empty();
  if (totalTags == 0) {
    message = LoadLangString(IDS_NO_DATA_CN, IDS_NO_DATA_EN);
    return FALSE;
  }
  long long last = (long long)totalTags - 1;
  const char* which = nullptr;
  if (start < 0 || start > last)
    which = "Start:[0-";
  else if (end < 0 || end > last)
    which = "End:[0-";
  if (!which) return TRUE;
  message.Format("%s%s%lld]", (const char*)LoadLangString(IDS_TAG_RANGE_CN, IDS_TAG_RANGE_EN), which, last);
  return FALSE;
}

BOOL CheckWorkRange(const JobRecord& job, const TransformMatrix& transform, const WorkArea& area,
                    double& parkingLift_mm, CString& message) {
  message.Empty();
  AllowedRange r = MakeAllowedRange(area, parkingLift_mm);
  Vec3 upper, lower;
  JobCorners(job, transform, upper, lower);
  CStringArray items;
  for (int axis = 0; axis < 3; ++axis) CheckAxis(axis, lower, upper, r, items);
  double floor_mm = -job.MaterialHeight - job.MaterialZeroOffset;
  if (lower.z + r.step_mm[2] < floor_mm)
    items.Add(LoadLangString(IDS_Z_MATERIAL_CN, IDS_Z_MATERIAL_EN) + Amount(floor_mm - lower.z));
  if (items.GetSize() == 0) return TRUE;
  message = Join(items, " \r\n");
  message += " \r\n" + AllowedText(r, 0) + " \r\n" + AllowedText(r, 1) + " \r\n" + AllowedText(r, 2);
  return FALSE;
}

CopiesCheck CheckCopiesRange(const JobRecord& job, const TransformMatrix& transform, const WorkArea& area,
                             const CopySettings& copies, double& parkingLift_mm, CString& message) {
  message.Empty();
  AllowedRange r = MakeAllowedRange(area, parkingLift_mm);
  Vec3 upper, lower;
  JobCorners(job, transform, upper, lower);
  Vec3 extent = upper - lower;
  if (copies.count[0] <= 1 && copies.count[1] <= 1 && copies.count[2] <= 1) return kCopiesFit;
  CStringArray items;
  bool outside = false;
  for (int axis = 0; axis < 3; ++axis) {
    long n = copies.count[axis];
    if (n <= 1) continue;
    double s = (double)copies.spacing_mm[axis];
    if (std::fabs(s) + r.step_mm[axis] < AxisOf(extent, axis))
      items.Add(Item(kAxisTexts[axis].offset, AxisOf(extent, axis)));
    double t = (double)(n - 1) * s;
    if (t >= 0)
      AxisOf(upper, axis) += t;
    else
      AxisOf(lower, axis) += t;
    if (CheckAxis(axis, lower, upper, r, items)) outside = true;
  }
  if (items.GetSize() == 0) return kCopiesFit;
  message = Join(items, "\r\n");
  message += "\r\n" + AllowedText(r, 0) + AllowedText(r, 1) + AllowedText(r, 2);
  message += LoadLangString(IDS_CHECK_COPIES_CN, IDS_CHECK_COPIES_EN);
  message += LoadLangString(IDS_CONTINUE_CN, IDS_CONTINUE_EN);
  return outside ? kCopiesOutside : kCopiesWarning;
}
