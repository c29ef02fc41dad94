// The colour picker's geometry and rules, without any widget. Expected values are worked out
// by hand from the rules: cell 18, 8 columns, edge 2, spacing 8, R 63, S 11.
#include "colorpickerlogic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>

namespace aiimport {
namespace {

TPopupLayout Layout(bool hasDefault, bool hasCustom, bool system, int textWidth = 80,
                    int textHeight = 15) {
  TPopupMetrics m;
  m.HasDefault = hasDefault;
  m.HasCustom = hasCustom;
  m.ShowSystemColors = system;
  if (hasDefault || hasCustom) {
    m.TextWidth = textWidth;
    m.TextHeight = textHeight;
  }
  return ComputePopupLayout(m);
}

TEST(PopupLayout, PlainGrid) {
  const TPopupLayout l = Layout(false, false, false);
  EXPECT_EQ(l.Window, (TRect{0, 0, 164, 98}));
  EXPECT_EQ(l.Radius, 63);
  EXPECT_EQ(l.CombSize, 11);
  EXPECT_TRUE(l.DefaultButton.IsEmpty());
  EXPECT_TRUE(l.CustomButton.IsEmpty());
  // The custom section lies below the window.
  EXPECT_EQ(l.CombArea, (TRect{10, 98, 136, 224}));
  EXPECT_EQ(l.GreyArea, (TRect{10, 220, 147, 246}));
  EXPECT_EQ(l.IntensityBar, (TRect{136, 109, 156, 213}));
  EXPECT_EQ(PopupHeight(l, 5), 98);
  EXPECT_EQ(PopupHeight(l, CellCustom), 250);
}

TEST(PopupLayout, CustomButtonAndSample) {
  // tw = 80 + 4 = 84 (narrower than the grid), th = 15 + 8 + 2 = 25.
  const TPopupLayout l = Layout(false, true, false);
  EXPECT_EQ(l.Window, (TRect{0, 0, 164, 127}));
  EXPECT_EQ(l.CustomButton, (TRect{10, 98, 154, 123}));
  // (3, 3, 15, 15) moved by (154 - 18 - 2, 98 + (25 - 15 - 2 - 1) / 2), integer division.
  EXPECT_EQ(l.Sample, (TRect{137, 104, 149, 116}));
  EXPECT_EQ(l.CombArea.Top, 127);
}

TEST(PopupLayout, DefaultSystemAndCustomWithWideText) {
  // tw = 204 widens the window; th = 25.
  const TPopupLayout l = Layout(true, true, true, 200, 15);
  EXPECT_EQ(l.Window.Width(), 204);
  EXPECT_EQ(l.DefaultButton, (TRect{10, 4, 194, 29}));
  // 98 + 25 + 4 (default) + 4 * 18 + 4 (system) = 203.
  EXPECT_EQ(l.CustomButton, (TRect{10, 203, 194, 228}));
  EXPECT_EQ(l.Window.Bottom, 232);
  EXPECT_EQ(l.CombArea, (TRect{10, 232, 136, 358}));
}

TEST(PopupCells, Rectangles) {
  const TPopupLayout plain = Layout(false, false, false);
  EXPECT_EQ(CellRect(plain, 0), (TRect{10, 4, 28, 22}));
  EXPECT_EQ(CellRect(plain, 13), (TRect{100, 22, 118, 40}));
  const TPopupLayout all = Layout(true, true, true, 200, 15);
  EXPECT_EQ(CellRect(all, 0), (TRect{10, 29, 28, 47}));  // below the default button
  EXPECT_EQ(CellRect(all, 39), (TRect{136, 101, 154, 119}));
  EXPECT_EQ(CellRect(all, 40), (TRect{10, 125, 28, 143}));  // 3 x edge lower
  EXPECT_EQ(CellRect(all, 64), (TRect{10, 179, 28, 197}));
}

TEST(PopupCells, FromRowAndColumn) {
  const TPopupLayout plain = Layout(false, false, false);
  const TPopupLayout all = Layout(true, true, true);
  EXPECT_EQ(CellFromRowColumn(plain, 4, 7), 39);
  EXPECT_EQ(CellFromRowColumn(plain, 5, 0), CellNone);
  EXPECT_EQ(CellFromRowColumn(plain, 0, 8), CellNone);
  EXPECT_EQ(CellFromRowColumn(plain, -2, 0), CellNone);  // no custom button
  EXPECT_EQ(CellFromRowColumn(all, -2, 0), CellCustom);
  EXPECT_EQ(CellFromRowColumn(all, 0, -3), CellDefault);
  EXPECT_EQ(CellFromRowColumn(all, 5, 0), 40);
  EXPECT_EQ(CellFromRowColumn(all, 8, 0), 64);
  EXPECT_EQ(CellFromRowColumn(all, 8, 1), CellNone);  // past the 25 system cells
}

TEST(PopupCells, FromPoint) {
  const TPopupLayout plain = Layout(false, false, false);
  EXPECT_EQ(CellFromPoint(plain, 10, 9), 0);
  EXPECT_EQ(CellFromPoint(plain, 8, 20), CellNone);  // x <= spacing
  EXPECT_EQ(CellFromPoint(plain, 9, 20), 0);
  EXPECT_EQ(CellFromPoint(plain, 100, 4), CellNone);  // above the first row
  EXPECT_EQ(CellFromPoint(plain, 143, 30), 15);
  EXPECT_EQ(CellFromPoint(plain, 153, 30), CellNone);  // column 8
  EXPECT_EQ(CellFromPoint(plain, 50, 94), 34);
  EXPECT_EQ(CellFromPoint(plain, 50, 95), CellNone);  // no system cells

  const TPopupLayout system = Layout(false, false, true);
  EXPECT_EQ(CellFromPoint(system, 50, 95), CellNone);  // the gap before the system cells
  EXPECT_EQ(CellFromPoint(system, 50, 100), CellNone);
  EXPECT_EQ(CellFromPoint(system, 50, 101), 42);
  EXPECT_EQ(CellFromPoint(system, 10, 155), 64);
  EXPECT_EQ(CellFromPoint(system, 30, 155), CellNone);

  const TPopupLayout all = Layout(true, true, false);
  EXPECT_EQ(CellFromPoint(all, 20, 10), CellDefault);
  EXPECT_EQ(CellFromPoint(all, 20, 35), 0);  // y less the default button's 25
  EXPECT_EQ(CellFromPoint(all, 20, all.CustomButton.Top + 5), CellCustom);
}

TEST(PopupKeys, ArrowMoves) {
  const TPopupLayout custom = Layout(false, true, false);
  EXPECT_EQ(MoveCell(custom, 39, TArrowKey::Right), CellCustom);
  EXPECT_EQ(MoveCell(custom, CellCustom, TArrowKey::Down), 0);
  EXPECT_EQ(MoveCell(custom, 7, TArrowKey::Right), 8);  // wraps to the next row
  EXPECT_EQ(MoveCell(custom, 8, TArrowKey::Left), 7);   // to the end of the row above
  EXPECT_EQ(MoveCell(custom, 0, TArrowKey::Left), CellCustom);
  EXPECT_EQ(MoveCell(custom, 3, TArrowKey::Up), CellCustom);
  EXPECT_EQ(MoveCell(custom, 12, TArrowKey::Up), 4);
  EXPECT_EQ(MoveCell(custom, 35, TArrowKey::Down), CellCustom);
  EXPECT_EQ(MoveCell(custom, CellCustom, TArrowKey::Left), 39);
  EXPECT_EQ(MoveCell(custom, CellNone, TArrowKey::Right), 0);
  EXPECT_EQ(MoveCell(custom, CellNone, TArrowKey::Left), 39);

  const TPopupLayout plain = Layout(false, false, false);
  EXPECT_EQ(MoveCell(plain, 0, TArrowKey::Left), 39);
  EXPECT_EQ(MoveCell(plain, 39, TArrowKey::Right), 0);
  EXPECT_EQ(MoveCell(plain, 33, TArrowKey::Down), 0);

  const TPopupLayout all = Layout(true, true, true);
  EXPECT_EQ(MoveCell(all, 0, TArrowKey::Left), CellDefault);
  EXPECT_EQ(MoveCell(all, CellDefault, TArrowKey::Left), CellCustom);
  EXPECT_EQ(MoveCell(all, CellDefault, TArrowKey::Up), CellCustom);
  EXPECT_EQ(MoveCell(all, CellDefault, TArrowKey::Right), 0);
  EXPECT_EQ(MoveCell(all, CellDefault, TArrowKey::Down), 0);
  EXPECT_EQ(MoveCell(all, CellCustom, TArrowKey::Right), CellDefault);
  EXPECT_EQ(MoveCell(all, CellCustom, TArrowKey::Down), CellDefault);
  EXPECT_EQ(MoveCell(all, CellCustom, TArrowKey::Up), 64);
  EXPECT_EQ(MoveCell(all, 35, TArrowKey::Down), 43);  // into the system rows
  EXPECT_EQ(MoveCell(all, 56, TArrowKey::Down), 64);
  EXPECT_EQ(MoveCell(all, 57, TArrowKey::Down), CellCustom);  // no cell below
  EXPECT_EQ(MoveCell(all, 64, TArrowKey::Right), CellCustom);

  const TPopupLayout defaultOnly = Layout(true, false, false);
  EXPECT_EQ(MoveCell(defaultOnly, CellDefault, TArrowKey::Left), 39);
  EXPECT_EQ(MoveCell(defaultOnly, 39, TArrowKey::Right), CellDefault);
}

TEST(Honeycomb, ColorCombPositionsAndColours) {
  const TCombArray combs = BuildColorCombs(63, 7, 1, 1, 1);
  ASSERT_EQ(combs.size(), 127u);
  EXPECT_EQ(combs[0], (TComb{0, 0, 0xFFFFFF}));
  // Side 0 (towards magenta on the right, then red at the lower right), ring 1: one comb at
  // 1/6 of the corner (54.56 / 6 = 9.09), green 1 - 1/6 -> 212.49999 rounds to 212.
  EXPECT_EQ(combs[1], (TComb{9, 0, PackRgb(255, 212, 255)}));
  // Ring 6 of side 0 starts at index 1 + 1 + 2 + 3 + 4 + 5 = 16, in the corner colour.
  EXPECT_EQ(combs[16], (TComb{55, 0, PackRgb(255, 0, 255)}));
  // Halfway along that side: (40.92, 23.625); blue 1 - 3 * (1/6) in single-precision steps is
  // 0.49999994, so 127 (the exact 127.5 would give 128).
  EXPECT_EQ(combs[19], (TComb{41, 24, PackRgb(255, 0, 127)}));
  // The last comb: ring 6 of side 5 (blue at the upper right towards magenta), k = 5, at
  // (27.28 + 5/6 * 27.28, -47.25 + 5/6 * 47.25) = (50.01, -7.875); red 5 steps of 1/6 in single
  // precision is 0.83333337, so 213.
  EXPECT_EQ(combs[126], (TComb{50, -8, PackRgb(213, 0, 255)}));

  // Side 1 (red at the lower right towards yellow at the lower left), ring 4, k = 0: y is
  // 4/6 of 47.25 = 31.5 exactly, a half, rounded to even; ring 4 of side 4 mirrors it.
  EXPECT_EQ(combs[28], (TComb{18, 32, combs[28].Color}));
  EXPECT_EQ(combs[91].Y, -32);

  // Every position against the direct formula start + k/n * (end - start), worked out here:
  // corner s at R cos 30 (sin a, cos a), a = 90 - 60 s, whose y is 0 or +-47.25 exactly; every
  // y is then a multiple of 7.875 and exact, x never near a half.
  const long double half = 63 * std::sqrt(3.0L) / 2;
  const std::array<long double, 6> cornerX = {half,  half / 2,  -half / 2,
                                              -half, -half / 2, half / 2};
  const std::array<long double, 6> cornerY = {0, 47.25L, 47.25L, 0, -47.25L, -47.25L};
  size_t index = 1;
  std::set<std::pair<int, int>> seen{{0, 0}};
  for (size_t side = 0; side < 6; ++side) {
    const size_t next = (side + 1) % 6;
    for (int n = 1; n <= 6; ++n) {
      for (int k = 0; k < n; ++k, ++index) {
        const long double sx = cornerX[side] * n / 6, sy = cornerY[side] * n / 6;
        const long double ex = cornerX[next] * n / 6, ey = cornerY[next] * n / 6;
        const long double x = sx + k * (ex - sx) / n, y = sy + k * (ey - sy) / n;
        ASSERT_EQ(combs[index].X, std::lround(x)) << index;
        // Halves to even (the default rounding mode of nearbyint).
        ASSERT_EQ(combs[index].Y, static_cast<long>(std::nearbyint(y))) << index;
        EXPECT_TRUE(seen.insert({combs[index].X, combs[index].Y}).second) << index;
      }
    }
  }
}

TEST(Honeycomb, IntensityDarkensTheCentreOnly) {
  const TCombArray combs = BuildColorCombs(63, 7, 0.5f, 0.5f, 0.5f);
  EXPECT_EQ(combs[0].Color, PackRgb(128, 128, 128));  // 127.5 rounds to even
  EXPECT_EQ(combs[16].Color, PackRgb(255, 0, 255));   // the corners keep their colours
}

TEST(Honeycomb, GreyCombs) {
  const TCombArray greys = BuildGrayCombs(11);
  ASSERT_EQ(greys.size(), 17u);
  EXPECT_EQ(greys[0], (TComb{11, 11, 0xFFFFFF}));
  EXPECT_EQ(greys[1], (TComb{33, 6, PackRgb(225, 225, 225)}));
  EXPECT_EQ(greys[2], (TComb{38, 14, PackRgb(210, 210, 210)}));
  EXPECT_EQ(greys[15], (TComb{103, 6, PackRgb(15, 15, 15)}));
  EXPECT_EQ(greys[16], (TComb{124, 11, 0}));
}

TEST(Honeycomb, HexagonVerticesRoundHalvesToEven) {
  // Half of size 11 is 5.5: 10 + 5.5 -> 16 and 10 - 5.5 -> 4, but 11 + 5.5 -> 16, 11 - 5.5 -> 6.
  const std::array<TPoint, 6> even = HexagonVertices(10, 10, 11);
  const std::array<TPoint, 6> expectEven = {
      {{10, 16}, {15, 13}, {15, 7}, {10, 4}, {5, 7}, {5, 13}}};
  EXPECT_EQ(even, expectEven);
  const std::array<TPoint, 6> odd = HexagonVertices(11, 11, 11);
  EXPECT_EQ(odd[0], (TPoint{11, 16}));
  EXPECT_EQ(odd[3], (TPoint{11, 6}));
}

TEST(Honeycomb, HitTestsTakeTheFirstCombInArrayOrder) {
  const TPopupLayout l = Layout(false, false, false);
  const TCombArray combs = BuildColorCombs(l.Radius, l.Levels, 1, 1, 1);
  const int cx = 10 + 63, cy = 98 + 63;  // the comb area's centre
  EXPECT_EQ(ColorCombAt(l, combs, cx, cy), 0);
  EXPECT_EQ(ColorCombAt(l, combs, cx + 5, cy), 0);  // comb 1 at (9, 0) is nearer but later
  EXPECT_EQ(ColorCombAt(l, combs, cx + 6, cy), 1);
  EXPECT_EQ(ColorCombAt(l, combs, cx + 55, cy), 16);
  EXPECT_EQ(ColorCombAt(l, combs, cx, cy + 6), -1);  // between the first ring's combs
  EXPECT_EQ(ColorCombAt(l, combs, cx + 70, cy), -1);

  const TCombArray greys = BuildGrayCombs(l.CombSize);
  const int gx = 10, gy = 220;                           // the grey area's top-left
  EXPECT_EQ(GrayCombAt(l, greys, gx + 22, gy + 11), 0);  // the end combs reach S = 11
  EXPECT_EQ(GrayCombAt(l, greys, gx + 35, gy + 10), 1);  // also within 5 of comb 2
  EXPECT_EQ(GrayCombAt(l, greys, gx + 38, gy + 19), 2);
  EXPECT_EQ(GrayCombAt(l, greys, gx + 135, gy + 11), 16);
  EXPECT_EQ(GrayCombAt(l, greys, gx + 60, gy + 24), -1);
}

TEST(IntensityBar, PointerAndMarker) {
  const TPopupLayout l = Layout(false, false, false);  // bar rows 109..212
  EXPECT_EQ(IntensityAt(l, 109), 1.0f);
  EXPECT_EQ(IntensityAt(l, 161), 0.5f);
  EXPECT_EQ(IntensityAt(l, 213), 0.0f);
  EXPECT_EQ(IntensityAt(l, 400), 0.0f);
  EXPECT_EQ(IntensityAt(l, 0), 1.0f);
  EXPECT_EQ(IntensityMarkerY(l, 1.0f), 109);
  EXPECT_EQ(IntensityMarkerY(l, 0.5f), 161);  // 109 + 51.5 rounded half to even (52)
  EXPECT_EQ(IntensityMarkerY(l, 0.0f), 212);
  EXPECT_EQ(IntensityBarGrey(103, 0), 255);
  EXPECT_EQ(IntensityBarGrey(103, 50), 131);  // 53 * 255 / 103 = 131.2
  EXPECT_EQ(IntensityBarGrey(103, 103), 0);
}

TEST(CellForColor, StandardSystemCustomAndNone) {
  const TPopupLayout custom = Layout(false, true, false);
  const TPopupLayout system = Layout(false, true, true);
  const TPopupLayout noCustom = Layout(false, false, false);
  TSystemRgb rgb{};
  for (int i = 0; i < SystemCellCount; ++i)
    rgb[size_t(i)] = PackRgb(i, 2 * i, 3 * i + 1);
  rgb[15] = 0xFFFFFF;  // button face as white
  const TCombArray greys = BuildGrayCombs(11);
  const TCombArray combs = BuildColorCombs(63, 7, 1, 1, 1);

  // A standard cell; the custom choice stays as it was.
  EXPECT_EQ(CellForColor(0xFF0000, custom, rgb, greys, combs, 7), (TCellChoice{13, 7}));
  EXPECT_EQ(CellForColor(NoColorValue, custom, rgb, greys, combs, 7), (TCellChoice{CellNone, 7}));
  EXPECT_EQ(CellForColor(DefaultColorValue, custom, rgb, greys, combs, 7),
            (TCellChoice{CellDefault, 7}));
  // A system colour: its own cell when the system cells show, else whatever it resolves to.
  EXPECT_EQ(CellForColor(SystemColorValue(15), system, rgb, greys, combs, 0), (TCellChoice{55, 0}));
  EXPECT_EQ(CellForColor(SystemColorValue(15), custom, rgb, greys, combs, 0),
            (TCellChoice{39, 0}));  // white
  EXPECT_EQ(CellForColor(rgb[3], system, rgb, greys, combs, 0), (TCellChoice{43, 0}));
  // Honeycomb and grey colours open the custom section with that comb chosen.
  EXPECT_EQ(CellForColor(PackRgb(255, 0, 127), custom, rgb, greys, combs, 0),
            (TCellChoice{CellCustom, 20}));
  EXPECT_EQ(CellForColor(PackRgb(225, 225, 225), custom, rgb, greys, combs, 0),
            (TCellChoice{CellCustom, -2}));
  // Found nowhere, or no custom section: nothing selected and the choice cleared.
  EXPECT_EQ(CellForColor(0x123457, custom, rgb, greys, combs, 7), (TCellChoice{CellNone, 0}));
  EXPECT_EQ(CellForColor(PackRgb(255, 0, 127), noCustom, rgb, greys, combs, 7),
            (TCellChoice{CellNone, 0}));
  EXPECT_EQ(CustomChoiceColor(20, greys, combs), PackRgb(255, 0, 127));
  EXPECT_EQ(CustomChoiceColor(-17, greys, combs), 0);
  EXPECT_EQ(CustomChoiceColor(0, greys, combs), 0);
}

TEST(PopupPlacement, ScreenEdges) {
  const TRect screen{0, 0, 1920, 1080};
  EXPECT_EQ(PlacePopup({100, 50, 145, 76}, 164, 98, screen), (TPoint{99, 76}));
  // At the bottom: moved up, and above the button when that would still cover its top.
  EXPECT_EQ(PlacePopup({100, 1000, 145, 1026}, 164, 98, screen), (TPoint{99, 902}));
  EXPECT_EQ(PlacePopup({100, 10, 145, 36}, 164, 80, TRect{0, 0, 1920, 100}), (TPoint{99, 20}));
  // At the right edge: moved left, never past the screen's left.
  EXPECT_EQ(PlacePopup({1900, 50, 1945, 76}, 164, 98, screen), (TPoint{1756, 76}));
  EXPECT_EQ(PlacePopup({10, 50, 55, 76}, 164, 98, TRect{0, 0, 100, 1080}), (TPoint{0, 76}));
}

TEST(ButtonFace, IndicatorArrowAndDivider) {
  // csel1: 45 x 26, flat (the face is the client less 1 pixel), no caption or glyph.
  TFaceInput in;
  in.Client = {1, 1, 44, 25};
  EXPECT_EQ(ComputeFaceLayout(in).Indicator, (TRect{3, 3, 25, 23}));
  EXPECT_EQ(ArrowOrigin(45, 26, 15), (TPoint{34, 13}));
  EXPECT_EQ(DropDownZone(45, 26, 15), (TRect{30, 0, 45, 26}));
  const TDivider up = DividerLines(45, 26, 15, false);
  EXPECT_EQ(up.HighlightX, 30);
  EXPECT_EQ(up.Top, 1);
  EXPECT_EQ(up.Bottom, 25);
  const TDivider pressed = DividerLines(45, 26, 15, true);
  EXPECT_EQ(pressed.HighlightX, 31);
  EXPECT_EQ(pressed.Top, 2);
  EXPECT_EQ(pressed.Bottom, 24);

  // A caption 20 x 13 centred in the face left of the zone (28 x 24), the bar under it lifted
  // to end 2 pixels above the face's bottom.
  in.TextWidth = 20;
  in.TextHeight = 13;
  const TFaceLayout captioned = ComputeFaceLayout(in);
  EXPECT_EQ(captioned.Text, (TRect{5, 7, 25, 20}));
  EXPECT_EQ(captioned.Indicator, (TRect{5, 17, 25, 23}));

  // Glyph on top of the caption, pressed: margin (49 - 33 + 1) / 2 = 8 (integer division),
  // spacing 4.
  TFaceInput top;
  top.Client = {1, 1, 60, 50};
  top.GlyphWidth = top.GlyphHeight = 16;
  top.TextWidth = 20;
  top.TextHeight = 13;
  top.Layout = TButtonLayout::blGlyphTop;
  top.Offset = 1;
  const TFaceLayout stacked = ComputeFaceLayout(top);
  EXPECT_EQ(stacked.Glyph, (TRect{16, 10, 32, 26}));
  EXPECT_EQ(stacked.Text, (TRect{14, 30, 34, 43}));
  EXPECT_EQ(stacked.Indicator, (TRect{14, 42, 34, 48}));

  // A glyph at margin 2 without a caption: the indicator beside it, 4 pixels away.
  TFaceInput glyph;
  glyph.Client = {1, 1, 44, 25};
  glyph.GlyphWidth = glyph.GlyphHeight = 16;
  glyph.Margin = 2;
  const TFaceLayout beside = ComputeFaceLayout(glyph);
  EXPECT_EQ(beside.Glyph, (TRect{3, 5, 19, 21}));
  EXPECT_EQ(beside.Indicator, (TRect{23, 5, 25, 21}));
}

}  // namespace
}  // namespace aiimport
