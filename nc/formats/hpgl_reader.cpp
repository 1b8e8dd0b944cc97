// The HPGL reader: plotter commands of one line into path elements and tags.
//
// Pen-up moves become rapids, pen-down moves feeds, AA/AR arcs arcs in the XY plane;
// a few parameter commands become tags that the job engine passes on to the controller.
// Coordinates are plotter units (m_vHpglScale mm each); whether a coordinate list holds
// 2D or 3D points is settled once per file, from ZZ, from the first list, or by asking.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "foundation/texts.h"
#include "nc/formats/format_question.h"
#include "nc/nc_program.h"

namespace {

const double kPi = 3.141592653589793;
const double kZeroSweep = 1e-7;  // degrees; a smaller sweep draws nothing
const char kNumberStart[] = "+-.0123456789";
// Commands that may follow a pen command directly ("PUPA100,100;").
const char kPenFollowers[] = "VSINZZSPSUSDSZSWSAPUPDPRPAZDZUZRZAZMZW";

FormatQuestionHook g_formatQuestion = nullptr;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

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
  if (!any || digits > 15 || decimals > 15 || (*c && std::strchr("eEdDxX", *c))) return std::atof(p);
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
    if (std::strchr(kNumberStart, *c) && *c) return c;
  return nullptr;
}

// Start angle of the pen about a centre, from d = pen - centre.
double StartAngle(double dx, double dy) {
  double t = std::fabs(dx) < 1e-7 ? kPi / 2 : std::atan(std::fabs(dy) / std::fabs(dx));
  double s = dx < 0 ? kPi - t : t;
  return dy < 0 ? -s : s;
}

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

BOOL CNCProgram::InterpretHpglLine(int line, const char* text) {
  if (m_bProgramEnd) return FALSE;
  CString upper;
  if (NeedsUpperCase(text)) {
    upper = text;
    upper.MakeUpper();
    text = upper;
  }
  CString unknown;  // the line's unknown commands, ", " between them
  CArray<Vec3, const Vec3&> points;
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

    switch (mnemonic) {
      case Mnemonic('I', 'N'): break;
      case Mnemonic('S', 'W'):
      case Mnemonic('S', 'A'):
      case Mnemonic('Z', 'W'): {
        char name[3] = {p[0], p[1], 0};
        AddTag(name, std::atoi(params));
        break;
      }
      case Mnemonic('Z', 'Z'):
        m_nHpglMode = std::atoi(params);
        if (m_nHpglMode == 0 || m_nHpglMode == 1) AddTag("ZZ", m_nHpglMode);
        if (m_nHpglMode == 1) m_bHpgl3D = 1;
        break;
      case Mnemonic('S', 'P'):
        if (std::atoi(params) != 0) {
          AddTag("T", ReadNumber(params));
        } else {
          AddTag("M", 2);
          m_bProgramEnd = 1;
        }
        break;
      case Mnemonic('S', 'F'):
        if (std::atoi(params) != 0) AddTag("F", ReadNumber(params));
        break;
      case Mnemonic('P', 'A'):
      case Mnemonic('P', 'R'):
      case Mnemonic('P', 'U'):
      case Mnemonic('P', 'D'): {
        if (mnemonic == Mnemonic('P', 'A')) m_bAbsolute = 1;
        if (mnemonic == Mnemonic('P', 'R')) m_bAbsolute = 0;
        if (mnemonic == Mnemonic('P', 'U')) m_bPenUp = 1;
        if (mnemonic == Mnemonic('P', 'D')) m_bPenUp = 0;
        points.RemoveAll();
        BYTE axes = 0;
        if (SplitHpglItems(points, axes, command)) ExecuteHpglPoints(points, axes, !m_bAbsolute);
        break;
      }
      case Mnemonic('A', 'A'):
      case Mnemonic('A', 'R'):
        m_bAbsolute = mnemonic == Mnemonic('A', 'A') ? 1 : 0;
        ExecuteHpglArc(command, !m_bAbsolute);
        break;
      default: {
        // Unknown: listed once per load; the rest of the line is dropped.
        CString item(command, (int)(next - command));
        if (m_strErrors.Find(item) < 0) {
          if (!unknown.IsEmpty()) unknown += ", ";
          unknown += item;
        }
        next = nullptr;
        break;
      }
    }
    if (!next) break;
    p = next;
  }
  if (!unknown.IsEmpty()) {
    CString entry;
    entry.Format("Line %d: %s\r\n", line, unknown.GetString());
    AppendLineReport(entry);
  }
  return m_bStop ? FALSE : TRUE;
}

