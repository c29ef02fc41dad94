// The application object: its title, and the general error handling that reports an error
// escaping any event handler and lets the window go on.
#pragma once

#include <QApplication>

namespace aiimport {

class Tfmain;

// The application's title: the caption of its message boxes.
QString ApplicationTitle();

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;

  Tfmain* MainWindow = nullptr;  // reports the errors while it exists
};

// Runs the window: the main window first (its closing ends the program), then the hidden
// progress dialog, then the message loop. `arguments` are the program's own arguments.
int RunWindow(TApplication& app, const std::vector<std::string>& arguments);

}  // namespace aiimport
