// --batch: reading, the start-up tree's paths, the conversion chain and the DOT file.
#include "batch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <ostream>
#include <system_error>
#include <thread>

#include "cli.h"
#include "importchain.h"
#include "objecttree.h"
#include "parallel.h"
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

// Frees each source path's points once it is converted.
class ReleasingHook : public ConvertedPathHook {
 public:
  explicit ReleasingHook(std::vector<tpath*> sources) : sources_(std::move(sources)) {}
  void PathConverted(std::size_t index) override {
    std::vector<tbpoint>().swap(sources_[index]->Items);
  }

 private:
  std::vector<tpath*> sources_;
};

}  // namespace

std::optional<ImportResult> ImportStartupPaths(PathModel& model, ConversionResult& output,
                                               const ImportOptions& options,
                                               const std::string& fileName) {
  std::vector<tpath*> sources = StartupTreePaths(model);
  if (sources.empty()) return std::nullopt;
  const std::vector<const tpath*> paths(sources.begin(), sources.end());
  ReleasingHook release(std::move(sources));
  Progress quiet;
  return ImportToFile(output, paths, options, {quiet, nullptr, &release}, fileName);
}

namespace {

// What a batch read and converted is no longer needed once the DOT file is written: a million
// blocks of memory, whose release one by one would keep the program from ending for a tenth of
// its time, and which the system takes back whole when it ends. So they are handed to a thread
// that releases them only after a pause in which a batch program has long ended; in a program
// that goes on after the batch (the tests), they are released then. Under the sanitizers, which
// check every block at the end, and with one thread, they are released at once.
void ReleaseLater([[maybe_unused]] std::unique_ptr<PathModel> model,
                  [[maybe_unused]] std::unique_ptr<ConversionResult> output) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  if (ThreadCount() <= 1) return;  // one thread: released here
  try {
    std::thread([model = std::move(model), output = std::move(output)]() mutable {
      std::this_thread::sleep_for(std::chrono::seconds(2));
      output.reset();
      model.reset();
    }).detach();
  } catch (const std::system_error&) {
    // No thread: released here, as the thread's function is.
  }
#endif
}

}  // namespace

int RunBatch(const CommandLine& c, std::ostream& out, std::ostream& err) {
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
    ReleaseLater(std::move(model), std::move(output));
  } catch (const std::exception& e) {
    err << "aiimport: " << e.what() << '\n';
    return ExitFailure;
  }
  out.flush();
  return ExitOk;
}

}  // namespace aiimport
