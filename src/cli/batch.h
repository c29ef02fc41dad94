// --batch: an import without a window.
#pragma once

#include <iosfwd>
#include <vector>

#include "commandline.h"
#include "pathunit.h"

namespace aiimport {

// The paths the object tree shows right after a file is read, in tree order. With the tree's
// start-up filters (the first toggle list, fills and strokes shown) the tree's depth-first
// order of path nodes is PathList order restricted to the paths of at least 2 points that are
// not in the second toggle list (Flagged), so this is that filter.
std::vector<const tpath*> StartupTreePaths(const PathStore& store);

// Reads FILE as a reload does, imports the start-up tree's paths and writes the DOT file to the
// host temporary directory or to --output PATH; prints a one-line summary. Exit codes: 0 done,
// 1 no paths to import (nothing written), 2 any failure (no output file left behind).
int RunBatch(const CommandLine& command, std::ostream& out, std::ostream& err);

}  // namespace aiimport
