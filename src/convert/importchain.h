// The conversion chain of "Import", shared by the window and the batch mode: the paths of the
// object tree in tree order become output points, get their holes' orientation corrected when
// asked, and are written as the DOT file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "convertview.h"
#include "dotfile.h"
#include "hostdir.h"
#include "pathunit.h"

namespace aiimport {

struct ImportOptions {
  bool Reduce = false;   // "Reduce Nodes"
  bool AutoFix = false;  // "Auto-Fix Holes"
};

struct ImportResult {
  std::size_t Paths = 0;      // paths imported
  uint64_t OutputPoints = 0;  // points of OutputList
  DotCounts Dot;              // records written
};

// The host temporary directory's DOT file as a local file name, with an old file of that name
// deleted (a failure to delete is ignored: writing the new file reports any problem).
std::string PrepareHostDotFile(HostPlatform& platform);

// GenerateOutputPoints into store.OutputList, then CorrectOrientation when options.AutoFix.
void ConvertForImport(PathStore& store, std::span<const tpath* const> paths,
                      const ImportOptions& options, ConvertView& view);

// The whole chain with the records going to a sink (memory for the tests and the fuzzer).
ImportResult ImportToSink(PathStore& store, std::span<const tpath* const> paths,
                          const ImportOptions& options, ConvertView& view, DotSink& sink);

// The whole chain writing the DOT file `fileName` (a local name) completely or not at all.
// Throws ImportError for a drawing the file cannot hold and std::system_error when the file
// cannot be written; no file is left behind then.
ImportResult ImportToFile(PathStore& store, std::span<const tpath* const> paths,
                          const ImportOptions& options, ConvertView& view,
                          const std::string& fileName);

}  // namespace aiimport
