// Buffered reading of an NC text file, line by line or byte by byte.
//
// Files come from any system: a line ends with LF, CR LF or a CR alone, and a UTF-8
// byte-order mark at the start is no part of the text. The file position of every line
// start is known, so readers that jump back (o-word loops) can Seek to it.
#pragma once

#include <vector>

#include "platform/core.h"

class CTextLineFile {
 public:
  CTextLineFile() = default;
  ~CTextLineFile() { Close(); }
  CTextLineFile(const CTextLineFile&) = delete;
  CTextLineFile& operator=(const CTextLineFile&) = delete;

  // Opens for reading (binary, shared) and steps over a byte-order mark; false when the
  // file cannot be opened.
  bool Open(const char* path);
  void Close();
  bool IsOpen() const { return m_file.IsOpen(); }

  // Reads the next line without its line end. Stores at most capacity - 1 bytes and a
  // NUL (NUL bytes of the file are stored as they come) and skips the rest of a longer
  // line. Returns the length of the whole line (at most INT_MAX), or -1 at the end of the
  // file.
  int ReadLine(char* line, int capacity);
  // The line last read held a NUL byte.
  bool LineHadNul() const { return m_bLineHadNul; }
  // The next byte, or -1 at the end of the file.
  int ReadByte() {
    if (m_nNext == m_nEnd && !Fill()) return -1;
    return (unsigned char)m_buffer[m_nNext++];
  }
  // The next byte without reading it, or -1 at the end of the file.
  int PeekByte() {
    if (m_nNext == m_nEnd && !Fill()) return -1;
    return (unsigned char)m_buffer[m_nNext];
  }

  // Position of the next byte to be read.
  ULONGLONG GetPosition() const { return m_nBufferStart + m_nNext; }
  bool Seek(ULONGLONG position);
  ULONGLONG GetLength() const { return m_file.IsOpen() ? m_file.GetLength() : 0; }
  // A read failed: what looked like the end of the file was not.
  bool HasReadError() const { return m_bReadError; }

 private:
  bool Fill();  // false at the end of the file
  // After a CR: a LF right after it belongs to the same line end.
  void SkipLfAfterCr() {
    if (PeekByte() == '\n') m_nNext++;
  }

  CFile m_file;
  std::vector<char> m_buffer;
  size_t m_nNext = 0;            // next byte of m_buffer to hand out
  size_t m_nEnd = 0;             // bytes of m_buffer that hold file data
  bool m_bLineHadNul = false;    // of the line last read
  ULONGLONG m_nBufferStart = 0;  // file position of m_buffer[0]
  bool m_bReadError = false;
};
