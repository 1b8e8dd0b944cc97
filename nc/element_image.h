// The packed image of a path element: the fixed bytes an element occupies where elements
// are stored outside the heap (the mapped workspace file). All values little-endian,
// doubles as IEEE-754, lengths in mm; a tag's tool stays with the element.
#pragma once

#include <cstddef>

#include "foundation/workspace.h"
#include "nc/path_element.h"

#pragma pack(push, 1)

// Every image starts so; a mode code is nothing more.
struct ElementImageHead {
  DWORD m_nClass;     // 0: 0 (the run-time class slot; never a pointer in stored bytes)
  WORD m_nCode;       // 4: element code
  DWORD m_nDiscard;   // 6: discard mark
  DWORD m_nFlags;     // 10: flags word
  DWORD m_nLine;      // 14: source line
  DWORD m_nReserved;  // 18: 0
};

struct TagImage {
  ElementImageHead m_head;  // 0
  char m_szName[3];         // 22: name, at most 2 characters and a NUL
  double m_dValue;          // 25: value
  DWORD m_nToolRef;         // 33: 0
};

// The move fields in the order of NC_MOVE_FIELDS.
struct MoveImage {
  ElementImageHead m_head;  // 0
  BYTE m_byAxes;            // 22: axis mask
  DWORD m_nTagStart;        // 23: tag start mark
  double m_dRadius;         // 27: radius (mm)
  double m_dAngle;          // 35: corner angle (degrees)
  double m_dDeviation;      // 43: deviation (mm)
  double m_dMark;           // 51: path mark (mm)
  PackedVec3 m_vEnd;        // 59: end point (mm)
};

struct ArcImage {
  MoveImage m_move;      // 0
  PackedVec3 m_vCenter;  // 83: centre (mm)
};

#pragma pack(pop)

static_assert(sizeof(ElementImageHead) == 22 && offsetof(ElementImageHead, m_nCode) == 4 &&
                  offsetof(ElementImageHead, m_nDiscard) == 6 && offsetof(ElementImageHead, m_nFlags) == 10 &&
                  offsetof(ElementImageHead, m_nLine) == 14,
              "element image head");
static_assert(sizeof(TagImage) == 37 && offsetof(TagImage, m_szName) == 22 && offsetof(TagImage, m_dValue) == 25,
              "tag image");
static_assert(sizeof(MoveImage) == 83 && offsetof(MoveImage, m_byAxes) == 22 &&
                  offsetof(MoveImage, m_nTagStart) == 23 && offsetof(MoveImage, m_dRadius) == 27 &&
                  offsetof(MoveImage, m_dMark) == 51 && offsetof(MoveImage, m_vEnd) == 59,
              "move image");
static_assert(sizeof(ArcImage) == 107 && offsetof(ArcImage, m_vCenter) == 83, "arc image");
static_assert(sizeof(ArcImage) == kWorkspaceSlotSize, "the largest image fills a workspace slot");

constexpr UINT kElementImageMax = sizeof(ArcImage);

// Writes the image of `element`, with the optimiser's values `extras` of a move, to out
// (room for kElementImageMax bytes, the rest zeroed) and returns its size,
// WorkspaceImageSize of its code.
UINT PackElementImage(const CPathElement& element, BYTE* out, const MoveExtras& extras = MoveExtras());

// A new element rebuilt from an image (the inverse of PackElementImage); the optimiser's
// values of a move go to `extras` when given.
CPathElement* UnpackElementImage(const BYTE* image, MoveExtras* extras = nullptr);
