#include "nc/formats/hpgl_reader.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "foundation/texts.h"
#include "nc/formats/format_question.h"
#include "resources/resource.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kZeroSweep_deg = 1e-7;  // a smaller sweep draws nothing
constexpr double kAxisAlongX = 1e-7;     // |dx| below this: the pen lies straight above or below
// Commands that may follow a pen command directly ("PUPA100,100;").
constexpr char kPenFollowers[] = "VSINZZSPSUSDSZSWSAPUPDPRPAZDZUZRZAZMZW";

FormatQuestionHook g_formatQuestion = nullptr;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Tests by hand rather than with strchr over a list: they run for every character of
// every coordinate, and the Windows C library searches byte by byte.
bool IsNumberStart(char c) { return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'; }
// What makes a number one for strtod: exponents ("d" too for the Windows C library), hex.
bool IsStrtodMark(char c) { return c == 'e' || c == 'E' || c == 'd' || c == 'D' || c == 'x' || c == 'X'; }

// Text that could have meant a command: an end-of-file mark or stray bytes after the
// last statement could not.
bool HasLetter(const std::string& text) {
  for (char c : text)
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  return false;
}

constexpr int Mnemonic(char a, char b) { return (unsigned char)a << 8 | (unsigned char)b; }

// Letters to map, or bytes of double-byte characters: only then is a copy upper-cased.
bool NeedsUpperCase(const char* text) {
  for (const unsigned char* c = (const unsigned char*)text; *c; c++)
    if ((*c >= 'a' && *c <= 'z') || *c >= 0x80) return true;
  return false;
}

// atof, with a fast path for the plain decimals plotters write. A mantissa of at most
// 15 digits is exact as a double, and one division by an exact power of ten rounds
// once, so the result is the one strtod gives; anything else goes to strtod.
double ReadNumber(const char* p) {
  static const double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const char* c = p;
  while (IsBlank(*c)) c++;
  bool negative = *c == '-';
  if (*c == '-' || *c == '+') c++;
  long long mantissa = 0;
  int digits = 0, decimals = 0;
  bool any = false;
  // Digits past the 16th are counted, not added: such numbers go to strtod anyway.
  auto add = [&](char d) {
    if (mantissa != 0 || d != '0') digits++;
    if (digits <= 16) mantissa = mantissa * 10 + (d - '0');
  };
  for (; *c >= '0' && *c <= '9'; c++, any = true) add(*c);
  if (*c == '.') {
    for (c++; *c >= '0' && *c <= '9'; c++, any = true) {
      add(*c);
      decimals++;
    }
  }
  // Exponents ("d" too for the Windows C library), hex and long mantissas: strtod.
  if (!any || digits > 15 || decimals > 15 || IsStrtodMark(*c)) return std::atof(p);
  double v = (double)mantissa / kPow10[decimals];
  return negative ? -v : v;
}

// After the next "," or ";" from p (or the end).
const char* AfterSeparator(const char* p, const char* end) {
  while (p < end && *p != ',' && *p != ';') p++;
  return p < end ? p + 1 : end;
}

// End of a command: just after its first ";", or the end of the text.
const char* CommandEnd(const char* command) {
  const char* semi = std::strchr(command, ';');
  return semi ? semi + 1 : command + std::strlen(command);
}

// The first character of a number in [text, end), or null.
const char* NumberStart(const char* text, const char* end) {
  for (const char* c = text; c < end; c++)
    if (IsNumberStart(*c)) return c;
  return nullptr;
}

// Start angle of the pen about a centre, from d = pen - centre.
double StartAngle(double dx, double dy) {
  double t = std::fabs(dx) < kAxisAlongX ? kPi / 2 : std::atan(std::fabs(dy) / std::fabs(dx));
  double s = dx < 0 ? kPi - t : t;
  return dy < 0 ? -s : s;
}

bool IsFinite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

CString NotFinite() { return LoadLangString(IDS_NC_NOT_FINITE_CN, IDS_NC_NOT_FINITE_EN); }

}  // namespace

