#include "device/link_helpers.h"

#include <cstring>

#include "device/device_text.h"

namespace {
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }
}  // namespace

int ParseTag(const char* text, int textLength, const char* tag, char* value, int size, int32_t* number) {
  if (!text || !tag || !*tag || size <= 0 || textLength <= 0) return 0;
  int tagLength = (int)strlen(tag);
  if (tagLength + 2 >= textLength) return 0;
  for (int at = 0; at <= textLength - tagLength - 3; ++at) {
    int i = 0;
    while (i < tagLength && Lower(text[at + i]) == Lower(tag[i])) ++i;
    if (i < tagLength || text[at + tagLength] != '[') continue;
    // The value runs to "]" or NUL, never past the text's length.
    const char* start = text + at + tagLength + 1;
    const char* end = text + textLength;
    int n = 0;
    while (start + n < end && start[n] != ']' && start[n] != '\0' && n < size - 1) ++n;
    if (n == 0) return 0;
    if (value) {
      memcpy(value, start, (size_t)n);
      value[n] = '\0';
    }
    if (number) {
      std::string copy(start, (size_t)n);
      *number = device_text::ToLong(copy.c_str());
    }
    return n;
  }
  return 0;
}

BYTE ReplyLineSum(const char* text, int length) {
  BYTE sum = 0;
  for (int i = 0; i < length; ++i) sum = (BYTE)(sum + (BYTE)text[i]);
  return sum;
}

CString MakeReplyLine(const char* text) {
  CString line = CString(text ? text : "") + " ";
  CString digits;
  digits.Format("%02X;", (unsigned)ReplyLineSum(line, line.GetLength()));
  return line + digits;
}
