#include "importchain.h"

#include <filesystem>
#include <system_error>

#include "orientation.h"
#include "outputpoints.h"

namespace aiimport {

namespace {

uint64_t CountPoints(const std::vector<tdotpath>& list) {
  uint64_t n = 0;
  for (const tdotpath& p : list)
    n += p.Count();
  return n;
}

}  // namespace

std::string PrepareHostDotFile(HostPlatform& platform) {
  const std::string name = platform.LocalPath(DotFileNameIn(ResolveHostTempDir(platform)));
  std::error_code ignored;
  std::filesystem::remove(name, ignored);
  return name;
}

void ConvertForImport(PathStore& store, std::span<const tpath* const> paths,
                      const ImportOptions& options, ConvertView& view) {
  GenerateOutputPoints(store, paths, options.Reduce, view);
  if (options.AutoFix) CorrectOrientation(store, view);
}

ImportResult ImportToSink(PathStore& store, std::span<const tpath* const> paths,
                          const ImportOptions& options, ConvertView& view, DotSink& sink) {
  ConvertForImport(store, paths, options, view);
  ImportResult result;
  result.Paths = paths.size();
  result.OutputPoints = CountPoints(store.OutputList);
  result.Dot = WriteDotRecords(store.OutputList, sink);
  return result;
}

ImportResult ImportToFile(PathStore& store, std::span<const tpath* const> paths,
                          const ImportOptions& options, ConvertView& view,
                          const std::string& fileName) {
  ConvertForImport(store, paths, options, view);
  ImportResult result;
  result.Paths = paths.size();
  result.OutputPoints = CountPoints(store.OutputList);
  result.Dot = WriteDotFile(store, fileName, view);
  return result;
}

}  // namespace aiimport
