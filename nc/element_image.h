// The packed image of a path element: the fixed bytes an element occupies where elements
// are stored outside the heap (the mapped workspace file).
//
//   0-3   0 (the run-time class slot; never a pointer in stored bytes)
//   4-5   code           6-9  discard mark     10-13 flags word    14-17 line
//   18-21 0              -- 22 bytes: a mode code
//   tag:  22-24 name, 25-32 value, 33-36 0 (the tool stays with the element) -- 37 bytes
//   move: 22 axis mask, 23-26 tag start mark, 27-34 radius, 35-42 corner angle,
//         43-50 deviation, 51-58 path mark, 59-82 end point        -- 83 bytes
//   arc:  as a move, then 83-106 centre                              -- 107 bytes
// All values little-endian, doubles as IEEE-754, lengths in mm.
#pragma once

#include "nc/path_element.h"

constexpr UINT kElementImageMax = 107;

// Writes the image of `element` to out (room for kElementImageMax bytes) and returns its
// size: 22, 37, 83 or 107 by the element's code.
UINT PackElementImage(const CPathElement& element, BYTE* out);

// A new element rebuilt from an image (the inverse of PackElementImage); null when the
// image's code and class do not fit.
CPathElement* UnpackElementImage(const BYTE* image);
