#include "platform/profile.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/sync.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// ---------------------------------------------------------------------------
// The file as lines. Each line keeps its own terminator so that untouched lines are
// written back exactly as they were.

struct Line {
  std::string text;  // without terminator
  std::string eol;   // "\r\n", "\n", "\r" or "" for a last line without one
};

enum class Kind { Other, Section, Key };

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string TrimCopy(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool SameName(const std::string& a, const char* b) { return CString(a.c_str()).CompareNoCase(b) == 0; }

struct Parsed {
  Kind kind = Kind::Other;
  std::string name;   // section or key name, trimmed
  std::string value;  // key value, trimmed, quotes removed
};

Parsed ParseLine(const std::string& text) {
  Parsed p;
  std::string t = TrimCopy(text);
  if (t.empty()) return p;
  if (t[0] == '[') {
    size_t close = t.find(']');
    p.kind = Kind::Section;
    p.name = TrimCopy(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return p;
  }
  size_t eq = t.find('=');
  if (eq == std::string::npos) return p;  // not a key: reads never match it
  p.kind = Kind::Key;
  p.name = TrimCopy(t.substr(0, eq));
  p.value = TrimCopy(t.substr(eq + 1));
  if (p.value.size() >= 2 && (p.value[0] == '"' || p.value[0] == '\'') && p.value.back() == p.value[0])
    p.value = p.value.substr(1, p.value.size() - 2);
  return p;
}

std::vector<Line> SplitLines(const std::string& data) {
  std::vector<Line> lines;
  size_t i = 0, n = data.size();
  while (i < n) {
    size_t j = i;
    while (j < n && data[j] != '\n' && data[j] != '\r') ++j;
    Line l;
    l.text = data.substr(i, j - i);
    if (j < n) {
      if (data[j] == '\r' && j + 1 < n && data[j + 1] == '\n') {
        l.eol = "\r\n";
        j += 2;
      } else {
        l.eol = std::string(1, data[j]);
        ++j;
      }
    }
    lines.push_back(std::move(l));
    i = j;
  }
  return lines;
}

std::string JoinLines(const std::vector<Line>& lines) {
  std::string out;
  for (const Line& l : lines) {
    out += l.text;
    out += l.eol;
  }
  return out;
}

// ---------------------------------------------------------------------------
// Whole-file I/O

bool ReadWholeFile(const char* file, std::string& data) {
  data.clear();
#ifdef _WIN32
  // Share delete too, so a writer can replace the file while we read it.
  HANDLE h = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  char buf[65536];
  DWORD got = 0;
  bool ok = true;
  for (;;) {
    if (!ReadFile(h, buf, sizeof buf, &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    data.append(buf, got);
  }
  CloseHandle(h);
  return ok;
#else
  std::string path = platform::NativePath(file);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    data.append(buf, (size_t)n);
  }
  ::close(fd);
  return true;
#endif
}

// ---------------------------------------------------------------------------
// Encodings. The files are ANSI text. A UTF-8 byte-order mark is skipped when reading
// and kept when writing. A UTF-16 file (an editor's "Unicode") is read through a
// conversion to the system code page, but never written: lines of ANSI text inside it
// would make it unreadable for every program.

enum class Encoding { kAnsi, kUtf8Mark, kUtf16 };

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

Encoding EncodingOf(const std::string& data) {
  if (data.compare(0, 3, kUtf8Mark) == 0) return Encoding::kUtf8Mark;
  if (data.size() >= 2) {
    const unsigned char b0 = (unsigned char)data[0], b1 = (unsigned char)data[1];
    if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) return Encoding::kUtf16;
    if (b0 != 0 && b1 == 0) return Encoding::kUtf16;  // little-endian text without a mark
  }
  return Encoding::kAnsi;
}

// UTF-16 (either byte order, mark optional) as text of the system code page.
std::string FromUtf16(const std::string& data) {
  bool bigEndian = (unsigned char)data[0] == 0xFE;
  size_t start = ((unsigned char)data[0] == 0xFF || bigEndian) ? 2 : 0;
  std::wstring wide;
  for (size_t i = start; i + 1 < data.size(); i += 2) {
    unsigned lo = (unsigned char)data[i + (bigEndian ? 1 : 0)], hi = (unsigned char)data[i + (bigEndian ? 0 : 1)];
    wide.push_back((wchar_t)(lo | (hi << 8)));
  }
#ifdef _WIN32
  int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
  std::string text((size_t)(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), &text[0], n, nullptr, nullptr);
  return text;
#else
  std::string text;  // the host build has no code page tables: ASCII only
  for (wchar_t c : wide) text.push_back(c < 0x80 ? (char)c : '?');
  return text;
#endif
}

// The text to parse: marks skipped, UTF-16 converted.
std::string TextOf(const std::string& data) {
  switch (EncodingOf(data)) {
    case Encoding::kUtf8Mark: return data.substr(3);
    case Encoding::kUtf16: return FromUtf16(data);
    default: return data;
  }
}

bool ReadText(const char* file, std::string& text) {
  if (!ReadWholeFile(file, text)) return false;
  text = TextOf(text);
  return true;
}

std::atomic<unsigned> g_tempCounter{0};

// Writes data to a temporary file beside file, then renames it over file.
bool ReplaceFileAtomically(const char* file, const std::string& data) {
  CString tmp;
  tmp.Format("%s.%lu.%u.tmp", file, (unsigned long)GetCurrentProcessId(), g_tempCounter.fetch_add(1));
#ifdef _WIN32
  DWORD attrs = GetFileAttributesA(file);
  if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) return false;
  HANDLE h = CreateFileA(tmp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = data.empty() || (WriteFile(h, data.data(), (DWORD)data.size(), &put, nullptr) && put == data.size());
  ok = FlushFileBuffers(h) && ok;
  CloseHandle(h);
  if (ok) {
    // A reader without delete sharing can hold the old file for a moment: retry briefly.
    ok = false;
    for (int attempt = 0; attempt < 50 && !ok; ++attempt) {
      if (MoveFileExA(tmp, file, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = true;
      } else {
        DWORD err = GetLastError();
        if (err != ERROR_SHARING_VIOLATION && err != ERROR_ACCESS_DENIED && err != ERROR_LOCK_VIOLATION) break;
        Sleep(10);
      }
    }
  }
  if (!ok) DeleteFileA(tmp);
  return ok;
#else
  std::string target = platform::NativePath(file);
  std::string tpath = platform::NativePath(tmp);
  struct stat st;
  // The write bits, not access(): the tests and CI may run as root.
  if (::stat(target.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR))) return false;
  int fd = ::open(tpath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  bool ok = true;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n <= 0) {
      ok = false;
      break;
    }
    done += (size_t)n;
  }
  ok = (::fsync(fd) == 0) && ok;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(tpath.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(tpath.c_str());
  return ok;
#endif
}

// Before a write: takes a UTF-8 mark off data into mark (written back in front); false
// for a UTF-16 file, which is never written.
bool SplitMarkForWriting(std::string& data, std::string& mark) {
  switch (EncodingOf(data)) {
    case Encoding::kUtf16: return false;
    case Encoding::kUtf8Mark:
      mark = kUtf8Mark;
      data.erase(0, 3);
      return true;
    default: return true;
  }
}

// Serialises read-modify-write of one file between threads and processes.
class FileWriteLock {
 public:
  explicit FileWriteLock(const char* file) : m_mutex(FALSE, FileMutexName("CorvaneProfile", file)), m_lock(&m_mutex) {
    // A stuck writer elsewhere must not stop us for ever; the rename keeps the file whole.
    m_lock.Lock(5000);
  }

 private:
  CMutex m_mutex;
  CSingleLock m_lock;
};

// Index of the first line of the first section with that name, or -1.
int FindSection(const std::vector<Line>& lines, const char* section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    Parsed p = ParseLine(lines[i].text);
    if (p.kind == Kind::Section && SameName(p.name, section)) return (int)i;
  }
  return -1;
}

// End (exclusive) of the section body that starts after line index sec.
int SectionEnd(const std::vector<Line>& lines, int sec) {
  size_t i = (size_t)sec + 1;
  while (i < lines.size() && ParseLine(lines[i].text).kind != Kind::Section) ++i;
  return (int)i;
}

// Index just after the last non-blank line of the section body (where new keys go).
int InsertPoint(const std::vector<Line>& lines, int sec, int end) {
  int at = end;
  while (at > sec + 1 && TrimCopy(lines[(size_t)at - 1].text).empty()) --at;
  return at;
}

const char* kNewEol = "\r\n";

void EnsureLastLineEnded(std::vector<Line>& lines) {
  if (!lines.empty() && lines.back().eol.empty()) lines.back().eol = kNewEol;
}

// Copies a list of NUL-terminated items into out, as the platform does for lists.
DWORD CopyList(const std::vector<std::string>& items, char* out, DWORD size) {
  if (!out || size == 0) return 0;
  if (size < 2) {
    out[0] = 0;
    return 0;
  }
  DWORD pos = 0;
  for (const std::string& it : items) {
    if (pos + it.size() + 1 > size - 1) {
      // Cut: copy what fits and end the list.
      DWORD room = size - 2 - pos;
      memcpy(out + pos, it.data(), room);
      pos += room;
      out[pos] = 0;
      out[pos + 1] = 0;
      return size - 2;
    }
    memcpy(out + pos, it.c_str(), it.size() + 1);
    pos += (DWORD)it.size() + 1;
  }
  out[pos] = 0;
  return pos;
}

}  // namespace

