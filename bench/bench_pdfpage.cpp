// The PDF page reader on a synthetic page of 100 MiB of decompressed content, stored as one
// Flate-compressed content stream: time and peak heap of ReadPdfPage into the path model.
// The content is what drawing programs write: q/Q blocks with cm, colours in the device spaces
// and in a named ICC space, paths of m l c v y h re painted with f f* S s B b, clipping paths
// (W n) with fills that cover them, a little text, a form drawn now and then, ExtGState
// changes. Speeds are MiB of decompressed content per second; PeakXContent is the peak heap of
// one reading (the PDF file's bytes included) as a multiple of the content's size.
//   BM_ReadPage/fast:           the reader as it is used (inflating on a second thread)
//   BM_ReadPage/single_thread:  everything on one thread
//   BM_ReadPage/qpdf_only:      every token through qpdf's tokenizer, one thread
//   BM_DecodeOnly:          qpdf opening the file, zlib inflating the content (a lower bound)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "benchsupport.h"
#include "packing.h"
#include "pathcollector.h"
#include "pdfdocument.h"
#include "pdfpage.h"
#include "testfiles.h"

AIIMPORT_BENCH_TRACK_HEAP

namespace {

using namespace aiimport;
namespace fs = std::filesystem;

constexpr int ContentMegabytes = 100;
constexpr int PageVersion = 3;  // raise when the generator changes

class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}
  // A coordinate with two decimals, as most producers write them.
  Writer& Number(double v) {
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 2);
    std::string_view text(buffer, static_cast<std::size_t>(r.ptr - buffer));
    while (text.find('.') != std::string_view::npos && (text.back() == '0' || text.back() == '.')) {
      const bool point = text.back() == '.';
      text.remove_suffix(1);
      if (point) break;
    }
    out_.append(text);
    out_.push_back(' ');
    return *this;
  }
  Writer& Op(std::string_view op) {
    out_.append(op);
    out_.push_back('\n');
    return *this;
  }

 private:
  std::string& out_;
};

// One closed outline around (cx, cy): 3 to 8 corners joined by lines and curves of every
// form (curves bulge like drawn arcs, handles a third of the way along the chord),
// anticlockwise or clockwise, ending on its start.
void Outline(Writer& w, std::mt19937& random, double cx, double cy, double radius, bool clockwise) {
  std::uniform_real_distribution<double> jitter(-0.1, 0.1);
  const int corners = 3 + static_cast<int>(random() % 6);
  constexpr double Pi = 3.14159265358979323846;
  double vx[9], vy[9];
  for (int i = 0; i < corners; ++i) {
    const double angle = (clockwise ? -2 : 2) * Pi * (i + jitter(random)) / corners;
    vx[i] = cx + radius * std::cos(angle);
    vy[i] = cy + radius * std::sin(angle);
  }
  vx[corners] = vx[0];
  vy[corners] = vy[0];
  w.Number(vx[0]).Number(vy[0]).Op("m");
  for (int i = 1; i <= corners; ++i) {
    const double x0 = vx[i - 1], y0 = vy[i - 1], x = vx[i], y = vy[i];
    // Handles a third along the chord, pushed outwards a little.
    const double bulge = 0.2 * (clockwise ? -1 : 1);
    const double nx = (y - y0) * bulge, ny = -(x - x0) * bulge;
    const double h1x = x0 + (x - x0) / 3 + nx, h1y = y0 + (y - y0) / 3 + ny;
    const double h2x = x0 + 2 * (x - x0) / 3 + nx, h2y = y0 + 2 * (y - y0) / 3 + ny;
    switch (random() % 5) {
      case 0:
      case 1:
        w.Number(x).Number(y).Op("l");
        break;
      case 2:
        w.Number(h2x).Number(h2y).Number(x).Number(y).Op("v");
        break;
      case 3:
        w.Number(h1x).Number(h1y).Number(x).Number(y).Op("y");
        break;
      default:
        w.Number(h1x).Number(h1y).Number(h2x).Number(h2y).Number(x).Number(y).Op("c");
        break;
    }
  }
  w.Op("h");
}

std::string SyntheticContent(std::size_t target, unsigned seed) {
  std::string s;
  s.reserve(target + 4096);
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> coordinate(0, 560), unit(0, 1);
  Writer w(s);
  std::size_t objects = 0;
  while (s.size() < target) {
    ++objects;
    const bool block = objects % 3 == 0;
    if (block) {
      w.Op("q");
      w.Number(1)
          .Number(0)
          .Number(0)
          .Number(1)
          .Number(coordinate(random) / 10)
          .Number(coordinate(random) / 10);
      w.Op("cm");
    }
    switch (objects % 4) {
      case 0:
        w.Number(unit(random)).Number(unit(random)).Number(unit(random)).Op("rg");
        break;
      case 1:
        w.Number(unit(random)).Number(unit(random)).Number(unit(random)).Number(unit(random));
        w.Op("k");
        break;
      case 2:
        s += "/CS0 cs ";
        w.Number(unit(random)).Number(unit(random)).Number(unit(random)).Op("scn");
        break;
      default:
        w.Number(unit(random)).Op("g");
        break;
    }
    if (objects % 50 == 0) s += "/GS0 gs\n";
    if (objects % 97 == 0) {
      // A clipping path and a rectangle filled through it.
      w.Op("q");
      w.Number(coordinate(random)).Number(coordinate(random)).Number(80).Number(60).Op("re");
      w.Op("W n");
      w.Number(0).Number(0).Number(600).Number(800).Op("re").Op("f");
      w.Op("Q");
    } else if (objects % 211 == 0) {
      s += "BT /F1 12 Tf 100 100 Td (Synthetic text) Tj ET\n";
    } else if (objects % 307 == 0) {
      s += "/Fm0 Do\n";
    } else {
      // One path object: an outline and, now and then, one or two holes in it.
      const int subs = 1 + static_cast<int>(objects % 7 == 0) + static_cast<int>(objects % 11 == 0);
      const double cx = 20 + coordinate(random), cy = 20 + coordinate(random) * 1.25;
      const double radius = 5 + 15 * unit(random);
      for (int sub = 0; sub < subs; ++sub)
        Outline(w, random, cx, cy, radius / (1 + sub), sub > 0);
      static constexpr std::string_view Paints[] = {"f", "f*", "S", "s", "B", "b", "f", "f"};
      w.Op(Paints[random() % 8]);
    }
    if (block) w.Op("Q");
  }
  return s;
}