FormatQuestionHook SetFormatQuestionHook(FormatQuestionHook hook) {
  FormatQuestionHook previous = g_formatQuestion;
  g_formatQuestion = hook;
  return previous;
}

int AskHpglFormat(const char* text) {
  if (!g_formatQuestion) return 0;
  return g_formatQuestion(text) == 1 ? 1 : 0;
}

BOOL CHpglReader::InterpretHpglLine(int line, const char* text) {
  NCReadState& read = m_ctx.State();
  HpglState& hpgl = m_ctx.Hpgl();
  if (read.m_bProgramEnd) return FALSE;
  CString upper;
  if (NeedsUpperCase(text)) {
    upper = text;
    upper.MakeUpper();
    text = upper;
  }
  CString unknown;  // the line's unknown commands, ", " between them
  CString refused;  // commands with values that are not finite numbers
  const CString& report = m_ctx.Program().GetErrors();
  const char* p = text;
  while (const char* semi = std::strchr(p, ';')) {
    while (IsBlank(*p)) p++;
    const char* next = semi + 1;
    if (next - p < 2) {
      p = next;
      continue;
    }
    // The command runs from p to its ";"; params follow the two-letter mnemonic.
    const int mnemonic = Mnemonic(p[0], p[1]);
    const char* command = p;
    const char* params = p + 2;
    char glued[4] = {p[0], p[1], ';', 0};
    bool pen = mnemonic == Mnemonic('P', 'A') || mnemonic == Mnemonic('P', 'R') || mnemonic == Mnemonic('P', 'U') ||
               mnemonic == Mnemonic('P', 'D');
    if (pen && next - params >= 2) {
      char follower[3] = {params[0], params[1], 0};
      if (std::strstr(kPenFollowers, follower)) {
        // A pen command written straight before the next one: carry it out without
        // parameters and go on with the next command.
        command = glued;
        params = glued + 2;
        next = p + 2;
      }
    }

    bool done = true;  // false: a value that is no finite number, the command refused
    switch (mnemonic) {
      case Mnemonic('I', 'N'): break;
      case Mnemonic('S', 'W'):
      case Mnemonic('S', 'A'):
      case Mnemonic('Z', 'W'): {
        char name[3] = {p[0], p[1], 0};
        m_ctx.AddTag(name, std::atoi(params));
        break;
      }
      case Mnemonic('Z', 'Z'):
        hpgl.m_nHpglMode = std::atoi(params);
        if (hpgl.m_nHpglMode == 0 || hpgl.m_nHpglMode == 1) m_ctx.AddTag("ZZ", hpgl.m_nHpglMode);
        if (hpgl.m_nHpglMode == 1) hpgl.m_bHpgl3D = 1;
        break;
      case Mnemonic('S', 'P'):
        if (std::atoi(params) != 0) {
          double tool = ReadNumber(params);
          done = std::isfinite(tool);
          if (done) m_ctx.AddTag("T", tool);
        } else {
          m_ctx.AddTag("M", 2);
          read.m_bProgramEnd = 1;
        }
        break;
      case Mnemonic('S', 'F'):
        if (std::atoi(params) != 0) {
          double feed = ReadNumber(params);
          done = std::isfinite(feed);
          if (done) m_ctx.AddTag("F", feed);
        }
        break;
      case Mnemonic('P', 'A'):
      case Mnemonic('P', 'R'):
      case Mnemonic('P', 'U'):
      case Mnemonic('P', 'D'): {
        if (mnemonic == Mnemonic('P', 'A')) read.m_bAbsolute = 1;
        if (mnemonic == Mnemonic('P', 'R')) read.m_bAbsolute = 0;
        if (mnemonic == Mnemonic('P', 'U')) hpgl.m_bPenUp = 1;
        if (mnemonic == Mnemonic('P', 'D')) hpgl.m_bPenUp = 0;
        m_aPoints.RemoveAll();  // keeps its room for the next list
        BYTE axes = 0;
        if (SplitHpglItems(m_aPoints, axes, command)) done = ExecutePoints(m_aPoints, axes, !read.m_bAbsolute);
        break;
      }
      case Mnemonic('A', 'A'):
      case Mnemonic('A', 'R'):
        read.m_bAbsolute = mnemonic == Mnemonic('A', 'A') ? 1 : 0;
        done = ExecuteArc(command, !read.m_bAbsolute);
        break;
      default: {
        // Unknown: listed once per load; the rest of the text is dropped.
        CString item(command, (int)(next - command));
        if (report.Find(item) < 0) {
          if (!unknown.IsEmpty()) unknown += ", ";
          unknown += item;
        }
        next = nullptr;
        break;
      }
    }
    if (!done) {
      CString item;
      item.Format("<%s>%s", CString(command, (int)(next - command)).GetString(), NotFinite().GetString());
      if (!refused.IsEmpty()) refused += ", ";
      refused += item;
    }
    if (!next || read.m_bStop) break;
    p = next;
  }
  if (!unknown.IsEmpty() || !refused.IsEmpty()) {
    CString entry;
    entry.Format("Line %d: %s%s%s\r\n", line, unknown.GetString(), unknown.IsEmpty() || refused.IsEmpty() ? "" : ", ",
                 refused.GetString());
    m_ctx.AppendLineReport(entry);
  }
  return read.m_bStop ? FALSE : TRUE;
}

