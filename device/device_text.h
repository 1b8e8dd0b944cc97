// Small text helpers of the device files: C-style number reading, bounded copies into
// fixed text fields, and the check that a device or parameter-set name can be a file
// name under its folder and come back under the same name.
#pragma once

#include "foundation/settings.h"
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

// "<program folder>\<name>\" (a "\" added after the program folder when it has none).
CString ProgramSubfolder(const char* name);
// Calls take(name) for every non-empty file "<folder>*.pam" (creating the folder when
// missing), name being the file name cut in front of cutAt, in listing order, until
// take returns FALSE.
template <class Take>
void ForEachPamFile(const CString& folder, const char* cutAt, Take take) {
  CreateFolderPath(folder);
  CFileFind finder;
  BOOL more = finder.FindFile(folder + "*.pam");
  while (more) {
    more = finder.FindNextFile();
    if (finder.IsDirectory() || finder.GetLength() == 0) continue;
    CString name = finder.GetFileName();
    int cut = name.Find(cutAt);
    if (cut >= 0) name = name.Left(cut);
    if (!take(name)) break;
  }
}
// Renames path to path + ".bak", replacing an older backup; throws CFileException
// (badPath for an empty path).
void MoveFileToBackup(const char* path);

// Where a listed ".pam" file's name is cut to give the name it stands for: device files
// at the first "." (so a device name holds no "."), parameter sets at the first ".pam".
constexpr char kDeviceNameCut[] = ".";
constexpr char kParamSetNameCut[] = ".pam";

// TRUE when name can name a file "<folder>\<name>.pam" that lists back as name when the
// listing cuts it at cutAt: not empty, none of "\", "/", ":" and the characters a file
// name cannot hold, not a device name of the system ("CON", "NUL", "COM1"...), and
// no cutAt inside. On FALSE *error (when given) receives the message for the user.
BOOL CheckFileBaseName(const char* name, const char* cutAt, CString* error = nullptr);
