#include "icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <functional>
#include <sstream>

namespace aiimport {

namespace {

// One palette for every picture, so that they read as a set.
const QColor Ink(0x2b, 0x33, 0x3d);
const QColor Accent(0x2f, 0x6f, 0xd0);
const QColor AccentLight(0xa9, 0xc8, 0xf2);
const QColor Warm(0xd0, 0x4a, 0x36);
const QColor Fill(0x5b, 0x9b, 0x4b);
const QColor FillLight(0xc9, 0xe4, 0xbf);
const QColor FolderColour(0xe8, 0xb8, 0x4a);
const QColor FolderDark(0xb0, 0x83, 0x22);

using Drawing = std::function<void(QPainter&)>;

// Paints the 20 x 20 drawing at 1x and 2x into one icon.
QIcon Make(const Drawing& draw) {
  QIcon icon;
  for (int scale : {1, 2}) {
    QPixmap pixmap(20 * scale, 20 * scale);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    draw(p);
    p.end();
    pixmap.setDevicePixelRatio(scale);
    icon.addPixmap(pixmap);
  }
  return icon;
}

QPen Pen(const QColor& c, qreal width = 1.4) {
  QPen pen(c, width);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  return pen;
}

void Magnifier(QPainter& p, const QPointF& centre, qreal radius) {
  p.setPen(Pen(Ink, 1.6));
  p.setBrush(QColor(255, 255, 255, 210));
  p.drawEllipse(centre, radius, radius);
  p.setPen(Pen(Ink, 2.6));
  const QPointF handle = centre + QPointF(radius * 0.72, radius * 0.72);
  p.drawLine(handle, handle + QPointF(4.2, 4.2));
}

QPainterPath Blob() {  // a closed, rounded shape used for paths
  QPainterPath path;
  path.moveTo(4, 12);
  path.cubicTo(3, 6, 9, 3, 13, 5);
  path.cubicTo(17, 7, 17, 13, 14, 15);
  path.cubicTo(11, 17, 5, 17, 4, 12);
  return path;
}

QPainterPath OpenCurve() {
  QPainterPath path;
  path.moveTo(3, 15);
  path.cubicTo(5, 4, 12, 4, 17, 8);
  return path;
}

void EndPoints(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(Accent);
  p.drawRect(QRectF(1.5, 13.5, 3, 3));
  p.drawRect(QRectF(15.5, 6.5, 3, 3));
}

void Arrow(QPainter& p, bool up) {
  p.setPen(Pen(Accent, 2.2));
  const qreal tip = up ? 3 : 17, tail = up ? 17 : 3;
  p.drawLine(QPointF(10, tail), QPointF(10, tip));
  const qreal wing = up ? 4.5 : -4.5;
  p.drawLine(QPointF(10, tip), QPointF(5.5, tip + wing));
  p.drawLine(QPointF(10, tip), QPointF(14.5, tip + wing));
}

// ---- The paths, as the tree and the tool bar show them (each with its outline's width) ----

void OpenPath(QPainter& p, qreal width) {
  p.setPen(Pen(Ink, width));
  p.setBrush(Qt::NoBrush);
  p.drawPath(OpenCurve());
  EndPoints(p);
}

void ClosedPath(QPainter& p, qreal width) {
  p.setPen(Pen(Ink, width));
  p.setBrush(Qt::NoBrush);
  p.drawPath(Blob());
}

void FilledPath(QPainter& p, qreal width) {
  p.setPen(Pen(Fill.darker(140), width));
  p.setBrush(Fill);
  p.drawPath(Blob());
}

// ---- The tree's pictures ----

void Folder(QPainter& p) {
  p.setPen(Pen(FolderDark, 1.0));
  p.setBrush(FolderColour);
  QPainterPath tab;
  tab.moveTo(2.5, 5.5);
  tab.lineTo(7.5, 5.5);
  tab.lineTo(9, 7);
  tab.lineTo(17.5, 7);
  tab.lineTo(17.5, 16.5);
  tab.lineTo(2.5, 16.5);
  tab.closeSubpath();
  p.drawPath(tab);
  p.setBrush(FolderColour.lighter(118));
  p.drawRect(QRectF(2.5, 9, 15, 7.5));
}

// Two shapes joined, with a hole.
void Composite(QPainter& p) {
  QPainterPath path;
  path.addRoundedRect(QRectF(2.5, 3.5, 15, 13), 3, 3);
  path.addEllipse(QPointF(10, 10), 3.2, 3.2);
  path.setFillRule(Qt::OddEvenFill);
  p.setPen(Pen(Ink, 1.2));
  p.setBrush(Fill);
  p.drawPath(path);
}

void OpenFilledPath(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(FillLight);
  p.drawPath(OpenCurve());
  p.setPen(Pen(Fill.darker(130), 1.6));
  p.setBrush(Qt::NoBrush);
  p.drawPath(OpenCurve());
  EndPoints(p);
}

// ---- The tool bar's pictures ----

// A magnifier inside corner marks.
void ZoomAll(QPainter& p) {
  p.setPen(Pen(Accent, 1.6));
  for (const auto& [x, y, dx, dy] :
       {std::tuple{1.5, 1.5, 1, 1}, {18.5, 1.5, -1, 1}, {1.5, 18.5, 1, -1}, {18.5, 18.5, -1, -1}}) {
    p.drawLine(QPointF(x, y), QPointF(x + 4 * dx, y));
    p.drawLine(QPointF(x, y), QPointF(x, y + 4 * dy));
  }
  Magnifier(p, QPointF(8.5, 8.5), 4.2);
}

// A magnifier over a selected shape.
void ZoomObject(QPainter& p) {
  p.setPen(Pen(Accent, 1.2));
  p.setBrush(AccentLight);
  p.drawRect(QRectF(2.5, 2.5, 8, 7));
  Magnifier(p, QPointF(9, 9), 5);
  p.setPen(Pen(Accent, 1.3));
  p.drawLine(QPointF(7, 9), QPointF(11, 9));
  p.drawLine(QPointF(9, 7), QPointF(9, 11));
}

void Delete(QPainter& p) {
  p.setPen(Pen(Warm, 2.8));
  p.drawLine(QPointF(5, 5), QPointF(15, 15));
  p.drawLine(QPointF(15, 5), QPointF(5, 15));
}

void Help(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(Accent);
  p.drawEllipse(QPointF(10, 10), 8, 8);
  QFont font;
  font.setPixelSize(13);
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRectF(0, 0, 20, 20), Qt::AlignCenter, QStringLiteral("?"));
}

void Wireframe(QPainter& p) {
  p.setPen(Pen(Ink, 1.3));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(2.5, 7.5, 9, 9));
  p.drawEllipse(QPointF(12.5, 7.5), 5, 5);
}

