// Resource ids shared by the .rc files and the code. Every text and dialog is a
// pair: the Chinese id and the English id.
#pragma once

// The program's icon (corvane.ico, drawn by scripts/make_icon.py): the windows' and
// dialogs' big and small icon.
#define IDI_PROGRAM 128

// Application title (the product's name), caption of every message box.
#define IDS_APP_TITLE_CN 57344
#define IDS_APP_TITLE_EN 45457

// A settings file stored as UTF-16 text, which is read but never written: %s the path.
#define IDS_SETTINGS_UTF16_CN 57400
#define IDS_SETTINGS_UTF16_EN 45400

#include "ui_ids.h"
#include "ui_list_ids.h"
#include "ui_layout_ids.h"
#include "nc_ids.h"
#include "device_ids.h"
#include "interp_ids.h"
#include "optimize_ids.h"
#include "planner_ids.h"
#include "protocol_ids.h"
#include "jobs_ids.h"
#include "jobdb_ids.h"
#include "job_order_ids.h"
#include "engine_runtime_ids.h"
#include "review_ids.h"
#include "rom_dlg_ids.h"
#include "tool_dlg_ids.h"
