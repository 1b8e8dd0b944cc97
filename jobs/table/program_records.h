// A loaded NC program as the source and the destination of a job's path records.
#pragma once

#include "jobs/structs_file.h"
#include "nc/nc_program.h"

// The program's elements in order, untransformed: the file keeps program coordinates.
class CProgramRecordSource : public CPathRecordSource {
 public:
  explicit CProgramRecordSource(CNCProgram& program) : m_program(program) {}
  int GetRecordCount() override { return m_program.GetElementCount(); }
  BOOL GetRecord(int index, PathRecord& record) override { return m_program.GetPathRecord(index, record, FALSE); }

 private:
  CNCProgram& m_program;
};

// Rebuilds the program element by element; Clear resets it (length 0).
class CProgramRecordSink : public CPathRecordSink {
 public:
  explicit CProgramRecordSink(CNCProgram& program) : m_program(program) {}
  void Clear() override { m_program.Reset(); }
  BOOL Append(const PathRecord& record) override { return m_program.AddPathRecord(&record); }

 private:
  CNCProgram& m_program;
};
