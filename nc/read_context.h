// CNCReadContext: what a format reader may do to the program it reads into.
//
// The readers of the three formats (nc/formats, nc/interp) and the loader keep their
// modal state in the program between lines, and only they write it: this small handle
// gives them that state and the adders. Consumers of a loaded program never need one.
#pragma once

#include "nc/nc_program.h"

class CNCReadContext {
 public:
  explicit CNCReadContext(CNCProgram& program) : m_program(program) {}

  CNCProgram& Program() const { return m_program; }
  NCReadState& State() const { return m_program.m_read; }
  HpglState& Hpgl() const { return m_program.m_hpgl; }
  double ArcTolerance() const { return m_program.m_dArcTolerance; }

  BOOL AddCode(WORD code) const { return m_program.AddCode(code); }
  BOOL AddTag(const char* name, double value, ToolRecord* tool = nullptr) const {
    return m_program.AddTag(name, value, tool);
  }
  BOOL AddLine(WORD code, BYTE axes, const Vec3& end) const { return m_program.AddLine(code, axes, end); }
  BOOL AddArc(WORD code, BYTE plane, BYTE axes, const Vec3& end, const Vec3& center) const {
    return m_program.AddArc(code, plane, axes, end, center);
  }
  BOOL AddUsedTool(int tool) const { return m_program.AddUsedTool(tool); }
  BOOL AppendLineReport(const CString& entry, BOOL always = FALSE) const {
    return m_program.AppendLineReport(entry, always);
  }
  void AppendLoadError(const CString& text) const { m_program.AppendLoadError(text); }

  // Ends the load as failed: "Line %d: <text>" for the line being read goes into the
  // report (whatever its size) and the stop flag is set.
  void Stop(const CString& text) const;

 private:
  CNCProgram& m_program;
};
