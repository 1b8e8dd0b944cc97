// Files: CFile, CStdioFile, CFileFind and the CFileException they throw.
//
// Paths are written with "\" as on Windows; the host build maps them to "/" at the
// system call. On Windows the sharing modes are the platform's; on the host they are
// accepted and not enforced.
#pragma once

#include <string>
#include <vector>

#include "platform/cstring.h"
#include "platform/types.h"

namespace platform {
// The path as the operating system wants it ("\" becomes "/" on the host).
std::string NativePath(const char* path);
// Last error of the calling thread as a platform error code (errno mapped on the host).
DWORD LastOsError();
}  // namespace platform

class CFileException {
 public:
  enum Cause {
    none = 0,
    genericException,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile,
  };

  CFileException() = default;
  CFileException(int cause, LONG osError, const char* fileName = nullptr)
      : m_cause(cause), m_lOsError(osError), m_strFileName(fileName) {}

  // Turns a platform error code into a cause.
  static int OsErrorToCause(LONG osError);
  // A short English description, for logs.
  CString GetErrorMessage() const;

  int m_cause = none;
  LONG m_lOsError = 0;
  CString m_strFileName;
};

class CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000,
  };
  enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

  CFile();
  // Opens or throws CFileException.
  CFile(const char* fileName, UINT openFlags);
  virtual ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // FALSE on failure, with the reason in *error when given.
  virtual BOOL Open(const char* fileName, UINT openFlags, CFileException* error = nullptr);
  virtual void Close();
  // Close without throwing.
  void Abort();
  BOOL IsOpen() const;

  // Read returns the bytes read (0 at end of file); Read and Write throw CFileException
  // on an I/O error. A short write is an error.
  virtual UINT Read(void* buf, UINT count);
  virtual void Write(const void* buf, UINT count);
  virtual ULONGLONG Seek(LONGLONG offset, UINT from);
  void SeekToBegin() { Seek(0, begin); }
  ULONGLONG SeekToEnd() { return Seek(0, end); }
  virtual ULONGLONG GetPosition() const;
  ULONGLONG GetLength() const;
  void SetLength(ULONGLONG length);
  void Flush();

  CString GetFilePath() const { return m_strFileName; }
  CString GetFileName() const;

  // Throw CFileException on failure.
  static void Remove(const char* fileName);
  static void Rename(const char* oldName, const char* newName);

 protected:
  void ThrowLastError() const;
  UINT m_nOpenFlags = 0;
  CString m_strFileName;
#ifdef _WIN32
  HANDLE m_hFile = INVALID_HANDLE_VALUE;
#else
  int m_fd = -1;
#endif
};

// Line-oriented file. Text mode (the default unless typeBinary) writes "\n" as "\r\n";
// ReadString drops the line end ("\n", "\r\n", and in text mode a lone trailing "\r").
class CStdioFile : public CFile {
 public:
  CStdioFile() = default;
  CStdioFile(const char* fileName, UINT openFlags) : CFile(fileName, openFlags) {}

  BOOL Open(const char* fileName, UINT openFlags, CFileException* error = nullptr) override;
  void Close() override;
  // FALSE at end of file (no characters read).
  BOOL ReadString(CString& line);
  void WriteString(const char* text);

  UINT Read(void* buf, UINT count) override;
  void Write(const void* buf, UINT count) override;
  ULONGLONG Seek(LONGLONG offset, UINT from) override;
  ULONGLONG GetPosition() const override;

 private:
  bool TextMode() const { return (m_nOpenFlags & typeBinary) == 0; }
  void DropReadAhead();
  std::vector<char> m_buf;  // read-ahead bytes not yet handed out
  size_t m_pos = 0;         // next byte of m_buf to hand out
};

// Directory listing by pattern ("dir\*.pam"). Usage as on the platform:
//   BOOL more = finder.FindFile(pattern);
//   while (more) { more = finder.FindNextFile(); ... finder.GetFileName() ... }
class CFileFind {
 public:
  CFileFind() = default;
  ~CFileFind() { Close(); }

  BOOL FindFile(const char* pattern = nullptr, DWORD unused = 0);
  // Moves to the next entry; returns FALSE when that entry is the last one.
  BOOL FindNextFile();
  void Close();

  CString GetFileName() const;
  CString GetFilePath() const;
  CString GetFileTitle() const;
  CString GetRoot() const { return m_root; }
  ULONGLONG GetLength() const;
  BOOL IsDirectory() const;
  BOOL IsDots() const;
  BOOL IsReadOnly() const;

 private:
  struct Entry {
    CString name;
    ULONGLONG size;
    bool directory;
    bool readOnly;
  };
  std::vector<Entry> m_entries;
  int m_next = 0;      // index of the entry FindNextFile moves to
  int m_current = -1;  // entry the getters describe
  CString m_root;      // folder of the pattern, ending with "\"
};

// Small file-system operations with "\" paths, in both builds. They report success and
// leave the reason in the thread's last error.
namespace platform {
bool PathExists(const char* path);
bool IsDirectoryPath(const char* path);
bool MakeDirectory(const char* path);
bool RemoveFolder(const char* path);  // an empty folder
bool RemoveFile(const char* path);
// Appends bytes at the end of a file (created when missing), as one write in append
// mode: lines appended by several processes at once never overwrite each other.
bool AppendToFile(const char* path, const void* data, size_t size);
}  // namespace platform
