// A window on a folder of its own that stands for the host's drive C, with its messages
// recorded instead of shown.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "abortdialog.h"
#include "colorpickerbutton.h"
#include "mainwindow.h"
#include "objecttree.h"
#include "testfiles.h"
#include "treeshape.h"

// Readable QStrings in test messages.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace aiimport {

// The tests' one way into the window (a friend of Tfmain): the values, components and handlers
// the tests use, under the window's own names. It belongs to one window and must not outlive it.
class TfmainTestAccess {
 public:
  explicit TfmainTestAccess(Tfmain& window)
      : window_(window),
        Model(window.Model),
        Tree(window.Tree),
        Mapping(window.Mapping),
        fabort(window.reload_.Dialog()),
        ShowMessage(window.ShowMessage),
        HelpViewers(window.HelpViewers),
        BackgroundDrawingPoints(window.preview_.BackgroundDrawingPoints),
        ToolBar1(window.ToolBar1),
        Button3(window.Button3),
        Button2(window.Button2),
        Button1(window.Button1),
        TreeView1(window.TreeView1),
        p(window.p),
        panel_info(window.panel_info),
        cFlag(window.cFlag),
        cfills(window.cfills),
        cLines(window.cLines),
        Flip_Vertical(window.Flip_Vertical),
        cAutofix(window.cAutofix),
        cReduce(window.cReduce),
        label_nodes(window.label_nodes),
        label_width(window.label_width),
        label_height(window.label_height),
        Shape2(window.Shape2),
        StatusPanel0(window.StatusPanel0),
        StatusPanel1(window.StatusPanel1),
        StatusPanel2(window.StatusPanel2),
        dzoomall(window.dzoomall),
        dzoomin(window.dzoomin),
        dzoom(window.dzoom),
        dviewsolid(window.dviewsolid),
        dviewlines(window.dviewlines),
        dviewcw(window.dviewcw),
        ToolButton12(window.ToolButton12),
        ToolButton15(window.ToolButton15),
        dopen(window.dopen),
        dclosed(window.dclosed),
        dclear(window.dclear),
        dsolid(window.dsolid),
        dflag(window.dflag),
        csel1(window.csel1),
        dhelp(window.dhelp),
        Reload1(window.Reload1),
        Exit1(window.Exit1),
        Delete1(window.Delete1),
        tofront1(window.tofront1),
        BreakApart1(window.BreakApart1),
        UpOne1(window.UpOne1),
        downone1(window.downone1),
        FlagSelected1(window.FlagSelected1),
        OpenSelected1(window.OpenSelected1),
        CloseSelected1(window.CloseSelected1),
        SolidSelected1(window.SolidSelected1),
        ClearSelected1(window.ClearSelected1),
        ZoomAll1(window.ZoomAll1),
        Zoom1(window.Zoom1),
        ZoomIN1(window.ZoomIN1),
        RedrawAll1(window.RedrawAll1),
        EnancedView1(window.EnancedView1),
        ParseEverything1(window.ParseEverything1),
        Help2(window.Help2) {}

  // The handlers, as the window's events call them.
  void SelectNode(TreeNode* node) { window_.SelectNode(node); }
  void TreeView1Change() { window_.TreeView1Change(); }
  void LoadFile(const QString& fileName) { window_.LoadFile(fileName); }
  void Button1Click() { window_.Button1Click(); }
  void csel1Click() { window_.csel1Click(); }
  void Guarded(const std::function<void()>& handler) { window_.Guarded(handler); }
  // Whether a drawing is under way on the drawing thread.
  bool Drawing() const { return window_.preview_.Drawing(); }
  // Waits until no file is being read or imported (the work runs on threads of its own) and
  // handles the events that follow; false if that took longer than a minute.
  bool WaitForWork() {
    const bool done = QTest::qWaitFor(
        [this] { return !window_.reload_.Reading() && !window_.import_.Running(); }, 60000);
    QApplication::processEvents();
    return done;
  }

 private:
  Tfmain& window_;

