// GDI wrappers: device contexts and the objects selected into them.
//
// Each wrapper owns its handle (deleted with the object) unless it was made by
// FromHandle, which gives a temporary wrapper that never deletes; temporaries are
// freed when the outermost message loop is idle. SelectObject returns the previous
// object as such a temporary.
#pragma once

#include "platform/core.h"

class CDC;
// Handle of a context wrapper that may be null.
HDC HdcOf(const CDC* dc);

class CGdiObject {
 public:
  CGdiObject() = default;
  virtual ~CGdiObject() { DeleteObject(); }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;

  HGDIOBJ m_hObject = nullptr;
  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  BOOL Attach(HGDIOBJ h) {
    if (m_hObject || !h) return FALSE;
    m_hObject = h;
    return TRUE;
  }
  HGDIOBJ Detach() {
    HGDIOBJ h = m_hObject;
    m_hObject = nullptr;
    return h;
  }
  BOOL DeleteObject() {
    if (!m_hObject) return FALSE;
    BOOL ok = m_bTemporary ? TRUE : ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    return ok;
  }
  int GetObject(int size, void* out) const { return ::GetObjectA(m_hObject, size, out); }
  BOOL CreateStockObject(int index) { return Attach(::GetStockObject(index)); }
  static CGdiObject* FromHandle(HGDIOBJ h);

 protected:
  bool m_bTemporary = false;
  template <class T>
  static T* TempFor(HGDIOBJ h);
};

// Handles of wrappers that may be null.
inline HGDIOBJ HandleOf(const CGdiObject* o) { return o ? o->m_hObject : nullptr; }

class CPen : public CGdiObject {
 public:
  CPen() = default;
  CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
  BOOL CreatePen(int style, int width, COLORREF color) { return Attach(::CreatePen(style, width, color)); }
  BOOL CreatePenIndirect(const LOGPEN* lp) { return Attach(::CreatePenIndirect(lp)); }
  operator HPEN() const { return (HPEN)GetSafeHandle(); }
  static CPen* FromHandle(HPEN h) { return TempFor<CPen>(h); }
};

class CBrush : public CGdiObject {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
  BOOL CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }
  BOOL CreateHatchBrush(int index, COLORREF color) { return Attach(::CreateHatchBrush(index, color)); }
  BOOL CreatePatternBrush(class CBitmap* bitmap);
  BOOL CreateSysColorBrush(int index) { return Attach(::GetSysColorBrush(index)) && (m_bTemporary = true); }
  operator HBRUSH() const { return (HBRUSH)GetSafeHandle(); }
  static CBrush* FromHandle(HBRUSH h) { return TempFor<CBrush>(h); }
};

class CFont : public CGdiObject {
 public:
  BOOL CreateFontIndirect(const LOGFONTA* lf) { return Attach(::CreateFontIndirectA(lf)); }
  BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic, BYTE underline,
                  BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision, BYTE quality,
                  BYTE pitchAndFamily, LPCTSTR face) {
    return Attach(::CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                                outPrecision, clipPrecision, quality, pitchAndFamily, face));
  }
  // Size in tenths of a point, for the screen (or the given context).
  BOOL CreatePointFont(int pointSize10, LPCTSTR face, class CDC* dc = nullptr);
  int GetLogFont(LOGFONTA* lf) const { return GetObject(sizeof *lf, lf); }
  operator HFONT() const { return (HFONT)GetSafeHandle(); }
  static CFont* FromHandle(HFONT h) { return TempFor<CFont>(h); }
};

class CBitmap : public CGdiObject {
 public:
  BOOL LoadBitmap(UINT id) { return Attach(::LoadBitmapA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id))); }
  BOOL CreateBitmap(int w, int h, UINT planes, UINT bpp, const void* bits) {
    return Attach(::CreateBitmap(w, h, planes, bpp, bits));
  }
  BOOL CreateCompatibleBitmap(class CDC* dc, int w, int h);
  int GetBitmap(BITMAP* bm) const { return GetObject(sizeof *bm, bm); }
  CSize GetBitmapDimension() const {
    BITMAP bm = {};
    GetBitmap(&bm);
    return CSize(bm.bmWidth, bm.bmHeight);
  }
  operator HBITMAP() const { return (HBITMAP)GetSafeHandle(); }
  static CBitmap* FromHandle(HBITMAP h) { return TempFor<CBitmap>(h); }
};

