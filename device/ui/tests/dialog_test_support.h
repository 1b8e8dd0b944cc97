// What the device dialogs' tests share: typing into a cell of the editable list as the
// operator does (a click opens the in-cell edit, Return ends it), pressing buttons,
// reading texts, and running a dialog modally while a test drives it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/testing/test_support.h"
#include "platform/win/framework.h"
#include "ui/tests/msg_trail.h"
#include "ui/xedit.h"
#include "ui/xlist_ctrl.h"

namespace dialog_test {

inline void TypeInCell(CXListCtrl& list, int row, int col, const char* text) {
  CRect rc;
  ASSERT_TRUE(list.GetCellRect(row, col, rc));
  Click(list.m_hWnd, rc.CenterPoint());
  DrainFor(2 * kXListComboDelayMs);
  CXEdit* edit = list.GetInCellEdit();
  ASSERT_NE(nullptr, edit) << "no in-cell edit at " << row << "," << col;
  edit->SetWindowText(text);
  PressKey(edit->m_hWnd, VK_RETURN);
  DrainFor(kXListComboDelayMs);
}

// A click on a read-only cell opens no editor.
inline bool CellOpensEditor(CXListCtrl& list, int row, int col) {
  CRect rc;
  if (!list.GetCellRect(row, col, rc)) return false;
  Click(list.m_hWnd, rc.CenterPoint());
  DrainFor(2 * kXListComboDelayMs);
  CXEdit* edit = list.GetInCellEdit();
  if (!edit) return false;
  PressKey(edit->m_hWnd, VK_ESCAPE);
  return true;
}

inline void ClickHeader(CXListCtrl& list, int col) {
  HWND header = (HWND)list.SendMessage(LVM_GETHEADER);
  CRect rc;
  ::SendMessageA(header, HDM_GETITEMRECT, col, (LPARAM)&rc);
  LPARAM at = MAKELPARAM(rc.CenterPoint().x, rc.CenterPoint().y);
  ::SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageA(header, WM_LBUTTONUP, 0, at);
  DrainFor(0);
}

inline std::string WindowText(HWND wnd) {
  char text[1024] = "";
  ::GetWindowTextA(wnd, text, sizeof text);
  return text;
}
inline std::string ItemText(HWND dlg, int id) { return WindowText(::GetDlgItem(dlg, id)); }
inline bool Enabled(HWND dlg, int id) { return ::IsWindowEnabled(::GetDlgItem(dlg, id)) != FALSE; }
inline bool Checked(HWND dlg, int id) { return ::IsDlgButtonChecked(dlg, id) == BST_CHECKED; }
inline void Press(HWND dlg, int id) {
  ::SendMessageA(::GetDlgItem(dlg, id), BM_CLICK, 0, 0);
  DrainFor(0);
}

inline std::vector<std::string> BoxTexts(const testing_support::MessageBoxRecorder& boxes) {
  std::vector<std::string> texts;
  for (const auto& box : boxes.Boxes()) texts.push_back(box.text);
  return texts;
}

// Header titles, widths and alignments: "title/width/L|C|R".
inline std::vector<std::string> Columns(CListCtrl& list) {
  std::vector<std::string> columns;
  CHeaderCtrl* header = list.GetHeaderCtrl();
  for (int c = 0; c < header->GetItemCount(); ++c) {
    char text[128] = "";
    HDITEMA item = {};
    item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    header->GetItem(c, &item);
    int align = item.fmt & HDF_JUSTIFYMASK;
    columns.push_back(std::string(text) + "/" + std::to_string(item.cxy) + "/" +
                      (align == HDF_CENTER  ? "C"
                       : align == HDF_RIGHT ? "R"
                                            : "L"));
  }
  return columns;
}

// Runs dlg modally; steps run inside its loop once it shows and must end it. A run
// whose steps forget to (a failed assertion) ends with -2 after a few seconds.
inline INT_PTR RunModal(CDialog& dlg, std::function<void()> steps) {
  static std::function<void()> s_steps;
  static CDialog* s_dlg;
  s_steps = std::move(steps);
  s_dlg = &dlg;
  UINT_PTR timer = ::SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    std::function<void()> run = std::move(s_steps);
    s_steps = nullptr;
    if (run) run();
  });
  UINT_PTR guard = ::SetTimer(nullptr, 0, 8000, [](HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ADD_FAILURE() << "the dialog was not ended";
    s_dlg->EndDialog(-2);
  });
  INT_PTR result = dlg.DoModal();
  ::KillTimer(nullptr, timer);
  ::KillTimer(nullptr, guard);
  return result;
}

// Runs steps on the next dialog that owner opens, from inside that dialog's modal loop
// (a button of owner that opens a dialog blocks until it closes). Waits on a timer
// until the dialog shows.
struct NextDialog {
  static std::function<void(HWND)>& Steps() {
    static std::function<void(HWND)> steps;
    return steps;
  }
  static HWND& Owner() {
    static HWND owner;
    return owner;
  }
  static UINT_PTR& Timer() {
    static UINT_PTR timer;
    return timer;
  }
  static BOOL CALLBACK Find(HWND wnd, LPARAM found) {
    char cls[32] = "";
    ::GetClassNameA(wnd, cls, sizeof cls);
    if (strcmp(cls, "#32770") != 0 || !::IsWindowVisible(wnd) || ::GetWindow(wnd, GW_OWNER) != Owner()) return TRUE;
    *(HWND*)found = wnd;
    return FALSE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), Find, (LPARAM)&found);
    if (!found) return;
    Stop();
    std::function<void(HWND)> run = std::move(Steps());
    Steps() = nullptr;
    if (run) run(found);
  }
  static void Stop() {
    if (Timer()) ::KillTimer(nullptr, Timer());
    Timer() = 0;
  }
};
inline void OnNextDialog(HWND owner, std::function<void(HWND)> steps) {
  NextDialog::Stop();
  NextDialog::Steps() = std::move(steps);
  NextDialog::Owner() = owner;
  NextDialog::Timer() = ::SetTimer(nullptr, 0, 10, NextDialog::Tick);
}
// A dialog owner must not open: should one show, the test fails and it is cancelled.
inline void ExpectNoDialog(HWND owner) {
  OnNextDialog(owner, [](HWND dlg) {
    ADD_FAILURE() << "a dialog opened: " << WindowText(dlg);
    ::SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
  });
}
inline void StopWaitingForDialog() { NextDialog::Stop(); }

}  // namespace dialog_test
