// Tools for DOT files: --dump-dot lists and checks one, --dot-svg draws one as the host would
// receive it.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "commandline.h"

namespace aiimport {

// Every record of the file ("offset kind colour=0x00BBGGRR flags=n" or "offset kind x=.. y=.."),
// then a count line; a malformed file (see CheckDotStructure) gets a message on err and exit
// code 2.
int RunDumpDot(const CommandLine& command, std::ostream& out, std::ostream& err);

// Writes the SVG drawing of FILE.dot to OUT.svg; exit code 2 for a malformed or unreadable file
// or a failed write.
int RunDotSvg(const CommandLine& command, std::ostream& out, std::ostream& err);

// The SVG drawing of a structurally sound DOT file: one <path> per figure (per header record),
// a sub-path per kind-1 record, runs of kind-3 points as quadratic pieces joined at the
// midpoints of neighbouring controls, filled figures filled with their colour (non-zero rule),
// the others stroked; closed figures close every sub-path. Coordinates are the file's
// micrometres, larger y lower, as the preview draws them.
std::string DotToSvg(std::string_view bytes);

}  // namespace aiimport
