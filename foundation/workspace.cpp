#include "foundation/workspace.h"

#include <climits>
#include <cstring>
#include <new>
#include <random>
#include <vector>

#include "foundation/settings.h"

namespace {

constexpr double kMinGrowRatio = 0.00001;  // at or below it the file never grows
constexpr UINT kSpareSlots = 10;           // a grow leaves at least this many free

ULONGLONG FileSizeFor(ULONGLONG slots) { return kWorkspaceReserved + kWorkspaceSlotSize * slots; }

bool SetFileLength(HANDLE file, ULONGLONG size) {
  LARGE_INTEGER pos;
  pos.QuadPart = LONGLONG(size);
  return SetFilePointerEx(file, pos, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

bool MapFile(HANDLE file, ULONGLONG size, HANDLE& mapping, BYTE*& view) {
  mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, DWORD(size >> 32), DWORD(size), nullptr);
  if (!mapping) return false;
  view = static_cast<BYTE*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, SIZE_T(size)));
  if (view) return true;
  CloseHandle(mapping);
  mapping = nullptr;
  return false;
}

// Tick count and pid seed it, so that two processes started in the same tick still
// pick different names.
unsigned NameNumber() {
  static std::minstd_rand gen(GetTickCount() ^ (GetCurrentProcessId() << 16));
  return unsigned(gen() % 10000);
}

}  // namespace

CWorkspace::CWorkspace() = default;

CWorkspace::~CWorkspace() { Reset(); }

ULONGLONG CWorkspace::Open(ULONGLONG size) {
  CSingleLock lock(&m_mutex, TRUE);
  Reset();
  if (size > FileSizeFor(UINT_MAX)) return 0;
  CString path;
  do {
    path.Format("%sTemp\\%04u%04u.work", (const char*)g_strAppFolder, unsigned(GetTickCount()), NameNumber());
  } while (platform::PathExists(path));
  m_nSize = CreateWorkspace(path, size, m_hFile, m_hMapping, m_pView, TRUE);
  if (m_nSize == 0) return 0;
  m_strPath = path;
  m_nCapacity = m_nSize >= kWorkspaceReserved ? UINT((m_nSize - kWorkspaceReserved) / kWorkspaceSlotSize) : 0;
  return m_nSize;
}

ULONGLONG CWorkspace::CreateWorkspace(const char* path, ULONGLONG size, HANDLE& hFile, HANDLE& hMapping, BYTE*& pView,
                                      BOOL deleteOnClose) {
  hFile = INVALID_HANDLE_VALUE;
  hMapping = nullptr;
  pView = nullptr;
  if (!path || !*path || size == 0) return 0;  // an empty file cannot be mapped
  CreateFolderPath(path);
  // Deleted by the system when its last handle closes, so that a process that is killed
  // or crashes leaves no file behind in "Temp" (it can be tens of megabytes).
  const DWORD flags = deleteOnClose ? FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE : FILE_ATTRIBUTE_NORMAL;
  hFile = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, CREATE_ALWAYS, flags, nullptr);
  if (hFile == INVALID_HANDLE_VALUE) return 0;
  if (SetFileLength(hFile, size) && MapFile(hFile, size, hMapping, pView)) return size;
  CloseHandle(hFile);
  hFile = INVALID_HANDLE_VALUE;
  DeleteFileA(path);
  return 0;
}

bool CWorkspace::MapWhole(ULONGLONG size) { return MapFile(m_hFile, size, m_hMapping, m_pView); }

void CWorkspace::Unmap() {
  if (m_pView) UnmapViewOfFile(m_pView);
  m_pView = nullptr;
  if (m_hMapping) CloseHandle(m_hMapping);
  m_hMapping = nullptr;
}

ULONGLONG CWorkspace::GrowWorkspace(UINT slots) {
  CSingleLock lock(&m_mutex, TRUE);
  if (!m_pView || slots < m_nCount) return 0;
  const ULONGLONG size = FileSizeFor(slots);
  Unmap();
  if (SetFileLength(m_hFile, size) && MapWhole(size)) {
    m_nSize = size;
    m_nCapacity = slots;
    return size;
  }
  // A full disk must not cost the images already stored: back to the old mapping.
  Unmap();
  if (SetFileLength(m_hFile, m_nSize) && MapWhole(m_nSize)) return 0;
  CloseWorkspace();
  m_nSize = 0;
  m_nCapacity = m_nCount = 0;
  return 0;
}

void CWorkspace::CloseWorkspace() {
  CSingleLock lock(&m_mutex, TRUE);
  Unmap();
  if (m_hFile != INVALID_HANDLE_VALUE) {
    SetFileLength(m_hFile, FileSizeFor(m_nCount));
    CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
  }
  if (!m_strPath.IsEmpty()) DeleteFileA(m_strPath);
  m_strPath.Empty();
}

