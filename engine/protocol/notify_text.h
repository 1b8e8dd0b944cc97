// Controller lines handed to the engine dialog as posted messages.
//
// The frame protocol engine (and the dialog's own delayed release) posts every good
// reply line to the dialog: lParam is a heap copy of the line, which the receiver frees
// with FreeNotifyText whatever it does with it. Tag-progress lines go as the delayed
// message so the dialog can pace them.
#pragma once

#include "platform/core.h"
#include "platform/notify_sink.h"

constexpr UINT kNotifyTextMsg = 0x0400 + 200;     // WM_USER+200: a controller line
constexpr UINT kNotifyDelayedMsg = 0x0400 + 201;  // WM_USER+201: a tag-progress line

// Copies the line into a new heap block and posts it to the sink; the block is freed
// here when the post fails. FALSE without a sink or when the post failed.
BOOL PostNotifyText(INotifySink* sink, const char* line, BOOL delayed);
// The line a notify message carries.
inline const char* GetNotifyText(LPARAM lParam) { return reinterpret_cast<const char*>(lParam); }
// Frees the block of a notify message; null does nothing.
void FreeNotifyText(LPARAM lParam);
