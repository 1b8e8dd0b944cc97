// The job snapshot's picture: a job's NC program drawn in the projection its record
// names, over the drawing box (the program's extent, or the machine plate), with feed
// moves shaded by depth, arc pieces coloured by direction, merged-away moves in red and,
// in the top view, the cutter's footprint. The window side gives it a canvas on a
// 750 x 550 bitmap and saves the bitmap as the job's ".snapshot" file.
//
// Drawing, for each copy of the job and each element in order:
//   - a mode code 17/18/19 sets the plane, a "T" tag the cutter;
//   - a rapid moves the pen and ends both arc runs;
//   - a feed picks its grey by depth and ends both arc runs; an arc piece picks the pen
//     of its place in its run (the other direction's run ends); the direction is the
//     drawn one, reversed where the orientation mirrors the plane;
//   - a merged-away move is drawn in red from the pen position; any other move from the
//     previous move's end (a dot where both are one pixel);
//   - in the top view with a known cutter, a circle of the cut width at the move's end
//     when it reaches the observed depth, and with "cutter track" on, circles every two
//     pixels along the move.
#pragma once

#include "jobs/job_record.h"
#include "jobs/review/preview_canvas.h"
#include "jobs/review/preview_projection.h"
#include "jobs/review/preview_style.h"
#include "platform/core.h"

class CNCProgram;

constexpr int kSnapshotWidth = 750;
constexpr int kSnapshotHeight = 550;
constexpr int kSnapshotPumpInterval = 500;  // elements between two queue drains
constexpr int kSnapshotFirstCutter = 3;     // cutter index before any "T" tag

constexpr COLORREF kBoxPenColor = RGB(0, 0, 200);  // solid, 2 pixels

class CSnapshotPainter {
 public:
  CSnapshotPainter(CPreviewCanvas& canvas, int width, int height)
      : m_canvas(canvas), m_nWidth(width), m_nHeight(height) {}

  // Draws the program as the record asks (its orientation is set on the program, its
  // UsedTools taken from it). FALSE, with nothing drawn, for a missing or empty program.
  // A cancel through the progress sink ends the drawing early, still TRUE.
  BOOL Paint(CProgressSink* progress, JobRecord& job, CNCProgram* program, const GraySettings& gray);

  const CPreviewProjection& Projection() const { return m_projection; }
  bool IsShaded() const { return m_bShaded; }
  double MaterialTop_mm() const { return m_dMaterialTop; }

 private:
  void DrawBox();
  // One copy; FALSE when the operator cancelled.
  BOOL DrawCopy(CProgressSink* progress, CNCProgram& program, const Vec3& offset);
  void SelectMovePen(int code, bool discarded, double z_mm);
  void DrawFootprints(POINT p, double z_mm);
  // Whether the cutter index names a cutter of the table (an index left over from
  // another table, or -1, does not).
  bool HasCutter() const;
  void DrawCircleAt(POINT p, double depth_mm);

  CPreviewCanvas& m_canvas;
  int m_nWidth, m_nHeight;  // pixels

  // Per picture.
  const JobRecord* m_pJob = nullptr;
  GraySettings m_gray;
  CPreviewProjection m_projection;
  Vec3 m_vMin;                  // oriented extent minimum: the box corner, mm
  double m_dMaterialTop = 0.0;  // height of the material face in the box, mm
  bool m_bShaded = false;       // feeds shaded by depth
  double m_dLevelsPerMm = 0.0;  // grey levels per mm of depth when shaded

  // Per element.
  int m_nPlane = kPlaneXY;
  int m_nCutter = kSnapshotFirstCutter;
  CArcRuns m_arcRuns;
  POINT m_ptPrevious = {0, 0};  // end of the previous move, pixels
  double m_dPrevZ = 0.0;        // its Z, program coordinates; 0 after a tag or code
};
