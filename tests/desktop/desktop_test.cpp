// The window on a real X server with a window manager (Xvfb and openbox under
// scripts/desktop-tests.sh): where the keyboard focus goes, the popup's keyboard grab, real key
// presses and clicks through xdotool, and the program started with Qt's options. Pictures of the
// screen go to build/window-pictures/desktop-*.png.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QThread>
#include <sstream>

#include "cli.h"
#include "colorpickerbutton.h"
#include "colorpopup.h"
#include "windowtest.h"

namespace aiimport::testing {
namespace {

constexpr int Patience = 15000;  // ms: the longest wait for the X server or a process

// A program's arguments, from literals (UTF-8) and QStrings alike.
QStringList Arguments(std::initializer_list<QAnyStringView> parts) {
  QStringList list;
  for (const QAnyStringView part : parts)
    list.push_back(part.toString());
  return list;
}

// Runs xdotool and returns what it printed; a failure of xdotool fails the test unless told
// not to.
std::string Xdotool(std::initializer_list<QAnyStringView> parts, bool mustSucceed = true) {
  const QStringList args = Arguments(parts);
  QProcess xdotool;
  xdotool.start(QStringLiteral("xdotool"), args);
  const std::string shown = "xdotool " + args.join(u' ').toStdString();
  if (!xdotool.waitForFinished(Patience)) {
    xdotool.kill();
    xdotool.waitForFinished();
    ADD_FAILURE() << shown << " did not finish";
    return {};
  }
  if (mustSucceed) {
    EXPECT_EQ(xdotool.exitCode(), 0)
        << shown << ": " << xdotool.readAllStandardError().toStdString();
  }
  return xdotool.readAllStandardOutput().toStdString();
}

// The id of a shown window whose title matches, once one shows; empty when none has within the
// patience. A search can fail while windows come and go (xdotool then reports an X error), so it
// is repeated.
std::string FindWindow(const QString& title) {
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < Patience) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"),
                  Arguments({"search", "--onlyvisible", "--name", title}));
    if (xdotool.waitForFinished(Patience) && xdotool.exitCode() == 0) {
      std::istringstream found(xdotool.readAllStandardOutput().toStdString());
      std::string id;
      if (found >> id) return id;
    }
    QTest::qWait(100);
  }
  return {};
}

// The whole screen as the user sees it, window manager frames included.
void Screenshot(const std::string& name) {
  QGuiApplication::primaryScreen()->grabWindow(0).save(
      QString::fromStdString(Pictures() + "/" + name));
}

class DesktopTest : public WindowTest {
 protected:
  void SetUp() override {
    if (!qApp)
      GTEST_SKIP() << "no X display: scripts/desktop-tests.sh runs these tests under Xvfb and "
                      "openbox (./test.sh does)";
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
      GTEST_SKIP() << "xdotool is missing (apt-get install xdotool)";
    WindowTest::SetUp();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), Patience));
  }
  void TearDown() override {
    if (qApp) WindowTest::TearDown();
  }
};

// A progress dialog at whose first pump the user presses Esc, once the dialog is on screen: a
// real key press, which the X server hands to the window with the keyboard focus. The pump is
// on the reading's thread: the dialog's part is done on the window's thread, whose event loop
// runs meanwhile, and the reading waits at the pump until the key has been handled, or for as
// long as the patience lasts.
class EscapeDialog : public Tfabort {
 public:
  void ProcessEvents() override {
    Tfabort::ProcessEvents();
    if (++pumps != 1) return;
    QMetaObject::invokeMethod(
        this, [this] { PressEscape(); }, Qt::QueuedConnection);
    QElapsedTimer waited;
    waited.start();
    while (!AbortRequested() && waited.elapsed() < Patience)
      QThread::msleep(10);
    aborted = AbortRequested();
  }
  int pumps = 0;
  bool shown = false, hadFocus = false, aborted = false;
  std::string title;

 private:
  void PressEscape() {
    shown = QTest::qWaitForWindowExposed(this, Patience);
    hadFocus = QTest::qWaitFor([this] { return isActiveWindow(); }, Patience);
    // The title the window manager shows is the dialog's own, nothing added to it.
    title = Xdotool({"getwindowname", QString::number(winId())});
    Screenshot("desktop-progress.png");
    Xdotool({"key", "Escape"});
  }
};

