// The G-code interpreter as the NC program's load loop sees it.
//
// The interpreter lives in nc/interp. It derives from CGCodeReader and keeps its whole
// state (the InterpreterSetup) in that object; every CNCProgram owns one, made afresh by
// each CNCProgram::Reset, so several programs can load side by side. The load loop owns
// everything common to the text formats (line length limit, line count, progress, cancel,
// the report); the reader owns the file, because o-word control jumps around in it and
// opens subroutine files.
//
// nc/interp defines CreateGCodeReader.
#pragma once

#include <memory>

#include "platform/core.h"

class CNCProgram;

class CGCodeReader {
 public:
  virtual ~CGCodeReader() = default;

  // Makes `path` the file the interpreter reads (its setup's file and file name);
  // FALSE when it cannot be opened.
  virtual BOOL OpenFile(const char* path) = 0;
  // Notes the position of the next line as the current line's start (o-word labels),
  // then reads it from the interpreter's current file, "\n" included, at most
  // capacity - 1 bytes and a NUL (fgets semantics). Returns the bytes read, 0 when no
  // input is left. *position receives the file position after the line.
  virtual int ReadLine(char* line, int capacity, ULONGLONG* position) = 0;
  // Interprets one trimmed line into the program (CNCProgram::InterpretLine); FALSE ends
  // the load (program end, or a fatal error with the program's m_bStop set).
  virtual BOOL InterpretLine(int line, char* text) = 0;
  // After the last line: appends to the program's report (CNCProgram::AppendLoadError)
  // what the end of the file leaves open, such as an unfinished skip to a subroutine
  // (error 228); frees the texts of the load and closes the file.
  virtual void CloseFile() = 0;
};

// The reader of `program`, in the state after init_setup; null when the interpreter is
// not part of this build.
std::unique_ptr<CGCodeReader> CreateGCodeReader(CNCProgram& program);
