#include "foundation/draw/dib_data.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/bytes.h"

#ifdef _WIN32
#include "platform/win/gdi.h"
#endif

namespace {

// Movable memory blocks: the platform's on Windows, a stand-in on the host.
#ifdef _WIN32
HGLOBAL BlockAlloc(ULONGLONG size) {
  return size > 0x7FFFFFFF ? nullptr : ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (SIZE_T)size);
}
BYTE* BlockLock(HGLOBAL h) { return (BYTE*)::GlobalLock(h); }
void BlockUnlock(HGLOBAL h) { ::GlobalUnlock(h); }
void BlockFree(HGLOBAL h) { ::GlobalFree(h); }
ULONGLONG BlockSize(HGLOBAL h) { return ::GlobalSize(h); }
#else
}  // namespace
struct HostBlock_ {
  std::vector<BYTE> data;
};
namespace {
HGLOBAL BlockAlloc(ULONGLONG size) {
  if (size > 0x7FFFFFFF) return nullptr;
  HGLOBAL h = new HostBlock_;
  h->data.assign((size_t)size, 0);
  return h;
}
BYTE* BlockLock(HGLOBAL h) { return h->data.data(); }
void BlockUnlock(HGLOBAL) {}
void BlockFree(HGLOBAL h) { delete h; }
ULONGLONG BlockSize(HGLOBAL h) { return h->data.size(); }
#endif

void MaskShape(DWORD mask, int* shift, int* loss) {
  *shift = 0;
  *loss = 0;
  if (!mask) return;
  while (!(mask & 1)) {
    mask >>= 1;
    ++*shift;
  }
  int bits = 0;
  for (; mask; mask >>= 1) bits += mask & 1;
  *loss = 8 - bits;
}

// A channel of a bit-field pixel as 8 bits and back. A mask of more than 8 bits (a
// crafted file's) has a negative loss: its low bits are dropped instead.
BYTE MaskToChannel(DWORD value, DWORD mask, int shift, int loss) {
  DWORD v = (value & mask) >> shift;
  return (BYTE)(loss >= 0 ? v << loss : v >> -loss);
}
DWORD ChannelToMask(BYTE channel, DWORD mask, int shift, int loss) {
  DWORD v = loss >= 0 ? (DWORD)(channel >> loss) : (DWORD)channel << -loss;
  return (v << shift) & mask;
}

void DefaultMasks(int bpp, DWORD masks[3]) {
  if (bpp == 16) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  } else if (bpp == 24 || bpp == 32) {
    masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
  } else {
    masks[0] = masks[1] = masks[2] = 0;
  }
}

bool IsRle(DWORD compression) { return compression == BI_RLE8 || compression == BI_RLE4; }

bool IsKnownDepth(WORD planes, WORD bitCount) {
  if (planes != 1) return false;
  for (WORD depth : {1, 2, 4, 8, 16, 24, 32})
    if (bitCount == depth) return true;
  return false;
}

constexpr RGBQUAD kSixteen[16] = {{0, 0, 0, 0},       {0, 0, 128, 0},   {0, 128, 0, 0},   {0, 128, 128, 0},
                                  {128, 0, 0, 0},     {128, 0, 128, 0}, {128, 128, 0, 0}, {128, 128, 128, 0},
                                  {192, 192, 192, 0}, {0, 0, 255, 0},   {0, 255, 0, 0},   {0, 255, 255, 0},
                                  {255, 0, 0, 0},     {255, 0, 255, 0}, {255, 255, 0, 0}, {255, 255, 255, 0}};

}  // namespace

DibLayout DibLayout::Of(const BITMAPINFOHEADER& h) {
  DibLayout l = {};
  ULONGLONG product = (ULONGLONG)h.biPlanes * h.biBitCount;
  static constexpr int kDepths[] = {1, 2, 4, 8, 16, 24};
  l.bitsPerPixel = 32;
  for (int d : kDepths)
    if (product <= (ULONGLONG)d) {
      l.bitsPerPixel = d;
      break;
    }
  ULONGLONG width = h.biWidth < 0 ? 0 : (ULONGLONG)h.biWidth;
  l.stride = ((product * width + 31) & ~(ULONGLONG)31) / 8;
  l.height = (ULONGLONG)std::llabs((long long)h.biHeight);
  l.imageSize = h.biSizeImage ? h.biSizeImage : l.stride * l.height;
  l.maskSize = h.biCompression == BI_BITFIELDS ? 12 : 0;
  l.maxColors = l.bitsPerPixel <= 8 ? (1ull << l.bitsPerPixel) : 0;
  l.colorCount = h.biClrUsed ? h.biClrUsed : l.maxColors;
  l.pixelOffset = 40 + l.maskSize + l.colorCount * 4;
  l.requiredSize = l.pixelOffset + l.imageSize;
  l.allocationSize = 40 + l.stride * l.height + l.maskSize + l.maxColors * 4;
  return l;
}

