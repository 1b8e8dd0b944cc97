// The Tool Definition dialog: creates a tool of the cutter table or changes one, and
// saves the table ("Cutter.db") when the operator confirms. A changed tool keeps its
// place; saved under a number that no tool has yet it is added as a new tool and the
// old one stays ("Save or Save As").
#pragma once

#include "device/cutter.h"
#include "platform/win/framework.h"

// The tool types' pictures (types 1..7), loaded when a dialog opens and freed with it.
class CToolPictures {
 public:
  CToolPictures() = default;
  ~CToolPictures();
  CToolPictures(const CToolPictures&) = delete;
  CToolPictures& operator=(const CToolPictures&) = delete;
  void Load();
  HBITMAP Get(int type) const { return type >= 1 && type <= 7 ? m_h[type - 1] : nullptr; }

 private:
  HBITMAP m_h[7] = {};
};

class CToolDefDlg : public CDialog {
 public:
  // cutter: the table's record to change, or null for a new tool.
  CToolDefDlg(CWnd* parent, const CCutter* cutter);

  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  afx_msg void OnType1() { OnType(1); }
  afx_msg void OnType2() { OnType(2); }
  afx_msg void OnType3() { OnType(3); }
  afx_msg void OnType4() { OnType(4); }
  afx_msg void OnType5() { OnType(5); }
  afx_msg void OnType6() { OnType(6); }
  afx_msg void OnType7() { OnType(7); }
  afx_msg void OnMetric();
  afx_msg void OnInch();
  afx_msg void OnClose();

  void ShowTypeControls(int type);
  void SetDefaults(int type);
  // FALSE, after "Error Tool Parameter", when a field the type uses is not valid.
  BOOL Validate();

  CCutter m_cutter;       // the edited record
  int m_nEditNumber = 0;  // number of the tool being changed; 0 for a new tool
  int m_nType = 1;
  int m_nUnit = 0;  // 0 mm, 1 inch
  CString m_strDescription, m_strNumber, m_strOriginal, m_strDiameter, m_strLength, m_strTipRadius, m_strFlat,
      m_strAngle, m_strMemo;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  DECLARE_MESSAGE_MAP()

 private:
  void OnType(int type);
  CToolPictures m_pictures;
};

// The dimensions a tool type uses beside the diameter and the length.
struct ToolTypeUse {
  bool tipRadius, angle, flat;
};
ToolTypeUse ToolTypeUses(int type);
