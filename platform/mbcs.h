// Double-byte character set helpers for the active code page.
//
// The programs are ANSI: Chinese texts are GBK (code page 936), where a lead byte
// 0x81-0xFE is followed by a trail byte that may be an ASCII letter or a backslash.
// Anything that maps case, searches or splits a text steps over whole characters.
#pragma once

#include "platform/types.h"

namespace mbcs {

// Lead-byte table of the active code page, filled once.
const bool* LeadTable();

inline bool IsLead(unsigned char c) { return c >= 0x80 && LeadTable()[c]; }

// Length in bytes of the character that starts at p (1 or 2; a lead byte before the
// terminating NUL counts as 1 so that nothing reads past the end).
inline int CharLen(const char* p) { return (IsLead((unsigned char)p[0]) && p[1] != '\0') ? 2 : 1; }

// Same, for a buffer of known length.
inline int CharLen(const char* p, const char* end) { return (IsLead((unsigned char)p[0]) && p + 1 < end) ? 2 : 1; }

}  // namespace mbcs
