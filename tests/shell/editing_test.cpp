// Zooming, picking and editing through the real window: mouse on the preview, keys, tool-bar
// buttons and menu commands.
#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include "colorpickerbutton.h"
#include "dotfile.h"
#include "windowtest.h"

namespace aiimport::testing {
namespace {

class EditingTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Load(Sample("shapes.eps"));
    ASSERT_EQ(Tree(), "R[G[P0,G[P1],C2[P2,P3]],P4,P5]");
  }
  std::string Tree() { return Shape(ui->Tree, ui->Model.PathList); }
  TreeNode* Root() { return ui->Tree.First(); }
  TreeNode* Group() { return Root()->Children[0]; }
  tpath& PathAt(std::size_t i) { return ui->Model.PathList[i]; }

  // The paint-box pixel of a world point, through the last drawing's mapping.
  QPoint Pixel(float x, float y) {
    const ScreenMapping& m = ui->Mapping;
    return QPoint(static_cast<int>(MapX(m, x)), static_cast<int>(MapY(m, y)));
  }
  void Select(TreeNode* node) {
    ui->TreeView1->setCurrentIndex(ui->TreeView1->model()->index(0, 0));  // the root
    QModelIndex index;
    std::vector<const TreeNode*> chain;
    for (const TreeNode* n = node; n; n = n->Parent)
      chain.insert(chain.begin(), n);
    for (const TreeNode* n : chain)
      index = ui->TreeView1->model()->index(int(n->Row), 0, index);
    ui->TreeView1->setCurrentIndex(index);
    ASSERT_EQ(ui->Tree.Selected(), node);
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
    QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
    QApplication::processEvents();
  }
  void Activate() {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
};

TEST_F(EditingTest, ClicksPickTheSmallestBoxUnderTheMouse) {
  // The hole (54..90 x 162..180) lies inside the compound's outline (36..108 x 144..198).
  QTest::mouseClick(ui->p, Qt::LeftButton, {}, Pixel(72, 170));
  EXPECT_EQ(ui->Tree.Selected()->Path, &PathAt(3));
  QTest::mouseClick(ui->p, Qt::RightButton, {}, Pixel(40, 150));
  EXPECT_EQ(ui->Tree.Selected()->Path, &PathAt(2));
  EXPECT_EQ(ui->label_nodes->text(), QStringLiteral("Path (4 nodes)"));
  // White space: the selection stays.
  QTest::mouseClick(ui->p, Qt::LeftButton, {}, Pixel(125, 120));
  EXPECT_EQ(ui->Tree.Selected()->Path, &PathAt(2));
  // The left and top edges of a mapped box hit; the right and bottom edges do not.
  const QPoint topLeft = Pixel(36, 36), bottomRight = Pixel(108, 108);
  QTest::mouseClick(ui->p, Qt::LeftButton, {}, topLeft);
  EXPECT_EQ(ui->Tree.Selected()->Path, &PathAt(0));
  Select(Root());
  QTest::mouseClick(ui->p, Qt::LeftButton, {}, bottomRight);
  EXPECT_EQ(ui->Tree.Selected(), Root());
  // The horizontal stroke (box of no height) is never hit.
  QTest::mouseClick(ui->p, Qt::LeftButton, {}, Pixel(200, 126));
  EXPECT_EQ(ui->Tree.Selected(), Root());
}

TEST_F(EditingTest, ZoomAreaWithAnyButtonAndStandingModes) {
  Activate();
  Key(Qt::Key_F2);
  EXPECT_TRUE(ui->dzoom->isChecked());
  QTest::mouseMove(ui->p, QPoint(20, 20));
  EXPECT_EQ(ui->p->cursor().shape(), Qt::CrossCursor);
  const ScreenMapping before = ui->Mapping;
  // A drag from bottom-right to top-left with the right button.
  const QPoint from(300, 250), to(100, 60);
  QTest::mousePress(ui->p, Qt::RightButton, {}, from);
  QTest::mouseMove(ui->p, QPoint(200, 150));
  EXPECT_TRUE(ui->p->FocusRect.has_value());
  QTest::mouseMove(ui->p, to);
  QTest::mouseRelease(ui->p, Qt::RightButton, {}, to);
  EXPECT_FALSE(ui->p->FocusRect.has_value());
  EXPECT_FALSE(ui->dzoom->isChecked());
  EXPECT_TRUE(ui->dzoomin->isChecked());
  EXPECT_FALSE(ui->dzoomall->isChecked());
  // The area taken back through the mapping, without rounding.
  const FloatRect& e = ui->Model.ViewExtent;
  EXPECT_FLOAT_EQ(e.MinX, (100 - before.OffsetX) / before.Scale + before.OriginX);
  EXPECT_FLOAT_EQ(e.MaxX, (300 - before.OffsetX) / before.Scale + before.OriginX);
  EXPECT_FLOAT_EQ(e.MinY, (60 - before.OffsetY) / before.Scale + before.OriginY);
  EXPECT_FLOAT_EQ(e.MaxY, (250 - before.OffsetY) / before.Scale + before.OriginY);

  // With "Zoom to Object" down a new selection keeps the extent...
  const FloatRect zoomed = e;
  Select(Root()->Children[1]);
  EXPECT_EQ(ui->Model.ViewExtent, zoomed);
  // ... and "Zoom to All" (F5) fits all again and selects the first node.
  Key(Qt::Key_F5);
  EXPECT_EQ(ui->Tree.Selected(), Root());
  EXPECT_EQ(ui->Model.ViewExtent, (FloatRect{36, 36, 252, 198}));
  // With the button up, every selection refits to all tree paths.
  ui->dzoomin->click();
  EXPECT_FALSE(ui->dzoomin->isChecked());
  ui->dzoomin->click();  // down again: fits the selection once
  EXPECT_TRUE(ui->dzoomin->isChecked());
  ui->dzoomin->click();
  Select(Root()->Children[1]);
  EXPECT_EQ(ui->Model.ViewExtent, (FloatRect{36, 36, 252, 198}));
}

TEST_F(EditingTest, ZoomClickWithoutMovementAndNarrowDrags) {
  Activate();
  ui->Zoom1->trigger();
  const ScreenMapping m = ui->Mapping;
  QTest::mousePress(ui->p, Qt::LeftButton, {}, QPoint(150, 100));
  QTest::mouseRelease(ui->p, Qt::LeftButton, {}, QPoint(150, 100));
  FloatRect e = ui->Model.ViewExtent;
  const float x0 = (150 - m.OffsetX) / m.Scale + m.OriginX,
              y0 = (100 - m.OffsetY) / m.Scale + m.OriginY;
  EXPECT_FLOAT_EQ(e.MinX, x0);
  EXPECT_FLOAT_EQ(e.MinY, y0);
  EXPECT_FLOAT_EQ(e.MaxX, x0 + 5);  // a 5 x 5 area from the clicked point
  EXPECT_FLOAT_EQ(e.MaxY, y0 + 5);

  // 3 units wide, 20 high: the width is raised to 5.
  Key(Qt::Key_F5);
  ui->dzoom->click();
  const ScreenMapping n = ui->Mapping;
  const QPoint a(100, 40);
  const QPoint b(a.x() + qRound(3 * n.Scale), a.y() + qRound(20 * n.Scale));
  QTest::mousePress(ui->p, Qt::LeftButton, {}, a);
  QTest::mouseMove(ui->p, b);
  QTest::mouseRelease(ui->p, Qt::LeftButton, {}, b);
  e = ui->Model.ViewExtent;
  EXPECT_FLOAT_EQ(e.MaxX - e.MinX, 5);
  EXPECT_NEAR(e.MaxY - e.MinY, 20, 1 / n.Scale);
}

TEST_F(EditingTest, DeleteKeyEverywhereAndTheReturnAfterAFilterChange) {
  Activate();
  Select(Group());
  ui->cfills->setFocus();  // a check box has the focus
  Key(Qt::Key_Delete);
  EXPECT_EQ(Tree(), "R[P4,P5]");
  EXPECT_NE(ui->Tree.Selected(), nullptr);
  // A filter change rebuilds the tree: the group is back.
  ui->cLines->click();
  ui->cLines->click();
  EXPECT_EQ(Tree(), "R[G[P0,G[P1],C2[P2,P3]],P4,P5]");
  // The tool button and the menu item delete too.
  Select(Root()->Children[2]);
  ui->ToolButton12->click();
  EXPECT_EQ(Tree(), "R[G[P0,G[P1],C2[P2,P3]],P4]");
  Select(Root()->Children[1]);
  ui->Delete1->trigger();
  EXPECT_EQ(Tree(), "R[G[P0,G[P1],C2[P2,P3]]]");
}

TEST_F(EditingTest, BreakApartGivesNewNumbersAndLeavesNothingSelected) {
  Select(Group()->Children[2]);  // the composite of the outline and its hole
  ui->ToolButton15->click();
  // The largest number in the file is 4: the two paths get 5 and 6.
  EXPECT_EQ(PathAt(2).CompoundNo, 5);
  EXPECT_EQ(PathAt(3).CompoundNo, 6);
  EXPECT_EQ(Tree(), "R[G[P0,G[P1],P2,P3],P4,P5]");
  EXPECT_EQ(ui->Tree.Selected(), nullptr);
  // On a path node it does nothing.
  Select(Group()->Children[0]);
  ui->ToolButton15->click();
  EXPECT_EQ(PathAt(0).CompoundNo, 0);
}

TEST_F(EditingTest, MovesByKeyboard) {
  Activate();
  ui->TreeView1->setFocus();
  Select(Root()->Children[2]);  // P5, after P4
  Key(Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(Tree(), "R[G[P0,G[P1],C2[P2,P3]],P5,P4]");
  EXPECT_EQ(ui->Tree.Selected()->Path, &PathAt(5));
  Key(Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(Tree(), "R[G[P0,G[P1],C2[P2,P3]],P4,P5]");
  // A first-child group leaves its parent.
  Select(Root()->Children[0]->Children[1]);
  Key(Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(Tree(), "R[G[G[P1],P0,C2[P2,P3]],P4,P5]");
  Key(Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(Tree(), "R[G[P1],G[P0,C2[P2,P3]],P4,P5]");
  // Send to Back and Bring to Front: last and first among its siblings.
  Key(Qt::Key_PageDown, Qt::ShiftModifier);
  EXPECT_EQ(Tree(), "R[G[P0,C2[P2,P3]],P4,P5,G[P1]]");
  Key(Qt::Key_PageUp, Qt::ShiftModifier);
  EXPECT_EQ(Tree(), "R[G[P1],G[P0,C2[P2,P3]],P4,P5]");
}

TEST_F(EditingTest, AttributeKeysAndToggleList) {
  Activate();
  for (tpath& p : ui->Model.PathList)
    p.Filled = false;
  Select(Group());
  Key(Qt::Key_S, Qt::ControlModifier);  // Solid Selected
  for (std::size_t i = 0; i < 4; ++i)
    EXPECT_TRUE(PathAt(i).Filled) << i;
  EXPECT_FALSE(PathAt(4).Filled);
  EXPECT_EQ(Group()->Children[0]->ImageIndex, 6);  // the node keeps its look
  Key(Qt::Key_L, Qt::ControlModifier);             // Clear Selected
  EXPECT_FALSE(PathAt(0).Filled);
  Key(Qt::Key_O, Qt::ControlModifier);  // Open Selected
  EXPECT_FALSE(PathAt(1).Closed);
  Key(Qt::Key_C, Qt::ControlModifier);  // Close Selected
  EXPECT_TRUE(PathAt(1).Closed);

  // F8 without "Toggle List": the group's paths go to the other list and leave the tree.
  Key(Qt::Key_F8);
  for (std::size_t i = 0; i < 4; ++i)
    EXPECT_TRUE(PathAt(i).Flagged) << i;
  EXPECT_EQ(Tree(), "R[P4,P5]");
  ui->cFlag->click();  // the other list: exactly the flagged paths
  EXPECT_EQ(Tree(), "R[G[P0,G[P1],C2[P2,P3]]]");
  Select(Group()->Children[1]);
  Key(Qt::Key_F8);  // with "Toggle List": back to the first list
  EXPECT_FALSE(PathAt(1).Flagged);
  EXPECT_EQ(Tree(), "R[G[P0,C2[P2,P3]]]");
}

TEST_F(EditingTest, ColourButtonAndColourDialog) {
  Select(Group());
  ui->csel1->SetSelectionColor(0x00336699);  // a colour picked from the drop-down
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(PathAt(i).FillColor, 0x00336699) << i;
    EXPECT_EQ(PathAt(i).LineColor, 0x00336699) << i;
  }
  EXPECT_NE(PathAt(4).FillColor, 0x00336699);
  // Selecting a node shows its colour without changing any path.
  Select(Root()->Children[1]);
  EXPECT_EQ(ui->csel1->SelectionColor(), 0xFFFFFF);
  EXPECT_EQ(PathAt(4).LineColor, 0xFFFF00);

  // The colour dialog confirmed with the colour it was opened with changes nothing.
  PathAt(4).LineColor = 0x0000FF;
  QTimer::singleShot(0, [] {
    if (auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget()))
      dialog->accept();
  });
  ui->csel1Click();
  EXPECT_EQ(PathAt(4).LineColor, 0x0000FF);
  EXPECT_EQ(PathAt(4).FillColor, 0xFFFFFF);
  // Another colour from the dialog reaches the path.
  QTimer::singleShot(0, [] {
    if (auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
      dialog->setCurrentColor(QColor(0x10, 0x20, 0x30));
      dialog->accept();
    }
  });
  ui->csel1Click();
  EXPECT_EQ(PathAt(4).FillColor, 0x302010);
  EXPECT_EQ(PathAt(4).LineColor, 0x302010);
}

TEST_F(EditingTest, ImportTakesTheEditedTree) {
  Activate();
  ui->TreeView1->setFocus();
  Select(Root()->Children[2]);
  Key(Qt::Key_PageUp, Qt::ControlModifier);  // P5 before P4
  Select(Group()->Children[0]);
  Key(Qt::Key_L, Qt::ControlModifier);  // the red square unfilled
  ui->Button1->click();
  ASSERT_TRUE(ui->WaitForWork());
  ASSERT_TRUE(std::filesystem::exists(DotFile())) << (messages.empty() ? "" : messages.front());
  const std::string bytes = testing::ReadWholeFile(DotFile());
  ASSERT_TRUE(CheckDotStructure(bytes).Ok);
  std::vector<std::pair<int32_t, int32_t>> headers;
  std::vector<int> points;
  for (std::size_t at = 0; at + 10 <= bytes.size(); at += 10) {
    const DotRecord r = DecodeDotRecord(reinterpret_cast<const unsigned char*>(bytes.data() + at));
    if (r.Kind == 0) {
      headers.emplace_back(r.A, r.B);
      points.push_back(0);
    } else {
      ++points.back();
    }
  }
  // The square closed and unfilled (its line colour, black), the curved shape, the compound
  // with its hole, then the open stroke (moved up) and the white rectangle last.
  EXPECT_EQ(headers, (std::vector<std::pair<int32_t, int32_t>>{
                         {0, 1}, {0x0080FF, 3}, {0x808080, 3}, {0, 0}, {0xFFFFFF, 3}}));
  // 5 corners; a move, three curves of 5 points each and a line; 4 + 4; 2; 4.
  EXPECT_EQ(points, (std::vector<int>{5, 17, 8, 2, 4}));
}

TEST_F(EditingTest, ToolBarGradientAndUserGuidePicture) {
  const QImage bar = ui->ToolBar1->grab().toImage();
  // Row 0 white, row 32 the grey 127; the left edge has no button over it in row 0.
  EXPECT_EQ(bar.pixelColor(bar.width() - 2, 0), QColor(255, 255, 255));
  EXPECT_EQ(bar.pixelColor(bar.width() - 2, 32), QColor(127, 127, 127));
  EXPECT_EQ(bar.pixelColor(bar.width() - 2, 16), QColor(191, 191, 191));
  Select(Group()->Children[2]);
  Save(window.get(), "window-selection.png");
}

}  // namespace
}  // namespace aiimport::testing
