// CNCProgram: construction, reset and settings, the element list, the report of a load,
// used tools, tool-group comments and comment extraction.
#include "nc/nc_program.h"

#include <cstdlib>
#include <cstring>

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "resources/resource.h"

namespace {
const int kReportLimit = 2048;  // characters of the report beyond which no line is added

// A folder setting as a folder: "\" separators and a trailing "\".
CString AsFolder(CString folder) {
  folder.Replace('/', '\\');
  if (folder.IsEmpty() || folder[folder.GetLength() - 1] != '\\') folder += '\\';
  return folder;
}

// Reads a key of "Parameters.ini" and writes the value back, so the file lists it.
CString ReadParam(const char* section, const char* key, const char* def) {
  CString value = GetParamValue(section, key, def);
  PutParamValue(section, key, value);
  return value;
}
}  // namespace

CNCProgram::CNCProgram() {
  std::memset(m_abyRecord, 0, sizeof m_abyRecord);
  m_dArcTolerance = 0.005;
  SetHpglScale(0.005);
  Reset(nullptr);
}

CNCProgram::~CNCProgram() { FreeElements(nullptr); }

void CNCProgram::Reset(CProgressSink* progress) {
  m_dTraverseSpeed = 320.0;
  m_bIgnoreToolGroups = 0;
  m_pGCode.reset();
  m_pGCode = CreateGCodeReader(*this);
  ReadFolderSettings();
  m_bWordSeen = 0;
  m_nFirstMoveCode = -1;
  m_nLine = -1;
  m_vAxisFactor = Vec3(1.0, 1.0, 1.0);
  m_nOrientation = 1;
  m_dPathLength = 0.0;
  try {
    m_camFile.Close();
  } catch (const CFileException&) {
  }
  m_bHpgl3D = 0;
  m_nTagCount = 0;
  m_strUsedTools.Empty();
  m_byPlane = 0;
  m_nHpglMode = -1;
  m_bProgramEnd = 0;
  m_bStop = 0;
  m_dUnitScale = 1.0;
  m_vLastPoint = Vec3();
  m_vNewPoint = Vec3();
  m_bPenUp = 1;
  m_strErrors.Empty();
  ResetExtents();
  FreeElements(progress);
}

void CNCProgram::ReadFolderSettings() {
  m_bAbsolute = TextToBool(ReadParam("UnitSystem", "XYZAbs", "enable")) ? 1 : 0;
  m_bIjkAbsolute = TextToBool(ReadParam("UnitSystem", "IJKAbs", "disable")) ? 1 : 0;
  CString prefix = g_strAppFolder + "Prefix\\";
  CString wizard = g_strAppFolder + "Wizard\\";
  CreateFolderPath(prefix);
  CreateFolderPath(wizard);
  m_strPrefix = AsFolder(ReadParam("ProgramPrefix", "Prefix", prefix));
  m_strWizard = AsFolder(ReadParam("WizardRoot", "Wizard", wizard));
}

void CNCProgram::FreeElements(CProgressSink* progress) {
  int count = m_aElements.GetSize();
  for (int i = 0; i < count; i++) {
    delete m_aElements[i];
    m_aElements[i] = nullptr;
    if (progress) progress->SetProgress(i, count);
    if ((i + 1) % 200 == 0) platform::PumpMessages();
  }
  m_aElements.RemoveAll();
  m_aElements.FreeExtra();
}

void CNCProgram::SetHpglScale(double scale) {
  m_dHpglScale = scale;
  m_vHpglScale = Vec3(scale, scale, scale);
}

void CNCProgram::SetToolGroups(const CStringArray& groups) {
  for (int i = 0; i < groups.GetSize(); i++) ParseToolGroupComment(groups[i]);
  if (groups.GetSize() > 0) m_bIgnoreToolGroups = 1;
}

void CNCProgram::ParseToolGroupComment(const char* comment) {
  CString text(comment);
  if (!text.IsEmpty() && text[0] == '(') text = text.Mid(1);
  int close = text.Find(')');
  if (close >= 0) text = text.Left(close);
  text.Remove(' ');
  text.Remove('\t');
  text.Trim();
  text.MakeUpper();
  if (m_bIgnoreToolGroups || text.Left(4) != "@T@T") return;
  int group = std::atoi(text.Mid(4));
  if (group == 0) return;
  DWORD mask = 0;
  int colon = text.Find(':');
  if (colon >= 0) {
    CString heads = text.Mid(colon + 1);
    int pos = 0;
    while (pos >= 0) {
      CString head = heads.Tokenize(",", pos);
      if (pos < 0) break;
      int h = std::atoi(head);
      if (h > 0) mask |= 1u << ((h - 1) % 32);
    }
  }
  if (mask != 0) AddTag("@T", (double)mask + group / 100.0 + 0.0001);
}

CString CNCProgram::ExtractComment(char* line, char open, char close) {
  char* start = std::strchr(line, open);
  if (!start) return CString();
  int depth = 1;
  for (char* p = start + 1; *p; p++) {
    if (*p == open) {
      depth++;
    } else if (*p == close && --depth == 0) {
      CString comment(start + 1, (int)(p - start - 1));
      std::memmove(start, p + 1, std::strlen(p + 1) + 1);
      return comment;
    }
  }
  CString comment(start + 1);
  *start = '\0';
  return comment;
}

BOOL CNCProgram::AppendLineReport(const CString& entry) {
  if (m_strErrors.GetLength() >= kReportLimit) return FALSE;
  m_strErrors += entry;
  CString tooMany = LoadLangString(IDS_NC_TOO_MANY_ERRORS_CN, IDS_NC_TOO_MANY_ERRORS_EN);
  if (m_strErrors.GetLength() + tooMany.GetLength() > kReportLimit) {
    m_strErrors += "\r\n";
    m_strErrors += tooMany;
  }
  return TRUE;
}

void CNCProgram::AppendLoadError(const CString& text) {
  if (!m_strErrors.IsEmpty()) m_strErrors += "\r\n";
  m_strErrors += text;
}

BOOL CNCProgram::HasUsedTool(int tool) const {
  // Entries are "T<number>" run together; compare whole numbers so that T1 is not
  // taken for the start of T10.
  const char* p = m_strUsedTools;
  while ((p = std::strchr(p, 'T')) != nullptr) {
    char* end;
    long n = std::strtol(p + 1, &end, 10);
    if (end != p + 1 && n == tool) return TRUE;
    p = end != p + 1 ? end : p + 1;
  }
  return FALSE;
}

BOOL CNCProgram::AddUsedTool(int tool) {
  if (HasUsedTool(tool)) return FALSE;
  m_strUsedTools.AppendFormat("T%d", tool);
  return TRUE;
}

BOOL CNCProgram::InterpretLine(int line, char* text) { return m_pGCode ? m_pGCode->InterpretLine(line, text) : FALSE; }
