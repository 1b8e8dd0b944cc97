// Shared main of every test program.
//
// Under Wine a crash may end with exit status 0 or 5 at random, so the Windows build
// installs an unhandled-exception filter that prints the code and exits with 3. It also
// insists on code page 936: a wrong code page goes unnoticed in round trips.
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>

#include <gtest/gtest.h>

#include "platform/testing/test_support.h"

#ifndef _WIN32
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace testing_support {

namespace {
std::mutex g_boxLock;
std::deque<int> g_answers;
std::vector<MessageBoxRecorder::Box> g_boxes;

int RecordingHook(const char* text, const char* caption, UINT type) {
  std::lock_guard<std::mutex> l(g_boxLock);
  g_boxes.push_back({text, caption, type});
  if (!g_answers.empty()) {
    int a = g_answers.front();
    g_answers.pop_front();
    return a;
  }
  return platform::DefaultButton(type);
}

// Outside a recorder an unexpected box must not block a headless run: it is printed
// and answered with its default button.
int UnexpectedBoxHook(const char* text, const char* caption, UINT type) {
  fprintf(stderr, "message box (answered %d): [%s] %s\n", platform::DefaultButton(type), caption, text);
  return platform::DefaultButton(type);
}

[[maybe_unused]] unsigned g_dirCounter = 0;
}  // namespace

MessageBoxRecorder::MessageBoxRecorder() {
  Clear();
  platform::SetMessageBoxHook(RecordingHook);
}
MessageBoxRecorder::~MessageBoxRecorder() { platform::SetMessageBoxHook(UnexpectedBoxHook); }
void MessageBoxRecorder::QueueAnswer(int button) {
  std::lock_guard<std::mutex> l(g_boxLock);
  g_answers.push_back(button);
}
const std::vector<MessageBoxRecorder::Box>& MessageBoxRecorder::Boxes() const { return g_boxes; }
void MessageBoxRecorder::Clear() {
  std::lock_guard<std::mutex> l(g_boxLock);
  g_boxes.clear();
  g_answers.clear();
}

TempDir::TempDir() {
#ifdef _WIN32
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  for (;;) {
    m_path.Format("%scvt%lu_%u\\", base, (unsigned long)GetCurrentProcessId(), g_dirCounter++);
    if (CreateDirectoryA(m_path, nullptr)) break;
  }
#else
  char tmpl[] = "/tmp/cvtXXXXXX";
  const char* made = mkdtemp(tmpl);
  m_path = made ? made : "/tmp";
  m_path += "/";
  m_path.Replace('/', '\\');
#endif
}

namespace {
void RemoveTree(const CString& dir) {
  CFileFind f;
  BOOL more = f.FindFile(dir + "*.*");
  while (more) {
    more = f.FindNextFile();
    if (f.IsDots()) continue;
    CString p = f.GetFilePath();
    if (f.IsDirectory()) {
      RemoveTree(p + "\\");
    } else {
#ifdef _WIN32
      SetFileAttributesA(p, FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(p);
#else
      unlink(platform::NativePath(p).c_str());
#endif
    }
  }
#ifdef _WIN32
  SetFileAttributesA(dir, FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(dir);
#else
  chmod(platform::NativePath(dir).c_str(), 0755);
  rmdir(platform::NativePath(dir).c_str());
#endif
}
}  // namespace

TempDir::~TempDir() { RemoveTree(m_path); }

std::string ReadFileBytes(const char* path) {
  std::string out;
  CFile f;
  if (!f.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) return out;
  char buf[65536];
  for (;;) {
    UINT n = f.Read(buf, sizeof buf);
    if (n == 0) break;
    out.append(buf, n);
  }
  return out;
}

bool WriteFileBytes(const char* path, const std::string& data) {
  CFile f;
  if (!f.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::typeBinary)) return false;
  f.Write(data.data(), (UINT)data.size());
  return true;
}

bool FileExists(const char* path) {
#ifdef _WIN32
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
#else
  return access(platform::NativePath(path).c_str(), F_OK) == 0;
#endif
}

void SetReadOnly(const char* path, bool readOnly) {
#ifdef _WIN32
  SetFileAttributesA(path, readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
#else
  chmod(platform::NativePath(path).c_str(), readOnly ? 0444 : 0644);
#endif
}

}  // namespace testing_support

#ifdef _WIN32
static LONG WINAPI CrashFilter(EXCEPTION_POINTERS* info) {
  fprintf(stderr, "Unhandled exception 0x%08lx at %p\n", (unsigned long)info->ExceptionRecord->ExceptionCode,
          info->ExceptionRecord->ExceptionAddress);
  fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}
#elif !defined(__SANITIZE_ADDRESS__)
// Without the sanitizers (which report crashes themselves) a crash ends the same way
// as on Windows: a line on stderr and exit status 3, which ctest counts as a failure
// whatever the test's expectations.
extern "C" void CrashSignal(int sig) {
  static constexpr char kText[] = "Unhandled signal in a test program\n";
  ssize_t written = write(2, kText, sizeof kText - 1);
  (void)written;
  (void)sig;
  _exit(3);
}
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(CrashFilter);
  if (GetACP() != 936) {
    fprintf(stderr, "tests need code page 936, the system reports %u (run through scripts/wine-run.sh)\n", GetACP());
    return 4;
  }
#elif !defined(__SANITIZE_ADDRESS__)
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) signal(sig, CrashSignal);
#endif
  platform::SetMessageBoxHook(testing_support::UnexpectedBoxHook);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
