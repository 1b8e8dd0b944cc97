#include "ui/program_icon.h"

#include "resources/resource.h"

namespace {

HICON LoadProgramIcon(int widthMetric, int heightMetric) {
  return (HICON)::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_PROGRAM), IMAGE_ICON,
                             ::GetSystemMetrics(widthMetric), ::GetSystemMetrics(heightMetric), LR_SHARED);
}

}  // namespace

void SetProgramIcon(CWnd& wnd) {
  if (HICON bigIcon = LoadProgramIcon(SM_CXICON, SM_CYICON)) wnd.SetIcon(bigIcon, TRUE);
  if (HICON smallIcon = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON)) wnd.SetIcon(smallIcon, FALSE);
}