// A one-page PDF around the content, assembled by hand: an ICC colour space (its profile is
// not read), an ExtGState, a font that is not embedded, and a small form.
std::string PagePdf(const std::string& content) {
  const std::string compressed = aiimport::testing::Zlib(content);
  const std::string form = "q 0.5 g 0 0 m 20 0 l 20 20 l h f 0 0 1 RG 0 0 m 20 20 l S Q\n";
  std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << "
      "/ColorSpace << /CS0 [/ICCBased 5 0 R] >> /ExtGState << /GS0 << /LW 1 >> >> "
      "/Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> "
      "/XObject << /Fm0 6 0 R >> >> >>",
      "<< /Length " + std::to_string(compressed.size()) + " /Filter /FlateDecode >>\nstream\n" +
          compressed + "\nendstream",
      "<< /N 3 /Length 0 >>\nstream\n\nendstream",
      "<< /Type /XObject /Subtype /Form /BBox [0 0 20 20] /Length " + std::to_string(form.size()) +
          " >>\nstream\n" + form + "\nendstream",
  };
  return aiimport::testing::PdfFromObjects(objects, "1.7");
}

struct Prepared {
  std::string File;
  std::size_t ContentBytes = 0;
};

// The synthetic page, written once into the temp folder.
const Prepared& Page() {
  static const Prepared page = [] {
    Prepared p;
    const fs::path path =
        fs::temp_directory_path() / ("aiimport-synthetic-page-v" + std::to_string(PageVersion) +
                                     "-" + std::to_string(ContentMegabytes) + "mb.pdf");
    const fs::path size = path.string() + ".content";
    std::error_code ec;
    if (!fs::exists(path, ec) || !fs::exists(size, ec)) {
      const std::string content =
          SyntheticContent(static_cast<std::size_t>(ContentMegabytes) << 20, 1);
      std::ofstream(size) << content.size();
      benchsupport::WriteFileOnce(path, PagePdf(content));
    }
    p.File = path.string();
    std::ifstream(size) >> p.ContentBytes;
    return p;
  }();
  return page;
}

// The file's bytes in one allocation of their size: part of what a reading's peak counts.
std::string ReadAll(const std::string& path) {
  std::string bytes(static_cast<std::size_t>(fs::file_size(path)), '\0');
  std::ifstream(path, std::ios::binary)
      .read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

enum class Way { Fast, SingleThread, QpdfOnly };

void BM_ReadPage(benchmark::State& state, Way way) {
  const Prepared& p = Page();
  Progress quiet;
  PdfPageOptions options;
  options.TokensThroughQpdfOnly = way == Way::QpdfOnly;
  options.SingleThread = way != Way::Fast;
  long long peak = 0;
  std::size_t paths = 0;
  for (auto _ : state) {
    const long long base = benchsupport::Current();
    benchsupport::TakePeak();
    PathModel model;
    {
      const std::string bytes = ReadAll(p.File);
      PathCollector collector(model);
      const PdfPageResult r = ReadPdfPage(bytes.data(), bytes.size(), options, collector, quiet);
      if (!r.Ok || r.Damaged) {
        state.SkipWithError(r.Message.c_str());
        return;
      }
    }
    peak = benchsupport::TakePeak() - base;
    paths = model.PathList.size();
  }
  const double content = static_cast<double>(p.ContentBytes);
  state.SetBytesProcessed(static_cast<int64_t>(content) * state.iterations());
  state.counters["ContentMB"] = content / (1024.0 * 1024.0);
  state.counters["FileMB"] = static_cast<double>(fs::file_size(p.File)) / (1024.0 * 1024.0);
  state.counters["PeakMB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
  state.counters["PeakXContent"] = static_cast<double>(peak) / content;
  state.counters["Paths"] = static_cast<double>(paths);
}

void BM_DecodeOnly(benchmark::State& state) {
  const Prepared& p = Page();
  const std::string bytes = ReadAll(p.File);
  Progress quiet;
  for (auto _ : state) {
    PdfDocument document;
    if (document.Open(bytes.data(), bytes.size(), quiet) != PdfOpenStatus::Opened) {
      state.SkipWithError("cannot open");
      return;
    }
    ContentBuffer content;
    bool damaged = false;
    document.PreparePageContent(content, damaged);
    while (content.Has(content.Size()))
      content.FreeBefore(content.Size());
    benchmark::DoNotOptimize(content.Size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(p.ContentBytes) * state.iterations());
}

// Time is wall-clock time: with two threads the CPU time of the process is more than it.
BENCHMARK_CAPTURE(BM_ReadPage, fast, Way::Fast)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadPage, single_thread, Way::SingleThread)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadPage, qpdf_only, Way::QpdfOnly)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime();
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
