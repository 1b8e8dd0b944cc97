// CNCProgram: construction, reset and settings, the element list, the report of a load,
// used tools, tool-group comments and comment extraction.
#include "nc/nc_program.h"

#include <cstdlib>
#include <cstring>

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "nc/read_context.h"
#include "resources/resource.h"

namespace {

// A folder setting as a folder: "\" separators and a trailing "\".
CString AsFolder(CString folder) {
  folder.Replace('/', '\\');
  if (folder.IsEmpty() || folder[folder.GetLength() - 1] != '\\') folder += '\\';
  return folder;
}

}  // namespace

void CNCReadContext::Stop(const CString& text) const {
  CString entry;
  entry.Format("Line %d: %s\r\n", m_program.m_read.m_nLine, text.GetString());
  m_program.AppendLineReport(entry, TRUE);
  m_program.m_read.m_bStop = 1;
}

CNCProgram::CNCProgram() {
  SetHpglScale(kDefaultHpglScale_mm);
  CNCProgram::Reset(nullptr);
}

CNCProgram::~CNCProgram() { FreeElements(nullptr); }

void CNCProgram::Reset(CProgressSink* progress) {
  m_dTraverseSpeed = 320.0;
  m_bIgnoreToolGroups = 0;
  m_pGCode.reset();
  const Vec3 hpglScale = m_hpgl.m_vHpglScale;
  m_read = NCReadState();
  m_hpgl = HpglState();
  m_hpgl.m_vHpglScale = hpglScale;
  ReadFolderSettings();
  m_nFirstMoveCode = -1;
  m_nOrientation = 1;
  m_dPathLength = 0.0;
  m_nTagCount = 0;
  m_strUsedTools.Empty();
  m_strErrors.Empty();
  ResetExtents();
  FreeElements(progress);
}

void CNCProgram::ReadFolderSettings() {
  m_read.m_bAbsolute = TextToBool(GetParamValueListed("UnitSystem", "XYZAbs", "enable")) ? 1 : 0;
  m_read.m_bIjkAbsolute = TextToBool(GetParamValueListed("UnitSystem", "IJKAbs", "disable")) ? 1 : 0;
  CString prefix = g_strAppFolder + "Prefix\\";
  CString wizard = g_strAppFolder + "Wizard\\";
  CreateFolderPath(prefix);
  CreateFolderPath(wizard);
  m_strPrefix = AsFolder(GetParamValueListed("ProgramPrefix", "Prefix", prefix));
  m_strWizard = AsFolder(GetParamValueListed("WizardRoot", "Wizard", wizard));
}

// Only what holds memory of its own is visited: the elements the optimiser inserted (from
// the pool) and the arena's tags (a tag may own a tool). The arena's blocks then go back
// all at once, without touching the millions of moves in them.
void CNCProgram::FreeElements(CProgressSink* progress) {
  const int count = m_aElements.GetSize();
  for (CPathElement* element : m_aPoolElements) DeleteElement(element);
  for (CPathElement* tag : m_aArenaTags) DeleteElement(tag);
  m_aPoolElements.clear();
  m_aPoolElements.shrink_to_fit();
  m_aArenaTags.clear();
  m_aArenaTags.shrink_to_fit();
  m_aElements.RemoveAll();
  m_aElements.FreeExtra();
  std::vector<MoveExtras>().swap(m_aExtras);
  m_arena.Release();
  // The steps of the display as before; the freeing is too quick to need the message
  // queue drained along the way (and a reset on a worker thread must not drain any).
  if (progress)
    for (int i = 0; i < count; i++) progress->SetProgress(i, count);
}

void CNCProgram::ReserveMemory(size_t expectedBytes) {
  size_t want = (size_t)m_aElements.GetSize() + expectedBytes / kElementBytes;
  if (want > (size_t)m_nElementLimit) want = (size_t)m_nElementLimit;
  try {
    m_aElements.Reserve((int)want);
  } catch (const std::bad_alloc&) {
  }
}

BOOL CNCProgram::KeepArenaTag(CPathTagElement* tag) {
  try {
    m_aArenaTags.push_back(tag);
  } catch (const std::bad_alloc&) {
    return FALSE;
  }
  return TRUE;
}

void CNCProgram::SetHpglScale(double scale_mm) {
  m_dHpglScale = scale_mm;
  m_hpgl.m_vHpglScale = Vec3(scale_mm, scale_mm, scale_mm);
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

BOOL CNCProgram::AppendLineReport(const CString& entry, BOOL always) {
  if (!always && m_strErrors.GetLength() >= kNCReportLimit) return FALSE;
  // The entry that ends a load stands on a line of its own, also after a loader entry or
  // a CAM record list, which have no line end.
  if (always && !m_strErrors.IsEmpty() && m_strErrors[m_strErrors.GetLength() - 1] != '\n') m_strErrors += "\r\n";
  m_strErrors += entry;
  CString tooMany = LoadLangString(IDS_NC_TOO_MANY_ERRORS_CN, IDS_NC_TOO_MANY_ERRORS_EN);
  if (m_strErrors.GetLength() + tooMany.GetLength() > kNCReportLimit && m_strErrors.Find(tooMany) < 0) {
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

BOOL CNCProgram::MakeRoom(int count) {
  if (m_aElements.GetSize() <= m_nElementLimit - count) return TRUE;
  if (!m_read.m_bStop) {
    CString text;
    text.Format(LoadLangString(IDS_NC_ELEMENT_LIMIT_CN, IDS_NC_ELEMENT_LIMIT_EN), m_nElementLimit);
    CNCReadContext(*this).Stop(text);
  }
  return FALSE;
}

BOOL CNCProgram::FailAppend(CPathElement* element, const CString& reason) {
  DeleteElement(element);
  if (!m_read.m_bStop) CNCReadContext(*this).Stop(reason);
  return FALSE;
}

void CNCProgram::InsertElements(const ElementInsertions& items) {
  if (items.empty()) return;
  int n = m_aElements.GetSize();
  int k = (int)items.size();
  m_aPoolElements.reserve(m_aPoolElements.size() + items.size());
  for (const auto& item : items)
    if (!item.second->m_byArena) m_aPoolElements.push_back(item.second);
  m_aElements.SetSize(n + k);
  // The optimiser's values move with their elements; the new elements start without.
  const bool extras = !m_aExtras.empty();
  if (extras) m_aExtras.resize((size_t)(n + k));
  CPathElement** a = m_aElements.GetData();
  MoveExtras* x = extras ? m_aExtras.data() : nullptr;
  // Merge from the back: every old element moves up by the number of new ones before it.
  int src = n - 1, dst = n + k - 1;
  for (int t = k - 1; t >= 0; t--) {
    int at = items[(size_t)t].first;
    if (at < 0) at = 0;
    if (at > n) at = n;
    for (; src >= at; src--, dst--) {
      a[dst] = a[src];
      if (x) x[dst] = x[src];
    }
    if (x) x[dst] = MoveExtras();
    a[dst--] = items[(size_t)t].second;
  }
}
