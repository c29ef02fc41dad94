// Reading PDF-based Illustrator files against reading the same text as a plain file: time and
// peak heap of ReadSourceFile (load and interpret). Two sources:
//  - the largest PDF-based samples of the shared corpus (AIIMPORT_CORPUS_DIR, else the corpus
//    folder beside the source tree), next to their extracted text saved as a plain file;
//  - the 50 MiB synthetic text of epsgen.h, saved plain and wrapped into PDF files the way
//    Illustrator writes them: header in /AIMetaData, then the marker and the compressed text
//    in 64 KiB /AIPrivateData blocks, zlib ("%AI12_CompressedData") or Zstandard
//    ("%AI24_ZStandard_Data", frames without a content size).
// PeakXText is the peak heap as a multiple of the decoded text's size. The zlib and Zstandard
// decoders' own small working buffers are malloc'ed and not counted.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "benchsupport.h"
#include "packing.h"
#include "pdfsource.h"
#include "readfile.h"
#include "testfiles.h"

AIIMPORT_BENCH_TRACK_HEAP

namespace {

using namespace aiimport;
namespace fs = std::filesystem;

constexpr int TextMegabytes = 50;

fs::path CorpusDir() {
  if (const char* dir = std::getenv("AIIMPORT_CORPUS_DIR")) return dir;
  return fs::path(__FILE__).parent_path().parent_path().parent_path() / "shared" / "corpus";
}

// A one-page PDF whose /PieceInfo carries the metadata and the blocks, assembled by hand.
std::string IllustratorPdf(const std::string& meta, const std::string& data) {
  std::vector<std::string> blocks;
  for (std::size_t at = 0; at < data.size(); at += 65536)
    blocks.push_back(data.substr(at, 65536));
  std::string privateDict = "<< /AIMetaData 5 0 R";
  for (std::size_t i = 0; i < blocks.size(); ++i)
    privateDict += " /AIPrivateData" + std::to_string(i + 1) + " " + std::to_string(i + 6) + " 0 R";
  privateDict += " /NumBlock " + std::to_string(blocks.size()) + " >>";
  std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>",
                                      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] "
                                      "/PieceInfo << /Illustrator << /Private 4 0 R >> >> >>",
                                      privateDict};
  auto stream = [](const std::string& s) {
    return "<< /Length " + std::to_string(s.size()) + " >>\nstream\n" + s + "\nendstream";
  };
  objects.push_back(stream(meta));
  for (const std::string& b : blocks)
    objects.push_back(stream(b));

  return aiimport::testing::PdfFromObjects(objects, "1.5");
}

enum class Source {
  SyntheticPlain,
  SyntheticZlibPdf,
  SyntheticZstandardPdf,
  Ai24Pdf,
  Ai24Plain,
  Ai9Pdf,
  Ai9Plain,
};

struct Prepared {
  std::string File;  // empty: not available
  std::size_t TextBytes = 0;
};

// The synthetic files, made once and kept in the temp folder.
Prepared Synthetic(Source source) {
  const std::string plain = benchsupport::SyntheticFile(TextMegabytes);
  const std::size_t textBytes = static_cast<std::size_t>(fs::file_size(plain));
  if (source == Source::SyntheticPlain) return {plain, textBytes};
  const bool zlib = source == Source::SyntheticZlibPdf;
  const fs::path pdf =
      fs::temp_directory_path() / ("aiimport-synthetic-" + std::to_string(TextMegabytes) + "mb-" +
                                   (zlib ? "zlib" : "zstd") + ".ai");
  if (!fs::exists(pdf)) {
    const std::string text = testing::ReadWholeFile(plain);
    const std::size_t cut = text.find("%%EndComments\n") + 14;
    const std::string rest = text.substr(cut);
    benchsupport::WriteFileOnce(
        pdf, IllustratorPdf(text.substr(0, cut),
                            zlib ? "%AI12_CompressedData" + testing::Zlib(rest)
                                 : "%AI24_ZStandard_Data" + testing::ZstdFrame(rest)));
  }
  return {pdf.string(), textBytes};
}

// A corpus file, or its extracted text saved as a plain file in the temp folder.
Prepared Corpus(const std::string& name, bool plain) {
  const fs::path file = CorpusDir() / name;
  if (!fs::exists(file)) return {};
  const std::string bytes = testing::ReadWholeFile(file);
  const IllustratorData x = ExtractIllustratorText(bytes.data(), bytes.size());
  if (!x.Ok) return {};
  if (!plain) return {file.string(), x.Size};
  const fs::path text = fs::temp_directory_path() / ("aiimport-extracted-" + name + ".eps");
  if (!fs::exists(text)) benchsupport::WriteFileOnce(text, std::string(x.View()));
  return {text.string(), x.Size};
}

