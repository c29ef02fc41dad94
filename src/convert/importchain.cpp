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

void ConvertForImport(ConversionResult& output, std::span<const tpath* const> paths,
                      const ImportOptions& options, const ImportWatchers& watchers) {
  GenerateOutputPoints(output, paths, options.Reduce, watchers.progress, watchers.converted);
  if (options.AutoFix) CorrectOrientation(output, watchers.progress, watchers.canvas);
}

ImportResult ImportToSink(ConversionResult& output, std::span<const tpath* const> paths,
                          const ImportOptions& options, const ImportWatchers& watchers,
                          DotSink& sink) {
  ConvertForImport(output, paths, options, watchers);
  ImportResult result;
  result.Paths = paths.size();
  result.OutputPoints = CountPoints(output.OutputList);
  result.Dot = WriteDotRecords(output.OutputList, sink);
  return result;
}

ImportResult ImportToFile(ConversionResult& output, std::span<const tpath* const> paths,
                          const ImportOptions& options, const ImportWatchers& watchers,
                          const std::string& fileName) {
  ConvertForImport(output, paths, options, watchers);
  ImportResult result;
  result.Paths = paths.size();
  result.OutputPoints = CountPoints(output.OutputList);
  result.Dot = WriteDotFile(output, fileName, watchers.progress);
  return result;
}

}  // namespace aiimport
