// Resource ids of the job table: pairs (Chinese, English).
#pragma once

// A job file of an old or unknown format: delete the job?
#define IDS_JOB_OLD_FORMAT_CN 5855
#define IDS_JOB_OLD_FORMAT_EN 57578
