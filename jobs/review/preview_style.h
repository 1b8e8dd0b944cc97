// How the job previews colour a toolpath: the snapshot picture and the path tracking
// replay shade feed moves by depth, colour arc pieces by direction and by how far into a
// run of pieces they lie, and draw merged-away moves in red. The pen tables, the index
// arithmetic that picks an entry, and the arc-direction rule of the orientations live
// here once for both.
//
// The index of a feed pen is a depth times a scale; the depth comes from a file and the
// scale from a division by the program's depth, so the product can be anything from 0 to
// infinity or NaN. It is clamped as a double to the pens in use before it becomes an int.
#pragma once

#include "platform/core.h"
#include "foundation/geometry.h"

constexpr int kFeedPenCount = 256;  // entries of the feed pen table
constexpr int kArcPenCount = 255;   // entries of each arc pen table
constexpr int kArcRunLimit = 255;   // an arc run counter stops growing here
constexpr int kArcPenRamp = 20;     // pieces of a run that rise in brightness

constexpr COLORREF kFeedRed = RGB(255, 0, 0);         // feeds without depth shading
constexpr COLORREF kDiscardedColor = RGB(255, 0, 0);  // moves the optimiser merged away

// [Display] "EnableGray", "GrayLow" and "GrayHigh" of "Parameters.ini", as the previews
// use them.
struct GraySettings {
  bool bEnabled = true;  // shade feeds by depth
  int nLow = 20;         // grey level of the shallowest feed, 0..255
  int nHigh = 200;       // one above the deepest feed's level: nLow + 20 .. 255 + 20
  // Feed pens in use (20..255); levels past 255 wrap round to 0.
  int Levels() const { return nHigh - nLow; }
};

// Low and high clamped to 0..255, then high raised to at least low + 20.
GraySettings MakeGraySettings(bool enabled, int low, int high);
// The three settings read with their defaults ("enable", "20", "200").
GraySettings ReadGraySettings();

// Feed pen `index`: grey (low + index) mod 256 when shaded, red otherwise.
COLORREF FeedPenColor(const GraySettings& gray, bool shaded, int index);
// Arc pen `index` of a table: brightness 110 + 7 index for the first 20 entries, full
// colour after; green for clockwise, blue for counter-clockwise.
COLORREF ArcPenColor(bool clockwise, int index);

// The feed pen for a move that ends at depth z and starts at depth zPrev (program
// coordinates, mm): |zPrev + z| / 2 times levelsPerMm, truncated, within 0..levels - 1.
int FeedPenIndex(double zPrev_mm, double z_mm, double levelsPerMm, int levels);
// The arc pen of the piece at position `run` of its run, within the table.
inline int ArcPenIndex(int run) { return run < 0 ? 0 : run >= kArcPenCount ? kArcPenCount - 1 : run; }
// The run counter after one more piece.
inline int NextArcRun(int run) { return run < kArcRunLimit ? run + 1 : kArcRunLimit; }

// The two runs of arc pieces: a piece takes the pen of its place in the run of its
// drawn direction, and ends the run of the other direction; a feed or a rapid ends both.
class CArcRuns {
 public:
  void Reset() { m_nCw = m_nCcw = 0; }
  // The colour of the next piece turning that way.
  COLORREF Next(bool clockwise);

 private:
  int m_nCw = 0, m_nCcw = 0;  // pieces so far in each run, 0..kArcRunLimit
};

// Plane selectors of the previews (the element's plane codes 17, 18, 19): the shared
// kPlaneXY/kPlaneXZ/kPlaneYZ; the previews name the second one by its arc sense.
constexpr int kPlaneZX = kPlaneXZ;
// The plane a mode code selects, or -1 for another code.
int PlaneOfCode(int code);
// Whether an arc in that plane is drawn turning the other way in the oriented program:
// the orientation or the Z flip mirrors the plane.
bool IsArcMirrored(int plane, int orientation, bool flipZ);
