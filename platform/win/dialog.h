// CDialog: dialogs from templates, modal with our own loop or modeless, and the data
// exchange between member variables and controls.
#pragma once

#include "platform/win/wnd.h"

// Thrown by CDataExchange::Fail; UpdateData catches it and returns FALSE.
class CUserException {};

class CDataExchange {
 public:
  CDataExchange(CWnd* dlg, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dlg) {}
  BOOL m_bSaveAndValidate;  // TRUE: controls to members
  CWnd* m_pDlgWnd;
  // The control's window (a missing control is a programming error: it fails).
  HWND PrepareCtrl(int id);
  HWND PrepareEditCtrl(int id);
  // Focus back to the last prepared control, then throw CUserException.
  [[noreturn]] void Fail();

 private:
  HWND m_hLastCtrl = nullptr;
  BOOL m_bLastEdit = FALSE;
};

void DDX_Text(CDataExchange* dx, int id, CString& value);
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, UINT& value);
void DDX_Text(CDataExchange* dx, int id, long& value);
void DDX_Text(CDataExchange* dx, int id, DWORD& value);
void DDX_Text(CDataExchange* dx, int id, double& value);
void DDX_Text(CDataExchange* dx, int id, float& value);
void DDX_Check(CDataExchange* dx, int id, int& value);
// value: index of the checked button in the group that starts at id, -1 for none.
void DDX_Radio(CDataExchange* dx, int id, int& value);
// Subclasses the control into the wrapper the first time.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
void DDX_CBIndex(CDataExchange* dx, int id, int& index);
void DDX_CBString(CDataExchange* dx, int id, CString& value);
void DDX_LBIndex(CDataExchange* dx, int id, int& index);

class CDialog : public CWnd {
 public:
  CDialog() = default;
  // The template by id; bilingual callers pass PickLangId(chinese, english).
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  // Modal: runs our own loop (PreTranslateMessage works) until EndDialog.
  virtual INT_PTR DoModal();
  // Modeless. With no parent the dialog is owned by the main window. A WS_CHILD
  // template needs a parent to live in; without one it becomes an owned popup.
  virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);
  BOOL Create(LPCTSTR templateName, CWnd* parent = nullptr);
  void EndDialog(int result);

  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  BOOL PreTranslateMessage(MSG* msg) override;

  void NextDlgCtrl() const { ::SendMessageA(m_hWnd, WM_NEXTDLGCTL, 0, 0); }
  void PrevDlgCtrl() const { ::SendMessageA(m_hWnd, WM_NEXTDLGCTL, 1, 0); }
  void GotoDlgCtrl(CWnd* ctl) { ::SendMessageA(m_hWnd, WM_NEXTDLGCTL, (WPARAM)HwndOf(ctl), 1); }
  void SetDefID(UINT id) { ::SendMessageA(m_hWnd, DM_SETDEFID, id, 0); }
  DWORD GetDefID() const { return (DWORD)::SendMessageA(m_hWnd, DM_GETDEFID, 0, 0); }
  BOOL IsModal() const { return m_bModal; }

  UINT m_nIDTemplate = 0;
  LPCTSTR m_lpszTemplateName = nullptr;
  CWnd* m_pParentWnd = nullptr;

 protected:
  // Creates from the template with style bits changed (removeStyle, then addStyle);
  // owner is the parent or owner window handle.
  BOOL CreateFromTemplate(LPCTSTR name, HWND owner, DWORD removeStyle, DWORD addStyle);
  LRESULT HandleInitDialog(WPARAM, LPARAM);
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()

 private:
  BOOL m_bModal = FALSE;
  BOOL m_bEndModal = FALSE;
  int m_nModalResult = -1;
};
