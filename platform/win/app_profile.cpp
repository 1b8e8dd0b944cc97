#include "platform/win/app_profile.h"

#include "platform/profile.h"

namespace {

CString g_strProfileFile;  // empty: beside the program

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

CString AfxGetProfileFile() {
  if (!g_strProfileFile.IsEmpty()) return g_strProfileFile;
  char path[MAX_PATH] = {};
  DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  CString file(path, (int)n);
  int dot = file.ReverseFind('.');
  int slash = file.ReverseFind('\\');
  if (dot > slash) file = file.Left(dot);
  return file + ".ini";
}

void AfxSetProfileFile(LPCTSTR path) { g_strProfileFile = path ? path : ""; }

BOOL AfxWriteProfileBinary(LPCTSTR section, LPCTSTR entry, const BYTE* data, UINT bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  CString text;
  char* out = text.GetBuffer((int)bytes * 2 + 1);
  for (UINT i = 0; i < bytes; ++i) {
    out[2 * i] = kDigits[data[i] >> 4];
    out[2 * i + 1] = kDigits[data[i] & 0xF];
  }
  text.ReleaseBuffer((int)bytes * 2);
  return ProfileWriteString(section, entry, text, AfxGetProfileFile());
}

BOOL AfxGetProfileBinary(LPCTSTR section, LPCTSTR entry, BYTE** data, UINT* bytes) {
  *data = nullptr;
  *bytes = 0;
  CString text = ProfileGetText(section, entry, "", AfxGetProfileFile());
  int n = text.GetLength();
  if (n == 0 || n % 2 != 0) return FALSE;
  BYTE* buf = new BYTE[(size_t)n / 2];
  for (int i = 0; i < n; i += 2) {
    int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) {
      delete[] buf;
      return FALSE;
    }
    buf[i / 2] = (BYTE)(hi << 4 | lo);
  }
  *data = buf;
  *bytes = (UINT)n / 2;
  return TRUE;
}
