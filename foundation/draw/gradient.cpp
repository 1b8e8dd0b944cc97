#include "foundation/draw/gradient.h"

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <vector>

#ifdef _WIN32
#include "platform/win/gdi.h"
#endif

CGradient::CGradient() = default;

CGradient::~CGradient() { DiscardPalette(); }

void CGradient::DiscardPalette() {
#ifdef _WIN32
  delete m_pPalette;
  m_pPalette = nullptr;
#endif
}

void CGradient::SetColors(int count, COLORREF c0, COLORREF c1, ...) {
  m_colors.RemoveAll();
  m_colors.Add(c0);
  m_colors.Add(c1);
  va_list args;
  va_start(args, c1);
  for (int i = 2; i < count; ++i) m_colors.Add(va_arg(args, COLORREF));
  va_end(args);
  m_widths.RemoveAll();
  int n = m_colors.GetSize() - 1;
  for (int i = 0; i < n; ++i) m_widths.Add(100.0 / n);
  DiscardPalette();
}

void CGradient::SetColors(COLORREF start, COLORREF end) { SetColors(2, start, end); }

void CGradient::SetBandWidths(double w0, ...) {
  int n = m_colors.GetSize() - 1;
  if (n < 1) return;
  m_widths.RemoveAll();
  m_widths.Add(w0);
  va_list args;
  va_start(args, w0);
  for (int i = 1; i < n; ++i) m_widths.Add(va_arg(args, double));
  va_end(args);
  NormalizeBandWidths();
}

void CGradient::AddColor(COLORREF color) {
  m_colors.Add(color);
  if (m_colors.GetSize() >= 2) {
    int before = m_widths.GetSize();
    m_widths.Add(before ? 100.0 / before : 100.0);
    NormalizeBandWidths();
  }
}

int CGradient::NormalizeBandWidths() {
  double sum = 0;
  for (double w : m_widths) sum += w;
  if (sum > 0)
    for (double& w : m_widths) w *= 100.0 / sum;
  return m_widths.GetSize();
}

void CGradient::GetColors(COLORREF* first, COLORREF* second) const {
  if (m_colors.IsEmpty()) {
    *first = *second = 0xFFFFFFFF;
    return;
  }
  *first = m_colors[0];
  *second = m_colors.GetSize() > 1 ? m_colors[1] : m_colors[0];
}

CRect CGradient::GetBandRect(const CRect& rect, int from, int to) const {
  CRect r(rect);
  bool vertical = m_nDirection == 2 || m_nDirection == 3;
  if (to == -1) to = vertical ? rect.Height() : rect.Width();
  if (vertical) {
    r.top = rect.top + (m_nDirection == 2 ? from : rect.Height() - to);
    r.bottom = r.top + (to - from);
  } else {
    r.left = rect.left + (m_nDirection == 1 ? rect.Width() - to : from);
    r.right = r.left + (to - from);
  }
  return r;
}

// One colour pair: as many steps as the largest channel difference, but no more than
// the pixels and the caller's limit. Increments and step length are single-precision
// values, as the bands' colours are defined by them.
void CGradient::MakeLinearBands(GradientBandArray& bands, COLORREF c1, COLORREF c2, int length, int start, int end,
                                UINT maxSteps) {
  if (end == -1) end = length;
  int r1 = GetRValue(c1), g1 = GetGValue(c1), b1 = GetBValue(c1);
  int dR = GetRValue(c2) - r1, dG = GetGValue(c2) - g1, dB = GetBValue(c2) - b1;
  UINT steps = (UINT)std::max(std::abs(dR), std::max(std::abs(dG), std::abs(dB)));
  if (steps > maxSteps) steps = maxSteps;
  if (steps > (UINT)length) steps = (UINT)length;
  if (steps == 0) steps = 1;
  const float incR = (float)dR / (float)steps;
  const float incG = (float)dG / (float)steps;
  const float incB = (float)dB / (float)steps;
  const float stepLen = (float)length / (float)steps;
  for (UINT i = 0; i < steps; ++i) {
    int from = (int)((double)i * stepLen);
    int to = i + 1 == steps ? length : (int)((double)(i + 1) * stepLen);
    if (to < start) continue;
    if (from < start) from = start;
    if (to > end) to = end;
    COLORREF c = RGB((r1 + (int)((double)i * incR)) & 0xFF, (g1 + (int)((double)i * incG)) & 0xFF,
                     (b1 + (int)((double)i * incB)) & 0xFF);
    bands.Add(GradientBand{c, to - from});
    if (to >= end) break;
  }
}

