// DrawPaths and HalveBitmap on small hand-made paths, pixel by pixel.
#include <QPainter>

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "previewrender.h"
#include "rendersupport.h"

namespace aiimport {
namespace {

using namespace rendertest;

constexpr TColor Green = 0x00FF00;
constexpr TColor Blue = 0xFF0000;
constexpr TColor Red = 0x0000FF;
constexpr TColor DarkBlue = 0x800000;
constexpr TColor Silver = 0xC0C0C0;
constexpr TColor Black = 0x000000;
constexpr TColor White = 0xFFFFFF;

const ScreenMapping Identity{1, 0, 0, 0, 0};

QImage Draw(const std::vector<const tpath*>& paths, DrawMode mode, int width = 100,
            int height = 100, const ScreenMapping& mapping = Identity, int factor = 1,
            DrawStats* stats = nullptr) {
  QImage image = WhiteCanvas(width, height);
  QPainter painter(&image);
  const DrawStats s = DrawPaths(painter, paths, factor, mode, mapping);
  if (stats) *stats = s;
  painter.end();
  return image;
}

// An outline (10,10)-(50,50) with a hole (20,20)-(40,40), one compound path, filled green.
std::deque<tpath> Donut(bool outerAnticlockwise = true, bool innerAnticlockwise = false) {
  std::deque<tpath> paths;
  paths.push_back(Rect(10, 10, 50, 50, {true, true, 0x123456, Green, 3, outerAnticlockwise}));
  paths.push_back(Rect(20, 20, 40, 40, {true, true, 0x123456, Green, 3, innerAnticlockwise}));
  return paths;
}

TEST(DrawPathsSolid, CompoundWithAHoleLeavesTheHoleWhite) {
  const auto paths = Donut();
  const QImage image = Draw(Pointers(paths), DrawMode::Solid);
  EXPECT_EQ(PixelAt(image, 15, 15), Green);
  EXPECT_EQ(PixelAt(image, 45, 30), Green);
  EXPECT_EQ(PixelAt(image, 30, 30), White) << Describe(image, 5, 5, 55, 55);
  EXPECT_EQ(PixelAt(image, 25, 35), White);
  EXPECT_EQ(PixelAt(image, 5, 5), White);
  EXPECT_EQ(PixelAt(image, 55, 30), White);
  // Both outlines in the fill colour: a filled path's pen is its fill colour.
  EXPECT_EQ(PixelAt(image, 10, 30), Green);
  EXPECT_EQ(PixelAt(image, 20, 30), Green);
  EXPECT_EQ(PixelAt(image, 50, 30), Green);
  EXPECT_EQ(PixelAt(image, 30, 50), Green);
}

TEST(DrawPathsSolid, DifferentCompoundNumbersAreSeparateFigures) {
  auto paths = Donut();
  paths[1].CompoundNo = 4;
  const QImage image = Draw(Pointers(paths), DrawMode::Solid);
  EXPECT_EQ(PixelAt(image, 30, 30), Green);  // the inner square is filled on its own
  EXPECT_EQ(PixelAt(image, 15, 15), Green);
}

TEST(DrawPathsSolid, FigureTakesTheSettingsOfItsLastPath) {
  auto paths = Donut();
  paths[1].FillColor = Blue;
  const QImage image = Draw(Pointers(paths), DrawMode::Solid);
  EXPECT_EQ(PixelAt(image, 15, 15), Blue);
  EXPECT_EQ(PixelAt(image, 10, 30), Blue);
  EXPECT_EQ(PixelAt(image, 30, 30), White);
}

TEST(DrawPathsSolid, WhiteFillIsOutlinedBlack) {
  std::deque<tpath> paths;
  paths.push_back(Rect(10, 10, 50, 50, {true, true, 0x123456, White, 1}));
  // Under it a green square, so that the white fill is seen to cover it.
  std::deque<tpath> under;
  under.push_back(Rect(0, 0, 30, 30, {true, true, Green, Green, 0}));
  under.push_back(paths[0]);
  const QImage image = Draw(Pointers(under), DrawMode::Solid);
  EXPECT_EQ(PixelAt(image, 5, 5), Green);
  EXPECT_EQ(PixelAt(image, 20, 20), White);
  EXPECT_EQ(PixelAt(image, 35, 35), White);
  EXPECT_EQ(PixelAt(image, 10, 40), Black);
  EXPECT_EQ(PixelAt(image, 50, 40), Black);
  EXPECT_EQ(PixelAt(image, 30, 10), Black);
  EXPECT_EQ(PixelAt(image, 30, 50), Black);
}

TEST(DrawPathsSolid, OpenPathIsDottedAndWhitePenTurnsBlack) {
  std::deque<tpath> paths;
  paths.push_back(MakePath({Move(10, 60), Line(90, 60)}, {false, false, White, White, 1}));
  const QImage solid = Draw(Pointers(paths), DrawMode::Solid);
  int black = 0, white = 0;
  for (int x = 10; x < 90; ++x) {
    const TColor c = PixelAt(solid, x, 60);
    black += c == Black;
    white += c == White;
  }
  EXPECT_EQ(black + white, 80);
  EXPECT_GE(black, 10) << Describe(solid, 0, 58, 99, 62);
  EXPECT_GE(white, 10);
  EXPECT_EQ(CountColor(solid, Black), black);  // nothing off the line

  // The same path in Wireframe is a solid line; a closed path in Solid mode too.
  const QImage wire = Draw(Pointers(paths), DrawMode::Wireframe);
  for (int x = 10; x < 90; ++x)
    EXPECT_EQ(PixelAt(wire, x, 60), Black) << x;
  paths[0].Closed = true;
  const QImage closed = Draw(Pointers(paths), DrawMode::Solid);
  for (int x = 10; x < 90; ++x)
    EXPECT_EQ(PixelAt(closed, x, 60), Black) << x;
}

TEST(DrawPathsSolid, OpenFilledPathIsFilledWithADottedOutline) {
  std::deque<tpath> paths;
  paths.push_back(
      MakePath({Move(10, 10), Line(90, 10), Line(90, 90), Line(10, 90)}, {false, true, 0, Red}));
  const QImage image = Draw(Pointers(paths), DrawMode::Solid);
  EXPECT_EQ(PixelAt(image, 50, 50), Red);
  EXPECT_EQ(PixelAt(image, 12, 50), Red);  // filling closes the open side
  // The fill covers columns 10 to 89; the right side of the outline, column 90, is dotted.
  int outline = 0;
  for (int y = 11; y < 89; ++y)
    outline += PixelAt(image, 90, y) == Red;
  EXPECT_GT(outline, 10) << Describe(image, 80, 0, 99, 99);
  EXPECT_LT(outline, 68);
}

TEST(DrawPathsWireframe, OutlinesOnlyInFillOrLineColour) {
  std::deque<tpath> paths;
  paths.push_back(Rect(10, 10, 40, 40, {true, true, Red, Green, 0}));
  paths.push_back(Rect(60, 10, 90, 40, {true, false, Red, Green, 1}));
  paths.push_back(Rect(10, 60, 40, 90, {false, true, White, White, 2}));
  const QImage image = Draw(Pointers(paths), DrawMode::Wireframe);
  EXPECT_EQ(PixelAt(image, 10, 25), Green);
  EXPECT_EQ(PixelAt(image, 25, 25), White);
  EXPECT_EQ(PixelAt(image, 60, 25), Red);
  EXPECT_EQ(PixelAt(image, 75, 25), White);
  EXPECT_EQ(PixelAt(image, 10, 75), Black);  // white becomes black; open but solid here
  EXPECT_EQ(PixelAt(image, 11, 75), White);
  for (int x = 10; x < 40; ++x)
    EXPECT_EQ(PixelAt(image, x, 60), Black) << x;
}

TEST(DrawPathsOrientation, EverySubPathStrokedByItsOwnFlag) {
  auto paths = Donut(true, false);
  paths.push_back(MakePath({Move(60, 70), Line(90, 70)}, {false, true, 0, Green, 9, true}));
  const QImage image = Draw(Pointers(paths), DrawMode::Orientation);
  EXPECT_EQ(PixelAt(image, 10, 30), Blue);   // anticlockwise
  EXPECT_EQ(PixelAt(image, 20, 30), Red);    // clockwise
  EXPECT_EQ(PixelAt(image, 15, 15), White);  // never filled
  EXPECT_EQ(PixelAt(image, 30, 30), White);
  EXPECT_EQ(PixelAt(image, 75, 70), DarkBlue);  // open
}

TEST(DrawPathsBackground, EverythingSilverAndUnfilled) {
  auto paths = Donut();
  paths.push_back(MakePath({Move(60, 70), Line(90, 70)}, {false, false, White, 0, 9}));
  const QImage image = Draw(Pointers(paths), DrawMode::Background);
  EXPECT_EQ(PixelAt(image, 10, 30), Silver);
  EXPECT_EQ(PixelAt(image, 20, 30), Silver);
  EXPECT_EQ(PixelAt(image, 15, 15), White);
  for (int x = 60; x < 90; ++x)
    EXPECT_EQ(PixelAt(image, x, 70), Silver) << x;
  EXPECT_EQ(CountColor(image, Silver) + CountColor(image, White), 100 * 100);
}

TEST(DrawPathsMapping, PointsLandOnTheMappedPixels) {
  // Scale 2, origin (0, 0), offsets (3, 4): x 10.25 -> 3 + R(20.5) = 23;
  // y 5 -> 14, y 30 -> 64.
  std::deque<tpath> paths;
  paths.push_back(MakePath({Move(10.25f, 5), Line(10.25f, 30)}, {false, false, 0, 0, 0}));
  const ScreenMapping m{2, 0, 0, 3, 4};
  QImage image = Draw(Pointers(paths), DrawMode::Wireframe, 100, 100, m);
  for (int y = 14; y < 64; ++y)
    EXPECT_EQ(PixelAt(image, 23, y), Black) << y;
  EXPECT_EQ(CountColor(image, Black), 64 - 14);
  // The factor multiplies after rounding: column 46, rows 28 to 127.
  image = Draw(Pointers(paths), DrawMode::Wireframe, 200, 200, m, 2);
  for (int y = 28; y < 128; ++y)
    EXPECT_EQ(PixelAt(image, 46, y), Black) << y;
  EXPECT_EQ(CountColor(image, Black), 128 - 28);
}

TEST(DrawPathsPoints, CurvesAndLinesContinueFromTheCurrentPosition) {
  std::deque<tpath> paths;
  // A curve from (10, 50) over controls (10, 10) and (90, 10) to (90, 50): its middle point
  // (t = 1/2) is (50, 20).
  paths.push_back(MakePath({Move(10, 50), Curve(10, 10, 90, 10, 90, 50)}, {false, false, 0, 0, 1}));
  // Another figure that starts with a line: it starts where the curve ended.
  paths.push_back(MakePath({Line(90, 90)}, {false, false, 0, 0, 2}));
  // Points of unknown kinds are skipped.
  paths.push_back(MakePath({Move(5, 95), {7, 50, 50}, Line(40, 95)}, {false, false, 0, 0, 3}));
  const QImage image = Draw(Pointers(paths), DrawMode::Wireframe);
  bool top = false;
  for (int y = 19; y <= 21; ++y)
    top = top || PixelAt(image, 50, y) == Black;
  EXPECT_TRUE(top) << Describe(image, 0, 0, 99, 99);
  EXPECT_TRUE(IsWhite(image, 50, 30));
  EXPECT_TRUE(IsWhite(image, 50, 15));
  for (int y = 50; y < 90; ++y)
    EXPECT_EQ(PixelAt(image, 90, y), Black) << y;
  for (int x = 5; x < 40; ++x)
    EXPECT_EQ(PixelAt(image, x, 95), Black) << x;
  EXPECT_TRUE(IsWhite(image, 50, 60));
}

TEST(DrawPathsCulling, PathsWhollyOutsideEmitNothing) {
  std::deque<tpath> paths;
  paths.push_back(Rect(150, 10, 200, 50, {true, false, 0, 0, 0}));  // right of the picture
  paths.push_back(Rect(-60, 10, -10, 50, {true, false, 0, 0, 1}));  // left
  paths.push_back(Rect(10, -60, 50, -1, {true, false, 0, 0, 2}));   // above
  paths.push_back(
      MakePath({Move(10, 100), Line(90, 100)}, {false, false, 0, 0, 3}));  // on the edge
  paths.push_back(
      MakePath({Move(100, 10), Line(100, 90)}, {false, false, 0, 0, 4}));  // on the edge
  paths.push_back(MakePath({Move(10, 101), Line(90, 101)}, {false, false, 0, 0, 5}));  // just below
  paths.push_back(MakePath({Move(20, 50), Line(80, 50)}, {false, false, 0, 0, 6}));    // inside
  DrawStats stats;
  const QImage image = Draw(Pointers(paths), DrawMode::Wireframe, 100, 100, Identity, 1, &stats);
  EXPECT_EQ(stats.Culled, 4u);
  EXPECT_EQ(stats.Emitted, 3u);
  EXPECT_EQ(CountColor(image, Black), 60);  // only the inside line shows

  // A painter's clip rectangle is the rectangle culled against.
  QImage clipped = WhiteCanvas(100, 100);
  QPainter painter(&clipped);
  painter.setClipRect(0, 0, 40, 40);
  const DrawStats s = DrawPaths(painter, Pointers(paths), 1, DrawMode::Wireframe, Identity);
  painter.end();
  EXPECT_EQ(s.Emitted, 0u);
  EXPECT_EQ(s.Culled, 7u);
}

TEST(DrawPathsCulling, CulledPathStillSetsItsFiguresColours) {
  std::deque<tpath> paths;
  paths.push_back(Rect(10, 10, 50, 50, {true, true, 0, Green, 5}));
  paths.push_back(Rect(200, 200, 210, 210, {true, true, 0, Blue, 5}));  // culled, same figure
  DrawStats stats;
  const QImage image = Draw(Pointers(paths), DrawMode::Solid, 100, 100, Identity, 1, &stats);
  EXPECT_EQ(stats.Culled, 1u);
  EXPECT_EQ(PixelAt(image, 30, 30), Blue);
  EXPECT_EQ(PixelAt(image, 10, 30), Blue);
}

TEST(DrawPathsRobustness, HugeCoordinatesAndOddInput) {
  std::deque<tpath> paths;
  paths.push_back(MakePath({Move(-1e9f, 50), Line(1e9f, 50)}, {false, false, 0, 0, 0}));
  paths.push_back(MakePath({Move(-3e38f, 70), Line(3e38f, 70)}, {false, false, 0, 0, 1}));
  paths.push_back(Rect(-3e38f, -3e38f, 3e38f, 3e38f, {true, true, 0, Green, 2}));
  DrawStats stats;
  const QImage image = Draw(Pointers(paths), DrawMode::Solid, 100, 100, Identity, 1, &stats);
  EXPECT_EQ(stats.Emitted, 3u);
  EXPECT_EQ(PixelAt(image, 50, 30), Green);  // the huge filled rectangle covers everything

  const std::vector<const tpath*> withNull{nullptr, &paths[0]};
  const QImage lines = Draw(withNull, DrawMode::Wireframe);
  for (int x = 0; x < 100; ++x)
    EXPECT_EQ(PixelAt(lines, x, 50), Black) << x;

  // A mirrored drawing (negative scale) still draws, and an empty list draws nothing.
  const ScreenMapping mirrored{-1, 0, 0, 100, 100};
  const QImage flipped = Draw(Pointers(Donut()), DrawMode::Solid, 100, 100, mirrored);
  EXPECT_EQ(PixelAt(flipped, 85, 85), Green);
  EXPECT_EQ(PixelAt(flipped, 70, 70), White);
  EXPECT_EQ(CountColor(Draw({}, DrawMode::Solid), White), 100 * 100);
}

TEST(DrawPathsFigures, NegativeCompoundNumbersAreNeverFinished) {
  std::deque<tpath> paths;
  paths.push_back(Rect(10, 10, 50, 50, {true, true, 0, Green, -1}));
  paths.push_back(Rect(60, 60, 90, 90, {true, true, 0, Green, -7}));
  const QImage image = Draw(Pointers(paths), DrawMode::Solid);
  EXPECT_EQ(CountColor(image, White), 100 * 100);
}

TEST(DrawPathsFigures, StrokesDrawnTogetherSetTheSamePixelsAsOneByOne) {
  // Many overlapping open and closed paths with lines and curves, each its own figure, in one
  // colour: drawn in one call they are collected into few painter calls; drawn one call per
  // path (the position carried from call to call) each is drawn alone.
  std::deque<tpath> paths;
  uint32_t seed = 12345;
  auto next = [&seed](float range) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(seed >> 8) / static_cast<float>(1u << 24) * range - 10;
  };
  for (int i = 0; i < 300; ++i) {
    std::vector<tbpoint> points;
    if (i % 7 != 0) points.push_back(Move(next(120), next(120)));  // some start with a line
    for (int k = 0; k < 4; ++k) {
      if ((i + k) % 3 == 0) {
        points.push_back(Curve(next(120), next(120), next(120), next(120), next(120), next(120)));
      } else {
        points.push_back(Line(next(120), next(120)));
      }
    }
    paths.push_back(MakePath(points, {i % 2 == 0, false, 0x336699, 0, i}));
  }
  for (DrawMode mode : {DrawMode::Wireframe, DrawMode::Background}) {
    const QImage together = Draw(Pointers(paths), mode);
    QImage alone = WhiteCanvas(100, 100);
    QPainter painter(&alone);
    QPointF position(0, 0);
    for (const tpath& p : paths) {
      const std::vector<const tpath*> one{&p};
      DrawPaths(painter, one, 1, mode, Identity, &position);
    }
    painter.end();
    EXPECT_EQ(together, alone);
    EXPECT_GT(CountColor(together, White), 0);
    EXPECT_LT(CountColor(together, White), 100 * 100 - 1000);
  }
}

QImage FromRgb(int width, int height, const std::vector<QRgb>& pixels) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      image.setPixel(x, y, pixels[y * width + x]);
  }
  return image;
}

