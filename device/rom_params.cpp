#include "device/rom_params.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "device/device_text.h"
#include "foundation/settings.h"
#include "foundation/texts.h"
#include "platform/bytes.h"
#include "resources/resource.h"

using device_text::CopyField;
using device_text::ToDouble;
using device_text::ToLong;

RomParamMap g_RomParamMap;

namespace {

struct TypeInfo {
  const char* name;
  char code;
};
constexpr TypeInfo kTypes[] = {{"char", 'C'},  {"byte", 'B'},  {"short", 'S'},  {"word", 'W'},  {"long", 'L'},
                               {"dword", 'D'}, {"float", 'F'}, {"double", 'U'}, {"string", 'T'}};

const char* TypeName(char code) {
  for (const TypeInfo& t : kTypes)
    if (t.code == code) return t.name;
  return "none";
}

CString Squeezed(const CString& text) {  // lowered, without blanks and tabs
  CString t(text);
  t.MakeLower();
  t.Remove(' ');
  t.Remove('\t');
  return t;
}

// Stores the value text into p by type; FALSE (p untouched) for an unknown type.
bool StoreValue(RomParam& p, const CString& type, const char* text) {
  for (const TypeInfo& t : kTypes) {
    if (type != t.name) continue;
    memset(p.value, 0, sizeof(p.value));
    p.type = t.code;
    uint32_t v = (uint32_t)ToLong(text);
    switch (t.code) {
      case 'C':
      case 'B': p.value[0] = (BYTE)v; break;
      case 'S':
      case 'W': bytes::Store16(p.value, (uint16_t)v); break;
      case 'L':
      case 'D': bytes::Store32(p.value, v); break;
      case 'F': {
        // Out-of-range values become infinities rather than undefined conversions.
        double d = ToDouble(text);
        float f = std::fabs(d) > FLT_MAX ? (d < 0 ? -HUGE_VALF : HUGE_VALF) : (float)d;
        uint32_t bits;
        memcpy(&bits, &f, sizeof(bits));
        bytes::Store32(p.value, bits);
        break;
      }
      case 'U': bytes::StoreDouble(p.value, ToDouble(text)); break;
      case 'T': CopyField((char*)p.value, kRomStringChars + 1, text); break;
    }
    return true;
  }
  return false;
}

// The value as text; chars written to files unsigned, shown signed.
CString ValueText(const RomParam& p, const CString& floatFormat, bool forFile) {
  CString s;
  switch (p.type) {
    case 'C': s.Format(forFile ? "%u" : "%d", forFile ? (unsigned)p.value[0] : (int)(signed char)p.value[0]); break;
    case 'B': s.Format("%u", (unsigned)p.value[0]); break;
    case 'S': s.Format("%d", (int16_t)bytes::Load16(p.value)); break;
    case 'W': s.Format("%u", (unsigned)bytes::Load16(p.value)); break;
    case 'L': s.Format("%d", (int32_t)bytes::Load32(p.value)); break;
    case 'D': s.Format("%lu", (unsigned long)bytes::Load32(p.value)); break;
    case 'F': {
      uint32_t bits = bytes::Load32(p.value);
      float v;
      memcpy(&v, &bits, sizeof(v));
      s.Format(floatFormat, (double)v);
      break;
    }
    case 'U': s.Format(floatFormat, bytes::LoadDouble(p.value)); break;
    case 'T': s = CString((const char*)p.value, (int)strnlen((const char*)p.value, kRomStringChars)); break;
  }
  return s;
}

}  // namespace

int RomParamFile::ParseIndex(const char* text) {
  CString t(text);
  t.TrimLeft();
  t.MakeLower();
  if (t.Left(2) != "0x" && t.Left(1) != "x") return ToLong(t);
  int at = 1;
  if (t.GetLength() > 1 && t[1] == 'x') at = 2;
  static constexpr char kDigits[] = "00112233445566778899aAbBcCdDeEfF";
  uint32_t v = 0;
  for (; at < t.GetLength(); ++at) {
    const char* hit = t[at] ? strchr(kDigits, t[at]) : nullptr;
    if (!hit) break;
    v = v * 16u + (uint32_t)((hit - kDigits) / 2);
  }
  return (int)v;
}

