#include "foundation/texts.h"

#include "foundation/settings.h"
#include "resources/resource.h"

CString LoadLangString(UINT chineseId, UINT englishId) {
  CString s;
  s.LoadString(g_nUiLanguage != 0 ? englishId : chineseId);
  return s;
}

UINT PickLangId(UINT chineseId, UINT englishId) { return g_nUiLanguage == 1 ? englishId : chineseId; }

CString GetMessageCaption() { return LoadLangString(IDS_APP_TITLE_CN, IDS_APP_TITLE_EN) + CORVANE_VERSION_SUFFIX; }

int ShowMessage(const char* text, UINT type) { return platform::ShowMessageBox(text, GetMessageCaption(), type); }

namespace {

// Texts of the network error range (2100-2999). The platform keeps them in a message
// module that Wine does not ship, so the common ones live here.
struct NetText {
  DWORD code;
  const char* text;
};
const NetText kNetTexts[] = {
    {2102, "The workstation driver is not installed.\r\n"},
    {2103, "The server could not be located.\r\n"},
    {2104, "An internal error occurred. The network cannot access a shared memory segment.\r\n"},
    {2105, "A network resource shortage occurred.\r\n"},
    {2106, "This operation is not supported on workstations.\r\n"},
    {2107, "The device is not connected.\r\n"},
    {2114, "The Server service is not started.\r\n"},
    {2115, "The queue is empty.\r\n"},
    {2116, "The device or directory does not exist.\r\n"},
    {2117, "The operation is invalid on a redirected resource.\r\n"},
    {2118, "The name has already been shared.\r\n"},
    {2119, "The server is currently out of the requested resource.\r\n"},
    {2121, "Requested addition of items exceeds the maximum allowed.\r\n"},
    {2123, "The API return buffer is too small.\r\n"},
    {2127, "A remote API error occurred.\r\n"},
    {2131, "An error occurred when opening or reading the configuration file.\r\n"},
    {2136, "A general network error occurred.\r\n"},
    {2138, "The Workstation service has not been started.\r\n"},
    {2141, "The server is not configured for transactions.\r\n"},
    {2150, "The printer does not exist.\r\n"},
    {2182, "The requested service has already been started.\r\n"},
    {2184, "The service has not been started.\r\n"},
    {2202, "The user name or group name parameter is invalid.\r\n"},
    {2220, "The group name could not be found.\r\n"},
    {2221, "The user name could not be found.\r\n"},
    {2222, "The resource name could not be found.\r\n"},
    {2226, "This operation is only allowed on the primary domain controller of the domain.\r\n"},
    {2240, "The user is not allowed to log on from this workstation.\r\n"},
    {2242, "The password of this user has expired.\r\n"},
    {2245, "The password does not meet the password policy requirements.\r\n"},
    {2250, "This network connection does not exist.\r\n"},
    {2273, "The message alias could not be found on the network.\r\n"},
    {2310, "This shared resource does not exist.\r\n"},
    {2311, "The device is not shared.\r\n"},
    {2320, "The computer name could not be added as a message alias.\r\n"},
    {2382, "The system path could not be found.\r\n"},
    {2401, "There are open files on the connection.\r\n"},
    {2404, "The device is being accessed by an active process.\r\n"},
    {2453, "Could not find domain controller for this domain.\r\n"},
};

}  // namespace

CString ErrorCodeText(DWORD code) {
  if (code >= 2100 && code <= 2999) {
#ifdef _WIN32
    // The real module first, where the system has one.
    if (HMODULE mod = LoadLibraryExA("netmsg.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
      char* buf = nullptr;
      DWORD n =
          FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                         mod, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&buf, 0, nullptr);
      CString s = n ? CString(buf, (int)n) : CString();
      if (buf) LocalFree(buf);
      FreeLibrary(mod);
      if (!s.IsEmpty()) return s;
    }
#endif
    for (const NetText& t : kNetTexts)
      if (t.code == code) return t.text;
    return CString();
  }
#ifdef _WIN32
  char* buf = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&buf, 0, nullptr);
  CString s = n ? CString(buf, (int)n) : CString();
  if (buf) LocalFree(buf);
  return s;
#else
  return CString();
#endif
}

CString LastErrorText() { return ErrorCodeText(GetLastError()); }