void CNCProgram::ExecuteHpglPoints(const CArray<Vec3, const Vec3&>& points, BYTE axes, bool relative) {
  for (int i = 0; i < points.GetSize(); i++) {
    m_vLastPoint = m_vNewPoint;
    m_vNewPoint = points[i];
    if (relative) m_vNewPoint += m_vLastPoint;
    if (!(axes & kAxisX)) m_vNewPoint.x = m_vLastPoint.x;
    if (!(axes & kAxisY)) m_vNewPoint.y = m_vLastPoint.y;
    if (!(axes & kAxisZ)) m_vNewPoint.z = m_vLastPoint.z;
    AddLine(m_bPenUp ? kCodeRapid : kCodeFeed, axes, m_vNewPoint);
  }
}

void CNCProgram::ExecuteHpglArc(const char* command, bool relative) {
  double cx, cy, sweep_deg;
  if (!ParseHpglNumberList(cx, cy, sweep_deg, command)) return;
  // A sweep of nothing is no arc (and not a full circle).
  if (std::fabs(sweep_deg) <= kZeroSweep) return;
  cx *= m_vHpglScale.x * m_vAxisFactor.x * m_dUnitScale;
  cy *= m_vHpglScale.y * m_vAxisFactor.y * m_dUnitScale;
  const Vec3 pen = m_vNewPoint;
  // Centre and end; for AR relative to the pen until the end.
  Vec3 center(cx, cy, 0);
  double dx = relative ? -cx : pen.x - cx;
  double dy = relative ? -cy : pen.y - cy;
  double radius = std::sqrt(dx * dx + dy * dy);
  double end_angle = StartAngle(dx, dy) + sweep_deg * kPi / 180;
  Vec3 end(center.x + radius * std::cos(end_angle), center.y + radius * std::sin(end_angle), 0);

  m_vLastPoint = m_vNewPoint;
  if (relative) {
    end += m_vLastPoint;
    center += m_vLastPoint;
  }
  end.z = m_vLastPoint.z;
  m_vNewPoint = end;
  AddArc(sweep_deg > kZeroSweep ? kCodeArcCCW : kCodeArcCW, 0, kAxesXY, end, center);
}

BOOL CNCProgram::SplitHpglItems(CArray<Vec3, const Vec3&>& points, BYTE& axes, const char* command) {
  const char* end = CommandEnd(command);
  if (m_nHpglMode == -1) {
    // Separators: the commas before the ";" and the ";" itself.
    int items = end[-1] == ';' ? 1 : 0;
    for (const char* c = command; c < end; c++)
      if (*c == ',') items++;
    if (items < 2) return FALSE;
    if (items % 6 != 0 && items % 2 == 0) {
      m_nHpglMode = 0;
    } else if (items % 6 != 0 && items % 3 == 0) {
      m_nHpglMode = 1;
    } else {
      CString question;
      if (m_nLine != -1) question.Format("[Line %d (items=%d)] ", m_nLine, items);
      question += CString(command, (int)(end - command));
      m_nHpglMode = AskHpglFormat(question);
    }
    AddTag("ZZ", m_nHpglMode);
  }

  const char* p = NumberStart(command, end);
  if (!p) return FALSE;
  bool threeD = m_nHpglMode == 1;
  while (p < end) {
    Vec3 v;
    v.x = ReadNumber(p) * m_vHpglScale.x * m_dUnitScale;
    axes |= kAxisX;
    p = AfterSeparator(p, end);
    if (p < end) {
      v.y = ReadNumber(p) * m_vHpglScale.y * m_dUnitScale;
      axes |= kAxisY;
      p = AfterSeparator(p, end);
    }
    if (threeD && p < end) {
      v.z = ReadNumber(p) * m_vHpglScale.z * m_dUnitScale;
      axes |= kAxisZ;
      p = AfterSeparator(p, end);
    }
    points.Add(v.Scale(m_vAxisFactor));
  }
  return points.GetSize() > 0;
}

BOOL CNCProgram::ParseHpglNumberList(double& cx, double& cy, double& sweep_deg, const char* command) {
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