int RomParamFile::ParseRomLine(const char* line, RomParam* out) {
  if (!out) return 0;
  *out = RomParam();
  CString text(line);
  text.Trim();
  int eq = text.Find('=');
  if (eq < 0) return 0;

  CString indexText = Squeezed(text.Left(eq));
  CString rest = text.Mid(eq + 1);
  CString classText, typeText, valueText, description, range, list;
  int comma = rest.Find(',');
  if (comma < 0) {
    classText = rest;
  } else {
    classText = Squeezed(rest.Left(comma));
    rest = rest.Mid(comma + 1);
    comma = rest.Find(',');
    if (comma < 0) {
      typeText = rest;
    } else {
      typeText = Squeezed(rest.Left(comma));
      rest = rest.Mid(comma + 1);
      comma = rest.Find(',');
      if (comma < 0) {
        valueText = rest;
      } else {
        description = rest.Mid(comma + 1);
        description.Remove('\t');
        valueText = rest.Left(comma);
        valueText.Remove(' ');
        valueText.Remove('\t');
        if (!valueText.IsEmpty()) {
          int brace = valueText.FindOneOf("{[");
          if (brace >= 0) {
            (valueText[brace] == '[' ? range : list) = valueText.Mid(brace);
            valueText = valueText.Left(brace);
          }
          if (!IsValueAllowed(valueText, range, list)) {
            if (!m_strInvalidIndexes.IsEmpty()) m_strInvalidIndexes += ",";
            m_strInvalidIndexes += indexText;
          }
        }
      }
    }
  }

  out->index = (WORD)(ParseIndex(indexText) & 0xFFFF);
  StoreValue(*out, typeText, valueText);
  // Valid-values texts longer than their fields are cut to them.
  CopyField(out->range, sizeof(out->range), range);
  CopyField(out->list, sizeof(out->list), list);
  CopyField(out->className, sizeof(out->className), classText);
  CopyField(out->description, sizeof(out->description), description);
  return 1;
}

int RomParamFile::IsValueAllowed(const char* value, const char* range, const char* list) const {
  double v = ToDouble(value);
  if (range && *range) {
    CString r(range);
    r.Replace('|', ',');
    r.Remove('[');
    if (ToDouble(r) > v) return 0;
    int sep = r.FindOneOf(",}]");
    if (sep >= 0 && ToDouble(r.Mid(sep + 1)) < v) return 0;
    return 1;
  }
  if (list && *list) {
    CString l(list);
    l.Replace('|', ',');
    l.Remove('{');
    while (!l.IsEmpty()) {
      if (std::fabs(v - ToDouble(l)) < m_dTolerance) return 1;
      int sep = l.FindOneOf(",}]");
      if (sep < 0) break;
      l = l.Mid(sep + 1);
    }
    return 0;
  }
  return 1;
}

void RomParamFile::GetTypeAndValueText(const RomParam& p, CString& typeName, CString& valueText) const {
  typeName = TypeName(p.type);
  valueText = ValueText(p, m_strFloatFormat, false);
}

CString RomParamFile::FormatRomLine(const RomParam& p) const {
  CString className(p.className, (int)strnlen(p.className, sizeof(p.className)));
  CString line;
  line.Format("0x%02x=%s", p.index, (const char*)className);
  line += ",";
  if (p.type) line += TypeName(p.type);
  line += ",";
  CString value = ValueText(p, m_strFloatFormat, true);
  line += value;
  CString valid = p.range[0] ? CString(p.range, (int)strnlen(p.range, sizeof(p.range)))
                             : CString(p.list, (int)strnlen(p.list, sizeof(p.list)));
  if (!valid.IsEmpty()) {
    char open = p.range[0] ? '[' : '{';
    bool valueEndsOpen = !value.IsEmpty() && value[value.GetLength() - 1] == open;
    if (valid[0] != open && !valueEndsOpen) line += open;
    line += valid;
  }
  line += ",";
  line += CString(p.description, (int)strnlen(p.description, sizeof(p.description)));
  return line;
}

