#include "foundation/draw/octree_quantizer.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/bytes.h"

COctreeQuantizer::COctreeQuantizer(UINT maxColors, UINT colorBits)
    : m_nMaxColors(maxColors), m_nColorBits(colorBits < 1 ? 1 : (colorBits > 8 ? 8 : colorBits)) {}

COctreeQuantizer::~COctreeQuantizer() { DeleteTree(m_pRoot); }

void COctreeQuantizer::DeleteTree(OctreeNode* node) {
  if (!node) return;
  for (OctreeNode* child : node->pChild) DeleteTree(child);
  free(node);
}

OctreeNode* COctreeQuantizer::CreateNode(UINT level) {
  OctreeNode* node = (OctreeNode*)calloc(1, sizeof(OctreeNode));
  if (!node) return nullptr;
  node->bIsLeaf = level == m_nColorBits;
  if (node->bIsLeaf) {
    ++m_nLeafCount;
  } else {
    node->pNext = m_pReducible[level];
    m_pReducible[level] = node;
  }
  return node;
}

// FALSE when a node could not be allocated: the pixel is then left out.
BOOL COctreeQuantizer::InsertColor(OctreeNode** node, BYTE r, BYTE g, BYTE b, UINT level) {
  for (;;) {
    if (!*node && !(*node = CreateNode(level))) return FALSE;
    OctreeNode* n = *node;
    if (n->bIsLeaf) {
      ++n->nPixelCount;
      n->nRedSum += r;
      n->nGreenSum += g;
      n->nBlueSum += b;
      return TRUE;
    }
    UINT shift = 7 - level;
    BYTE mask = (BYTE)(0x80 >> level);
    int index = (((r & mask) >> shift) << 2) | (((g & mask) >> shift) << 1) | ((b & mask) >> shift);
    node = &n->pChild[index];
    ++level;
  }
}

void COctreeQuantizer::AddColor(BYTE r, BYTE g, BYTE b) {
  InsertColor(&m_pRoot, r, g, b, 0);
  while (m_nLeafCount > m_nMaxColors)
    if (!ReduceTree()) break;  // nothing left to fold (a limit of 0)
}

// The deepest level that still has a non-leaf node; its most recent one becomes a leaf
// holding all its children's pixels.
BOOL COctreeQuantizer::ReduceTree() {
  int level = (int)m_nColorBits - 1;
  while (level > 0 && !m_pReducible[level]) --level;
  OctreeNode* node = m_pReducible[level];
  if (!node) return FALSE;
  m_pReducible[level] = node->pNext;
  UINT children = 0;
  ULONGLONG red = 0, green = 0, blue = 0;
  for (OctreeNode*& child : node->pChild) {
    if (!child) continue;
    red += child->nRedSum;
    green += child->nGreenSum;
    blue += child->nBlueSum;
    node->nPixelCount += child->nPixelCount;
    DeleteTree(child);  // a leaf: the deepest reducible node has only leaves below it
    child = nullptr;
    ++children;
  }
  node->nRedSum = red;
  node->nGreenSum = green;
  node->nBlueSum = blue;
  node->bIsLeaf = TRUE;
  m_nLeafCount -= children - 1;
  return TRUE;
}

void COctreeQuantizer::WalkPalette(const OctreeNode* node, RGBQUAD* out, UINT* index) {
  if (!node) return;
  if (node->bIsLeaf) {
    ULONGLONG n = node->nPixelCount ? node->nPixelCount : 1;
    out[*index].rgbRed = (BYTE)(node->nRedSum / n);
    out[*index].rgbGreen = (BYTE)(node->nGreenSum / n);
    out[*index].rgbBlue = (BYTE)(node->nBlueSum / n);
    out[*index].rgbReserved = 0;
    ++*index;
    return;
  }
  for (const OctreeNode* child : node->pChild) WalkPalette(child, out, index);
}

void COctreeQuantizer::GetPaletteColors(RGBQUAD* out) const {
  UINT index = 0;
  WalkPalette(m_pRoot, out, &index);
}

#ifdef _WIN32

namespace {
int LowestBit(DWORD mask) {
  int i = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++i;
  }
  return i;
}
int BitCount(DWORD mask) {
  int n = 0;
  for (; mask; mask >>= 1) n += mask & 1;
  return n;
}
}  // namespace

BOOL COctreeQuantizer::ProcessImage(HBITMAP section) {
  DIBSECTION ds = {};
  if (::GetObjectA(section, sizeof ds, &ds) != sizeof ds || !ds.dsBm.bmBits) return FALSE;
  const BITMAPINFOHEADER& bih = ds.dsBmih;
  int width = bih.biWidth, height = abs(bih.biHeight);
  const BYTE* bits = (const BYTE*)ds.dsBm.bmBits;
  int stride = ds.dsBm.bmWidthBytes;
  switch (bih.biBitCount) {
    case 1:
    case 4:
    case 8: {
      // The platform converts each row to 24 bits.
      HDC dc = ::GetDC(nullptr);
      std::vector<BYTE> row(((size_t)width * 3 + 3) & ~(size_t)3);
      BITMAPINFO bi = {};
      bi.bmiHeader.biSize = sizeof bi.bmiHeader;
      bi.bmiHeader.biWidth = width;
      bi.bmiHeader.biHeight = bih.biHeight > 0 ? height : -height;
      bi.bmiHeader.biPlanes = 1;
      bi.bmiHeader.biBitCount = 24;
      for (int y = 0; y < height; ++y) {
        if (::GetDIBits(dc, section, (UINT)y, 1, row.data(), &bi, DIB_RGB_COLORS) != 1) continue;
        for (int x = 0; x < width; ++x) AddColor(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
      }
      ::ReleaseDC(nullptr, dc);
      return TRUE;
    }
    case 16: {
      DWORD masks[3] = {0x7C00, 0x03E0, 0x001F};
      if (bih.biCompression == BI_BITFIELDS) memcpy(masks, ds.dsBitfields, sizeof masks);
      for (int y = 0; y < height; ++y) {
        const BYTE* p = bits + (size_t)y * stride;
        for (int x = 0; x < width; ++x) {
          DWORD v = bytes::Load16(p + x * 2);
          BYTE ch[3];
          for (int c = 0; c < 3; ++c)
            ch[c] = (BYTE)(((v & masks[c]) >> LowestBit(masks[c])) << (8 - BitCount(masks[c])));
          AddColor(ch[0], ch[1], ch[2]);
        }
      }
      return TRUE;
    }
    case 24:
      for (int y = 0; y < height; ++y) {
        const BYTE* p = bits + (size_t)y * stride;
        for (int x = 0; x < width; ++x) AddColor(p[x * 3 + 2], p[x * 3 + 1], p[x * 3]);
      }
      return TRUE;
    case 32: {
      DWORD masks[3] = {0xFF0000, 0x00FF00, 0x0000FF};
      if (bih.biCompression == BI_BITFIELDS) memcpy(masks, ds.dsBitfields, sizeof masks);
      for (int y = 0; y < height; ++y) {
        const DWORD* p = (const DWORD*)(bits + (size_t)y * stride);
        for (int x = 0; x < width; ++x) {
          BYTE ch[3];
          for (int c = 0; c < 3; ++c) ch[c] = (BYTE)((p[x] & masks[c]) >> LowestBit(masks[c]));
          AddColor(ch[0], ch[1], ch[2]);
        }
      }
      return TRUE;
    }
    default: return FALSE;
  }
}

#endif
