// The parts of CDibData that need GDI: capturing bitmaps and making sections.
#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/draw/dib_data.h"
#include "platform/win/gdi.h"

namespace {

HGLOBAL NewBlock(ULONGLONG size) {
  return size > 0x7FFFFFFF ? nullptr : ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (SIZE_T)size);
}

void DefaultMasksOf(int bpp, DWORD masks[3]) {
  if (bpp == 16) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  } else {
    masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
  }
}

}  // namespace

BOOL CDibData::CreateBitmapInfo(CBitmap* pbmpSrc, BOOL* bitsCopied) {
  if (bitsCopied) *bitsCopied = FALSE;
  if (m_hDib) {
    SetLastError(ERROR_ALREADY_INITIALIZED);
    return FALSE;
  }
  if (!pbmpSrc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!pbmpSrc->m_hObject) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DIBSECTION ds = {};
  int got = ::GetObjectA(pbmpSrc->m_hObject, sizeof ds, &ds);
  bool section = got == (int)sizeof ds;
  if (!section && got < (int)sizeof(BITMAP)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  BITMAPINFOHEADER h = {};
  if (section) {
    h = ds.dsBmih;
  } else {
    h.biSize = 40;
    h.biWidth = ds.dsBm.bmWidth;
    h.biHeight = ds.dsBm.bmHeight;
    h.biPlanes = ds.dsBm.bmPlanes;
    h.biBitCount = ds.dsBm.bmBitsPixel;
    h.biCompression = BI_RGB;
    int product = h.biPlanes * h.biBitCount;
    if (product <= 8) h.biClrUsed = 1u << product;
    if (product == 16 || product == 32) h.biCompression = BI_BITFIELDS;
  }
  DibLayout l = DibLayout::Of(h);
  DWORD masks[3] = {0, 0, 0};
  if (section && h.biCompression == BI_BITFIELDS)
    memcpy(masks, ds.dsBitfields, sizeof masks);
  else
    DefaultMasksOf(l.bitsPerPixel, masks);
  ULONGLONG size = std::max(l.allocationSize, l.requiredSize);
  HGLOBAL block = NewBlock(size);
  if (!block) {
    SetLastError(ERROR_OUTOFMEMORY);
    return FALSE;
  }
  BYTE* p = (BYTE*)::GlobalLock(block);
  memcpy(p, &h, sizeof h);
  if (l.maskSize) memcpy(p + 40, masks, sizeof masks);
  if (section && l.colorCount) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, pbmpSrc->m_hObject);
    ::GetDIBColorTable(dc, 0, (UINT)l.colorCount, (RGBQUAD*)(p + 40 + l.maskSize));
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
  }
  if (section && (h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4) && bitsCopied && ds.dsBm.bmBits) {
    memcpy(p + l.pixelOffset, ds.dsBm.bmBits, (size_t)l.imageSize);
    *bitsCopied = TRUE;
  }
  ::GlobalUnlock(block);
  m_hDib = block;  // held unattached until CreateDIB finishes the pixels
  return TRUE;
}

BOOL CDibData::CreateDIB(HBITMAP hBitmap, BOOL bCompress) {
  CBitmap* b = CBitmap::FromHandle(hBitmap);
  return CreateDIB(b, bCompress);
}

BOOL CDibData::CreateDIB(CBitmap* pbmpSrc, BOOL bCompress) {
  BOOL bitsCopied = FALSE;
  if (!CreateBitmapInfo(pbmpSrc, &bitsCopied)) return FALSE;
  HGLOBAL block = m_hDib;
  m_hDib = nullptr;
  if (bitsCopied) {
    if (Attach(block)) return TRUE;
    ::GlobalFree(block);
    return FALSE;
  }
  BITMAPINFOHEADER* h = (BITMAPINFOHEADER*)::GlobalLock(block);
  int bpp = DibLayout::Of(*h).bitsPerPixel;
  if (bCompress && bpp == 4) h->biCompression = BI_RLE4;
  if (bCompress && bpp == 8) h->biCompression = BI_RLE8;
  HDC dc = ::CreateCompatibleDC(nullptr);
  if (!dc) {
    ::GlobalUnlock(block);
    ::GlobalFree(block);
    return FALSE;
  }
  int lines = std::abs(h->biHeight);
  BOOL ok = FALSE;
  for (;;) {
    bool compressed = h->biCompression == BI_RLE4 || h->biCompression == BI_RLE8;
    DibLayout layout = DibLayout::Of(*h);
    ULONGLONG plain = layout.stride * layout.height;
    int r = ::GetDIBits(dc, (HBITMAP)pbmpSrc->m_hObject, 0, (UINT)lines, nullptr, (BITMAPINFO*)h, DIB_RGB_COLORS);
    bool failed = r == 0 || h->biSizeImage == 0;
    if (compressed && (failed || h->biSizeImage > plain)) {
      // Compression unavailable or not paying: store the plain image.
      h->biCompression = BI_RGB;
      h->biSizeImage = (DWORD)plain;
      h->biClrUsed = (DWORD)layout.colorCount;
      continue;
    }
    if (failed) {
      if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_BAD_DRIVER_LEVEL);
    } else {
      ok = TRUE;
    }
    break;
  }
  if (ok) {
    DibLayout l = DibLayout::Of(*h);
    if (l.requiredSize > ::GlobalSize(block)) {
      ::GlobalUnlock(block);
      HGLOBAL bigger = ::GlobalReAlloc(block, (SIZE_T)l.requiredSize, GMEM_MOVEABLE | GMEM_ZEROINIT);
      if (!bigger) {
        ::DeleteDC(dc);
        ::GlobalFree(block);
        return FALSE;
      }
      block = bigger;
      h = (BITMAPINFOHEADER*)::GlobalLock(block);
    }
    ok = ::GetDIBits(dc, (HBITMAP)pbmpSrc->m_hObject, 0, (UINT)lines, (BYTE*)h + l.pixelOffset, (BITMAPINFO*)h,
                     DIB_RGB_COLORS) != 0;
  }
  ::DeleteDC(dc);
  ::GlobalUnlock(block);
  if (!ok || !Attach(block)) {
    ::GlobalFree(block);
    return FALSE;
  }
  return TRUE;
}

