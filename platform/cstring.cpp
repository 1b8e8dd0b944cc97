#include "platform/cstring.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/mbcs.h"

namespace mbcs {

const bool* LeadTable() {
  static bool table[256];
  static std::once_flag once;
  std::call_once(once, [] {
    for (int c = 0; c < 256; ++c) table[c] = IsDBCSLeadByte((BYTE)c) != 0;
  });
  return table;
}

}  // namespace mbcs

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }

// Character-boundary walk over [p, end).
template <typename F>
void ForEachChar(const char* p, const char* end, F f) {
  while (p < end) {
    int n = mbcs::CharLen(p, end);
    if (!f(p, n)) return;
    p += n;
  }
}

// Is the (single- or double-byte) character at p, n bytes long, one of set's characters?
bool InSet(const char* p, int n, const char* set) {
  const char* s = set;
  const char* send = set + strlen(set);
  while (s < send) {
    int m = mbcs::CharLen(s, send);
    if (m == n && memcmp(s, p, (size_t)n) == 0) return true;
    s += m;
  }
  return false;
}

// Bytes of the leading run of whole characters that are (inSet) or are not in set.
size_t LeadingRun(const std::string& s, const char* set, bool inSet) {
  const char* b = s.c_str();
  const char* e = b + s.size();
  const char* stop = e;
  ForEachChar(b, e, [&](const char* p, int n) {
    if (InSet(p, n, set) == inSet) return true;
    stop = p;
    return false;
  });
  return (size_t)(stop - b);
}

}  // namespace

int CString::Compare(const char* s) const { return strcmp(m_s.c_str(), s ? s : ""); }

int CString::CompareNoCase(const char* s) const {
  const unsigned char* a = (const unsigned char*)m_s.c_str();
  const unsigned char* b = (const unsigned char*)(s ? s : "");
  // Lead/trail bytes are compared as they are; only ASCII letters fold.
  for (;;) {
    unsigned char ca = *a, cb = *b;
    if (mbcs::IsLead(ca) && a[1] && mbcs::IsLead(cb) && b[1]) {
      if (ca != cb) return ca < cb ? -1 : 1;
      if (a[1] != b[1]) return a[1] < b[1] ? -1 : 1;
      a += 2;
      b += 2;
      continue;
    }
    unsigned char la = (unsigned char)AsciiLower((char)ca), lb = (unsigned char)AsciiLower((char)cb);
    if (la != lb) return la < lb ? -1 : 1;
    if (ca == 0) return 0;
    ++a;
    ++b;
  }
}

CString CString::Mid(int first) const { return Mid(first, GetLength() - first); }

CString CString::Mid(int first, int count) const {
  if (first < 0) first = 0;
  if (count < 0) count = 0;
  int len = GetLength();
  if (first > len) first = len;
  if (count > len - first) count = len - first;
  return CString(m_s.substr((size_t)first, (size_t)count));
}

CString CString::Left(int count) const {
  if (count <= 0) return CString();
  if (count >= GetLength()) return *this;
  return CString(m_s.substr(0, (size_t)count));
}

CString CString::Right(int count) const {
  if (count <= 0) return CString();
  if (count >= GetLength()) return *this;
  return CString(m_s.substr(m_s.size() - (size_t)count));
}

CString CString::SpanIncluding(const char* set) const { return Left((int)LeadingRun(m_s, set, true)); }

CString CString::SpanExcluding(const char* set) const { return Left((int)LeadingRun(m_s, set, false)); }

CString& CString::MakeUpper() {
  char* b = &m_s[0];
  ForEachChar(b, b + m_s.size(), [](const char* p, int n) {
    if (n == 1) *const_cast<char*>(p) = AsciiUpper(*p);
    return true;
  });
  return *this;
}

CString& CString::MakeLower() {
  char* b = &m_s[0];
  ForEachChar(b, b + m_s.size(), [](const char* p, int n) {
    if (n == 1) *const_cast<char*>(p) = AsciiLower(*p);
    return true;
  });
  return *this;
}

CString& CString::MakeReverse() {
  // Reverse the characters, keeping each double-byte pair in order.
  std::string out;
  out.reserve(m_s.size());
  std::vector<std::pair<const char*, int>> chars;
  const char* b = m_s.c_str();
  ForEachChar(b, b + m_s.size(), [&](const char* p, int n) {
    chars.emplace_back(p, n);
    return true;
  });
  for (auto it = chars.rbegin(); it != chars.rend(); ++it) out.append(it->first, (size_t)it->second);
  m_s.swap(out);
  return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }
CString& CString::Trim(char ch) { return TrimRight(ch).TrimLeft(ch); }
CString& CString::Trim(const char* set) { return TrimRight(set).TrimLeft(set); }

CString& CString::TrimLeft() {
  size_t i = 0;
  while (i < m_s.size() && IsSpace(m_s[i])) ++i;
  m_s.erase(0, i);
  return *this;
}

CString& CString::TrimLeft(char ch) {
  char set[2] = {ch, 0};
  return TrimLeft(set);
}

CString& CString::TrimLeft(const char* set) {
  m_s.erase(0, LeadingRun(m_s, set, true));
  return *this;
}

CString& CString::TrimRight() {
  // A trailing blank can only be a whole character: trail bytes of GBK are >= 0x40.
  size_t n = m_s.size();
  while (n > 0 && IsSpace(m_s[n - 1])) --n;
  m_s.resize(n);
  return *this;
}

CString& CString::TrimRight(char ch) {
  char set[2] = {ch, 0};
  return TrimRight(set);
}

CString& CString::TrimRight(const char* set) {
  // Walk forward to find where the trailing run of set characters begins.
  const char* b = m_s.c_str();
  const char* e = b + m_s.size();
  const char* runStart = nullptr;
  ForEachChar(b, e, [&](const char* p, int n) {
    if (InSet(p, n, set)) {
      if (!runStart) runStart = p;
    } else {
      runStart = nullptr;
    }
    return true;
  });
  if (runStart) m_s.resize((size_t)(runStart - b));
  return *this;
}

int CString::Find(char ch, int start) const {
  if (start < 0) start = 0;
  if (start >= GetLength()) return -1;
  const char* b = m_s.c_str();
  const char* e = b + m_s.size();
  int found = -1;
  ForEachChar(b, e, [&](const char* p, int n) {
    if (p - b >= start && n == 1 && *p == ch) {
      found = (int)(p - b);
      return false;
    }
    return true;
  });
  return found;
}

int CString::Find(const char* sub, int start) const {
  if (!sub) return -1;
  if (start < 0) start = 0;
  if (start > GetLength()) return -1;
  size_t sublen = strlen(sub);
  const char* b = m_s.c_str();
  const char* e = b + m_s.size();
  int found = -1;
  ForEachChar(b, e + (sublen == 0 ? 1 : 0), [&](const char* p, int) {
    if (p - b >= start && (size_t)(e - p) >= sublen && memcmp(p, sub, sublen) == 0) {
      found = (int)(p - b);
      return false;
    }
    return true;
  });
  return found;
}

int CString::ReverseFind(char ch) const {
  const char* b = m_s.c_str();
  int found = -1;
  ForEachChar(b, b + m_s.size(), [&](const char* p, int n) {
    if (n == 1 && *p == ch) found = (int)(p - b);
    return true;
  });
  return found;
}

int CString::FindOneOf(const char* set) const {
  const char* b = m_s.c_str();
  int found = -1;
  ForEachChar(b, b + m_s.size(), [&](const char* p, int n) {
    if (InSet(p, n, set)) {
      found = (int)(p - b);
      return false;
    }
    return true;
  });
  return found;
}

int CString::Replace(char from, char to) {
  int count = 0;
  char* b = &m_s[0];
  ForEachChar(b, b + m_s.size(), [&](const char* p, int n) {
    if (n == 1 && *p == from) {
      *const_cast<char*>(p) = to;
      ++count;
    }
    return true;
  });
  return count;
}

int CString::Replace(const char* from, const char* to) {
  if (!from || !*from) return 0;
  if (!to) to = "";
  size_t flen = strlen(from);
  std::string out;
  int count = 0;
  const char* b = m_s.c_str();
  const char* e = b + m_s.size();
  const char* p = b;
  while (p < e) {
    if ((size_t)(e - p) >= flen && memcmp(p, from, flen) == 0) {
      out += to;
      p += flen;
      ++count;
    } else {
      int n = mbcs::CharLen(p, e);
      out.append(p, (size_t)n);
      p += n;
    }
  }
  if (count) m_s.swap(out);
  return count;
}

int CString::Remove(char ch) {
  std::string out;
  out.reserve(m_s.size());
  int count = 0;
  const char* b = m_s.c_str();
  ForEachChar(b, b + m_s.size(), [&](const char* p, int n) {
    if (n == 1 && *p == ch)
      ++count;
    else
      out.append(p, (size_t)n);
    return true;
  });
  m_s.swap(out);
  return count;
}