DWORD ProfileGetString(const char* section, const char* key, const char* def, char* out, DWORD size, const char* file) {
  if (!out || size == 0) return 0;
  std::string data;
  bool have = file && *file && ReadText(file, data);
  std::vector<Line> lines = have ? SplitLines(data) : std::vector<Line>();

  if (!section || !key) {
    std::vector<std::string> names;
    if (!section) {
      for (const Line& l : lines) {
        Parsed p = ParseLine(l.text);
        if (p.kind == Kind::Section) names.push_back(p.name);
      }
    } else {
      int sec = FindSection(lines, section);
      if (sec >= 0) {
        int end = SectionEnd(lines, sec);
        for (int i = sec + 1; i < end; ++i) {
          Parsed p = ParseLine(lines[(size_t)i].text);
          if (p.kind == Kind::Key) names.push_back(p.name);
        }
      }
    }
    return CopyList(names, out, size);
  }

  std::string value;
  bool found = false;
  int sec = FindSection(lines, section);
  if (sec >= 0) {
    int end = SectionEnd(lines, sec);
    for (int i = sec + 1; i < end && !found; ++i) {
      Parsed p = ParseLine(lines[(size_t)i].text);
      if (p.kind == Kind::Key && SameName(p.name, key)) {
        value = p.value;
        found = true;
      }
    }
  }
  if (!found) {
    // The platform drops trailing blanks of the default.
    value = def ? def : "";
    while (!value.empty() && IsBlank(value.back())) value.pop_back();
  }
  DWORD n = (DWORD)std::min<size_t>(value.size(), size - 1);
  memcpy(out, value.data(), n);
  out[n] = 0;
  return n;
}

