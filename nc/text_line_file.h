// Buffered line reading of an NC text file with the loader's exact line semantics.
//
// A read hands out at most `capacity - 1` bytes, the line's "\n" included, like fgets:
// a longer line comes out in pieces, which lets the caller tell an over-long line from
// a long one. The file position of every line start is known, so readers that jump back
// (o-word loops) can Seek to it.
#pragma once

#include <vector>

#include "platform/core.h"

class CTextLineFile {
 public:
  CTextLineFile() = default;
  ~CTextLineFile() { Close(); }
  CTextLineFile(const CTextLineFile&) = delete;
  CTextLineFile& operator=(const CTextLineFile&) = delete;

  // Opens for reading (binary, shared); FALSE when the file cannot be opened.
  BOOL Open(const char* path);
  void Close();
  bool IsOpen() const { return m_file.IsOpen(); }

  // Reads up to and including the next "\n", at most capacity - 1 bytes, and adds a NUL.
  // Returns the bytes stored (NUL bytes of the file count as bytes), 0 at the end of
  // the file or on a read error.
  int ReadLine(char* line, int capacity);
  // Like ReadLine, but drops whatever of the line does not fit; the line end counts as
  // read. Returns the bytes stored, or -1 at the end of the file.
  int ReadWholeLine(char* line, int capacity);

  // Position of the next byte ReadLine hands out.
  ULONGLONG GetPosition() const { return m_nBufferStart + m_nNext; }
  BOOL Seek(ULONGLONG position);
  ULONGLONG GetLength() const { return m_file.IsOpen() ? m_file.GetLength() : 0; }

 private:
  bool Fill();  // false at the end of the file

  CFile m_file;
  std::vector<char> m_buffer;
  size_t m_nNext = 0;            // next byte of m_buffer to hand out
  size_t m_nEnd = 0;             // bytes of m_buffer that hold file data
  ULONGLONG m_nBufferStart = 0;  // file position of m_buffer[0]
};
