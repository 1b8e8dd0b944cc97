#include "platform/wintime.h"

CTime::CTime(int year, int month, int day, int hour, int minute, int second) {
  struct tm t = {};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  m_time = mktime(&t);
}

struct tm CTime::Local() const {
  struct tm t = {};
#ifdef _WIN32
  localtime_s(&t, &m_time);
#else
  localtime_r(&m_time, &t);
#endif
  return t;
}

CString CTime::Format(const char* fmt) const {
  struct tm t = Local();
  char buf[512];
  size_t n = strftime(buf, sizeof buf, fmt ? fmt : "", &t);
  return CString(buf, (int)n);
}
