#include "jobs/review/path_review.h"

#include <cmath>
#include <cstdlib>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// A value printed as a whole number: truncated toward zero, NaN as 0, far values
// held at the ends of a 64-bit integer; the printing width takes the low bits.
long long TruncWhole(double v) {
  if (!(v == v)) return 0;
  if (v >= 9.2e18) return 9200000000000000000LL;
  if (v <= -9.2e18) return -9200000000000000000LL;
  return (long long)v;
}
unsigned AsUnsigned(double v) { return (unsigned)(unsigned long long)TruncWhole(v); }
int AsInt(double v) { return (int)(unsigned)(unsigned long long)TruncWhole(v); }

const char* ModeMeaning(unsigned code) {
  switch (code) {
    case 17: return "XY-plane Selection";
    case 18: return "XZ-plane Selection";
    case 19: return "YZ-plane Selection";
    case 20: return "Inch System Selection (but the internal unit is Millimeter)";
    case 21: return "Millimeter System Selection";
    case 74: return "Incremental Distance Mode for Arc";
    case 75: return "Absolute Distance Mode for Arc";
    case 80: return "Cancel Modal Motion";
    case 81: return "Drilling";
    case 82: return "Drilling with Dwell";
    case 83: return "Peck Drilling";
    case 84: return "Right Hand Tapping";
    case 85: return "Boring, No Dwell, Feed Out";
    case 86: return "Boring, Spindle Stop, Rapid Out";
    case 87: return "Back Boring";
    case 88: return "Boring, Spindle Stop, Manual Out";
    case 89: return "Boring, Dwell, Feed Out";
    case 90: return "Absolute Distance Mode";
    case 91: return "Incremental Distance Mode";
    case 98: return "Set Canned Cycle Return Level to Old Z";
    case 99: return "Set Canned Cycle Return Level to Retract R";
    default: return nullptr;
  }
}

const char* MMeaning(unsigned m) {
  switch (m) {
    case 0: return "Program Stop";
    case 1: return "Optional Program Stop";
    case 2: return "Program End";
    case 3: return "Turn Spindle Clockwise";
    case 4: return "Turn Spindle Counterclockwise";
    case 5: return "Stop Spindle Turning";
    case 6: return "Tool Change";
    case 7: return "Mist Coolant On";
    case 8: return "Flood Coolant On";
    case 9: return "Mist and Flood Coolant Off";
    case 30: return "Program End, Pallet Shuttle, and Reset";
    case 48: return "Enable Speed and Feed Overrides";
    case 49: return "Disable Speed and Feed Overrides";
    default: return nullptr;
  }
}

// " X%.3f" when the axis bit is set, " x%.3f" when it is shown only as unchanged.
void AppendAxis(CString& text, char letter, double value, bool set, bool showUnchanged) {
  if (set)
    text.AppendFormat(" %c%.3f", letter, value);
  else if (showUnchanged)
    text.AppendFormat(" %c%.3f", letter - 'A' + 'a', value);
}

CString DescribeMotion(const PathRecordData& r, bool showUnchanged) {
  CString text;
  text.Format("Line=%05d: G%02d ", (int)r.m_nLine, (int)r.m_nCode);
  bool x = (r.m_byAxes & 0x80) != 0, y = (r.m_byAxes & 0x40) != 0, z = (r.m_byAxes & 0x20) != 0;
  AppendAxis(text, 'X', r.m_vEnd.x, x, showUnchanged);
  AppendAxis(text, 'Y', r.m_vEnd.y, y, showUnchanged);
  AppendAxis(text, 'Z', r.m_vEnd.z, z, showUnchanged);
  if (r.m_nCode >= 2) {
    AppendAxis(text, 'I', r.m_vCenter.x, x, showUnchanged);
    AppendAxis(text, 'J', r.m_vCenter.y, y, showUnchanged);
    AppendAxis(text, 'K', r.m_vCenter.z, z, showUnchanged);
  }
  return text;
}

