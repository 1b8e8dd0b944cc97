// Helpers shared by the tests of both builds.
#pragma once

#include <string>
#include <vector>

#include "platform/core.h"

namespace testing_support {

// A fresh folder for one test, removed with everything in it at the end. Path() uses
// "\" and ends with one, as the programs' own paths do.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const CString& Path() const { return m_path; }
  CString operator/(const char* name) const { return m_path + name; }

 private:
  CString m_path;
};

// Whole-file helpers (binary).
std::string ReadFileBytes(const char* path);
bool WriteFileBytes(const char* path, const std::string& data);
bool FileExists(const char* path);
// Sets or clears the read-only attribute (the write bits on the host).
void SetReadOnly(const char* path, bool readOnly);

// Answers message boxes while alive and records what they said.
class MessageBoxRecorder {
 public:
  struct Box {
    std::string text;
    std::string caption;
    UINT type;
  };
  MessageBoxRecorder();
  ~MessageBoxRecorder();
  // Answers to give, in order; after they run out the box's default button is pressed.
  void QueueAnswer(int button);
  const std::vector<Box>& Boxes() const;
  void Clear();
};

}  // namespace testing_support
