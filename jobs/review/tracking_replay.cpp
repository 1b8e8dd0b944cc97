#include "jobs/review/tracking_replay.h"

#include <cmath>
#include <cstring>

#include "device/device_params.h"
#include "jobs/review/path_review.h"
#include "nc/nc_program.h"

namespace {
constexpr double kFlat = 1e-7;  // mm: a depth or a face height at or below this is none
}

BOOL CTrackingReplay::Start(CNCProgram* program, const JobRecord& job, int view, bool showWorkSpace,
                            TrackingRange range, const GraySettings& gray, CPreviewCanvas& canvas, int width,
                            int height) {
  if (!program || program->GetElementCount() <= 0) return FALSE;
  m_pProgram = program;
  m_job = job;
  m_gray = gray;
  m_range = range;

  // The oriented program, and the box: its extent or the machine's working area.
  program->SetOrientation(job.FlipX, job.FlipY, job.FlipZ, job.Orientation, 0);
  Vec3 size;
  program->GetExtentMin(m_vMin, TRUE);
  program->GetExtentSize(size, TRUE);
  m_vBox = size;
  m_dMaterialTop = 0.0;
  DeviceParams device;
  if (showWorkSpace && FindDevice(job.DeviceName, &device)) {
    m_vBox = Vec3(device.m_dWorkX, device.m_dWorkY, device.m_dWorkZ);
    m_dMaterialTop = job.MaterialHeight + job.MaterialZeroOffset;
  }
  m_dGrayScale = gray.bEnabled && std::fabs(size.z) > kFlat ? gray.Levels() / std::fabs(size.z) : DBL_MAX;

  m_projection.Setup(view, m_vBox, width, height);
  DrawBox(canvas);

  m_copies = CCopyOffsets(job, showWorkSpace);
  m_nCopy = 0;
  m_vCopyOffset = m_copies.At(0);
  RestartCopy();
  return TRUE;
}

void CTrackingReplay::RestartCopy() {
  m_nRecordIndex = 0;
  m_nTagCounter = 0;
  m_bInRange = false;
  m_arcRuns.Reset();
  m_nPlane = kPlaneXY;
  m_dPrevZ = 0.0;
}

void CTrackingReplay::DrawBox(CPreviewCanvas& canvas) {
  canvas.SelectPen(kPenDotted, 1, kTrackingBoxPen);
  const double s = m_projection.Scale();
  const int view = m_projection.View();
  if (view == kViewXY || view == kViewYZ || view == kViewZX) {
    // The outline sits one pixel outside the drawn box and reaches past its far edges.
    int f = view == kViewXY ? 2 : 4;
    RECT r;
    r.left = TruncPixel(m_projection.OffsetX() - 1.0);
    r.top = TruncPixel(m_projection.OffsetY() - 1.0);
    r.right = TruncPixel(s * m_projection.DrawnWidth_mm() + r.left) + f;
    r.bottom = TruncPixel(s * m_projection.DrawnHeight_mm() + r.top) + f;
    canvas.Rectangle(r, kBoxFaceColor);
    if (view != kViewXY && m_dMaterialTop > kFlat) {
      int y = TruncPixel(r.bottom - s * m_dMaterialTop);
      canvas.MoveTo(POINT{r.left, y});
      canvas.LineTo(POINT{r.right, y});
    }
    return;
  }
  if (view == kViewOblique) DrawObliqueBox(canvas, m_projection, m_dMaterialTop);  // an unknown view: no box
}

void CTrackingReplay::SelectMovePen(const PathRecord& r, CPreviewCanvas& canvas) {
  double z = r.m_vEnd.z;
  if (r.m_nCode == 1) {
    bool shaded = m_dGrayScale != DBL_MAX;
    int index = shaded ? FeedPenIndex(m_dPrevZ, z, m_dGrayScale, m_gray.Levels()) : 0;
    canvas.SelectPen(kPenSolid, 1, FeedPenColor(m_gray, shaded, index));
    m_arcRuns.Reset();
    return;
  }
  bool clockwise = (r.m_nCode == 2) != IsArcMirrored(m_nPlane, m_job.Orientation, m_job.FlipZ != 0);
  canvas.SelectPen(kPenSolid, 1, m_arcRuns.Next(clockwise));
}

BOOL CTrackingReplay::Step(int n, CPreviewCanvas& canvas) {
  if (!m_pProgram) return FALSE;
  PathRecord r;
  int taken = 0;
  while (taken < n || !m_bInRange) {
    if (!m_pProgram->GetPathRecord(m_nRecordIndex, r, TRUE)) {
      if (m_nCopy + 1 >= m_copies.Count()) return FALSE;
      m_vCopyOffset = m_copies.At(++m_nCopy);
      RestartCopy();
      continue;
    }
    ++m_nRecordIndex;
    const bool discarded = r.m_nDiscard != 0;
    const bool cut = r.m_nCode >= 1 && r.m_nCode <= 3;
    // The range, checked in order: in from the start tag, out after the end tag.
    if (r.m_nTagStart != 0 && !discarded && cut) ++m_nTagCounter;
    if (!m_bInRange) m_bInRange = m_range.nStart <= 1 || m_nTagCounter >= m_range.nStart;
    if (m_bInRange && m_range.nEnd != 0 && m_nTagCounter > m_range.nEnd) m_bInRange = false;

    int plane = PlaneOfCode(r.m_nCode);
    if (plane >= 0) m_nPlane = plane;
    if (r.m_nCode <= 3) {
      POINT p = m_projection.Map(r.GetEnd() - m_vMin + m_vCopyOffset);
      ++taken;
      if (r.m_nCode == 0) {
        canvas.MoveTo(p);
        m_arcRuns.Reset();
      } else {
        SelectMovePen(r, canvas);
        if (!discarded) {
          if (m_bInRange)
            canvas.LineTo(p);
          else
            canvas.MoveTo(p);
        }
      }
      m_dPrevZ = r.m_vEnd.z;
    } else {
      m_dPrevZ = 0.0;
    }
  }
  return TRUE;
}

BOOL LoadTrackingProgram(const char* path, CNCProgram& program, TrackingLoadCounters& counters) {
  counters.lTotalRecords = 0;
  counters.lLoadedRecords = 0;
  CReadOnlyFileView view;
  if (!view.Open(path) || view.Size() < (ULONGLONG)kPathRecordSize) return FALSE;
  ULONGLONG count64 = view.Size() / kPathRecordSize;
  LONG count = count64 > 0x7FFFFFFF ? 0x7FFFFFFF : (LONG)count64;
  counters.lTotalRecords = count;
  program.Reset();
  program.ReserveMemory(((size_t)count + 100) * 107 + 8);
  PathRecord record;
  PathRecordData data;
  for (LONG i = 0; i < count && counters.lStopLoading <= 0; ++i) {
    std::memcpy(&data, view.Data() + (size_t)i * kPathRecordSize, kPathRecordSize);
    record.SetData(data);
    if (!program.AddPathRecord(&record)) break;  // out of memory: what was loaded stays
    ++counters.lLoadedRecords;
    Sleep(0);
  }
  return TRUE;
}
