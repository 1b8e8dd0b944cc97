// CDibData: one device-independent bitmap (information header, optional bit-field
// masks, optional colour table, pixel rows) in one movable memory block.
//
// Layout, pixels, conversions and the BMP file format are portable; capturing a
// bitmap and making a displayable one need the platform's GDI.
#pragma once

#include "foundation/draw/octree_quantizer.h"

#ifdef _WIN32
class CBitmap;
#else
// The platform's structures and codes, for the portable part.
typedef struct HostBlock_* HGLOBAL;
#pragma pack(push, 1)
struct BITMAPINFOHEADER {
  DWORD biSize;          // 0: 40
  LONG biWidth;          // 4
  LONG biHeight;         // 8: > 0 bottom-up, < 0 top-down
  WORD biPlanes;         // 12
  WORD biBitCount;       // 14
  DWORD biCompression;   // 16
  DWORD biSizeImage;     // 20: bytes, 0 for uncompressed
  LONG biXPelsPerMeter;  // 24
  LONG biYPelsPerMeter;  // 28
  DWORD biClrUsed;       // 32
  DWORD biClrImportant;  // 36
};
#pragma pack(pop)
#define BI_RGB 0u
#define BI_RLE8 1u
#define BI_RLE4 2u
#define BI_BITFIELDS 3u
#endif
static_assert(sizeof(BITMAPINFOHEADER) == 40, "information header");

#ifndef ERROR_OUTOFMEMORY
#define ERROR_OUTOFMEMORY 14u
#endif
#ifndef ERROR_BAD_DRIVER_LEVEL
#define ERROR_BAD_DRIVER_LEVEL 119u
#endif
#ifndef ERROR_ALREADY_INITIALIZED
#define ERROR_ALREADY_INITIALIZED 1247u
#endif

// The BMP file header in front of the block.
#pragma pack(push, 1)
struct DibFileHeader {
  WORD bfType;       // 0: 0x4D42 "BM"
  DWORD bfSize;      // 2: 14 + DIB size, bytes
  WORD bfReserved1;  // 6: 0
  WORD bfReserved2;  // 8: 0
  DWORD bfOffBits;   // 10: 14 + 40 + masks + colour table, bytes
};
#pragma pack(pop)
static_assert(sizeof(DibFileHeader) == 14, "file header");
static_assert(offsetof(DibFileHeader, bfOffBits) == 10, "file header");

// The figures an information header implies (64-bit, so no header can overflow them).
struct DibLayout {
  int bitsPerPixel;          // planes x bit count rounded up to 1, 2, 4, 8, 16, 24, 32
  ULONGLONG stride;          // bytes per row, a multiple of 4
  ULONGLONG imageSize;       // stride x |height|, or biSizeImage when that is set
  DWORD maskSize;            // 12 with bit fields, else 0
  ULONGLONG maxColors;       // 2^bpp up to 8 bits, else 0
  ULONGLONG colorCount;      // biClrUsed, or maxColors
  ULONGLONG pixelOffset;     // 40 + masks + colour table
  ULONGLONG requiredSize;    // pixelOffset + imageSize
  ULONGLONG allocationSize;  // 40 + stride x |height| + masks + maxColors x 4
  ULONGLONG height;          // |biHeight|
  static DibLayout Of(const BITMAPINFOHEADER& h);
};

class CDibData {
 public:
  CDibData();
  CDibData(const CDibData& other);
  CDibData& operator=(const CDibData&) = delete;
  virtual ~CDibData();
  static const char* GetClassName() { return "CDibData"; }

  // Lifetime and ownership of the block.
  BOOL Attach(HGLOBAL hDib);
  HGLOBAL Detach();
  BOOL DeleteObject();
  HGLOBAL GetHandle() const { return m_hDib; }

