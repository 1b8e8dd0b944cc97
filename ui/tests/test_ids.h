// Templates of the toolkit's tests (not part of any program).
#pragma once
#define IDD_T_LAYOUT 31000
#define IDD_T_ANCHOR 31001
#define IDD_T_HOST 31002
#define IDD_T_PAGE_A 31003
#define IDD_T_PAGE_B 31004
#define IDD_T_PAGE_NO_TITLE 31005
#define IDD_T_CONTROLS 31006

#define IDC_T_EDIT 1001
#define IDC_T_BUTTON 1002
#define IDC_T_LIST 1003
#define IDC_T_COMBO 1004
#define IDC_T_GROUP 1005
#define IDC_T_CHECK 1006
#define IDC_T_TAB 1007
#define IDC_T_TAB_EDIT 1008
#define IDC_T_TEXT 1009
#define IDC_T_ICON 1010
#define IDC_T_CENTER_A 1011
#define IDC_T_CENTER_B 1012
#define IDC_T_CORNER 1013
#define IDC_T_STILL 1014
#define IDC_T_PAGE_EDIT 1015
#define IDC_T_LINK 1016
#define IDC_T_MISSING 1099
