// The engine's reports to the operator program, as bytes and texts: ring messages 20
// (a controller line), 21 (tag progress) and 30 (attach result), positions read from the
// controller's "W" and "O" lines, and the texts of the throughput and elapsed time.
//
// A ring slot carries at most kChannelMaxPayload bytes of payload: a controller line
// longer than that is cut on a character boundary, never written past the slot.
#pragma once

#include "foundation/geometry.h"
#include "foundation/job_channel.h"
#include "platform/core.h"

// Message 20: the line with trailing blanks removed and its NUL, cut to fit the slot.
// Returns the message length (head + payload).
UINT BuildLineMessage(const char* line, BYTE* buffer);
// Message 21: (current tag, total tags). Returns 12.
UINT BuildProgressMessage(DWORD tag, DWORD total, BYTE* buffer);
// Message 30: 1 loaded, 255 not. Returns 5.
UINT BuildAttachResultMessage(BOOL loaded, BYTE* buffer);

// The position of a "W" or "O" line: the numbers after the first "X", "Y" and "Z" of the
// line, each divided by its own axis's steps per millimetre (resolution / 25.4) when that
// is above the epsilon. FALSE, with `mm` untouched, when a letter is missing.
BOOL ParseReplyPosition(const char* line, const double res_steps_in[3], Vec3& mm);

// The tag of a "G" line's text: TRUE when it is a number within 0..total (0: the job
// has begun). Anything else is not progress of this job.
BOOL ParseTagProgress(const char* text, DWORD total, DWORD& tag);

// "%.1fGB", "%.1fMB", "%.1fKB" or "%.1fB".
CString FormatByteSize(double bytes);
// "%02u:%02u:%02u", or "%02u %02u:%02u:%02u" with the days from one day on.
CString FormatElapsed(ULONGLONG seconds);
