// The portable platform core in one include.
#pragma once

#include "platform/collections.h"
#include "platform/cstring.h"
#include "platform/file.h"
#include "platform/profile.h"
#include "platform/progress.h"
#include "platform/rect.h"
#include "platform/sync.h"
#include "platform/types.h"
#include "platform/ui_hooks.h"
#include "platform/wintime.h"