bool CHpglReader::ExecutePoints(const CArray<Vec3, const Vec3&>& points, BYTE axes, bool relative) {
  NCReadState& read = m_ctx.State();
  // All or nothing: a list with a point that is no finite number moves nowhere.
  Vec3 at = read.m_vNewPoint;
  for (int i = 0; i < points.GetSize(); i++) {
    if (relative)
      at += points[i];
    else
      at = points[i];
    if (!IsFinite(at)) return false;
  }
  const WORD code = m_ctx.Hpgl().m_bPenUp ? kCodeRapid : kCodeFeed;
  for (int i = 0; i < points.GetSize() && !read.m_bStop; i++) {
    read.m_vLastPoint = read.m_vNewPoint;
    read.m_vNewPoint = points[i];
    if (relative) read.m_vNewPoint += read.m_vLastPoint;
    if (!(axes & kAxisX)) read.m_vNewPoint.x = read.m_vLastPoint.x;
    if (!(axes & kAxisY)) read.m_vNewPoint.y = read.m_vLastPoint.y;
    if (!(axes & kAxisZ)) read.m_vNewPoint.z = read.m_vLastPoint.z;
    m_ctx.AddLine(code, axes, read.m_vNewPoint);
  }
  return true;
}

bool CHpglReader::ExecuteArc(const char* command, bool relative) {
  NCReadState& read = m_ctx.State();
  const Vec3& scale = m_ctx.Hpgl().m_vHpglScale;
  double cx, cy, sweep_deg;
  if (!ParseHpglNumberList(cx, cy, sweep_deg, command)) return true;
  // A sweep of nothing is no arc (and not a full circle).
  if (std::fabs(sweep_deg) <= kZeroSweep_deg) return true;
  cx *= scale.x * read.m_vAxisFactor.x * read.m_dUnitScale;
  cy *= scale.y * read.m_vAxisFactor.y * read.m_dUnitScale;
  const Vec3 pen = read.m_vNewPoint;
  // Centre and end; for AR relative to the pen until the end.
  Vec3 center(cx, cy, 0);
  double dx_mm = relative ? -cx : pen.x - cx;
  double dy_mm = relative ? -cy : pen.y - cy;
  double radius_mm = std::sqrt(dx_mm * dx_mm + dy_mm * dy_mm);
  double end_rad = StartAngle(dx_mm, dy_mm) + sweep_deg * kPi / 180;
  Vec3 end(center.x + radius_mm * std::cos(end_rad), center.y + radius_mm * std::sin(end_rad), 0);
  if (relative) {
    end += pen;
    center += pen;
  }
  end.z = pen.z;
  if (!IsFinite(end) || !IsFinite(center) || !std::isfinite(sweep_deg)) return false;

  read.m_vLastPoint = read.m_vNewPoint;
  read.m_vNewPoint = end;
  m_ctx.AddArc(sweep_deg > kZeroSweep_deg ? kCodeArcCCW : kCodeArcCW, kPlaneXY, kAxesXY, end, center);
  return true;
}

