// The conversion chain of "Import", shared by the window and the batch mode: the paths of the
// object tree in tree order become output points, get their holes' orientation corrected when
// asked, and are written as the DOT file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "dotfile.h"
#include "hostdir.h"
#include "orientation.h"
#include "outputpoints.h"
#include "pathunit.h"
#include "progress.h"

namespace aiimport {

struct ImportOptions {
  bool Reduce = false;   // "Reduce Nodes"
  bool AutoFix = false;  // "Auto-Fix Holes"
};

// Who follows an import: the progress (captions, event pump, cursor), the canvas the
// orientation correction draws on (none: nothing is drawn) and who is told as each source path
// is converted (none: nobody).
struct ImportWatchers {
  Progress& progress;
  OrientationCanvas* canvas = nullptr;
  ConvertedPathHook* converted = nullptr;
};

struct ImportResult {
  std::size_t Paths = 0;      // paths imported
  uint64_t OutputPoints = 0;  // points of OutputList
  DotCounts Dot;              // records written
};

// The host temporary directory's DOT file as a local file name, with an old file of that name
// deleted (a failure to delete is ignored: writing the new file reports any problem).
std::string PrepareHostDotFile(HostPlatform& platform);

// GenerateOutputPoints into output.OutputList, then CorrectOrientation when options.AutoFix.
void ConvertForImport(ConversionResult& output, std::span<const tpath* const> paths,
                      const ImportOptions& options, const ImportWatchers& watchers);

// The whole chain with the records going to a sink (memory for the tests and the fuzzer).
ImportResult ImportToSink(ConversionResult& output, std::span<const tpath* const> paths,
                          const ImportOptions& options, const ImportWatchers& watchers,
                          DotSink& sink);

// The whole chain writing the DOT file `fileName` (a local name) completely or not at all.
// Throws ImportError for a drawing the file cannot hold and std::system_error when the file
// cannot be written; no file is left behind then.
ImportResult ImportToFile(ConversionResult& output, std::span<const tpath* const> paths,
                          const ImportOptions& options, const ImportWatchers& watchers,
                          const std::string& fileName);

}  // namespace aiimport
