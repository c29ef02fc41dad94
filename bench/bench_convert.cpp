// Conversion speed and memory on the 100 MB synthetic file: output points with and without
// node reduction, the DOT writer, the conversion steps together, and the whole batch import
// (reading included, on both synthetic files) with its peak heap as a multiple of the file size
// (PeakXFile); each with one thread and with all. The orientation correction is measured on one
// compound of 1 000, 10 000 and 100 000 holes.
// Every figure is in bytes of the source file per second, so the steps add up.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

#include "batch.h"
#include "benchsupport.h"
#include "dotfile.h"
#include "importchain.h"
#include "orientation.h"
#include "outputpoints.h"
#include "readfile.h"

AIIMPORT_BENCH_TRACK_HEAP

namespace {

using namespace aiimport;

constexpr int FileMegabytes = 100;

struct SourceFile {
  std::string Name;
  double Bytes = 0;
  PathModel Model;
  ConversionResult Output;
  std::vector<const tpath*> Paths;
};

// The synthetic file, read once for the benchmarks that start from paths.
SourceFile& Source() {
  static std::unique_ptr<SourceFile> source = [] {
    auto s = std::make_unique<SourceFile>();
    s->Name = benchsupport::SyntheticFile(FileMegabytes);
    s->Bytes = static_cast<double>(std::filesystem::file_size(s->Name));
    Progress quiet;
    ReadSourceFile(s->Model, s->Name, {}, quiet);
    const std::vector<tpath*> startup = StartupTreePaths(s->Model);
    s->Paths.assign(startup.begin(), startup.end());
    return s;
  }();
  return *source;
}

std::string TempDotFile() {
  return (std::filesystem::temp_directory_path() / "aiimport-bench-~tempai.dot").string();
}

void Report(benchmark::State& state, double bytes, long long peak) {
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  state.counters["PeakMB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
  state.counters["PeakXFile"] = static_cast<double>(peak) / bytes;
}

void BM_GenerateOutputPoints(benchmark::State& state) {
  SourceFile& s = Source();
  const bool reduce = state.range(0) != 0;
  benchsupport::UseThreads(state, state.range(1));
  Progress view;
  for (auto _ : state) {
    GenerateOutputPoints(s.Output, s.Paths, reduce, view);
    benchmark::DoNotOptimize(s.Output.OutputList.data());
  }
  uint64_t points = 0;
  for (const tdotpath& p : s.Output.OutputList)
    points += p.Count();
  state.counters["Paths"] = static_cast<double>(s.Paths.size());
  state.counters["OutPoints"] = static_cast<double>(points);
  state.SetBytesProcessed(static_cast<int64_t>(s.Bytes) * state.iterations());
  ClearPaths(s.Output.OutputList);
}

void BM_WriteDotFile(benchmark::State& state) {
  SourceFile& s = Source();
  Progress view;
  GenerateOutputPoints(s.Output, s.Paths, false, view);
  benchsupport::UseThreads(state, state.range(0));
  const std::string file = TempDotFile();
  DotCounts counts;
  for (auto _ : state)
    counts = WriteDotFile(s.Output, file, view);
  state.counters["DotMB"] = static_cast<double>(counts.Records * DotRecordSize) / (1024.0 * 1024.0);
  state.SetBytesProcessed(static_cast<int64_t>(s.Bytes) * state.iterations());
  std::filesystem::remove(file);
  ClearPaths(s.Output.OutputList);
}

// GenerateOutputPoints and WriteDotFile (with the orientation correction when asked): what the
// import adds to the reading.
void BM_ConvertSteps(benchmark::State& state) {
  SourceFile& s = Source();
  const ImportOptions options{state.range(0) != 0, state.range(1) != 0};
  benchsupport::UseThreads(state, state.range(2));
  Progress view;
  const std::string file = TempDotFile();
  long long peak = 0;
  for (auto _ : state) {
    const long long base = benchsupport::Current();
    benchsupport::TakePeak();
    ImportToFile(s.Output, s.Paths, options, {view}, file);
    peak = benchsupport::TakePeak() - base;
    state.PauseTiming();
    ClearPaths(s.Output.OutputList);
    s.Output.OutputList.shrink_to_fit();
    state.ResumeTiming();
  }
  Report(state, s.Bytes, peak);
  std::filesystem::remove(file);
}

// The whole batch import: reading, the start-up tree's paths, conversion and the DOT file.
void BM_BatchImport(benchmark::State& state) {
  benchsupport::UseThreads(state, state.range(3));
  const std::string name = benchsupport::SyntheticFile(
      FileMegabytes, state.range(2) ? SyntheticShape::LongPaths : SyntheticShape::Objects);
  const double bytes = static_cast<double>(std::filesystem::file_size(name));
  const ImportOptions options{state.range(0) != 0, state.range(1) != 0};
  const std::string file = TempDotFile();
  long long peak = 0, readPeak = 0, convertPeak = 0;
  for (auto _ : state) {
    const long long base = benchsupport::Current();
    benchsupport::TakePeak();
    {
      PathModel store;
      ConversionResult output;
      Progress quiet;
      ReadSourceFile(store, name, {}, quiet);
      readPeak = benchsupport::TakePeak() - base;
      ImportStartupPaths(store, output, options, file);
      convertPeak = benchsupport::TakePeak() - base;
      benchmark::DoNotOptimize(output.OutputList.data());
    }
    peak = std::max(readPeak, convertPeak);
  }
  // The peak while reading and the peak while converting and writing, apart.
  state.counters["ReadPeakXFile"] = static_cast<double>(readPeak) / bytes;
  state.counters["ConvertPeakXFile"] = static_cast<double>(convertPeak) / bytes;
  Report(state, bytes, peak);
  std::filesystem::remove(file);
}

// One compound: an outer square and n square holes on a grid inside it, all closed and filled
// and all marked anticlockwise, so that every hole is found inside the outer square.
void BM_CorrectOrientation(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n))));
  ConversionResult store;
  auto square = [&store](int32_t x0, int32_t y0, int32_t size) {
    tdotpath& p = store.OutputList.emplace_back();
    p.Items = {{1, x0, y0},
               {2, x0 + size, y0},
               {2, x0 + size, y0 + size},
               {2, x0, y0 + size},
               {2, x0, y0}};
    p.Closed = p.Filled = p.Anticlockwise = true;
    p.CompoundNo = 1;
    ComputeDotBounds(p);
  };
  square(0, 0, side * 100 + 100);
  for (int i = 0; i < n; ++i)
    square(100 + (i % side) * 100, 100 + (i / side) * 100, 50);
  ComputeOutputExtent(store);
  Progress view;
  for (auto _ : state) {
    CorrectOrientation(store, view, nullptr);
    benchmark::DoNotOptimize(store.OutputList.data());
  }
  int reversed = 0;
  for (const tdotpath& p : store.OutputList)
    reversed += p.Anticlockwise ? 0 : 1;
  state.counters["Holes"] = n;
  state.counters["Clockwise"] = reversed;
  state.SetItemsProcessed(static_cast<int64_t>(n) * state.iterations());
}

// Threads: 1, or 0 for all.
BENCHMARK(BM_GenerateOutputPoints)
    ->Args({0, 1})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Args({1, 0})
    ->ArgNames({"reduce", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK(BM_WriteDotFile)
    ->Arg(1)
    ->Arg(0)
    ->ArgName("threads")
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK(BM_ConvertSteps)
    ->Args({0, 0, 1})
    ->Args({0, 0, 0})
    ->Args({1, 0, 0})
    ->Args({0, 1, 0})
    ->ArgNames({"reduce", "autofix", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK(BM_BatchImport)
    ->Args({0, 0, 0, 1})
    ->Args({0, 0, 0, 0})
    ->Args({0, 0, 1, 1})
    ->Args({0, 0, 1, 0})
    ->Args({1, 0, 0, 1})
    ->Args({1, 0, 0, 0})
    ->Args({0, 1, 0, 1})
    ->Args({0, 1, 0, 0})
    ->ArgNames({"reduce", "autofix", "long", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK(BM_CorrectOrientation)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->ArgName("holes")
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
