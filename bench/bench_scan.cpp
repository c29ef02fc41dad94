// The quick looks at a file besides reading it, on the synthetic files of epsgen.h:
//  - ClassifyPostScript over the bytes of the 100 MiB file;
//  - CountNotImported over its lines, next to InterpretLines over the same lines (the scan is
//    a pass of its own after reading);
//  - FindEpsIllustratorData on EPS files whose data block holds the 50 MiB text, packed with
//    zlib ("%AI9_DataStream") or Zstandard ("%AI24_DataStream") and written in ASCII85 comment
//    lines of 100 characters as Illustrator writes them. PeakXText is the peak heap as a
//    multiple of the unpacked text.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "benchsupport.h"
#include "epsdata.h"
#include "interpreter.h"
#include "lines.h"
#include "notimported.h"
#include "packing.h"
#include "pathcollector.h"
#include "pskind.h"
#include "readfile.h"
#include "testfiles.h"

AIIMPORT_BENCH_TRACK_HEAP

namespace {

using namespace aiimport;
namespace fs = std::filesystem;

constexpr int FileMegabytes = 100;
constexpr int TextMegabytes = 50;

void BM_ClassifyPostScript(benchmark::State& state) {
  const std::string bytes = testing::ReadWholeFile(benchsupport::SyntheticFile(FileMegabytes));
  for (auto _ : state) {
    const PostScriptKind kind = ClassifyPostScript(bytes.data(), bytes.size());
    benchmark::DoNotOptimize(kind);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes.size()) * state.iterations());
}

const LineList& SyntheticLines() {
  static LineList lines;
  if (lines.empty()) {
    Progress quiet;
    LoadLines(lines, benchsupport::SyntheticFile(FileMegabytes), quiet);
  }
  return lines;
}

void BM_CountNotImported(benchmark::State& state) {
  const LineList& lines = SyntheticLines();
  const double bytes =
      static_cast<double>(fs::file_size(benchsupport::SyntheticFile(FileMegabytes)));
  for (auto _ : state) {
    const NotImportedCounts counts = CountNotImported(lines, {});
    benchmark::DoNotOptimize(counts);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}

void BM_InterpretSameLines(benchmark::State& state) {
  const LineList& lines = SyntheticLines();
  const double bytes =
      static_cast<double>(fs::file_size(benchsupport::SyntheticFile(FileMegabytes)));
  Progress quiet;
  for (auto _ : state) {
    PathModel store;
    PathCollector collector(store);
    InterpreterState interpreter;
    InterpretLines(lines, {}, interpreter, collector, quiet);
    benchmark::DoNotOptimize(store.PathList.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}

// ASCII85 in comment lines of 100 characters, ended by "~>".
std::string Ascii85Lines(const std::string& bytes) {
  const std::string text = testing::Ascii85(bytes) + "~>";
  std::string lines;
  lines.reserve(text.size() / 100 * 102 + 104);
  for (std::size_t at = 0; at < text.size(); at += 100)
    lines += "%" + text.substr(at, 100) + "\r";
  return lines;
}

// The EPS file, made once and kept in the temp folder.
std::string EpsWithBlock(bool zstd) {
  const fs::path path =
      fs::temp_directory_path() /
      ("aiimport-synthetic-v" + std::to_string(SyntheticVersion) + "-" +
       std::to_string(TextMegabytes) + "mb-block-" + (zstd ? "zstd" : "zlib") + ".eps");
  if (!fs::exists(path)) {
    const std::string text = testing::ReadWholeFile(benchsupport::SyntheticFile(TextMegabytes));
    std::string eps =
        "%!PS-Adobe-3.1 EPSF-3.0\r%%Creator: Adobe Illustrator(R) 24.0\r%%EndComments\r"
        "%%EndSetup\r/pt {moveto} def\r%%Trailer\r%%EOF\r%AI9_PrivateDataBegin\r"
        "%!PS-Adobe-3.0 EPSF-3.0\r%%Creator: Adobe Illustrator(R) 24.0\r";
    eps += zstd ? "%AI24_DataStream\r" : "%AI9_DataStream\r";
    eps += Ascii85Lines(zstd ? testing::ZstdFrame(text) : testing::Zlib(text));
    eps += "%AI9_PrivateDataEnd\r";
    benchsupport::WriteFileOnce(path, eps);
  }
  return path.string();
}

void BM_FindEpsIllustratorData(benchmark::State& state, bool zstd) {
  const std::string file = testing::ReadWholeFile(EpsWithBlock(zstd));
  long long peak = 0;
  std::size_t textBytes = 0;
  for (auto _ : state) {
    const long long base = benchsupport::Current();
    benchsupport::TakePeak();
    IllustratorData x = FindEpsIllustratorData(file.data(), file.size());
    if (!x.Ok) {
      state.SkipWithError(x.Message.c_str());
      return;
    }
    textBytes = x.Size;
    x.Text.reset();
    peak = benchsupport::TakePeak() - base;
  }
  state.SetBytesProcessed(static_cast<int64_t>(textBytes) * state.iterations());
  state.counters["FileMB"] = static_cast<double>(file.size()) / (1024.0 * 1024.0);
  state.counters["PeakXText"] = static_cast<double>(peak) / static_cast<double>(textBytes);
}

BENCHMARK(BM_ClassifyPostScript)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CountNotImported)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_InterpretSameLines)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_FindEpsIllustratorData, Zlib, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindEpsIllustratorData, Zstandard, true)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
