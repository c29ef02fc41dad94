// Help, from the tool bar's "?" and Help > Help: the help viewer beside the program where
// there is one (on Windows), else the installed user guide in the desktop's default viewer.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

namespace aiimport {

// How Help reaches its viewers. The window uses the desktop's; tests put recorders in.
struct HelpOpener {
  QString ProgramDir;  // the folder of the program, where the help viewer would be
  // Starts a program without waiting for it; false when it could not be started.
  std::function<bool(const QString& program, const QStringList& arguments,
                     const QString& workingDir)>
      StartProgram;
  // Opens a document in the desktop's default viewer; false when nothing could open it.
  std::function<bool(const QUrl& url)> OpenUrl;
};

// The program's folder, QProcess and QDesktopServices.
HelpOpener DesktopHelpOpener();

// The installed user guide: USAGE.html (else USAGE.md) in the nearest "share/doc/aiimport"
// at or above the program's folder, up to three levels up. That finds /usr/share/doc/aiimport
// for /usr/bin/aiimport, and the build folder's copy for a program run where it was built.
// Empty when there is none.
QString FindUserGuide(const QString& programDir);

// Opens help and returns what the status bar should say: empty when a viewer was started,
// else why nothing could be shown.
QString OpenHelp(const HelpOpener& opener);

}  // namespace aiimport
