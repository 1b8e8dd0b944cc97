#include "platform/win/filedlg.h"

#include <commdlg.h>

namespace {
CFileDialog::Hook g_hook = nullptr;
}

CFileDialog::Hook CFileDialog::SetHook(Hook hook) {
  Hook old = g_hook;
  g_hook = hook;
  return old;
}

CFileDialog::CFileDialog(BOOL openFileDialog, LPCTSTR defaultExt, LPCTSTR fileName, DWORD flags, LPCTSTR filter,
                         CWnd* parent)
    : m_bOpen(openFileDialog) {
  m_szFile[0] = '\0';
  if (fileName) lstrcpynA(m_szFile, fileName, sizeof m_szFile);
  if (defaultExt) m_strDefExt = defaultExt;
  if (filter) {
    m_strFilter = filter;
    // "A|B||": every '|' ends a string; the last one closes the list.
    char* p = m_strFilter.GetBuffer(m_strFilter.GetLength());
    for (int i = 0; p[i]; ++i) {
      if (IsDBCSLeadByte((BYTE)p[i]) && p[i + 1]) {
        ++i;
        continue;
      }
      if (p[i] == '|') p[i] = '\0';
    }
    m_strFilter.ReleaseBuffer(m_strFilter.GetLength());
  }
  m_ofn = {};
  m_ofn.lStructSize = sizeof m_ofn;
  m_ofn.hwndOwner = parent ? HwndOf(parent) : platform::GetMainWindow();
  m_ofn.lpstrFilter = m_strFilter.IsEmpty() ? nullptr : m_strFilter.GetString();
  m_ofn.nFilterIndex = 1;
  m_ofn.lpstrFile = m_szFile;
  m_ofn.nMaxFile = sizeof m_szFile;
  m_ofn.lpstrDefExt = m_strDefExt.IsEmpty() ? nullptr : m_strDefExt.GetString();
  m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING | (openFileDialog ? OFN_FILEMUSTEXIST : 0);
}

INT_PTR CFileDialog::DoModal() {
  if (g_hook) return g_hook(&m_ofn, m_bOpen);
  HWND owner = m_ofn.hwndOwner;
  BOOL ok = m_bOpen ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
  if (owner) ::SetActiveWindow(owner);
  return ok ? IDOK : IDCANCEL;
}

CString CFileDialog::GetFileName() const {
  CString path(m_szFile);
  int slash = path.ReverseFind('\\');
  return slash >= 0 ? path.Mid(slash + 1) : path;
}

CString CFileDialog::GetFileExt() const {
  CString name = GetFileName();
  int dot = name.ReverseFind('.');
  return dot >= 0 ? name.Mid(dot + 1) : CString();
}

CString CFileDialog::GetFileTitle() const {
  CString name = GetFileName();
  int dot = name.ReverseFind('.');
  return dot >= 0 ? name.Left(dot) : name;
}

CString CFileDialog::GetFolderPath() const {
  CString path(m_szFile);
  int slash = path.ReverseFind('\\');
  return slash >= 0 ? path.Left(slash) : CString();
}
