#include "nc/element_image.h"

#include <cstring>

#ifdef _WIN32
#include "foundation/workspace.h"
#endif

namespace {

// Little-endian field writer/reader over an image buffer.
struct Cursor {
  BYTE* p;
  template <typename T>
  void Put(const T& v) {
    memcpy(p, &v, sizeof v);
    p += sizeof v;
  }
};
struct ReadCursor {
  const BYTE* p;
  template <typename T>
  T Get() {
    T v;
    memcpy(&v, p, sizeof v);
    p += sizeof v;
    return v;
  }
};

void PutVec(Cursor& c, const Vec3& v) {
  c.Put(v.x);
  c.Put(v.y);
  c.Put(v.z);
}
Vec3 GetVec(ReadCursor& c) {
  double x = c.Get<double>(), y = c.Get<double>(), z = c.Get<double>();
  return Vec3(x, y, z);
}

}  // namespace

UINT PackElementImage(const CPathElement& element, BYTE* out) {
  memset(out, 0, kElementImageMax);
  Cursor c{out + 4};
  c.Put(element.m_nCode);
  c.Put(element.m_nDiscard);
  c.Put(element.m_nFlags);
  c.Put(element.m_nLine);
  c.p += 4;
  if (element.m_nCode == kCodeTag) {
    if (auto* tag = dynamic_cast<const CPathTagElement*>(&element)) {
      memcpy(c.p, tag->m_szName, 3);
      c.p += 3;
      c.Put(tag->m_dValue);
    }
    return 37;
  }
  if (!IsMoveCode(element.m_nCode)) return 22;
  auto* line = dynamic_cast<const CPathLineElement*>(&element);
  if (line) {
    c.Put(line->m_byAxes);
    c.Put(line->m_nTagStart);
    c.Put(line->m_dRadius);
    c.Put(line->m_dAngle);
    c.Put(line->m_dDeviation);
    c.Put(line->m_dMark);
    PutVec(c, line->m_vEnd);
  }
  if (!IsArcCode(element.m_nCode)) return 83;
  if (auto* arc = dynamic_cast<const CPathArcElement*>(&element)) PutVec(c, arc->m_vCenter);
  return 107;
}

CPathElement* UnpackElementImage(const BYTE* image) {
  ReadCursor c{image + 4};
  WORD code = c.Get<WORD>();
  DWORD discard = c.Get<DWORD>(), flags = c.Get<DWORD>(), line = c.Get<DWORD>();
  c.p += 4;
  CPathElement* e = nullptr;
  if (code == kCodeTag) {
    auto* tag = new CPathTagElement;
    char name[3];
    memcpy(name, c.p, 3);
    name[2] = 0;
    c.p += 3;
    tag->SetName(name);
    tag->m_dValue = c.Get<double>();
    e = tag;
  } else if (IsMoveCode(code)) {
    CPathLineElement* move = IsArcCode(code) ? new CPathArcElement(code) : new CPathLineElement(code);
    move->m_byAxes = c.Get<BYTE>();
    move->m_nTagStart = c.Get<DWORD>();
    move->m_dRadius = c.Get<double>();
    move->m_dAngle = c.Get<double>();
    move->m_dDeviation = c.Get<double>();
    move->m_dMark = c.Get<double>();
    move->m_vEnd = GetVec(c);
    if (IsArcCode(code)) static_cast<CPathArcElement*>(move)->m_vCenter = GetVec(c);
    e = move;
  } else {
    e = new CPathElement(code);
  }
  e->m_nCode = code;
  e->m_nDiscard = discard;
  e->m_nFlags = flags;
  e->m_nLine = line;
  return e;
}

#ifdef _WIN32

// The workspace stores images; these take an element, store its image and delete it.

void CWorkspace::Append(CPathElement* element) {
  if (!element) return;
  BYTE image[kElementImageMax];
  PackElementImage(*element, image);
  delete element;
  AppendImage(image);
}

int CWorkspace::InsertAt(UINT i, CPathElement* element) {
  if (!element) return 0;
  BYTE image[kElementImageMax];
  PackElementImage(*element, image);
  delete element;
  return InsertImageAt(i, image);
}

int CWorkspace::SetAt(UINT i, CPathElement* element) {
  if (!element) return 0;
  BYTE image[kElementImageMax];
  PackElementImage(*element, image);
  delete element;
  return SetImageAt(i, image);
}

#endif
