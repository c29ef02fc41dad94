// Help (the help viewer, else the installed user guide, else a word in the status bar) and the
// program's icon.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>
#include <string>
#include <vector>

#include "help.h"
#include "icons.h"
#include "windowtest.h"

namespace aiimport::testing {
namespace {

// Makes an empty file (and its folders) under `root`.
void Touch(const QString& root, const char* relative) {
  const QString path = QDir(root).filePath(QString::fromUtf8(relative));
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

struct GuideCase {
  const char* Name;
  std::vector<const char*> Files;  // made under the root
  const char* ProgramDir;          // below the root
  const char* Expected;            // below the root; empty: none found
};

TEST(Help, FindsTheNearestInstalledGuide) {
  const std::vector<GuideCase> cases = {
      {"installed page",
       {"usr/share/doc/aiimport/USAGE.html"},
       "usr/bin",
       "usr/share/doc/aiimport/USAGE.html"},
      {"installed Markdown only",
       {"usr/share/doc/aiimport/USAGE.md"},
       "usr/bin",
       "usr/share/doc/aiimport/USAGE.md"},
      {"the page before the Markdown",
       {"usr/share/doc/aiimport/USAGE.md", "usr/share/doc/aiimport/USAGE.html"},
       "usr/bin",
       "usr/share/doc/aiimport/USAGE.html"},
      {"build folder",
       {"build/share/doc/aiimport/USAGE.html"},
       "build/src/shell",
       "build/share/doc/aiimport/USAGE.html"},
      {"the nearer one wins",
       {"a/share/doc/aiimport/USAGE.html", "a/b/share/doc/aiimport/USAGE.md"},
       "a/b/c",
       "a/b/share/doc/aiimport/USAGE.md"},
      {"three levels up",
       {"share/doc/aiimport/USAGE.html"},
       "a/b/c",
       "share/doc/aiimport/USAGE.html"},
      {"four levels up is too far", {"share/doc/aiimport/USAGE.html"}, "a/b/c/d", ""},
      {"nothing installed", {}, "usr/bin", ""},
  };
  for (const GuideCase& c : cases) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    for (const char* file : c.Files)
      Touch(root.path(), file);
    const QString programDir = QDir(root.path()).filePath(QString::fromUtf8(c.ProgramDir));
    QDir().mkpath(programDir);
    const QString expected =
        *c.Expected ? QDir(root.path()).filePath(QString::fromUtf8(c.Expected)) : QString();
    EXPECT_EQ(FindUserGuide(programDir), expected) << c.Name;
  }
}

// What Help asked for.
struct Recorder {
  std::vector<QString> Started;  // program, its arguments and its folder, joined by "|"
  std::vector<QUrl> Opened;
};

HelpOpener RecordingOpener(const QString& programDir, Recorder& record, bool viewerStarts,
                           bool urlOpens) {
  HelpOpener opener;
  opener.ProgramDir = programDir;
  opener.StartProgram = [&record, viewerStarts](const QString& program,
                                                const QStringList& arguments, const QString& dir) {
    const QString bar = QStringLiteral("|");
    record.Started.push_back(program + bar + arguments.join(bar) + bar + dir);
    return viewerStarts;
  };
  opener.OpenUrl = [&record, urlOpens](const QUrl& url) {
    record.Opened.push_back(url);
    return urlOpens;
  };
  return opener;
}

struct OpenCase {
  const char* Name;
  bool Viewer, ViewerStarts, Guide, UrlOpens;
  bool ExpectStarted, ExpectOpened;
  const char* Message;  // "" for none; "GUIDE" stands for the guide's path
};

TEST(Help, ViewerThenGuideThenAMessage) {
  const char* const notInstalled =
      "Help is not available: the user guide (share/doc/aiimport/USAGE.html) is not installed.";
  const char* const noViewer = "Help is not available: no viewer could open GUIDE";
  const std::vector<OpenCase> cases = {
      {"the viewer starts", true, true, true, true, true, false, ""},
      {"the viewer fails, the guide opens", true, false, true, true, true, true, ""},
      {"no viewer, the guide opens", false, false, true, true, false, true, ""},
      {"no viewer, nothing opens the guide", false, false, true, false, false, true, noViewer},
      {"no viewer, no guide", false, false, false, true, false, false, notInstalled},
      {"the viewer fails, no guide", true, false, false, true, true, false, notInstalled},
  };
  for (const OpenCase& c : cases) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString bin = QDir(root.path()).filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    if (c.Viewer) Touch(bin, "PageShow.exe");
    const QString guide =
        QDir(root.path()).filePath(QStringLiteral("share/doc/aiimport/USAGE.html"));
    if (c.Guide) Touch(root.path(), "share/doc/aiimport/USAGE.html");

    Recorder record;
    const QString message = OpenHelp(RecordingOpener(bin, record, c.ViewerStarts, c.UrlOpens));
    EXPECT_EQ(message, QString::fromUtf8(c.Message).replace(QStringLiteral("GUIDE"),
                                                            QDir::toNativeSeparators(guide)))
        << c.Name;
    if (c.ExpectStarted) {
      ASSERT_EQ(record.Started.size(), 1u) << c.Name;
      EXPECT_EQ(record.Started[0], QDir(bin).filePath(QStringLiteral("PageShow.exe")) +
                                       QStringLiteral("|brelmhlp.pdf|47|") + bin)
          << c.Name;
    } else {
      EXPECT_TRUE(record.Started.empty()) << c.Name;
    }
    if (c.ExpectOpened) {
      ASSERT_EQ(record.Opened.size(), 1u) << c.Name;
      EXPECT_EQ(record.Opened[0], QUrl::fromLocalFile(guide)) << c.Name;
    } else {
      EXPECT_TRUE(record.Opened.empty()) << c.Name;
    }
  }
}

TEST_F(WindowTest, HelpSaysInTheStatusBarWhenNothingOpensTheGuide) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString bin = QDir(root.path()).filePath(QStringLiteral("bin"));
  QDir().mkpath(bin);
  Touch(root.path(), "share/doc/aiimport/USAGE.md");
  const QString guide = QDir(root.path()).filePath(QStringLiteral("share/doc/aiimport/USAGE.md"));
  Recorder record;
  ui->HelpViewers = RecordingOpener(bin, record, false, false);

