// Helpers every device link and its users share: the tag parser for the NAME[value]
// texts that controllers send, the controller's reply-line form, and the trace hook of
// the links.
#pragma once

#include "platform/core.h"

// Finds "tag[" (tag ignoring case) in text and copies the value up to "]" or NUL into
// value (cut to size - 1 characters). *number, when given, receives the value read as a
// decimal integer. Returns the value's length; 0 when the tag is missing or its value
// is empty (later occurrences are then not tried).
int ParseTag(const char* text, int textLength, const char* tag, char* value, int size, int32_t* number = nullptr);

// A controller reply line on the wire is its text, one blank, two upper-case hexadecimal
// digits of the 8-bit sum of every character up to and including that blank, and ";".
BYTE ReplyLineSum(const char* text, int length);
CString MakeReplyLine(const char* text);

// Trace points of the links; produces no output.
inline void DebugTrace(const char* /*format*/, ...) {}
