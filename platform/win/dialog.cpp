#include "platform/win/dialog.h"

#include <cerrno>
#include <cfloat>
#include <cstdlib>
#include <vector>

using namespace platform::win;

// ---------------------------------------------------------------------------------
// CDialog

BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_MESSAGE(WM_INITDIALOG, &CDialog::HandleInitDialog)
  ON_COMMAND(IDOK, &CDialog::OnOK)
  ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() {
  if (m_hWnd) {
    HWND h = UnsubclassWindow();
    ::DestroyWindow(h);
  }
}

// The dialog manager's own procedure sees nothing: the framework's window procedure
// has the window from its creation on.
INT_PTR CALLBACK CDialog::DialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

BOOL CDialog::CreateFromTemplate(LPCTSTR name, HWND owner, DWORD removeStyle, DWORD addStyle) {
  if (m_hWnd) return FALSE;
  HINSTANCE inst = ResourceHandle();
  HRSRC res = ::FindResourceA(inst, name, (LPCSTR)RT_DIALOG);
  HGLOBAL data = res ? ::LoadResource(inst, res) : nullptr;
  const BYTE* bytes = data ? (const BYTE*)::LockResource(data) : nullptr;
  DWORD size = res ? ::SizeofResource(inst, res) : 0;
  if (!bytes || size < sizeof(DLGTEMPLATE)) return FALSE;
  std::vector<BYTE> copy(bytes, bytes + size);
  // An extended template starts with version 1 and signature 0xFFFF; its style sits
  // after the help id and the extended style.
  bool extended = ((const WORD*)copy.data())[0] == 1 && ((const WORD*)copy.data())[1] == 0xFFFF;
  DWORD* style = (DWORD*)(copy.data() + (extended ? 12 : 0));
  *style = (*style & ~removeStyle) | addStyle;
  if ((*style & WS_CHILD) && !owner) *style = (*style & ~WS_CHILD) | WS_POPUP;

  BeginCreate(this);
  HWND hwnd = ::CreateDialogIndirectParamA(inst, (LPCDLGTEMPLATEA)copy.data(), owner, DialogProc, 0);
  EndCreate();
  if (!hwnd) {
    if (m_hWnd) Detach();
    return FALSE;
  }
  if (m_hWnd != hwnd) {  // the hook missed it: take it over now
    if (m_hWnd) Detach();
    Attach(hwnd);
    m_pfnSuper = HookWndProcFor_(hwnd);
  }
  NoteWindowCreated(this);
  return TRUE;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
  m_nIDTemplate = templateId;
  return Create(MAKEINTRESOURCEA(templateId), parent);
}

BOOL CDialog::Create(LPCTSTR templateName, CWnd* parent) {
  m_pParentWnd = parent;
  m_bModal = FALSE;
  HWND owner = parent ? HwndOf(parent) : platform::GetMainWindow();
  return CreateFromTemplate(templateName, owner, 0, 0);
}

INT_PTR CDialog::DoModal() {
  LPCTSTR name = m_lpszTemplateName ? m_lpszTemplateName : MAKEINTRESOURCEA(m_nIDTemplate);
  HWND owner = m_pParentWnd ? HwndOf(m_pParentWnd) : platform::GetMainWindow();
  if (owner) owner = ::GetAncestor(owner, GA_ROOT);
  BOOL ownerWasEnabled = owner && ::IsWindowEnabled(owner);
  if (ownerWasEnabled) ::EnableWindow(owner, FALSE);

  m_bModal = TRUE;
  m_bEndModal = FALSE;
  m_nModalResult = -1;
  if (CreateFromTemplate(name, owner, WS_CHILD, 0)) {
    if (!m_bEndModal && !::IsWindowVisible(m_hWnd)) ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    EnterLoop();
    MSG msg;
    while (!m_bEndModal && ::IsWindow(m_hWnd)) {
      if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) LoopIdle();
      if (!::GetMessageA(&msg, nullptr, 0, 0)) {
        ::PostQuitMessage((int)msg.wParam);  // for the outer loop
        break;
      }
      if (!WalkPreTranslateTree(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
      }
    }
    LeaveLoop();
  }
  if (ownerWasEnabled) ::EnableWindow(owner, TRUE);
  if (owner && m_hWnd && ::GetActiveWindow() == m_hWnd) ::SetActiveWindow(owner);
  if (m_hWnd) DestroyWindow();
  m_bModal = FALSE;
  return m_nModalResult;
}

