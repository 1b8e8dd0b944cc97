// Resource ids of this area: pairs (Chinese, English).
#pragma once

// The random-seed question of srand[].
#define IDD_RANDOM_SEED_CN 9100
#define IDD_RANDOM_SEED_EN 9101
#define IDC_ENABLE_SRAND 9110
#define IDC_SEED_EDIT 9111
