// The Device Configuration dialog's tests: a program folder of their own with the texts
// in English, an empty parameter map, the main window's stand-in as the dialog's parent,
// and the dialog opened modeless so that a test can act between the steps.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "device/ui/device_config_dlg.h"
#include "device/ui/tests/main_window_stand_in.h"
#include "foundation/job_channel.h"
#include "foundation/settings.h"
#include "foundation/tests/app_folder_test.h"
#include "foundation/texts.h"
#include "jobs/job_files.h"
#include "jobs/job_name.h"
#include "jobs/table/job_manager.h"
#include "platform/testing/test_support.h"
#include "resources/resource.h"
#include "ui/tests/msg_trail.h"

class DeviceConfigTest : public EnglishAppFolderTest {
 protected:
  void SetUp() override {
    EnglishAppFolderTest::SetUp();
    ClearMap();
    ASSERT_TRUE(m_main.Create());
    CreateFolderPath(Path("Jobs\\"));
    CJobManager::ScanJobsFolder();
  }
  void TearDown() override {
    Close();
    CJobManager::CloseChannels("");
    ClearMap();
    EnglishAppFolderTest::TearDown();
  }
  static void ClearMap() {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    g_RomParamMap.m_map.clear();
  }

  void Open() {
    m_dlg = std::make_unique<CDeviceConfigDlg>(&m_main);
    ASSERT_TRUE(m_dlg->Create(PickLangId(IDD_DEVICE_CONFIG_CN, IDD_DEVICE_CONFIG_EN), &m_main));
    DrainFor(20);
  }
  // Closes the dialog as its Cancel does.
  void Close() {
    if (m_dlg && m_dlg->m_hWnd) {
      m_dlg->OnCancel();
      m_dlg->DestroyWindow();
    }
    m_dlg.reset();
  }
  HWND Dlg() const { return m_dlg->m_hWnd; }

  void Type(int id, const char* text) { ::SetDlgItemTextA(Dlg(), id, text); }
  std::string Field(int id) const {
    char text[1024] = "";
    ::GetDlgItemTextA(Dlg(), id, text, sizeof text);
    return text;
  }
  void Press(int id) { ::SendMessageA(::GetDlgItem(Dlg(), id), BM_CLICK, 0, 0); }
  bool Enabled(int id) const { return ::IsWindowEnabled(::GetDlgItem(Dlg(), id)) != FALSE; }
  bool Visible(int id) const { return ::IsWindowVisible(::GetDlgItem(Dlg(), id)) != FALSE; }
  void Choose(int id, const char* text) {
    HWND combo = ::GetDlgItem(Dlg(), id);
    ::SendMessageA(combo, CB_SELECTSTRING, (WPARAM)-1, (LPARAM)text);
    ::SendMessageA(Dlg(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)combo);
  }
  std::string Chosen(int id) const {
    HWND combo = ::GetDlgItem(Dlg(), id);
    int at = (int)::SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (at < 0) return "";
    char text[256] = "";
    ::SendMessageA(combo, CB_GETLBTEXT, at, (LPARAM)text);
    return text;
  }
  std::vector<std::string> Choices(int id) const {
    HWND combo = ::GetDlgItem(Dlg(), id);
    std::vector<std::string> out;
    for (int i = 0, n = (int)::SendMessageA(combo, CB_GETCOUNT, 0, 0); i < n; ++i) {
      char text[256] = "";
      ::SendMessageA(combo, CB_GETLBTEXT, i, (LPARAM)text);
      out.push_back(text);
    }
    return out;
  }

  // Each row of the list: its six cells joined by '|'.
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int i = 0; i < m_dlg->m_list.GetItemCount(); ++i) {
      std::string row;
      for (int c = 0; c < 6; ++c) row += (c ? "|" : "") + m_dlg->m_list.GetItemText(i, c).str();
      rows.push_back(row);
    }
    return rows;
  }
  int RowOf(const char* index) const {
    for (int i = 0; i < m_dlg->m_list.GetItemCount(); ++i)
      if (m_dlg->m_list.GetItemText(i, 0) == index) return i;
    return -1;
  }
  // A click on a cell, as the operator's: on the index it also ticks or clears the row.
  void ClickCell(int row, int col) {
    ASSERT_GE(row, 0);
    CRect r;
    ASSERT_TRUE(m_dlg->m_list.GetCellRect(row, col, r));
    Click(m_dlg->m_list.m_hWnd, r.CenterPoint());
    DrainFor(20);
  }
  void Tick(const char* index) { ClickCell(RowOf(index), 0); }
  bool Ticked(const char* index) const { return m_dlg->m_list.GetCellCheckState(RowOf(index), 0) == 1; }

  // The progress bar's text as it is drawn: its format with the position.
  std::string ProgressText() const {
    char format[128] = "";
    ::GetWindowTextA(m_dlg->m_progress.m_hWnd, format, sizeof format);
    CString text;
    text.Format(format, (int)m_dlg->m_progress.GetPos());
    return text.str();
  }

  // A job in the table whose engine reports "ATTACHED" (its reply ring is held here).
  void AddAttachedJob(const char* name, const char* connection, const char* device) {
    JobRecord job;
    SetRecordText(job.JobName, name);
    SetRecordText(job.Connection, connection);
    SetRecordText(job.DeviceName, device);
    job.TotalTags = 1;
    job.CopiesX = job.CopiesY = job.CopiesZ = 1;
    job.FormatStamp = kJobFormatStamp;
    CreateFolderPath(JobFolderPath(name));
    ASSERT_TRUE(WriteJobInfoFile(JobFilePath(name, ".jobinfo"), job));
    CJobManager::ScanJobsFolder();
    ASSERT_TRUE(CJobManager::JobExists(name));
    auto ring = std::make_unique<CJobChannel>();
    ASSERT_TRUE(ring->Open(CString("PanelRx_") + name, kJobChannelSlots));
    ring->SetState("ATTACHED");
    m_rings.push_back(std::move(ring));
  }
  // Job names carry this process's id: parallel test programs share the channel names.
  static CString Name(const char* base) {
    CString s;
    s.Format("%s_%lu", base, (unsigned long)GetCurrentProcessId());
    return s;
  }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : m_boxes.Boxes()) texts.push_back(box.text);
    return texts;
  }

  testing_support::MessageBoxRecorder m_boxes;
  CMainWindowStandIn m_main;
  std::unique_ptr<CDeviceConfigDlg> m_dlg;
  std::vector<std::unique_ptr<CJobChannel>> m_rings;
};
