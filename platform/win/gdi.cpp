#include "platform/win/gdi.h"

#include <memory>
#include <unordered_map>

#include "platform/win/wnd.h"

namespace {
thread_local std::unordered_map<HGDIOBJ, std::unique_ptr<CGdiObject>> t_tempGdi;
thread_local std::unordered_map<HDC, std::unique_ptr<CDC>> t_tempDC;
}  // namespace

CGdiObject* FindTempGdi_(HGDIOBJ h) {
  auto it = t_tempGdi.find(h);
  return it == t_tempGdi.end() ? nullptr : it->second.get();
}

void AddTempGdi_(CGdiObject* o) { t_tempGdi[o->m_hObject].reset(o); }

CGdiObject* CGdiObject::FromHandle(HGDIOBJ h) { return TempFor<CGdiObject>(h); }

CDC* MakeTempDC(HDC h) {
  auto& slot = t_tempDC[h];
  if (!slot) {
    slot.reset(new CDC);
    slot->m_hDC = slot->m_hAttribDC = h;
    slot->m_bTemporary = true;
  }
  return slot.get();
}

CDC* CDC::FromHandle(HDC h) { return h ? MakeTempDC(h) : nullptr; }

namespace platform {
namespace win {
void DeleteTempGdiObjects() {
  t_tempGdi.clear();
  t_tempDC.clear();
}
}  // namespace win
}  // namespace platform

BOOL CBrush::CreatePatternBrush(CBitmap* bitmap) { return Attach(::CreatePatternBrush((HBITMAP)HandleOf(bitmap))); }

BOOL CFont::CreatePointFont(int pointSize10, LPCTSTR face, CDC* dc) {
  LOGFONTA lf = {};
  lf.lfCharSet = DEFAULT_CHARSET;
  HDC hdc = dc ? dc->m_hAttribDC : ::GetDC(nullptr);
  // Tenths of a point to logical units of the context.
  POINT pt = {0, ::MulDiv(::GetDeviceCaps(hdc, LOGPIXELSY), pointSize10, 720)};
  POINT origin = {0, 0};
  ::DPtoLP(hdc, &pt, 1);
  ::DPtoLP(hdc, &origin, 1);
  lf.lfHeight = -abs((int)(pt.y - origin.y));
  if (!dc) ::ReleaseDC(nullptr, hdc);
  lstrcpynA(lf.lfFaceName, face ? face : "", LF_FACESIZE);
  return CreateFontIndirect(&lf);
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int w, int h) {
  return Attach(::CreateCompatibleBitmap(HdcOf(dc), w, h));
}

BOOL CPalette::CreateHalftonePalette(CDC* dc) { return Attach(::CreateHalftonePalette(HdcOf(dc))); }

void CDC::FillSolidRect(LPCRECT r, COLORREF c) {
  COLORREF old = ::SetBkColor(m_hDC, c);
  ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, r, nullptr, 0, nullptr);
  ::SetBkColor(m_hDC, old);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF c) {
  RECT r = {x, y, x + cx, y + cy};
  FillSolidRect(&r, c);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight) {
  FillSolidRect(x, y, cx - 1, 1, topLeft);
  FillSolidRect(x, y, 1, cy - 1, topLeft);
  FillSolidRect(x + cx, y, -1, cy, bottomRight);
  FillSolidRect(x, y + cy, cx, -1, bottomRight);
}

void CDC::Draw3dRect(LPCRECT r, COLORREF topLeft, COLORREF bottomRight) {
  Draw3dRect(r->left, r->top, r->right - r->left, r->bottom - r->top, topLeft, bottomRight);
}

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(HwndOf(wnd)) {
  HDC h = ::BeginPaint(m_hWnd, &m_ps);
  Attach(h);
}

CPaintDC::~CPaintDC() {
  if (m_hDC) {
    Detach();
    ::EndPaint(m_hWnd, &m_ps);
  }
}

CClientDC::CClientDC(CWnd* wnd) : m_hWnd(HwndOf(wnd)) { Attach(::GetDC(m_hWnd)); }

CClientDC::~CClientDC() {
  if (m_hDC) ::ReleaseDC(m_hWnd, Detach());
}

CWindowDC::CWindowDC(CWnd* wnd) : m_hWnd(HwndOf(wnd)) { Attach(::GetWindowDC(m_hWnd)); }

CWindowDC::~CWindowDC() {
  if (m_hDC) ::ReleaseDC(m_hWnd, Detach());
}
