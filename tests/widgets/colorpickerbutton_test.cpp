// The colour picker button and its popup driven through the window system's event path (QTest
// on the windows, so that the popup's mouse grab routes the events as it does on screen).
#include <gtest/gtest.h>
#include <QMetaProperty>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <memory>
#include <string>
#include <vector>

#include "colorpickerbutton.h"
#include "colorpopup.h"
#include "widgetstestsupport.h"

namespace aiimport {
namespace {

class ColorPickerButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::TestApp();
    host = std::make_unique<QWidget>();
    host->resize(300, 200);
    button = new TColorPickerButton(host.get());
    button->setGeometry(50, 10, 45, 26);  // as csel1
    button->SetFlat(true);
    button->SetCustomText(QStringLiteral("Custom Colors"));
    button->OnChange = [this](TColorPickerButton*) { ++changes; };
    button->OnClick = [this](TColorPickerButton*) { ++clicks; };
    button->OnDefaultSelect = [this](TColorPickerButton*) { ++defaultSelects; };
    button->OnDropChanged = [this](TColorPickerButton*) { ++dropChanges; };
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
  }

  void TearDown() override { host.reset(); }

  QWindow* HostWindow() { return host->windowHandle(); }
  QWindow* PopupWindow() { return button->Popup()->windowHandle(); }
  QPoint OnButton(int x, int y) { return button->mapTo(host.get(), QPoint(x, y)); }

  // A press (and release) in the drop-down zone, as the user opens the popup.
  void OpenByMouse() {
    QTest::mousePress(HostWindow(), Qt::LeftButton, {}, OnButton(40, 13));
    QTest::mouseRelease(HostWindow(), Qt::LeftButton, {}, OnButton(40, 13));
  }

  void ClickInPopup(QPoint p) {
    QTest::mouseMove(PopupWindow(), p);
    QTest::mousePress(PopupWindow(), Qt::LeftButton, {}, p);
    QTest::mouseRelease(PopupWindow(), Qt::LeftButton, {}, p);
  }

  QPoint CellCentre(int cell) {
    const TRect r = CellRect(button->Popup()->Layout(), cell);
    return QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  }

  std::unique_ptr<QWidget> host;
  TColorPickerButton* button = nullptr;
  int changes = 0, clicks = 0, defaultSelects = 0, dropChanges = 0;
};

TEST_F(ColorPickerButtonTest, PressInDropDownZoneOpensThePopup) {
  int asked = 0;
  button->OnDropChanging = [&](TColorPickerButton* sender, bool& allowed) {
    EXPECT_EQ(sender, button);
    EXPECT_TRUE(allowed);
    ++asked;
  };
  OpenByMouse();
  EXPECT_TRUE(button->DroppedDown());
  EXPECT_TRUE(button->Popup()->isVisible());
  EXPECT_EQ(button->State(), TColorPickerButton::TButtonState::bsDown);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(dropChanges, 1);
  // Black is standard cell 0; the release over the button left the popup open.
  EXPECT_EQ(button->Popup()->SelectedCell(), 0);
  EXPECT_EQ(button->Popup()->HoverCell(), CellNone);
  // Under the button's bottom-left corner, one pixel to its left.
  EXPECT_EQ(button->Popup()->pos(), button->mapToGlobal(QPoint(-1, 26)));
  EXPECT_EQ(button->Popup()->size(), QSize(164, button->Popup()->Layout().Window.Height()));
}

TEST_F(ColorPickerButtonTest, OnDropChangingMayRefuse) {
  button->OnDropChanging = [](TColorPickerButton*, bool& allowed) { allowed = false; };
  OpenByMouse();
  EXPECT_FALSE(button->DroppedDown());
  EXPECT_FALSE(button->Popup()->isVisible());
  EXPECT_EQ(dropChanges, 0);
  EXPECT_EQ(button->State(), TColorPickerButton::TButtonState::bsUp);
}