  const QString expected = QStringLiteral("Help is not available: no viewer could open ") +
                           QDir::toNativeSeparators(guide);
  ui->dhelp->click();  // the tool bar's "?"
  EXPECT_EQ(ui->StatusPanel2->text(), expected);
  ui->StatusPanel2->clear();
  ui->Help2->trigger();  // Help > Help
  EXPECT_EQ(ui->StatusPanel2->text(), expected);
  ASSERT_EQ(record.Opened.size(), 2u);
  EXPECT_EQ(record.Opened[1], QUrl::fromLocalFile(guide));
  EXPECT_TRUE(messages.empty());  // no message box, and the window goes on
  EXPECT_TRUE(window->isVisible());

  // When the desktop opens the guide, the status bar is left alone.
  ui->StatusPanel2->clear();
  ui->HelpViewers = RecordingOpener(bin, record, false, true);
  ui->dhelp->click();
  EXPECT_EQ(ui->StatusPanel2->text(), QString());
  EXPECT_EQ(record.Opened.size(), 3u);
}

TEST(ProgramIcon, SvgOfHandMadeShapes) {
  QPainterPath square;
  square.addRect(QRectF(1, 2, 3, 4));
  QPainterPath curve;
  curve.moveTo(0, 0);
  curve.cubicTo(1, 2, 3.5, -4.25, 5, 6.125);
  curve.setFillRule(Qt::WindingFill);
  const std::string svg = IconSvg(
      {{square, QColor(255, 0, 0), QColor(), 0}, {curve, QColor(), QColor(0, 0, 255), 1.5}}, 10);
  EXPECT_EQ(svg,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\" "
            "viewBox=\"0 0 10 10\">\n"
            "  <path d=\"M1 2 L4 2 L4 6 L1 6 L1 2 Z\" fill=\"#ff0000\" fill-rule=\"evenodd\" "
            "stroke=\"none\"/>\n"
            "  <path d=\"M0 0 C1 2 3.5 -4.25 5 6.125\" fill=\"none\" fill-rule=\"nonzero\" "
            "stroke=\"#0000ff\" stroke-width=\"1.5\" stroke-linecap=\"round\" "
            "stroke-linejoin=\"round\"/>\n"
            "</svg>\n");
}

struct PixelCase {
  const char* Where;
  int X, Y;
  QColor Colour;
};

TEST(ProgramIcon, DrawnAsDesigned) {
  // At 64 pixels one unit is one pixel; each point below lies well inside one part.
  const QImage image = DrawIcon(ProgramIconShapes(), ProgramIconUnits, 64);
  ASSERT_EQ(image.size(), QSize(64, 64));
  const QColor sheet(0xf4, 0xf6, 0xfa), fill(0x5b, 0x9b, 0x4b), accent(0x2f, 0x6f, 0xd0);
  const std::vector<PixelCase> cases = {
      {"outside the sheet", 2, 2, QColor(0, 0, 0, 0)},
      {"outside the sheet, right", 60, 20, QColor(0, 0, 0, 0)},
      {"the sheet", 12, 55, sheet},
      {"the outline's fill", 20, 30, fill},
      {"the outline's hole", 29, 29, sheet},
      {"the badge", 35, 44, accent},
      {"the arrow", 43, 45, Qt::white},
  };
  for (const PixelCase& c : cases)
    EXPECT_EQ(image.pixelColor(c.X, c.Y), c.Colour) << c.Where;
  EXPECT_EQ(DrawIcon(ProgramIconShapes(), ProgramIconUnits, 16).size(), QSize(16, 16));
  EXPECT_FALSE(ProgramIcon().pixmap(48, 48).isNull());
}

}  // namespace
}  // namespace aiimport::testing
