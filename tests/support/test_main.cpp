// The test programs' main: the stand-ins' echo to stderr is turned off, since
// the tests read their journals instead.
#include <gtest/gtest.h>

#include "plinth_control.h"
#include "user32_control.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  PlinthSetEcho(0);
  User32SetEcho(0);
  return RUN_ALL_TESTS();
}
