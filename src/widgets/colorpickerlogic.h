// The geometry and the rules of the colour picker button and its drop-down colour chooser, as
// plain functions: the popup's layout, its cells and their hit test, the arrow-key moves, the
// honeycomb of mixed colours and the row of greys, the intensity bar, the cell chosen for a
// colour, the popup's place on the screen, and the layout of the button's face. No Qt here:
// the widgets in colorpopup.h and colorpickerbutton.h paint and handle events around these, and
// the tests call them without showing anything.
//
// Rectangles follow the platform's convention: Right and Bottom are exclusive.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "colour.h"

namespace aiimport {

// Colour values with a meaning of their own when the popup looks for the cell of a colour.
inline constexpr TColor NoColorValue = 0x1FFFFFFF;       // selects no cell
inline constexpr TColor DefaultColorValue = 0x20000000;  // selects the default button

struct TPoint {
  int X = 0, Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr bool Contains(int x, int y) const {
    return x >= Left && x < Right && y >= Top && y < Bottom;
  }
  // Grown by dx, dy on every side (negative values shrink it).
  constexpr TRect Inflated(int dx, int dy) const {
    return {Left - dx, Top - dy, Right + dx, Bottom + dy};
  }
  constexpr TRect Moved(int dx, int dy) const {
    return {Left + dx, Top + dy, Right + dx, Bottom + dy};
  }
  friend bool operator==(const TRect&, const TRect&) = default;
};

// ---- Cells and their colours ----

inline constexpr int StandardCellCount = 40;              // cells 0..39
inline constexpr int SystemCellCount = SystemColorCount;  // cells 40..64: system colours 0..24
inline constexpr int FirstSystemCell = StandardCellCount;
inline constexpr int CellNone = -1;
inline constexpr int CellCustom = -2;   // the custom button
inline constexpr int CellDefault = -3;  // the default button

struct TNamedColor {
  TColor Color;
  std::string_view Name;  // the cell's hint
};

extern const std::array<TNamedColor, StandardCellCount> StandardColors;
extern const std::array<std::string_view, SystemCellCount> SystemColorNames;

// The colour value of cell 0..64 (a system cell gives 0x80000000 + its system colour index),
// and its name. Other cells give 0 and an empty name.
TColor CellColor(int cell);
std::string_view CellName(int cell);

// The red-green-blue value of a colour: itself when not negative, else the system colour of
// index value & 0xFF taken from systemRgb (0 for an index past the table).
using TSystemRgb = std::array<TColor, SystemCellCount>;
TColor ColorToRgb(TColor color, const TSystemRgb& systemRgb);

// ---- Popup layout ----

struct TPopupMetrics {
  int Edge = 2;             // the platform's 3-D edge width
  int Spacing = 8;          // the button's PopupSpacing
  bool HasDefault = false;  // DefaultText set
  bool HasCustom = false;   // CustomText set
  bool ShowSystemColors = false;
  // The larger width and height of the two texts in the default GUI font (0 without texts).
  int TextWidth = 0, TextHeight = 0;
};

struct TPopupLayout {
  int Edge = 2, Spacing = 8;
  int CellSize = 18, Columns = 8;
  int Rows = 5, SystemRows = 4;
  int Levels = 7;     // rings of the honeycomb, the centre included
  int Radius = 66;    // honeycomb radius R
  int CombSize = 11;  // comb size S
  bool HasDefault = false, HasCustom = false, ShowSystemColors = false;
  TRect Window;                            // the popup without the custom section
  TRect DefaultButton;                     // empty without DefaultText
  TRect CustomButton;                      // empty without CustomText
  TRect Sample;                            // the colour square inside the custom button
  TRect CombArea, GreyArea, IntensityBar;  // the custom section, below Window
};

TPopupLayout ComputePopupLayout(const TPopupMetrics& metrics);

// The popup's height: the window's, or down to the custom section while it shows (the custom
// cell selected).
int PopupHeight(const TPopupLayout& layout, int selectedCell);

// The cell's square (cells 0..64).
TRect CellRect(const TPopupLayout& layout, int cell);

// The cell at a grid row and column (-2 or -3 in either picks the custom or default button
// when it exists); CellNone outside the grid.
int CellFromRowColumn(const TPopupLayout& layout, int row, int column);

// The cell under a point in popup coordinates: -2, -3, a colour cell or CellNone.
int CellFromPoint(const TPopupLayout& layout, int x, int y);

// The last colour cell: 64 with system colours shown, else 39.
int LastCell(const TPopupLayout& layout);

enum class TArrowKey { Left, Up, Right, Down };

// The cell an arrow key moves to from `from` (CellNone: Right and Down go to the first cell,
// Left and Up to the last).
int MoveCell(const TPopupLayout& layout, int from, TArrowKey key);

// ---- The custom section: honeycomb, greys, intensity bar ----

struct TComb {
  int32_t X = 0, Y = 0;  // centre, relative to the comb area's centre (colour combs) or the grey
                         // area's top-left (grey combs)
  TColor Color = 0;
  friend bool operator==(const TComb&, const TComb&) = default;
};
using TCombArray = std::vector<TComb>;

enum class TTrackMode { None, ColorComb, GrayComb, IntensityBar };

// The colour combs for `levels` rings (1 + 3 * L * (L - 1) entries) on a honeycomb of radius
// `radius`, mixed from the centre colour (components 0..1) towards the six corner colours.
TCombArray BuildColorCombs(int radius, int levels, float centreRed, float centreGreen,
                           float centreBlue);

// The 17 grey combs, white to black, for comb size `combSize`.
TCombArray BuildGrayCombs(int combSize);

// The vertices of a hexagon of size `size` centred at (cx, cy).
std::array<TPoint, 6> HexagonVertices(int cx, int cy, int size);

// The first comb (in array order) under a point in popup coordinates, or -1.
int ColorCombAt(const TPopupLayout& layout, const TCombArray& combs, int x, int y);
int GrayCombAt(const TPopupLayout& layout, const TCombArray& combs, int x, int y);

// The intensity for a pointer at height y over the bar (0..1), the marker's centre line for an
// intensity, and the grey of row k of a bar of n + 1 rows.
float IntensityAt(const TPopupLayout& layout, int y);
int IntensityMarkerY(const TPopupLayout& layout, float intensity);
int IntensityBarGrey(int n, int k);
// The intensity as a whole percentage, for the hint.
int IntensityPercent(float intensity);

// ---- The cell for a colour ----

struct TCellChoice {
  int SelectedCell = CellNone;
  int CustomChoice = 0;  // 0 none, k + 1 colour comb k, -(k + 1) grey comb k
  friend bool operator==(const TCellChoice&, const TCellChoice&) = default;
};

// The cell the popup selects for `color` when it opens or when the button's colour changes
// while it is open. `previousChoice` is kept unless the colour is looked for in the custom
// section.
TCellChoice CellForColor(TColor color, const TPopupLayout& layout, const TSystemRgb& systemRgb,
                         const TCombArray& grayCombs, const TCombArray& colorCombs,
                         int previousChoice);

// The colour of a custom choice (0 when there is none or it is out of range).
TColor CustomChoiceColor(int choice, const TCombArray& grayCombs, const TCombArray& colorCombs);

// ---- Popup placement ----

// The popup's top-left on the screen: under the button's bottom-left corner (one pixel to the
// left), moved up or above the button at the screen's bottom and left at its right edge.
TPoint PlacePopup(const TRect& buttonOnScreen, int width, int height, const TRect& screen);

// ---- The button's face ----

enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum class TIndicatorBorder { ibNone, ibFlat, ibSunken, ibRaised };

struct TFaceInput {
  TRect Client;  // C: the client rectangle after the frame took its pixel(s)
  int DropDownWidth = 15;
  int GlyphWidth = 0, GlyphHeight = 0;  // 0 without a glyph
  int TextWidth = 0, TextHeight = 0;    // 0 without a caption
  TButtonLayout Layout = TButtonLayout::blGlyphLeft;
  int Margin = -1;  // -1: centred
  int Spacing = 4;  // -1: spread evenly
  int Offset = 0;   // 1 while the main face is pressed
};

struct TFaceLayout {
  TRect Glyph;      // empty without a glyph
  TRect Text;       // empty without a caption
  TRect Indicator;  // the colour indicator
};

TFaceLayout ComputeFaceLayout(const TFaceInput& input);

// The drop-down zone: the strip of DropDownWidth at the right of the button.
TRect DropDownZone(int width, int height, int dropDownWidth);

// The arrow's top-left corner (x, y): the triangle is (x, y), (x + 6, y), (x + 3, y + 3).
TPoint ArrowOrigin(int width, int height, int dropDownWidth);

// The divider: the highlight line's x (the shadow line is one to its left) and its rows
// [Top, Bottom).
struct TDivider {
  int HighlightX = 0;
  int Top = 0, Bottom = 0;
};
TDivider DividerLines(int width, int height, int dropDownWidth, bool pressed);

}  // namespace aiimport
