// The Qt side of the colour picker's look: the system colours' table (colour values become
// QColors through qtcolour.h), and the platform's 3-D edges (raised, sunken, etched) drawn with
// the palette's shades.
#pragma once

#include <QColor>
#include <QPalette>
#include <QRect>
#include <QString>

#include "colorpickerlogic.h"
#include "qtcolour.h"

class QPainter;

namespace aiimport {

// The red-green-blue values of the 25 system colours (SystemColor of qtcolour.h).
TSystemRgb SystemRgbTable(const QPalette& palette);

// The accelerator character of a caption: the one after a single "&" ("&&" is a plain "&");
// a null QChar when there is none.
QChar AcceleratorChar(const QString& text);

inline QRect ToQRect(const TRect& r) {
  return QRect(r.Left, r.Top, r.Width(), r.Height());
}

// The 3-D shades, as the platform names them.
QColor ButtonFace(const QPalette& palette);        // button face
QColor ButtonHighlight(const QPalette& palette);   // button highlight (the lit side)
QColor ButtonShadow(const QPalette& palette);      // button shadow
QColor ThreeDLight(const QPalette& palette);       // 3-D light
QColor ThreeDDarkShadow(const QPalette& palette);  // 3-D dark shadow

// The borders of an edge. An edge 2 pixels wide has an outer and an inner border; a thin edge
// has one.
enum TEdgeBorder : unsigned {
  RaisedOuter = 1,
  SunkenOuter = 2,
  RaisedInner = 4,
  SunkenInner = 8,
  EdgeRaised = RaisedOuter | RaisedInner,
  EdgeSunken = SunkenOuter | SunkenInner,
  EdgeEtched = SunkenOuter | RaisedInner,
};
enum TEdgeSides : unsigned {
  SideLeft = 1,
  SideTop = 2,
  SideRight = 4,
  SideBottom = 8,
  SidesAll = 15,
};

// Draws the edge inside r: the lit colour on the top and left, the dark one on the bottom and
// right (which take the two corners they share with the lit sides), outer border first.
void DrawEdge(QPainter& p, const TRect& r, unsigned borders, const QPalette& palette,
              unsigned sides = SidesAll);

void FillRect(QPainter& p, const TRect& r, const QColor& color);

// A 1-pixel frame just inside r.
void FrameRect(QPainter& p, const TRect& r, const QColor& color);

// A 1-pixel outline in `outline` just inside r, filled inside with `fill`.
void OutlinedRect(QPainter& p, const TRect& r, const QColor& outline, const QColor& fill);

}  // namespace aiimport
