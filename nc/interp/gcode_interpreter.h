// The G-code interpreter as one NC program's reader: it owns the program's interpreter
// state (InterpreterSetup) and the file being read, and turns each line into elements
// and tags of the program.
#pragma once

#include <memory>

#include "nc/gcode_reader.h"
#include "nc/interp/interp_setup.h"
#include "nc/read_context.h"

class CGCodeInterpreter : public CGCodeReader {
 public:
  // The state after init_setup; the distance mode follows the program's [UnitSystem]
  // "XYZAbs", as its coordinates do.
  explicit CGCodeInterpreter(CNCProgram& program);

  BOOL OpenFile(const char* path) override;
  int ReadLine(char* line, int capacity, ULONGLONG* position, bool* hadNul) override;
  BOOL InterpretLine(int line, char* text) override;
  void CloseFile(BOOL reachedEnd) override;

  const InterpreterSetup& GetSetup() const { return *m_pSetup; }

 private:
  // Appends the report line of a faulty line; `always` whatever the report's size.
  void ReportLine(const char* text, const CString& items, bool always);
  // The o-word control failed: the load stops after this line's report.
  BOOL StopAtControlError(const char* text, int status);

  CNCReadContext m_program;
  std::unique_ptr<InterpreterSetup> m_pSetup;  // 80 KB: kept off the stack of any caller
};

// The reader of `program`, made by the loader for the program's first G-code line.
std::unique_ptr<CGCodeReader> CreateGCodeReader(CNCProgram& program);
