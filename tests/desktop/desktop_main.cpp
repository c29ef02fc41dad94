// The desktop tests run inside one application object on the X server that DISPLAY names (the
// xcb platform). Without a display, or when the tests are only listed, there is none and every
// test skips.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "application.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const char* display = std::getenv("DISPLAY");
  std::unique_ptr<aiimport::TApplication> app;
  if (display && *display && !GTEST_FLAG_GET(list_tests)) {
    setenv("QT_QPA_PLATFORM", "xcb", 0);
    app = std::make_unique<aiimport::TApplication>(argc, argv);
  }
  return RUN_ALL_TESTS();
}
