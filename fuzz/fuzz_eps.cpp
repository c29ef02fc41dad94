// libFuzzer target: the bytes as an EPS file, through what a reload does with one before reading
// it: the classification, the search for Illustrator's data block after the page and its
// unpacking (ASCII85, zlib, Zstandard), then the line filter, the interpreter and the scan of
// what is not imported over whichever text that gave.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "epsdata.h"
#include "interpreter.h"
#include "lines.h"
#include "notimported.h"
#include "pathcollector.h"
#include "pathunit.h"
#include "progress.h"
#include "pskind.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace aiimport;
  const char* bytes = reinterpret_cast<const char*>(data);
  const PostScriptKind kind = ClassifyPostScript(bytes, size);
  // A block found after the page is a block the classification saw.

  // The loader allows 1 GiB of text; a smaller bound keeps a zip bomb within the fuzzer's
  // memory limit.
  UnpackLimits limits;
  limits.MaxTextBytes = uint64_t{32} << 20;
  IllustratorData eps = FindEpsIllustratorData(bytes, size, limits);
  // Every block that gives no text comes with a reason; no block, no reason.
  if (eps.Ok != (eps.Text != nullptr) || (eps.Found && !eps.Ok) == eps.Message.empty())
    __builtin_trap();
  if (eps.Found && !kind.DataBlock) __builtin_trap();

  std::unique_ptr<char[]> text = std::move(eps.Text);
  std::size_t textSize = eps.Size;
  if (!eps.Ok) {
    text = std::make_unique<char[]>(size ? size : 1);
    if (size) std::memcpy(text.get(), bytes, size);
    textSize = size;
  }
  Progress quiet;
  LineList lines;
  FilterLines(lines, std::move(text), textSize, quiet);
  InterpretOptions options;
  options.ParseEverything = (size & 1) != 0;
  PathModel store;
  PathCollector collector(store);
  InterpreterState interpreter;
  InterpretLines(lines, options, interpreter, collector, quiet);
  const NotImportedCounts counts = CountNotImported(lines, options);
  if (NotImportedMessage(counts).empty() != counts.Empty()) __builtin_trap();
  return 0;
}
