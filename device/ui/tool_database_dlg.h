// The Tool Database dialog: lists the cutter table's tools with the picture and the
// dimensions of the chosen one, deletes tools, restores the default set and opens the
// Tool Definition dialog to create or change a tool. "Cutter.db" is written before
// that dialog opens (it reads the file again) and read back after it.
#pragma once

#include "device/cutter.h"
#include "device/ui/tool_def_dlg.h"
#include "platform/win/framework.h"

class CToolDatabaseDlg : public CDialog {
 public:
  // mode: 0 selection ("Choose" closes with the chosen tool), else management.
  CToolDatabaseDlg(CWnd* parent, int mode);

  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  afx_msg void OnListClick(NMHDR* nm, LRESULT* result);
  afx_msg void OnListItemChanged(NMHDR* nm, LRESULT* result);
  afx_msg void OnDelete();
  afx_msg void OnModify();
  afx_msg void OnNewTool();
  afx_msg void OnDefault();
  afx_msg void OnClose() { OnCancel(); }

  // The dialog's own reading of "Cutter.db": an empty file is replaced by the default
  // tool set; a missing one leaves the table as it is.
  void LoadTools();
  void SaveTools() { SaveCutterTable(); }
  void FillList();
  void ShowTool(int number);
  void ShowTypeControls(int type);

  int GetSelectedNumber() const { return m_nSelected; }

  CListCtrl m_list;
  // The texts shown beside the picture.
  CString m_strDiameter, m_strLength, m_strTipRadius, m_strAngle, m_strFlat, m_strDescription, m_strMemo;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  DECLARE_MESSAGE_MAP()

 private:
  void SelectFromList();
  int IndexOfNumber(int number) const;

  int m_nMode;
  int m_nSelected = 0;  // the chosen tool's number; 0 none
  CImageList m_images;
  CToolPictures m_pictures;
};
