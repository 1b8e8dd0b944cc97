// CString: the text class of the programs.
//
// Bytes in the active code page (GBK under 936). Case mapping, searching, trimming and
// replacing step over whole double-byte characters, so a GBK trail byte that happens to
// be 'A'..'Z' or '\' is never mapped, found or cut. Positions and lengths are in bytes.
#pragma once

#include <cstdarg>
#include <string>

#include "platform/types.h"

class CString {
 public:
  CString() = default;
  CString(const char* s) : m_s(s ? s : "") {}
  CString(const char* s, int len) : m_s(s ? s : "", s && len > 0 ? (size_t)len : 0) {}
  CString(char ch, int repeat = 1) : m_s(repeat > 0 ? (size_t)repeat : 0, ch) {}
  CString(const std::string& s) : m_s(s) {}
  CString(std::string&& s) : m_s(std::move(s)) {}

  int GetLength() const { return (int)m_s.size(); }
  BOOL IsEmpty() const { return m_s.empty(); }
  void Empty() { m_s.clear(); }

  char GetAt(int i) const { return m_s[(size_t)i]; }
  void SetAt(int i, char ch) { m_s[(size_t)i] = ch; }
  char operator[](int i) const { return m_s[(size_t)i]; }

  operator const char*() const { return m_s.c_str(); }
  const char* GetString() const { return m_s.c_str(); }
  const std::string& str() const { return m_s; }

  CString& operator=(const char* s) {
    m_s = s ? s : "";
    return *this;
  }
  CString& operator=(char ch) {
    m_s.assign(1, ch);
    return *this;
  }
  CString& operator+=(const CString& s) {
    m_s += s.m_s;
    return *this;
  }
  CString& operator+=(const char* s) {
    if (s) m_s += s;
    return *this;
  }
  CString& operator+=(char ch) {
    m_s += ch;
    return *this;
  }
  void Append(const char* s, int len) {
    if (s && len > 0) m_s.append(s, (size_t)len);
  }

  friend CString operator+(const CString& a, const CString& b) { return CString(a.m_s + b.m_s); }
  friend CString operator+(const CString& a, const char* b) {
    CString r(a);
    r += b;
    return r;
  }
  friend CString operator+(const char* a, const CString& b) {
    CString r(a);
    r += b;
    return r;
  }
  friend CString operator+(const CString& a, char b) {
    CString r(a);
    r += b;
    return r;
  }
  friend CString operator+(char a, const CString& b) {
    CString r(a);
    r += b;
    return r;
  }

  // Byte-wise comparison, like strcmp.
  int Compare(const char* s) const;
  // Case-insensitive for ASCII letters only; double-byte characters compare as bytes.
  int CompareNoCase(const char* s) const;
  friend bool operator==(const CString& a, const CString& b) { return a.m_s == b.m_s; }
  friend bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
  friend bool operator==(const char* a, const CString& b) { return b.Compare(a) == 0; }
  friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
  friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
  friend bool operator!=(const char* a, const CString& b) { return !(a == b); }
  friend bool operator<(const CString& a, const CString& b) { return a.m_s < b.m_s; }
  friend bool operator<(const CString& a, const char* b) { return a.Compare(b) < 0; }
  friend bool operator>(const CString& a, const char* b) { return a.Compare(b) > 0; }

  // Substrings; out-of-range arguments are clamped as the platform's class does.
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  CString Left(int count) const;
  CString Right(int count) const;
  CString SpanIncluding(const char* set) const;
  CString SpanExcluding(const char* set) const;

  CString& MakeUpper();
  CString& MakeLower();
  CString& MakeReverse();

  // Trimming of white space (blank, tab, CR, LF, VT, FF) or of given characters.
  CString& Trim();
  CString& Trim(char ch);
  CString& Trim(const char* set);
  CString& TrimLeft();
  CString& TrimLeft(char ch);
  CString& TrimLeft(const char* set);
  CString& TrimRight();
  CString& TrimRight(char ch);
  CString& TrimRight(const char* set);

  // Searching; results are byte positions of whole characters, -1 when not found.
  int Find(char ch, int start = 0) const;
  int Find(const char* sub, int start = 0) const;
  int ReverseFind(char ch) const;
  int FindOneOf(const char* set) const;

  int Replace(char from, char to);
  int Replace(const char* from, const char* to);
  int Remove(char ch);
  int Insert(int index, char ch);
  int Insert(int index, const char* s);
  int Delete(int index, int count = 1);

  // Next token delimited by any of the characters in tokens, from start on; start is
  // -1 after the last token.
  CString Tokenize(const char* tokens, int& start) const;

  // printf semantics (C99 conversions in both builds).
  void Format(const char* fmt, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  void AppendFormat(const char* fmt, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  void FormatV(const char* fmt, va_list args);
  void AppendFormatV(const char* fmt, va_list args);

  // Direct access. GetBuffer(n) gives room for at least n characters and the NUL;
  // ReleaseBuffer(-1) takes the length up to the first NUL.
  char* GetBuffer(int minLength);
  char* GetBuffer() { return GetBuffer(GetLength()); }
  char* GetBufferSetLength(int length);
  void ReleaseBuffer(int newLength = -1);

  // Loads a string resource of the program; FALSE (and empty) when the id is absent.
  BOOL LoadString(UINT id);

 private:
  std::string m_s;
};

// String resources: on Windows the program's string table; on the host the generated
// table registered by the resources library.
struct HostStringEntry {
  UINT id;
  const char* text;
};
void RegisterHostStringTable(const HostStringEntry* entries, int count);