TEST_F(DesktopTest, EscapeWhileAFileIsReadAbortsIt) {
  std::string text = "%%EndSetup\n";
  while (text.size() < 40000)
    text += "10 10 m\n20 10 l\n20 20 l\nf\n";
  const auto file = drive_ / "big.eps";
  std::ofstream(file) << text;
  auto* dialog = new EscapeDialog;
  ui->fabort.reset(dialog);
  Load(file.string());

  EXPECT_TRUE(dialog->shown);
  EXPECT_TRUE(dialog->hadFocus);  // the dialog took the focus from the disabled window
  EXPECT_EQ(dialog->title, "Processing File\n");
  EXPECT_TRUE(dialog->aborted);  // Esc pressed "Abort"
  EXPECT_GE(dialog->pumps, 1);
  // Aborted: nothing read, nothing in the tree.
  EXPECT_TRUE(ui->Model.PathList.empty());
  EXPECT_TRUE(ui->Tree.Empty());
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_TRUE(window->isEnabled());
  EXPECT_TRUE(window->isVisible());  // Esc was the dialog's, not the window's "Cancel"
  // The focus is back with the window.
  EXPECT_TRUE(QTest::qWaitForWindowActive(window.get(), Patience));

  // Without Esc the same file reads whole: the check above could fail.
  ui->fabort = std::make_unique<Tfabort>();
  Load(file.string());
  EXPECT_FALSE(ui->Model.PathList.empty());
}

TEST_F(DesktopTest, TheOpenColourDropDownTakesTheKeyboard) {
  Load(Sample("shapes.eps"));
  ui->SelectNode(ui->Tree.First()->Children[1]);  // the white rectangle, closed
  ui->TreeView1Change();
  const std::string shape = Shape(ui->Tree, ui->Model.PathList);
  ASSERT_EQ(shape, "R[G[P0,G[P1],C2[P2,P3]],P4,P5]");
  ASSERT_TRUE(ui->Model.PathList[4].Closed);

  // Opened by a real click on the drop-down zone at the button's right end.
  const QPoint zone = ui->csel1->mapToGlobal(QPoint(40, 13));
  Xdotool({"mousemove", QString::number(zone.x()), QString::number(zone.y()), "click", "1"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return ui->csel1->DroppedDown(); }, Patience));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(ui->csel1->Popup(), Patience));
  Screenshot("desktop-dropdown.png");

  // F8 would move the rectangle to the other list and Ctrl+O open it; Esc closes the drop-down.
  // The keys arrive in order: once the drop-down is closed, the two before have been handled.
  Xdotool({"key", "F8", "ctrl+o", "Escape"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !ui->csel1->DroppedDown(); }, Patience));
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(Shape(ui->Tree, ui->Model.PathList), shape);
  EXPECT_TRUE(ui->Model.PathList[4].Closed);
  EXPECT_FALSE(ui->Model.PathList[4].Flagged);

  // Closed, the keys are the window's again: F8 toggles the rectangle, Esc is "Cancel".
  Xdotool({"key", "F8"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return ui->Model.PathList[4].Flagged; }, Patience));
  Xdotool({"key", "Escape"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, Patience));
}

TEST_F(DesktopTest, TheProgramTakesQtsOptionsAndADrawingNamedWithADash) {
  const auto dashed = drive_ / "-shapes.eps";
  std::filesystem::copy_file(Sample("shapes.eps"), dashed);
  // The started program shows "Import" where this window does: the same style and fonts.
  const QPoint import = ui->Button1->mapTo(window.get(), ui->Button1->rect().center());
  window->hide();  // only the started program's window is left to find

  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("AIIMPORT_DRIVE_C"), QString::fromStdString(drive_.string()));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"),
             QStringLiteral("offscreen"));  // -platform xcb below must win, or no window shows
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(QString::fromStdString(drive_.string()));
  program.start(QString::fromUtf8(AIIMPORT_PROGRAM),
                Arguments({"-platform", "xcb", "-style", "Fusion", "-geometry", "+40+40",
                           "--frobnicate", "--", "-shapes.eps"}));
  ASSERT_TRUE(program.waitForStarted(Patience));

  const std::string id = FindWindow(QStringLiteral("^AI/EPS Import Module"));
  ASSERT_FALSE(id.empty()) << "no window; the program said: "
                           << program.readAllStandardError().toStdString();
  // "Import" is pressed until the program ends: it is disabled until the file has been read.
  // A press can miss the window that has just closed.
  QElapsedTimer waited;
  waited.start();
  while (program.state() != QProcess::NotRunning && waited.elapsed() < Patience) {
    Xdotool({"mousemove", "--window", QString::fromStdString(id), QString::number(import.x()),
             QString::number(import.y()), "click", "1"},
            false);
    program.waitForFinished(300);
  }
  if (program.state() != QProcess::NotRunning) {
    program.kill();
    program.waitForFinished();
    FAIL() << "the program did not end with \"Import\"";
  }
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_NE(program.readAllStandardError().toStdString().find(
                "aiimport: unknown option --frobnicate ignored"),
            std::string::npos);

  // "-shapes.eps" was read and imported: the file is what the batch mode writes for it.
  ASSERT_TRUE(std::filesystem::exists(DotFile()));
  const auto batch = drive_ / "batch.dot";
  std::ostringstream out, err;
  ASSERT_EQ(
      RunCommandLine({"--batch", "--output", batch.string(), "--", dashed.string()}, out, err), 0)
      << err.str();
  EXPECT_EQ(testing::ReadWholeFile(DotFile()), testing::ReadWholeFile(batch));
}

}  // namespace
}  // namespace aiimport::testing
