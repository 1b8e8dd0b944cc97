// Resource ids of the toolkit's layout and navigation controls: the tab strip's keys,
// the popup menu's item images, and the layout demo's templates and texts (pairs:
// Chinese, English).
#pragma once

// Keys of the owner-drawn tab strip and the commands they send to it.
#define IDR_TAB_ACCEL 129
#define ID_TAB_PREV 32771         // Left: previous tab, from the first to the last
#define ID_TAB_NEXT 32772         // Right: next tab, from the last to the first
#define ID_TAB_NEXT_CTRL 32773    // Ctrl+Tab: as ID_TAB_NEXT
#define ID_TAB_PREV_CTRL 32774    // Ctrl+Shift+Tab: as ID_TAB_PREV
#define ID_TAB_LAST 32775         // End
#define ID_TAB_FIRST 32776        // Home
#define ID_TAB_FOCUS_NEXT 32777   // Tab: as ID_TAB_FOCUS_PREV
#define ID_TAB_FOCUS_PREV 32778   // Shift+Tab: the parent's next (Shift: previous) tab stop
#define ID_TAB_FOCUS_PAGE 32779   // Up: the control's first child (a page)
#define ID_TAB_FOCUS_PAGE2 32780  // Down: as ID_TAB_FOCUS_PAGE

// Item images of the popup menu: 16 x 15 cells side by side, magenta transparent.
#define IDB_MENU_IMAGES 175
#define MENU_IMAGE_START 0
#define MENU_IMAGE_PAUSE 1
#define MENU_IMAGE_STOP 2
#define MENU_IMAGE_DELETE 3
#define MENU_IMAGE_PROPERTIES 4

// The layout demo: a resizable dialog with pages, anchored controls and a menu.
#define IDD_LAYOUT_DEMO_CN 9500
#define IDD_LAYOUT_DEMO_EN 9501
// Pages: each title is the string with the page template's id.
#define IDD_LAYOUT_PAGE_JOBS_CN 9502
#define IDD_LAYOUT_PAGE_JOBS_EN 9503
#define IDD_LAYOUT_PAGE_MACHINE_CN 9504
#define IDD_LAYOUT_PAGE_MACHINE_EN 9505

#define IDC_DEMO_JOB_LABEL 1301
#define IDC_DEMO_JOB_NAME 1302
#define IDC_DEMO_LINE_WIDTH 1303
#define IDC_DEMO_MENU 1304
#define IDC_DEMO_TABS 1305
#define IDC_DEMO_STATE 1306
#define IDC_DEMO_JOB_LIST 1310
#define IDC_DEMO_ADD 1311
#define IDC_DEMO_REMOVE 1312
#define IDC_DEMO_SELECTED 1313
#define IDC_DEMO_HINT 1314
#define IDC_DEMO_SPINDLE 1320
#define IDC_DEMO_SPINDLE_ON 1321
#define IDC_DEMO_COOLANT_ON 1322
#define IDC_DEMO_SPEED_LABEL 1323
#define IDC_DEMO_SPEED 1324
#define IDC_DEMO_HOME_PAGE 1325
#define IDC_DEMO_NOTES 1326

// Menu items of the demo's job menu and the texts around them.
#define IDS_DEMO_MENU_START_CN 9510
#define IDS_DEMO_MENU_START_EN 9511
#define IDS_DEMO_MENU_PAUSE_CN 9512
#define IDS_DEMO_MENU_PAUSE_EN 9513
#define IDS_DEMO_MENU_STOP_CN 9514
#define IDS_DEMO_MENU_STOP_EN 9515
#define IDS_DEMO_MENU_DELETE_CN 9516
#define IDS_DEMO_MENU_DELETE_EN 9517
#define IDS_DEMO_MENU_PROPERTIES_CN 9518
#define IDS_DEMO_MENU_PROPERTIES_EN 9519
#define IDS_DEMO_CHOSEN_CN 9520
#define IDS_DEMO_CHOSEN_EN 9521
#define IDS_DEMO_SELECTED_CN 9522
#define IDS_DEMO_SELECTED_EN 9523
#define ID_DEMO_START 9530
#define ID_DEMO_PAUSE 9531
#define ID_DEMO_STOP 9532
#define ID_DEMO_DELETE 9533
#define ID_DEMO_PROPERTIES 9534
