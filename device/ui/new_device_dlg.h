// The device settings dialog: a new device, or the values of an existing one, as texts
// in the unit of the settings. It does not touch the device table: after IDOK (the
// operator confirmed the save) the Devices dialog takes its values with CopyValuesTo.
//
// A new device's name must be able to name its file "Devices\<name>.pam" and come back
// under the same name; a name that cannot is refused here with the reason, before
// anything is asked or written.
#pragma once

#include "device/device_params.h"
#include "platform/win/framework.h"

class CNewDeviceDlg : public CDialog {
 public:
  // record: the device to edit (its values are copied); null for a new device.
  CNewDeviceDlg(const DeviceParams* record, CWnd* parent);
  ~CNewDeviceDlg() override;

  BOOL OnInitDialog() override;
  void OnOK() override;  // Save
  void OnCancel() override;
  void UpdateHomeControls();
  void UpdateMachineControls();

  // The entered values into rec: texts cut to their fields, lengths and speeds divided
  // by the unit factor, an empty or non-numeric field 0.
  void CopyValuesTo(DeviceParams& rec) const;

  // The edit fields, in the order of kFields.
  enum Field {
    kName,
    kInitial,
    kEnd,
    kMemo,
    kXMax,
    kYMax,
    kZMax,
    kXRes,
    kYRes,
    kZRes,
    kXLo,
    kXHi,
    kYLo,
    kYHi,
    kZLo,
    kZHi,
    kXYStartLo,
    kXYStartHi,
    kZStartLo,
    kZStartHi,
    kSmooth,
    kAccelLo,
    kAccelHi,
    kKmax,
    kKmin,
    kKR,
    kParamN,
    kCornerDown,
    kCornerUp,
    kPcr,
    kSpindles,
    kFieldCount
  };
  static int ControlOf(Field field);

  int m_bEdit = 0;  // 1 editing an existing record, 0 a new device
  CString m_strFields[kFieldCount];
  CString m_strControllerModel;
  int m_nCodeSet = 0;       // index in the hidden "Code Set" list: 0 G, 1 HPGL
  int m_nXYHome = 1;        // 1..5 as in the record
  int m_nZDir = 1;          // 1 up, 0 down
  int m_nMachineType = 0;   // 1 2D, 0 3D
  int m_nMachineClass = 0;  // 0..4
  int m_nRotaryAxis = 0;    // 0 X, 1 Y
  int m_bArcSupport = 0;
  int m_bChanged = 0;       // no control of the templates sets it
  HBITMAP m_hHome[5] = {};  // corner pictures, values 1..5

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnHome(UINT id);
  afx_msg void OnZUp();
  afx_msg void OnZDown();
  afx_msg void OnMachine(UINT id);
  DECLARE_MESSAGE_MAP()
};
