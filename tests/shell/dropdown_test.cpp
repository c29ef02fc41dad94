// The keyboard while the colour drop-down of the tool bar is open: the drop-down takes every
// key, so Esc closes the drop-down only and the window's shortcuts wait until it is closed.
#include <QToolButton>
#include <QWindow>
#include <sstream>

#include "colorpickerbutton.h"
#include "colorpopup.h"
#include "windowtest.h"

namespace aiimport::testing {
namespace {

class DropDownTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Load(Sample("shapes.eps"));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }

  // Selects a top-level node of shapes.eps: 1 the white rectangle (closed, filled, between the
  // group and the stroke), 2 the open stroke (not filled).
  void SelectTopLevel(std::size_t row) {
    ui->SelectNode(ui->Tree.First()->Children[row]);
    ui->TreeView1Change();
  }

  // A press and release in the drop-down zone of the colour button, through the window.
  void OpenDropDown() {
    const QPoint zone = ui->csel1->mapTo(window.get(), QPoint(40, 13));
    QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, zone);
    QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, zone);
  }

  // Everything a shortcut of the window can change: the tree, the selection, each path's
  // attributes, the zoom button and whether the window is still open.
  std::string State() {
    std::ostringstream out;
    out << Shape(ui->Tree, ui->Model.PathList) << " selected "
        << (ui->Tree.Selected() ? ui->Tree.Selected()->Caption() : "-");
    for (const tpath& p : ui->Model.PathList)
      out << " " << p.Closed << p.Filled << p.Flagged << ":" << p.LineColor << "/" << p.FillColor;
    out << " zoom " << ui->dzoom->isChecked() << " visible " << window->isVisible();
    return out.str();
  }
};

TEST_F(DropDownTest, EscapeClosesTheDropDownOnly) {
  SelectTopLevel(1);
  const TColor colour = ui->csel1->SelectionColor();
  OpenDropDown();
  ASSERT_TRUE(ui->csel1->DroppedDown());
  QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
  EXPECT_FALSE(ui->csel1->DroppedDown());
  EXPECT_FALSE(ui->csel1->Popup()->isVisible());
  EXPECT_TRUE(window->isVisible());  // the window and every edit stay
  EXPECT_EQ(ui->csel1->SelectionColor(), colour);
  EXPECT_FALSE(std::filesystem::exists(DotFile()));
  // Closed, the next Esc is the window's "Cancel" again.
  QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(DropDownTest, TheWindowsShortcutsWaitWhileTheDropDownIsOpen) {
  struct Case {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    std::size_t row;  // the top-level node the key would change
  };
  const Case cases[] = {
      {"F8 Toggle Selected", Qt::Key_F8, Qt::NoModifier, 1},
      {"Ctrl+O Open Selected", Qt::Key_O, Qt::ControlModifier, 1},
      {"Ctrl+C Close Selected", Qt::Key_C, Qt::ControlModifier, 2},
      {"Ctrl+S Solid Selected", Qt::Key_S, Qt::ControlModifier, 2},
      {"Ctrl+L Clear Selected", Qt::Key_L, Qt::ControlModifier, 1},
      {"Shift+PgUp Bring to Front", Qt::Key_PageUp, Qt::ShiftModifier, 1},
      {"Shift+PgDown Send to Back", Qt::Key_PageDown, Qt::ShiftModifier, 1},
      {"Ctrl+PgUp Up One Level", Qt::Key_PageUp, Qt::ControlModifier, 1},
      {"Ctrl+PgDown Down One Level", Qt::Key_PageDown, Qt::ControlModifier, 1},
      {"F2 Zoom", Qt::Key_F2, Qt::NoModifier, 1},
      {"F5 Zoom All", Qt::Key_F5, Qt::NoModifier, 1},
      {"Del Delete", Qt::Key_Delete, Qt::NoModifier, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Without the drop-down the key changes something, so the check below can fail.
    ui->Reload1->trigger();
    ASSERT_TRUE(ui->WaitForWork());
    SelectTopLevel(c.row);
    const std::string before = State();
    QTest::keyClick(window->windowHandle(), c.key, c.modifiers);
    ASSERT_NE(State(), before);

    ui->Reload1->trigger();
    ASSERT_TRUE(ui->WaitForWork());
    ui->dzoom->setChecked(false);
    SelectTopLevel(c.row);
    const std::string start = State();
    OpenDropDown();
    ASSERT_TRUE(ui->csel1->DroppedDown());
    QTest::keyClick(window->windowHandle(), c.key, c.modifiers);
    EXPECT_EQ(State(), start);
    EXPECT_TRUE(ui->csel1->DroppedDown());  // a key the drop-down does not use leaves it open
    QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
    ASSERT_FALSE(ui->csel1->DroppedDown());
    ASSERT_TRUE(window->isVisible());
  }
}

TEST_F(DropDownTest, TheDropDownsOwnKeysStillWork) {
  SelectTopLevel(1);  // white: the last cell of the grid
  OpenDropDown();
  ASSERT_TRUE(ui->csel1->DroppedDown());
  // From the selected white cell one to the left (the grid's 39th colour) and Return takes it.
  const int white = ui->csel1->Popup()->SelectedCell();
  ASSERT_GE(white, 1);
  QTest::keyClick(window->windowHandle(), Qt::Key_Left);
  EXPECT_EQ(ui->csel1->Popup()->HoverCell(), white - 1);
  QTest::keyClick(window->windowHandle(), Qt::Key_Return);
  EXPECT_FALSE(ui->csel1->DroppedDown());
  EXPECT_EQ(ui->csel1->SelectionColor(), CellColor(white - 1));
  EXPECT_EQ(ui->Model.PathList[4].FillColor, CellColor(white - 1));  // applied to the path
}

}  // namespace
}  // namespace aiimport::testing
