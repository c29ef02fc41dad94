// libFuzzer target: the bytes as a PDF-based Illustrator file, through everything a reload does
// with one: the extraction of the private drawing data (PDF parsing, stream filters, zlib and
// Zstandard), the loader's line filter and the interpreter.
#include <cstddef>
#include <cstdint>
#include <utility>

#include "interpreter.h"
#include "lines.h"
#include "pathcollector.h"
#include "pathunit.h"
#include "pdfsource.h"
#include "progress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace aiimport;
  // The loader allows 1 GiB of text; the fuzzer's memory limit is 2 GB, so a smaller bound
  // keeps a zip bomb from being taken for a leak or an out-of-memory fault.
  UnpackLimits limits;
  limits.MaxTextBytes = uint64_t{32} << 20;
  IllustratorData pdf = ExtractIllustratorText(reinterpret_cast<const char*>(data), size, limits);
  if (!pdf.Ok) {
    // Every failure must come with a reason for the user.
    if (pdf.Message.empty() || pdf.Text) __builtin_trap();
    return 0;
  }
  if (pdf.Message.size() != 0) __builtin_trap();

  Progress quiet;
  LineList lines;
  FilterLines(lines, std::move(pdf.Text), pdf.Size, quiet);
  PathModel store;
  PathCollector collector(store);
  InterpreterState interpreter;
  InterpretOptions options;
  options.ParseEverything = (size & 1) != 0;
  InterpretLines(lines, options, interpreter, collector, quiet);
  return 0;
}