void CWorkspace::Reset() {
  CSingleLock lock(&m_mutex, TRUE);
  CloseWorkspace();
  m_nSize = 0;
  m_nCapacity = m_nCount = 0;
  m_dGrowRatio = 0.0;
}

void CWorkspace::SetGrowRatio(double a, double b) {
  CSingleLock lock(&m_mutex, TRUE);
  m_dGrowRatio = a / b;
}

UINT CWorkspace::GetCount() {
  CSingleLock lock(&m_mutex, TRUE);
  return m_nCount;
}

UINT CWorkspace::GetCapacity() {
  CSingleLock lock(&m_mutex, TRUE);
  return m_nCapacity;
}

CString CWorkspace::GetPath() {
  CSingleLock lock(&m_mutex, TRUE);
  return m_strPath;
}

BYTE* CWorkspace::GetView() {
  CSingleLock lock(&m_mutex, TRUE);
  return m_pView;
}

BYTE* CWorkspace::GetAt(UINT i) {
  CSingleLock lock(&m_mutex, TRUE);
  return m_pView && i < m_nCount ? Slot(i) : nullptr;
}

void CWorkspace::MarkEnd() { CSingleLock lock(&m_mutex, TRUE); }

// ---------------------------------------------------------------------------------------
// Storing. Before k images are added (k = 0 for a single one) the file grows when fewer
// than k + 10 slots are free:
//   new capacity = count / ratio, or capacity + k + 10 when that is not above capacity.
// No growth while the ratio is 1e-5 or less; a store that then finds no free slot is
// refused rather than written past the end of the mapping.

bool CWorkspace::MakeRoom(UINT k) {
  if (m_dGrowRatio > kMinGrowRatio && ULONGLONG(m_nCapacity) < ULONGLONG(m_nCount) + k + kSpareSlots) {
    ULONGLONG slots = ULONGLONG(m_nCount / m_dGrowRatio);
    if (slots <= m_nCapacity) slots = ULONGLONG(m_nCapacity) + k + kSpareSlots;
    GrowWorkspace(UINT(slots < UINT_MAX ? slots : UINT_MAX));
  }
  return m_pView && ULONGLONG(m_nCount) + (k ? k : 1) <= m_nCapacity;
}

void CWorkspace::WriteSlot(UINT i, const BYTE* image) {
  BYTE* slot = Slot(i);
  memset(slot, 0, kWorkspaceSlotSize);
  memcpy(slot, image, WorkspaceImageSize(WorkspaceImageCode(image)));
}

BOOL CWorkspace::AppendImage(const BYTE* image) {
  if (!image) return FALSE;
  BYTE copy[kWorkspaceSlotSize];  // the image may lie in this view, which a grow moves
  memcpy(copy, image, WorkspaceImageSize(WorkspaceImageCode(image)));
  CSingleLock lock(&m_mutex, TRUE);
  if (!m_pView || !MakeRoom(0)) return FALSE;
  WriteSlot(m_nCount++, copy);
  return TRUE;
}

int CWorkspace::InsertImageAt(UINT i, const BYTE* image) {
  if (!image) return 0;
  BYTE copy[kWorkspaceSlotSize];
  memcpy(copy, image, WorkspaceImageSize(WorkspaceImageCode(image)));
  CSingleLock lock(&m_mutex, TRUE);
  if (!m_pView || i > m_nCount || !MakeRoom(0)) return 0;
  memmove(Slot(i + 1), Slot(i), size_t(m_nCount - i) * kWorkspaceSlotSize);
  WriteSlot(i, copy);
  ++m_nCount;
  return 1;
}

int CWorkspace::SetImageAt(UINT i, const BYTE* image) {
  if (!image) return 0;
  BYTE copy[kWorkspaceSlotSize];
  memcpy(copy, image, WorkspaceImageSize(WorkspaceImageCode(image)));
  CSingleLock lock(&m_mutex, TRUE);
  if (!m_pView || i >= m_nCount) return 0;
  WriteSlot(i, copy);
  return 1;
}

int CWorkspace::InsertFrom(UINT i, CWorkspace& other) {
  // Copied out under the other's lock alone: no two workspace locks are ever held at
  // once, and a workspace can insert its own images.
  std::vector<BYTE> images;
  try {
    CSingleLock otherLock(&other.m_mutex, TRUE);
    if (other.m_pView && other.m_nCount) images.assign(other.Slot(0), other.Slot(other.m_nCount));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  const UINT k = UINT(images.size() / kWorkspaceSlotSize);
  CSingleLock lock(&m_mutex, TRUE);
  if (!m_pView || i > m_nCount || k == 0 || !MakeRoom(k)) return 0;
  memmove(Slot(i + k), Slot(i), size_t(m_nCount - i) * kWorkspaceSlotSize);
  memcpy(Slot(i), images.data(), images.size());
  m_nCount += k;
  return 1;
}