void CGradient::MakeBands(GradientBandArray& bands, int length, int start, int end, UINT maxColors) {
  if (end == -1) end = length;
  int n = m_colors.GetSize() - 1;
  if (n < 0) return;
  if (n == 0) {
    bands.Add(GradientBand{m_colors[0], end - start});
    return;
  }
  UINT perSegment = maxColors / (UINT)n;
  double p = 0;
  for (int i = 0; i < n; ++i) {
    int segStart = (int)(length * p / 100);
    p += m_widths[i];
    int segEnd = i == n - 1 ? length : (int)(length * p / 100);
    if (segEnd < start) continue;
    int clippedEnd = std::min(segEnd, end);
    MakeLinearBands(bands, m_colors[i], m_colors[i + 1], segEnd - segStart, std::max(segStart, start) - segStart,
                    clippedEnd - segStart, perSegment);
    if (clippedEnd == end) break;
  }
}

// The gradient scrolled by shift pixels toward its far end, wrapping around: the
// full band list is rotated (a band straddling the cut is split) and then clipped.
void CGradient::MakeShiftedBands(GradientBandArray& bands, int shift, int length, int start, int end, UINT maxColors) {
  if (length == 0) {
    shift = 0;
  } else {
    while (shift < 0) shift += length;
    shift %= length;
  }
  if (shift == 0 || m_colors.GetSize() < 2) {
    MakeBands(bands, length, start, end, maxColors);
    return;
  }
  if (end == -1) end = length;
  GradientBandArray full;
  MakeBands(full, length, 0, -1, maxColors);
  if (full.GetSize() < 2) {
    bands.Add(GradientBand{m_colors[0], end - start});
    return;
  }
  // Rotate: take bands from the end until their widths make up the shift.
  GradientBandArray rotated;
  int remaining = shift;
  int last = full.GetSize() - 1;
  while (remaining > 0 && last >= 0) {
    GradientBand& b = full[last];
    if (b.width <= remaining) {
      rotated.InsertAt(0, b);
      remaining -= b.width;
      --last;
    } else {
      rotated.InsertAt(0, GradientBand{b.color, remaining});
      b.width -= remaining;
      remaining = 0;
    }
  }
  for (int i = 0; i <= last; ++i) rotated.Add(full[i]);
  // Clip to [start, end).
  int a = 0;
  for (const GradientBand& b : rotated) {
    if (a + b.width <= start) {
      a += b.width;
      continue;
    }
    bands.Add(GradientBand{b.color, std::min(a + b.width, end) - std::max(a, start)});
    if (a + b.width >= end) break;
    a += b.width;
  }
}

#ifdef _WIN32

CPalette* CGradient::GetPalette() {
  if (!m_bUsePalette || m_pPalette) return m_pPalette;
  GradientBandArray bands;
  MakeBands(bands, 236, 0, 236, 236);
  if (bands.IsEmpty()) return nullptr;
  std::vector<BYTE> mem(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * bands.GetSize());
  LOGPALETTE* lp = (LOGPALETTE*)mem.data();
  lp->palVersion = 0x300;
  lp->palNumEntries = (WORD)bands.GetSize();
  for (int i = 0; i < bands.GetSize(); ++i)
    lp->palPalEntry[i] = {GetRValue(bands[i].color), GetGValue(bands[i].color), GetBValue(bands[i].color), 0};
  m_pPalette = new CPalette;
  if (!m_pPalette->CreatePalette(lp)) {
    delete m_pPalette;
    m_pPalette = nullptr;
  }
  return m_pPalette;
}

void CGradient::Draw(CDC* dc, CRect rect, int start, int end, int shift) {
  if (m_colors.IsEmpty()) return;
  bool paletteDevice = (dc->GetDeviceCaps(RASTERCAPS) & RC_PALETTE) != 0;
  if (!paletteDevice && dc->GetDeviceCaps(BITSPIXEL) * dc->GetDeviceCaps(PLANES) < 8) {
    CRect r = GetBandRect(rect, start, end);
    dc->FillSolidRect(&r, m_colors[0]);
    return;
  }
  int length = (m_nDirection == 2 || m_nDirection == 3) ? rect.Height() : rect.Width();
  if (end == -1) end = length;
  length = (int)(length * m_fScale);
  GradientBandArray bands;
  MakeShiftedBands(bands, shift, length, start, end, paletteDevice ? 236u : (UINT)-1);

  CPalette* oldPalette = nullptr;
  COLORREF paletteFlag = 0;
  if (paletteDevice && m_bUsePalette && GetPalette()) {
    oldPalette = dc->SelectPalette(m_pPalette, FALSE);
    dc->RealizePalette();
    paletteFlag = 0x02000000;  // PALETTERGB
  }
  int pos = start;
  for (const GradientBand& b : bands) {
    CRect r = GetBandRect(rect, pos, pos + b.width);
    dc->FillSolidRect(&r, b.color | paletteFlag);
    pos += b.width;
  }
  if (oldPalette) dc->SelectPalette(oldPalette, TRUE);
}

#endif
