#include "jobs/review/snapshot_painter.h"

#include <cmath>
#include <cstring>

#include "device/cutter.h"
#include "device/device_params.h"
#include "nc/nc_program.h"

namespace {

constexpr double kFlat = 1e-7;  // mm: a depth or a face height at or below this is none

bool IsToolTag(const PathRecord& r) { return r.m_nCode >= 0xFF00 && r.m_szName[0] == 'T'; }

// The tool number of a "T" tag: its value truncated, or -1 when that is no int.
int ToolOfTag(double value) {
  if (!(value > -2147483648.0 && value < 2147483648.0)) return -1;
  return (int)value;
}

}  // namespace

BOOL CSnapshotPainter::Paint(CProgressSink* progress, JobRecord& job, CNCProgram* program, const GraySettings& gray) {
  if (!program || program->GetElementCount() <= 0) return FALSE;
  m_pJob = &job;
  m_gray = gray;
  m_nCutter = kSnapshotFirstCutter;
  m_nPlane = kPlaneXY;
  m_arcRuns.Reset();

  // The oriented program and its extent.
  program->SetOrientation(job.FlipX, job.FlipY, job.FlipZ, job.Orientation, 0);
  CString tools = program->GetUsedTools();
  std::strncpy(job.UsedTools, tools, sizeof job.UsedTools - 1);
  job.UsedTools[sizeof job.UsedTools - 1] = '\0';
  Vec3 size;
  program->GetExtentMin(m_vMin, TRUE);
  program->GetExtentSize(size, TRUE);

  // The box: the program's extent, or the machine plate with the material face.
  Vec3 box = size;
  m_dMaterialTop = 0.0;
  DeviceParams device;
  if (job.ShowPlate && FindDevice(job.DeviceName, &device)) {
    box = Vec3(device.m_dWorkX, device.m_dWorkY, device.m_dWorkZ);
    m_dMaterialTop = job.MaterialZeroOffset + job.MaterialHeight;
  }
  // Depth shading follows the program's own depth, also over the plate.
  m_bShaded = gray.bEnabled && std::fabs(size.z) > kFlat;
  m_dLevelsPerMm = m_bShaded ? gray.Levels() / std::fabs(size.z) : 0.0;

  m_projection.Setup(job.ViewPoint, box, m_nWidth, m_nHeight);
  DrawBox();

  CCopyOffsets copies(job, job.ShowPlate != 0);
  for (long long c = 0; c < copies.Count(); ++c)
    if (!DrawCopy(progress, *program, copies.At(c))) break;
  return TRUE;
}

void CSnapshotPainter::DrawBox() {
  m_canvas.SelectPen(kPenSolid, 2, kBoxPenColor);
  if (!m_projection.IsOblique()) {
    POINT tl = {TruncPixel(m_projection.OffsetX()), TruncPixel(m_projection.OffsetY())};
    double s = m_projection.Scale();
    RECT r = {tl.x, tl.y, TruncPixel(m_projection.OffsetX() + m_projection.DrawnWidth_mm() * s),
              TruncPixel(m_projection.OffsetY() + m_projection.DrawnHeight_mm() * s)};
    m_canvas.Rectangle(r, kBoxFaceColor);
    if (m_projection.View() != kViewXY && m_dMaterialTop > kFlat) {
      int y = TruncPixel(r.bottom - m_dMaterialTop * s);
      m_canvas.MoveTo(POINT{r.left, y});
      m_canvas.LineTo(POINT{r.right, y});
    }
    return;
  }
  DrawObliqueBox(m_canvas, m_projection, m_dMaterialTop);
}

