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
const double kZeroSweep = 1e-7;     // degrees; a smaller sweep draws nothing
const char kNumberStart[] = "+-.0123456789";
// Commands that may follow a pen command directly ("PUPA100,100;").
const char kPenFollowers[] = "VSINZZSPSUSDSZSWSAPUPDPRPAZDZUZRZAZMZW";

FormatQuestionHook g_formatQuestion = nullptr;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// The integer and real values of a command's parameters, as the C library reads them.
int IntParam(const char* params) { return std::atoi(params); }
double RealParam(const char* params) { return std::atof(params); }

// After the next "," or ";" from p (or the end).
const char* AfterSeparator(const char* p, const char* end) {
  while (p < end && *p != ',' && *p != ';') p++;
  return p < end ? p + 1 : end;
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
  CString upper(text);
  upper.MakeUpper();
  CString unknown;  // the line's unknown commands, ", " between them
  const char* p = upper;
  while (const char* semi = std::strchr(p, ';')) {
    while (IsBlank(*p)) p++;
    const char* next = semi + 1;
    if (next - p < 2) {
      p = next;
      continue;
    }
    char mnemonic[3] = {p[0], p[1], 0};
    const char* params = p + 2;  // up to and with the ";"
    int paramLength = (int)(next - params);
    bool pen = !std::strcmp(mnemonic, "PA") || !std::strcmp(mnemonic, "PR") ||
               !std::strcmp(mnemonic, "PU") || !std::strcmp(mnemonic, "PD");
    if (pen && paramLength >= 2) {
      char follower[3] = {params[0], params[1], 0};
      if (std::strstr(kPenFollowers, follower)) {
        // A pen command written straight before the next one: carry it out without
        // parameters and go on with the next command.
        params = ";";
        paramLength = 1;
        next = p + 2;
      }
    }
    CString command = CString(mnemonic) + CString(params, paramLength);

    if (!std::strcmp(mnemonic, "IN")) {
    } else if (!std::strcmp(mnemonic, "SW") || !std::strcmp(mnemonic, "SA") ||
               !std::strcmp(mnemonic, "ZW")) {
      AddTag(mnemonic, IntParam(params));
    } else if (!std::strcmp(mnemonic, "ZZ")) {
      m_nHpglMode = IntParam(params);
      if (m_nHpglMode == 0 || m_nHpglMode == 1) AddTag("ZZ", m_nHpglMode);
      if (m_nHpglMode == 1) m_bHpgl3D = 1;
    } else if (!std::strcmp(mnemonic, "SP")) {
      if (IntParam(params) != 0) {
        AddTag("T", RealParam(params));
      } else {
        AddTag("M", 2);
        m_bProgramEnd = 1;
      }
    } else if (!std::strcmp(mnemonic, "SF")) {
      if (IntParam(params) != 0) AddTag("F", RealParam(params));
    } else if (pen) {
      if (mnemonic[1] == 'A') m_bAbsolute = 1;
      if (mnemonic[1] == 'R') m_bAbsolute = 0;
      if (!std::strcmp(mnemonic, "PU")) m_bPenUp = 1;
      if (!std::strcmp(mnemonic, "PD")) m_bPenUp = 0;
      CArray<Vec3, const Vec3&> points;
      BYTE axes = 0;
      if (SplitHpglItems(points, axes, command)) ExecuteHpglPoints(points, axes, !m_bAbsolute);
    } else if (!std::strcmp(mnemonic, "AA") || !std::strcmp(mnemonic, "AR")) {
      m_bAbsolute = mnemonic[1] == 'A' ? 1 : 0;
      ExecuteHpglArc(command, !m_bAbsolute);
    } else {
      // Unknown: listed once per load; the rest of the line is dropped.
      if (m_strErrors.Find(command) < 0) {
        if (!unknown.IsEmpty()) unknown += ", ";
        unknown += command;
      }
      break;
    }
    p = next;
  }
  if (!unknown.IsEmpty()) {
    CString entry;
    entry.Format("Line %d: %s\r\n", line, unknown.GetString());
    AppendLineReport(entry);
  }
  return m_bStop ? FALSE : TRUE;
}

void CNCProgram::ExecuteHpglPoints(const CArray<Vec3, const Vec3&>& points, BYTE axes,
                                   bool relative) {
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

void CNCProgram::ExecuteHpglArc(const CString& command, bool relative) {
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

BOOL CNCProgram::SplitHpglItems(CArray<Vec3, const Vec3&>& points, BYTE& axes,
                                const CString& command) {
  const char* text = command;
  if (m_nHpglMode == -1) {
    const char* semi = std::strchr(text, ';');
    int items = semi ? 1 : 0;
    for (const char* c = text; *c && c != semi; c++)
      if (*c == ',') items++;
    if (items < 2) return FALSE;
    if (items % 6 != 0 && items % 2 == 0) {
      m_nHpglMode = 0;
    } else if (items % 6 != 0 && items % 3 == 0) {
      m_nHpglMode = 1;
    } else {
      CString question;
      if (m_nLine != -1) question.Format("[Line %d (items=%d)] ", m_nLine, items);
      question += command;
      m_nHpglMode = AskHpglFormat(question);
    }
    AddTag("ZZ", m_nHpglMode);
  }

  const char* p = std::strpbrk(text, kNumberStart);
  if (!p) return FALSE;
  const char* semi = std::strchr(p, ';');
  const char* end = semi ? semi + 1 : p + std::strlen(p);
  bool threeD = m_nHpglMode == 1;
  while (p < end) {
    Vec3 v;
    v.x = std::atof(p) * m_vHpglScale.x * m_dUnitScale;
    axes |= kAxisX;
    p = AfterSeparator(p, end);
    if (p < end) {
      v.y = std::atof(p) * m_vHpglScale.y * m_dUnitScale;
      axes |= kAxisY;
      p = AfterSeparator(p, end);
    }
    if (threeD && p < end) {
      v.z = std::atof(p) * m_vHpglScale.z * m_dUnitScale;
      axes |= kAxisZ;
      p = AfterSeparator(p, end);
    }
    points.Add(v.Scale(m_vAxisFactor));
  }
  return points.GetSize() > 0;
}

BOOL CNCProgram::ParseHpglNumberList(double& cx, double& cy, double& sweep_deg,
                                     const CString& command) {
  const char* text = command;
  const char* p = std::strpbrk(text, kNumberStart);
  if (!p) return FALSE;
  const char* semi = std::strchr(p, ';');
  const char* end = semi ? semi + 1 : p + std::strlen(p);
  cx = std::atof(p);
  const char* comma = static_cast<const char*>(std::memchr(p, ',', (size_t)(end - p)));
  if (!comma) return FALSE;
  p = comma + 1;
  cy = std::atof(p);
  sweep_deg = 0.0;
  comma = static_cast<const char*>(std::memchr(p, ',', (size_t)(end - p)));
  if (comma && std::memchr(comma, ';', (size_t)(end - comma))) sweep_deg = std::atof(comma + 1);
  return TRUE;
}
