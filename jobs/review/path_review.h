// The path review's listing of a job's ".structs" file: every record as a text line in
// a colour, motion records numbered by tag, mode records and tags with their meaning.
// A tag range, three filters and a line limit choose what is listed. The dialog feeds
// the lines into its list box; this part reads the records and words them, portably.
//
// Tag numbers: a motion record (not merged away) that starts a new tag advances the tag
// number, except right after a rapid move or before any motion: the rapid that leads to
// a cut belongs to the tag it leads to.
#pragma once

#include "foundation/path_record.h"
#include "platform/core.h"

// Line colours (COLORREF), by the first rule that applies to the record.
constexpr COLORREF kReviewDiscardedColor = 0x404040;
constexpr COLORREF kReviewNewTagColor = 0x0000FF;
constexpr COLORREF kReviewRapidColor = 0x00FFFF;
constexpr COLORREF kReviewFeedColor = 0xFF0000;
constexpr COLORREF kReviewCwColor = 0xFF7F7F;
constexpr COLORREF kReviewCcwColor = 0x007F00;
constexpr COLORREF kReviewOtherColor = 0xFFFFFF;

constexpr int kReviewPumpInterval = 200;  // records between two queue drains

// The text of one record; lower-case axis letters for coordinates shown only because
// of showUnchanged. Empty for nothing (no record is described as empty today).
CString DescribePathRecord(const PathRecordData& record, bool showUnchanged);
COLORREF ReviewLineColor(const PathRecordData& record);

struct PathReviewOptions {
  DWORD nStartTag = 0;              // first tag listed
  DWORD nEndTag = 100;              // last tag listed
  bool bShowDiscarded = false;      // records the optimiser merged away
  bool bShowInterpolation = false;  // pieces the optimiser inserted (flags bit 0 clear)
  bool bShowUnchanged = false;      // every axis of a motion line
  long nLineLimit = 1000;           // lines before the operator is asked once
};

// Where the listing goes: the dialog's list box, label and question; a test's table.
class CPathReviewSink {
 public:
  virtual ~CPathReviewSink() = default;
  virtual void AddLine(const CString& text, COLORREF color) = 0;
  // Every kReviewPumpInterval records: drain the queue, show the line count. FALSE
  // ends the listing (a new one was asked for meanwhile).
  virtual BOOL Checkpoint(int lines) = 0;
  // The lines passed the limit: TRUE to list to the end without asking again.
  virtual BOOL ContinuePastLimit() = 0;
};

// Lists the whole records of the bytes (size / 118 of them; a partial record at the end
// is left out) into the sink; returns the number of lines listed.
int ListPathRecords(const BYTE* data, ULONGLONG size, const PathReviewOptions& options, CPathReviewSink& sink);

// A file mapped read-only for one listing or load: the whole file, shared for reading.
// Empty (Data() null, Size() 0) when the file is missing, empty or cannot be mapped.
class CReadOnlyFileView {
 public:
  CReadOnlyFileView() = default;
  ~CReadOnlyFileView() { Close(); }
  CReadOnlyFileView(const CReadOnlyFileView&) = delete;
  CReadOnlyFileView& operator=(const CReadOnlyFileView&) = delete;

  BOOL Open(const char* path);
  void Close();
  const BYTE* Data() const { return m_pData; }
  ULONGLONG Size() const { return m_nSize; }

 private:
  const BYTE* m_pData = nullptr;
  ULONGLONG m_nSize = 0;
#ifdef _WIN32
  HANDLE m_hFile = INVALID_HANDLE_VALUE;
  HANDLE m_hMapping = nullptr;
#else
  int m_fd = -1;
#endif
};
