#include "engine/protocol/reply_line.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A decimal number at p: blanks, a sign, digits with one optional point, an optional
// exponent. Nothing else is taken (no hexadecimal, no "INF"): 0 when no digit follows.
double ReadDecimal(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  const char* start = p;
  if (*p == '+' || *p == '-') ++p;
  bool digits = false;
  while (isdigit((unsigned char)*p)) ++p, digits = true;
  if (*p == '.') {
    ++p;
    while (isdigit((unsigned char)*p)) ++p, digits = true;
  }
  if (!digits) return 0.0;
  if (*p == 'E' || *p == 'e') {
    const char* e = p + 1;
    if (*e == '+' || *e == '-') ++e;
    if (isdigit((unsigned char)*e)) {
      while (isdigit((unsigned char)*e)) ++e;
      p = e;
    }
  }
  CString number(start, (int)(p - start));
  return strtod(number, nullptr);
}

}  // namespace

ReplyLineResult CReplyLineReader::Feed(char c) {
  if (m_nLength >= kReplyLineMax) {
    m_nLength = 0;
    ++m_nOverflows;
  }
  m_szLine[m_nLength++] = c;
  m_szLine[m_nLength] = 0;
  if (c != ';') return kReplyCollecting;
  ReplyLineResult result = Finish();
  m_nLength = 0;
  return result;
}

// A good line is "<text> <h><h>;" with at least one text character. The sum runs over
// the text and its blank.
ReplyLineResult CReplyLineReader::Finish() {
  int n = m_nLength;
  if (n < 5 || m_szLine[n - 4] != ' ') return kReplyMalformed;
  int high = HexDigit(m_szLine[n - 3]);
  int low = HexDigit(m_szLine[n - 2]);
  if (high < 0 || low < 0) return kReplyMalformed;
  if (ReplyLineSum(m_szLine, n - 3) != (BYTE)(high * 16 + low)) return kReplyBadSum;
  memcpy(m_szText, m_szLine, (size_t)(n - 3));
  m_szText[n - 3] = 0;
  return kReplyGood;
}

bool ParsePosition(const char* line, Vec3& out) {
  out = Vec3();
  CString upper(line ? line : "");
  upper.MakeUpper();
  double* axes[3] = {&out.x, &out.y, &out.z};
  const char letters[3] = {'X', 'Y', 'Z'};
  for (int i = 0; i < 3; ++i) {
    int at = upper.Find(letters[i]);
    if (at < 0) return false;
    *axes[i] = ReadDecimal((const char*)upper + at + 1);
  }
  return true;
}

int GetVersionNumber(const char* modelText) {
  CString text(modelText ? modelText : "");
  text.Trim();
  text.MakeUpper();
  text.Remove(' ');
  text.Remove('\t');
  if (text.GetLength() < 2) return 0;
  long number = strtol((const char*)text + 1, nullptr, 10);  // saturates where atoi would overflow
  if (number > INT_MAX) return INT_MAX;
  if (number < INT_MIN) return INT_MIN;
  return (int)number;
}