// "@T" value: the whole part is the mask of tools, the hundredths the group.
CString DescribeToolGroup(double value) {
  double whole = std::trunc(value);
  unsigned mask = AsUnsigned(whole);
  int group = AsInt((value - whole) * 100.0 + 0.0001);
  CString tools;
  for (int bit = 0; bit < 32; ++bit) {
    if (!(mask & (1u << bit))) continue;
    if (!tools.IsEmpty()) tools += ",";
    tools.AppendFormat("%d", bit + 1);
  }
  CString text;
  text.Format("(@T@T%d:%s) (Extension for Kestrada, Tool Group Definition)", group, (const char*)tools);
  return text;
}

CString DescribeTag(const PathRecordData& r) {
  char name[4] = {r.m_szName[0], r.m_szName[1], r.m_szName[2], 0};
  CString n(name);
  double v = r.m_dValue;
  unsigned u = AsUnsigned(v);
  CString text;
  auto is = [&](const char* key) { return n.CompareNoCase(key) == 0; };
  if (is("PU") || is("PD")) {
    text = n;
    text.MakeUpper();
  } else if (is("M")) {
    text.Format("%s%u", name, u);
    if (const char* meaning = MMeaning(u)) text.AppendFormat(" (%s)", meaning);
    if (u >= 101 && u <= 115) text += " (Extension for Kestrada Multi-Header Spindle, Set to ON)";
    if (u >= 201 && u <= 215) text += " (Extension for Kestrada Multi-Header Spindle, Set to OFF)";
  } else if (is("T")) {
    text.Format("%s%u (Tool Number)", name, u);
  } else if (is("S")) {
    text.Format("%s%u (Spindle Speed, rpm)", name, u);
  } else if (is("F")) {
    text.Format("%s%u (Feed Rate, mm/s)", name, u);
  } else if (is("ZZ")) {
    text.Format("%s%u %s", name, u, u != 0 ? "(3D Mode)" : "(2D Mode)");
  } else if (is("ZW")) {
    text.Format("G4 P%u (Dwell in seconds)", AsUnsigned(v / 1000.0));
  } else if (is("P")) {
    text.Format("G100 %s%u (Extension for Kestrada Multi-Header Control)", name, u);
  } else if (is("D")) {
    text.Format("G100 %s%u (Extension for Kestrada, Bit Mask for Headers)", name, u);
  } else if (is("Y")) {
    text.Format("G100 %s%d (Extension for Kestrada, Header Move, mm)", name, AsInt(v));
  } else if (is("@T")) {
    text = DescribeToolGroup(v);
  } else if (is("#O")) {
    text.Format("%s (All Offsets canceled)", name);
  } else if (is("#X") || is("#Y") || is("#Z")) {
    text.Format("%s %.3f (Offset, mm)", name, v);
  } else {
    text.Format("%s%u", name, u);
  }
  return text;
}

}  // namespace

CString DescribePathRecord(const PathRecordData& r, bool showUnchanged) {
  if (r.m_nCode >= 0xFF00) return DescribeTag(r);
  if (r.m_nCode <= 3) return DescribeMotion(r, showUnchanged);
  CString text;
  text.Format("G%02d", (int)r.m_nCode);
  if (const char* meaning = ModeMeaning(r.m_nCode)) text.AppendFormat(" (%s)", meaning);
  return text;
}

COLORREF ReviewLineColor(const PathRecordData& r) {
  if (r.m_nDiscard != 0) return kReviewDiscardedColor;
  if (r.m_nTagStart != 0) return kReviewNewTagColor;
  switch (r.m_nCode) {
    case 0: return kReviewRapidColor;
    case 1: return kReviewFeedColor;
    case 2: return kReviewCwColor;
    case 3: return kReviewCcwColor;
    default: return kReviewOtherColor;
  }
}