TEST(HalveBitmapTest, AveragesEachColourByteRoundingDown) {
  // 4 x 2 -> 2 x 1. Left block: red 0+1+255+3 = 259 -> 64, green 0+2+255+3 = 260 -> 65,
  // blue 0+3+255+3 = 261 -> 65. Right block: red 4 * 255 -> 255, green 3 -> 0, blue 1+1+1+0
  // -> 0.
  const QImage source =
      FromRgb(4, 2,
              {qRgb(0, 0, 0), qRgb(1, 2, 3), qRgb(255, 0, 1), qRgb(255, 1, 1), qRgb(255, 255, 255),
               qRgb(3, 3, 3), qRgb(255, 1, 1), qRgb(255, 1, 0)});
  const QImage half = HalveBitmap(source);
  ASSERT_EQ(half.width(), 2);
  ASSERT_EQ(half.height(), 1);
  EXPECT_EQ(half.pixel(0, 0), qRgb(64, 65, 65));
  EXPECT_EQ(half.pixel(1, 0), qRgb(255, 0, 0));
}

TEST(HalveBitmapTest, OddLastColumnAndRowAreDropped) {
  std::vector<QRgb> pixels(5 * 3, qRgb(255, 255, 255));
  pixels[4] = qRgb(0, 0, 0);          // column 4 of row 0: dropped
  pixels[2 * 5 + 0] = qRgb(0, 0, 0);  // row 2: dropped
  pixels[1 * 5 + 3] = qRgb(0, 0, 0);  // inside the block of output (1, 0)
  const QImage half = HalveBitmap(FromRgb(5, 3, pixels));
  ASSERT_EQ(half.width(), 2);
  ASSERT_EQ(half.height(), 1);
  EXPECT_EQ(half.pixel(0, 0), qRgb(255, 255, 255));
  EXPECT_EQ(half.pixel(1, 0), qRgb(191, 191, 191));  // (3 * 255) >> 2

  EXPECT_TRUE(HalveBitmap(QImage()).isNull());
  const QImage tiny = HalveBitmap(FromRgb(1, 1, {qRgb(0, 0, 0)}));
  EXPECT_EQ(tiny.width() * tiny.height(), 0);
  // Another format is read through its colours.
  const QImage rgb888 = FromRgb(2, 2, {qRgb(8, 0, 0), qRgb(0, 8, 0), qRgb(0, 0, 8), qRgb(4, 4, 4)})
                            .convertToFormat(QImage::Format_RGB888);
  EXPECT_EQ(HalveBitmap(rgb888).pixel(0, 0), qRgb(3, 3, 3));
}