BOOL RomParamFile::SetValueFromText(RomParam& p, const char* typeName, const char* valueText, CString* error) const {
  CString type(typeName), value(valueText);
  type.MakeLower();
  if (type == "string") {
    // The file line drops blanks and tabs and reads "," "{" "[" as separators.
    if (value.FindOneOf(" \t,{[") >= 0) {
      if (error) error->Format(LoadLangString(IDS_ROM_BAD_TEXT_CN, IDS_ROM_BAD_TEXT_EN), (const char*)value);
      return FALSE;
    }
  } else {
    value.MakeLower();
  }
  StoreValue(p, type, value);
  return TRUE;
}

void RomParamFile::AddChoice(CStringArray& choices, const char* text) {
  CString t(text);
  for (const CString& c : choices)
    if (c.Left(t.GetLength()).CompareNoCase(t) == 0) return;
  choices.Add(t);
}

BOOL RomParamFile::LoadRomFile(const char* path) {
  m_strInvalidIndexes.Empty();
  std::vector<std::string> lines;
  if (!ProfileGetSectionLines("Parameters", lines, path) || lines.empty()) return FALSE;
  // A line with a zero byte in it would end the list there: everything behind it would
  // be lost at the next save. Such a file is refused whole.
  for (const std::string& line : lines) {
    if (line.find('\0') != std::string::npos) {
      CString text;
      text.Format(LoadLangString(IDS_ROM_NOT_WHOLE_CN, IDS_ROM_NOT_WHOLE_EN), path);
      ShowMessage(text, MB_OK);
      return FALSE;
    }
  }
  m_arrClassChoices.RemoveAll();
  m_arrTypeChoices.RemoveAll();
  m_arrClassChoices.Add("none");
  m_arrTypeChoices.Add("none");
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    g_RomParamMap.m_map.clear();
    for (const std::string& line : lines) {
      RomParam p;
      if (!ParseRomLine(line.c_str(), &p)) continue;
      CString type, value;
      GetTypeAndValueText(p, type, value);
      AddChoice(m_arrTypeChoices, type);
      AddChoice(m_arrClassChoices, p.className);
      g_RomParamMap.m_map.emplace(p.index, p);  // an index seen earlier keeps its record
    }
  }
  if (!m_strInvalidIndexes.IsEmpty()) {
    CString text;
    text.Format("%s:\r\n\r\n%s", (const char*)LoadLangString(IDS_ROM_INVALID_VALUES_CN, IDS_ROM_INVALID_VALUES_EN),
                (const char*)m_strInvalidIndexes);
    ShowMessage(text, MB_OK);
  }
  return TRUE;
}

BOOL RomParamFile::SaveRomFile(const char* path) {
  std::string section;
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    if (g_RomParamMap.m_map.empty()) return TRUE;
    for (const auto& entry : g_RomParamMap.m_map) {
      CString line = FormatRomLine(entry.second);
      section.append(line.GetString(), (size_t)line.GetLength());
      section.push_back('\0');
    }
  }
  section.push_back('\0');
  return ProfileWriteSection("Parameters", section.data(), path);
}

BOOL RomParamFile::SplitRomAnswer(const char* line, CString& indexText, CString& flagText, CString& valueText) {
  CString text(line);
  int first = text.Find(',');
  if (first < 0) return FALSE;
  int second = text.Find(',', first + 1);
  if (second < 0) return FALSE;
  indexText = text.Left(first);
  flagText = text.Mid(first + 1, second - first - 1);
  valueText = text.Mid(second + 1);
  return TRUE;
}