Prepared Prepare(Source source) {
  static std::map<Source, Prepared> cache;
  auto found = cache.find(source);
  if (found != cache.end()) return found->second;
  Prepared p;
  switch (source) {
    case Source::SyntheticPlain:
    case Source::SyntheticZlibPdf:
    case Source::SyntheticZstandardPdf:
      p = Synthetic(source);
      break;
    case Source::Ai24Pdf:
    case Source::Ai24Plain:
      p = Corpus("sindresorhus-fixture-without-pdf-compatibility.ai", source == Source::Ai24Plain);
      break;
    case Source::Ai9Pdf:
    case Source::Ai9Plain:
      p = Corpus("harvard-lts-fits-ai9.ai", source == Source::Ai9Plain);
      break;
  }
  cache[source] = p;
  return p;
}

void BM_ReadSourceFile(benchmark::State& state, Source source) {
  const Prepared p = Prepare(source);
  if (p.File.empty()) {
    state.SkipWithError("the shared corpus is not here (set AIIMPORT_CORPUS_DIR)");
    return;
  }
  Progress quiet;
  long long peak = 0;
  std::size_t paths = 0, lines = 0;
  for (auto _ : state) {
    PathModel store;
    const long long base = benchsupport::Current();
    benchsupport::TakePeak();
    const ReadResult r = ReadSourceFile(store, p.File, {}, quiet);
    if (r.Load.Status != LoadStatus::Loaded) {
      state.SkipWithError(r.Load.Message.c_str());
      return;
    }
    benchmark::DoNotOptimize(store.PathList.size());
    peak = benchsupport::TakePeak() - base;
    paths = store.PathList.size();
    lines = r.Lines;
  }
  const double text = static_cast<double>(p.TextBytes);
  state.SetBytesProcessed(static_cast<int64_t>(text) * state.iterations());
  state.counters["FileMB"] = static_cast<double>(fs::file_size(p.File)) / (1024.0 * 1024.0);
  state.counters["TextMB"] = text / (1024.0 * 1024.0);
  state.counters["PeakMB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
  state.counters["PeakXText"] = static_cast<double>(peak) / text;
  state.counters["Paths"] = static_cast<double>(paths);
  state.counters["Lines"] = static_cast<double>(lines);
}

// The extraction alone (PDF parsing, joining the blocks, decompression) on the synthetic PDFs.
void BM_ExtractOnly(benchmark::State& state, Source source) {
  const Prepared p = Prepare(source);
  const std::string bytes = testing::ReadWholeFile(p.File);
  long long peak = 0;
  for (auto _ : state) {
    const long long base = benchsupport::Current();
    benchsupport::TakePeak();
    const IllustratorData x = ExtractIllustratorText(bytes.data(), bytes.size());
    benchmark::DoNotOptimize(x.Size);
    peak = benchsupport::TakePeak() - base;
  }
  state.SetBytesProcessed(static_cast<int64_t>(p.TextBytes) * state.iterations());
  state.counters["PeakXText"] = static_cast<double>(peak) / static_cast<double>(p.TextBytes);
}

BENCHMARK_CAPTURE(BM_ReadSourceFile, synthetic_50mb_plain, Source::SyntheticPlain)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);
BENCHMARK_CAPTURE(BM_ReadSourceFile, synthetic_50mb_zlib_pdf, Source::SyntheticZlibPdf)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);
BENCHMARK_CAPTURE(BM_ReadSourceFile, synthetic_50mb_zstd_pdf, Source::SyntheticZstandardPdf)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);
BENCHMARK_CAPTURE(BM_ExtractOnly, synthetic_50mb_zlib_pdf, Source::SyntheticZlibPdf)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK_CAPTURE(BM_ExtractOnly, synthetic_50mb_zstd_pdf, Source::SyntheticZstandardPdf)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK_CAPTURE(BM_ReadSourceFile, corpus_ai24_plain, Source::Ai24Plain)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);
BENCHMARK_CAPTURE(BM_ReadSourceFile, corpus_ai24_pdf, Source::Ai24Pdf)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);
BENCHMARK_CAPTURE(BM_ReadSourceFile, corpus_ai9_plain, Source::Ai9Plain)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);
BENCHMARK_CAPTURE(BM_ReadSourceFile, corpus_ai9_pdf, Source::Ai9Pdf)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
