// The window's pictures, drawn in code: the tree node images (ImageList1) and the tool-bar and
// menu images (ImageList2), each 20 x 20 with a 40 x 40 version for high-density screens.
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPainterPath>
#include <string>
#include <vector>

namespace aiimport {

// Tree node images: 0 group, 1 composite, 3 open path, 4 closed path, 5 open filled path,
// 6 closed filled path. Other indexes give an empty icon.
QIcon TreeImage(int index);

// Tool-bar and menu images by their index: 0 zoom to all, 1 and 2 zoom to object, 5 delete,
// 7 help, 8 open paths, 9 closed paths / no fill, 10 solid fill, 11 wireframe, 12 orientation,
// 13 solid view, 14 break apart, 15 purge, 17 toggle list, 18 down, 19 up, 20 closed and
// filled, 21 clear, 22 open, 23 flag, 25 zoom area, 26 repaint all.
QIcon ToolImage(int index);

// One shape of a picture drawn the same way on screen and in SVG: round caps and joins, the
// path's own fill rule.
struct IconShape {
  QPainterPath Path;
  QColor Fill;    // invalid: not filled
  QColor Stroke;  // invalid: not stroked
  qreal StrokeWidth = 0;
};

// The program's icon, in a square of ProgramIconUnits: a sheet with a filled outline and its
// hole (the closed filled path of the tree) and the import arrow (the tool bar's "down").
inline constexpr int ProgramIconUnits = 64;
std::vector<IconShape> ProgramIconShapes();

// The shapes drawn into a size x size picture with a transparent background.
QImage DrawIcon(const std::vector<IconShape>& shapes, int units, int size);

// The shapes as an SVG document with the view box 0 0 units units.
std::string IconSvg(const std::vector<IconShape>& shapes, int units);

// The program's icon for the window's title bar and task bar, at the usual sizes.
QIcon ProgramIcon();

}  // namespace aiimport
