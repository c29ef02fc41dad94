// The quick looks at a file besides reading it, on the synthetic files of epsgen.h:
//  - ClassifyPostScript over the bytes of the 100 MiB file;
//  - CountNotImported over its lines, next to InterpretLines over the same lines (the scan is
//    a pass of its own after reading);
//  - FindEpsIllustratorData on EPS files whose data block holds the 50 MiB text, packed with
//    zlib ("%AI9_DataStream") or Zstandard ("%AI24_DataStream") and written in ASCII85 comment
//    lines of 100 characters as Illustrator writes them. PeakXText is the peak heap as a
//    multiple of the unpacked text.
#include <benchmark/benchmark.h>
#include <zlib.h>
#include <zstd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "benchsupport.h"
#include "epsdata.h"
#include "interpreter.h"
#include "lines.h"
#include "notimported.h"
#include "pathcollector.h"
#include "pskind.h"
#include "readfile.h"

AIIMPORT_BENCH_TRACK_HEAP

namespace {

using namespace aiimport;
namespace fs = std::filesystem;

constexpr int FileMegabytes = 100;
constexpr int TextMegabytes = 50;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void BM_ClassifyPostScript(benchmark::State& state) {
  const std::string bytes = ReadAll(benchsupport::SyntheticFile(FileMegabytes));
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

std::string Packed(const std::string& text, bool zstd) {
  if (zstd) {
    ZSTD_CCtx* ctx = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(ctx, ZSTD_c_compressionLevel, 3);
    ZSTD_CCtx_setParameter(ctx, ZSTD_c_contentSizeFlag, 0);
    std::string out(ZSTD_compressBound(text.size()), '\0');
    const std::size_t n = ZSTD_compress2(ctx, out.data(), out.size(), text.data(), text.size());
    ZSTD_freeCCtx(ctx);
    if (ZSTD_isError(n)) std::exit(2);
    out.resize(n);
    return out;
  }
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size()),
                Z_DEFAULT_COMPRESSION) != Z_OK)
    std::exit(2);
  out.resize(size);
  return out;
}

// ASCII85 in comment lines of 100 characters, ended by "~>".
std::string Ascii85Lines(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size() / 4 * 5 + 8);
  for (std::size_t at = 0; at < bytes.size(); at += 4) {
    const std::size_t n = std::min<std::size_t>(4, bytes.size() - at);
    uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
      value = value << 8 | (i < n ? static_cast<unsigned char>(bytes[at + i]) : 0u);
    if (n == 4 && value == 0) {
      text += 'z';
      continue;
    }
    char digits[5];
    for (int i = 4; i >= 0; --i) {
      digits[i] = static_cast<char>('!' + value % 85);
      value /= 85;
    }
    text.append(digits, n + 1);
  }
  text += "~>";
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
    const std::string text = ReadAll(benchsupport::SyntheticFile(TextMegabytes));
    std::string eps =
        "%!PS-Adobe-3.1 EPSF-3.0\r%%Creator: Adobe Illustrator(R) 24.0\r%%EndComments\r"
        "%%EndSetup\r/pt {moveto} def\r%%Trailer\r%%EOF\r%AI9_PrivateDataBegin\r"
        "%!PS-Adobe-3.0 EPSF-3.0\r%%Creator: Adobe Illustrator(R) 24.0\r";
    eps += zstd ? "%AI24_DataStream\r" : "%AI9_DataStream\r";
    eps += Ascii85Lines(Packed(text, zstd));
    eps += "%AI9_PrivateDataEnd\r";
    const std::string temp = path.string() + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f || std::fwrite(eps.data(), 1, eps.size(), f) != eps.size() || std::fclose(f) != 0) {
      std::perror(temp.c_str());
      std::exit(2);
    }
    fs::rename(temp, path);
  }
  return path.string();
}

void BM_FindEpsIllustratorData(benchmark::State& state, bool zstd) {
  const std::string file = ReadAll(EpsWithBlock(zstd));
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
