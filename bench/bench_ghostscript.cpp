// Converting other programs' PostScript and EPS to PDF with the Ghostscript child: wall-clock
// time of ConvertWithGhostscript (start, conversion, reading the PDF, clean-up; the work is
// done in the child, so the time is real time). Files:
//  - the EPS files of other programs in the shared corpus (AIIMPORT_CORPUS_DIR, else the corpus
//    folder beside the source tree);
//  - any files named in AIIMPORT_GS_BENCH_FILES (separated by ':'), e.g. a large PostScript
//    plot made with matplotlib or gnuplot.
// Counters: the input and PDF sizes in MB, the last conversion's own Seconds, and ChildCpu,
// the processor seconds of the child per conversion (user and system; unlike the clock, it
// hardly depends on what else the machine is doing).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ghostscript.h"

namespace {

using namespace aiimport;
namespace fs = std::filesystem;

fs::path CorpusDir() {
  if (const char* dir = std::getenv("AIIMPORT_CORPUS_DIR")) return dir;
  return fs::path(__FILE__).parent_path().parent_path().parent_path() / "shared" / "corpus";
}

double ChildrenCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_Ghostscript(benchmark::State& state, const std::string& file) {
  GhostscriptResult last;
  const double cpuBefore = ChildrenCpuSeconds();
  for (auto _ : state) {
    last = ConvertWithGhostscript(file);
    if (last.Status != GhostscriptStatus::Ok) {
      state.SkipWithError(
          (std::string(GhostscriptStatusName(last.Status)) + ": " + last.Message).c_str());
      return;
    }
    benchmark::DoNotOptimize(last.Pdf.data());
  }
  const double mb = 1024.0 * 1024.0;
  state.counters["InputMB"] = static_cast<double>(fs::file_size(file)) / mb;
  state.counters["PdfMB"] = static_cast<double>(last.Pdf.size()) / mb;
  state.counters["Seconds"] = last.Seconds;
  state.counters["ChildCpu"] =
      (ChildrenCpuSeconds() - cpuBefore) / static_cast<double>(state.iterations());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  for (const char* name : {"duojs-logo.eps", "matplotlib-scatter.eps",
                           "python-pillow-reqd_showpage.eps", "imagemagick-logo.eps"})
    if (fs::exists(CorpusDir() / name)) files.push_back((CorpusDir() / name).string());
  if (const char* extra = std::getenv("AIIMPORT_GS_BENCH_FILES")) {
    std::stringstream list(extra);
    for (std::string file; std::getline(list, file, ':');)
      if (!file.empty()) files.push_back(file);
  }
  for (const std::string& file : files) {
    const bool large = fs::exists(file) && fs::file_size(file) > (std::uintmax_t{1} << 20);
    benchmark::RegisterBenchmark(("BM_Ghostscript/" + fs::path(file).filename().string()).c_str(),
                                 BM_Ghostscript, file)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(large ? 3 : 10);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