BOOL CHpglReader::SplitHpglItems(CArray<Vec3, const Vec3&>& points, BYTE& axes, const char* command) {
  NCReadState& read = m_ctx.State();
  HpglState& hpgl = m_ctx.Hpgl();
  const char* end = CommandEnd(command);
  if (hpgl.m_nHpglMode == -1) {
    // Separators: the commas before the ";" and the ";" itself.
    int items = end[-1] == ';' ? 1 : 0;
    for (const char* c = command; c < end; c++)
      if (*c == ',') items++;
    if (items < 2) return FALSE;
    if (items % 6 != 0 && items % 2 == 0) {
      hpgl.m_nHpglMode = 0;
    } else if (items % 6 != 0 && items % 3 == 0) {
      hpgl.m_nHpglMode = 1;
    } else {
      CString question;
      if (read.m_nLine != -1) question.Format("[Line %d (items=%d)] ", read.m_nLine, items);
      question += CString(command, (int)(end - command));
      hpgl.m_nHpglMode = AskHpglFormat(question);
    }
    m_ctx.AddTag("ZZ", hpgl.m_nHpglMode);
  }

  const char* p = NumberStart(command, end);
  if (!p) return FALSE;
  const bool threeD = hpgl.m_nHpglMode == 1;
  const Vec3& scale = hpgl.m_vHpglScale;
  while (p < end) {
    Vec3 v;
    v.x = ReadNumber(p) * scale.x * read.m_dUnitScale;
    axes |= kAxisX;
    p = AfterSeparator(p, end);
    if (p < end) {
      v.y = ReadNumber(p) * scale.y * read.m_dUnitScale;
      axes |= kAxisY;
      p = AfterSeparator(p, end);
    }
    if (threeD && p < end) {
      v.z = ReadNumber(p) * scale.z * read.m_dUnitScale;
      axes |= kAxisZ;
      p = AfterSeparator(p, end);
    }
    points.Add(v.Scale(read.m_vAxisFactor));
  }
  return points.GetSize() > 0;
}

BOOL CHpglReader::ParseHpglNumberList(double& cx, double& cy, double& sweep_deg, const char* command) {
  const char* end = CommandEnd(command);
  const char* p = NumberStart(command, end);
  if (!p) return FALSE;
  cx = ReadNumber(p);
  const char* comma = static_cast<const char*>(std::memchr(p, ',', (size_t)(end - p)));
  if (!comma) return FALSE;
  p = comma + 1;
  cy = ReadNumber(p);
  sweep_deg = 0.0;
  comma = static_cast<const char*>(std::memchr(p, ',', (size_t)(end - p)));
  if (comma && end[-1] == ';') sweep_deg = ReadNumber(comma + 1);
  return TRUE;
}

CHpglStatementReader::Result CHpglStatementReader::Next(std::string& statement, int* line) {
  statement.clear();
  bool started = false, tooLong = false, nul = false;
  for (;;) {
    int c = m_file.ReadByte();
    if (c < 0) return started && HasLetter(statement) ? kUnterminated : kEnd;
    if (c == '\r' || c == '\n') {
      if (c == '\r' && m_file.PeekByte() == '\n') m_file.ReadByte();
      m_nLine++;
      continue;
    }
    if (!started) {
      if (IsBlank((char)c)) continue;
      started = true;
      *line = m_nLine;
    }
    if (c == 0) nul = true;
    if ((int)statement.size() < kMaxHpglStatement)
      statement += (char)c;
    else
      tooLong = true;
    if (c == ';') {
      // The line end right after a statement belongs to it: the position then counts
      // the whole line as read.
      int next = m_file.PeekByte();
      if (next == '\r' || next == '\n') {
        m_file.ReadByte();
        if (next == '\r' && m_file.PeekByte() == '\n') m_file.ReadByte();
        m_nLine++;
      }
      return nul ? kNul : tooLong ? kTooLong : kStatement;
    }
  }
}
