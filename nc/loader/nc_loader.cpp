// Loading an NC file: the kind of the file, the line (statement, record) loop with
// progress, cancel and message draining, and the one report at the end.
//
// A load succeeds only when it reaches the end of the file or the program's end. Every
// other way out (a line too long, a reader's fatal error, a read error, cancel) fails it,
// and the report then carries the "Error" caption and names the line.
#include "nc/loader/nc_loader.h"

#include <climits>
#include <cstring>
#include <string>

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "nc/formats/cam_records.h"
#include "nc/formats/hpgl_reader.h"
#include "nc/interp/gcode_interpreter.h"
#include "nc/interp/nc_errors.h"
#include "nc/read_context.h"
#include "nc/text_line_file.h"
#include "platform/bytes.h"
#include "resources/resource.h"

namespace {

constexpr int kMinKindBytes = 10;     // a file of fewer bytes is of no kind
constexpr int kTextTestBytes = 2048;  // bytes the kind detection looks at
constexpr int kSniffLines = 20;
constexpr int kSniffLineBuffer = 1024;
constexpr int kDrainEvery = 1000;  // lines between two drains of the message queue
constexpr int kLineBuffer = kMaxNCLineLength + 2;
// File bytes per element the list makes room for ahead of a load (up to the element
// limit). Slots not used cost address space only, while a list that outgrows its room is
// copied into fresh memory, whose pages cost more to touch than the copy itself; so the
// guess is a slot per byte: a G-code move takes some 30 bytes, an HPGL point 8, a CAM
// move 28, and arcs and o-word loops become many elements (a loop of a few lines, tens
// per byte: those still grow).
constexpr ULONGLONG kFileBytesPerElement = 1;

constexpr char kHpglMnemonics[] = "PAPRPUPDINSFSWSAZWSPAAAR";
constexpr char kGCodeLetters[] = "ABCDFGHIJKLMNOPQRSTUVWXYZ/%#";
constexpr unsigned char kByteOrderMark[] = {0xEF, 0xBB, 0xBF};

void ShowUnknownKind() { ShowMessage(LoadLangString(IDS_NC_UNKNOWN_FILE_KIND_CN, IDS_NC_UNKNOWN_FILE_KIND_EN), MB_OK); }

// Text test: outside "(" comments (which run to the line end) only printable ASCII,
// TAB, CR and LF; a byte-order mark at the start is no part of the text.
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
  UINT i = n >= sizeof kByteOrderMark && std::memcmp(head, kByteOrderMark, sizeof kByteOrderMark) == 0
               ? (UINT)sizeof kByteOrderMark
               : 0;
  bool comment = false;
  for (; i < n; i++) {
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

bool StartsWith(const CString& s, const char* prefix) { return std::strncmp(s, prefix, std::strlen(prefix)) == 0; }

CString CommandTooLong() { return GetNCErrorText(NCE_COMMAND_TOO_LONG); }

constexpr size_t kShownStatement = 40;  // characters of a statement a report entry shows

// Progress, cancel and the message queue of a load loop.
class LoadProgress {
 public:
  LoadProgress(CProgressSink* sink, ULONGLONG total) : m_pSink(sink), m_nTotal(total) {}
  // After each line: FALSE when the operator cancelled.
  BOOL Step(ULONGLONG done) {
    if (m_pSink) {
      m_pSink->SetProgress(Tenth(done), Tenth(m_nTotal));
      if (m_pSink->IsCanceled()) return FALSE;
    }
    if (++m_nCount % kDrainEvery == 0) {
      platform::PumpMessages();
      Sleep(0);
    }
    return TRUE;
  }

 private:
  CProgressSink* m_pSink;
  ULONGLONG m_nTotal;
  int m_nCount = 0;
};

}  // namespace

CString SniffNCText(const char* path, int lineLimit) {
  CString hpgl = GetParamValueListed("HPGL", "Enabled", kHpglMnemonics);
  CTextLineFile file;
  if (!file.Open(path)) return "ERROR";
  int hpglCount = 0, gcodeCount = 0, unknownCount = 0, counted = 0;
  char buf[kSniffLineBuffer];
  while (counted < lineLimit && file.ReadLine(buf, sizeof buf) >= 0) {
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
  if (length < (ULONGLONG)kMinKindBytes) return "";
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

CGCodeReader& CNCProgram::GCodeReader() {
  if (!m_pGCode) m_pGCode = CreateGCodeReader(*this);
  return *m_pGCode;
}

BOOL CNCProgram::InterpretLine(int line, char* text) { return GCodeReader().InterpretLine(line, text); }

BOOL CNCProgram::InterpretHpglLine(int line, const char* text) {
  return CHpglReader(*this).InterpretHpglLine(line, text);
}

BOOL CNCProgram::AddCamRecord(int record, const BYTE* data, int size) {
  return CCamRecordReader(*this).AddCamRecord(record, data, size);
}

BOOL CNCProgram::LoadFromNCFile(CProgressSink* progress, const char* path, const Vec3& axisFactor) {
  m_read.m_vAxisFactor = axisFactor;
  m_read.m_bProgramEnd = 0;
  m_read.m_bStop = 0;
  m_strKind = DetectNCFileKind(path);
  if (m_strKind.IsEmpty()) return FALSE;
  ULONGLONG total = 0;
  CFile size;
  if (size.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) {
    total = size.GetLength();
    size.Abort();
  }
  ReserveMemory((size_t)(total / kFileBytesPerElement) * kElementBytes);

  BOOL completed;
  if (m_strKind == "BNC") {
    completed = LoadCamRecords(progress, path);
  } else {
    // A file that was there a moment ago and cannot be opened now loads nothing and
    // says so with FALSE.
    if (m_strKind == "GCODE") {
      if (!GCodeReader().OpenFile(path)) return FALSE;
      m_read.m_nLine = 0;
      completed = LoadTextLines(progress, total);
      // Only a load that read to the end of the file may find a block left open there.
      m_pGCode->CloseFile(completed && !m_read.m_bStop && !m_read.m_bProgramEnd);
    } else {
      CTextLineFile file;
      if (!file.Open(path)) return FALSE;
      m_read.m_nLine = 0;
      completed = LoadHpglStatements(progress, file);
    }
  }
  NormalizeExtents();
  ShowLoadReport();
  return completed && !m_read.m_bStop;
}

// G-code: lines of at most kMaxNCLineLength characters. A longer line ends the load as a
// failure, keeping what was read before it.
BOOL CNCProgram::LoadTextLines(CProgressSink* sink, ULONGLONG total) {
  CGCodeReader& reader = *m_pGCode;
  CNCReadContext context(*this);
  LoadProgress progress(sink, total);
  char line[kLineBuffer];
  ULONGLONG done = 0;
  for (;;) {
    ULONGLONG position;
    bool hadNul = false;
    int length = reader.ReadLine(line, sizeof line, &position, &hadNul);
    if (length < 0) break;
    if (length > kMaxNCLineLength) {
      m_read.m_nLine++;
      context.Stop(CommandTooLong());
      break;
    }
    if (hadNul) {
      CString entry;
      entry.Format("Line %d: %s\r\n", m_read.m_nLine + 1,
                   LoadLangString(IDS_NC_NUL_IN_LINE_CN, IDS_NC_NUL_IN_LINE_EN).GetString());
      AppendLineReport(entry);
      length = (int)std::strlen(line);
    }
    m_read.m_nLine++;
    BOOL more = InterpretLine(m_read.m_nLine, TrimInPlace(line, length));
    if (position > done) done = position;
    if (!more) {
      // A reader that refuses without a program end has stopped the load.
      if (!m_read.m_bProgramEnd) m_read.m_bStop = 1;
      break;
    }
    if (!progress.Step(done)) return FALSE;
  }
  return TRUE;
}

// HPGL: statement by statement, whatever the line ends.
BOOL CNCProgram::LoadHpglStatements(CProgressSink* sink, CTextLineFile& file) {
  CNCReadContext context(*this);
  LoadProgress progress(sink, file.GetLength());
  CHpglStatementReader statements(file);
  CHpglReader reader(*this);
  std::string text;
  for (;;) {
    int line = 0;
    CHpglStatementReader::Result result = statements.Next(text, &line);
    if (result == CHpglStatementReader::kEnd) break;
    m_read.m_nLine = line;
    if (result == CHpglStatementReader::kUnterminated) {
      ReportUnterminatedStatement(line, text);
      break;
    }
    if (result == CHpglStatementReader::kTooLong) {
      context.Stop(CommandTooLong());
      break;
    }
    if (result == CHpglStatementReader::kNul) {
      CString entry;
      entry.Format("Line %d: %s\r\n", line,
                   LoadLangString(IDS_NC_NUL_IN_STATEMENT_CN, IDS_NC_NUL_IN_STATEMENT_EN).GetString());
      AppendLineReport(entry);
      continue;
    }
    if (!reader.InterpretHpglLine(line, text.c_str())) {
      if (!m_read.m_bProgramEnd) m_read.m_bStop = 1;
      break;
    }
    if (!progress.Step(file.GetPosition())) return FALSE;
  }
  if (file.HasReadError() && !m_read.m_bStop) context.Stop(LoadLangString(IDS_NC_READ_ERROR_CN, IDS_NC_READ_ERROR_EN));
  return TRUE;
}

// Records of a CAM file: a 4-byte head, then its payload. A head cut short, a payload
// beyond the end of the file or longer than a record can be is a broken file: it ends
// the load as an error, never a read of bytes that are not the record's.
BOOL CNCProgram::LoadCamRecords(CProgressSink* sink, const char* path) {
  CCamFile camFile;
  if (!camFile.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) return FALSE;
  LoadProgress progress(sink, camFile.GetBodyLength());
  CCamRecordReader reader(*this);
  std::vector<BYTE> record(kCamMaxRecord);
  const int maxPayload = kCamMaxRecord - kCamRecordHead;
  m_read.m_nLine = 0;
  BOOL finished = TRUE;
  for (;;) {
    CString broken;
    try {
      UINT got = camFile.Read(record.data(), kCamRecordHead);
      if (got == 0) break;
      m_read.m_nLine++;
      const WORD code = bytes::Load16(record.data());
      const int length = bytes::Load16(record.data() + 2);
      if (got < (UINT)kCamRecordHead) {
        broken.Format("Tag%d: the file ends within the record head", m_read.m_nLine);
      } else if (length > maxPayload) {
        broken.Format("Tag%d: Code=%d(0x%04X), Len=%d, longer than a record can be", m_read.m_nLine, code, code,
                      length);
      } else if ((got = camFile.Read(record.data() + kCamRecordHead, (UINT)length)) < (UINT)length) {
        broken.Format("Tag%d: Code=%d(0x%04X), Len=%d, the file ends after %u bytes", m_read.m_nLine, code, code,
                      length, got);
      }
      if (broken.IsEmpty() && !reader.AddCamRecord(m_read.m_nLine, record.data(), kCamRecordHead + length)) {
        if (!m_read.m_bProgramEnd) m_read.m_bStop = 1;
        break;
      }
    } catch (const CFileException& e) {
      broken.Format("Tag%d: %s", m_read.m_nLine, e.GetErrorMessage().GetString());
    }
    if (!broken.IsEmpty()) {
      AppendLoadError(broken);
      m_read.m_bStop = 1;
      break;
    }
    if (!progress.Step(camFile.GetPosition() - kCamHeaderSize)) {
      finished = FALSE;
      break;
    }
  }
  camFile.Abort();
  return finished;
}

// The plot's last command without its ";" is not carried out, as a statement is only
// read whole; the operator learns that it was left out.
void CNCProgram::ReportUnterminatedStatement(int line, const std::string& text) {
  CString shown(text.substr(0, kShownStatement).c_str());
  shown.Trim();
  if (text.size() > kShownStatement) shown += "...";
  CString entry;
  entry.Format("Line %d: <%s>%s\r\n", line, shown.GetString(),
               LoadLangString(IDS_NC_UNTERMINATED_STATEMENT_CN, IDS_NC_UNTERMINATED_STATEMENT_EN).GetString());
  AppendLineReport(entry);
}

void CNCProgram::ShowLoadReport() {
  bool feedFirst = m_nFirstMoveCode >= kCodeFeed && m_nFirstMoveCode <= kCodeArcCCW;
  if (m_strErrors.IsEmpty() && !feedFirst) return;
  CString text;
  if (feedFirst) text = "!!! " + LoadLangString(IDS_NC_FIRST_FEED_MOVE_CN, IDS_NC_FIRST_FEED_MOVE_EN) + " !!!";
  if (!m_strErrors.IsEmpty()) {
    if (!text.IsEmpty()) text += "\r\n\r\n";
    CString pattern = m_read.m_bStop ? LoadLangString(IDS_NC_LOAD_ERROR_CN, IDS_NC_LOAD_ERROR_EN)
                                     : LoadLangString(IDS_NC_LOAD_WARNINGS_CN, IDS_NC_LOAD_WARNINGS_EN);
    // The collected text goes in as the argument of the pattern, never as a format.
    int at = pattern.Find("%s");
    if (at >= 0) pattern = pattern.Left(at) + m_strErrors + pattern.Mid(at + 2);
    text += pattern;
  }
  ShowMessage(text, MB_OK);
}
