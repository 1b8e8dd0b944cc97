// The speed trace review's data: the trace file the engine writes while it plans a job
// (a header line, then one line per acceleration, cruise or deceleration phase:
// "time_second, distance_mm, speed_mm_s, delta_time, delta_distance, line_type,
// tool_no, plane, line_no"), the ranges of time, distance and speed, the plot of speed
// over time or distance and the clipping of its segments to the plot area. The dialog
// scrolls, zooms and draws; everything it computes comes from here.
#pragma once

#include <vector>

#include "platform/core.h"

// One row of the trace.
struct SpeedTracePoint {
  double time = 0.0;           // s from the start of the job
  double distance = 0.0;       // mm
  double speed = 0.0;          // mm/s
  double deltaTime = 0.0;      // s, the phase
  double deltaDistance = 0.0;  // mm, the phase
  int32_t lineType = 0;        // segment type 0 rapid, 1 feed, 2 and 3 arcs
  int32_t toolNo = 0;          // the tool ("T12" gives 12)
  int32_t plane = 0;           // 0 "XY", 4 "ZX", 8 "YZ"; 0 for any other text
  int32_t lineNo = 0;          // the planned segment
  double GetX(bool timeAxis) const { return timeAxis ? time : distance; }
  double GetSpeed() const { return speed; }
};

// Blanks are dropped, then the nine fields are read in order (numbers as far as they
// go: a field that is no number reads 0). FALSE, the point zeroed, when the line has
// fewer than eight commas.
BOOL ParseTraceLine(const char* line, SpeedTracePoint& point);

// A whole trace and its ranges.
class CSpeedTrace {
 public:
  // Reads the file: the first line is the header; malformed lines are skipped. FALSE
  // when the file cannot be opened (the trace is then empty).
  BOOL Load(const char* path);
  // Adds one point and widens the ranges.
  void Add(const SpeedTracePoint& point);
  void Clear();

  const std::vector<SpeedTracePoint>& Points() const { return m_points; }
  bool IsEmpty() const { return m_points.empty(); }
  // Ranges of the points; all 0 for an empty trace.
  double MinX(bool timeAxis) const { return IsEmpty() ? 0.0 : timeAxis ? m_dMinTime : m_dMinDistance; }
  double MaxX(bool timeAxis) const { return IsEmpty() ? 0.0 : timeAxis ? m_dMaxTime : m_dMaxDistance; }
  double MinSpeed() const { return IsEmpty() ? 0.0 : m_dMinSpeed; }
  double MaxSpeed() const { return IsEmpty() ? 0.0 : m_dMaxSpeed; }

 private:
  std::vector<SpeedTracePoint> m_points;
  double m_dMinTime = 0, m_dMaxTime = 0, m_dMinDistance = 0, m_dMaxDistance = 0, m_dMinSpeed = 0, m_dMaxSpeed = 0;
};

// A double as a scroll position: truncated toward zero, within the range of an int
// (NaN gives 0).
int TruncScroll(double v);

// Spans and scroll ranges of a freshly loaded trace.
struct TraceView {
  double dOriginX = 0.0, dSpanX = 0.0;   // s or mm: the first fifth of the run
  double dOriginY = 0.0, dSpanY = 0.0;   // mm/s: the speed range and 5 percent
  int nHMin = 0, nHMax = 0, nHPage = 0;  // horizontal bar
  int nVMin = 0, nVMax = 0, nVPos = 0;   // vertical bar: the top is the highest speed
};
TraceView InitialTraceView(const CSpeedTrace& trace, bool timeAxis);

// Clips the segment to the rectangle (edges inside), moving the ends in place. TRUE
// when something is left (both ends equal when one point is left).
BOOL ClipSegment(int& x1, int& y1, int& x2, int& y2, const RECT& rect);

// One stroke of the plot in the bitmap's pixels: a line, or a dot when both ends are
// one pixel.
struct TraceStroke {
  int x1, y1, x2, y2;
  int lineType;  // the pen: 1 red, 2 green, 3 blue, other dotted black
};
constexpr int kTracePlotMargin = 40;  // pixels around the plot area

// The strokes of the plot of a W x H bitmap: each point at
// ((x - x0) sx zoomX, (speed - y0) sy zoomY) with sx = (W - 80) / spanX, sy likewise,
// clipped to the plot area, turned upside down and moved in by the margin. FALSE, and
// no strokes, when a span is below 1e-6.
BOOL BuildTracePlot(const CSpeedTrace& trace, bool timeAxis, double x0, double y0, double spanX, double spanY,
                    double zoomX, double zoomY, int width, int height, std::vector<TraceStroke>& strokes);
