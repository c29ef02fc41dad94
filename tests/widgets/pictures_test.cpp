// Pictures of the colour picker button and its popup, written as PNG files into
// <build>/widgets-pictures/ (each also 4 times enlarged, for looking at the pixels), with the
// pixels that the painting rules fix checked on the way.
#include <gtest/gtest.h>
#include <QDir>
#include <QEnterEvent>
#include <QImage>
#include <QPixmap>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <memory>
#include <string>

#include "colorpickerbutton.h"
#include "colorpopup.h"
#include "paintsupport.h"
#include "widgetstestsupport.h"

namespace aiimport {
namespace {

QString PictureDir() {
  const QString dir = QStringLiteral(AIIMPORT_BINARY_DIR "/widgets-pictures");
  QDir().mkpath(dir);
  return dir;
}

// A child widget is taken from its parent's picture, with the parent's background behind it.
QImage Save(QWidget* widget, const char* file) {
  const QString name = QString::fromUtf8(file);
  const QPixmap pixmap =
      widget->isWindow() ? widget->grab() : widget->parentWidget()->grab(widget->geometry());
  const QImage image = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_TRUE(image.save(PictureDir() + u'/' + name + QStringLiteral(".png")))
      << name.toStdString();
  image.scaled(image.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation)
      .save(PictureDir() + u'/' + name + QStringLiteral("-x4.png"));
  return image;
}

QColor Rgb(TColor c) {
  return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

// Colours compared as "#rrggbb", which reads well in a failure.
std::string Hex(const QColor& c) {
  return c.name().toStdString();
}
std::string Px(const QImage& image, int x, int y) {
  return Hex(image.pixelColor(x, y));
}

class PicturesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::TestApp();
    host = std::make_unique<QWidget>();
    host->setAutoFillBackground(true);
    host->resize(59, 36);  // a piece of tool bar around the button
    button = new TColorPickerButton(host.get());
    button->setGeometry(7, 5, 45, 26);
    button->SetFlat(true);
    button->SetCustomText(QStringLiteral("Custom Colors"));
    button->SetSelectionColor(0x0000FF);  // red
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    QTest::mouseMove(host->windowHandle(), QPoint(1, 1));  // the pointer off the button
    pal = QApplication::palette();
  }

