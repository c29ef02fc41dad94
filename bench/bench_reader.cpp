// Reading speed and memory on the 100 MB synthetic files (many small objects, and few long paths
// in deep groups): loading (bytes to printable lines), interpreting (lines to paths) and both
// together, with one thread and with all. Peak is the largest heap in use during one run, as a
// multiple of the file size (PeakXFile).
#include <benchmark/benchmark.h>

#include <filesystem>

#include "benchsupport.h"
#include "interpreter.h"
#include "lines.h"
#include "pathcollector.h"
#include "readfile.h"

AIIMPORT_BENCH_TRACK_HEAP

namespace {

using namespace aiimport;

constexpr int FileMegabytes = 100;

// Arguments: the shape (0 objects, 1 long paths) and the threads (0: all).
std::string File(benchmark::State& state) {
  benchsupport::UseThreads(state, state.range(1));
  return benchsupport::SyntheticFile(
      FileMegabytes, state.range(0) ? SyntheticShape::LongPaths : SyntheticShape::Objects);
}

void Report(benchmark::State& state, double bytes, long long peak) {
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  state.counters["PeakMB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
  state.counters["PeakXFile"] = static_cast<double>(peak) / bytes;
}

void BM_Load(benchmark::State& state) {
  const std::string file = File(state);
  const double bytes = static_cast<double>(std::filesystem::file_size(file));
  Progress quiet;
  long long peak = 0;
  for (auto _ : state) {
    const long long base = benchsupport::Current();
    benchsupport::TakePeak();
    LineList lines;
    LoadLines(lines, file, quiet);
    benchmark::DoNotOptimize(lines.size());
    peak = benchsupport::TakePeak() - base;
  }
  Report(state, bytes, peak);
}

void BM_Interpret(benchmark::State& state) {
  const std::string file = File(state);
  const double bytes = static_cast<double>(std::filesystem::file_size(file));
  Progress quiet;
  LineList lines;
  LoadLines(lines, file, quiet);
  long long peak = 0;
  for (auto _ : state) {
    PathModel store;
    PathCollector collector(store);
    InterpreterState interpreter;
    const long long base = benchsupport::Current();
    benchsupport::TakePeak();
    InterpretLines(lines, {}, interpreter, collector, quiet);
    benchmark::DoNotOptimize(store.PathList.size());
    peak = benchsupport::TakePeak() - base;
    state.counters["Paths"] = static_cast<double>(store.PathList.size());
    state.counters["Lines"] = static_cast<double>(lines.size());
  }
  Report(state, bytes, peak);
}

void BM_LoadAndInterpret(benchmark::State& state) {
  const std::string file = File(state);
  const double bytes = static_cast<double>(std::filesystem::file_size(file));
  Progress quiet;
  long long peak = 0;
  for (auto _ : state) {
    PathModel store;
    const long long base = benchsupport::Current();
    benchsupport::TakePeak();
    ReadSourceFile(store, file, {}, quiet);
    benchmark::DoNotOptimize(store.PathList.size());
    peak = benchsupport::TakePeak() - base;
  }
  Report(state, bytes, peak);
}

void Arguments(benchmark::internal::Benchmark* b) {
  b->ArgNames({"long", "threads"});
  for (int64_t shape : {0, 1})
    for (int64_t threads : {1, 0})
      b->Args({shape, threads});
  b->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
}

BENCHMARK(BM_Load)->Apply(Arguments);
BENCHMARK(BM_Interpret)->Apply(Arguments);
BENCHMARK(BM_LoadAndInterpret)->Apply(Arguments);

}  // namespace

BENCHMARK_MAIN();
