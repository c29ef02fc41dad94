// The operator interpreter: text lines of an Illustrator or EPS file into paths. It reads one
// line at a time, decides what a line does from its last two characters and its last word, and
// takes the numbers it needs from anywhere in the line. It is not a PostScript interpreter.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "lines.h"
#include "pathsink.h"
#include "pathunit.h"
#include "progress.h"

namespace aiimport {

struct InterpretOptions {
  bool FlipVertical = true;      // "Flip_Vertical" checked: y as read; unchecked: every y negated
  bool ParseEverything = false;  // read from the first line, not only after a start marker
};

// The interpreter's own values. CurrentPoint survives from one reading to the next (a "v" curve
// at the start of a file starts where the last file's last point was); the rest starts afresh.
struct InterpreterState {
  FloatPoint CurrentPoint{};       // the last point written by a point operator, y already flipped
  bool CurrentPathClosed = false;  // "closepath" seen since the last painting operator
};

// Numbers read from one line: at most seven, LastNumberIndex the index of the last one read
// (0 also when none was read).
struct NumberList {
  std::array<float, 7> Numbers{};
  int32_t LastNumberIndex = 0;
};

// Blank clean-up of one line: a line that starts with four "%" reads as one that starts with
// two; leading and trailing blanks are dropped and inner runs of blanks become one blank. Only
// the blank (32) counts. The result views `text` when nothing changes, else `scratch`.
std::string_view TidyLine(std::string_view text, std::string& scratch);

// a and b alike but for the case of the letters A to Z.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Whether a tidied line starts the reading: "%%EndSetup", "%%EndPageSetup" or "CADDDict begin",
// case ignored.
bool IsStartMarkerLine(std::string_view line);

// One number token: "-"? digits ("." digits)? ("e" "-"? digits)?, with at least one digit before
// the exponent, read as the nearest float32 (halves to even). Anything else, and any value that
// is not finite as float32, reads as 0.
float NumberFromToken(std::string_view token);

// The numbers of a line: everything after the last digit is ignored, and each run of number
// characters ("-", ".", "0"-"9", "e") is one token; only the first seven count.
NumberList ParseNumbers(std::string_view text);

// The last word of a line split into words: blanks before a word are skipped; a word that opens
// with a double quote runs to its closing double quote (two double quotes inside stand for one;
// the enclosing quotes are not part of the word; without a closing quote it runs to the end);
// any other word runs up to the next blank or comma; after a word, blanks and at most one comma
// (with the blanks after it) are skipped, and a comma that is the last character of the line
// adds an empty word. Empty when the line has no word or ends with a comma. The result views
// `line` when it can, else `scratch`.
std::string_view LastWord(std::string_view line, std::string& scratch);

// Applies a colour code (" k", " K", "Xa", "XA", "Xx", "XX", " g", " G", " x", " X") to the
// current fill or stroke colour.
void ParseColor(PathSink& sink, std::string_view line, std::string_view code);

// Appends the point of a point code (" m", " l", " L", " c", " C", " v", " V", " y", " Y") to the
// path being collected.
void ParsePoint(PathSink& sink, InterpreterState& state, std::string_view line,
                std::string_view code, float flipFactor);

// The operator processing of one tidied, non-empty line: the word table, then the code tables.
void ProcessOperatorLine(PathSink& sink, InterpreterState& state, std::string_view line,
                         float flipFactor);

// What an interpretation came across, for telling the user why a file gave no paths.
struct InterpretSummary {
  std::size_t OperatorLines = 0;  // lines read for operators (while reading was on)
  bool StartMarker = false;       // a start marker line was seen
};

// Interprets the lines into the sink (a new drawing). Progress: the phase text and bar when the
// progress has a bar, the line counter and the event pump every 100 lines, the abort test
// before every line; an abort leaves nothing of the drawing. With `release`, the interpreter is
// its reader number 0 and reports the lines it has carried out.
InterpretSummary InterpretLines(const LineList& lines, const InterpretOptions& options,
                                InterpreterState& state, PathSink& sink, Progress& progress,
                                TextRelease* release = nullptr);

}  // namespace aiimport