void CDialog::EndDialog(int result) {
  if (m_bModal) {
    m_nModalResult = result;
    m_bEndModal = TRUE;
    if (m_hWnd) ::PostMessageA(m_hWnd, WM_NULL, 0, 0);  // wake the loop
  } else if (m_hWnd) {
    ::EndDialog(m_hWnd, result);
  }
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) { return OnInitDialog(); }

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  try {
    DoDataExchange(&dx);
  } catch (const CUserException&) {
    return FALSE;
  }
  return TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
  if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && m_hWnd) return ::IsDialogMessageA(m_hWnd, msg);
  return FALSE;
}

// ---------------------------------------------------------------------------------
// Data exchange

HWND CDataExchange::PrepareCtrl(int id) {
  HWND ctl = ::GetDlgItem(HwndOf(m_pDlgWnd), id);
  if (!ctl) {
    fprintf(stderr, "data exchange: no control %d in the dialog\n", id);
    throw CUserException();
  }
  m_hLastCtrl = ctl;
  m_bLastEdit = FALSE;
  return ctl;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
  HWND ctl = PrepareCtrl(id);
  m_bLastEdit = TRUE;
  return ctl;
}

void CDataExchange::Fail() {
  if (m_bSaveAndValidate && m_hLastCtrl) {
    ::SetFocus(m_hLastCtrl);
    if (m_bLastEdit) ::SendMessageA(m_hLastCtrl, EM_SETSEL, 0, -1);
  }
  throw CUserException();
}

namespace {

CString WindowText(HWND h) {
  CString s;
  int n = ::GetWindowTextLengthA(h);
  int got = ::GetWindowTextA(h, s.GetBuffer(n + 1), n + 1);
  s.ReleaseBuffer(got > 0 ? got : 0);
  return s;
}

// The whole text must be the number (blanks around it are allowed).
bool ParseLong(const char* text, bool isUnsigned, long long* out) {
  while (*text == ' ' || *text == '\t') ++text;
  if (!*text || (isUnsigned && *text == '-')) return false;
  char* end = nullptr;
  errno = 0;
  long long v = strtoll(text, &end, 10);
  if (end == text || errno == ERANGE) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end) return false;
  *out = v;
  return true;
}

bool ParseDouble(const char* text, double* out) {
  char* end = nullptr;
  errno = 0;
  double v = strtod(text, &end);
  if (end == text || errno == ERANGE) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end) return false;
  *out = v;
  return true;
}

template <class T>
void ExchangeInteger(CDataExchange* dx, int id, T& value, bool isUnsigned, long long lo, long long hi) {
  HWND ctl = dx->PrepareEditCtrl(id);
  if (dx->m_bSaveAndValidate) {
    long long v = 0;
    if (!ParseLong(WindowText(ctl), isUnsigned, &v) || v < lo || v > hi) {
      platform::ShowMessageBoxFor(HwndOf(dx->m_pDlgWnd), "Please enter an integer.", "", MB_OK | MB_ICONEXCLAMATION);
      dx->Fail();
    }
    value = (T)v;
  } else {
    CString s;
    if (isUnsigned)
      s.Format("%llu", (unsigned long long)value);
    else
      s.Format("%lld", (long long)value);
    ::SetWindowTextA(ctl, s);
  }
}

void ExchangeFloating(CDataExchange* dx, int id, double& value, int digits) {
  HWND ctl = dx->PrepareEditCtrl(id);
  if (dx->m_bSaveAndValidate) {
    double v = 0;
    if (!ParseDouble(WindowText(ctl), &v)) {
      platform::ShowMessageBoxFor(HwndOf(dx->m_pDlgWnd), "Please enter a number.", "", MB_OK | MB_ICONEXCLAMATION);
      dx->Fail();
    }
    value = v;
  } else {
    CString s;
    s.Format("%.*g", digits, value);
    ::SetWindowTextA(ctl, s);
  }
}

}  // namespace

