// The path elements of a loaded NC program.
//
// Whatever the source format, a program becomes one ordered list of elements owned by
// its CNCProgram: mode codes, named value tags, straight moves and arcs, each stamped
// with the source line it came from. The optimiser edits this list in place, the previews
// draw it and the job writer flattens it into PathRecords. Elements come from their
// program's arena or the element pool. A program holds millions of them, so they carry no
// table of virtual functions: each records the class it was made as (m_byKind), and
// DeleteElement destroys it as that class, so a code changed in place (an arc reversed, a
// tag rebuilt with another code) never frees an element as the wrong class.
#pragma once

#include <cfloat>
#include <memory>
#include <new>

#include "foundation/geometry.h"
#include "foundation/path_record.h"
#include "nc/element_pool.h"
#include "platform/core.h"

// Element codes. Any other code above 3 is a mode code (17-19 plane, 20/21 units, 74/75
// arc-centre mode, 80-89 canned cycles, 90/91 distance mode, 98/99 cycle return level).
enum : WORD {
  kCodeRapid = 0,
  kCodeFeed = 1,
  kCodeArcCW = 2,
  kCodeArcCCW = 3,
  kCodePlaneXY = 17,
  kCodePlaneXZ = 18,
  kCodePlaneYZ = 19,
  kCodeTagBit = 0x8000,  // a record code with this bit (and above 3) rebuilds as a tag
  kCodeTag = 0xFFFF,
};

inline bool IsMoveCode(unsigned code) { return code <= kCodeArcCCW; }
inline bool IsArcCode(unsigned code) { return code == kCodeArcCW || code == kCodeArcCCW; }
inline bool IsPlaneCode(unsigned code) { return code >= kCodePlaneXY && code <= kCodePlaneYZ; }

// Axis mask bits of a move: the axes its source named.
enum : BYTE { kAxisX = 0x80, kAxisY = 0x40, kAxisZ = 0x20, kAxesXY = 0xC0, kAxesXYZ = 0xE0 };

// The fields of a move in record order: axis mask, tag start mark, radius, corner angle,
// deviation, path mark, end point. Every copy between records and images walks this one
// list, so none of them can miss a field. (A list of names rather than a visitor over
// references: the fields of a packed record cannot be bound to references.) An element
// holds the ones of NC_ELEMENT_MOVE_FIELDS and an arc its radius; the optimiser's three of
// NC_EXTRA_MOVE_FIELDS and the corner radius of a straight move live beside it in its
// program (MoveExtras).
#define NC_MOVE_FIELDS(X) \
  X(m_byAxes)             \
  X(m_nTagStart)          \
  X(m_dRadius)            \
  X(m_dAngle)             \
  X(m_dDeviation)         \
  X(m_dMark)              \
  X(m_vEnd)
#define NC_ELEMENT_MOVE_FIELDS(X) \
  X(m_byAxes)                     \
  X(m_nTagStart)                  \
  X(m_vEnd)
#define NC_EXTRA_MOVE_FIELDS(X) \
  X(m_dAngle)                   \
  X(m_dDeviation)               \
  X(m_dMark)

// What the optimiser adds to a move. A loaded program has millions of moves and most are
// never optimised, so these stay out of the elements: the program keeps them in an array
// beside its list, made when the optimiser sets the first (CNCProgram::GetMoveExtras).
struct MoveExtras {
  double m_dRadius = DBL_MAX;     // corner radius of a straight move (mm); an arc holds its own
  double m_dAngle = DBL_MAX;      // corner angle (degrees), set by the optimiser
  double m_dDeviation = DBL_MAX;  // path deviation of a merged move (mm)
  double m_dMark = 0.0;           // cumulative path length at the end of the move (mm)

  bool IsDefault() const {
    return m_dRadius == DBL_MAX && m_dAngle == DBL_MAX && m_dDeviation == DBL_MAX && m_dMark == 0.0;
  }
};

// The element fields of a move from `from` into `to` (elements or records).
template <class To, class From>
void CopyElementMoveFields(To& to, const From& from) {
#define NC_COPY_MOVE_FIELD(field) to.field = from.field;
  NC_ELEMENT_MOVE_FIELDS(NC_COPY_MOVE_FIELD)
}