CString ProfileGetText(const char* section, const char* key, const char* def, const char* file, DWORD maxChars) {
  if (maxChars == 0) return CString();
  CString s;
  DWORD n = ProfileGetString(section, key, def, s.GetBuffer((int)maxChars), maxChars, file);
  s.ReleaseBuffer((int)n);
  return s;
}

namespace {
// The key lines of a section, parsed; false when the file cannot be read or has no
// such section.
bool SectionKeys(const char* section, const char* file, std::vector<Parsed>& keys) {
  std::string data;
  if (!file || !*file || !section || !ReadText(file, data)) return false;
  std::vector<Line> lines = SplitLines(data);
  int sec = FindSection(lines, section);
  if (sec < 0) return false;
  int end = SectionEnd(lines, sec);
  for (int i = sec + 1; i < end; ++i) {
    Parsed p = ParseLine(lines[(size_t)i].text);
    if (p.kind == Kind::Key) keys.push_back(std::move(p));
  }
  return true;
}

// The "key=value" lines of a section; false when there is no such section.
bool SectionItems(const char* section, const char* file, std::vector<std::string>& items) {
  std::vector<Parsed> keys;
  if (!SectionKeys(section, file, keys)) return false;
  for (const Parsed& p : keys) items.push_back(p.name + "=" + p.value);
  return true;
}
}  // namespace

