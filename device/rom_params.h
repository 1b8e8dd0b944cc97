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

// One read or write request for the controller, as it travels (little-endian).
#pragma pack(push, 1)
struct RomParamRequest {
  uint16_t item;   //  0: always kRomRequestItem
  uint16_t index;  //  2: the parameter's index
  uint16_t type;   //  4: its type code, 0 for none
  BYTE value[36];  //  6: the first RomValueLength bytes of the value, the rest zero
};
#pragma pack(pop)
static_assert(sizeof(RomParamRequest) == 42, "ROM request is 42 bytes");
static_assert(offsetof(RomParamRequest, type) == 4, "layout");
static_assert(offsetof(RomParamRequest, value) == 6, "layout");

constexpr WORD kRomRequestItem = 18;  // the query item of a ROM parameter
constexpr WORD kRomReadCode = 32;     // DT_OW: a read goes as a status query
constexpr WORD kRomWriteCode = 144;   // DT_OT: a write goes as a controller command
constexpr int kRomReadBytes = 38;     // a read sends the request's first 38 bytes
// A write sends value length + 38 bytes counted from the request's start, which for a
// double (46) or a string (74) runs past the 42-byte request: the controller expects
// that length. The bytes are taken from a zeroed buffer of the longest write.
constexpr int kRomWriteBufferSize = kRomReadBytes + (int)sizeof(RomParamRequest::value);

// Bytes of the value a request carries, by type code: 2 for char, byte, short, word and
// none; 4 for long, dword and float; 8 for double; 36 for string.
int RomValueLength(char type);
// The request for a parameter: its index, type code and value.
RomParamRequest MakeRomRequest(const RomParam& p);
// The bytes of a read (reading) or write request as they go to the controller: a string's
// characters spread into 16-bit units (character i at byte 2i of the value). out is
// zero-filled first; returns the count to send. The request itself is not changed, so a
// resend sends the same bytes.
int EncodeRomRequest(const RomParamRequest& request, bool reading, BYTE (&out)[kRomWriteBufferSize]);

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
  // A controller's answer line "<letter><index>,<flag>,<value>" split at its first two
  // commas (the value keeps any further ones); FALSE, outputs untouched, without two.
  static BOOL SplitRomAnswer(const char* line, CString& indexText, CString& flagText, CString& valueText);
  // The parameter's value from a controller's value text, read by the parameter's own
  // type as the file parser reads it; type and the other fields stay.
  void SetValueFromDevice(RomParam& p, const char* valueText) const;
  // Writes the built-in template to path when no file is there.
  static BOOL WriteTemplateIfMissing(const char* path);

  // State the operations share with the dialog.
  CString m_strFloatFormat = "%.8f";
  double m_dTolerance = 1e-9;   // list entries match within this
  CString m_strInvalidIndexes;  // index texts of the lines whose value is not allowed
  CStringArray m_arrClassChoices;
  CStringArray m_arrTypeChoices;

 protected:
  // Adds text unless a choice starts with it (any case).
  static void AddChoice(CStringArray& choices, const char* text);
};