// The optimiser's fields of a move from `from` into `to` (extras or records); the path
// mark only withMark.
template <class To, class From>
void CopyExtraMoveFields(To& to, const From& from, bool withMark) {
  const double mark = to.m_dMark;
  NC_EXTRA_MOVE_FIELDS(NC_COPY_MOVE_FIELD)
  if (!withMark) to.m_dMark = mark;
#undef NC_COPY_MOVE_FIELD
}

// The class an element was made as.
enum : BYTE { kKindCode = 0, kKindTag = 1, kKindLine = 2, kKindArc = 3 };

class CPathElement {
 public:
  CPathElement() = default;
  explicit CPathElement(WORD code) : m_nCode(code) {}
  CPathElement(const CPathElement&) = delete;
  // Elements come from the element pool; DeleteElement deletes through the pointer of
  // the element's own class, which hands the pool that class's size. Adders use the
  // nothrow form and report a failed allocation.
  static void* operator new(size_t size) {
    void* block = element_pool::Allocate(size);
    if (!block) throw std::bad_alloc();
    return block;
  }
  static void* operator new(size_t size, const std::nothrow_t&) noexcept { return element_pool::Allocate(size); }
  static void operator delete(void* block, size_t size) noexcept { element_pool::Free(block, size); }
  static void operator delete(void* block, size_t size, const std::nothrow_t&) noexcept {
    element_pool::Free(block, size);
  }
  CPathElement& operator=(const CPathElement&) = delete;

  void SetSource(bool on) { SetFlag(kFlagSource, on); }
  void SetHelical(bool on) { SetFlag(kFlagHelical, on); }
  void SetFitted(bool on) { SetFlag(kFlagFitted, on); }
  int IsSource() const { return (m_nFlags & kFlagSource) ? 1 : 0; }
  int IsHelical() const { return (m_nFlags & kFlagHelical) ? 1 : 0; }
  int IsFitted() const { return (m_nFlags & kFlagFitted) ? 1 : 0; }

  // Code, discard mark, flags word and line from the record.
  void CopyFromPathRecord(const PathRecord& rec);

  WORD m_nCode = kCodeTag;    // element code
  BYTE m_byArena = 0;         // 1: the block is its program's (ElementArena), see DeleteElement
  BYTE m_byKind = kKindCode;  // kKind*: the class the element was made as
  DWORD m_nDiscard = 0;       // non-zero: merged away by the optimiser, kept in the list
  DWORD m_nFlags = 0;         // kFlag* bits
  DWORD m_nLine = 0;          // source line (text line, or record number of a CAM file)

 protected:
  CPathElement(WORD code, BYTE kind) : m_nCode(code), m_byKind(kind) {}
  // Not virtual: only DeleteElement destroys an element through this class.
  ~CPathElement() = default;
  friend void DeleteElement(CPathElement* element);

  void SetFlag(DWORD mask, bool on) {
    if (on)
      m_nFlags |= mask;
    else
      m_nFlags &= ~mask;
  }
  // Code, the three words and, through the setters again, bits 0, 8 and 2.
  void CopyWordsFrom(const CPathElement& from);
  // Bits 0, 2 and 8 as `flags` has them.
  void CopyFlagBits(DWORD flags) {
    SetSource((flags & kFlagSource) != 0);
    SetFitted((flags & kFlagFitted) != 0);
    SetHelical((flags & kFlagHelical) != 0);
  }
};

// A named value: "F" feed (mm/s), "S" spindle, "T" tool, "M" M code, "ZW" dwell (ms),
// "ZZ" HPGL 2D/3D, "@T" tool group, ...
class CPathTagElement : public CPathElement {
 public:
  CPathTagElement() : CPathElement(kCodeTag, kKindTag) {}
  ~CPathTagElement() { delete m_pTool; }

  // At most 2 characters are kept.
  void SetName(const char* name);
  bool IsNamed(const char* name) const;  // exact
  // Takes over `tool` (may be null), freeing the one held.
  void TakeTool(ToolRecord* tool);
  void CopyFromPathRecord(const PathRecord& rec);

  char m_szName[3] = {0, 0, 0};
  double m_dValue = 0.0;
  ToolRecord* m_pTool = nullptr;  // owned; only on "T" tags made from a CAM tool definition
};