// One outline each way.
void Orientation(QPainter& p) {
  p.setBrush(Qt::NoBrush);
  p.setPen(Pen(QColor(0x20, 0x40, 0xe0), 1.6));
  p.drawArc(QRectF(2.5, 2.5, 15, 15), 30 * 16, 150 * 16);
  p.setPen(Pen(QColor(0xe0, 0x30, 0x20), 1.6));
  p.drawArc(QRectF(2.5, 2.5, 15, 15), 210 * 16, 150 * 16);
  p.setPen(Pen(QColor(0x20, 0x40, 0xe0), 1.6));
  p.drawLine(QPointF(3.2, 7.5), QPointF(2.2, 4.2));
  p.drawLine(QPointF(3.2, 7.5), QPointF(6.2, 6.0));
  p.setPen(Pen(QColor(0xe0, 0x30, 0x20), 1.6));
  p.drawLine(QPointF(16.8, 12.5), QPointF(17.8, 15.8));
  p.drawLine(QPointF(16.8, 12.5), QPointF(13.8, 14.0));
}

void Solid(QPainter& p) {
  p.setPen(Pen(Ink, 1.1));
  p.setBrush(Fill);
  p.drawRect(QRectF(2.5, 7.5, 9, 9));
  p.setBrush(Warm);
  p.drawEllipse(QPointF(12.5, 7.5), 5, 5);
}

void BreakApart(QPainter& p) {
  p.setPen(Pen(Ink, 1.1));
  p.setBrush(Fill);
  p.drawRect(QRectF(2, 3, 7, 14));
  p.drawRect(QRectF(11, 3, 7, 14));
  p.setPen(Pen(Warm, 1.4));
  p.drawLine(QPointF(10, 1), QPointF(10, 19));
}

// A waste bin.
void Purge(QPainter& p) {
  p.setPen(Pen(Ink, 1.3));
  p.setBrush(QColor(0xe4, 0xe8, 0xee));
  p.drawRect(QRectF(5, 6, 10, 11));
  p.drawLine(QPointF(3.5, 5), QPointF(16.5, 5));
  p.drawLine(QPointF(8, 3), QPointF(12, 3));
  p.drawLine(QPointF(8.5, 8.5), QPointF(8.5, 14.5));
  p.drawLine(QPointF(11.5, 8.5), QPointF(11.5, 14.5));
}