  std::unique_ptr<QWidget> host;
  TColorPickerButton* button = nullptr;
  QPalette pal;
};

TEST_F(PicturesTest, ButtonStates) {
  const QColor background = host->palette().color(QPalette::Window);
  // Flat, the mouse elsewhere: no frame; the indicator fills the face left of the zone less 2
  // pixels around, framed in the shadow colour.
  QImage image = Save(button, "button-flat");
  EXPECT_EQ(Px(image, 0, 0), Hex(background));
  EXPECT_EQ(Px(image, 3, 3), Hex(ButtonShadow(pal)));
  EXPECT_EQ(Px(image, 24, 22), Hex(ButtonShadow(pal)));
  EXPECT_EQ(Px(image, 10, 10), Hex(QColor(255, 0, 0)));
  EXPECT_EQ(Px(image, 25, 10), Hex(background));
  EXPECT_EQ(Px(image, 34, 13), Hex(QColor(0, 0, 0)));  // the arrow's top-left corner
  EXPECT_EQ(Px(image, 37, 16), Hex(QColor(0, 0, 0)));  // and its tip
  EXPECT_EQ(Px(image, 30, 10), Hex(background));       // no divider without the frame

  // Hovered: a thin raised edge and the divider.
  QEnterEvent enter(QPointF(10, 10), button->mapTo(host.get(), QPointF(10, 10)),
                    button->mapToGlobal(QPointF(10, 10)));
  QApplication::sendEvent(button, &enter);
  image = Save(button, "button-hovered");
  EXPECT_EQ(Px(image, 0, 0), Hex(ButtonHighlight(pal)));
  EXPECT_EQ(Px(image, 44, 25), Hex(ButtonShadow(pal)));
  EXPECT_EQ(Px(image, 30, 10), Hex(ButtonHighlight(pal)));
  EXPECT_EQ(Px(image, 29, 10), Hex(ButtonShadow(pal)));
  Save(host.get(), "toolbar-hovered");

  // Pressed on the main face: sunken, divider one pixel right, arrow (1, 1) lower.
  QTest::mousePress(host->windowHandle(), Qt::LeftButton, {},
                    button->mapTo(host.get(), QPoint(10, 10)));
  image = Save(button, "button-pressed");
  EXPECT_EQ(Px(image, 0, 0), Hex(ButtonShadow(pal)));
  EXPECT_EQ(Px(image, 31, 10), Hex(ButtonHighlight(pal)));
  EXPECT_EQ(Px(image, 35, 14), Hex(QColor(0, 0, 0)));
  EXPECT_EQ(Px(image, 34, 13), Hex(background));
  QTest::mouseRelease(host->windowHandle(), Qt::LeftButton, {},
                      button->mapTo(host.get(), QPoint(10, 10)));

  // Dropped down after a press in the zone: the zone sunken inside the raised face.
  QTest::mousePress(host->windowHandle(), Qt::LeftButton, {},
                    button->mapTo(host.get(), QPoint(40, 13)));
  ASSERT_TRUE(button->DroppedDown());
  image = Save(button, "button-dropped");
  EXPECT_EQ(Px(image, 30, 0), Hex(ButtonShadow(pal)));
  EXPECT_EQ(Px(image, 44, 25), Hex(ButtonHighlight(pal)));
  button->SetDroppedDown(false);

  // Disabled, showing the button face as the main window does without a path.
  button->SetSelectionColor(SystemColorValue(15));
  button->setEnabled(false);
  image = Save(button, "button-disabled");
  EXPECT_EQ(Px(image, 10, 10), Hex(ButtonFace(pal)));
  QPalette disabled = pal;
  disabled.setCurrentColorGroup(QPalette::Disabled);
  EXPECT_EQ(Px(image, 34, 13), Hex(ButtonShadow(disabled)));  // the arrow in the shadow colour
  EXPECT_EQ(Px(image, 37, 16), Hex(background));              // without its outline row
  button->setEnabled(true);

  // A 3-D button for comparison.
  button->SetFlat(false);
  button->SetSelectionColor(0x00CC99);
  Save(button, "button-3d");
}

TEST_F(PicturesTest, PopupStandardGrid) {
  button->SetCustomText(QString());
  button->SetSelectionColor(0xFF0000);  // blue, cell 13
  button->SetDroppedDown(true);
  TColorPopup* popup = button->Popup();
  const TPopupLayout& l = popup->Layout();
  const TRect hover = CellRect(l, 30);
  QTest::mouseMove(popup->windowHandle(), QPoint(hover.Left + 9, hover.Top + 9));
  ASSERT_EQ(popup->HoverCell(), 30);
  const QImage image = Save(popup, "popup-standard");
  EXPECT_EQ(image.size(), QSize(164, 98));
  // The raised edge around the popup.
  EXPECT_EQ(Px(image, 0, 0), Hex(ThreeDLight(pal)));
  EXPECT_EQ(Px(image, 163, 97), Hex(ThreeDDarkShadow(pal)));
  // Cell 13 (100, 22): selected, sunken on the highlight background, blue inside a grey line.
  EXPECT_EQ(Px(image, 100, 22), Hex(ButtonShadow(pal)));
  EXPECT_EQ(Px(image, 102, 30), Hex(ButtonHighlight(pal)));
  EXPECT_EQ(Px(image, 103, 25), Hex(QColor(0x80, 0x80, 0x80)));
  EXPECT_EQ(Px(image, 109, 31), Hex(QColor(0, 0, 255)));
  // Cell 30, hovered: raised on the button face.
  EXPECT_EQ(Px(image, hover.Left, hover.Top), Hex(ThreeDLight(pal)));
  EXPECT_EQ(Px(image, hover.Left + 2, hover.Top + 9), Hex(ButtonFace(pal)));
  EXPECT_EQ(Px(image, hover.Left + 9, hover.Top + 9), Hex(Rgb(0x663399)));
  // An idle cell has no edge.
  EXPECT_EQ(Px(image, 10, 4), Hex(ButtonFace(pal)));
  button->SetDroppedDown(false);
}

TEST_F(PicturesTest, PopupWithCustomSection) {
  button->SetSelectionColor(PackRgb(255, 0, 127));  // colour comb 19
  button->SetDroppedDown(true);
  TColorPopup* popup = button->Popup();
  const TPopupLayout& l = popup->Layout();
  ASSERT_EQ(popup->SelectedCell(), CellCustom);
  const QImage image = Save(popup, "popup-custom");
  EXPECT_EQ(image.height(), 2 * l.Edge + l.GreyArea.Bottom);
  const int cx = l.CombArea.Left + l.Radius, cy = l.CombArea.Top + l.Radius;
  EXPECT_EQ(Px(image, cx, cy), Hex(QColor(255, 255, 255)));          // the centre comb
  EXPECT_EQ(Px(image, cx + 41, cy + 24), Hex(QColor(255, 0, 127)));  // the chosen comb
  EXPECT_EQ(Px(image, cx + 55, cy), Hex(QColor(255, 0, 255)));       // the magenta corner
  // The sample in the custom button shows the choice.
  EXPECT_EQ(Px(image, (l.Sample.Left + l.Sample.Right) / 2, (l.Sample.Top + l.Sample.Bottom) / 2),
            Hex(QColor(255, 0, 127)));
  // The intensity bar: white at the top, black at the bottom; the marker at the top.
  EXPECT_EQ(Px(image, l.IntensityBar.Left, l.IntensityBar.Top), Hex(QColor(255, 255, 255)));
  EXPECT_EQ(Px(image, l.IntensityBar.Left + 9, l.IntensityBar.Bottom - 1), Hex(QColor(0, 0, 0)));
  EXPECT_EQ(Px(image, l.IntensityBar.Left + 14, l.IntensityBar.Top), Hex(QColor(0, 0, 0)));
  // The grey row: white and black ends.
  EXPECT_EQ(Px(image, l.GreyArea.Left + 11, l.GreyArea.Top + 11), Hex(QColor(255, 255, 255)));
  EXPECT_EQ(Px(image, l.GreyArea.Left + 124, l.GreyArea.Top + 11), Hex(QColor(0, 0, 0)));
  button->SetDroppedDown(false);
}

TEST_F(PicturesTest, PopupWithSystemColoursAndDefaultText) {
  button->SetShowSystemColors(true);
  button->SetDroppedDown(true);
  {
    // The etched line between the standard and the system cells, in the gap 94..100.
    const QImage image = Save(button->Popup(), "popup-system");
    EXPECT_EQ(Px(image, 20, 96), Hex(ButtonShadow(pal)));
    EXPECT_EQ(Px(image, 20, 97), Hex(ButtonHighlight(pal)));
    EXPECT_EQ(Px(image, 20, 93), Hex(ButtonFace(pal)));
  }
  button->SetDroppedDown(false);
  button->SetDefaultText(QStringLiteral("&Automatic"));
  button->SetSelectionColor(SystemColorValue(13));  // highlight, cell 53
  button->SetDroppedDown(true);
  TColorPopup* popup = button->Popup();
  const TPopupLayout& l = popup->Layout();
  ASSERT_EQ(popup->SelectedCell(), 53);
  const QImage image = Save(popup, "popup-system-default");
  EXPECT_EQ(image.height(), l.Window.Height());
  const TRect cell = CellRect(l, 53);
  EXPECT_EQ(Px(image, cell.Left + 9, cell.Top + 9), Hex(SystemColor(13, pal)));
  const TRect first = CellRect(l, 40);
  EXPECT_EQ(Px(image, first.Left + 9, first.Top + 9), Hex(SystemColor(0, pal)));
  // The default button's shadow frame, inset by edge + 1.
  EXPECT_EQ(Px(image, l.DefaultButton.Left + 3, l.DefaultButton.Top + 8), Hex(ButtonShadow(pal)));
  button->SetDroppedDown(false);
}

}  // namespace
}  // namespace aiimport
