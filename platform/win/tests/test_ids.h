// Templates of the framework's own tests (not part of any program).
#pragma once
#define IDD_TEST_FORM 30100
#define IDD_TEST_CHILD 30101
#define IDC_T_TEXT 1001
#define IDC_T_INT 1002
#define IDC_T_DOUBLE 1003
#define IDC_T_CHECK 1004
#define IDC_T_RADIO1 1005
#define IDC_T_RADIO2 1006
#define IDC_T_RADIO3 1007
#define IDC_T_COMBO 1008
#define IDC_T_LIST 1009
#define IDC_T_APPLY 1010
#define IDC_T_DRAWN 1011
#define IDC_T_AFTER 1012
