// The job reviews' tests: a canvas that writes down what is drawn, path records made
// in one line each, and a ".structs" file made of them.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device/device_params.h"
#include "foundation/path_record.h"
#include "jobs/review/preview_canvas.h"
#include "nc/nc_program.h"

namespace review_testing {

// Each call as one line: "pen solid 1 0000ff", "move 10,20", "line 30,40",
// "pixel 3,4 000000", "circle 5,6 12", "rect 1,2,3,4 dcdcdc", "poly 7 dcdcdc".
// Colours are COLORREF values in hex (0x00bbggrr).
class CRecordingCanvas : public CPreviewCanvas {
 public:
  void SelectPen(PreviewPenStyle style, int width, COLORREF color) override {
    Add("pen %s %d %06x", style == kPenDotted ? "dotted" : "solid", width, (unsigned)color);
    m_crPen = color;
  }
  void MoveTo(POINT p) override { Add("move %ld,%ld", (long)p.x, (long)p.y); }
  void LineTo(POINT p) override {
    Add("line %ld,%ld", (long)p.x, (long)p.y);
    m_lineColors.push_back(m_crPen);
  }
  void SetPixel(POINT p, COLORREF c) override { Add("pixel %ld,%ld %06x", (long)p.x, (long)p.y, (unsigned)c); }
  void Circle(POINT c, int d) override { Add("circle %ld,%ld %d", (long)c.x, (long)c.y, d); }
  void Rectangle(const RECT& r, COLORREF fill) override {
    Add("rect %ld,%ld,%ld,%ld %06x", (long)r.left, (long)r.top, (long)r.right, (long)r.bottom, (unsigned)fill);
  }
  void Polygon(const POINT* pts, int n, COLORREF fill) override {
    Add("poly %d %06x", n, (unsigned)fill);
    for (int i = 0; i < n; ++i) m_polygonPoints.push_back(pts[i]);
  }

  // Calls that begin with the prefix, in order.
  std::vector<std::string> Calls(const char* prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : m_calls)
      if (c.compare(0, std::strlen(prefix), prefix) == 0) out.push_back(c);
    return out;
  }
  void Clear() {
    m_calls.clear();
    m_lineColors.clear();
    m_polygonPoints.clear();
  }

  std::vector<std::string> m_calls;
  std::vector<COLORREF> m_lineColors;  // pen of each LineTo
  std::vector<POINT> m_polygonPoints;
  COLORREF m_crPen = 0;

 private:
  template <class... A>
  void Add(const char* fmt, A... args) {
    char text[128];
    std::snprintf(text, sizeof text, fmt, args...);
    m_calls.push_back(text);
  }
};

// Records as the loader and the optimiser leave them.
inline PathRecord MoveRecord(WORD code, double x, double y, double z, BYTE axes = 0xE0, bool newTag = false,
                             bool discarded = false, bool source = true) {
  PathRecord r;
  r.m_nCode = code;
  r.m_byAxes = axes;
  r.m_nTagStart = newTag ? 1 : 0;
  r.m_nDiscard = discarded ? 1 : 0;
  r.m_nFlags = source ? (DWORD)kFlagSource : 0u;
  r.m_vEnd = Vec3(x, y, z);
  return r;
}
inline PathRecord ArcRecord(WORD code, double x, double y, double z, double cx, double cy, double cz,
                            BYTE axes = 0xC0) {
  PathRecord r = MoveRecord(code, x, y, z, axes);
  r.m_vCenter = Vec3(cx, cy, cz);
  return r;
}
inline PathRecord TagRecord(const char* name, double value) {
  PathRecord r;
  r.m_nCode = 0xFFFF;
  std::strncpy(r.m_szName, name, sizeof r.m_szName);
  r.m_dValue = value;
  r.m_nFlags = kFlagSource;
  return r;
}
inline PathRecord ModeRecord(WORD code) {
  PathRecord r;
  r.m_nCode = code;
  r.m_nFlags = kFlagSource;
  return r;
}

inline void AddRecords(CNCProgram& program, const std::vector<PathRecord>& records) {
  for (const PathRecord& r : records) ASSERT_TRUE(program.AddPathRecord(&r));
}

// The device table holds one machine of that name and working area.
inline DeviceParams& OnlyDevice(const char* name, double x_mm, double y_mm, double z_mm) {
  DeviceParams& d = g_DeviceTable.m_records[0];
  std::strcpy(d.m_szName, name);
  d.m_dWorkX = x_mm;
  d.m_dWorkY = y_mm;
  d.m_dWorkZ = z_mm;
  g_DeviceTable.m_nCount = 1;
  return d;
}

// The stored bytes of the records, as a ".structs" file holds them.
inline std::string StructsBytes(const std::vector<PathRecord>& records) {
  std::string bytes;
  for (const PathRecord& r : records) bytes.append(reinterpret_cast<const char*>(&r.Data()), (size_t)kPathRecordSize);
  return bytes;
}

}  // namespace review_testing
