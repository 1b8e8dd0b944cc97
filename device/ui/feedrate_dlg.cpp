#include "device/ui/feedrate_dlg.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "resources/resource.h"

namespace {

struct Column {
  UINT idCn, idEn;
  double ToolSpeedEntry::*field;  // null for the name
};
const Column kColumnDefs[CFeedrateDlg::kColumns] = {
    {IDS_TOOL_NAME_CN, IDS_TOOL_NAME_EN, nullptr},
    {IDS_FEED_VMOVE_CN, IDS_FEED_VMOVE_EN, &ToolSpeedEntry::Traverse},
    {IDS_FEED_VFEED_CN, IDS_FEED_VFEED_EN, &ToolSpeedEntry::Feed},
    {IDS_FEED_VPLUNGE_CN, IDS_FEED_VPLUNGE_EN, &ToolSpeedEntry::Plunge},
    {IDS_FEED_VSTART_CN, IDS_FEED_VSTART_EN, &ToolSpeedEntry::Start},
    {IDS_FEED_ACCEL_CN, IDS_FEED_ACCEL_EN, &ToolSpeedEntry::Acceleration},
    {IDS_FEED_VSPINDLE_CN, IDS_FEED_VSPINDLE_EN, &ToolSpeedEntry::SpindleSpeed},
};

// Lengths follow the unit of the settings; the spindle turns in rpm either way.
double ShownFactor(int col) { return col == CFeedrateDlg::kColSpindle ? 1.0 : g_dUnitFactor; }

CString KeyOf(const ToolSpeedEntry& entry) {
  char key[kToolKeySize + 1] = "";
  memcpy(key, entry.Key, kToolKeySize);
  key[kToolKeySize - 1] = '\0';
  return key;
}

}  // namespace

BOOL ParseCellNumber(const char* text, double* value) {
  CString t(text);
  t.Trim();
  if (t.IsEmpty()) return FALSE;
  // Decimal notation only: strtod would also take hexadecimal, "inf" and "nan".
  for (int i = 0; i < t.GetLength(); ++i)
    if (!strchr("0123456789+-.eE", t[i])) return FALSE;
  char* end = nullptr;
  errno = 0;
  double v = strtod(t, &end);
  if (end == t.GetString() || *end != '\0' || errno == ERANGE || !std::isfinite(v)) return FALSE;
  *value = v;
  return TRUE;
}

CFeedrateDlg::CFeedrateDlg(CWnd* parent) : CEditListDlg(PickLangId(IDD_FEEDRATE_CN, IDD_FEEDRATE_EN), parent) {}

BOOL CFeedrateDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetUpList();
  for (int c = 0; c < kColumns; ++c) {
    CString title = LoadLangString(kColumnDefs[c].idCn, kColumnDefs[c].idEn);
    // 65 pixels, or what the title needs with the header's margins.
    int width = (int)m_list.SendMessage(LVM_GETSTRINGWIDTHA, 0, (LPARAM)title.GetString()) + 16;
    m_list.InsertColumn(c, title, LVCFMT_CENTER, width > 65 ? width : 65);
  }
  SetDlgItemText(IDC_FEEDRATE_SPEED_UNIT, g_strUnit + "/s");
  SetDlgItemText(IDC_FEEDRATE_ACCEL_UNIT, g_strUnit + "/s/s");
  FillList();
  GetWindowText(m_strTitle);
  return TRUE;
}

void CFeedrateDlg::FillList() {
  LVCOLUMNA column = {};
  column.mask = LVCF_FMT;
  column.fmt = LVCFMT_CENTER;
  m_list.SetColumn(0, &column);
  int count = m_JobRecord.ValidToolCount();
  for (int i = 0; i < count; ++i) {
    const ToolSpeedEntry& entry = m_JobRecord.ToolSpeeds[i];
    CString key = KeyOf(entry);
    if (i < m_list.GetItemCount()) {
      SetCell(i, kColName, key);
    } else {
      InsertRow(i, key);
      SetCell(i, kColName, key);
      for (int c = 1; c < kColumns; ++c) {
        m_list.SetItemText(i, c, "", kToolTextPlain, RowBackground(i));
        if (c != kColAccel) m_list.SetCellEditable(i, c);
      }
    }
    for (int c = 1; c < kColumns; ++c) {
      char text[64];
      snprintf(text, sizeof text, "%.2f", entry.*kColumnDefs[c].field * ShownFactor(c));
      TrimTrailingZerosBuf(text);
      SetCell(i, c, text);
    }
  }
  for (int row = m_list.GetItemCount() - 1; row >= count; --row) m_list.DeleteItem(row);
}

BOOL CFeedrateDlg::AcceptCell(int, int, const CString& text) {
  double value = 0;
  if (ParseCellNumber(text, &value)) return TRUE;
  CString message;
  message.Format(LoadLangString(IDS_FEED_NOT_NUMBER_CN, IDS_FEED_NOT_NUMBER_EN), text.GetString());
  ShowMessage(message, MB_OK | MB_ICONEXCLAMATION);
  return FALSE;
}

void CFeedrateDlg::OnOK() {
  if (m_bModified) {
    int count = m_JobRecord.ValidToolCount();
    for (int row = 0; row < count && row < m_list.GetItemCount(); ++row) {
      ToolSpeedEntry& entry = m_JobRecord.ToolSpeeds[row];
      if (m_list.GetItemText(row, kColName) != KeyOf(entry)) continue;
      for (int c = 1; c < kColumns; ++c) {
        double shown = 0;
        if (IsCellEdited(row, c) && ParseCellNumber(m_list.GetItemText(row, c), &shown))
          entry.*kColumnDefs[c].field = shown / ShownFactor(c);
      }
    }
  }
  EndDialog(IDOK);
}
