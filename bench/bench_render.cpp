// Preview drawing speed on the 100 MB synthetic file at a typical paint-box size (585 x 413):
// the first full drawing after a load (the root selected, so every path is drawn twice: the
// silver pass and the selection), direct and enhanced, and a selection change that reuses the
// silver picture. The tree's paths are every path with at least two points, in file order.
#include <benchmark/benchmark.h>

#include <QImage>

#include <cstddef>
#include <string>
#include <vector>

#include "benchsupport.h"
#include "parallel.h"
#include "pathunit.h"
#include "previewrender.h"
#include "readfile.h"

namespace {

using namespace aiimport;

constexpr int FileMegabytes = 100;
constexpr int Width = 585;
constexpr int Height = 413;

struct Loaded {
  PathModel Store;
  std::vector<const tpath*> Tree;
  std::size_t Points = 0;
};

const Loaded& File() {
  static const Loaded* loaded = [] {
    auto* l = new Loaded;
    Progress quiet;
    ReadSourceFile(l->Store, benchsupport::SyntheticFile(FileMegabytes), {}, quiet);
    l->Store.ViewExtent = ComputeViewExtent(l->Store.PathList, true);
    for (const tpath& p : l->Store.PathList) {
      if (p.Count() >= 2) {
        l->Tree.push_back(&p);
        l->Points += p.Count();
      }
    }
    return l;
  }();
  return *loaded;
}

PreviewInput Input(const std::vector<const tpath*>& selected, bool enhanced,
                   RenderRequest request) {
  PreviewInput input;
  input.TreePaths = File().Tree;
  input.SelectedPaths = selected;
  input.HasSelectedNode = true;
  input.Request = request;
  input.ViewMode = DrawMode::Solid;
  input.Enhanced = enhanced;
  input.Width = Width;
  input.Height = Height;
  return input;
}

void Counters(benchmark::State& state) {
  state.counters["Paths"] = static_cast<double>(File().Tree.size());
  state.counters["Points"] = static_cast<double>(File().Points);
}

// The drawing after a load: FitAll with the root selected, no silver picture kept yet; on one
// thread or on all (threads 0), as the window draws it.
void BM_FirstRender(benchmark::State& state) {
  const bool enhanced = state.range(0) != 0;
  RenderControl control;
  control.Threads = state.range(1) > 0 ? static_cast<unsigned>(state.range(1)) : ThreadCount();
  const auto& tree = File().Tree;
  for (auto _ : state) {
    FloatRect extent{};
    SilverCache cache;
    const PreviewPicture picture =
        RenderPreview(Input(tree, enhanced, RenderRequest::FitAll), extent, &cache, control);
    benchmark::DoNotOptimize(picture.Image.constBits());
  }
  Counters(state);
}

// "Redraw All": every tree path in its colours, no silver pass.
void BM_RepaintAll(benchmark::State& state) {
  const bool enhanced = state.range(0) != 0;
  FloatRect extent = ComputeViewExtent(File().Tree, false);
  for (auto _ : state) {
    const PreviewPicture picture =
        RenderPreview(Input(File().Tree, enhanced, RenderRequest::RepaintAll), extent);
    benchmark::DoNotOptimize(picture.Image.constBits());
  }
  Counters(state);
}

// A selection change: FitAll (the extent comes out the same), the silver picture reused, the
// newly selected paths drawn over it. Selections of range(1) consecutive paths taken from
// spread-out places of the tree, one after the other.
void BM_SelectionChange(benchmark::State& state) {
  const bool enhanced = state.range(0) != 0;
  const auto count = static_cast<std::size_t>(state.range(1));
  const auto& tree = File().Tree;
  SilverCache cache;
  FloatRect extent{};
  RenderPreview(Input(tree, enhanced, RenderRequest::FitAll), extent, &cache);  // after load

  std::vector<std::vector<const tpath*>> selections;
  for (std::size_t k = 0; k < 16; ++k) {
    const std::size_t first = (tree.size() - count) / 16 * k;
    selections.emplace_back(tree.begin() + static_cast<std::ptrdiff_t>(first),
                            tree.begin() + static_cast<std::ptrdiff_t>(first + count));
  }
  std::size_t next = 0;
  for (auto _ : state) {
    const PreviewPicture picture = RenderPreview(
        Input(selections[next++ % selections.size()], enhanced, RenderRequest::FitAll), extent,
        &cache);
    benchmark::DoNotOptimize(picture.Image.constBits());
  }
  Counters(state);
}

// The same selection change without the kept silver picture, for comparison: the silver pass
// and one path, which is what the window draws after a load (its first node selected), on one
// thread or on all (threads 0).
void BM_SelectionChangeUncached(benchmark::State& state) {
  const bool enhanced = state.range(0) != 0;
  RenderControl control;
  control.Threads = state.range(1) > 0 ? static_cast<unsigned>(state.range(1)) : ThreadCount();
  const auto& tree = File().Tree;
  const std::vector<const tpath*> selection(tree.begin() + 1000, tree.begin() + 1001);
  FloatRect extent{};
  for (auto _ : state) {
    const PreviewPicture picture =
        RenderPreview(Input(selection, enhanced, RenderRequest::FitAll), extent, nullptr, control);
    benchmark::DoNotOptimize(picture.Image.constBits());
  }
  Counters(state);
}

BENCHMARK(BM_FirstRender)
    ->ArgNames({"enhanced", "threads"})
    ->ArgsProduct({{0, 1}, {1, 0}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintAll)->ArgName("enhanced")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectionChange)
    ->ArgNames({"enhanced", "paths"})
    ->ArgsProduct({{0, 1}, {1, 100, 5000}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectionChangeUncached)
    ->ArgNames({"enhanced", "threads"})
    ->ArgsProduct({{0, 1}, {1, 0}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
