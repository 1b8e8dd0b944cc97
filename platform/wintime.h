// CTime: a calendar time in seconds, formatted in local time.
#pragma once

#include <ctime>

#include "platform/cstring.h"

class CTime {
 public:
  CTime() = default;
  explicit CTime(time_t t) : m_time(t) {}
  // Local time; fields as in struct tm but month 1-12 and the full year.
  CTime(int year, int month, int day, int hour, int minute, int second);

  static CTime GetCurrentTime() { return CTime(::time(nullptr)); }
  time_t GetTime() const { return m_time; }

  int GetYear() const { return Local().tm_year + 1900; }
  int GetMonth() const { return Local().tm_mon + 1; }
  int GetDay() const { return Local().tm_mday; }
  int GetHour() const { return Local().tm_hour; }
  int GetMinute() const { return Local().tm_min; }
  int GetSecond() const { return Local().tm_sec; }
  int GetDayOfWeek() const { return Local().tm_wday + 1; }  // 1 = Sunday

  // strftime conversions in local time.
  CString Format(const char* fmt) const;

  bool operator==(const CTime& o) const { return m_time == o.m_time; }
  bool operator!=(const CTime& o) const { return m_time != o.m_time; }
  bool operator<(const CTime& o) const { return m_time < o.m_time; }

 private:
  struct tm Local() const;
  time_t m_time = 0;
};
