#include "platform/clock.h"

CSystemTicks& CSystemTicks::Instance() {
  static CSystemTicks ticks;
  return ticks;
}