CDibData::CDibData() = default;

CDibData::CDibData(const CDibData& other) {
  if (!other.m_hDib) return;
  ULONGLONG size = BlockSize(other.m_hDib);
  if (!size) return;
  HGLOBAL h = BlockAlloc(size);
  if (!h) return;
  memcpy(BlockLock(h), other.m_pHeader, (size_t)size);
  BlockUnlock(h);
  if (!Attach(h)) BlockFree(h);
}

CDibData::~CDibData() { DeleteObject(); }

void CDibData::ClearMembers() {
  m_hDib = nullptr;
  m_pHeader = nullptr;
  m_pPixels = nullptr;
  m_rows.RemoveAll();
  m_pColors = nullptr;
  m_nBitsPerPixel = 0;
  m_nColorCount = 0;
  m_layout = DibLayout{};
  for (int i = 0; i < 3; ++i) m_masks[i] = 0, m_shifts[i] = 0, m_losses[i] = 0;
}

// Invalid blocks are refused and stay the caller's. Besides the header size and the
// layout's size, an uncompressed image must hold all its rows whatever biSizeImage
// claims, so that no pixel access can leave the block. The depth must be one the pixel
// accessors know (one plane of 1, 2, 4, 8, 16, 24 or 32 bits): the rows are laid out
// by the header's own bit count, the accessors step by the rounded depth, and a bit
// count of 0, 3 or 12 (or 0 planes) made them read and write past the rows.
BOOL CDibData::Attach(HGLOBAL hDib) {
  if (!hDib) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (m_hDib) return FALSE;
  ULONGLONG size = BlockSize(hDib);
  if (size < 40) {
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  BYTE* base = BlockLock(hDib);
  BITMAPINFOHEADER* h = (BITMAPINFOHEADER*)base;
  DibLayout l = DibLayout::Of(*h);
  bool rle = IsRle(h->biCompression);
  // Rows whose total could not even be computed are more than any block holds.
  bool rowsFit = l.height <= 0x7FFFFFFF && (l.height == 0 || l.stride <= size / l.height);
  bool ok = h->biSize == 40 && h->biWidth >= 0 && IsKnownDepth(h->biPlanes, h->biBitCount) && rowsFit &&
            size >= l.requiredSize && (rle || size >= l.pixelOffset + l.stride * l.height);
  if (!ok) {
    SetLastError(ERROR_INVALID_PARAMETER);
    BlockUnlock(hDib);
    return FALSE;
  }
  m_layout = l;
  BYTE* pixels = base + l.pixelOffset;
  if (!rle) {
    m_rows.SetSize((int)l.height);
    for (ULONGLONG j = 0; j < l.height; ++j) {
      ULONGLONG stored = h->biHeight > 0 ? l.height - 1 - j : j;
      m_rows[(int)j] = pixels + stored * l.stride;
    }
  }
  if (h->biCompression == BI_BITFIELDS) {
    DWORD* stored = (DWORD*)(base + 40);
    if (stored[0] || stored[1] || stored[2]) {
      for (int i = 0; i < 3; ++i) {
        m_masks[i] = stored[i];
        MaskShape(m_masks[i], &m_shifts[i], &m_losses[i]);
      }
    } else {
      DefaultMasks(l.bitsPerPixel, m_masks);
      for (int i = 0; i < 3; ++i) {
        stored[i] = m_masks[i];
        MaskShape(m_masks[i], &m_shifts[i], &m_losses[i]);
      }
    }
  } else {
    DefaultMasks(l.bitsPerPixel, m_masks);
    for (int i = 0; i < 3; ++i) MaskShape(m_masks[i], &m_shifts[i], &m_losses[i]);
  }
  m_hDib = hDib;
  m_pHeader = h;
  m_pPixels = pixels;
  m_nBitsPerPixel = l.bitsPerPixel;
  m_nColorCount = (int)l.colorCount;
  m_pColors = l.colorCount ? (RGBQUAD*)(base + 40 + l.maskSize) : nullptr;
  return TRUE;
}

HGLOBAL CDibData::Detach() {
  HGLOBAL h = m_hDib;
  if (h) BlockUnlock(h);
  ClearMembers();
  return h;
}

BOOL CDibData::DeleteObject() {
  HGLOBAL h = Detach();
  if (h) BlockFree(h);
  return TRUE;
}

BOOL CDibData::Relayout() {
  HGLOBAL h = Detach();
  if (Attach(h)) return TRUE;
  BlockFree(h);
  return FALSE;
}

DWORD CDibData::GetDIBSize() const {
  if (!m_pHeader) return 0;
  ULONGLONG colors = m_pHeader->biClrUsed ? m_pHeader->biClrUsed : m_layout.maxColors;
  ULONGLONG image = m_pHeader->biSizeImage ? m_pHeader->biSizeImage : m_layout.stride * m_layout.height;
  return (DWORD)(40 + m_layout.maskSize + colors * 4 + image);
}

// ---------------------------------------------------------------------------------
// Pixels

LONG CDibData::GetPixelValue(int x, int y) const {
  if (m_rows.IsEmpty() || x < 0 || y < 0 || x >= GetWidth() || y >= m_rows.GetSize()) return -1;
  const BYTE* p = m_rows[y] + ((ULONGLONG)x * m_nBitsPerPixel) / 8;
  switch (m_nBitsPerPixel) {
    case 1: return (*p >> (7 - x % 8)) & 1;
    case 2: return (*p >> ((3 - x % 4) * 2)) & 3;
    case 4: return (x % 2) ? (*p & 0x0F) : (*p >> 4);
    case 8: return *p;
    case 16: return bytes::Load16(p);
    case 24: return bytes::Load16(p) | (p[2] << 16);
    case 32: return (LONG)bytes::Load32(p);
    default: return -1;
  }
}

BOOL CDibData::SetPixelValue(int x, int y, DWORD value) {
  if (m_rows.IsEmpty() || x < 0 || y < 0 || x >= GetWidth() || y >= m_rows.GetSize()) return FALSE;
  BYTE* p = m_rows[y] + ((ULONGLONG)x * m_nBitsPerPixel) / 8;
  switch (m_nBitsPerPixel) {
    case 1: {
      int bit = 7 - x % 8;
      *p = (BYTE)((*p & ~(1 << bit)) | ((value & 1) << bit));
      return TRUE;
    }
    case 2: {
      int shift = (3 - x % 4) * 2;
      *p = (BYTE)((*p & ~(3 << shift)) | ((value & 3) << shift));
      return TRUE;
    }
    case 4:
      *p = (x % 2) ? (BYTE)((*p & 0xF0) | (value & 0x0F)) : (BYTE)((*p & 0x0F) | ((value & 0x0F) << 4));
      return TRUE;
    case 8: *p = (BYTE)value; return TRUE;
    case 16: bytes::Store16(p, (WORD)value); return TRUE;
    case 24:
      bytes::Store16(p, (WORD)value);
      p[2] = (BYTE)(value >> 16);
      return TRUE;
    case 32: bytes::Store32(p, value); return TRUE;
    default: return FALSE;
  }
}

COLORREF CDibData::GetPixelColor(int x, int y) const {
  LONG v = GetPixelValue(x, y);
  if (v == -1 && m_nBitsPerPixel <= 24) return (COLORREF)-1;
  if (m_rows.IsEmpty() || x < 0 || y < 0 || x >= GetWidth() || y >= m_rows.GetSize()) return (COLORREF)-1;
  DWORD value = (DWORD)v;
  if (m_nBitsPerPixel <= 8) {
    if (!m_pColors || value >= (DWORD)m_nColorCount) return (COLORREF)-1;
    const RGBQUAD& c = m_pColors[value];
    return RGB(c.rgbRed, c.rgbGreen, c.rgbBlue);
  }
  if (m_nBitsPerPixel == 16 || IsBitFields()) {
    BYTE ch[3];
    for (int i = 0; i < 3; ++i) ch[i] = MaskToChannel(value, m_masks[i], m_shifts[i], m_losses[i]);
    return RGB(ch[0], ch[1], ch[2]);
  }
  return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

BOOL CDibData::SetPixelColor(int x, int y, COLORREF color) {
  if (color == (COLORREF)-1) return FALSE;
  if (m_nBitsPerPixel <= 8) {
    int index = FindNearestColor(color);
    return index >= 0 && SetPixelValue(x, y, (DWORD)index);
  }
  BYTE ch[3] = {GetRValue(color), GetGValue(color), GetBValue(color)};
  if (m_nBitsPerPixel == 16 || IsBitFields()) {
    DWORD value = 0;
    for (int i = 0; i < 3; ++i) value |= ChannelToMask(ch[i], m_masks[i], m_shifts[i], m_losses[i]);
    return SetPixelValue(x, y, value);
  }
  return SetPixelValue(x, y, ((DWORD)ch[0] << 16) | ((DWORD)ch[1] << 8) | ch[2]);
}

int CDibData::FindNearestColor(COLORREF color) const {
  if (!m_pColors || m_nColorCount == 0) return -1;
  int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
  int best = -1, bestDistance = 0x7FFFFFFF;
  for (int i = 0; i < m_nColorCount; ++i) {
    const RGBQUAD& c = m_pColors[i];
    int d = std::abs(c.rgbRed - r) + std::abs(c.rgbGreen - g) + std::abs(c.rgbBlue - b);
    if (d < bestDistance) {
      best = i;
      bestDistance = d;
      if (d == 0) break;
    }
  }
  return best;
}

BOOL CDibData::IsPaletteRange(int first, int count, const void* buffer) const {
  if (!m_hDib) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (count <= 0 || !buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return m_pColors && first >= 0 && (long long)first + count <= m_nColorCount;
}

BOOL CDibData::GetPaletteColors(int first, int count, RGBQUAD* out) const {
  if (!IsPaletteRange(first, count, out)) return FALSE;
  memcpy(out, m_pColors + first, (size_t)count * sizeof(RGBQUAD));
  return TRUE;
}

BOOL CDibData::SetPaletteColors(int first, int count, const RGBQUAD* in) {
  if (!IsPaletteRange(first, count, in)) return FALSE;
  memcpy(m_pColors + first, in, (size_t)count * sizeof(RGBQUAD));
  return TRUE;
}

// ---------------------------------------------------------------------------------
// New images and conversions

CDibData* CDibData::CreateEmptyDIB(int bpp) const {
  if (!m_pHeader) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  BITMAPINFOHEADER h = *m_pHeader;
  h.biPlanes = 1;
  h.biBitCount = (WORD)bpp;
  h.biBitCount = (WORD)DibLayout::Of(h).bitsPerPixel;
  h.biCompression = (h.biBitCount == 16 || h.biBitCount == 32) ? BI_BITFIELDS : BI_RGB;
  h.biSizeImage = 0;
  h.biClrUsed = 0;
  DibLayout l = DibLayout::Of(h);
  h.biSizeImage = (DWORD)l.imageSize;
  h.biClrUsed = (DWORD)l.maxColors;
  HGLOBAL block = BlockAlloc(l.allocationSize);
  if (!block) {
    SetLastError(ERROR_OUTOFMEMORY);
    return nullptr;
  }
  memcpy(BlockLock(block), &h, sizeof h);
  BlockUnlock(block);
  CDibData* dib = new CDibData;
  if (!dib->Attach(block)) {
    BlockFree(block);
    delete dib;
    SetLastError(ERROR_OUTOFMEMORY);
    return nullptr;
  }
  return dib;
}

int CDibData::GetOptimalColors(RGBQUAD* out, int maximum, int colorBits) const {
  if (!m_hDib) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!out || maximum <= 0 || colorBits <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  COctreeQuantizer q((UINT)maximum, (UINT)colorBits);
  int width = GetWidth(), height = m_rows.GetSize();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      COLORREF c = GetPixelColor(x, y);
      if (c != (COLORREF)-1) q.AddColor(GetRValue(c), GetGValue(c), GetBValue(c));
    }
  if (q.GetLeafCount() > (UINT)maximum) return 0;
  q.GetPaletteColors(out);
  return (int)q.GetLeafCount();
}

CDibData* CDibData::GetConvertedDIB(int bpp, BOOL optimize) const {
  if (!m_pHeader || IsRle(m_pHeader->biCompression)) return nullptr;
  int s = m_nBitsPerPixel;
  BITMAPINFOHEADER probe = *m_pHeader;
  probe.biPlanes = 1;
  probe.biBitCount = (WORD)bpp;
  int d = DibLayout::Of(probe).bitsPerPixel;
  if (s == d && !IsBitFields()) return nullptr;
  CDibData* target = CreateEmptyDIB(d);
  if (!target) return nullptr;
  int width = GetWidth(), height = m_rows.GetSize();

  if (s < d && d <= 8) {
    int n = std::min(m_nColorCount, target->m_nColorCount);
    if (m_pColors && n) memcpy(target->m_pColors, m_pColors, (size_t)n * sizeof(RGBQUAD));
    if (m_pHeader->biClrUsed || m_pHeader->biClrImportant) {
      target->m_pHeader->biClrUsed = m_pHeader->biClrUsed;
      target->m_pHeader->biClrImportant = m_pHeader->biClrImportant;
    } else {
      target->m_pHeader->biClrUsed = (DWORD)m_nColorCount;
    }
    if (!target->Relayout()) {
      delete target;
      return nullptr;
    }
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) target->SetPixelValue(x, y, (DWORD)GetPixelValue(x, y));
    return target;
  }
  if (d >= 16) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) target->SetPixelColor(x, y, GetPixelColor(x, y));
    return target;
  }

  // A palette target: choose the palette, then every pixel its nearest entry.
  RGBQUAD palette[256] = {};
  int count = 0;
  if (s >= 16 && d == 8) {
    count = GetOptimalColors(palette, 256, 8);
    bool grey = count < 256;
    for (int i = 0; i < count && grey; ++i)
      grey = palette[i].rgbRed == palette[i].rgbGreen && palette[i].rgbGreen == palette[i].rgbBlue;
    if (grey) {
      for (int i = 0; i < 256; ++i) palette[i] = RGBQUAD{(BYTE)i, (BYTE)i, (BYTE)i, 0};
      count = 256;
    }
  } else if (d == 1) {
    palette[0] = {0, 0, 0, 0};
    palette[1] = {255, 255, 255, 0};
    count = 2;
  } else if (d == 2) {
    const BYTE greys[4] = {0, 128, 192, 255};
    for (int i = 0; i < 4; ++i) palette[i] = RGBQUAD{greys[i], greys[i], greys[i], 0};
    count = 4;
  } else if (d == 4 && s >= 8) {
    memcpy(palette, kSixteen, sizeof kSixteen);
    count = 16;
    if (optimize) count = GetOptimalColors(palette, 16, 4);
  } else {
    delete target;
    return nullptr;
  }
  if (count <= 0) {
    delete target;
    return nullptr;
  }
  memcpy(target->m_pColors, palette, (size_t)count * sizeof(RGBQUAD));
  if (count < (int)target->m_layout.maxColors) {
    target->m_pHeader->biClrUsed = (DWORD)count;
    if (!target->Relayout()) {
      delete target;
      return nullptr;
    }
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      COLORREF c = GetPixelColor(x, y);
      int index = c == (COLORREF)-1 ? 0 : target->FindNearestColor(c);
      target->SetPixelValue(x, y, (DWORD)(index < 0 ? 0 : index));
    }
  return target;
}

