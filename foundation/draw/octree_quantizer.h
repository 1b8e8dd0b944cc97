// COctreeQuantizer: reduces the colours of an image to a palette of at most a given
// number of colours (the classic octree).
//
// Every pixel colour goes down a tree with up to 8 children per node, one level per
// colour bit; whenever the tree holds more leaves than the limit, the deepest
// reducible node (the most recently created at that level) is folded into one leaf.
// Each leaf is one palette colour: the average of the pixels it collected.
#pragma once

#include "platform/core.h"

#ifndef _WIN32
// The palette entry of the platform's DIBs.
struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};
#endif

struct OctreeNode {
  BOOL bIsLeaf;
  ULONGLONG nPixelCount;  // pixels collected (by its former children too)
  ULONGLONG nRedSum;      // sums of the channel values 0..255; wide, so no image can overflow them
  ULONGLONG nGreenSum;
  ULONGLONG nBlueSum;
  OctreeNode* pChild[8];  // child i: the colours whose bits at this level form index i
  OctreeNode* pNext;      // next reducible node of the same level
};

class COctreeQuantizer {
 public:
  COctreeQuantizer(UINT maxColors, UINT colorBits);
  virtual ~COctreeQuantizer();
  COctreeQuantizer(const COctreeQuantizer&) = delete;
  COctreeQuantizer& operator=(const COctreeQuantizer&) = delete;

  // Inserts one pixel (each channel modulo 256), then reduces while there are too
  // many leaves.
  void AddColor(BYTE r, BYTE g, BYTE b);
  UINT GetLeafCount() const { return m_nLeafCount; }
  // One entry per leaf, depth first, children in index order; out has room for
  // GetLeafCount entries.
  void GetPaletteColors(RGBQUAD* out) const;
#ifdef _WIN32
  // Feeds every pixel of a DIB section of 1, 4, 8, 16, 24 or 32 bits per pixel.
  BOOL ProcessImage(HBITMAP section);
#endif

 private:
  BOOL InsertColor(OctreeNode** node, BYTE r, BYTE g, BYTE b, UINT level);
  OctreeNode* CreateNode(UINT level);
  BOOL ReduceTree();
  static void DeleteTree(OctreeNode* node);
  static void WalkPalette(const OctreeNode* node, RGBQUAD* out, UINT* index);

  OctreeNode* m_pRoot = nullptr;
  UINT m_nLeafCount = 0;
  OctreeNode* m_pReducible[9] = {};  // per level 0..8, most recent first
  UINT m_nMaxColors;
  UINT m_nColorBits;  // 1..8: leaves sit at this level
};
