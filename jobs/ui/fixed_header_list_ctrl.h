// CFixedHeaderListCtrl: a report list whose column widths the operator cannot drag:
// the header's begin-track notifications are answered with a refusal.
#pragma once

#include "platform/win/framework.h"

class CFixedHeaderListCtrl : public CListCtrl {
 public:
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
