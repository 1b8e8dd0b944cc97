// CPoint, CSize, CRect: the platform's POINT, SIZE and RECT with helpers.
#pragma once

#include "platform/types.h"

class CSize : public SIZE {
 public:
  CSize() { cx = cy = 0; }
  CSize(int x, int y) {
    cx = x;
    cy = y;
  }
  CSize(SIZE s) {
    cx = s.cx;
    cy = s.cy;
  }
  bool operator==(const SIZE& o) const { return cx == o.cx && cy == o.cy; }
  bool operator!=(const SIZE& o) const { return !(*this == o); }
};

class CPoint : public POINT {
 public:
  CPoint() { x = y = 0; }
  CPoint(int ix, int iy) {
    x = ix;
    y = iy;
  }
  CPoint(POINT p) {
    x = p.x;
    y = p.y;
  }
  void Offset(int dx, int dy) {
    x += dx;
    y += dy;
  }
  bool operator==(const POINT& o) const { return x == o.x && y == o.y; }
  bool operator!=(const POINT& o) const { return !(*this == o); }
  CPoint operator+(const CSize& s) const { return CPoint(x + s.cx, y + s.cy); }
  CPoint operator-(const CSize& s) const { return CPoint(x - s.cx, y - s.cy); }
  CSize operator-(const POINT& p) const { return CSize(x - p.x, y - p.y); }
};

class CRect : public RECT {
 public:
  CRect() { left = top = right = bottom = 0; }
  CRect(int l, int t, int r, int b) {
    left = l;
    top = t;
    right = r;
    bottom = b;
  }
  CRect(const RECT& r) {
    left = r.left;
    top = r.top;
    right = r.right;
    bottom = r.bottom;
  }
  CRect(LPCRECT r) {
    left = r->left;
    top = r->top;
    right = r->right;
    bottom = r->bottom;
  }
  CRect(POINT p, SIZE s) {
    left = p.x;
    top = p.y;
    right = p.x + s.cx;
    bottom = p.y + s.cy;
  }

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  CSize Size() const { return CSize(Width(), Height()); }
  CPoint TopLeft() const { return CPoint(left, top); }
  CPoint BottomRight() const { return CPoint(right, bottom); }
  CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
  BOOL IsRectEmpty() const { return right <= left || bottom <= top; }
  BOOL IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  BOOL PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }

  void SetRect(int l, int t, int r, int b) {
    left = l;
    top = t;
    right = r;
    bottom = b;
  }
  void SetRectEmpty() { left = top = right = bottom = 0; }
  void OffsetRect(int dx, int dy) {
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
  }
  void OffsetRect(POINT p) { OffsetRect(p.x, p.y); }
  void InflateRect(int dx, int dy) {
    left -= dx;
    top -= dy;
    right += dx;
    bottom += dy;
  }
  void InflateRect(int l, int t, int r, int b) {
    left -= l;
    top -= t;
    right += r;
    bottom += b;
  }
  void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
  void DeflateRect(int l, int t, int r, int b) { InflateRect(-l, -t, -r, -b); }
  void NormalizeRect() {
    if (left > right) {
      LONG t = left;
      left = right;
      right = t;
    }
    if (top > bottom) {
      LONG t = top;
      top = bottom;
      bottom = t;
    }
  }
  BOOL IntersectRect(LPCRECT a, LPCRECT b) {
    left = a->left > b->left ? a->left : b->left;
    top = a->top > b->top ? a->top : b->top;
    right = a->right < b->right ? a->right : b->right;
    bottom = a->bottom < b->bottom ? a->bottom : b->bottom;
    if (IsRectEmpty()) {
      SetRectEmpty();
      return FALSE;
    }
    return TRUE;
  }
  BOOL UnionRect(LPCRECT a, LPCRECT b) {
    CRect ra(a), rb(b);
    if (ra.IsRectEmpty()) {
      *this = rb;
      return !rb.IsRectEmpty();
    }
    if (rb.IsRectEmpty()) {
      *this = ra;
      return TRUE;
    }
    left = ra.left < rb.left ? ra.left : rb.left;
    top = ra.top < rb.top ? ra.top : rb.top;
    right = ra.right > rb.right ? ra.right : rb.right;
    bottom = ra.bottom > rb.bottom ? ra.bottom : rb.bottom;
    return TRUE;
  }

  operator LPRECT() { return this; }
  operator LPCRECT() const { return this; }
  bool operator==(const RECT& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
  bool operator!=(const RECT& o) const { return !(*this == o); }
};
