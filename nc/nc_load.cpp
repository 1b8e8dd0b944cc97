// Loading an NC file: the kind of the file, the line (record) loop with progress,
// cancel and message draining, and the one report at the end.
#include <climits>
#include <cstring>

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "nc/interp/nc_errors.h"
#include "nc/nc_program.h"
#include "nc/text_line_file.h"
#include "platform/mbcs.h"
#include "resources/resource.h"

namespace {

const int kLineBuffer = 512;  // a line of 510 characters and its newline is too long
const int kMaxLineLength = 510;
const int kTextTestBytes = 2048;  // bytes the kind detection looks at
const int kSniffLines = 20;
const int kDrainEvery = 1000;  // lines between two drains of the message queue
const int kCommandTooLong = 67;

const char kHpglMnemonics[] = "PAPRPUPDINSFSWSAZWSPAAAR";
const char kGCodeLetters[] = "ABCDFGHIJKLMNOPQRSTUVWXYZ/%#";

void ShowUnknownKind() { ShowMessage(LoadLangString(IDS_NC_UNKNOWN_FILE_KIND_CN, IDS_NC_UNKNOWN_FILE_KIND_EN), MB_OK); }

// Text test: outside "(" comments (which run to the line end) only printable ASCII,
// TAB, CR and LF.
bool LooksLikeText(const char* path) {
  CFile file;
  if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) return false;
  unsigned char head[kTextTestBytes];
  UINT n;
  try {
    n = file.Read(head, sizeof head);
  } catch (const CFileException&) {
    return false;
  }
  bool comment = false;
  for (UINT i = 0; i < n; i++) {
    unsigned char c = head[i];
    if (c == '\r' || c == '\n') {
      comment = false;
    } else if (c == '(') {
      comment = true;
    } else if (!comment && ((c < 0x20 && c != '\t') || c > 0x7E)) {
      return false;
    }
  }
  return true;
}

// Progress in tenths of the byte counts, as the progress display takes ints.
int Tenth(ULONGLONG bytes) {
  ULONGLONG t = bytes / 10;
  return t > (ULONGLONG)INT_MAX ? INT_MAX : (int)t;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Trims white space on both sides of line[0..length) in place; returns the start.
char* TrimInPlace(char* line, int length) {
  char* begin = line;
  char* end = line + length;
  while (end > begin && IsBlank(end[-1])) end--;
  *end = '\0';
  while (begin < end && IsBlank(*begin)) begin++;
  return begin;
}

// Upper-cases ASCII letters in place, stepping over double-byte characters.
void UpperInPlace(char* text) {
  for (char* c = text; *c; c += mbcs::CharLen(c))
    if (*c >= 'a' && *c <= 'z') *c = (char)(*c - 'a' + 'A');
}

bool StartsWith(const CString& s, const char* prefix) { return std::strncmp(s, prefix, std::strlen(prefix)) == 0; }

}  // namespace

CString SniffNCText(const char* path, int lineLimit) {
  CString hpgl = GetParamValue("HPGL", "Enabled", kHpglMnemonics);
  PutParamValue("HPGL", "Enabled", hpgl);
  hpgl.Trim();
  CTextLineFile file;
  if (!file.Open(path)) return "ERROR";
  int hpglCount = 0, gcodeCount = 0, unknownCount = 0, counted = 0;
  char buf[1024];
  while (counted < lineLimit && file.ReadWholeLine(buf, sizeof buf) >= 0) {
    CString line(buf);
    line.MakeUpper();
    line.Trim();
    while (!line.IsEmpty() && (line[0] == ';' || line[0] == '!')) line = line.Mid(1);
    if (line.IsEmpty()) continue;
    counted++;
    if (hpgl.Find(line.Left(2)) >= 0) {
      hpglCount++;
    } else if (std::strchr(kGCodeLetters, line[0])) {
      gcodeCount++;
    } else if (!(StartsWith(line, "%") || StartsWith(line, "(") || StartsWith(line, ")") || StartsWith(line, "/*") ||
                 StartsWith(line, "*/") || StartsWith(line, "//"))) {
      unknownCount++;
    }
  }
  CString kind = "UNKNOWN";
  int best = unknownCount;
  if (hpglCount > best) {
    kind = "HPGL";
    best = hpglCount;
  }
  if (gcodeCount > best) kind = "GCODE";
  return kind;
}

CString DetectNCFileKind(const char* path) {
  CFile probe;
  if (!probe.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) return "";
  ULONGLONG length = probe.GetLength();
  probe.Abort();
  if (length <= 9) return "";
  if (IsCamFile(path)) return "BNC";
  if (!LooksLikeText(path)) {
    ShowUnknownKind();
    return "";
  }
  CString kind = SniffNCText(path, kSniffLines);
  if (kind == "HPGL" || kind == "GCODE") return kind;
  ShowUnknownKind();
  return "";
}