BOOL CSnapshotPainter::DrawCopy(CProgressSink* progress, CNCProgram& program, const Vec3& offset) {
  m_ptPrevious = POINT{0, 0};
  m_dPrevZ = 0.0;
  int count = program.GetElementCount();
  PathRecord r;
  for (int n = 0; program.GetPathRecord(n, r, TRUE); ++n) {
    if (progress) progress->SetProgress(n + 1, count);
    // The queue is drained and the processor given up once per interval, not once per
    // element: a yield per element costs more than the drawing itself.
    if ((n + 1) % kSnapshotPumpInterval == 0) {
      platform::PumpMessages();
      Sleep(0);
    }

    int plane = PlaneOfCode(r.m_nCode);
    if (plane >= 0) m_nPlane = plane;
    if (IsToolTag(r)) {
      int tool = ToolOfTag(r.m_dValue);
      m_nCutter = tool < 0 ? -1 : FindCutter(tool);
    }
    if (r.m_nCode <= 3) {
      Vec3 end = r.GetEnd();
      POINT p = m_projection.Map(end - m_vMin + offset);
      bool discarded = r.m_nDiscard != 0;
      if (r.m_nCode == 0) {
        m_canvas.MoveTo(p);
        m_arcRuns.Reset();
      } else {
        SelectMovePen(r.m_nCode, discarded, end.z);
        if (discarded) {
          m_canvas.LineTo(p);
        } else {
          m_canvas.MoveTo(m_ptPrevious);
          if (p.x != m_ptPrevious.x || p.y != m_ptPrevious.y)
            m_canvas.LineTo(p);
          else
            m_canvas.SetPixel(p, RGB(0, 0, 0));
          DrawFootprints(p, end.z);
        }
      }
      m_ptPrevious = p;
      m_dPrevZ = end.z;
    } else {
      m_dPrevZ = 0.0;
    }
    if (progress && progress->IsCanceled()) return FALSE;
  }
  return TRUE;
}

void CSnapshotPainter::SelectMovePen(int code, bool discarded, double z_mm) {
  if (code == 1) {
    int index = m_bShaded ? FeedPenIndex(m_dPrevZ, z_mm, m_dLevelsPerMm, m_gray.Levels()) : 0;
    m_arcRuns.Reset();
    if (!discarded) m_canvas.SelectPen(kPenSolid, 1, FeedPenColor(m_gray, m_bShaded, index));
  } else {
    bool clockwise = (code == 2) != IsArcMirrored(m_nPlane, m_pJob->Orientation, m_pJob->FlipZ != 0);
    COLORREF color = m_arcRuns.Next(clockwise);
    if (!discarded) m_canvas.SelectPen(kPenSolid, 1, color);
  }
  if (discarded) m_canvas.SelectPen(kPenSolid, 1, kDiscardedColor);
}

bool CSnapshotPainter::HasCutter() const { return m_nCutter >= 0 && m_nCutter < g_CutterTable.m_nCount; }

void CSnapshotPainter::DrawCircleAt(POINT p, double depth_mm) {
  const CCutter& cutter = g_CutterTable.m_records[m_nCutter];
  double width_mm = cutter.GetCutWidth(0, std::fabs(depth_mm - m_pJob->PreviewParam));
  m_canvas.Circle(p, TruncPixel(width_mm * m_projection.Scale()));
}

void CSnapshotPainter::DrawFootprints(POINT p, double z_mm) {
  const JobRecord& job = *m_pJob;
  if (job.RawPathOnly != 0 || job.ViewPoint != kViewXY || !HasCutter()) return;
  if (z_mm <= job.ViewDepth) DrawCircleAt(p, z_mm);
  if (!job.ShowInterpolation) return;
  // Circles every two pixels along the move, the depth taken linearly along it.
  double dx = (double)p.x - m_ptPrevious.x, dy = (double)p.y - m_ptPrevious.y;
  double d = std::fmax(std::fabs(dx), std::fabs(dy));
  if (d < 2.0) return;
  int k = (int)(d / 2.0) - 1;
  for (int i = 1; i <= k; ++i) {
    double f = (double)i / k;
    double z = m_dPrevZ + (z_mm - m_dPrevZ) * f;
    if (z > job.ViewDepth) continue;
    POINT q = {TruncPixel(m_ptPrevious.x + dx * f), TruncPixel(m_ptPrevious.y + dy * f)};
    DrawCircleAt(q, z);
  }
}
