// The operator interpreter: text lines of an Illustrator or EPS file into paths. It reads one
// line at a time, decides what a line does from its last two characters and its last word, and
// takes the numbers it needs from anywhere in the line. It is not a PostScript interpreter.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "lines.h"
#include "pathunit.h"
#include "progress.h"

namespace aiimport {

struct InterpretOptions {
  bool FlipVertical = true;      // "Flip_Vertical" checked: y as read; unchecked: every y negated
  bool ParseEverything = false;  // read from the first line, not only after a start marker
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

// One number token: "-"? digits ("." digits)? ("e" "-"? digits)?, with at least one digit before
// the exponent, read as the nearest float32 (halves to even). Anything else, and any value that
// is not finite as float32, reads as 0.
float NumberFromToken(std::string_view token);

// The numbers of a line: everything after the last digit is ignored, and each run of number
// characters ("-", ".", "0"-"9", "e") is one token; only the first seven count.
NumberList ParseNumbers(std::string_view text);

// Applies a colour code (" k", " K", "Xa", "XA", "Xx", "XX", " g", " G", " x", " X") to the
// current fill or stroke colour.
void ParseColor(PathStore& store, std::string_view line, std::string_view code);

// Appends the point of a point code (" m", " l", " L", " c", " C", " v", " V", " y", " Y") to
// CurrentPath.
void ParsePoint(PathStore& store, std::string_view line, std::string_view code, float flipFactor);

// The operator processing of one tidied, non-empty line: the word table, then the code tables.
void ProcessOperatorLine(PathStore& store, std::string_view line, float flipFactor);

// Interprets the lines into store.PathList. Progress: the phase text and bar when the progress
// has a bar, the line counter and the event pump every 100 lines, the abort test before every
// line; an abort leaves PathList empty and no CurrentPath.
void InterpretLines(PathStore& store, const LineList& lines, const InterpretOptions& options,
                    ReadProgress& progress);

}  // namespace aiimport
