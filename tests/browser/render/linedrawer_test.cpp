// The line drawer against Qt itself: element lists built by FigureElements are the lists a
// QPainterPath holds after the same calls, and DrawOnePixelLines sets the pixels QPainter sets
// when it strokes such a list with the preview's pen (one pixel, cosmetic, flat cap, no
// antialiasing). Random lists cover what the line drawing decides at every step: short and long
// lines in all eight directions, lines that turn back on themselves, lines leaving and entering
// the image or lying wholly outside it, points far away, closed and open subpaths, curves, and
// lone moves.
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <limits>
#include <random>
#include <vector>

#include "linedrawer.h"
#include "rendersupport.h"

namespace aiimport::rendertest {
namespace {

std::vector<PathElement> ElementsOf(const QPainterPath& path) {
  std::vector<PathElement> out;
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPainterPath::Element e = path.elementAt(i);
    out.push_back({e.x, e.y, static_cast<ElementKind>(e.type)});
  }
  return out;
}

std::vector<PathElement> ElementsOf(const FigureElements& figure) {
  return {figure.Elements().begin(), figure.Elements().end()};
}

QPen PreviewPen(const QColor& colour) {
  QPen pen(colour);
  pen.setWidth(1);
  pen.setCosmetic(true);
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  return pen;
}

// Random operations on a QPainterPath and a FigureElements side by side. Coordinates come from
// a small set of values so that points repeat, some differing only in the 14th digit (equal
// for QPointF) or in the 10th (different).
TEST(FigureElements, BuildTheListsAQPainterPathHolds) {
  std::mt19937 random(11);
  const double values[] = {0, 1, -1, 5, 5.000000000000001, 5.0000000001, 1e-13, 300, -7, 2.5};
  const auto value = [&] { return values[random() % std::size(values)]; };
  for (int round = 0; round < 300; ++round) {
    QPainterPath qt;
    FigureElements ours;
    QPainterPath qtBatch;
    FigureElements ourBatch;
    for (int step = 0; step < 40; ++step) {
      switch (random() % 8) {
        case 0:
        case 1: {
          const double x = value(), y = value();
          qt.moveTo(x, y);
          ours.MoveTo(x, y);
          break;
        }
        case 2:
        case 3:
        case 4: {
          const double x = value(), y = value();
          qt.lineTo(x, y);
          ours.LineTo(x, y);
          break;
        }
        case 5: {
          double p[6];
          for (double& v : p)
            v = value();
          if (random() % 2) p[0] = p[2] = p[4], p[1] = p[3] = p[5];  // often all one point
          qt.cubicTo(p[0], p[1], p[2], p[3], p[4], p[5]);
          ours.CubicTo(p[0], p[1], p[2], p[3], p[4], p[5]);
          break;
        }
        case 6:
          qtBatch.addPath(qt);
          ourBatch.Append(ours);
          ASSERT_EQ(ElementsOf(ourBatch), ElementsOf(qtBatch)) << "round " << round;
          break;
        default:
          qt.clear();
          ours.Clear();
          break;
      }
      ASSERT_EQ(ElementsOf(ours), ElementsOf(qt)) << "round " << round << ", step " << step;
      ASSERT_EQ(ours.IsEmpty(), qt.isEmpty());
      ASSERT_EQ(ours.Count(), static_cast<std::size_t>(qt.elementCount()));
    }
  }
}

// A random element list as a QPainterPath: several subpaths of lines and curves whose points
// are mostly near each other (a large drawing's small figures) and sometimes far, some closed,
// some reversing.
QPainterPath RandomPath(std::mt19937& random, int width, int height) {
  const auto between = [&](int low, int high) {
    return static_cast<double>(low +
                               static_cast<int>(random() % static_cast<unsigned>(high - low + 1)));
  };
  QPainterPath path;
  const int subpaths = 1 + static_cast<int>(random() % 12);
  for (int s = 0; s < subpaths; ++s) {
    double x = between(-20, width + 20), y = between(-20, height + 20);
    if (random() % 20 == 0) x = between(-3000000, 3000000), y = between(-3000000, 3000000);
    path.moveTo(x, y);
    const QPointF start(x, y);
    const int steps = 1 + static_cast<int>(random() % 10);
    for (int k = 0; k < steps; ++k) {
      const int reach = random() % 6 == 0 ? width * 2 : (random() % 3 == 0 ? 1 : 6);
      const auto step = [&] { return between(-reach, reach); };
      if (random() % 4 == 0) {
        path.cubicTo(x + step(), y + step(), x + step(), y + step(), x + step(), y + step());
        x = path.currentPosition().x();
        y = path.currentPosition().y();
      } else if (random() % 8 == 0) {
        path.lineTo(x, y + step() * 3);  // straight up or down, then possibly back
        y = path.currentPosition().y();
      } else {
        x += step();
        y += step();
        path.lineTo(x, y);
      }
    }
    if (random() % 2) path.lineTo(start);  // closed: the last point on the first
    if (random() % 25 == 0) path.moveTo(between(0, width), between(0, height));  // a lone move
  }
  return path;
}

TEST(DrawOnePixelLines, SetsThePixelsOfQtsCosmeticPen) {
  std::mt19937 random(5);
  for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
    for (int round = 0; round < 1500; ++round) {
      const int width = 1 + static_cast<int>(random() % 60);
      const int height = 1 + static_cast<int>(random() % 60);
      const QPainterPath path = RandomPath(random, width, height);
      const std::vector<PathElement> elements = ElementsOf(path);
      QImage expected(width, height, format);
      expected.fill(QColor(0x20, 0x40, 0x60));
      QImage drawn = expected;
      const QColor colour(static_cast<int>(random() % 256), static_cast<int>(random() % 256),
                          static_cast<int>(random() % 256));
      {
        QPainter painter(&expected);
        painter.setPen(PreviewPen(colour));
        painter.drawPath(path);
      }
      PixelTarget target;
      target.Pixels = reinterpret_cast<uint32_t*>(drawn.bits());
      target.Stride = drawn.bytesPerLine() / 4;
      target.Width = width;
      target.Height = height;
      ASSERT_TRUE(OnePixelLinesApply(target, elements));
      // The pixel value the painter stores for the colour: opaque, premultiplied alike.
      const uint32_t pixel = 0xFF000000u | (colour.rgb() & 0xFFFFFFu);
      if (!path.isEmpty()) DrawOnePixelLines(target, pixel, elements);
      ASSERT_TRUE(drawn == expected) << "format " << format << ", round " << round;
    }
  }
}

