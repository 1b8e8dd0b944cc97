#include "foundation/draw/offscreen_dc.h"

#include <vector>

COffscreenDC::COffscreenDC(CDC* target, const RECT* area, BOOL copyFirst, BOOL palette)
    : m_pTarget(target), m_bOffscreen(!target->IsPrinting()), m_bPalette(palette) {
  if (!m_bOffscreen) {
    m_hDC = target->m_hDC;
    m_hAttribDC = target->m_hAttribDC;
    m_bPrinting = target->m_bPrinting;
    return;
  }
  if (area)
    m_rcArea = *area;
  else
    target->GetClipBox(&m_rcArea);
  CreateCompatibleDC(target);
  m_bitmap.CreateCompatibleBitmap(target, m_rcArea.Width(), m_rcArea.Height());
  m_hOldBitmap = ::SelectObject(m_hDC, m_bitmap.m_hObject);
  SetWindowOrg(m_rcArea.left, m_rcArea.top);
  if (copyFirst)
    BitBlt(m_rcArea.left, m_rcArea.top, m_rcArea.Width(), m_rcArea.Height(), target, m_rcArea.left, m_rcArea.top,
           SRCCOPY);
}

COffscreenDC::~COffscreenDC() {
  if (!m_bOffscreen) {
    m_hDC = m_hAttribDC = nullptr;  // the target's: not ours to close
    return;
  }
  HPALETTE oldPalette = nullptr;
  CPalette palette;
  if (m_bPalette && (m_pTarget->GetDeviceCaps(RASTERCAPS) & RC_PALETTE)) {
    RGBQUAD table[236];
    UINT n = ::GetDIBColorTable(m_hDC, 0, 236, table);
    std::vector<BYTE> mem(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * 236);
    LOGPALETTE* lp = (LOGPALETTE*)mem.data();
    lp->palVersion = 0x300;
    lp->palNumEntries = 236;
    for (UINT i = 0; i < 236; ++i)
      lp->palPalEntry[i] =
          i < n ? PALETTEENTRY{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0} : PALETTEENTRY{0, 0, 0, 0};
    if (palette.CreatePalette(lp)) {
      oldPalette = ::SelectPalette(m_pTarget->m_hDC, palette, FALSE);
      ::RealizePalette(m_pTarget->m_hDC);
    }
  }
  m_pTarget->BitBlt(m_rcArea.left, m_rcArea.top, m_rcArea.Width(), m_rcArea.Height(), this, m_rcArea.left, m_rcArea.top,
                    SRCCOPY);
  if (oldPalette) ::SelectPalette(m_pTarget->m_hDC, oldPalette, TRUE);
  ::SelectObject(m_hDC, m_hOldBitmap);
}

CMemoryBitmapDC::CMemoryBitmapDC(int width, int height, CDC* source, COLORREF fill) {
  HDC screen = source ? nullptr : ::GetDC(nullptr);
  HDC src = source ? source->m_hDC : screen;
  m_pBitmap = new CBitmap;
  m_pBitmap->Attach(::CreateCompatibleBitmap(src, width, height));
  Attach(::CreateCompatibleDC(src));
  m_hOldBitmap = ::SelectObject(m_hDC, m_pBitmap->m_hObject);
  SetMapMode(::GetMapMode(src));
  FillSolidRect(0, 0, width, height, fill);
  if (screen) ::ReleaseDC(nullptr, screen);
}

CMemoryBitmapDC::~CMemoryBitmapDC() {
  if (m_pBitmap) {
    ::SelectObject(m_hDC, m_hOldBitmap);
    delete m_pBitmap;
  }
}

CBitmap* CMemoryBitmapDC::Close() {
  if (!m_pBitmap) return nullptr;
  ::SelectObject(m_hDC, m_hOldBitmap);
  CBitmap* b = m_pBitmap;
  m_pBitmap = nullptr;
  return b;
}

namespace {

void CopyBitmap(CBitmap* bitmap, CDC* dc, int x, int y, int w, int h, bool stretch) {
  BITMAP bm = {};
  bitmap->GetBitmap(&bm);
  CDC mem;
  mem.CreateCompatibleDC(dc);
  HGDIOBJ old = ::SelectObject(mem.m_hDC, bitmap->m_hObject);
  mem.SetMapMode(dc->GetMapMode());
  if (stretch) {
    dc->SetStretchBltMode(HALFTONE);
    dc->StretchBlt(x, y, w, h, &mem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
  } else {
    dc->BitBlt(x, y, bm.bmWidth, bm.bmHeight, &mem, 0, 0, SRCCOPY);
  }
  ::SelectObject(mem.m_hDC, old);
}

}  // namespace

void DrawBitmapAt(CBitmap* bitmap, CDC* dc, POINT* at) { CopyBitmap(bitmap, dc, at->x, at->y, 0, 0, false); }

void DrawBitmapIn(CBitmap* bitmap, CDC* dc, RECT* rect, BOOL stretch) {
  if (stretch) {
    CopyBitmap(bitmap, dc, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, true);
    return;
  }
  BITMAP bm = {};
  bitmap->GetBitmap(&bm);
  int x = (rect->right - rect->left) / 2 + rect->left - bm.bmWidth / 2;
  int y = (rect->bottom - rect->top) / 2 + rect->top - bm.bmHeight / 2;
  CopyBitmap(bitmap, dc, x, y, 0, 0, false);
}