// A straight move: code 0 rapid, 1 feed.
class CPathLineElement : public CPathElement {
 public:
  CPathLineElement() : CPathElement(kCodeRapid, kKindLine) {}
  explicit CPathLineElement(WORD code) : CPathElement(code, kKindLine) {}

  // Everything a line element holds of a move: words, flags, axes, tag start mark and
  // end point.
  void CopyFrom(const CPathLineElement& from);
  void CopyFromPathRecord(const PathRecord& rec);

  // Before a rapid from `start` to `end` is appended to `list`, appends the pieces that
  // make it travel 45 degrees first, then the rest of XY at the old height; the element
  // itself then does what remains (the Z travel). Pieces carry bit 0 clear and come from
  // `arena` (null: the element pool). FALSE (and nothing appended) when memory runs out.
  BOOL SplitRapid(CArray<CPathElement*, CPathElement*>& list, const Vec3& start, const Vec3& end,
                  ElementArena* arena = nullptr);

  BYTE m_byAxes = 0;      // kAxis* mask
  DWORD m_nTagStart = 1;  // non-zero on the first move of a tag (the adders write 0)
  Vec3 m_vEnd;            // end point (mm); the start is the previous move's end
};

// An arc: code 2 clockwise, 3 counter-clockwise.
class CPathArcElement : public CPathLineElement {
 public:
  CPathArcElement() : CPathLineElement(kCodeArcCW) { m_byKind = kKindArc; }
  explicit CPathArcElement(WORD code) : CPathLineElement(code) { m_byKind = kKindArc; }

  // As the line's, then radius and centre.
  void CopyFrom(const CPathArcElement& from);
  void CopyFromPathRecord(const PathRecord& rec);

  double m_dRadius = DBL_MAX;  // radius (mm)
  Vec3 m_vCenter;              // absolute centre (mm)
};

typedef CArray<CPathElement*, CPathElement*> CPathElementArray;

// A new element in `arena`, or from the element pool when `arena` is null; null when
// memory runs out.
template <class T, class... Args>
T* NewElement(ElementArena* arena, Args... args) {
  if (!arena) return new (std::nothrow) T(args...);
  void* block = arena->Allocate(sizeof(T));
  if (!block) return nullptr;
  T* element = ::new (block) T(args...);
  element->m_byArena = 1;
  return element;
}

// The element as its class, or null when it was made as another (a move: line or arc).
inline const CPathTagElement* AsTag(const CPathElement* e) {
  return e && e->m_byKind == kKindTag ? static_cast<const CPathTagElement*>(e) : nullptr;
}
inline const CPathLineElement* AsMove(const CPathElement* e) {
  return e && (e->m_byKind == kKindLine || e->m_byKind == kKindArc) ? static_cast<const CPathLineElement*>(e) : nullptr;
}
inline const CPathArcElement* AsArc(const CPathElement* e) {
  return e && e->m_byKind == kKindArc ? static_cast<const CPathArcElement*>(e) : nullptr;
}

namespace element_detail {
// Destroys `element` as a T; its block goes back to the pool unless it is an arena's.
template <class T>
void Destroy(T* element) {
  if (element->m_byArena)
    element->~T();
  else
    delete element;
}
}  // namespace element_detail

// Deletes an element of either storage as the class it was made as; the block of an
// arena element stays with its arena until the arena releases it.
inline void DeleteElement(CPathElement* element) {
  if (!element) return;
  switch (element->m_byKind) {
    case kKindTag: element_detail::Destroy(static_cast<CPathTagElement*>(element)); break;
    case kKindLine: element_detail::Destroy(static_cast<CPathLineElement*>(element)); break;
    case kKindArc: element_detail::Destroy(static_cast<CPathArcElement*>(element)); break;
    default:
      if (element->m_byArena)
        element->~CPathElement();
      else
        delete element;
  }
}

// Owns one element (tests, images): deletes it with DeleteElement.
struct ElementDeleter {
  void operator()(CPathElement* element) const { DeleteElement(element); }
};
template <class T = CPathElement>
using ElementPtr = std::unique_ptr<T, ElementDeleter>;
