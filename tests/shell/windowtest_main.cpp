// The window tests run inside one application object, offscreen.
#include <gtest/gtest.h>

#include <cstdlib>

#include "application.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  aiimport::TApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
