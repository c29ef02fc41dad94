#include "colorpickerlogic.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "numeric.h"

namespace aiimport {

namespace {

// cos 30 = sqrt(3) / 2 and sin 30 = 1 / 2, as exactly as the type holds them.

long double Cos30() {
  return std::sqrt(3.0L) / 2;
}
long double Sin30() {
  return 0.5L;
}

// A colour component 0..1 as a byte: 255 * c rounded half to even, kept within 0..255.
int ComponentByte(float c) {
  return std::clamp(RoundSaturated(255.0L * c), 0, 255);
}

}  // namespace

const std::array<TNamedColor, StandardCellCount> StandardColors = {{
    {0x000000, "Black"},
    {0x003399, "Brown"},
    {0x003333, "Olive Green"},
    {0x003300, "Dark Green"},
    {0x663300, "Dark Teal"},
    {0x800000, "Dark blue"},
    {0x993333, "Indigo"},
    {0x333333, "Gray-80%"},
    {0x000080, "Dark Red"},
    {0x0066FF, "Orange"},
    {0x008080, "Dark Yellow"},
    {0x008000, "Green"},
    {0x808000, "Teal"},
    {0xFF0000, "Blue"},
    {0x996666, "Blue-Gray"},
    {0x808080, "Gray-50%"},
    {0x0000FF, "Red"},
    {0x0099FF, "Light Orange"},
    {0x00CC99, "Lime"},
    {0x669933, "Sea Green"},
    {0xCCCC33, "Aqua"},
    {0xFF6633, "Light Blue"},
    {0x800080, "Violet"},
    {0x969696, "Grey-40%"},
    {0xFF00FF, "Pink"},
    {0x00CCFF, "Gold"},
    {0x00FFFF, "Yellow"},
    {0x00FF00, "Bright Green"},
    {0xFFFF00, "Turquoise"},
    {0xFFCC00, "Sky Blue"},
    {0x663399, "Plum"},
    {0xC0C0C0, "Gray-25%"},
    {0xCC99FF, "Rose"},
    {0x99CCFF, "Tan"},
    {0x99FFFF, "Light Yellow"},
    {0xCCFFCC, "Light Green"},
    {0xFFFFCC, "Light Turquoise"},
    {0xFFCC99, "Pale Blue"},
    {0xFF99CC, "Lavender"},
    {0xFFFFFF, "White"},
}};

const std::array<std::string_view, SystemCellCount> SystemColorNames = {
    "system color: scroll bar",
    "system color: background",
    "system color: active caption",
    "system color: inactive caption",
    "system color: menu",
    "system color: window",
    "system color: window frame",
    "system color: menu text",
    "system color: window text",
    "system color: caption text",
    "system color: active border",
    "system color: inactive border",
    "system color: application workspace",
    "system color: highlight",
    "system color: highlight text",
    "system color: button face",
    "system color: button shadow",
    "system color: gray text",
    "system color: button text",
    "system color: inactive caption text",
    "system color: button highlight",
    "system color: 3D dark shadow",
    "system color: 3D light",
    "system color: info text",
    "system color: info background",
};

TColor CellColor(int cell) {
  if (cell >= 0 && cell < StandardCellCount) return StandardColors[size_t(cell)].Color;
  if (cell >= FirstSystemCell && cell < FirstSystemCell + SystemCellCount)
    return SystemColorValue(cell - FirstSystemCell);
  return 0;
}

std::string_view CellName(int cell) {
  if (cell >= 0 && cell < StandardCellCount) return StandardColors[size_t(cell)].Name;
  if (cell >= FirstSystemCell && cell < FirstSystemCell + SystemCellCount)
    return SystemColorNames[size_t(cell - FirstSystemCell)];
  return {};
}

TColor ColorToRgb(TColor color, const TSystemRgb& systemRgb) {
  if (!IsSystemColorValue(color)) return color;
  const int index = SystemColorIndex(color);
  return index < SystemCellCount ? systemRgb[size_t(index)] : 0;
}

// ---- Popup layout ----

TPopupLayout ComputePopupLayout(const TPopupMetrics& m) {
  TPopupLayout l;
  l.Edge = m.Edge;
  l.Spacing = std::max(0, m.Spacing);
  l.HasDefault = m.HasDefault;
  l.HasCustom = m.HasCustom;
  l.ShowSystemColors = m.ShowSystemColors;
  l.Rows = StandardCellCount / l.Columns + (StandardCellCount % l.Columns ? 1 : 0);
  l.SystemRows = SystemCellCount / l.Columns + (SystemCellCount % l.Columns ? 1 : 0);

  const int e = l.Edge, sp = l.Spacing, cell = l.CellSize;
  int tw = 0, th = 0;
  if (m.HasDefault || m.HasCustom) {
    tw = m.TextWidth + 2 * e;
    th = m.TextHeight + 4 * e + 2;
  }

  l.Window = {0, 0, cell * l.Columns + 2 * e + 2 * sp, l.Rows * cell + 4 * e};
  l.Radius = l.Columns * cell * 7 / 16;
  l.CombSize = RoundSaturated(static_cast<long double>(l.Radius) / (l.Levels - 1) + 0.5L);

  if (m.HasDefault) {
    l.Window.Right = std::max(l.Window.Right, tw);
    const int w = l.Window.Width() - 2 * e;
    l.DefaultButton = {e + sp, 2 * e, e + w - sp, 2 * e + th};
    l.Window.Bottom += th + 2 * e;
  }
  if (m.ShowSystemColors) l.Window.Bottom += l.SystemRows * cell + 2 * e;
  if (m.HasCustom) {
    l.Window.Right = std::max(l.Window.Right, tw);
    const int w = l.Window.Width() - 2 * e;
    const int top = l.Window.Bottom;
    l.CustomButton = {e + sp, top, e + w - sp, top + th};
    l.Sample = TRect{0, 0, cell, cell}
                   .Inflated(-(e + 1), -(e + 1))
                   .Moved(l.CustomButton.Right - cell - e, top + (th - (cell - e - 1) - e - 1) / 2);
    l.Window.Bottom += th + 2 * e;
  }

  const int r = l.Radius, s = l.CombSize;
  l.CombArea = {e + sp, l.Window.Bottom, e + sp + 2 * r, l.Window.Bottom + 2 * r};
  l.GreyArea = {l.CombArea.Left, l.CombArea.Bottom - 4,
                RoundSaturated(Cos30() * s * 17 / 2) + 6 * s, l.CombArea.Bottom + 2 * s};
  l.IntensityBar = {l.CombArea.Right, l.CombArea.Top + s, l.CombArea.Right + 20,
                    l.CombArea.Bottom - s};
  return l;
}

int PopupHeight(const TPopupLayout& l, int selectedCell) {
  return selectedCell == CellCustom ? 2 * l.Edge + l.GreyArea.Bottom : l.Window.Height();
}

TRect CellRect(const TPopupLayout& l, int cell) {
  const int column = cell % l.Columns, row = cell / l.Columns;
  int x = column * l.CellSize + l.Edge + l.Spacing;
  int y = row * l.CellSize + 2 * l.Edge;
  if (l.HasDefault) y += l.DefaultButton.Bottom - 2 * l.Edge;
  if (cell >= FirstSystemCell) y += 3 * l.Edge;
  return {x, y, x + l.CellSize, y + l.CellSize};
}

int CellFromRowColumn(const TPopupLayout& l, int row, int column) {
  if ((row == CellCustom || column == CellCustom) && l.HasCustom) return CellCustom;
  if ((row == CellDefault || column == CellDefault) && l.HasDefault) return CellDefault;
  if (column < 0 || column >= l.Columns || row < 0) return CellNone;
  if (row < l.Rows) {
    const int cell = row * l.Columns + column;
    if (cell < StandardCellCount) return cell;
  }
  if (l.ShowSystemColors && row >= l.Rows && row - l.Rows < l.SystemRows) {
    const int index = (row - l.Rows) * l.Columns + column;
    if (index < SystemCellCount) return FirstSystemCell + index;
  }
  return CellNone;
}

int CellFromPoint(const TPopupLayout& l, int x, int y) {
  if (l.HasCustom && l.CustomButton.Contains(x, y)) return CellCustom;
  if (l.HasDefault && l.DefaultButton.Contains(x, y)) return CellDefault;
  if (l.HasDefault) y -= l.DefaultButton.Height();
  if (x <= l.Spacing) return CellNone;
  y -= 5 * l.Edge / 2;
  if (y < 0) return CellNone;
  if (l.ShowSystemColors && y / l.CellSize >= l.Rows) {
    y -= 3 * l.Edge;
    if (y / l.CellSize < l.Rows) return CellNone;  // the gap before the system cells
  }
  return CellFromRowColumn(l, y / l.CellSize, (x - l.Spacing) / l.CellSize);
}

int LastCell(const TPopupLayout& l) {
  return l.ShowSystemColors ? FirstSystemCell + SystemCellCount - 1 : StandardCellCount - 1;
}

int MoveCell(const TPopupLayout& l, int from, TArrowKey key) {
  const int last = LastCell(l);
  const int columns = l.Columns;
  // Before the first cell come the default button, the custom button, or the last cell; after
  // the last cell the custom button, the default button, or the first cell.
  const int beforeFirst = l.HasDefault ? CellDefault : l.HasCustom ? CellCustom : last;
  const int afterLast = l.HasCustom ? CellCustom : l.HasDefault ? CellDefault : 0;
  if (from > last) from = last;
  switch (key) {
    case TArrowKey::Left:
      if (from == CellDefault) return l.HasCustom ? CellCustom : last;
      if (from == CellCustom || from < 0) return last;
      return from == 0 ? beforeFirst : from - 1;
    case TArrowKey::Up:
      if (from == CellDefault) return l.HasCustom ? CellCustom : last;
      if (from == CellCustom || from < 0) return last;
      return from < columns ? beforeFirst : from - columns;
    case TArrowKey::Right:
      if (from == CellCustom) return l.HasDefault ? CellDefault : 0;
      if (from < 0) return 0;
      return from >= last ? afterLast : from + 1;
    case TArrowKey::Down:
      if (from == CellCustom) return l.HasDefault ? CellDefault : 0;
      if (from < 0) return 0;
      return from + columns > last ? afterLast : from + columns;
  }
  return from;
}

// ---- The custom section ----

TCombArray BuildColorCombs(int radius, int levels, float centreRed, float centreGreen,
                           float centreBlue) {
  struct Rgb {
    float R, G, B;
  };
  static constexpr std::array<Rgb, 6> corner = {{
      {1, 0, 1},  // magenta, to the right
      {1, 0, 0},  // red, lower right
      {1, 1, 0},  // yellow, lower left
      {0, 1, 0},  // green, left
      {0, 1, 1},  // cyan, upper left
      {0, 0, 1},  // blue, upper right
  }};
  const Rgb centre{centreRed, centreGreen, centreBlue};
  auto color = [](float r, float g, float b) {
    return PackRgb(ComponentByte(r), ComponentByte(g), ComponentByte(b));
  };

  TCombArray combs;
  if (levels < 1) return combs;
  combs.reserve(size_t(1 + 3 * levels * (levels - 1)));
  combs.push_back({0, 0, color(centre.R, centre.G, centre.B)});
  if (levels < 2) return combs;

  // Corner s of the outer ring lies at angle a = (90 - 60 s) degrees, x from the sine and y
  // from the cosine (y grows downwards): d = R cos 30 (sin a, cos a) with R cos 30 half the
  // span. The y parts are exactly 0 or +-3/4 R, and they are kept exact, so that a position
  // that is a true half (4/6 of 47.25 = 31.5 for R 63) is rounded to even and not by the
  // noise of cos 30 squared.
  const long double c = Cos30();
  static constexpr std::array<int, 6> ySign = {0, 1, 1, 0, -1, -1};
  static constexpr std::array<long double, 6> xPart = {1, 0.5L, -0.5L, -1, -0.5L, 0.5L};
  std::array<long double, 6> dx{}, dy{};
  for (size_t s = 0; s < 6; ++s) {
    dx[s] = radius * c * xPart[s];
    dy[s] = ySign[s] * (0.75L * radius);
  }

  // Side s of ring n runs from n/(L-1) of corner s towards n/(L-1) of corner s + 1 in n equal
  // steps. The positions advance in extended precision and are rounded when stored; the
  // colours advance in single precision.
  for (int s = 0; s < 6; ++s) {
    const size_t a = size_t(s), b = size_t((s + 1) % 6);
    for (int n = 1; n < levels; ++n) {
      long double x = n * dx[a] / (levels - 1), y = n * dy[a] / (levels - 1);
      const long double stepX = (n * dx[b] / (levels - 1) - x) / n;
      const long double stepY = (n * dy[b] / (levels - 1) - y) / n;

      const float fc = float(n) / float(levels - 1);
      float r = centre.R + fc * (corner[a].R - centre.R);
      float g = centre.G + fc * (corner[a].G - centre.G);
      float bl = centre.B + fc * (corner[a].B - centre.B);
      const float endR = centre.R + fc * (corner[b].R - centre.R);
      const float endG = centre.G + fc * (corner[b].G - centre.G);
      const float endB = centre.B + fc * (corner[b].B - centre.B);
      const float stepR = (endR - r) / float(n), stepG = (endG - g) / float(n),
                  stepB = (endB - bl) / float(n);

      for (int k = 0; k < n; ++k) {
        combs.push_back({RoundSaturated(x), RoundSaturated(y), color(r, g, bl)});
        x += stepX;
        y += stepY;
        r += stepR;
        g += stepG;
        bl += stepB;
      }
    }
  }
  return combs;
}

TCombArray BuildGrayCombs(int combSize) {
  const int s = combSize;
  const int stepX = RoundSaturated(s * Cos30() / 2);
  const int zig = RoundSaturated((Sin30() + 1) * s / 2);
  TCombArray combs;
  combs.reserve(17);
  combs.push_back({s, s, PackRgb(255, 255, 255)});
  for (int i = 1; i <= 15; ++i) {
    const int grey = (16 - i) * 15;
    const int x = 3 * s + (i - 1) * stepX;
    const int y = (s / 4) * 3 + ((i - 1) % 2 ? zig : 0);
    combs.push_back({x, y, PackRgb(grey, grey, grey)});
  }
  combs.push_back({RoundSaturated(16.0L * stepX + 3 * s + s), s, PackRgb(0, 0, 0)});
  return combs;
}

std::array<TPoint, 6> HexagonVertices(int cx, int cy, int size) {
  // Vertices at 90, 30, -30, -90, -150 and -210 degrees: (cos a, sin a) taken exactly.
  const long double c = Cos30();
  const std::array<std::pair<long double, long double>, 6> unit = {
      {{0, 1}, {c, 0.5L}, {c, -0.5L}, {0, -1}, {-c, -0.5L}, {-c, 0.5L}}};
  std::array<TPoint, 6> v{};
  for (size_t i = 0; i < 6; ++i)
    v[i] = {RoundSaturated(cx + 0.5L * size * unit[i].first),
            RoundSaturated(cy + 0.5L * size * unit[i].second)};
  return v;
}

namespace {

bool WithinRadius(long long dx, long long dy, long long radius) {
  return dx * dx + dy * dy <= radius * radius;
}

}  // namespace

int ColorCombAt(const TPopupLayout& l, const TCombArray& combs, int x, int y) {
  const long long px = x - (l.CombArea.Left + l.Radius), py = y - (l.CombArea.Top + l.Radius);
  for (size_t i = 0; i < combs.size(); ++i)
    if (WithinRadius(px - combs[i].X, py - combs[i].Y, l.CombSize / 2)) return int(i);
  return -1;
}

int GrayCombAt(const TPopupLayout& l, const TCombArray& combs, int x, int y) {
  const long long px = x - l.GreyArea.Left, py = y - l.GreyArea.Top;
  for (size_t i = 0; i < combs.size(); ++i) {
    const bool end = i == 0 || i + 1 == combs.size();
    const int radius = end ? l.CombSize : l.CombSize / 2;
    if (WithinRadius(px - combs[i].X, py - combs[i].Y, radius)) return int(i);
  }
  return -1;
}

float IntensityAt(const TPopupLayout& l, int y) {
  const TRect& bar = l.IntensityBar;
  if (bar.Height() <= 0) return 1.0f;
  const long double v = 1.0L - static_cast<long double>(y - bar.Top) / bar.Height();
  return static_cast<float>(std::clamp(v, 0.0L, 1.0L));
}

int IntensityMarkerY(const TPopupLayout& l, float intensity) {
  const int n = l.IntensityBar.Height() - 1;
  return l.IntensityBar.Top + RoundSaturated((1.0L - intensity) * n);
}

int IntensityBarGrey(int n, int k) {
  if (n <= 0) return 255;
  return std::clamp(RoundSaturated(static_cast<long double>(n - k) * 255 / n), 0, 255);
}

int IntensityPercent(float intensity) {
  return RoundSaturated(static_cast<long double>(intensity) * 100);
}

// ---- The cell for a colour ----

TCellChoice CellForColor(TColor color, const TPopupLayout& l, const TSystemRgb& systemRgb,
                         const TCombArray& grayCombs, const TCombArray& colorCombs,
                         int previousChoice) {
  if (color == NoColorValue) return {CellNone, previousChoice};
  if (color == DefaultColorValue) return {CellDefault, previousChoice};
  if (l.ShowSystemColors && IsSystemColorValue(color) && SystemColorIndex(color) < SystemCellCount)
    return {FirstSystemCell + SystemColorIndex(color), previousChoice};

  const TColor rgb = ColorToRgb(color, systemRgb);
  for (int i = 0; i < StandardCellCount; ++i)
    if (ColorToRgb(StandardColors[size_t(i)].Color, systemRgb) == rgb) return {i, previousChoice};
  if (l.ShowSystemColors && color >= 0)
    for (int i = 0; i < SystemCellCount; ++i)
      if (systemRgb[size_t(i)] == color) return {FirstSystemCell + i, previousChoice};

  // Not a named colour: look in the custom section, greys first. Without a custom button
  // there is no custom section to open.
  if (l.HasCustom) {
    for (size_t k = 0; k < grayCombs.size(); ++k)
      if (grayCombs[k].Color == color) return {CellCustom, -int(k + 1)};
    for (size_t k = 0; k < colorCombs.size(); ++k)
      if (colorCombs[k].Color == color) return {CellCustom, int(k + 1)};
  }
  return {CellNone, 0};
}

TColor CustomChoiceColor(int choice, const TCombArray& grayCombs, const TCombArray& colorCombs) {
  if (choice > 0 && size_t(choice) <= colorCombs.size())
    return colorCombs[size_t(choice - 1)].Color;
  if (choice < 0 && size_t(-(long long)choice) <= grayCombs.size())
    return grayCombs[size_t(-(long long)choice - 1)].Color;
  return 0;
}

// ---- Popup placement ----

TPoint PlacePopup(const TRect& button, int width, int height, const TRect& screen) {
  TPoint p{button.Left - 1, button.Bottom};
  if (p.Y + height > screen.Bottom) {
    p.Y = screen.Bottom - height;
    if (p.Y < button.Top) p.Y = button.Top - height;
  }
  if (p.X + width > screen.Right) p.X = std::max(screen.Right - width, screen.Left);
  return p;
}

// ---- The button's face ----

namespace {

// The margin before the glyph and the spacing between glyph and caption along the layout's
// axis, where `room` is the face's extent: -1 for either spreads them evenly.
struct FaceGaps {
  int Margin = 0, Spacing = 0;
};

FaceGaps ResolveGaps(int margin, int spacing, int room, int glyphExtent, int textExtent) {
  if (margin == -1) {
    if (spacing == -1) {
      margin = (room - (glyphExtent + textExtent)) / 3;
      spacing = margin;
    } else {
      margin = (room - (glyphExtent + spacing + textExtent) + 1) / 2;
    }
  } else if (spacing == -1) {
    spacing = (room - (margin + glyphExtent) - textExtent) / 2;
  }
  return {margin, spacing};
}

// The colour indicator beside the glyph (the face without a caption), on the side away from it.
TRect IndicatorBesideGlyph(TButtonLayout layout, const TRect& g, const TRect& area) {
  switch (layout) {
    case TButtonLayout::blGlyphLeft:
      return {g.Right + 4, g.Top, area.Right, g.Bottom};
    case TButtonLayout::blGlyphRight:
      return {area.Left, g.Top, g.Left - 4, g.Bottom};
    case TButtonLayout::blGlyphTop:
      return {g.Left, g.Bottom + 4, g.Right, area.Bottom};
    case TButtonLayout::blGlyphBottom:
      return {g.Left, area.Top, g.Right, g.Top - 4};
  }
  return area;
}

}  // namespace

TFaceLayout ComputeFaceLayout(const TFaceInput& in) {
  TFaceLayout out;
  const TRect& c = in.Client;
  // Glyph and caption share the face left of the drop-down zone.
  const TRect face{c.Left, c.Top, c.Right - in.DropDownWidth, c.Bottom};
  const int cw = face.Width(), ch = face.Height();
  const bool hasGlyph = in.GlyphWidth > 0 && in.GlyphHeight > 0;
  const bool hasText = in.TextWidth > 0 || in.TextHeight > 0;
  const int gw = hasGlyph ? in.GlyphWidth : 0, gh = hasGlyph ? in.GlyphHeight : 0;
  const int tw = hasText ? in.TextWidth : 0, th = hasText ? in.TextHeight : 0;
  const bool horizontal =
      in.Layout == TButtonLayout::blGlyphLeft || in.Layout == TButtonLayout::blGlyphRight;

  // Centred across the layout's axis; along it, glyph and caption in the layout's order.
  TPoint glyphPos, textPos;
  if (horizontal) {
    glyphPos.Y = (ch - gh + 1) / 2;
    textPos.Y = (ch - th + 1) / 2;
  } else {
    glyphPos.X = (cw - gw + 1) / 2;
    textPos.X = (cw - tw + 1) / 2;
  }
  const int room = horizontal ? cw : ch, glyphExtent = horizontal ? gw : gh,
            textExtent = horizontal ? tw : th;
  const FaceGaps gaps =
      ResolveGaps(in.Margin, hasGlyph && hasText ? in.Spacing : 0, room, glyphExtent, textExtent);
  int& glyphAlong = horizontal ? glyphPos.X : glyphPos.Y;
  int& textAlong = horizontal ? textPos.X : textPos.Y;
  if (in.Layout == TButtonLayout::blGlyphLeft || in.Layout == TButtonLayout::blGlyphTop) {
    glyphAlong = gaps.Margin;
    textAlong = glyphAlong + glyphExtent + gaps.Spacing;
  } else {
    glyphAlong = room - gaps.Margin - glyphExtent;
    textAlong = glyphAlong - gaps.Spacing - textExtent;
  }
  const int ox = face.Left + in.Offset, oy = face.Top + in.Offset;
  if (hasGlyph)
    out.Glyph = {glyphPos.X + ox, glyphPos.Y + oy, glyphPos.X + ox + gw, glyphPos.Y + oy + gh};
  if (hasText)
    out.Text = {textPos.X + ox, textPos.Y + oy, textPos.X + ox + tw, textPos.Y + oy + th};

  if (hasText) {
    // A bar under the caption, as wide as the text.
    TRect bar{out.Text.Left, out.Text.Bottom, out.Text.Right, out.Text.Bottom + 6};
    if (bar.Bottom > c.Bottom - 2) bar = bar.Moved(0, (c.Bottom - 2) - bar.Bottom);
    out.Indicator = bar;
  } else {
    const TRect area{c.Left + 2, c.Top + 2, c.Right - (in.DropDownWidth + 2) - 2, c.Bottom - 2};
    out.Indicator = hasGlyph ? IndicatorBesideGlyph(in.Layout, out.Glyph, area) : area;
  }
  return out;
}

TRect DropDownZone(int width, int height, int dropDownWidth) {
  return {width - dropDownWidth, 0, width, height};
}

TPoint ArrowOrigin(int width, int height, int dropDownWidth) {
  return {width - dropDownWidth + (dropDownWidth + 5) / 2 - 6, height / 2};
}

TDivider DividerLines(int width, int height, int dropDownWidth, bool pressed) {
  if (pressed) return {width - dropDownWidth + 1, 2, height - 2};
  return {width - dropDownWidth, 1, height - 1};
}

}  // namespace aiimport