// Two lists and a swap.
void ToggleList(QPainter& p) {
  p.setPen(Pen(Ink, 1.1));
  p.setBrush(QColor(0xf4, 0xf6, 0xfa));
  p.drawRect(QRectF(1.5, 2.5, 7, 15));
  p.drawRect(QRectF(11.5, 2.5, 7, 15));
  for (qreal y : {6.0, 9.5, 13.0}) {
    p.drawLine(QPointF(3, y), QPointF(7, y));
    p.drawLine(QPointF(13, y), QPointF(17, y));
  }
  p.setPen(Pen(Accent, 1.8));
  p.drawLine(QPointF(6, 10), QPointF(14, 10));
  p.drawLine(QPointF(14, 10), QPointF(11.5, 7.5));
  p.drawLine(QPointF(14, 10), QPointF(11.5, 12.5));
}

// An outline with the fill struck out.
void Clear(QPainter& p) {
  p.setPen(Pen(Ink, 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawPath(Blob());
  p.setPen(Pen(Warm, 1.6));
  p.drawLine(QPointF(3, 17), QPointF(17, 3));
}

void Flag(QPainter& p) {
  p.setPen(Pen(Ink, 1.6));
  p.drawLine(QPointF(5, 2.5), QPointF(5, 18));
  p.setPen(Qt::NoPen);
  p.setBrush(Warm);
  QPainterPath flag;
  flag.moveTo(5.8, 3);
  flag.lineTo(16, 6.5);
  flag.lineTo(5.8, 10);
  flag.closeSubpath();
  p.drawPath(flag);
}

// A magnifier over a dotted rectangle.
void ZoomArea(QPainter& p) {
  QPen dotted(Ink, 1.0, Qt::DotLine);
  p.setPen(dotted);
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(1.5, 1.5, 12, 10));
  Magnifier(p, QPointF(10, 10), 4.2);
}

// A circular arrow.
void RepaintAll(QPainter& p) {
  p.setPen(Pen(Accent, 2.0));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(3.5, 3.5, 13, 13), 60 * 16, 280 * 16);
  p.drawLine(QPointF(13.8, 4.4), QPointF(13.6, 0.8));
  p.drawLine(QPointF(13.8, 4.4), QPointF(17.2, 5.2));
}

// A picture of an image list: its index and its drawing.
struct Picture {
  int Index;
  void (*Draw)(QPainter&);
};

constexpr Picture TreePictures[] = {
    {0, Folder},
    {1, Composite},
    {3, [](QPainter& p) { OpenPath(p, 1.6); }},
    {4, [](QPainter& p) { ClosedPath(p, 1.6); }},
    {5, OpenFilledPath},
    {6, [](QPainter& p) { FilledPath(p, 1.2); }},
};

constexpr Picture ToolPictures[] = {
    {0, ZoomAll},
    {1, ZoomObject},
    {2, ZoomObject},
    {5, Delete},
    {7, Help},
    {8, [](QPainter& p) { OpenPath(p, 1.7); }},     // open paths
    {9, [](QPainter& p) { ClosedPath(p, 1.7); }},   // closed paths / no fill
    {10, [](QPainter& p) { FilledPath(p, 1.3); }},  // solid fill
    {11, Wireframe},
    {12, Orientation},
    {13, Solid},
    {14, BreakApart},
    {15, Purge},
    {17, ToggleList},
    {18, [](QPainter& p) { Arrow(p, false); }},     // down
    {19, [](QPainter& p) { Arrow(p, true); }},      // up
    {20, [](QPainter& p) { FilledPath(p, 1.3); }},  // closed and filled
    {21, Clear},
    {22, [](QPainter& p) { OpenPath(p, 1.7); }},  // open selected
    {23, Flag},
    {25, ZoomArea},
    {26, RepaintAll},
};

template <std::size_t N>
QIcon PictureOf(const Picture (&pictures)[N], int index) {
  for (const Picture& picture : pictures)
    if (picture.Index == index) return Make(picture.Draw);
  return {};
}

}  // namespace

QIcon TreeImage(int index) {
  return PictureOf(TreePictures, index);
}

QIcon ToolImage(int index) {
  return PictureOf(ToolPictures, index);
}