DWORD ProfileGetSection(const char* section, char* out, DWORD size, const char* file) {
  std::vector<std::string> items;
  SectionItems(section, file, items);
  return CopyList(items, out, size);
}

BOOL ProfileHasKey(const char* section, const char* key, const char* file) {
  std::vector<Parsed> keys;
  if (!key || !SectionKeys(section, file, keys)) return FALSE;
  for (const Parsed& p : keys)
    if (SameName(p.name, key)) return TRUE;
  return FALSE;
}

BOOL ProfileIsUtf16File(const char* file) {
  std::string data;
  return file && *file && ReadWholeFile(file, data) && EncodingOf(data) == Encoding::kUtf16;
}

BOOL ProfileGetSectionLines(const char* section, std::vector<std::string>& lines, const char* file) {
  lines.clear();
  return SectionItems(section, file, lines) ? TRUE : FALSE;
}

BOOL ProfileWriteString(const char* section, const char* key, const char* value, const char* file) {
  if (!file || !*file || !section) return FALSE;
  FileWriteLock lock(file);
  std::string old, mark;
  bool existed = ReadWholeFile(file, old);
  if (existed && !SplitMarkForWriting(old, mark)) return FALSE;
  std::vector<Line> lines = SplitLines(old);

  int sec = FindSection(lines, section);
  if (!key) {
    // Remove the whole section.
    if (sec < 0) return TRUE;
    lines.erase(lines.begin() + sec, lines.begin() + SectionEnd(lines, sec));
  } else if (sec < 0) {
    if (!value) return TRUE;
    EnsureLastLineEnded(lines);
    lines.push_back({std::string("[") + section + "]", kNewEol});
    lines.push_back({std::string(key) + "=" + value, kNewEol});
  } else {
    int end = SectionEnd(lines, sec);
    int at = -1;
    for (int i = sec + 1; i < end; ++i) {
      Parsed p = ParseLine(lines[(size_t)i].text);
      if (p.kind == Kind::Key && SameName(p.name, key)) {
        at = i;
        break;
      }
    }
    if (at >= 0) {
      if (value)
        lines[(size_t)at].text = std::string(key) + "=" + value;
      else
        lines.erase(lines.begin() + at);
    } else if (value) {
      int ins = InsertPoint(lines, sec, end);
      if (ins > 0 && lines[(size_t)ins - 1].eol.empty()) lines[(size_t)ins - 1].eol = kNewEol;
      lines.insert(lines.begin() + ins, Line{std::string(key) + "=" + value, kNewEol});
    }
  }
  std::string data = JoinLines(lines);
  if (existed && data == old) return TRUE;  // nothing changed: leave the file alone
  return ReplaceFileAtomically(file, mark + data) ? TRUE : FALSE;
}

BOOL ProfileWriteSection(const char* section, const char* list, const char* file) {
  if (!file || !*file || !section) return FALSE;
  FileWriteLock lock(file);
  std::string old, mark;
  bool existed = ReadWholeFile(file, old);
  if (existed && !SplitMarkForWriting(old, mark)) return FALSE;
  std::vector<Line> lines = SplitLines(old);

  std::vector<Line> body;
  for (const char* p = list; p && *p; p += strlen(p) + 1) body.push_back({p, kNewEol});

  int sec = FindSection(lines, section);
  if (sec < 0) {
    EnsureLastLineEnded(lines);
    lines.push_back({std::string("[") + section + "]", kNewEol});
    lines.insert(lines.end(), body.begin(), body.end());
  } else {
    int end = SectionEnd(lines, sec);
    int keep = InsertPoint(lines, sec, end);  // blank lines before the next section stay
    if (lines[(size_t)sec].eol.empty()) lines[(size_t)sec].eol = kNewEol;
    lines.erase(lines.begin() + sec + 1, lines.begin() + keep);
    lines.insert(lines.begin() + sec + 1, body.begin(), body.end());
  }
  std::string data = JoinLines(lines);
  if (existed && data == old) return TRUE;
  return ReplaceFileAtomically(file, mark + data) ? TRUE : FALSE;
}
