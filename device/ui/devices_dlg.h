// The Devices dialog, the operator's editor of the device table: the devices with their
// work area and description, the details of the selected one, and New, Edit, Delete and
// Save As. Every change is written to the device files at once; a deleted device's file
// becomes its ".bak".
//
// The table holds kDeviceTableSize devices: New and Save As refuse one more before the
// operator types anything. A device file that cannot be written is said so, and a new
// device whose file could not be written does not join the table.
#pragma once

#include "platform/win/framework.h"

class CDevicesDlg : public CDialog {
 public:
  CDevicesDlg(CWnd* parent, int selection);
  ~CDevicesDlg() override;

  BOOL OnInitDialog() override;
  void OnOK() override {}  // Enter does nothing
  void FillList();
  void ShowDevice(int index);

  int m_nSelection;        // -1: none
  CString m_strPreselect;  // device to select at opening when there is no selection
  CListCtrl m_list;
  CStatic m_picture;
  HBITMAP m_hHome[5] = {};  // corner pictures, XY home values 1..5
  // Detail texts.
  CString m_strName, m_strInitial, m_strEnd, m_strDescription, m_strResolution, m_strDimension, m_strSpeeds;
  CString m_strParamK, m_strParamA;  // hidden fields
  int m_nZDir = 0;                   // radio "Up" (0) / "Down" (1)

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnListSelect(NMHDR* nm, LRESULT* result);
  afx_msg void OnNew();
  afx_msg void OnEdit();
  afx_msg void OnDelete();
  afx_msg void OnSaveAs();
  DECLARE_MESSAGE_MAP()

 private:
  bool HasSelection() const;
  bool NameInUse(const CString& name) const;  // ignoring case
  bool TableFull() const;                     // says so when it is
  // Saves the table; says which file could not be written.
  void SaveTable();
  void Refresh();  // list, details, texts
};
