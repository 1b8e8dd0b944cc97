// The path tracking demo's replay: a job's program drawn move by move into an
// off-screen picture, a few moves per timer tick, so that the operator sees in which
// order the machine will cut. Portable; the dialog owns the timer and the bitmap.
//
// A replay runs over every copy the job shows (one after another), within a tag range:
// the counter of tags advances on each move that starts a tag; the replay is in range
// from the start tag (from the first move when the start is 0 or 1) and out of range
// after the end tag (never for an end of 0). Moves out of range are passed over without
// drawing, any number of them within one step; a step draws at most n moves in range.
#pragma once

#include <atomic>
#include <cfloat>

#include "jobs/job_record.h"
#include "jobs/review/preview_canvas.h"
#include "jobs/review/preview_projection.h"
#include "jobs/review/preview_style.h"

class CNCProgram;

constexpr COLORREF kTrackingBoxPen = 0xC80000;  // dotted outline of the box

struct TrackingRange {
  long nStart = 0;  // first tag replayed; 0 or 1 replays from the first move
  long nEnd = 0;    // last tag replayed; 0 replays to the end
};

class CTrackingReplay {
 public:
  // Prepares the replay of the program (oriented as the job says) into a picture of
  // width x height pixels and draws the box. FALSE for a missing or empty program.
  BOOL Start(CNCProgram* program, const JobRecord& job, int view, bool showWorkSpace, TrackingRange range,
             const GraySettings& gray, CPreviewCanvas& canvas, int width, int height);
  // Replays moves until n moves were taken while in range. FALSE once the last copy
  // has ended (the picture stays as it is).
  BOOL Step(int n, CPreviewCanvas& canvas);

  int TagCounter() const { return m_nTagCounter; }
  bool IsInRange() const { return m_bInRange; }
  const CPreviewProjection& Projection() const { return m_projection; }
  // Grey levels per mm of depth; DBL_MAX when feeds are not shaded.
  double GrayScale() const { return m_dGrayScale; }
  const Vec3& Box() const { return m_vBox; }

 private:
  void DrawBox(CPreviewCanvas& canvas);
  // Back to the first record of a copy.
  void RestartCopy();
  void SelectMovePen(const PathRecord& r, CPreviewCanvas& canvas);

  CNCProgram* m_pProgram = nullptr;  // not owned
  JobRecord m_job;
  GraySettings m_gray;
  TrackingRange m_range;
  CPreviewProjection m_projection;
  Vec3 m_vMin;                  // oriented extent minimum, mm
  Vec3 m_vBox;                  // drawing box, mm
  double m_dMaterialTop = 0.0;  // mm
  double m_dGrayScale = DBL_MAX;
  long long m_nCopy = 0;  // copy being replayed
  CCopyOffsets m_copies;
  Vec3 m_vCopyOffset;

  // Replay state of the copy.
  int m_nRecordIndex = 0;  // next record
  int m_nTagCounter = 0;
  bool m_bInRange = false;
  CArcRuns m_arcRuns;
  int m_nPlane = kPlaneXY;
  double m_dPrevZ = 0.0;  // end Z of the previous record; 0 after a tag or code
};

// The replay's loader: rebuilds the program from a job's ".structs" file, record by
// record, yielding the processor after each so that the window stays responsive. It
// runs on a worker thread and shares only these counters with the window; it never
// touches the window.
struct TrackingLoadCounters {
  std::atomic<LONG> lStopLoading{0};    // set to stop the load early
  std::atomic<LONG> lTotalRecords{0};   // records of the file, once mapped
  std::atomic<LONG> lLoadedRecords{0};  // records appended so far
};

// Resets the program and appends the file's whole records until the stop request is
// set. FALSE, and the program as it was, when the file is missing, cannot be mapped or
// holds no whole record.
BOOL LoadTrackingProgram(const char* path, CNCProgram& program, TrackingLoadCounters& counters);