int CString::Insert(int index, char ch) {
  // Inserted as a count of one: through the C-string form, GCC 12 at -O3 warns of an
  // overlap it cannot rule out (a false -Wrestrict).
  if (index < 0) index = 0;
  if (index > GetLength()) index = GetLength();
  m_s.insert((size_t)index, 1, ch);
  return GetLength();
}

int CString::Insert(int index, const char* s) {
  if (index < 0) index = 0;
  if (index > GetLength()) index = GetLength();
  m_s.insert((size_t)index, s ? s : "");
  return GetLength();
}

int CString::Delete(int index, int count) {
  if (index < 0) index = 0;
  if (count > 0 && index < GetLength()) m_s.erase((size_t)index, (size_t)count);
  return GetLength();
}

CString CString::Tokenize(const char* tokens, int& start) const {
  if (start < 0 || !tokens) {
    start = -1;
    return CString();
  }
  const char* b = m_s.c_str();
  const char* e = b + m_s.size();
  const char* p = b + std::min<size_t>((size_t)start, m_s.size());
  // Skip leading delimiters.
  while (p < e) {
    int n = mbcs::CharLen(p, e);
    if (!InSet(p, n, tokens)) break;
    p += n;
  }
  if (p >= e) {
    start = -1;
    return CString();
  }
  const char* q = p;
  while (q < e) {
    int n = mbcs::CharLen(q, e);
    if (InSet(q, n, tokens)) break;
    q += n;
  }
  start = (int)(q - b) + (q < e ? 1 : 0);
  return CString(p, (int)(q - p));
}

void CString::Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  FormatV(fmt, args);
  va_end(args);
}

void CString::AppendFormat(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  AppendFormatV(fmt, args);
  va_end(args);
}

void CString::FormatV(const char* fmt, va_list args) {
  m_s.clear();
  AppendFormatV(fmt, args);
}

void CString::AppendFormatV(const char* fmt, va_list args) {
  char stackBuf[512];
  va_list copy;
  va_copy(copy, args);
  int n = vsnprintf(stackBuf, sizeof stackBuf, fmt, copy);
  va_end(copy);
  if (n < 0) return;
  if ((size_t)n < sizeof stackBuf) {
    m_s.append(stackBuf, (size_t)n);
    return;
  }
  std::vector<char> big((size_t)n + 1);
  va_copy(copy, args);
  vsnprintf(big.data(), big.size(), fmt, copy);
  va_end(copy);
  m_s.append(big.data(), (size_t)n);
}

char* CString::GetBuffer(int minLength) {
  if (minLength < GetLength()) minLength = GetLength();
  // Room for minLength characters; the extra bytes are zeros so that ReleaseBuffer(-1)
  // finds the end even when the caller wrote nothing.
  m_s.resize((size_t)minLength, '\0');
  return &m_s[0];
}

char* CString::GetBufferSetLength(int length) {
  if (length < 0) length = 0;
  m_s.resize((size_t)length, '\0');
  return &m_s[0];
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0) newLength = (int)strnlen(m_s.c_str(), m_s.size());
  if ((size_t)newLength > m_s.size()) newLength = (int)m_s.size();
  m_s.resize((size_t)newLength);
}

// ---------------------------------------------------------------------------
// String resources

#ifdef _WIN32

void RegisterHostStringTable(const HostStringEntry*, int) {}

BOOL CString::LoadString(UINT id) {
  // LoadStringA gives no length hint: grow until the text fits.
  std::vector<char> buf(256);
  for (;;) {
    int n = ::LoadStringA(GetModuleHandleA(nullptr), id, buf.data(), (int)buf.size());
    if (n <= 0) {
      m_s.clear();
      return FALSE;
    }
    if ((size_t)n < buf.size() - 1) {
      m_s.assign(buf.data(), (size_t)n);
      return TRUE;
    }
    buf.resize(buf.size() * 4);
  }
}

#else

namespace {
const HostStringEntry* g_hostStrings = nullptr;
int g_hostStringCount = 0;
}  // namespace

void RegisterHostStringTable(const HostStringEntry* entries, int count) {
  g_hostStrings = entries;
  g_hostStringCount = count;
}

BOOL CString::LoadString(UINT id) {
  // The generated table is sorted by id.
  const HostStringEntry* b = g_hostStrings;
  const HostStringEntry* e = g_hostStrings + g_hostStringCount;
  const HostStringEntry* it = std::lower_bound(b, e, id, [](const HostStringEntry& x, UINT v) { return x.id < v; });
  if (it == e || it->id != id || !it->text[0]) {
    m_s.clear();
    return FALSE;
  }
  m_s = it->text;
  return TRUE;
}

#endif
