// --batch: reading, the start-up tree's paths, the conversion chain and the DOT file.
#include "batch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <exception>
#include <filesystem>
#include <memory>
#include <ostream>

#include "cli.h"
#include "importchain.h"
#include "objecttree.h"
#include "readfile.h"
#include "readingheap.h"

namespace aiimport {

std::vector<tpath*> StartupTreePaths(PathModel& model) {
  // The tree's order without building the tree: every node is added as the last child of a node
  // on the tree's right edge, so with the start-up filters the tree's paths are PathList's in
  // order, less those its filters leave out (a property the tree's own tests check on random
  // files). Building the tree would cost a tenth of a batch import's time on a large file.
  std::vector<tpath*> paths;
  for (tpath& path : model.PathList)
    if (PassesFilters(path, TreeFilters{})) paths.push_back(&path);
  return paths;
}

namespace {

// Drops each source path from PathList once it is converted, with the paths before it that the
// tree leaves out: nothing reads them afterwards in a batch. PathList is a deque, so its front
// goes without moving what remains, and the memory of the paths, their points and the deque's
// own blocks, freed in the order it was taken, comes back in long runs that the output points
// then take.
class ReleasingHook : public ConvertedPathHook {
 public:
  ReleasingHook(std::deque<tpath>& list, std::vector<std::size_t> positions)
      : list_(list), positions_(std::move(positions)) {}
  void PathConverted(std::size_t index) override {
    for (; dropped_ <= positions_[index]; ++dropped_)
      list_.pop_front();
  }

 private:
  std::deque<tpath>& list_;
  std::vector<std::size_t> positions_;  // each source's place in PathList at the start
  std::size_t dropped_ = 0;             // how many paths have left the front
};

}  // namespace

std::optional<ImportResult> ImportStartupPaths(PathModel& model, ConversionResult& output,
                                               const ImportOptions& options,
                                               const std::string& fileName) {
  // StartupTreePaths' paths, with their places in the list.
  std::vector<const tpath*> paths;
  std::vector<std::size_t> positions;
  std::size_t position = 0;
  for (const tpath& path : model.PathList) {
    if (PassesFilters(path, TreeFilters{})) {
      paths.push_back(&path);
      positions.push_back(position);
    }
    ++position;
  }
  if (paths.empty()) return std::nullopt;
  ReleasingHook release(model.PathList, std::move(positions));
  Progress quiet;
  return ImportToFile(output, paths, options, {quiet, nullptr, &release}, fileName);
}

namespace {

// What a batch read and converted, once the DOT file is written, when the program ends right
// after: left for the system to take back with the process, not freed block by block. Under the
// sanitizers, which check every block at the end, it is freed as usual.
void LeaveToTheSystem([[maybe_unused]] std::unique_ptr<PathModel>& model,
                      [[maybe_unused]] std::unique_ptr<ConversionResult>& output) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  static_cast<void>(model.release());
  static_cast<void>(output.release());
#endif
}

}  // namespace

int RunBatch(const CommandLine& c, std::ostream& out, std::ostream& err, AfterCommand after) {
  if (c.Files.size() != 1) {
    err << "aiimport --batch: give exactly one FILE (see aiimport --help)\n";
    return ExitFailure;
  }
  KeepFreedMemory();
  const auto start = std::chrono::steady_clock::now();
  try {
    // The output file first, as the window does when it opens and at "Import": an old one is
    // deleted, so that whatever happens next no stale file is taken for this import's result.
    std::string fileName;
    if (c.Output) {
      fileName = *c.Output;
      std::error_code ignored;
      std::filesystem::remove(fileName, ignored);
    } else {
      SystemHostPlatform platform([&err](const std::string& text) { err << text << '\n'; });
      fileName = PrepareHostDotFile(platform);
    }

    auto model = std::make_unique<PathModel>();
    Progress quiet;
    ReadResult read;
    {
      HeapPrefault prefault(c.Files[0]);
      // Only "Auto-Fix Holes" looks at the paths' orientation: without it the test is left out.
      ReadOptions options = c.Read;
      options.Orientation = c.AutoFix;
      read = ReadSourceFile(*model, c.Files[0], options, quiet);
    }
    if (read.Load.Status == LoadStatus::Missing || read.Load.Status == LoadStatus::Unreadable) {
      err << "aiimport: " << read.Load.Message << '\n';
      return ExitFailure;
    }
    auto output = std::make_unique<ConversionResult>();
    const std::optional<ImportResult> imported =
        ImportStartupPaths(*model, *output, ImportOptions{c.Reduce, c.AutoFix}, fileName);
    const std::string status = ReadingStatus(read, imported ? imported->Paths : 0);
    if (!imported) {
      out << "There are no paths to import!\n";
      if (!status.empty()) err << "aiimport: " << status << '\n';
      return ExitNothing;
    }
    const ImportResult& result = *imported;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", seconds);
    out << result.Paths << " paths, " << result.OutputPoints << " output points, "
        << result.Dot.Headers << " figures, " << result.Dot.Records * DotRecordSize << " bytes, "
        << time << " seconds: " << fileName;
    if (!status.empty()) out << ". " << status;
    out << '\n';
    if (after == AfterCommand::End) LeaveToTheSystem(model, output);
  } catch (const std::exception& e) {
    err << "aiimport: " << e.what() << '\n';
    return ExitFailure;
  }
  out.flush();
  return ExitOk;
}

}  // namespace aiimport
