// The Device Attachment dialog, the main window's device manager: the list of attached
// devices ("name@connection", kept in "Parameters.ini"), and the parts of a new entry:
// a device of the device table and a connection built from the chosen mode, a serial
// port with its baud rate, a controller found on the LAN, an output file, or the
// engine's simulator.
//
// Only COM1 to COM20 are serial connections: an entry whose connection is none of the
// known forms gives the mode "unrecognised", which Add refuses instead of building a
// port number out of it.
#pragma once

#include "platform/win/framework.h"

// Modes of a connection.
constexpr WORD kModeNone = 0;
constexpr WORD kModeFirstCom = 1;
constexpr WORD kModeLastCom = 20;
constexpr WORD kModeNet = 240;
constexpr WORD kModeFile = 241;
constexpr WORD kModeDummy = 242;
constexpr WORD kModeUnknown = 0xFFFF;

// The mode of a connection text: COM1..COM20 their number, "NET:" 240, "FILE:" 241,
// "SIMU:" 242, anything else kModeUnknown.
WORD ConnectionMode(const char* connection);

class CDeviceAttachDlg : public CDialog {
 public:
  explicit CDeviceAttachDlg(CWnd* parent);

  // Whether a port can be opened now; tests put their own answer in (null: the real
  // probe). Returns the previous one.
  using ComPortProbe = BOOL (*)(const char* portName);
  static ComPortProbe SetComPortProbe(ComPortProbe probe);
  // "\\.\<name>" opened exclusively for reading and writing; a port another program
  // holds counts as absent.
  static BOOL IsComPortPresent(const char* portName);

  BOOL OnInitDialog() override;
  void OnOK() override;  // Add; the dialog stays
  void UpdateModeControls();
  void ScanComPorts();

  CString m_strNetText;     // FoundDevice text of the last network entry built
  CString m_strDeviceName;  // device to preselect, set by the opener
  CListBox m_lstAttached;   // 1103
  CComboBox m_cbDevices;    // 1101
  CComboBox m_cbPorts;      // 1079
  CComboBox m_cbNet;        // 1014
  WORD m_nMode = kModeNone;
  int m_nBaudChoice = -1;  // checked baud-rate button, 0..8 in kBaudRateTexts order
  CString m_strFilePath;   // 1037
  CString m_strNetPort;    // 1011
  CString m_strSelection;  // 1135: the entry last selected in the attached list

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnModeCom();
  afx_msg void OnModeNet();
  afx_msg void OnModeFile();
  afx_msg void OnModeDummy();
  afx_msg void OnPortChange();
  afx_msg void OnBrowse();
  afx_msg void OnDiscovery();
  afx_msg void OnDelete();
  afx_msg void OnSelect();
  afx_msg void OnDeviceConfig();
  DECLARE_MESSAGE_MAP()

 private:
  void SetModeAndUpdate(WORD mode);
  void FillNetList();
  // The attached list's non-empty entries, trimmed, written to the settings.
  BOOL SaveList();
  int PortNumberOfSelection() const;
};