std::vector<IconShape> ProgramIconShapes() {
  std::vector<IconShape> shapes;
  // The sheet.
  QPainterPath sheet;
  sheet.addRoundedRect(QRectF(9, 3, 46, 58), 5, 5);
  shapes.push_back({sheet, QColor(0xf4, 0xf6, 0xfa), Ink, 2.5});
  // The closed filled path of the tree, at 2.4 times its size, with a hole.
  QPainterPath outline = QTransform(2.4, 0, 0, 2.4, 6, 4).map(Blob());
  outline.addEllipse(QPointF(30, 30), 6, 6);
  outline.setFillRule(Qt::OddEvenFill);
  shapes.push_back({outline, Fill, Fill.darker(140), 2.0});
  // The import arrow on a round badge.
  QPainterPath badge;
  badge.addEllipse(QPointF(44, 47), 13, 13);
  shapes.push_back({badge, Accent, Qt::white, 2.5});
  QPainterPath arrow;
  arrow.moveTo(44, 39);
  arrow.lineTo(44, 54);
  arrow.moveTo(38.5, 48.5);
  arrow.lineTo(44, 54);
  arrow.lineTo(49.5, 48.5);
  shapes.push_back({arrow, QColor(), Qt::white, 3.5});
  return shapes;
}

QImage DrawIcon(const std::vector<IconShape>& shapes, int units, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(qreal(size) / units, qreal(size) / units);
  for (const IconShape& shape : shapes) {
    if (shape.Stroke.isValid())
      p.setPen(QPen(shape.Stroke, shape.StrokeWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    else
      p.setPen(Qt::NoPen);
    p.setBrush(shape.Fill.isValid() ? QBrush(shape.Fill) : QBrush(Qt::NoBrush));
    p.drawPath(shape.Path);
  }
  return image;
}

namespace {

// A coordinate with at most three decimals and no trailing zeros.
std::string SvgNumber(qreal value) {
  const long long thousandths = std::llround(value * 1000);
  std::string text = std::to_string(thousandths / 1000);
  if (thousandths < 0 && thousandths > -1000) text = "-0";
  long long fraction = std::llabs(thousandths % 1000);
  if (fraction != 0) {
    std::string digits = std::to_string(fraction);
    digits.insert(0, 3 - digits.size(), '0');
    while (digits.back() == '0')
      digits.pop_back();
    text += "." + digits;
  }
  return text;
}

std::string SvgPoint(const QPointF& point) {
  return SvgNumber(point.x()) + " " + SvgNumber(point.y());
}

// The path as SVG path data. A sub-path that ends where it starts is closed with "Z", as
// QPainter joins such ends.
std::string SvgPathData(const QPainterPath& path) {
  std::string data;
  QPointF start;
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPainterPath::Element e = path.elementAt(i);
    if (!data.empty()) data += ' ';
    // Appended piece by piece: a literal added to a temporary string makes GCC 12 warn
    // (-Wrestrict) in an optimised build about a copy that cannot happen.
    if (e.isMoveTo()) {
      start = e;
      data += 'M';
      data += SvgPoint(e);
    } else if (e.isLineTo()) {
      data += 'L';
      data += SvgPoint(e);
    } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
      data += 'C';
      data += SvgPoint(e);
      data += ' ';
      data += SvgPoint(path.elementAt(i + 1));
      data += ' ';
      data += SvgPoint(path.elementAt(i + 2));
      i += 2;
    }
    const bool last = i + 1 == path.elementCount() || path.elementAt(i + 1).isMoveTo();
    if (last && !e.isMoveTo() && QPointF(path.elementAt(i)) == start) data += " Z";
  }
  return data;
}

std::string SvgColour(const QColor& colour) {
  return colour.isValid() ? colour.name(QColor::HexRgb).toStdString() : "none";
}

}  // namespace

std::string IconSvg(const std::vector<IconShape>& shapes, int units) {
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << units << "\" height=\"" << units
      << "\" viewBox=\"0 0 " << units << ' ' << units << "\">\n";
  for (const IconShape& shape : shapes) {
    out << "  <path d=\"" << SvgPathData(shape.Path) << "\" fill=\"" << SvgColour(shape.Fill)
        << "\" fill-rule=\"" << (shape.Path.fillRule() == Qt::OddEvenFill ? "evenodd" : "nonzero")
        << "\" stroke=\"" << SvgColour(shape.Stroke) << '"';
    if (shape.Stroke.isValid())
      out << " stroke-width=\"" << SvgNumber(shape.StrokeWidth)
          << "\" stroke-linecap=\"round\" stroke-linejoin=\"round\"";
    out << "/>\n";
  }
  out << "</svg>\n";
  return out.str();
}

QIcon ProgramIcon() {
  QIcon icon;
  const std::vector<IconShape> shapes = ProgramIconShapes();
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addPixmap(QPixmap::fromImage(DrawIcon(shapes, ProgramIconUnits, size)));
  return icon;
}

}  // namespace aiimport