TEST(ColourValues, LowByteIsRedAndSystemColoursComeFromThePalette) {
  QPalette palette;
  palette.setColor(QPalette::Active, QPalette::Button, QColor(10, 20, 30));    // 15 button face
  palette.setColor(QPalette::Disabled, QPalette::Text, QColor(40, 50, 60));    // 17 gray text
  palette.setColor(QPalette::Inactive, QPalette::Mid, QColor(70, 80, 90));     // 3 inactive caption
  palette.setColor(QPalette::Active, QPalette::ToolTipBase, QColor(1, 2, 3));  // 24 info background
  struct Case {
    TColor Value;
    QColor Expected;
  };
  const Case cases[] = {
      {0x0000FF, QColor(255, 0, 0)},
      {0xFF0000, QColor(0, 0, 255)},
      {0x123456, QColor(0x56, 0x34, 0x12)},
      {0x7F123456, QColor(0x56, 0x34, 0x12)},  // the high byte of an ordinary value is ignored
      {static_cast<TColor>(0x8000000F), QColor(10, 20, 30)},
      {SystemColorValue(17), QColor(40, 50, 60)},
      {SystemColorValue(3), QColor(70, 80, 90)},
      {SystemColorValue(24), QColor(1, 2, 3)},
      {SystemColorValue(25), QColor(0, 0, 0)},  // past the table
  };
  for (const Case& c : cases)
    EXPECT_EQ(ToQColor(c.Value, palette), c.Expected) << std::hex << c.Value;
  EXPECT_EQ(FromQColor(QColor(0x56, 0x34, 0x12)), 0x123456);
  EXPECT_EQ(FromQColor(QColor::fromHsv(0, 255, 255)), 0x0000FF);  // through its RGB values
}

