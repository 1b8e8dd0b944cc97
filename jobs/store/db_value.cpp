#include "jobs/store/db_value.h"

#include <cstdio>

#include "platform/mbcs.h"

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads minDigits..maxDigits decimal digits at p.
bool ReadNumber(const char*& p, int minDigits, int maxDigits, int& value) {
  int digits = 0;
  value = 0;
  while (*p >= '0' && *p <= '9' && digits < maxDigits) {
    value = value * 10 + (*p++ - '0');
    ++digits;
  }
  return digits >= minDigits && !(*p >= '0' && *p <= '9');
}

bool Expect(const char*& p, char c) {
  if (*p != c) return false;
  ++p;
  return true;
}

void SkipBlanks(const char*& p) {
  while (*p == ' ' || *p == '\t') ++p;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

}  // namespace

int CompareDbDate(const DbDate& a, const DbDate& b) {
  const int fa[] = {a.m_nYear, a.m_nMonth, a.m_nDay, a.m_nHour, a.m_nMinute, a.m_nSecond};
  const int fb[] = {b.m_nYear, b.m_nMonth, b.m_nDay, b.m_nHour, b.m_nMinute, b.m_nSecond};
  for (int i = 0; i < 6; ++i) {
    if (fa[i] != fb[i]) return fa[i] < fb[i] ? -1 : 1;
  }
  return 0;
}

bool ParseDbDate(const char* text, DbDate& date) {
  const char* p = text;
  DbDate d;
  SkipBlanks(p);
  if (!ReadNumber(p, 4, 4, d.m_nYear) || !Expect(p, '-') || !ReadNumber(p, 1, 2, d.m_nMonth) || !Expect(p, '-') ||
      !ReadNumber(p, 1, 2, d.m_nDay)) {
    return false;
  }
  const char* afterDay = p;
  SkipBlanks(p);
  if (*p != '\0') {
    if (p == afterDay) return false;  // the time is set off by a blank
    if (!ReadNumber(p, 1, 2, d.m_nHour) || !Expect(p, ':') || !ReadNumber(p, 1, 2, d.m_nMinute) || !Expect(p, ':') ||
        !ReadNumber(p, 1, 2, d.m_nSecond)) {
      return false;
    }
    SkipBlanks(p);
    if (*p != '\0') return false;
  }
  if (d.m_nYear < 1900 || d.m_nMonth < 1 || d.m_nMonth > 12 || d.m_nDay < 1 ||
      d.m_nDay > DaysInMonth(d.m_nYear, d.m_nMonth) || d.m_nHour > 23 || d.m_nMinute > 59 || d.m_nSecond > 59) {
    return false;
  }
  date = d;
  return true;
}

CString FormatDbDate(const DbDate& date, const char* format) {
  if (format == nullptr || *format == '\0') format = "%Y-%m-%d %H:%M:%S";
  CString out;
  for (const char* p = format; *p; ++p) {
    if (*p != '%' || p[1] == '\0') {
      out += *p;
      continue;
    }
    switch (*++p) {
      case 'Y': out.AppendFormat("%04d", date.m_nYear); break;
      case 'y': out.AppendFormat("%02d", date.m_nYear % 100); break;
      case 'm': out.AppendFormat("%02d", date.m_nMonth); break;
      case 'd': out.AppendFormat("%02d", date.m_nDay); break;
      case 'H': out.AppendFormat("%02d", date.m_nHour); break;
      case 'M': out.AppendFormat("%02d", date.m_nMinute); break;
      case 'S': out.AppendFormat("%02d", date.m_nSecond); break;
      case '%': out += '%'; break;
      default:
        out += '%';
        out += *p;
        break;
    }
  }
  return out;
}

CString DbDateMatchText(const DbDate& date) {
  bool midnight = date.m_nHour == 0 && date.m_nMinute == 0 && date.m_nSecond == 0;
  return FormatDbDate(date, midnight ? "%Y-%m-%d" : "%Y-%m-%d %H:%M:%S");
}

CDbValue CDbValue::Int(int value) {
  CDbValue v;
  v.m_kind = kInt;
  v.m_nInt = value;
  return v;
}

CDbValue CDbValue::Text(const char* text) {
  CDbValue v;
  v.m_kind = kText;
  v.m_strText = text;
  return v;
}

CDbValue CDbValue::Date(const DbDate& date) {
  CDbValue v;
  v.m_kind = kDate;
  v.m_date = date;
  return v;
}

CString CDbValue::MatchText() const {
  CString s;
  switch (m_kind) {
    case kInt: s.Format("%d", m_nInt); break;
    case kText: s = m_strText; break;
    case kDate: s = DbDateMatchText(m_date); break;
    case kNull: break;
  }
  return s;
}

bool CDbValue::EqualsForQuery(const CDbValue& other) const {
  if (m_kind != other.m_kind) return false;
  switch (m_kind) {
    case kInt: return m_nInt == other.m_nInt;
    case kText: return m_strText.CompareNoCase(other.m_strText) == 0;
    case kDate: return CompareDbDate(m_date, other.m_date) == 0;
    case kNull: return false;
  }
  return false;
}

// LIKE, by walking text and pattern together. A literal or '_' consumes one character
// of both. At a '%' we first let it stand for nothing and remember where it was; when a
// later character does not match, the last '%' takes one more character of the text
// and matching resumes right after it. Only the last '%' needs remembering: whatever an
// earlier one could absorb, the later one can absorb as well. Characters are whole
// double-byte characters, so a trail byte that looks like '%' or '_' stays a trail byte.
bool LikeMatch(const char* text, const char* pattern) {
  const char* t = text;
  const char* p = pattern;
  const char* starPattern = nullptr;  // just after the last '%' seen
  const char* starText = nullptr;     // text position that '%' has absorbed up to
  while (*t) {
    int tl = mbcs::CharLen(t);
    if (*p == '%') {
      starPattern = ++p;
      starText = t;
      continue;
    }
    if (*p) {
      int pl = mbcs::CharLen(p);
      bool same =
          *p == '_' || (pl == tl && (tl == 2 ? p[0] == t[0] && p[1] == t[1] : AsciiLower(*p) == AsciiLower(*t)));
      if (same) {
        p += pl;
        t += tl;
        continue;
      }
    }
    if (starPattern == nullptr) return false;
    starText += mbcs::CharLen(starText);
    t = starText;
    p = starPattern;
  }
  while (*p == '%') ++p;
  return *p == '\0';
}
