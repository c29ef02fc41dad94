#include "application.h"

#include <QMessageBox>
#include <exception>

#include "abortdialog.h"
#include "icons.h"
#include "mainwindow.h"

namespace aiimport {

QString ApplicationTitle() {
  return QStringLiteral("Adobe Illustrator Import Module V2.5");
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // The application's title is not made Qt's display name: under X11 Qt would add it to every
  // window's title, and the progress dialog's "Processing File" would not fit its frame.
  setApplicationName(QStringLiteral("aiimport"));
  setDesktopFileName(
      QStringLiteral("aiimport"));  // the installed desktop entry, for the task bar's icon
  setWindowIcon(ProgramIcon());
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  // The handlers guard themselves; this is the last line for anything that still escapes.
  QString message;
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    message = QString::fromLocal8Bit(e.what());
  } catch (...) {
    message = QStringLiteral("An unexpected error occurred.");
  }
  if (MainWindow)
    MainWindow->ReportError(message);
  else
    QMessageBox::critical(nullptr, ApplicationTitle(), message);
  return false;
}

int RunWindow(TApplication& app, const std::vector<std::string>& arguments) {
  Tfmain fmain(arguments);
  fmain.SetProgressDialog(std::make_unique<Tfabort>());
  app.MainWindow = &fmain;
  fmain.show();
  const int code = app.exec();
  app.MainWindow = nullptr;
  return code;
}

}  // namespace aiimport
