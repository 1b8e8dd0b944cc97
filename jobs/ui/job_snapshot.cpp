#include "jobs/ui/job_snapshot.h"

#include <cmath>
#include <cstring>

#include "foundation/draw/dib_data.h"
#include "foundation/draw/offscreen_dc.h"
#include "foundation/settings.h"
#include "foundation/texts.h"
#include "jobs/job_files.h"
#include "jobs/job_name.h"
#include "jobs/review/snapshot_painter.h"
#include "jobs/ui/gdi_preview_canvas.h"
#include "nc/nc_program.h"
#include "resources/resource.h"
#include "ui/progress_dlg.h"

namespace {

constexpr int kMaxSnapshotSide = 8000;  // pixels: a scale that asks for more gets this

int ScaledSide(int side, double scale) {
  if (!(scale > 0.0)) return side;
  double v = side * scale;
  return v < 1.0 ? 1 : v > kMaxSnapshotSide ? kMaxSnapshotSide : (int)v;
}

}  // namespace

int DrawSnapshot(CProgressDlg* progress, JobRecord* job, CNCProgram* program, const char* path, double scale) {
  if (!job) return 0;
  GraySettings gray = ReadGraySettings();
  CString file = path && *path ? CString(path) : JobFilePath(job->JobName, ".snapshot");
  if (!file.IsEmpty()) CreateFolderPath(file);
  if (!program || program->GetElementCount() <= 0) return 0;

  const int width = ScaledSide(kSnapshotWidth, scale), height = ScaledSide(kSnapshotHeight, scale);
  CWnd* main = AfxGetMainWnd();
  CDC* mainDC = main && main->m_hWnd ? main->GetDC() : nullptr;
  CMemoryBitmapDC dc(width, height, mainDC, RGB(255, 255, 255));
  if (mainDC) main->ReleaseDC(mainDC);
  if (progress) {
    progress->m_wndProgress.SetTextFormat(LoadLangString(IDS_SNAPSHOT_PROGRESS_CN, IDS_SNAPSHOT_PROGRESS_EN),
                                          PPS_TEXT_PERCENT);
  }
  {
    CGdiPreviewCanvas canvas(dc);
    CSnapshotPainter painter(canvas, width, height);
    painter.Paint(progress, *job, program, gray);
  }
  CBitmap* bitmap = dc.Close();
  std::vector<BYTE> block = DdbToDib32(bitmap);
  delete bitmap;
  if (!file.IsEmpty()) SaveDibAsBmp(file, block);
  return 1;
}

std::vector<BYTE> DdbToDib32(CBitmap* bitmap) {
  std::vector<BYTE> block;
  BITMAP bm = {};
  if (!bitmap || !bitmap->m_hObject || !bitmap->GetBitmap(&bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return block;
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = bm.bmWidth;
  header.biHeight = bm.bmHeight;  // bottom-up
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  HDC screen = ::GetDC(nullptr);
  // Asked first for the image size; a driver that does not say gets the row formula.
  BITMAPINFOHEADER asked = header;
  ::GetDIBits(screen, (HBITMAP)bitmap->m_hObject, 0, (UINT)bm.bmHeight, nullptr, (BITMAPINFO*)&asked, DIB_RGB_COLORS);
  DWORD image = asked.biSizeImage;
  if (image == 0) image = (DWORD)(((32 * bm.bmWidth + 31) / 32) * 4 * bm.bmHeight);
  header.biSizeImage = image;
  block.assign(sizeof header + kDibGap + image, 0);
  std::memcpy(block.data(), &header, sizeof header);
  // GetDIBits writes the header it was given back; the pixels go behind the gap.
  BITMAPINFOHEADER info = header;
  int rows = ::GetDIBits(screen, (HBITMAP)bitmap->m_hObject, 0, (UINT)bm.bmHeight,
                         block.data() + sizeof header + kDibGap, (BITMAPINFO*)&info, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, screen);
  if (rows != bm.bmHeight) block.clear();
  return block;
}

BOOL SaveDibAsBmp(const char* path, const std::vector<BYTE>& block) {
  if (!path || block.size() < sizeof(BITMAPINFOHEADER)) return FALSE;
  DibFileHeader fh = {};
  fh.bfType = 0x4D42;  // "BM"
  fh.bfSize = (DWORD)(sizeof fh + block.size());
  fh.bfOffBits = (DWORD)(sizeof fh + sizeof(BITMAPINFOHEADER) + kDibGap);
  CReplacingFile file;
  if (!file.Open(path)) return FALSE;
  file.Write(&fh, sizeof fh);
  file.Write(block.data(), (UINT)block.size());
  return file.Commit();
}
