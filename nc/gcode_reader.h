// The G-code interpreter as the NC program and its load loop see it.
//
// The interpreter lives in nc/interp (library nc_interp) and keeps its whole state (the
// InterpreterSetup) in its reader object. A CNCProgram owns one through this interface,
// made by the loader for the first G-code line and dropped by every reset, so several
// programs load side by side. The load loop owns what is common to the text formats
// (line length limit, line count, progress, cancel, the report); the reader owns the
// file, because o-word control jumps around in it and opens subroutine files.
#pragma once

#include "platform/core.h"

class CGCodeReader {
 public:
  virtual ~CGCodeReader() = default;

  // Makes `path` the file the interpreter reads; FALSE when it cannot be opened.
  virtual BOOL OpenFile(const char* path) = 0;
  // Notes the position of the next line as the current line's start (o-word labels),
  // then reads that line from the interpreter's current file (CTextLineFile::ReadLine:
  // the whole line's length, at most capacity - 1 bytes stored, -1 at the end of the
  // input). *position receives the file position after the line, *hadNul whether the
  // line held a NUL byte.
  virtual int ReadLine(char* line, int capacity, ULONGLONG* position, bool* hadNul) = 0;
  // Interprets one trimmed line into the program; FALSE ends the load (program end, or
  // a fatal error with the program's stop flag set).
  virtual BOOL InterpretLine(int line, char* text) = 0;
  // After the last line: when the load reached the end of the input, reports what that
  // end leaves open (a block or a search for a subroutine never closed, a read error)
  // and stops the load for it; frees the texts of the load and closes the file.
  virtual void CloseFile(BOOL reachedEnd) = 0;
};