  // BMP files: the 14-byte file header, then the block.
  BOOL WriteDIBFile(LPCTSTR file) const;
  BOOL ReadDIBFile(LPCTSTR file);
#ifdef _WIN32
  // A new block (header, masks, colour table) for the bitmap, held but not yet
  // attached: CreateDIB fills the pixels and attaches it.
  BOOL CreateBitmapInfo(CBitmap* pbmpSrc, BOOL* bitsCopied);
  BOOL CreateDIB(CBitmap* pbmpSrc, BOOL bCompress = FALSE);
  BOOL CreateDIB(HBITMAP hBitmap, BOOL bCompress = FALSE);
  BOOL SetDIBits(CBitmap* pbmpDest);
  BOOL SetDIBits(HBITMAP hBitmap);
  BOOL SaveDIB(LPCTSTR file, CBitmap* pbmpSrc = nullptr, BOOL bCompress = FALSE);
  // Reads the file and returns a DIB section of it, owned by the caller.
  HBITMAP LoadDIB(LPCTSTR file);
  HBITMAP CreateDIBitmap();
#endif
  CDibData* CreateEmptyDIB(int bpp) const;
  CDibData* GetConvertedDIB(int bpp, BOOL optimize) const;
  int GetOptimalColors(RGBQUAD* out, int maximum, int colorBits) const;

  // Pixels: x from the left, y from the top row.
  LONG GetPixelValue(int x, int y) const;
  BOOL SetPixelValue(int x, int y, DWORD value);
  COLORREF GetPixelColor(int x, int y) const;
  BOOL SetPixelColor(int x, int y, COLORREF color);
  BOOL GetPaletteColors(int first, int count, RGBQUAD* out) const;
  BOOL SetPaletteColors(int first, int count, const RGBQUAD* in);
  int FindNearestColor(COLORREF color) const;
  int FindNearestColor(const RGBQUAD& color) const {
    return FindNearestColor(RGB(color.rgbRed, color.rgbGreen, color.rgbBlue));
  }

  // The held header.
  int GetWidth() const { return m_pHeader ? m_pHeader->biWidth : 0; }
  int GetHeight() const { return m_pHeader ? m_pHeader->biHeight : 0; }
  int GetPlanes() const { return m_pHeader ? m_pHeader->biPlanes : 0; }
  int GetBitCount() const { return m_pHeader ? m_pHeader->biBitCount : 0; }
  WORD GetBitsPerPixel() const { return m_pHeader ? (WORD)(m_pHeader->biPlanes * m_pHeader->biBitCount) : 0; }
  DWORD GetCompression() const { return m_pHeader ? m_pHeader->biCompression : 0; }
  DWORD GetSizeImage() const { return m_pHeader ? m_pHeader->biSizeImage : 0; }
  DWORD GetClrUsed() const { return m_pHeader ? m_pHeader->biClrUsed : 0; }
  DWORD GetClrImportant() const { return m_pHeader ? m_pHeader->biClrImportant : 0; }
  int GetMaxColors() const { return m_pHeader ? (int)m_layout.maxColors : 0; }
  int GetColorCount() const { return m_nColorCount; }
  int GetColorTableSize() const { return m_nColorCount * 4; }
  int GetMaskSize() const { return m_pHeader ? (int)m_layout.maskSize : 0; }
  int GetPixelOffset() const { return m_pHeader ? (int)m_layout.pixelOffset : 0; }
  int GetStride() const { return m_pHeader ? (int)m_layout.stride : 0; }
  int GetImageSize() const { return m_pHeader ? (int)(m_layout.stride * m_layout.height) : 0; }
  DWORD GetDIBSize() const;
  const BYTE* GetPixels() const { return m_pPixels; }
  const BITMAPINFOHEADER* GetHeader() const { return m_pHeader; }

 private:
  BOOL Relayout();  // detach and attach again after the header changed
  // Entries [first, first + count) exist; records the error codes of the palette calls.
  BOOL IsPaletteRange(int first, int count, const void* buffer) const;
  void ClearMembers();
  BOOL IsBitFields() const { return m_pHeader && m_pHeader->biCompression == BI_BITFIELDS; }

  HGLOBAL m_hDib = nullptr;  // owned, locked while held
  BITMAPINFOHEADER* m_pHeader = nullptr;
  BYTE* m_pPixels = nullptr;
  CArray<BYTE*, BYTE*> m_rows;   // entry 0 is the top row; empty when compressed
  RGBQUAD* m_pColors = nullptr;  // null without a colour table
  int m_nBitsPerPixel = 0;       // rounded
  int m_nColorCount = 0;
  DibLayout m_layout = {};
  DWORD m_masks[3] = {0, 0, 0};  // red, green, blue
  int m_shifts[3] = {0, 0, 0};   // lowest set bit of each mask
  int m_losses[3] = {0, 0, 0};   // 8 - set bits of each mask
};
