// The projections of the job previews: a box of the program's (or the machine's) size
// drawn into a picture of W x H pixels with a margin of 30 pixels, one scale for both
// screen axes, centred.
//
//   view 1  X across, Y up          view 3  X across, Z up
//   view 2  Y across, Z up          other   oblique: Y drawn at 45 degrees, half length
//
// A point (x, y, z) of the box (its minimum corner at the origin) lands at
//   view 1 (x s + ox, (R - y) s + oy)     view 2 (y s + ox, (S - z) s + oy)
//   view 3 (x s + ox, (S - z) s + oy)     oblique ((c y / 2 + x) s + ox, (c (R - y) / 2 + (S - z)) s + oy)
// with (B, R, S) the box size, c = cos 45 degrees, and pixels truncated.
//
// The scale is the smaller of room / drawn size on the two screen axes. A box without
// width or height on an axis (a one-point program, a device of size 0) gives no limit
// there; with no limit on either axis the scale is 1 pixel per mm.
#pragma once

#include "foundation/geometry.h"
#include "platform/core.h"

enum PreviewView : int { kViewXY = 1, kViewYZ = 2, kViewZX = 3, kViewOblique = 4 };

constexpr int kPreviewMargin = 30;  // pixels on every side
constexpr double kCos45 = 0.70710678118654752;
// Pixels further out than this are drawn at this distance: far enough to be off any
// picture, near enough for every drawing call and every difference of two pixels.
constexpr int kPixelLimit = 1 << 26;

// Scale for drawn sizes (mm) into rooms (pixels), skipping a term whose size or room is
// not above zero; 1 when no term is left.
double FitScale(double roomX_px, double sizeX_mm, double roomY_px, double sizeY_mm);
// A coordinate truncated toward zero and kept within +-kPixelLimit (NaN gives 0).
int TruncPixel(double v);

class CPreviewProjection {
 public:
  // view: kViewXY.. kViewOblique (any other value projects obliquely); box in mm.
  void Setup(int view, const Vec3& box_mm, int width_px, int height_px);

  int View() const { return m_nView; }
  bool IsOblique() const { return m_nView < kViewXY || m_nView > kViewZX; }
  double Scale() const { return m_dScale; }
  double OffsetX() const { return m_dOffsetX; }
  double OffsetY() const { return m_dOffsetY; }
  const Vec3& Box() const { return m_vBox; }
  // Size of the projected box on the screen axes, mm.
  double DrawnWidth_mm() const { return m_dDrawnW; }
  double DrawnHeight_mm() const { return m_dDrawnH; }

  // The pixel of a box point.
  POINT Map(const Vec3& p) const;

 private:
  int m_nView = kViewXY;
  Vec3 m_vBox;
  double m_dDrawnW = 0.0, m_dDrawnH = 0.0;  // mm
  double m_dScale = 1.0;                    // pixels per mm
  double m_dOffsetX = 0.0, m_dOffsetY = 0.0;
};

struct JobRecord;
class CPreviewCanvas;

// Faces of the drawing box.
constexpr COLORREF kBoxFaceColor = RGB(220, 220, 220);   // the silhouette and the material face
constexpr COLORREF kBoxFloorColor = RGB(208, 208, 208);  // the floor

// The oblique box with the canvas's pen: its silhouette, the floor, the material face
// at that height (none at or below 1e-7 mm), and the six edges the faces leave out.
void DrawObliqueBox(CPreviewCanvas& canvas, const CPreviewProjection& projection, double materialTop_mm);

// The copies a preview draws, in machining order (X outermost, Z innermost): the
// offsets (i CopyOffsetX, j CopyOffsetY, k CopyOffsetZ) for counts below 1 taken as 1,
// or the one offset 0 when the copies are not shown. Offsets are worked out when asked
// for, so a record with absurd counts costs no memory; each count is taken as at most
// kMaxPreviewCopies, which keeps their product within a long long.
constexpr int kMaxPreviewCopies = 1000000;

class CCopyOffsets {
 public:
  CCopyOffsets() = default;  // the one offset 0
  CCopyOffsets(const JobRecord& job, bool withCopies);
  long long Count() const { return (long long)m_nX * m_nY * m_nZ; }
  // Offset of copy `index` (0 .. Count() - 1), mm.
  Vec3 At(long long index) const;

 private:
  int m_nX = 1, m_nY = 1, m_nZ = 1;  // counts, at least 1
  Vec3 m_vStep;                      // offsets between copies, mm
};
