// Resource ids of the path optimiser: pairs (Chinese, English).
#pragma once

// Door fold.
#define IDS_OPT_DISABLED_AREA_CN 5952
#define IDS_OPT_DISABLED_AREA_EN 57675
#define IDS_OPT_PLANE_CHANGE_CN 5922
#define IDS_OPT_PLANE_CHANGE_EN 57645