int ListPathRecords(const BYTE* data, ULONGLONG size, const PathReviewOptions& options, CPathReviewSink& sink) {
  if (!data) return 0;
  ULONGLONG count = size / kPathRecordSize;
  // The end as a 64-bit bound: an end tag of 0xFFFFFFFF lists to the end.
  const unsigned long long stopAt = (unsigned long long)options.nEndTag + 1;
  unsigned long long tag = 0;
  int previousMotion = -1;  // code of the last motion record; -1 before any
  bool inRange = false, limitAsked = false;
  int lines = 0;
  for (ULONGLONG i = 0; i < count; ++i) {
    const PathRecordData& r = *reinterpret_cast<const PathRecordData*>(data + i * kPathRecordSize);
    bool discarded = r.m_nDiscard != 0;
    if (!discarded && r.m_nCode <= 3) {
      if (r.m_nTagStart != 0 && previousMotion != 0 && previousMotion != -1) ++tag;
      previousMotion = r.m_nCode;
    }
    if (tag >= options.nStartTag) inRange = true;
    if (tag >= stopAt) break;

    if (inRange && (!discarded || options.bShowDiscarded) &&
        ((r.m_nFlags & kFlagSource) != 0 || options.bShowInterpolation)) {
      CString text = DescribePathRecord(r, options.bShowUnchanged);
      if (!text.IsEmpty()) {
        if (r.m_nCode <= 3) {
          CString line;
          line.Format("Tag%06u %s", (unsigned)tag, (const char*)text);
          text = line;
        }
        sink.AddLine(text, ReviewLineColor(r));
        ++lines;
      }
    }

    if (i % kReviewPumpInterval == 0) {
      if (!sink.Checkpoint(lines)) break;
      if (!limitAsked && lines > options.nLineLimit) {
        if (!sink.ContinuePastLimit()) break;
        limitAsked = true;
      }
    }
  }
  return lines;
}

#ifdef _WIN32

BOOL CReadOnlyFileView::Open(const char* path) {
  Close();
  m_hFile = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  if (m_hFile == INVALID_HANDLE_VALUE) return FALSE;
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(m_hFile, &size) || size.QuadPart <= 0) {
    Close();
    return FALSE;
  }
  m_hMapping = ::CreateFileMappingA(m_hFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (m_hMapping) m_pData = static_cast<const BYTE*>(::MapViewOfFile(m_hMapping, FILE_MAP_READ, 0, 0, 0));
  if (!m_pData) {
    Close();
    return FALSE;
  }
  m_nSize = (ULONGLONG)size.QuadPart;
  return TRUE;
}

void CReadOnlyFileView::Close() {
  if (m_pData) ::UnmapViewOfFile(m_pData);
  if (m_hMapping) ::CloseHandle(m_hMapping);
  if (m_hFile != INVALID_HANDLE_VALUE) ::CloseHandle(m_hFile);
  m_pData = nullptr;
  m_hMapping = nullptr;
  m_hFile = INVALID_HANDLE_VALUE;
  m_nSize = 0;
}

#else

BOOL CReadOnlyFileView::Open(const char* path) {
  Close();
  m_fd = ::open(platform::NativePath(path).c_str(), O_RDONLY);
  if (m_fd < 0) return FALSE;
  struct stat st = {};
  if (::fstat(m_fd, &st) != 0 || st.st_size <= 0) {
    Close();
    return FALSE;
  }
  void* p = ::mmap(nullptr, (size_t)st.st_size, PROT_READ, MAP_SHARED, m_fd, 0);
  if (p == MAP_FAILED) {
    Close();
    return FALSE;
  }
  m_pData = static_cast<const BYTE*>(p);
  m_nSize = (ULONGLONG)st.st_size;
  return TRUE;
}

void CReadOnlyFileView::Close() {
  if (m_pData) ::munmap(const_cast<BYTE*>(m_pData), (size_t)m_nSize);
  if (m_fd >= 0) ::close(m_fd);
  m_pData = nullptr;
  m_nSize = 0;
  m_fd = -1;
}

#endif
