#include "help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace aiimport {

namespace {

// The help viewer of the host's installation and the page of its manual for this program.
constexpr QLatin1String HelpViewer("PageShow.exe");
QStringList HelpViewerArguments() {
  return {QStringLiteral("brelmhlp.pdf"), QStringLiteral("47")};
}

constexpr int GuideSearchLevels = 3;

}  // namespace

HelpOpener DesktopHelpOpener() {
  HelpOpener opener;
  opener.ProgramDir = QCoreApplication::applicationDirPath();
  opener.StartProgram = [](const QString& program, const QStringList& arguments,
                           const QString& workingDir) {
    return QProcess::startDetached(program, arguments, workingDir);
  };
  opener.OpenUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  return opener;
}

QString FindUserGuide(const QString& programDir) {
  QDir dir(programDir);
  for (int level = 0; level <= GuideSearchLevels; ++level) {
    for (const QLatin1String name : {QLatin1String("USAGE.html"), QLatin1String("USAGE.md")}) {
      const QFileInfo guide(dir.filePath(QLatin1String("share/doc/aiimport/") + name));
      if (guide.isFile()) return guide.absoluteFilePath();
    }
    if (!dir.cdUp()) break;
  }
  return {};
}

QString OpenHelp(const HelpOpener& opener) {
  // The viewer is started without a shell, in the program's folder, where the manual is.
  const QString viewer = QDir(opener.ProgramDir).filePath(QString(HelpViewer));
  if (QFileInfo(viewer).isFile() && opener.StartProgram &&
      opener.StartProgram(viewer, HelpViewerArguments(), opener.ProgramDir))
    return {};

  const QString guide = FindUserGuide(opener.ProgramDir);
  if (guide.isEmpty())
    return QStringLiteral(
        "Help is not available: the user guide (share/doc/aiimport/USAGE.html) is not "
        "installed.");
  if (opener.OpenUrl && opener.OpenUrl(QUrl::fromLocalFile(guide))) return {};
  return QStringLiteral("Help is not available: no viewer could open ") +
         QDir::toNativeSeparators(guide);
}

}  // namespace aiimport
