// --batch: an import without a window.
#pragma once

#include <iosfwd>
#include <vector>

#include "commandline.h"
#include "pathunit.h"

namespace aiimport {

// The paths the object tree shows right after a file is read, in tree order: the tree built
// with its start-up filters (the first toggle list, fills and strokes shown).
std::vector<const tpath*> StartupTreePaths(PathStore& store);

// Reads FILE as a reload does, imports the start-up tree's paths and writes the DOT file to the
// host temporary directory or to --output PATH; prints a one-line summary. Exit codes: 0 done,
// 1 no paths to import (nothing written), 2 any failure (no output file left behind).
int RunBatch(const CommandLine& command, std::ostream& out, std::ostream& err);

}  // namespace aiimport
