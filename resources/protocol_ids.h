// Resource ids of the frame protocol engine: pairs (Chinese, English).
#pragma once

// The abort message with kAbortSpillFailed: the spill file refused a frame.
#define IDS_FIFO_SPILL_FAILED_CN 7400
#define IDS_FIFO_SPILL_FAILED_EN 47400
