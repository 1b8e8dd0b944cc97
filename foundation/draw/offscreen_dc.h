// Drawing without flicker and into pictures.
//
// COffscreenDC stands in for a rectangle of a target context: everything drawn on it
// goes into a bitmap that reaches the target in one block copy when it is destroyed.
// CMemoryBitmapDC owns a new bitmap filled with a colour and hands it to its caller
// on Close.
#pragma once

#include "platform/win/gdi.h"

class COffscreenDC : public CDC {
 public:
  // area null: the target's clip box. copyFirst starts from the target's pixels.
  COffscreenDC(CDC* target, const RECT* area, BOOL copyFirst, BOOL palette);
  ~COffscreenDC() override;

 private:
  CDC* m_pTarget;    // not owned
  CRect m_rcArea;    // target's logical coordinates
  CBitmap m_bitmap;  // area-sized, compatible with the target
  HGDIOBJ m_hOldBitmap = nullptr;
  BOOL m_bOffscreen;  // FALSE: a printer target, drawing goes straight to it
  BOOL m_bPalette;
};

class CMemoryBitmapDC : public CDC {
 public:
  // source null: the screen.
  CMemoryBitmapDC(int width, int height, CDC* source, COLORREF fill);
  ~CMemoryBitmapDC() override;
  // The bitmap, now the caller's to delete; the context holds none afterwards.
  CBitmap* Close();

 private:
  CBitmap* m_pBitmap = nullptr;  // owned until Close
  HGDIOBJ m_hOldBitmap = nullptr;
};

// Copies the whole bitmap to dc with its top-left corner at the point.
void DrawBitmapAt(CBitmap* bitmap, CDC* dc, POINT* at);
// Centred in rect at its own size, or stretched to fill it (HALFTONE).
void DrawBitmapIn(CBitmap* bitmap, CDC* dc, RECT* rect, BOOL stretch);
