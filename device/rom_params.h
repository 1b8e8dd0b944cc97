// Controller ROM parameters and their ".rom" files.
//
// A ".rom" file is INI text whose section [Parameters] holds one line per parameter:
//   index = class, type, value{valid|values} or value[min|max], description
// The operations live in RomParamFile so that they build and test without a window;
// the Device Configuration dialog derives from it and adds the exchange with the
// controller.
#pragma once

#include <map>

#include "platform/core.h"

constexpr int kRomStringChars = 16;  // characters of a string value

// One parameter.
struct RomParam {
  WORD index = 0;           // the controller's parameter index; key of the map
  char type = 0;            // 'C','B','S','W','L','D','F','U','T' or 0 for none
  BYTE value[36] = {};      // binary value at the start (width by type, little-endian); strings NUL-padded
  char range[128] = {};     // "[min|max]" or empty
  char list[256] = {};      // "{v|v|...}" or empty
  char className[20] = {};  // "none" when the parameter has no class
  char description[256] = {};
};

// All parameters known to the program, by ascending index. The mutex guards the map
// for one load, save, listing, edit or answer.
struct RomParamMap {
  std::map<WORD, RomParam> m_map;
  CMutex m_mutex;
};
extern RomParamMap g_RomParamMap;

constexpr char kRomTemplateName[] = "basic.rom";

class RomParamFile {
 public:
  RomParamFile() = default;
  virtual ~RomParamFile() = default;

  // "0x1f", "x1f" (hexadecimal) or "31" (decimal).
  static int ParseIndex(const char* text);
  // 1 when the line has an "=" and was taken into *out (zero-filled first in any case).
  int ParseRomLine(const char* line, RomParam* out);
  // 1 when the value lies in the range or is one of the list (neither: allowed).
  int IsValueAllowed(const char* value, const char* range, const char* list) const;
  // Type name ("none" for none) and the value as the dialog shows it.
  void GetTypeAndValueText(const RomParam& p, CString& typeName, CString& valueText) const;
  // The record as one line of the [Parameters] section.
  CString FormatRomLine(const RomParam& p) const;
  // Type and value from texts, as the parser reads them (the type name in any case); an
  // unknown type changes nothing. A string value keeps its case and is refused (FALSE,
  // p unchanged, *error the message) when it holds a character the file line cannot
  // carry back: a blank, a tab, ",", "{" or "[".
  BOOL SetValueFromText(RomParam& p, const char* typeName, const char* valueText, CString* error = nullptr) const;
  // Replaces the map by the file's parameters, every line of the section, and reports
  // invalid values in a message box. A file that cannot be read whole (a line holding a
  // zero byte) is refused with a message and changes nothing; so is one without the
  // section. TRUE when the map was replaced.
  BOOL LoadRomFile(const char* path);
  // Writes the whole map into the file's section [Parameters], through a temporary file
  // that replaces the old one at once. TRUE when written (or the map is empty and
  // nothing was to be written); FALSE when the file could not be written, which then
  // stays as it was.
  BOOL SaveRomFile(const char* path);
  // Writes the built-in template to path when no file is there.
  static BOOL WriteTemplateIfMissing(const char* path);

  // State the operations share with the dialog.
  CString m_strFloatFormat = "%.8f";
  double m_dTolerance = 1e-9;   // list entries match within this
  CString m_strInvalidIndexes;  // index texts of the lines whose value is not allowed
  CStringArray m_arrClassChoices;
  CStringArray m_arrTypeChoices;

 private:
  static void AddChoice(CStringArray& choices, const char* text);
};
