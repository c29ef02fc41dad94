// Shared by the widget tests: one QApplication for the whole test program, on the offscreen
// platform unless another one is asked for. It is never destroyed: Qt's own objects must not
// outlive it during the exit handlers.
#pragma once

#include <QApplication>
#include <QByteArray>

namespace aiimport::testing {

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "widgets_test";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace aiimport::testing
