// Resource ids of the path processor: pairs (Chinese, English).
#pragma once

// A setting the planner divides by is 0 or negative; %s names the setting.
#define IDS_PLANNER_BAD_SETTING_CN 7640
#define IDS_PLANNER_BAD_SETTING_EN 47640
