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
#include "readfile.h"

namespace aiimport {

bool ShownAtStartup(const tpath& path) {
  return path.Count() >= 2 && !path.Flagged;
}

std::vector<const tpath*> StartupTreePaths(const PathStore& store) {
  std::vector<const tpath*> paths;
  for (const tpath& path : store.PathList)
    if (ShownAtStartup(path)) paths.push_back(&path);
  return paths;
}

namespace {

// Frees each source path's points once it is converted.
class ReleasingView : public ConvertView {
 public:
  explicit ReleasingView(std::vector<tpath*> sources) : sources_(std::move(sources)) {}
  void PathConverted(std::size_t index) override {
    std::vector<tbpoint>().swap(sources_[index]->Items);
  }

 private:
  std::vector<tpath*> sources_;
};

}  // namespace

std::optional<ImportResult> ImportStartupPaths(PathStore& store, const ImportOptions& options,
                                               const std::string& fileName) {
  std::vector<tpath*> sources;
  for (tpath& path : store.PathList)
    if (ShownAtStartup(path)) sources.push_back(&path);
  if (sources.empty()) return std::nullopt;
  const std::vector<const tpath*> paths(sources.begin(), sources.end());
  ReleasingView view(std::move(sources));
  return ImportToFile(store, paths, options, view, fileName);
}

int RunBatch(const CommandLine& c, std::ostream& out, std::ostream& err) {
  if (c.Files.size() != 1) {
    err << "aiimport --batch: give exactly one FILE (see aiimport --help)\n";
    return ExitFailure;
  }
  const auto start = std::chrono::steady_clock::now();
  try {
    PathStore store;
    ReadProgress quiet;
    const ReadResult read = ReadSourceFile(store, c.Files[0], c.Read, quiet);
    if (read.Load.Status == LoadStatus::Missing || read.Load.Status == LoadStatus::Unreadable) {
      err << "aiimport: " << read.Load.Message << '\n';
      return ExitFailure;
    }

    // As "Import" does: the output file first (an old one is deleted), then the paths.
    std::string fileName;
    if (c.Output) {
      fileName = *c.Output;
      std::error_code ignored;
      std::filesystem::remove(fileName, ignored);
    } else {
      SystemHostPlatform platform([&err](const std::string& text) { err << text << '\n'; });
      fileName = PrepareHostDotFile(platform);
    }
    const std::optional<ImportResult> imported =
        ImportStartupPaths(store, ImportOptions{c.Reduce, c.AutoFix}, fileName);
    if (!imported) {
      out << "There are no paths to import!\n";
      return ExitNothing;
    }
    const ImportResult& result = *imported;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", seconds);
    out << result.Paths << " paths, " << result.OutputPoints << " output points, "
        << result.Dot.Headers << " figures, " << result.Dot.Records * DotRecordSize << " bytes, "
        << time << " seconds: " << fileName << '\n';
  } catch (const std::exception& e) {
    err << "aiimport: " << e.what() << '\n';
    return ExitFailure;
  }
  out.flush();
  return ExitOk;
}

}  // namespace aiimport
