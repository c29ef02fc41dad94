// --batch: an import without a window.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli.h"
#include "commandline.h"
#include "importchain.h"
#include "pathunit.h"

namespace aiimport {

// The paths the object tree shows right after a file is read, in tree order: those that pass
// its start-up filters (the first toggle list, fills and strokes shown), in PathList order.
std::vector<tpath*> StartupTreePaths(PathModel& model);

// Imports the start-up tree's paths of `model` into the DOT file `fileName` (a local name),
// dropping each source path from PathList as soon as it is converted, with the paths before it
// that the tree leaves out: nothing reads them afterwards in a batch, and so the source and the
// output are not held in full at the same time. Once it has converted every path, PathList holds
// only the paths after the last one imported. Returns nothing, and writes nothing, when there
// is no path to import.
std::optional<ImportResult> ImportStartupPaths(PathModel& model, ConversionResult& output,
                                               const ImportOptions& options,
                                               const std::string& fileName);

// Reads FILE as a reload does, imports the start-up tree's paths and writes the DOT file to the
// host temporary directory or to --output PATH; prints a one-line summary. Exit codes: 0 done,
// 1 no paths to import (nothing written), 2 any failure (no output file left behind).
// With AfterCommand::End the drawing and its conversion are left for the system (see
// AfterCommand).
int RunBatch(const CommandLine& command, std::ostream& out, std::ostream& err,
             AfterCommand after = AfterCommand::GoOn);

}  // namespace aiimport
