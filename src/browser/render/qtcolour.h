// Colour values as Qt colours, for everything that paints: the preview, the colour picker and
// the window. A system colour (0x80000000 + n) is the palette's colour of the same meaning.
//
// It lives in browser_render, the project's QtGui-only library: the preview renderer must not
// depend on the widgets, while the widgets may use what comes before them; a library in a
// folder of its own would add a fourth place where Qt is used for one small file.
#pragma once

#include <QColor>
#include <QPalette>

#include "colour.h"

namespace aiimport {

// System colour n (0..24) taken from the palette: the platform's colour of the same meaning
// where Qt has one, else the nearest shade. Black for an n outside the table.
QColor SystemColor(int index, const QPalette& palette);

// A colour value (0x00BBGGRR, or a system colour) as a QColor. Red is the low byte of an
// ordinary value; the high byte of one is ignored.
QColor ToQColor(TColor color, const QPalette& palette);

// A QColor as a colour value 0x00BBGGRR.
TColor FromQColor(const QColor& color);

}  // namespace aiimport
