// The operators of Illustrator's language that the line reader knows, each with what it does:
// the last words of the word table and the two-character codes of the code tables. A line is
// read by its last word first (a word may stand for a code, close the path, set both colours or
// paint), then by its code, its last two characters. The count of what is not imported reads
// the painting operators from the same tables.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "texttable.h"

namespace aiimport {

// What a word does besides choosing the code.
enum class WordAction : uint8_t { None, ClosePath, Colour };

// What a code does (and what a painting word does in its place).
enum class CodeAction : uint8_t {
  None,
  FillWord,    // "f " when the path was closed, else "F "
  StrokeWord,  // "s " when the path was closed, else "S "
  Paint,
  Discard,
  Point,
  PointFromCurrent,  // a "v" curve: its first control point is the current point
  FillColour,
  LineColour,
  GroupBegin,
  GroupEnd,
  CompoundBegin,
  CompoundEnd,
};

// How the numbers of a colour line make the colour.
enum class ColourModel : uint8_t {
  Cmyk,    // at least four numbers: cyan, magenta, yellow, black
  Rgb,     // at least three numbers: red, green, blue; of seven, the last three
  Custom,  // at least four: RGB when the last number rounds to 1, else CMYK
  Grey,    // exactly one: the grey level
};

// Where the numbers of a point code go: the point's Kind, the index of the last number it
// needs, and for each of its three coordinate pairs the index of its x (its y follows), or -1
// for a pair not taken from the numbers.
struct PointShape {
  uint8_t Kind = 0;
  int8_t LastNeeded = 0;
  std::array<int8_t, 3> From{-1, -1, -1};
};

inline constexpr PointShape MovePoint{0, 1, {0, -1, -1}};
inline constexpr PointShape LinePoint{1, 1, {0, -1, -1}};
inline constexpr PointShape CurvePoint{2, 5, {0, 2, 4}};
// "v": the first control point is the current point, filled in when the line is carried out.
inline constexpr PointShape CurveFromCurrent{2, 3, {-1, 0, 2}};
// "y": the second control point is the end point.
inline constexpr PointShape CurveToEnd{2, 3, {0, 2, 2}};

struct WordRow {
  std::string_view Text;
  std::string_view Code{};  // the code the line is read with instead of its own; empty: its own
  WordAction Action = WordAction::None;
  ColourModel Colour = ColourModel::Cmyk;  // WordAction::Colour: of both colours
  CodeAction Paint = CodeAction::None;     // FillWord, StrokeWord: paints, and no code is read
};

// Every word does one thing; words are matched exactly, case and all.
inline constexpr WordRow WordRows[] = {
    {.Text = "mo", .Code = " m"},
    {.Text = "moveto", .Code = " m"},
    {.Text = "li", .Code = " l"},
    {.Text = "lineto", .Code = " l"},
    {.Text = "cv", .Code = " c"},
    {.Text = "curveto", .Code = " c"},
    {.Text = "cp", .Action = WordAction::ClosePath},
    {.Text = "clp", .Action = WordAction::ClosePath},
    {.Text = "closepath", .Action = WordAction::ClosePath},
    {.Text = "cmyk", .Action = WordAction::Colour, .Colour = ColourModel::Cmyk},
    {.Text = "rgb", .Action = WordAction::Colour, .Colour = ColourModel::Rgb},
    {.Text = "setrgbcolor", .Action = WordAction::Colour, .Colour = ColourModel::Rgb},
    {.Text = "ef", .Paint = CodeAction::FillWord},
    {.Text = "eofill", .Paint = CodeAction::FillWord},
    {.Text = "fill", .Paint = CodeAction::FillWord},
    {.Text = "@", .Paint = CodeAction::StrokeWord},
    {.Text = "stroke", .Paint = CodeAction::StrokeWord},
};

struct CodeRow {
  std::string_view Text;  // two characters
  CodeAction Action = CodeAction::None;
  ColourModel Colour = ColourModel::Cmyk;  // FillColour, LineColour
  PointShape Point{};                      // Point, PointFromCurrent
  bool Fills = false;                      // Paint: the path is filled
};

// A line of one character is read as that character and a blank: the lone "n" of an unpainted
// path (typically a clipping outline, whose points must not join the next painted path) and the
// painting and group letters.
inline constexpr CodeRow CodeRows[] = {
    // Colours: " x" and " X" are " k" and " K".
    {.Text = " k", .Action = CodeAction::FillColour, .Colour = ColourModel::Cmyk},
    {.Text = " K", .Action = CodeAction::LineColour, .Colour = ColourModel::Cmyk},
    {.Text = " x", .Action = CodeAction::FillColour, .Colour = ColourModel::Cmyk},
    {.Text = " X", .Action = CodeAction::LineColour, .Colour = ColourModel::Cmyk},
    {.Text = "Xa", .Action = CodeAction::FillColour, .Colour = ColourModel::Rgb},
    {.Text = "XA", .Action = CodeAction::LineColour, .Colour = ColourModel::Rgb},
    {.Text = "Xx", .Action = CodeAction::FillColour, .Colour = ColourModel::Custom},
    {.Text = "XX", .Action = CodeAction::LineColour, .Colour = ColourModel::Custom},
    {.Text = " g", .Action = CodeAction::FillColour, .Colour = ColourModel::Grey},
    {.Text = " G", .Action = CodeAction::LineColour, .Colour = ColourModel::Grey},
    // Points.
    {.Text = " m", .Action = CodeAction::Point, .Point = MovePoint},
    {.Text = " l", .Action = CodeAction::Point, .Point = LinePoint},
    {.Text = " L", .Action = CodeAction::Point, .Point = LinePoint},
    {.Text = " c", .Action = CodeAction::Point, .Point = CurvePoint},
    {.Text = " C", .Action = CodeAction::Point, .Point = CurvePoint},
    {.Text = " v", .Action = CodeAction::PointFromCurrent, .Point = CurveFromCurrent},
    {.Text = " V", .Action = CodeAction::PointFromCurrent, .Point = CurveFromCurrent},
    {.Text = " y", .Action = CodeAction::Point, .Point = CurveToEnd},
    {.Text = " Y", .Action = CodeAction::Point, .Point = CurveToEnd},
    // The points collected are dropped.
    {.Text = ")*", .Action = CodeAction::Discard},
    {.Text = " *", .Action = CodeAction::Discard},
    {.Text = " n", .Action = CodeAction::Discard},
    {.Text = " N", .Action = CodeAction::Discard},
    {.Text = "n ", .Action = CodeAction::Discard},
    {.Text = "N ", .Action = CodeAction::Discard},
    // Painting: the code goes to the sink.
    {.Text = "b ", .Action = CodeAction::Paint, .Fills = true},
    {.Text = "B ", .Action = CodeAction::Paint, .Fills = true},
    {.Text = "f ", .Action = CodeAction::Paint, .Fills = true},
    {.Text = "F ", .Action = CodeAction::Paint, .Fills = true},
    {.Text = "s ", .Action = CodeAction::Paint},
    {.Text = "S ", .Action = CodeAction::Paint},
    {.Text = "q ", .Action = CodeAction::Paint},
    {.Text = "Q ", .Action = CodeAction::Paint},
    // Groups and compound paths.
    {.Text = "u ", .Action = CodeAction::GroupBegin},
    {.Text = "U ", .Action = CodeAction::GroupEnd},
    {.Text = "*u", .Action = CodeAction::CompoundBegin},
    {.Text = "*U", .Action = CodeAction::CompoundEnd},
};

inline constexpr TextTable WordTable(WordRows);
inline constexpr TextTable CodeTable(CodeRows);

// The row of a last word; none when the word is not in the word table.
inline const WordRow* FindWord(std::string_view word) {
  return WordTable.Find(word);
}

// The row of a code (a line's last two characters); none when the code is in no code table.
inline const CodeRow* FindCode(char first, char second) {
  const char code[2] = {first, second};
  return CodeTable.Find(std::string_view(code, 2));
}

}  // namespace aiimport
