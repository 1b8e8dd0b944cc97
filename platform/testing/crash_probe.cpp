// A test program that crashes on purpose: the harness must report it as a failure
// (under Wine a crash may otherwise end with exit status 0).
#include <gtest/gtest.h>

namespace {

int* volatile g_nowhere = nullptr;

TEST(HarnessProbe, CrashIsAFailure) {
  *g_nowhere = 1;
  SUCCEED();
}

}  // namespace
