// The whole import over arbitrary bytes: printable lines, interpretation, the start-up tree's
// paths, output points, orientation correction and the DOT records in memory. The last byte of
// the input also chooses the options. Besides the sanitizers it checks that every produced DOT
// file is sound, that the fast curve reduction decides as the literal one does, and it feeds the
// raw bytes to the DOT tools.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "batch.h"
#include "dotfile.h"
#include "dottools.h"
#include "geometry.h"
#include "geometry_reference.h"
#include "importchain.h"
#include "interpreter.h"
#include "lines.h"
#include "outputpoints.h"
#include "pathcollector.h"

namespace {

using namespace aiimport;

void Require(bool condition) {
  if (!condition) std::abort();
}

// The fast reduction against the literal one on the first curves of the file.
void CompareCurves(const PathModel& store) {
  int compared = 0;
  for (const tpath& path : store.PathList) {
    FloatPoint previous{0, 0};
    for (const tbpoint& p : path.Items) {
      if (p.Kind == 2) {
        const BezierSegment c{previous.X, previous.Y, p.X1, p.Y1, p.X2, p.Y2, p.X3, p.Y3};
        const CurveApprox fast = ApproxCurveReduced(c);
        const CurveApprox literal = reference::Reduced(c);
        Require(std::memcmp(&fast, &literal, sizeof fast) == 0);
        if (++compared == 64) return;
        previous = {p.X3, p.Y3};
      } else {
        previous = {p.X1, p.Y1};
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t options = data[size - 1];

  // The DOT tools on the raw bytes.
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  if (CheckDotStructure(raw).Ok) Require(!DotToSvg(raw).empty());

  Progress quiet;
  LineList lines;
  auto bytes = std::make_unique<char[]>(size);
  std::memcpy(bytes.get(), data, size);
  FilterLines(lines, std::move(bytes), size, quiet);

  PathModel store;
  PathCollector collector(store);
  InterpreterState interpreter;
  InterpretOptions read;
  read.FlipVertical = (options & 4) == 0;
  read.ParseEverything = (options & 8) != 0;
  InterpretLines(lines, read, interpreter, collector, quiet);
  CompareCurves(store);

  const std::vector<tpath*> startup = StartupTreePaths(store);
  const std::vector<const tpath*> paths(startup.begin(), startup.end());
  if (paths.empty()) return 0;
  ConversionResult output;
  MemoryDotSink sink;
  try {
    const ImportResult result = ImportToSink(
        output, paths, ImportOptions{(options & 1) != 0, (options & 2) != 0}, {quiet}, sink);
    const DotCheck check = CheckDotStructure(sink.Bytes);
    Require(check.Ok);
    Require(check.Counts.Points == result.OutputPoints);
    Require(check.Counts.Records == result.Dot.Records);
    for (const tdotpath& p : output.OutputList)
      for (const Tdot& d : p.Items)
        Require(d.X >= 0 && d.Y >= 0);
    Require(!DotToSvg(sink.Bytes).empty());
  } catch (const ImportError&) {
    // A drawing the host file cannot hold is refused; nothing is written.
  }
  return 0;
}
