#include "engine/protocol/notify_text.h"

#include <cstring>

BOOL PostNotifyText(INotifySink* sink, const char* line, BOOL delayed) {
  if (!sink) return FALSE;
  const char* text = line ? line : "";
  size_t length = strlen(text);
  char* block = new char[length + 10];  // room the receiver may use to edit in place
  memcpy(block, text, length + 1);
  LPARAM lParam = reinterpret_cast<LPARAM>(block);
  if (sink->PostNotify(delayed ? kNotifyDelayedMsg : kNotifyTextMsg, 0, lParam)) return TRUE;
  delete[] block;
  return FALSE;
}

void FreeNotifyText(LPARAM lParam) { delete[] reinterpret_cast<char*>(lParam); }
