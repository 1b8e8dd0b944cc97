#include "device/ui/attached_devices.h"

#include <vector>

#include "foundation/settings.h"
#include "platform/profile.h"

const char* const kBaudRateTexts[kBaudRates] = {"2400",  "9600",  "14400",  "19200", "38400",
                                                "56000", "57600", "115200", "230400"};

namespace {
constexpr char kSection[] = "AttachedDevice";
}

void ReadAttachedDevices(CStringArray& list) {
  list.RemoveAll();
  for (int i = 1;; ++i) {
    CString key;
    key.Format("Device%d", i);
    char value[260] = "";
    ProfileGetString(kSection, key, "", value, sizeof value, GetParamsFilePath());
    CString entry(value);
    entry.Trim();
    if (entry.IsEmpty()) break;
    list.Add(entry);
  }
}

BOOL WriteAttachedDevices(const CStringArray& list) {
  std::vector<char> section((size_t)kAttachedSectionSize, '\0');
  size_t used = 0;
  for (int i = 0; i < list.GetSize(); ++i) {
    CString line;
    line.Format("Device%d=%s", i + 1, list[i].GetString());
    // The line, its NUL and the list's final NUL must fit.
    if (used + (size_t)line.GetLength() + 2 > section.size()) return FALSE;
    memcpy(&section[used], line.GetString(), (size_t)line.GetLength());
    used += (size_t)line.GetLength() + 1;
  }
  return ProfileWriteSection(kSection, section.data(), GetParamsFilePath());
}
