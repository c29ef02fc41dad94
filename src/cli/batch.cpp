// --batch: reading, the start-up tree's paths, the conversion chain and the DOT file.
#include "batch.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "cli.h"
#include "importchain.h"
#include "objecttree.h"
#include "readfile.h"

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

int RunBatch(const CommandLine& c, std::ostream& out, std::ostream& err) {
  if (c.Files.size() != 1) {
    err << "aiimport --batch: give exactly one FILE (see aiimport --help)\n";
    return ExitFailure;
  }
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

    PathModel model;
    Progress quiet;
    const ReadResult read = ReadSourceFile(model, c.Files[0], c.Read, quiet);
    if (read.Load.Status == LoadStatus::Missing || read.Load.Status == LoadStatus::Unreadable) {
      err << "aiimport: " << read.Load.Message << '\n';
      return ExitFailure;
    }
    ConversionResult output;
    const std::optional<ImportResult> imported =
        ImportStartupPaths(model, output, ImportOptions{c.Reduce, c.AutoFix}, fileName);
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
  } catch (const std::exception& e) {
    err << "aiimport: " << e.what() << '\n';
    return ExitFailure;
  }
  out.flush();
  return ExitOk;
}

}  // namespace aiimport
