#include "engine/runtime/status_report.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "foundation/settings.h"
#include "platform/bytes.h"
#include "platform/mbcs.h"

namespace {

UINT PutHead(BYTE* buffer, WORD type, WORD payloadLength) {
  bytes::Store16(buffer, type);
  bytes::Store16(buffer + 2, payloadLength);
  return 4;
}

}  // namespace

UINT BuildLineMessage(const char* line, BYTE* buffer) {
  const char* text = line ? line : "";
  size_t length = std::strlen(text);
  while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t')) --length;
  // Whole characters only, and room for the NUL.
  size_t fit = 0;
  const size_t limit = kChannelMaxPayload - 1;
  for (const char* p = text; fit < length;) {
    int n = mbcs::CharLen(p, text + length);
    if (fit + n > limit) break;
    fit += n;
    p += n;
  }
  std::memcpy(buffer + 4, text, fit);
  buffer[4 + fit] = 0;
  return PutHead(buffer, kMsgControllerLine, (WORD)(fit + 1)) + (UINT)fit + 1;
}

UINT BuildProgressMessage(DWORD tag, DWORD total, BYTE* buffer) {
  PutHead(buffer, kMsgProgress, 8);
  bytes::Store32(buffer + 4, tag);
  bytes::Store32(buffer + 8, total);
  return 12;
}

UINT BuildAttachResultMessage(BOOL loaded, BYTE* buffer) {
  PutHead(buffer, kMsgAttachResult, 1);
  buffer[4] = loaded ? 1 : 255;
  return 5;
}

BOOL ParseReplyPosition(const char* line, const double res_steps_in[3], Vec3& mm) {
  static const char kLetters[3] = {'X', 'Y', 'Z'};
  double value[3];
  for (int axis = 0; axis < 3; ++axis) {
    const char* at = std::strchr(line, kLetters[axis]);
    if (!at) return FALSE;
    value[axis] = std::atof(at + 1);
    double perMm = res_steps_in[axis] / 25.4;
    if (perMm > g_dDoubleZero) value[axis] /= perMm;
  }
  mm = Vec3(value[0], value[1], value[2]);
  return TRUE;
}

BOOL ParseTagProgress(const char* text, DWORD total, DWORD& tag) {
  while (*text == ' ') ++text;
  char* end = nullptr;
  errno = 0;
  long long n = std::strtoll(text, &end, 10);
  if (end == text || errno == ERANGE || n < 0 || n > (long long)total) return FALSE;
  tag = (DWORD)n;
  return TRUE;
}

CString FormatByteSize(double b) {
  CString text;
  if (b >= 1e9)
    text.Format("%.1fGB", b / 1e9);
  else if (b >= 1e6)
    text.Format("%.1fMB", b / 1e6);
  else if (b >= 1000)
    text.Format("%.1fKB", b / 1000);
  else
    text.Format("%.1fB", b);
  return text;
}

CString FormatElapsed(ULONGLONG seconds) {
  unsigned days = (unsigned)(seconds / 86400), h = (unsigned)(seconds / 3600 % 24);
  unsigned m = (unsigned)(seconds / 60 % 60), s = (unsigned)(seconds % 60);
  CString text;
  if (days > 0)
    text.Format("%02u %02u:%02u:%02u", days, h, m, s);
  else
    text.Format("%02u:%02u:%02u", h, m, s);
  return text;
}