TEST(DrawOnePixelLines, TakesOnlyWholeNumbersNearTheOriginOnAnImageItCanAddress) {
  QImage image(10, 10, QImage::Format_RGB32);
  PixelTarget target{reinterpret_cast<uint32_t*>(image.bits()), image.bytesPerLine() / 4, 10, 10};
  const auto list = [](double x, double y) {
    return std::vector<PathElement>{{0, 0, ElementKind::Move}, {x, y, ElementKind::Line}};
  };
  EXPECT_TRUE(OnePixelLinesApply(target, list(1099511627776.0, -3)));  // 2^40
  EXPECT_FALSE(OnePixelLinesApply(target, list(2199023255552.0, 0)));  // 2^41
  EXPECT_FALSE(OnePixelLinesApply(target, list(0.5, 0)));
  EXPECT_FALSE(OnePixelLinesApply(target, list(std::numeric_limits<double>::quiet_NaN(), 0)));
  EXPECT_FALSE(OnePixelLinesApply(target, list(0, std::numeric_limits<double>::infinity())));
  // A list must start with a move, and a curve bring its two data points.
  using List = std::vector<PathElement>;
  EXPECT_FALSE(OnePixelLinesApply(target, List{{0, 0, ElementKind::Line}}));
  EXPECT_FALSE(OnePixelLinesApply(
      target,
      List{{0, 0, ElementKind::Move}, {1, 1, ElementKind::Curve}, {2, 2, ElementKind::CurveData}}));
  EXPECT_FALSE(
      OnePixelLinesApply(target, List{{0, 0, ElementKind::Move}, {1, 1, ElementKind::CurveData}}));
  EXPECT_TRUE(OnePixelLinesApply(target, List{}));
  PixelTarget huge = target;
  huge.Width = 40000;
  huge.Stride = 40000;
  EXPECT_FALSE(OnePixelLinesApply(huge, list(1, 1)));
}

}  // namespace
}  // namespace aiimport::rendertest
