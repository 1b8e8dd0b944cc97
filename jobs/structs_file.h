// The ".structs" file of a job: its optimised toolpath as 118-byte path records, one per
// element in order, no header, no trailer. The operator program writes it when a job is
// added and reads it back to rebuild a program; the engine streams it while the job
// runs. A partial record at the end is never read.
//
// Both directions run on the UI thread behind a progress display: every kPumpInterval
// records they report progress, drain the message queue (so the display repaints and
// its Cancel button works) and look at the cancel flag. Neither knows the program
// object: the records come from a CPathRecordSource and go to a CPathRecordSink.
#pragma once

#include "foundation/path_record.h"
#include "jobs/job_files.h"
#include "platform/core.h"

class CPathRecordSource {
 public:
  virtual ~CPathRecordSource() = default;
  // Records expected (the progress range).
  virtual int GetRecordCount() = 0;
  // Record `index` as it is to be stored; FALSE past the last.
  virtual BOOL GetRecord(int index, PathRecord& record) = 0;
};

class CPathRecordSink {
 public:
  virtual ~CPathRecordSink() = default;
  // Empties the destination: before the first record, and again when reading fails.
  virtual void Clear() = 0;
  // FALSE when the record cannot be taken (no memory).
  virtual BOOL Append(const PathRecord& record) = 0;
};

// Records between two progress reports, queue drains and cancel checks.
constexpr int kStructsPumpInterval = 500;
// Records read per chunk: one buffer of about a megabyte serves a file of any size.
constexpr int kStructsChunkRecords = 8474;

// Writes every record of the source into the opened file (bytes 14-17 and 114-117 of
// each record 0). FALSE when the source has no record, a write fails or the operator
// cancels; the caller then discards the file.
BOOL WritePathRecords(CReplacingFile& file, CPathRecordSource& source, CProgressSink* progress);
// Writes the whole file and puts it in place of the old one. FALSE, and the old file
// as it was, when the source is empty, the file cannot be written or the operator
// cancels.
BOOL WriteStructsFile(const char* path, CPathRecordSource& source, CProgressSink* progress);

// Reads every whole record of the file into the sink, after clearing it, and measures
// the toolpath: each move record that is not discarded and is a feed or an arc adds
// the straight distance from the end of the move record before it (arcs count their
// chord); the first move only sets the start. FALSE, with the sink untouched, for a
// missing file or one shorter than a record; FALSE, with the sink cleared, on cancel,
// a read error or a record the sink refuses.
BOOL ReadStructsFile(const char* path, CPathRecordSink& sink, CProgressSink* progress, double* length_mm);
