// The records of a CAM file into path elements and tags of an NC program.
#pragma once

#include "nc/formats/cam_file.h"
#include "nc/read_context.h"

class CCamRecordReader {
 public:
  explicit CCamRecordReader(CNCProgram& program) : m_ctx(program) {}

  // One record (4-byte head and payload, `size` bytes in all) numbered `record`. FALSE
  // when the program had ended (the record is ignored) or a fatal error stopped reading.
  // Unknown codes, records too short for their code and values that are not finite
  // numbers are listed in the report and skipped.
  BOOL AddCamRecord(int record, const BYTE* data, int size);

 private:
  // A record's entry in the report: listed once, after ", ".
  void Report(const CString& entry);

  CNCReadContext m_ctx;
};
