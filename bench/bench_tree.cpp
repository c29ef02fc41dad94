// The object tree on the 100 MB synthetic file: building it from PathList (groups, composites,
// filters, pruning) and the walk that lists the tree's paths for every drawing and import.
#include <benchmark/benchmark.h>

#include "benchsupport.h"
#include "objecttree.h"
#include "readfile.h"

AIIMPORT_BENCH_TRACK_HEAP

namespace {

using namespace aiimport;

PathModel& File() {
  static PathModel* store = [] {
    auto* s = new PathModel;
    Progress quiet;
    ReadSourceFile(*s, benchsupport::SyntheticFile(100), {}, quiet);
    return s;
  }();
  return *store;
}

void BM_BuildTree(benchmark::State& state) {
  PathModel& store = File();
  long long peak = 0;
  for (auto _ : state) {
    const long long base = benchsupport::Current();
    benchsupport::TakePeak();
    ObjectTree tree;
    BuildTree(tree, store.PathList, {});
    benchmark::DoNotOptimize(tree.NodeCount());
    state.counters["Nodes"] = static_cast<double>(tree.NodeCount());
    peak = benchsupport::TakePeak() - base;
  }
  state.counters["PeakMB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
}

void BM_TreePaths(benchmark::State& state) {
  ObjectTree tree;
  BuildTree(tree, File().PathList, {});
  for (auto _ : state)
    benchmark::DoNotOptimize(TreePaths(tree).size());
}

BENCHMARK(BM_BuildTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TreePaths)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
