// CGradient: a linear multi-colour gradient made of solid bands.
//
// The gradient is computed as a list of bands (colour, width in pixels) along one axis;
// drawing fills each band as one rectangle, never pixel by pixel. The band arithmetic
// is portable; only Draw and the palette need the platform's device contexts.
#pragma once

#include "platform/core.h"

#ifdef _WIN32
class CDC;
class CPalette;
#endif

struct GradientBand {
  COLORREF color;
  int width;  // pixels
};
typedef CArray<GradientBand> GradientBandArray;

class CGradient {
 public:
  CGradient();
  virtual ~CGradient();
  CGradient(const CGradient&) = delete;
  CGradient& operator=(const CGradient&) = delete;

#ifdef _WIN32
  // Fills the part [start, end) of the gradient laid over rect (end -1: all of it),
  // rotated along its axis by shift pixels.
  virtual void Draw(CDC* dc, CRect rect, int start, int end, int shift);
#endif
  // Band builders: append to bands; end -1 means length; the limits are unsigned, so
  // (UINT)-1 means none.
  virtual void MakeShiftedBands(GradientBandArray& bands, int shift, int length, int start, int end, UINT maxColors);
  virtual void MakeBands(GradientBandArray& bands, int length, int start, int end, UINT maxColors);
  virtual void MakeLinearBands(GradientBandArray& bands, COLORREF c1, COLORREF c2, int length, int start, int end,
                               UINT maxSteps);

  // count colours (count >= 2), equal band widths; discards the palette.
  void SetColors(int count, COLORREF c0, COLORREF c1, ...);
  void SetColors(COLORREF start, COLORREF end);
  // One width (percent) per adjacent colour pair, normalised to sum 100.
  void SetBandWidths(double w0, ...);
  void AddColor(COLORREF color);
  int NormalizeBandWidths();
  void GetColors(COLORREF* first, COLORREF* second) const;
  int GetColorCount() const { return m_colors.GetSize(); }
  double GetBandWidth(int i) const { return m_widths[i]; }
  void SetDirection(int direction) { m_nDirection = direction; }
  int GetDirection() const { return m_nDirection; }
  void SetScale(float scale) { m_fScale = scale < 1.0f ? 1.0f : scale; }
  float GetScale() const { return m_fScale; }
  // Rectangle of the band covering axis positions [from, to) inside rect (to -1: the
  // whole length); directions 1 and 3 measure from the right and bottom edges.
  CRect GetBandRect(const CRect& rect, int from, int to) const;

  BOOL m_bUsePalette = FALSE;  // nothing switches it on: the palette path is dormant
#ifdef _WIN32
  CPalette* GetPalette();
#endif

 protected:
  CArray<COLORREF, COLORREF> m_colors;
  CArray<double, double> m_widths;  // percent of the length per colour pair
  int m_nDirection = 0;             // 0 left-right, 1 right-left, 2 top-bottom, 3 bottom-top
  float m_fScale = 1.0f;            // stretch of the gradient length, >= 1
#ifdef _WIN32
  CPalette* m_pPalette = nullptr;  // at most 236 entries, created on demand
#endif
  void DiscardPalette();
};