TEST_F(ColorPickerButtonTest, HoverAndClickOnACellTakesItsColourOnce) {
  OpenByMouse();
  const QPoint blue = CellCentre(13);
  QTest::mouseMove(PopupWindow(), blue);
  EXPECT_EQ(button->Popup()->HoverCell(), 13);
  ClickInPopup(blue);
  EXPECT_EQ(button->SelectionColor(), 0xFF0000);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(defaultSelects, 0);
  EXPECT_FALSE(button->DroppedDown());
  EXPECT_FALSE(button->Popup()->isVisible());
  EXPECT_EQ(button->State(), TColorPickerButton::TButtonState::bsUp);
  // The same colour again changes nothing.
  button->SetSelectionColor(0xFF0000);
  EXPECT_EQ(changes, 1);
}

TEST_F(ColorPickerButtonTest, TheColorPropertyAndItsSignal) {
  const QMetaProperty property =
      button->metaObject()->property(button->metaObject()->indexOfProperty("color"));
  ASSERT_TRUE(property.isValid());
  EXPECT_TRUE(property.isWritable());
  ASSERT_TRUE(property.hasNotifySignal());
  EXPECT_EQ(property.notifySignal().name(), QByteArray("colorChanged"));

  QSignalSpy spy(button, &TColorPickerButton::colorChanged);
  std::vector<std::string> order;  // the signal comes right before OnChange
  QObject::connect(button, &TColorPickerButton::colorChanged, [&] { order.push_back("signal"); });
  button->OnChange = [&](TColorPickerButton*) { order.push_back("OnChange"); };

  // Written as a property: the colour value itself, a system colour unchanged.
  struct Case {
    const char* Name;
    TColor Value;
  };
  const Case cases[] = {
      {"red", 0x0000FF}, {"button face", SystemColorValue(15)}, {"white", 0xFFFFFF}};
  for (const Case& c : cases) {
    spy.clear();
    order.clear();
    ASSERT_TRUE(button->setProperty("color", c.Value)) << c.Name;
    EXPECT_EQ(button->SelectionColor(), c.Value) << c.Name;
    EXPECT_EQ(button->property("color").toInt(), c.Value) << c.Name;
    ASSERT_EQ(spy.count(), 1) << c.Name;
    EXPECT_EQ(spy.at(0).at(0).toInt(), c.Value) << c.Name;
    EXPECT_EQ(order, (std::vector<std::string>{"signal", "OnChange"})) << c.Name;
  }
  // The same value again, by either way: nothing.
  spy.clear();
  button->SetSelectionColor(0xFFFFFF);
  button->setProperty("color", 0xFFFFFF);
  EXPECT_EQ(spy.count(), 0);

  // The user's choice in the popup: blue (cell 13), once.
  OpenByMouse();
  ClickInPopup(CellCentre(13));
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toInt(), 0xFF0000);
  // Escape in an open popup changes nothing.
  OpenByMouse();
  QTest::keyClick(PopupWindow(), Qt::Key_Escape);
  EXPECT_EQ(spy.count(), 1);
}

TEST_F(ColorPickerButtonTest, EnterRightAfterOpeningFiresOnDefaultSelect) {
  button->SetSelectionColor(0xFF0000);
  changes = 0;
  OpenByMouse();
  EXPECT_EQ(button->Popup()->SelectedCell(), 13);
  QTest::keyClick(PopupWindow(), Qt::Key_Return);
  EXPECT_EQ(defaultSelects, 1);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(button->SelectionColor(), 0xFF0000);
  EXPECT_FALSE(button->DroppedDown());
}

