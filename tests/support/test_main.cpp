// Test entry: the thread that runs main is the main thread of the main-thread
// queue, as in the program.
#include "platform/main_thread.h"

#include <gtest/gtest.h>

int main(int argc, char **argv) {
  SetMainThread();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
