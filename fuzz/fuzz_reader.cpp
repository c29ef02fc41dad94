// libFuzzer target: any bytes through the loader's line filter and the interpreter, with every
// combination of the two reading options. Whatever the input, reading must not crash, hang or
// read outside its buffers, and every point must be finite.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "interpreter.h"
#include "lines.h"
#include "pathcollector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace aiimport;
  Progress quiet;
  for (int options = 0; options < 4; ++options) {
    auto bytes = std::make_unique<char[]>(size + 1);
    if (size) std::memcpy(bytes.get(), data, size);
    LineList lines;
    FilterLines(lines, std::move(bytes), size, quiet);
    PathModel store;
    PathCollector collector(store);
    InterpreterState interpreter;
    InterpretLines(lines, {(options & 1) != 0, (options & 2) != 0}, interpreter, collector, quiet);
    ComputeViewExtent(store.PathList, true);
    for (const tpath& path : store.PathList) {
      if (path.Count() > 16001) std::abort();
      for (const tbpoint& p : path.Items) {
        if (!std::isfinite(p.X1) || !std::isfinite(p.Y1) || !std::isfinite(p.X2) ||
            !std::isfinite(p.Y2) || !std::isfinite(p.X3) || !std::isfinite(p.Y3))
          std::abort();
      }
    }
  }
  return 0;
}