BOOL CDibData::SetDIBits(CBitmap* pbmpDest) { return pbmpDest && SetDIBits((HBITMAP)pbmpDest->m_hObject); }

BOOL CDibData::SetDIBits(HBITMAP hBitmap) {
  if (!m_pHeader || !hBitmap) return FALSE;
  HDC dc = ::GetDC(nullptr);
  int n = ::SetDIBits(dc, hBitmap, 0, (UINT)std::abs(m_pHeader->biHeight), m_pPixels, (BITMAPINFO*)m_pHeader,
                      DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, dc);
  return n != 0;
}

HBITMAP CDibData::CreateDIBitmap() {
  if (!m_pHeader) return nullptr;
  void* bits = nullptr;
  HBITMAP section = nullptr;
  if (m_nBitsPerPixel == 2) {
    // Two bits per pixel cannot be shown: take the 4-bit form.
    CDibData* converted = GetConvertedDIB(4, FALSE);
    if (converted) {
      section = ::CreateDIBSection(nullptr, (BITMAPINFO*)converted->m_pHeader, DIB_RGB_COLORS, &bits, nullptr, 0);
      if (section) {
        DeleteObject();
        Attach(converted->Detach());
      }
      delete converted;
    }
  }
  if (!section) section = ::CreateDIBSection(nullptr, (BITMAPINFO*)m_pHeader, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!section) return nullptr;
  SetDIBits(section);
  return section;
}

BOOL CDibData::SaveDIB(LPCTSTR file, CBitmap* pbmpSrc, BOOL bCompress) {
  if (!file || !*file) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (pbmpSrc) {
    CDibData temp;
    return temp.CreateDIB(pbmpSrc, bCompress) && temp.WriteDIBFile(file);
  }
  if (!m_pHeader) return FALSE;
  if (bCompress && (m_nBitsPerPixel == 4 || m_nBitsPerPixel == 8) && m_pHeader->biCompression == BI_RGB) {
    HBITMAP section = CreateDIBitmap();
    BOOL written = FALSE, captured = FALSE;
    if (section) {
      CDibData temp;
      captured = temp.CreateDIB(section, TRUE);
      if (captured) written = temp.WriteDIBFile(file);
      ::DeleteObject(section);
    }
    if (captured) return written;
  }
  return WriteDIBFile(file);
}

HBITMAP CDibData::LoadDIB(LPCTSTR file) {
  if (!file || !*file) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (m_hDib) {
    SetLastError(ERROR_ALREADY_INITIALIZED);
    return nullptr;
  }
  if (!ReadDIBFile(file)) return nullptr;
  HBITMAP bmp = (HBITMAP)::LoadImageA(nullptr, file, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  if (!bmp) bmp = CreateDIBitmap();
  if (!bmp) {
    DeleteObject();
    return nullptr;
  }
  if (m_pHeader->biCompression == BI_RLE8 || m_pHeader->biCompression == BI_RLE4) {
    // Keep the decoded pixels, with a header that says so.
    DIBSECTION ds = {};
    if (::GetObjectA(bmp, sizeof ds, &ds) != sizeof ds || !ds.dsBm.bmBits) {
      ::DeleteObject(bmp);
      DeleteObject();
      return nullptr;
    }
    BITMAPINFOHEADER h = ds.dsBmih;
    h.biCompression = BI_RGB;
    h.biSizeImage = 0;
    h.biClrUsed = m_pHeader->biClrUsed;
    DibLayout l = DibLayout::Of(h);
    std::vector<BYTE> colors(m_pColors ? (size_t)m_nColorCount * 4 : 0);
    if (!colors.empty()) memcpy(colors.data(), m_pColors, colors.size());
    HGLOBAL block = NewBlock(l.requiredSize);
    if (!block) {
      ::DeleteObject(bmp);
      DeleteObject();
      return nullptr;
    }
    BYTE* p = (BYTE*)::GlobalLock(block);
    memcpy(p, &h, sizeof h);
    memcpy(p + 40 + l.maskSize, colors.data(), std::min(colors.size(), (size_t)l.colorCount * 4));
    memcpy(p + l.pixelOffset, ds.dsBm.bmBits, (size_t)(l.stride * l.height));
    ::GlobalUnlock(block);
    DeleteObject();
    if (!Attach(block)) {
      ::GlobalFree(block);
      ::DeleteObject(bmp);
      return nullptr;
    }
  }
  return bmp;
}