class CRgn : public CGdiObject {
 public:
  BOOL CreateRectRgn(int l, int t, int r, int b) { return Attach(::CreateRectRgn(l, t, r, b)); }
  BOOL CreateRectRgnIndirect(LPCRECT r) { return Attach(::CreateRectRgnIndirect(r)); }
  BOOL CreateEllipticRgn(int l, int t, int r, int b) { return Attach(::CreateEllipticRgn(l, t, r, b)); }
  BOOL CreateRoundRectRgn(int l, int t, int r, int b, int w, int h) {
    return Attach(::CreateRoundRectRgn(l, t, r, b, w, h));
  }
  BOOL CreatePolygonRgn(const POINT* pts, int n, int mode) { return Attach(::CreatePolygonRgn(pts, n, mode)); }
  void SetRectRgn(int l, int t, int r, int b) { ::SetRectRgn((HRGN)m_hObject, l, t, r, b); }
  int CombineRgn(const CRgn* a, const CRgn* b, int mode) {
    return ::CombineRgn((HRGN)m_hObject, (HRGN)HandleOf(a), (HRGN)HandleOf(b), mode);
  }
  int CopyRgn(const CRgn* src) { return ::CombineRgn((HRGN)m_hObject, (HRGN)HandleOf(src), nullptr, RGN_COPY); }
  int OffsetRgn(int dx, int dy) { return ::OffsetRgn((HRGN)m_hObject, dx, dy); }
  int GetRgnBox(LPRECT r) const { return ::GetRgnBox((HRGN)m_hObject, r); }
  BOOL PtInRegion(int x, int y) const { return ::PtInRegion((HRGN)m_hObject, x, y); }
  operator HRGN() const { return (HRGN)GetSafeHandle(); }
  static CRgn* FromHandle(HRGN h) { return TempFor<CRgn>(h); }
};

class CPalette : public CGdiObject {
 public:
  BOOL CreatePalette(const LOGPALETTE* lp) { return Attach(::CreatePalette(lp)); }
  BOOL CreateHalftonePalette(class CDC* dc);
  int GetEntryCount() const {
    WORD n = 0;
    GetObject(sizeof n, &n);
    return n;
  }
  UINT GetPaletteEntries(UINT start, UINT n, PALETTEENTRY* out) const {
    return ::GetPaletteEntries((HPALETTE)m_hObject, start, n, out);
  }
  operator HPALETTE() const { return (HPALETTE)GetSafeHandle(); }
  static CPalette* FromHandle(HPALETTE h) { return TempFor<CPalette>(h); }
};

