// CFileDialog: the common open and save dialogs.
#pragma once

#include "platform/win/wnd.h"

class CFileDialog {
 public:
  // filter in the framework's form "Text (*.txt)|*.txt|All (*.*)|*.*||".
  CFileDialog(BOOL openFileDialog, LPCTSTR defaultExt = nullptr, LPCTSTR fileName = nullptr,
              DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCTSTR filter = nullptr, CWnd* parent = nullptr);
  virtual ~CFileDialog() = default;
  CFileDialog(const CFileDialog&) = delete;
  CFileDialog& operator=(const CFileDialog&) = delete;

  // IDOK or IDCANCEL.
  virtual INT_PTR DoModal();
  CString GetPathName() const { return m_szFile; }
  CString GetFileName() const;   // name with extension
  CString GetFileExt() const;    // extension without the dot
  CString GetFileTitle() const;  // name without extension
  CString GetFolderPath() const;

  OPENFILENAMEA m_ofn;

  // Tests answer the dialog instead of showing it: the hook gets the prepared
  // structure, fills lpstrFile and returns IDOK, or returns IDCANCEL.
  using Hook = INT_PTR (*)(OPENFILENAMEA* ofn, BOOL openFileDialog);
  static Hook SetHook(Hook hook);

 private:
  BOOL m_bOpen;
  CString m_strFilter;  // with NULs in place of '|'
  CString m_strDefExt;
  char m_szFile[MAX_PATH * 4];
};