// ---------------------------------------------------------------------------------
// Files

BOOL CDibData::WriteDIBFile(LPCTSTR file) const {
  if (!file || !*file) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!m_pHeader) return FALSE;
  DWORD dibSize = GetDIBSize();
  ULONGLONG colors = m_pHeader->biClrUsed ? m_pHeader->biClrUsed : m_layout.maxColors;
  DibFileHeader fh = {0x4D42, 14 + dibSize, 0, 0, (DWORD)(14 + 40 + m_layout.maskSize + colors * 4)};
  try {
    CFile f(file, CFile::modeCreate | CFile::modeWrite);
    f.Write(&fh, sizeof fh);
    f.Write(m_pHeader, dibSize);
    f.SetLength(f.GetPosition());
    f.Close();
  } catch (const CFileException&) {
    return FALSE;
  }
  return TRUE;
}

BOOL CDibData::ReadDIBFile(LPCTSTR file) {
  if (!file || !*file) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (m_hDib) {
    SetLastError(ERROR_ALREADY_INITIALIZED);
    return FALSE;
  }
  HGLOBAL block = nullptr;
  try {
    CFile f(file, CFile::modeRead | CFile::shareDenyWrite);
    ULONGLONG length = f.GetLength();
    DibFileHeader fh = {};
    if (length < sizeof fh || f.Read(&fh, sizeof fh) != sizeof fh || fh.bfType != 0x4D42) return FALSE;
    block = BlockAlloc(length - sizeof fh);
    if (!block) {
      SetLastError(ERROR_OUTOFMEMORY);
      return FALSE;
    }
    UINT want = (UINT)(length - sizeof fh);
    UINT got = f.Read(BlockLock(block), want);
    BlockUnlock(block);
    if (got != want) {
      BlockFree(block);
      return FALSE;
    }
  } catch (const CFileException&) {
    if (block) BlockFree(block);
    return FALSE;
  }
  if (!Attach(block)) {
    BlockFree(block);
    return FALSE;
  }
  return TRUE;
}
