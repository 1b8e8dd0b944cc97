#include "jobs/review/preview_style.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>

#include "foundation/settings.h"

GraySettings MakeGraySettings(bool enabled, int low, int high) {
  auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
  GraySettings gray;
  gray.bEnabled = enabled;
  gray.nLow = clamp(low);
  gray.nHigh = clamp(high);
  if (gray.nHigh < gray.nLow + 20) gray.nHigh = gray.nLow + 20;
  return gray;
}

GraySettings ReadGraySettings() {
  bool enabled = TextToBool(GetParamValue("Display", "EnableGray", "enable")) != 0;
  // A decimal number as far as it goes; one past the range of long is held at its end
  // and clamped below like any other.
  long low = strtol(GetParamValue("Display", "GrayLow", "20"), nullptr, 10);
  long high = strtol(GetParamValue("Display", "GrayHigh", "200"), nullptr, 10);
  auto narrow = [](long v) { return v < -1 ? -1 : v > 256 ? 256 : (int)v; };
  return MakeGraySettings(enabled, narrow(low), narrow(high));
}

COLORREF FeedPenColor(const GraySettings& gray, bool shaded, int index) {
  if (!shaded) return kFeedRed;
  int level = (gray.nLow + index) % 256;
  return RGB(level, level, level);
}

COLORREF ArcPenColor(bool clockwise, int index) {
  int level = index < kArcPenRamp ? 110 + 7 * index : 255;
  return clockwise ? RGB(0, level, 0) : RGB(0, 0, level);
}

int FeedPenIndex(double zPrev_mm, double z_mm, double levelsPerMm, int levels) {
  if (levels <= 1) return 0;
  double v = std::fabs(zPrev_mm + z_mm) * levelsPerMm / 2.0;
  if (!(v > 0.0)) return 0;  // 0, negative scale or NaN
  if (v >= (double)(levels - 1)) return levels - 1;
  return (int)v;
}

COLORREF CArcRuns::Next(bool clockwise) {
  int& run = clockwise ? m_nCw : m_nCcw;
  (clockwise ? m_nCcw : m_nCw) = 0;
  COLORREF color = ArcPenColor(clockwise, ArcPenIndex(run));
  run = NextArcRun(run);
  return color;
}

int PlaneOfCode(int code) {
  switch (code) {
    case 17: return kPlaneXY;
    case 18: return kPlaneZX;
    case 19: return kPlaneYZ;
    default: return -1;
  }
}

bool IsArcMirrored(int plane, int orientation, bool flipZ) {
  auto among = [orientation](std::initializer_list<int> codes) {
    for (int c : codes)
      if (c == orientation) return true;
    return false;
  };
  switch (plane) {
    case kPlaneXY: return among({2, 3, 5, 8});
    case kPlaneZX: return flipZ != among({2, 6, 7, 8});
    case kPlaneYZ: return flipZ != among({4, 5, 6, 8});
    default: return false;
  }
}
