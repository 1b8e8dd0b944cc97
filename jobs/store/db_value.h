// Values of the job order store: what a column holds and what a record set hands out,
// with the date forms and the text comparisons of its statements.
#pragma once

#include "platform/core.h"

// A calendar date and time of day as the date columns keep it (no time zone).
struct DbDate {
  int m_nYear = 1900;  // 1900..9999
  int m_nMonth = 1;    // 1..12
  int m_nDay = 1;      // 1..days of the month
  int m_nHour = 0;     // 0..23
  int m_nMinute = 0;   // 0..59
  int m_nSecond = 0;   // 0..59
};

// <0, 0, >0 as a is earlier, the same, later than b.
int CompareDbDate(const DbDate& a, const DbDate& b);

// The two accepted forms: "YYYY-MM-DD" (midnight) and "YYYY-MM-DD HH:MM:SS"; month,
// day and the time fields may have one digit, blanks around the whole are ignored.
// False for anything else, impossible dates (2009-02-30) included.
bool ParseDbDate(const char* text, DbDate& date);

// The date through a strftime-style format: %Y %y %m %d %H %M %S and %%; any other
// sequence is copied as it is. An empty format gives "%Y-%m-%d %H:%M:%S".
CString FormatDbDate(const DbDate& date, const char* format);

// The text a date is matched as by LIKE: "YYYY-MM-DD", followed by " HH:MM:SS" unless
// the time is midnight, so that a day typed as it is shown finds it.
CString DbDateMatchText(const DbDate& date);

// One stored value: null, a 32-bit integer, a text or a date.
class CDbValue {
 public:
  enum Kind { kNull, kInt, kText, kDate };

  CDbValue() = default;
  static CDbValue Int(int value);
  static CDbValue Text(const char* text);
  static CDbValue Date(const DbDate& date);

  Kind GetKind() const { return m_kind; }
  bool IsNull() const { return m_kind == kNull; }
  int GetInt() const { return m_nInt; }
  const CString& GetText() const { return m_strText; }
  const DbDate& GetDate() const { return m_date; }

  // The text LIKE matches: integers in decimal, dates as DbDateMatchText.
  CString MatchText() const;
  // Equality as the statements' "=" sees it: texts without regard to the case of ASCII
  // letters, nulls equal to nothing. Both values must be of one kind.
  bool EqualsForQuery(const CDbValue& other) const;

 private:
  Kind m_kind = kNull;
  int m_nInt = 0;     // kInt
  CString m_strText;  // kText
  DbDate m_date;      // kDate
};

// LIKE of the statements: '%' stands for any run of characters (none included), '_'
// for exactly one character (a double-byte character is one); everything else matches
// itself, ASCII letters without regard to case.
bool LikeMatch(const char* text, const char* pattern);
