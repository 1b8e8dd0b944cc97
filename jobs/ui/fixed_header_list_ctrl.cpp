#include "jobs/ui/fixed_header_list_ctrl.h"

BOOL CFixedHeaderListCtrl::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const NMHDR* nm = (const NMHDR*)lParam;
  if (nm && (nm->code == HDN_BEGINTRACKA || nm->code == HDN_BEGINTRACKW)) {
    *result = 1;
    return TRUE;
  }
  return CListCtrl::OnNotify(wParam, lParam, result);
}
