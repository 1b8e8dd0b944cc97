#include "nc/element_image.h"

#include <cstring>

#include "platform/bytes.h"

namespace {

// Little-endian writer and reader over an image, field after field.
struct ImageWriter {
  BYTE* p;
  void Put(BYTE v) { *p++ = v; }
  void Put(WORD v) {
    bytes::Store16(p, v);
    p += 2;
  }
  void Put(DWORD v) {
    bytes::Store32(p, v);
    p += 4;
  }
  void Put(double v) {
    bytes::StoreDouble(p, v);
    p += 8;
  }
  void Put(const Vec3& v) {
    Put(v.x);
    Put(v.y);
    Put(v.z);
  }
};

struct ImageReader {
  const BYTE* p;
  void Get(BYTE& v) { v = *p++; }
  void Get(WORD& v) {
    v = bytes::Load16(p);
    p += 2;
  }
  void Get(DWORD& v) {
    v = bytes::Load32(p);
    p += 4;
  }
  void Get(double& v) {
    v = bytes::LoadDouble(p);
    p += 8;
  }
  void Get(Vec3& v) {
    Get(v.x);
    Get(v.y);
    Get(v.z);
  }
};

// The fields of a move's image, gathered from the element and its extras.
struct MoveFields {
  BYTE m_byAxes;
  DWORD m_nTagStart;
  double m_dRadius, m_dAngle, m_dDeviation, m_dMark;
  Vec3 m_vEnd;
};

}  // namespace

UINT PackElementImage(const CPathElement& element, BYTE* out, const MoveExtras& extras) {
  std::memset(out, 0, kElementImageMax);
  ImageWriter w{out + offsetof(ElementImageHead, m_nCode)};
  w.Put(element.m_nCode);
  w.Put(element.m_nDiscard);
  w.Put(element.m_nFlags);
  w.Put(element.m_nLine);
  if (element.m_nCode == kCodeTag) {
    const CPathTagElement& tag = static_cast<const CPathTagElement&>(element);
    std::memcpy(out + offsetof(TagImage, m_szName), tag.m_szName, sizeof tag.m_szName);
    bytes::StoreDouble(out + offsetof(TagImage, m_dValue), tag.m_dValue);
  } else if (IsMoveCode(element.m_nCode)) {
    MoveFields rec;
    CopyElementMoveFields(rec, static_cast<const CPathLineElement&>(element));
    CopyExtraMoveFields(rec, extras, true);
    rec.m_dRadius =
        IsArcCode(element.m_nCode) ? static_cast<const CPathArcElement&>(element).m_dRadius : extras.m_dRadius;
    w.p = out + offsetof(MoveImage, m_byAxes);
#define NC_PUT_MOVE_FIELD(field) w.Put(rec.field);
    NC_MOVE_FIELDS(NC_PUT_MOVE_FIELD)
#undef NC_PUT_MOVE_FIELD
    if (IsArcCode(element.m_nCode)) w.Put(static_cast<const CPathArcElement&>(element).m_vCenter);
  }
  return WorkspaceImageSize(element.m_nCode);
}

CPathElement* UnpackElementImage(const BYTE* image, MoveExtras* extras) {
  ImageReader r{image + offsetof(ElementImageHead, m_nCode)};
  WORD code;
  DWORD discard, flags, line;
  r.Get(code);
  r.Get(discard);
  r.Get(flags);
  r.Get(line);
  CPathElement* e = nullptr;
  if (code == kCodeTag) {
    CPathTagElement* tag = new CPathTagElement;
    char name[3];
    std::memcpy(name, image + offsetof(TagImage, m_szName), sizeof name);
    name[2] = 0;
    tag->SetName(name);
    tag->m_dValue = bytes::LoadDouble(image + offsetof(TagImage, m_dValue));
    e = tag;
  } else if (IsMoveCode(code)) {
    CPathLineElement* move = IsArcCode(code) ? new CPathArcElement(code) : new CPathLineElement(code);
    MoveFields rec;
    r.p = image + offsetof(MoveImage, m_byAxes);
#define NC_GET_MOVE_FIELD(field) r.Get(rec.field);
    NC_MOVE_FIELDS(NC_GET_MOVE_FIELD)
#undef NC_GET_MOVE_FIELD
    CopyElementMoveFields(*move, rec);
    if (extras) CopyExtraMoveFields(*extras, rec, true);
    if (IsArcCode(code))
      static_cast<CPathArcElement*>(move)->m_dRadius = rec.m_dRadius;
    else if (extras)
      extras->m_dRadius = rec.m_dRadius;
    if (IsArcCode(code)) r.Get(static_cast<CPathArcElement*>(move)->m_vCenter);
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
  DeleteElement(element);
  AppendImage(image);
}

int CWorkspace::InsertAt(UINT i, CPathElement* element) {
  if (!element) return 0;
  BYTE image[kElementImageMax];
  PackElementImage(*element, image);
  DeleteElement(element);
  return InsertImageAt(i, image);
}

int CWorkspace::SetAt(UINT i, CPathElement* element) {
  if (!element) return 0;
  BYTE image[kElementImageMax];
  PackElementImage(*element, image);
  DeleteElement(element);
  return SetImageAt(i, image);
}

#endif
