// Small text helpers of the device files: C-style number reading, bounded copies into
// fixed text fields, and the check that a device or parameter-set name can be a file
// name under its folder and come back under the same name.
#pragma once

#include "platform/core.h"

namespace device_text {

// Leading blanks skipped, then the longest decimal number prefix ("1.5e3", "-2", ".5");
// 0 when there is none. Hexadecimal, "inf" and "nan" are not numbers here.
double ToDouble(const char* text);
// Leading blanks, an optional sign and decimal digits; larger numbers wrap modulo 2^32.
int32_t ToLong(const char* text);

// Copies text into a field of size bytes, always NUL-terminated, cut so that no
// double-byte character is split.
void CopyField(char* field, size_t size, const char* text);

}  // namespace device_text

// TRUE when name can name a file "<folder>\<name>.pam" that lists back as name: not
// empty, no "\", "/", ":", "." and none of the characters a file name cannot hold.
// On FALSE *error (when given) receives the message for the user.
BOOL CheckFileBaseName(const char* name, CString* error = nullptr);