TEST_F(ColorPickerButtonTest, DragOnTheIntensityBarKeepsThePopupOpen) {
  OpenByMouse();
  TColorPopup* popup = button->Popup();
  const TPopupLayout& l = popup->Layout();
  ClickInPopup(QPoint(l.CustomButton.Left + 20, l.CustomButton.Top + 5));
  ASSERT_TRUE(button->DroppedDown());
  ASSERT_EQ(popup->SelectedCell(), CellCustom);
  EXPECT_EQ(popup->height(), 2 * l.Edge + l.GreyArea.Bottom);  // the custom section shows
  EXPECT_EQ(popup->ColorCombs()[0].Color, 0xFFFFFF);

  const TRect& bar = l.IntensityBar;
  const int x = bar.Left + 5;
  QTest::mousePress(PopupWindow(), Qt::LeftButton, {}, QPoint(x, bar.Top + 10));
  EXPECT_EQ(popup->TrackMode(), TTrackMode::IntensityBar);
  // Halfway down the bar (52 of its 104 rows): intensity 0.5, the centre comb 127.5 -> 128.
  QMouseEvent drag(QEvent::MouseMove, QPointF(x, bar.Top + 52),
                   popup->mapToGlobal(QPointF(x, bar.Top + 52)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(popup, &drag);
  EXPECT_EQ(popup->Intensity(), 0.5f);
  EXPECT_EQ(popup->ColorCombs()[0].Color, PackRgb(128, 128, 128));
  QTest::mouseRelease(PopupWindow(), Qt::LeftButton, {}, QPoint(x, bar.Top + 52));
  EXPECT_TRUE(button->DroppedDown());
  EXPECT_EQ(popup->TrackMode(), TTrackMode::None);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(defaultSelects, 0);
}

TEST_F(ColorPickerButtonTest, ReleasingOnACombAfterTrackingItAcceptsIt) {
  OpenByMouse();
  TColorPopup* popup = button->Popup();
  const TPopupLayout& l = popup->Layout();
  ClickInPopup(QPoint(l.CustomButton.Left + 20, l.CustomButton.Top + 5));
  ASSERT_EQ(popup->SelectedCell(), CellCustom);
  // Comb 19 sits at (41, 24) from the comb area's centre, in (255, 0, 127).
  const QPoint comb(l.CombArea.Left + l.Radius + 41, l.CombArea.Top + l.Radius + 24);
  QTest::mousePress(PopupWindow(), Qt::LeftButton, {}, comb + QPoint(-2, 0));
  EXPECT_EQ(popup->TrackMode(), TTrackMode::ColorComb);
  QMouseEvent drag(QEvent::MouseMove, QPointF(comb), popup->mapToGlobal(QPointF(comb)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(popup, &drag);
  EXPECT_EQ(popup->CustomChoice(), 20);
  QTest::mouseRelease(PopupWindow(), Qt::LeftButton, {}, comb);
  EXPECT_FALSE(button->DroppedDown());
  EXPECT_EQ(button->SelectionColor(), PackRgb(255, 0, 127));
  EXPECT_EQ(changes, 1);

  // Opening again with that colour shows the custom section with the comb chosen.
  OpenByMouse();
  EXPECT_EQ(popup->SelectedCell(), CellCustom);
  EXPECT_EQ(popup->CustomChoice(), 20);
}

TEST_F(ColorPickerButtonTest, EscapeCancels) {
  OpenByMouse();
  QTest::mouseMove(PopupWindow(), CellCentre(20));
  QTest::keyClick(PopupWindow(), Qt::Key_Escape);
  EXPECT_FALSE(button->DroppedDown());
  EXPECT_FALSE(button->Popup()->isVisible());
  EXPECT_EQ(button->SelectionColor(), 0);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(defaultSelects, 0);
  EXPECT_EQ(dropChanges, 2);
}

TEST_F(ColorPickerButtonTest, KeysTypedOnTheHostWindowGoToTheOpenPopup) {
  // The host's own shortcuts, Esc among them, as a window has them.
  int hostEscapes = 0, hostF8 = 0;
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), host.get());
  QObject::connect(escape, &QShortcut::activated, [&] { ++hostEscapes; });
  auto* f8 = new QShortcut(QKeySequence(Qt::Key_F8), host.get());
  QObject::connect(f8, &QShortcut::activated, [&] { ++hostF8; });
  host->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(host.get()));

  OpenByMouse();
  QTest::keyClick(HostWindow(), Qt::Key_F8);
  EXPECT_EQ(hostF8, 0);
  EXPECT_TRUE(button->DroppedDown());
  QTest::keyClick(HostWindow(), Qt::Key_Escape);
  EXPECT_EQ(hostEscapes, 0);
  EXPECT_FALSE(button->DroppedDown());
  EXPECT_EQ(button->SelectionColor(), 0);
  EXPECT_EQ(changes, 0);

  // Closed, the host's shortcuts work again.
  QTest::keyClick(HostWindow(), Qt::Key_F8);
  QTest::keyClick(HostWindow(), Qt::Key_Escape);
  EXPECT_EQ(hostF8, 1);
  EXPECT_EQ(hostEscapes, 1);
}

TEST_F(ColorPickerButtonTest, PressOutsideThePopupCancels) {
  OpenByMouse();
  // A press on the host window far from the popup reaches the popup through its grab.
  QTest::mousePress(HostWindow(), Qt::LeftButton, {}, QPoint(280, 190));
  EXPECT_FALSE(button->DroppedDown());
  EXPECT_FALSE(button->Popup()->isVisible());
  QTest::mouseRelease(HostWindow(), Qt::LeftButton, {}, QPoint(280, 190));
  EXPECT_EQ(button->SelectionColor(), 0);
  EXPECT_EQ(changes + clicks + defaultSelects, 0);
}

TEST_F(ColorPickerButtonTest, ClickOnTheMainFaceFiresOnClickOnly) {
  QTest::mousePress(HostWindow(), Qt::LeftButton, {}, OnButton(10, 13));
  EXPECT_EQ(button->State(), TColorPickerButton::TButtonState::bsDown);
  QTest::mouseRelease(HostWindow(), Qt::LeftButton, {}, OnButton(10, 13));
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(button->DroppedDown());
  EXPECT_FALSE(button->Popup()->isVisible());
  EXPECT_EQ(button->State(), TColorPickerButton::TButtonState::bsUp);
  EXPECT_EQ(dropChanges, 0);
}

TEST_F(ColorPickerButtonTest, Hints) {
  TColorPopup* popup = button->Popup();
  button->SetSelectionColor(PackRgb(255, 0, 127));  // opens on the custom section
  button->SetDroppedDown(true);
  const TPopupLayout& l = popup->Layout();
  auto hint = popup->HintAt(CellCentre(13), false);
  ASSERT_TRUE(hint);
  EXPECT_EQ(hint->Text, QStringLiteral("Blue"));
  EXPECT_EQ(hint->Area, QRect(100, 22, 18, 18));

  // The intensity bar: at its right edge, 8 pixels above the pointer, for 5 s.
  hint = popup->HintAt(QPoint(l.IntensityBar.Left + 3, l.IntensityBar.Top + 20), false);
  ASSERT_TRUE(hint);
  EXPECT_EQ(hint->Text, QStringLiteral("Intensity: 100%"));
  EXPECT_EQ(hint->Pos, QPoint(l.IntensityBar.Right, l.IntensityBar.Top + 12));
  EXPECT_EQ(hint->Timeout, 5000);

  const int cx = l.CombArea.Left + l.Radius, cy = l.CombArea.Top + l.Radius;
  hint = popup->HintAt(QPoint(cx + 41, cy + 24), false);
  ASSERT_TRUE(hint);
  EXPECT_EQ(hint->Text, QStringLiteral("red: 255, green: 0, blue: 127"));
  EXPECT_EQ(hint->Timeout, 5000);

  // The custom button asks OnHint, else shows the button's own hint; no cell asks with -1.
  button->SetHint(QStringLiteral("Colour"));
  hint = popup->HintAt(QPoint(l.CustomButton.Left + 5, l.CustomButton.Top + 5), false);
  ASSERT_TRUE(hint);
  EXPECT_EQ(hint->Text, QStringLiteral("Colour"));
  int asked = 0;
  button->OnHint = [&](TColorPickerButton*, int cell, QString& text) {
    ++asked;
    text = QString::number(cell);
  };
  hint = popup->HintAt(QPoint(l.CustomButton.Left + 5, l.CustomButton.Top + 5), false);
  ASSERT_TRUE(hint);
  EXPECT_EQ(hint->Text, QStringLiteral("-2"));
  EXPECT_EQ(hint->Area, QRect(l.CustomButton.Left, l.CustomButton.Top, l.CustomButton.Width(),
                              l.CustomButton.Height()));
  hint = popup->HintAt(QPoint(3, 3), false);
  ASSERT_TRUE(hint);
  EXPECT_EQ(hint->Text, QStringLiteral("-1"));
  EXPECT_EQ(asked, 2);

  button->SetShowHint(false);
  EXPECT_FALSE(popup->HintAt(CellCentre(13), false));
}

}  // namespace
}  // namespace aiimport