void DDX_Text(CDataExchange* dx, int id, CString& value) {
  HWND ctl = dx->PrepareEditCtrl(id);
  if (dx->m_bSaveAndValidate)
    value = WindowText(ctl);
  else
    ::SetWindowTextA(ctl, value);
}

void DDX_Text(CDataExchange* dx, int id, int& value) { ExchangeInteger(dx, id, value, false, INT32_MIN, INT32_MAX); }
void DDX_Text(CDataExchange* dx, int id, long& value) { ExchangeInteger(dx, id, value, false, INT32_MIN, INT32_MAX); }
void DDX_Text(CDataExchange* dx, int id, UINT& value) { ExchangeInteger(dx, id, value, true, 0, UINT32_MAX); }
void DDX_Text(CDataExchange* dx, int id, DWORD& value) { ExchangeInteger(dx, id, value, true, 0, UINT32_MAX); }
void DDX_Text(CDataExchange* dx, int id, double& value) { ExchangeFloating(dx, id, value, DBL_DIG); }

void DDX_Text(CDataExchange* dx, int id, float& value) {
  double d = value;
  ExchangeFloating(dx, id, d, FLT_DIG);
  value = (float)d;
}

namespace {
// A value a control reports with one message and takes with another.
void ExchangeByMessages(CDataExchange* dx, int id, int& value, UINT getMsg, UINT setMsg) {
  HWND ctl = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate)
    value = (int)::SendMessageA(ctl, getMsg, 0, 0);
  else
    ::SendMessageA(ctl, setMsg, (WPARAM)value, 0);
}
}  // namespace

void DDX_Check(CDataExchange* dx, int id, int& value) { ExchangeByMessages(dx, id, value, BM_GETCHECK, BM_SETCHECK); }

void DDX_Radio(CDataExchange* dx, int id, int& value) {
  HWND ctl = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) value = -1;
  int index = 0;
  do {
    if (::SendMessageA(ctl, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
      if (dx->m_bSaveAndValidate) {
        if (::SendMessageA(ctl, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
      } else {
        ::SendMessageA(ctl, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
      }
      ++index;
    }
    ctl = ::GetWindow(ctl, GW_HWNDNEXT);
  } while (ctl && !(::GetWindowLongPtrA(ctl, GWL_STYLE) & WS_GROUP));
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (control.m_hWnd) return;
  HWND ctl = dx->PrepareCtrl(id);
  if (!control.SubclassWindow(ctl)) {
    fprintf(stderr, "data exchange: control %d cannot be subclassed\n", id);
    dx->Fail();
  }
}

void DDX_CBIndex(CDataExchange* dx, int id, int& index) {
  ExchangeByMessages(dx, id, index, CB_GETCURSEL, CB_SETCURSEL);
}

void DDX_CBString(CDataExchange* dx, int id, CString& value) {
  HWND ctl = dx->PrepareCtrl(id);
  bool dropList = (::GetWindowLongPtrA(ctl, GWL_STYLE) & 3) == CBS_DROPDOWNLIST;
  if (dx->m_bSaveAndValidate) {
    if (!dropList) {
      value = WindowText(ctl);
    } else {
      int sel = (int)::SendMessageA(ctl, CB_GETCURSEL, 0, 0);
      value.Empty();
      if (sel >= 0) {
        int n = (int)::SendMessageA(ctl, CB_GETLBTEXTLEN, (WPARAM)sel, 0);
        int got = (int)::SendMessageA(ctl, CB_GETLBTEXT, (WPARAM)sel, (LPARAM)value.GetBuffer(n + 1));
        value.ReleaseBuffer(got > 0 ? got : 0);
      }
    }
  } else {
    if (::SendMessageA(ctl, CB_SELECTSTRING, (WPARAM)-1, (LPARAM)(const char*)value) == CB_ERR && !dropList)
      ::SetWindowTextA(ctl, value);
  }
}

void DDX_LBIndex(CDataExchange* dx, int id, int& index) {
  ExchangeByMessages(dx, id, index, LB_GETCURSEL, LB_SETCURSEL);
}