TEST(DrawPathsSolid, SystemColoursAreTakenFromThePalette) {
  // Menu (4) and window text (8), coloured unlike anything else in the picture.
  QPalette palette;
  palette.setColor(QPalette::Active, QPalette::Window, QColor(0x11, 0x22, 0x33));
  palette.setColor(QPalette::Active, QPalette::Text, QColor(0x44, 0x55, 0x66));
  std::deque<tpath> paths;
  paths.push_back(Rect(10, 10, 40, 40, {true, false, SystemColorValue(8), White, 0}));
  paths.push_back(Rect(60, 10, 90, 40, {true, true, Black, SystemColorValue(4), 1}));
  QImage image = WhiteCanvas(100, 50);
  QPainter painter(&image);
  DrawPaths(painter, Pointers(paths), 1, DrawMode::Solid, Identity, nullptr, palette);
  painter.end();
  const TColor text = 0x665544, menu = 0x332211;
  EXPECT_EQ(PixelAt(image, 10, 25), text) << Describe(image, 5, 5, 45, 45);  // left edge
  EXPECT_EQ(PixelAt(image, 25, 10), text);                                   // top edge
  EXPECT_TRUE(IsWhite(image, 25, 25));                                       // not filled
  // A filled path's outline is drawn in its fill colour too.
  EXPECT_EQ(PixelAt(image, 75, 25), menu);
  EXPECT_EQ(PixelAt(image, 60, 25), menu);
  // Every pixel is white or one of the two.
  EXPECT_EQ(CountColor(image, White) + CountColor(image, text) + CountColor(image, menu),
            image.width() * image.height());
}

}  // namespace
}  // namespace aiimport