 public:
  // The values the commands share, and the window's seams (messages, help).
  PathModel& Model;
  ObjectTree& Tree;
  ScreenMapping& Mapping;
  std::unique_ptr<Tfabort>& fabort;
  std::function<void(const QString& text, bool error)>& ShowMessage;
  HelpOpener& HelpViewers;
  std::size_t& BackgroundDrawingPoints;  // 0: every drawing on the drawing thread

  // The components (made with the window, never replaced).
  QToolBar* const ToolBar1;
  QPushButton* const Button3;
  QPushButton* const Button2;
  QPushButton* const Button1;
  QTreeView* const TreeView1;
  TPaintBox* const p;
  QFrame* const panel_info;
  QCheckBox* const cFlag;
  QCheckBox* const cfills;
  QCheckBox* const cLines;
  QCheckBox* const Flip_Vertical;
  QCheckBox* const cAutofix;
  QCheckBox* const cReduce;
  QLabel* const label_nodes;
  QLabel* const label_width;
  QLabel* const label_height;
  QFrame* const Shape2;
  QLabel* const StatusPanel0;
  QLabel* const StatusPanel1;
  QLabel* const StatusPanel2;
  QToolButton* const dzoomall;
  QToolButton* const dzoomin;
  QToolButton* const dzoom;
  QToolButton* const dviewsolid;
  QToolButton* const dviewlines;
  QToolButton* const dviewcw;
  QToolButton* const ToolButton12;
  QToolButton* const ToolButton15;
  QToolButton* const dopen;
  QToolButton* const dclosed;
  QToolButton* const dclear;
  QToolButton* const dsolid;
  QToolButton* const dflag;
  TColorPickerButton* const csel1;
  QToolButton* const dhelp;
  QAction* const Reload1;
  QAction* const Exit1;
  QAction* const Delete1;
  QAction* const tofront1;
  QAction* const BreakApart1;
  QAction* const UpOne1;
  QAction* const downone1;
  QAction* const FlagSelected1;
  QAction* const OpenSelected1;
  QAction* const CloseSelected1;
  QAction* const SolidSelected1;
  QAction* const ClearSelected1;
  QAction* const ZoomAll1;
  QAction* const Zoom1;
  QAction* const ZoomIN1;
  QAction* const RedrawAll1;
  QAction* const EnancedView1;
  QAction* const ParseEverything1;
  QAction* const Help2;
};

}  // namespace aiimport

namespace aiimport::testing {

inline std::string Sample(const std::string& name) {
  return std::string(AIIMPORT_SOURCE_DIR) + "/samples/" + name;
}

inline std::string Pictures() {
  const std::string dir = std::string(AIIMPORT_BINARY_DIR) + "/window-pictures";
  std::filesystem::create_directories(dir);
  return dir;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drive_ = std::filesystem::temp_directory_path() /
             ("aiimport-window-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(drive_);
    std::filesystem::create_directories(drive_);
    setenv("AIIMPORT_DRIVE_C", drive_.c_str(), 1);
    unsetenv("AIIMPORT_WINDIR");
    window = std::make_unique<Tfmain>(std::vector<std::string>{});
    ui.emplace(*window);
    ui->ShowMessage = [this](const QString& text, bool error) {
      messages.push_back((error ? "error: " : "") + text.toStdString());
    };
    window->SetProgressDialog(std::make_unique<Tfabort>());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QApplication::processEvents();  // the first paint's start-up load (no file)
  }
  void TearDown() override {
    ui.reset();
    window.reset();
    std::filesystem::remove_all(drive_);
  }

  void Load(const std::string& file) {
    ui->LoadFile(QString::fromStdString(file));
    ASSERT_TRUE(ui->WaitForWork());
  }

  // Where the window writes the DOT file: "c:\windows" + "\temp" + "\~tempai.dot".
  std::filesystem::path DotFile() const { return drive_ / "windows" / "temp" / "~tempai.dot"; }

  void Save(QWidget* widget, const std::string& name) {
    widget->grab().save(QString::fromStdString(Pictures() + "/" + name));
  }

  std::filesystem::path drive_;
  std::unique_ptr<Tfmain> window;
  std::optional<TfmainTestAccess> ui;  // the window's inside
  std::vector<std::string> messages;
};

}  // namespace aiimport::testing
