#include "qtcolour.h"

#include <array>
#include <cstddef>

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
constexpr std::array<TSystemColorRole, SystemColorCount> SystemColorRoles = {{
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
  if (index < 0 || index >= SystemColorCount) return QColor(0, 0, 0);
  const TSystemColorRole& r = SystemColorRoles[std::size_t(index)];
  return palette.color(r.Group, r.Role);
}

QColor ToQColor(TColor color, const QPalette& palette) {
  if (IsSystemColorValue(color)) return SystemColor(SystemColorIndex(color), palette);
  return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

TColor FromQColor(const QColor& color) {
  const QColor c = color.toRgb();
  return PackRgb(c.red(), c.green(), c.blue());
}

}  // namespace aiimport