BOOL CNCProgram::LoadFromNCFile(CProgressSink* progress, const char* path, const Vec3& axisFactor) {
  m_vAxisFactor = axisFactor;
  m_bProgramEnd = 0;
  m_bStop = 0;
  m_strKind = DetectNCFileKind(path);
  if (m_strKind.IsEmpty()) return FALSE;
  ReserveMemory(10000000);

  BOOL completed;
  if (m_strKind == "BNC") {
    try {
      m_camFile.Close();
    } catch (const CFileException&) {
    }
    if (!m_camFile.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) return FALSE;
    m_nLine = 0;
    completed = LoadCamRecords(progress, m_camFile.GetBodyLength());
    NormalizeExtents();
    m_camFile.Abort();
  } else {
    const bool gcode = m_strKind == "GCODE";
    ULONGLONG total = 0;
    CFile size;
    if (size.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) {
      total = size.GetLength();
      size.Abort();
    }
    // A file that was there a moment ago and cannot be opened now loads nothing and
    // says so with FALSE.
    if (gcode ? !m_pGCode || !m_pGCode->OpenFile(path) : !m_textFile.Open(path)) return FALSE;
    m_nLine = 0;
    completed = LoadTextLines(progress, total);
    NormalizeExtents();
    if (gcode)
      m_pGCode->CloseFile();
    else
      m_textFile.Close();
  }
  ShowLoadReport();
  return completed && !m_bStop;
}

// Lines of at most 510 characters and the newline; a longer one ends the load with
// "Command too long", keeping what was read before it.
BOOL CNCProgram::LoadTextLines(CProgressSink* progress, ULONGLONG total) {
  const bool gcode = m_strKind == "GCODE";
  char line[kLineBuffer];
  ULONGLONG done = 0;
  for (int count = 1;; count++) {
    ULONGLONG position;
    int length;
    if (gcode) {
      length = m_pGCode->ReadLine(line, kLineBuffer, &position);
    } else {
      length = m_textFile.ReadLine(line, kLineBuffer);
      position = m_textFile.GetPosition();
    }
    if (length <= 0) break;
    if (length > kMaxLineLength) {
      AppendLoadError(GetNCErrorText(kCommandTooLong));
      break;
    }
    m_nLine++;
    char* text = TrimInPlace(line, length);
    BOOL more;
    if (gcode) {
      more = InterpretLine(m_nLine, text);
    } else {
      UpperInPlace(text);
      more = InterpretHpglLine(m_nLine, text);
    }
    if (position > done) done = position;
    if (!more) break;
    if (progress) {
      progress->SetProgress(Tenth(done), Tenth(total));
      if (progress->IsCanceled()) return FALSE;
    }
    if (count % kDrainEvery == 0) {
      platform::PumpMessages();
      Sleep(0);
    }
  }
  return TRUE;
}

// Records of a CAM file: a 4-byte head, then its payload. A head cut short, a payload
// beyond the end of the file or longer than a record can be is a broken file: it ends
// the load as an error, never a read of bytes that are not the record's.
BOOL CNCProgram::LoadCamRecords(CProgressSink* progress, ULONGLONG total) {
  const int maxPayload = (int)sizeof m_abyRecord - kCamRecordHead;
  for (int count = 1;; count++) {
    CString broken;
    try {
      UINT got = m_camFile.Read(m_abyRecord, kCamRecordHead);
      if (got == 0) break;
      m_nLine++;
      WORD code = (WORD)(m_abyRecord[0] | m_abyRecord[1] << 8);
      int length = m_abyRecord[2] | m_abyRecord[3] << 8;
      if (got < (UINT)kCamRecordHead) {
        broken.Format("Tag%d: the file ends within the record head", m_nLine);
      } else if (length > maxPayload) {
        broken.Format("Tag%d: Code=%d(0x%04X), Len=%d, longer than a record can be", m_nLine, code, code, length);
      } else if ((got = m_camFile.Read(m_abyRecord + kCamRecordHead, (UINT)length)) < (UINT)length) {
        broken.Format("Tag%d: Code=%d(0x%04X), Len=%d, the file ends after %u bytes", m_nLine, code, code, length, got);
      }
      if (broken.IsEmpty() && !AddCamRecord(m_nLine, m_abyRecord, kCamRecordHead + length)) break;
    } catch (const CFileException& e) {
      broken.Format("Tag%d: %s", m_nLine, e.GetErrorMessage().GetString());
    }
    if (!broken.IsEmpty()) {
      AppendLoadError(broken);
      m_bStop = 1;
      break;
    }
    if (progress) {
      ULONGLONG position = m_camFile.GetPosition();
      progress->SetProgress(Tenth(position - kCamHeaderSize), Tenth(total));
      if (progress->IsCanceled()) return FALSE;
    }
    if (count % kDrainEvery == 0) {
      platform::PumpMessages();
      Sleep(0);
    }
  }
  return TRUE;
}

void CNCProgram::ShowLoadReport() {
  bool feedFirst = m_nFirstMoveCode >= kCodeFeed && m_nFirstMoveCode <= kCodeArcCCW;
  if (m_strErrors.IsEmpty() && !feedFirst) return;
  CString text;
  if (feedFirst) text = "!!! " + LoadLangString(IDS_NC_FIRST_FEED_MOVE_CN, IDS_NC_FIRST_FEED_MOVE_EN) + " !!!";
  if (!m_strErrors.IsEmpty()) {
    if (!text.IsEmpty()) text += "\r\n\r\n";
    CString pattern = m_bStop ? LoadLangString(IDS_NC_LOAD_ERROR_CN, IDS_NC_LOAD_ERROR_EN)
                              : LoadLangString(IDS_NC_LOAD_WARNINGS_CN, IDS_NC_LOAD_WARNINGS_EN);
    // The collected text goes in as the argument of the pattern, never as a format.
    int at = pattern.Find("%s");
    if (at >= 0) pattern = pattern.Left(at) + m_strErrors + pattern.Mid(at + 2);
    text += pattern;
  }
  ShowMessage(text, MB_OK);
}
