// INI ("profile") files, with the semantics of the Windows private profile functions:
// section and key names match without regard to case (ASCII letters), blanks around
// names and values are ignored, a value in matching quotes loses them, a missing file,
// section or key gives the default, and a write creates what is missing while keeping
// every other line of the file byte for byte.
//
// Unlike the platform's functions a write never leaves a torn file: the new content goes
// to a temporary file beside the old one, which then replaces it in one rename. Writers
// of one file are serialised by a named mutex, so two programs writing different keys
// of "Parameters.ini" do not lose each other's update.
#pragma once

#include <string>
#include <vector>

#include "platform/cstring.h"
#include "platform/types.h"

// Reads (section, key). With key == nullptr the key names of the section are returned,
// each NUL-terminated, the list ended by a second NUL; with section == nullptr the same
// for the section names. The result is cut to size - 1 characters (lists to size - 2
// with the final NULs kept). Returns the number of characters copied, without the
// terminating NUL.
DWORD ProfileGetString(const char* section, const char* key, const char* def, char* out, DWORD size, const char* file);

// Convenience: the value as a CString, cut to maxChars - 1 characters.
CString ProfileGetText(const char* section, const char* key, const char* def, const char* file, DWORD maxChars = 8192);

// Writes (section, key) = value. value == nullptr removes the key, key == nullptr removes
// the whole section. FALSE when the file could not be written (then it is unchanged).
// A UTF-8 byte-order mark stays in front. A UTF-16 file is read but never written:
// ANSI lines inside it would spoil it for every reader (FALSE, file unchanged).
BOOL ProfileWriteString(const char* section, const char* key, const char* value, const char* file);

// Replaces the keys of a section with the given "key=value" lines (each NUL-terminated,
// the list ended by a second NUL), creating the section when missing.
BOOL ProfileWriteSection(const char* section, const char* lines, const char* file);

// Whether (section, key) stands in the file.
BOOL ProfileHasKey(const char* section, const char* key, const char* file);

// Whether the file is UTF-16 text, which the writers refuse.
BOOL ProfileIsUtf16File(const char* file);

// Reads the "key=value" lines of a section as such a NUL-separated list.
DWORD ProfileGetSection(const char* section, char* out, DWORD size, const char* file);

// The same lines, all of them, one entry each (an entry keeps any NUL byte the line
// holds). FALSE when the file cannot be read or has no such section.
BOOL ProfileGetSectionLines(const char* section, std::vector<std::string>& lines, const char* file);
