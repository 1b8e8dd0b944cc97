// Resource ids of this area: pairs (Chinese, English).
#pragma once

// Device link and LAN search.
#define IDS_DEVICE_OPEN_FAILED_CN 5184  // "Device can't be opened:%s:%s"
#define IDS_DEVICE_OPEN_FAILED_EN 45353
#define IDD_LAN_SEARCH_CN 148
#define IDD_LAN_SEARCH_EN 149
#define IDC_LAN_SEARCH_PROGRESS 1053
#define IDC_LAN_SEARCH_LIST 1023

// Device and parameter-set names that cannot be file names.
#define IDS_BAD_FILE_NAME_CN 7300
#define IDS_BAD_FILE_NAME_EN 47300

// ROM parameter files.
#define IDS_ROM_INVALID_VALUES_CN 7301
#define IDS_ROM_INVALID_VALUES_EN 47301
#define IDS_ROM_NOT_WHOLE_CN 7302  // a file that cannot be read whole: %s the path
#define IDS_ROM_NOT_WHOLE_EN 47302
#define IDS_ROM_BAD_TEXT_CN 7303  // a string value the file could not carry back: %s
#define IDS_ROM_BAD_TEXT_EN 47303

// Cutter table.
#define IDS_CUTTER_TOO_MANY_CN 7304  // %d tools in the file, %d the table takes
#define IDS_CUTTER_TOO_MANY_EN 47304
#define IDS_CUTTER_NOT_SAVED_CN 7305
#define IDS_CUTTER_NOT_SAVED_EN 47305

// Cutter type names, types 1..7 (the id of type t is base + t - 1).
#define IDS_CUTTER_TYPE1_CN 7311
#define IDS_CUTTER_TYPE1_EN 47311
