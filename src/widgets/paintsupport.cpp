#include "paintsupport.h"

#include <QPainter>

namespace aiimport {

TSystemRgb SystemRgbTable(const QPalette& palette) {
  TSystemRgb table{};
  for (int i = 0; i < SystemCellCount; ++i)
    table[size_t(i)] = FromQColor(SystemColor(i, palette));
  return table;
}

QChar AcceleratorChar(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != u'&') continue;
    if (text[i + 1] != u'&') return text[i + 1];
    ++i;  // "&&" stands for one "&"
  }
  return QChar();
}

QColor ButtonFace(const QPalette& p) {
  return p.color(QPalette::Button);
}
QColor ButtonHighlight(const QPalette& p) {
  return p.color(QPalette::Light);
}
QColor ButtonShadow(const QPalette& p) {
  return p.color(QPalette::Dark);
}
QColor ThreeDLight(const QPalette& p) {
  return p.color(QPalette::Midlight);
}
QColor ThreeDDarkShadow(const QPalette& p) {
  return p.color(QPalette::Shadow);
}

void FillRect(QPainter& p, const TRect& r, const QColor& color) {
  if (!r.IsEmpty()) p.fillRect(ToQRect(r), color);
}

namespace {

void DrawBorder(QPainter& p, const TRect& r, const QColor& lit, const QColor& dark,
                unsigned sides) {
  if (r.IsEmpty()) return;
  if (sides & SideTop) FillRect(p, {r.Left, r.Top, r.Right - 1, r.Top + 1}, lit);
  if (sides & SideLeft) FillRect(p, {r.Left, r.Top, r.Left + 1, r.Bottom - 1}, lit);
  if (sides & SideBottom) FillRect(p, {r.Left, r.Bottom - 1, r.Right, r.Bottom}, dark);
  if (sides & SideRight) FillRect(p, {r.Right - 1, r.Top, r.Right, r.Bottom}, dark);
}

}  // namespace

void DrawEdge(QPainter& p, const TRect& r, unsigned borders, const QPalette& palette,
              unsigned sides) {
  TRect inner = r;
  auto shrink = [&] {
    if (sides & SideLeft) ++inner.Left;
    if (sides & SideTop) ++inner.Top;
    if (sides & SideRight) --inner.Right;
    if (sides & SideBottom) --inner.Bottom;
  };
  if (borders & RaisedOuter) {
    DrawBorder(p, inner, ThreeDLight(palette), ThreeDDarkShadow(palette), sides);
    shrink();
  } else if (borders & SunkenOuter) {
    DrawBorder(p, inner, ButtonShadow(palette), ButtonHighlight(palette), sides);
    shrink();
  }
  if (borders & RaisedInner) {
    DrawBorder(p, inner, ButtonHighlight(palette), ButtonShadow(palette), sides);
  } else if (borders & SunkenInner) {
    DrawBorder(p, inner, ThreeDDarkShadow(palette), ThreeDLight(palette), sides);
  }
}

void FrameRect(QPainter& p, const TRect& r, const QColor& color) {
  if (r.IsEmpty()) return;
  FillRect(p, {r.Left, r.Top, r.Right, r.Top + 1}, color);
  FillRect(p, {r.Left, r.Bottom - 1, r.Right, r.Bottom}, color);
  FillRect(p, {r.Left, r.Top, r.Left + 1, r.Bottom}, color);
  FillRect(p, {r.Right - 1, r.Top, r.Right, r.Bottom}, color);
}

void OutlinedRect(QPainter& p, const TRect& r, const QColor& outline, const QColor& fill) {
  FrameRect(p, r, outline);
  FillRect(p, r.Inflated(-1, -1), fill);
}

}  // namespace aiimport