class CDC {
 public:
  CDC() = default;
  virtual ~CDC() {
    if (m_hDC && !m_bTemporary) ::DeleteDC(m_hDC);
  }
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  HDC m_hDC = nullptr;        // output context
  HDC m_hAttribDC = nullptr;  // attribute context (the same one except when shared)
  BOOL m_bPrinting = FALSE;
  operator HDC() const { return m_hDC; }
  HDC GetSafeHdc() const { return m_hDC; }
  static CDC* FromHandle(HDC h);
  BOOL Attach(HDC h) {
    if (m_hDC || !h) return FALSE;
    m_hDC = m_hAttribDC = h;
    return TRUE;
  }
  HDC Detach() {
    HDC h = m_hDC;
    m_hDC = m_hAttribDC = nullptr;
    return h;
  }
  BOOL CreateCompatibleDC(CDC* dc) { return Attach(::CreateCompatibleDC(HdcOf(dc))); }
  BOOL CreateDC(LPCTSTR driver, LPCTSTR device, LPCTSTR output, const DEVMODEA* init) {
    return Attach(::CreateDCA(driver, device, output, init));
  }
  BOOL DeleteDC() {
    if (!m_hDC) return FALSE;
    BOOL ok = ::DeleteDC(Detach());
    return ok;
  }
  BOOL IsPrinting() const { return m_bPrinting; }
  int SaveDC() { return ::SaveDC(m_hDC); }
  BOOL RestoreDC(int saved) { return ::RestoreDC(m_hDC, saved); }
  int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hAttribDC, index); }

  // Objects.
  CPen* SelectObject(CPen* pen) { return CPen::FromHandle((HPEN)::SelectObject(m_hDC, HandleOf(pen))); }
  CBrush* SelectObject(CBrush* b) { return CBrush::FromHandle((HBRUSH)::SelectObject(m_hDC, HandleOf(b))); }
  CFont* SelectObject(CFont* f) { return CFont::FromHandle((HFONT)::SelectObject(m_hDC, HandleOf(f))); }
  CBitmap* SelectObject(CBitmap* b) { return CBitmap::FromHandle((HBITMAP)::SelectObject(m_hDC, HandleOf(b))); }
  int SelectObject(CRgn* r) { return (int)(INT_PTR)::SelectObject(m_hDC, HandleOf(r)); }
  CGdiObject* SelectObject(CGdiObject* o) { return CGdiObject::FromHandle(::SelectObject(m_hDC, HandleOf(o))); }
  HGDIOBJ SelectObject(HGDIOBJ h) { return ::SelectObject(m_hDC, h); }
  CGdiObject* SelectStockObject(int index) {
    return CGdiObject::FromHandle(::SelectObject(m_hDC, ::GetStockObject(index)));
  }
  CPalette* SelectPalette(CPalette* pal, BOOL background) {
    return CPalette::FromHandle(::SelectPalette(m_hDC, (HPALETTE)HandleOf(pal), background));
  }
  UINT RealizePalette() { return ::RealizePalette(m_hDC); }
  CBitmap* GetCurrentBitmap() const { return CBitmap::FromHandle((HBITMAP)::GetCurrentObject(m_hDC, OBJ_BITMAP)); }
  CFont* GetCurrentFont() const { return CFont::FromHandle((HFONT)::GetCurrentObject(m_hDC, OBJ_FONT)); }
  CPalette* GetCurrentPalette() const { return CPalette::FromHandle((HPALETTE)::GetCurrentObject(m_hDC, OBJ_PAL)); }

  // Coordinates and clipping.
  int SetMapMode(int mode) { return ::SetMapMode(m_hDC, mode); }
  int GetMapMode() const { return ::GetMapMode(m_hAttribDC); }
  CPoint SetViewportOrg(int x, int y) {
    POINT p = {};
    ::SetViewportOrgEx(m_hDC, x, y, &p);
    return p;
  }
  CPoint SetViewportOrg(POINT p) { return SetViewportOrg(p.x, p.y); }
  CPoint GetViewportOrg() const {
    POINT p = {};
    ::GetViewportOrgEx(m_hAttribDC, &p);
    return p;
  }
  CPoint SetWindowOrg(int x, int y) {
    POINT p = {};
    ::SetWindowOrgEx(m_hDC, x, y, &p);
    return p;
  }
  CPoint SetWindowOrg(POINT p) { return SetWindowOrg(p.x, p.y); }
  CPoint GetWindowOrg() const {
    POINT p = {};
    ::GetWindowOrgEx(m_hAttribDC, &p);
    return p;
  }
  CPoint OffsetViewportOrg(int dx, int dy) {
    POINT p = {};
    ::OffsetViewportOrgEx(m_hDC, dx, dy, &p);
    return p;
  }
  void DPtoLP(LPPOINT p, int n = 1) const { ::DPtoLP(m_hAttribDC, p, n); }
  void DPtoLP(LPRECT r) const { ::DPtoLP(m_hAttribDC, (LPPOINT)r, 2); }
  void LPtoDP(LPPOINT p, int n = 1) const { ::LPtoDP(m_hAttribDC, p, n); }
  void LPtoDP(LPRECT r) const { ::LPtoDP(m_hAttribDC, (LPPOINT)r, 2); }
  int GetClipBox(LPRECT r) const { return ::GetClipBox(m_hDC, r); }
  int SelectClipRgn(CRgn* rgn) { return ::SelectClipRgn(m_hDC, (HRGN)HandleOf(rgn)); }
  int SelectClipRgn(CRgn* rgn, int mode) { return ::ExtSelectClipRgn(m_hDC, (HRGN)HandleOf(rgn), mode); }
  int IntersectClipRect(int l, int t, int r, int b) { return ::IntersectClipRect(m_hDC, l, t, r, b); }
  int IntersectClipRect(LPCRECT r) { return IntersectClipRect(r->left, r->top, r->right, r->bottom); }
  int ExcludeClipRect(LPCRECT r) { return ::ExcludeClipRect(m_hDC, r->left, r->top, r->right, r->bottom); }

  // Attributes.
  COLORREF SetTextColor(COLORREF c) { return ::SetTextColor(m_hDC, c); }
  COLORREF GetTextColor() const { return ::GetTextColor(m_hAttribDC); }
  COLORREF SetBkColor(COLORREF c) { return ::SetBkColor(m_hDC, c); }
  COLORREF GetBkColor() const { return ::GetBkColor(m_hAttribDC); }
  int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
  int GetBkMode() const { return ::GetBkMode(m_hAttribDC); }
  UINT SetTextAlign(UINT align) { return ::SetTextAlign(m_hDC, align); }
  UINT GetTextAlign() const { return ::GetTextAlign(m_hAttribDC); }
  int SetROP2(int mode) { return ::SetROP2(m_hDC, mode); }
  int SetStretchBltMode(int mode) { return ::SetStretchBltMode(m_hDC, mode); }
  int SetPolyFillMode(int mode) { return ::SetPolyFillMode(m_hDC, mode); }

  // Drawing.
  CPoint MoveTo(int x, int y) {
    POINT p = {};
    ::MoveToEx(m_hDC, x, y, &p);
    return p;
  }
  CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
  BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
  BOOL LineTo(POINT p) { return LineTo(p.x, p.y); }
  BOOL Polyline(const POINT* pts, int n) { return ::Polyline(m_hDC, pts, n); }
  BOOL Polygon(const POINT* pts, int n) { return ::Polygon(m_hDC, pts, n); }
  BOOL PolyBezier(const POINT* pts, int n) { return ::PolyBezier(m_hDC, pts, (DWORD)n); }
  BOOL Rectangle(int l, int t, int r, int b) { return ::Rectangle(m_hDC, l, t, r, b); }
  BOOL Rectangle(LPCRECT r) { return Rectangle(r->left, r->top, r->right, r->bottom); }
  BOOL RoundRect(LPCRECT r, POINT p) { return ::RoundRect(m_hDC, r->left, r->top, r->right, r->bottom, p.x, p.y); }
  BOOL Ellipse(int l, int t, int r, int b) { return ::Ellipse(m_hDC, l, t, r, b); }
  BOOL Ellipse(LPCRECT r) { return Ellipse(r->left, r->top, r->right, r->bottom); }
  BOOL Arc(int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
    return ::Arc(m_hDC, l, t, r, b, x1, y1, x2, y2);
  }
  BOOL Pie(int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
    return ::Pie(m_hDC, l, t, r, b, x1, y1, x2, y2);
  }
  COLORREF SetPixel(int x, int y, COLORREF c) { return ::SetPixel(m_hDC, x, y, c); }
  COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
  void FillRect(LPCRECT r, CBrush* brush) { ::FillRect(m_hDC, r, (HBRUSH)HandleOf(brush)); }
  void FrameRect(LPCRECT r, CBrush* brush) { ::FrameRect(m_hDC, r, (HBRUSH)HandleOf(brush)); }
  void InvertRect(LPCRECT r) { ::InvertRect(m_hDC, r); }
  void DrawFocusRect(LPCRECT r) { ::DrawFocusRect(m_hDC, r); }
  BOOL DrawEdge(LPRECT r, UINT edge, UINT flags) { return ::DrawEdge(m_hDC, r, edge, flags); }
  BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
  BOOL DrawFrameControl(LPRECT r, UINT type, UINT state) { return ::DrawFrameControl(m_hDC, r, type, state); }
  // One solid colour, without a brush (the background colour is changed).
  void FillSolidRect(LPCRECT r, COLORREF c);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF c);
  void Draw3dRect(LPCRECT r, COLORREF topLeft, COLORREF bottomRight);
  void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);
  BOOL FillRgn(CRgn* rgn, CBrush* brush) { return ::FillRgn(m_hDC, (HRGN)HandleOf(rgn), (HBRUSH)HandleOf(brush)); }
  BOOL FrameRgn(CRgn* rgn, CBrush* brush, int w, int h) {
    return ::FrameRgn(m_hDC, (HRGN)HandleOf(rgn), (HBRUSH)HandleOf(brush), w, h);
  }
  BOOL BitBlt(int x, int y, int w, int h, CDC* src, int xs, int ys, DWORD rop) {
    return ::BitBlt(m_hDC, x, y, w, h, HdcOf(src), xs, ys, rop);
  }
  BOOL StretchBlt(int x, int y, int w, int h, CDC* src, int xs, int ys, int ws, int hs, DWORD rop) {
    return ::StretchBlt(m_hDC, x, y, w, h, HdcOf(src), xs, ys, ws, hs, rop);
  }
  BOOL PatBlt(int x, int y, int w, int h, DWORD rop) { return ::PatBlt(m_hDC, x, y, w, h, rop); }

  // Text.
  BOOL TextOut(int x, int y, LPCTSTR text, int n) { return ::TextOutA(m_hDC, x, y, text, n); }
  BOOL TextOut(int x, int y, const CString& text) { return TextOut(x, y, text, text.GetLength()); }
  BOOL ExtTextOut(int x, int y, UINT options, LPCRECT r, LPCTSTR text, UINT n, const INT* dx = nullptr) {
    return ::ExtTextOutA(m_hDC, x, y, options, r, text, n, dx);
  }
  int DrawText(LPCTSTR text, int n, LPRECT r, UINT format) { return ::DrawTextA(m_hDC, text, n, r, format); }
  int DrawText(const CString& text, LPRECT r, UINT format) { return DrawText(text, text.GetLength(), r, format); }
  CSize GetTextExtent(LPCTSTR text, int n) const {
    SIZE s = {};
    ::GetTextExtentPoint32A(m_hAttribDC, text, n, &s);
    return s;
  }
  CSize GetTextExtent(const CString& text) const { return GetTextExtent(text, text.GetLength()); }
  BOOL GetTextMetrics(TEXTMETRICA* tm) const { return ::GetTextMetricsA(m_hAttribDC, tm); }

 protected:
  bool m_bTemporary = false;
  friend CDC* MakeTempDC(HDC);
};