void RomParamFile::SetValueFromDevice(RomParam& p, const char* valueText) const {
  CString value(valueText);
  if (p.type != 'T') value.Remove(' ');  // as the file parser reads a value
  StoreValue(p, TypeName(p.type), value);
}

int RomValueLength(char type) {
  switch (type) {
    case 'L':
    case 'D':
    case 'F': return 4;
    case 'U': return 8;
    case 'T': return (int)sizeof(RomParamRequest::value);
    default: return 2;
  }
}

RomParamRequest MakeRomRequest(const RomParam& p) {
  RomParamRequest r = {};
  r.item = kRomRequestItem;
  r.index = p.index;
  r.type = (uint16_t)(BYTE)p.type;
  memcpy(r.value, p.value, (size_t)RomValueLength(p.type));
  return r;
}

int EncodeRomRequest(const RomParamRequest& request, bool reading, BYTE (&out)[kRomWriteBufferSize]) {
  memset(out, 0, sizeof(out));
  bytes::Store16(out + offsetof(RomParamRequest, item), request.item);
  bytes::Store16(out + offsetof(RomParamRequest, index), request.index);
  bytes::Store16(out + offsetof(RomParamRequest, type), request.type);
  BYTE* value = out + offsetof(RomParamRequest, value);
  if (request.type == 'T') {
    for (size_t i = 0; 2 * i < sizeof(request.value); ++i) value[2 * i] = request.value[i];
  } else {
    memcpy(value, request.value, sizeof(request.value));
  }
  return reading ? kRomReadBytes : RomValueLength((char)request.type) + kRomReadBytes;
}

BOOL RomParamFile::WriteTemplateIfMissing(const char* path) {
  if (platform::PathExists(path)) return TRUE;
  static constexpr const char* kLines[] = {
      "//Kestrada CNC Controller V EEprom data manager",
      "[Parameters]",
      "0x400\t=none, float, 1016{1016.0|1014.59|2536.49|2540.07|2540.0}, xdpi\t//4b,double,*****",
      "0x404\t=none, float, 1016{1016.0|1014.59|2536.49|2540.07|2540.0}, ydpi\t//4b,double,*****",
      "0x408\t=none, float, 1016{1016.0|1014.59|2536.49|2540.07|2540.0}, zdpi\t//4b,double,*****",
      "0x40c\t=none, float, 1016{1016.0|1014.59|2536.49|2540.07|2540.0}, rdpi\t//4b,double,*****",
      "0x450\t=none, byte, 0[0|7], uDriver\t\t\t//1b,driver type,,*****",
      "0x451\t=none, byte, 255{0|1|2|3|4|5|6|7|255}, iGearMode\t\t//1b\t\t,,*****",
      "0x452\t=none, byte, 0, bxMS_Base\t\t//1b\t\t,*****",
      "0x453\t=none, byte, 0, byMS_Base\t\t//1b\t\t,*****",
      "0x454\t=none, byte, 0, bzMS_Base\t\t//1b\t\t,*****",
      "0x455\t=none, byte, 0, brMS_Base\t\t//1b\t\t,*****",
      "0x456\t=none, byte, 0, bMaxMS_Base\t\t//1b\t\t,*****",
      "0x460\t=none, byte, 0, MAXACCE\t\t\t//2b\t\t,*****",
      "0x470\t=none, string, 0, name\t\t\t//16b\t\t,*****",
  };
  CreateFolderPath(path);
  CFile file;
  if (!file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::typeBinary)) return FALSE;
  try {
    for (const char* line : kLines) {
      file.Write(line, (UINT)strlen(line));
      file.Write("\r\n", 2);
    }
  } catch (const CFileException&) {
    file.Abort();
    return FALSE;
  }
  file.Close();
  return TRUE;
}
