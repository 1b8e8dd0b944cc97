// Resource ids of this area: pairs (Chinese, English).
#pragma once

// Progress strip.
#define IDD_PROGRESS_CN 139
#define IDD_PROGRESS_EN 140
#define IDC_PROGRESS_BAR 1053