inline HDC HdcOf(const CDC* dc) { return dc ? dc->m_hDC : nullptr; }

// The paint context of WM_PAINT (BeginPaint / EndPaint).
class CPaintDC : public CDC {
 public:
  explicit CPaintDC(class CWnd* wnd);
  ~CPaintDC() override;
  PAINTSTRUCT m_ps;

 private:
  HWND m_hWnd;
};

// GetDC / ReleaseDC of a window's client area (nullptr: the screen).
class CClientDC : public CDC {
 public:
  explicit CClientDC(class CWnd* wnd);
  ~CClientDC() override;

 private:
  HWND m_hWnd;
};

// GetWindowDC / ReleaseDC: the whole window, frame included.
class CWindowDC : public CDC {
 public:
  explicit CWindowDC(class CWnd* wnd);
  ~CWindowDC() override;

 private:
  HWND m_hWnd;
};

CGdiObject* FindTempGdi_(HGDIOBJ h);
void AddTempGdi_(CGdiObject* o);

template <class T>
T* CGdiObject::TempFor(HGDIOBJ h) {
  if (!h) return nullptr;
  if (CGdiObject* o = FindTempGdi_(h)) return static_cast<T*>(o);
  T* t = new T;
  t->m_hObject = h;
  t->m_bTemporary = true;
  AddTempGdi_(t);
  return t;
}
