#include "paintsupport.h"

#include <QPainter>

namespace aiimport {

namespace {

struct TSystemColorRole {
  QPalette::ColorGroup Group;
  QPalette::ColorRole Role;
};

// System colour n of the platform and the palette colour that stands for it. Qt has no
// scroll bar, desktop, caption or border colours of its own; those take the palette shade the
// platform gives them on its default scheme (the caption bars the selection colours, the
// borders and the workspace the mid and dark greys).
constexpr std::array<TSystemColorRole, SystemCellCount> SystemColorRoles = {{
    {QPalette::Active, QPalette::Mid},              // 0 scroll bar
    {QPalette::Active, QPalette::Shadow},           // 1 background (desktop)
    {QPalette::Active, QPalette::Highlight},        // 2 active caption
    {QPalette::Inactive, QPalette::Mid},            // 3 inactive caption
    {QPalette::Active, QPalette::Window},           // 4 menu
    {QPalette::Active, QPalette::Base},             // 5 window
    {QPalette::Active, QPalette::WindowText},       // 6 window frame
    {QPalette::Active, QPalette::WindowText},       // 7 menu text
    {QPalette::Active, QPalette::Text},             // 8 window text
    {QPalette::Active, QPalette::HighlightedText},  // 9 caption text
    {QPalette::Active, QPalette::Midlight},         // 10 active border
    {QPalette::Inactive, QPalette::Midlight},       // 11 inactive border
    {QPalette::Active, QPalette::Dark},             // 12 application workspace
    {QPalette::Active, QPalette::Highlight},        // 13 highlight
    {QPalette::Active, QPalette::HighlightedText},  // 14 highlight text
    {QPalette::Active, QPalette::Button},           // 15 button face
    {QPalette::Active, QPalette::Dark},             // 16 button shadow
    {QPalette::Disabled, QPalette::Text},           // 17 gray text
    {QPalette::Active, QPalette::ButtonText},       // 18 button text
    {QPalette::Inactive, QPalette::WindowText},     // 19 inactive caption text
    {QPalette::Active, QPalette::Light},            // 20 button highlight
    {QPalette::Active, QPalette::Shadow},           // 21 3-D dark shadow
    {QPalette::Active, QPalette::Midlight},         // 22 3-D light
    {QPalette::Active, QPalette::ToolTipText},      // 23 info text
    {QPalette::Active, QPalette::ToolTipBase},      // 24 info background
}};

}  // namespace

QColor SystemColor(int index, const QPalette& palette) {
  if (index < 0 || index >= SystemCellCount) return QColor(0, 0, 0);
  const TSystemColorRole& r = SystemColorRoles[size_t(index)];
  return palette.color(r.Group, r.Role);
}

TSystemRgb SystemRgbTable(const QPalette& palette) {
  TSystemRgb table{};
  for (int i = 0; i < SystemCellCount; ++i)
    table[size_t(i)] = FromQColor(SystemColor(i, palette));
  return table;
}

QColor ToQColor(TColor color, const QPalette& palette) {
  if (IsSystemColorValue(color)) return SystemColor(SystemColorIndex(color), palette);
  return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

TColor FromQColor(const QColor& color) {
  const QColor c = color.toRgb();
  return PackRgb(c.red(), c.green(), c.blue());
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
