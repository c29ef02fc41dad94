// The pieces of scripts/compare-with-ghostscript.sh, which measures how well the PDF page reader
// reads real files against Ghostscript's rendering of them:
//   pdfpage_compare fills IN.pdf OUT.pdf      the PDF with every stroke left unpainted (S, s
//                                             become n; B, B*, b, b* become fills), for
//                                             Ghostscript to render the filled areas only
//   pdfpage_compare dot IN.pdf OUT.dot        the page read by the page reader ("Flip_Vertical"
//                                             off, so that larger y is lower, as on a raster),
//                                             its filled paths imported with "Auto-Fix Holes"
//                                             into a DOT file; prints where the top left corner
//                                             of `aiimport --dot-svg`'s picture of it (margin
//                                             included) lies on the page, in points from the
//                                             page box's top left, and the reader's counts
//   pdfpage_compare iou PAGE.pgm DRAWING.pgm X Y [RADIUS]
//                                             intersection over union of the inked pixels
//                                             (darker than 250 of 255) of a page raster and a
//                                             drawing's raster laid on it at (X, Y), moved by
//                                             up to RADIUS pixels (3) each way for the best fit
//                                             (the reader's extent counts control points, the DOT
//                                             file's its own); prints it and the move
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "batch.h"
#include "pathcollector.h"
#include "pdfpage.h"
#include "testfiles.h"

namespace {

using namespace aiimport;

// Rewrites the painting operators of a content stream so that nothing is stroked.
class FillsOnly : public QPDFObjectHandle::TokenFilter {
 public:
  void handleToken(QPDFTokenizer::Token const& token) override {
    if (token.getType() == QPDFTokenizer::tt_word) {
      const std::string& v = token.getValue();
      if (v == "S" || v == "s") return write("n");
      if (v == "B") return write("f");
      if (v == "B*") return write("f*");
      if (v == "b") return write("h f");
      if (v == "b*") return write("h f*");
    }
    writeToken(token);
  }
};

int Fills(const char* in, const char* out) {
  QPDF pdf;
  pdf.processFile(in);
  std::vector<QPDFObjectHandle> streams;
  for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
    page.addContentTokenFilter(std::make_shared<FillsOnly>());
    QPDFObjectHandle xobjects = page.getAttribute("/Resources", false).getKey("/XObject");
    if (!xobjects.isDictionary()) continue;
    for (const std::string& key : xobjects.getKeys()) {
      QPDFObjectHandle x = xobjects.getKey(key);
      if (x.isFormXObject()) x.addTokenFilter(std::make_shared<FillsOnly>());
    }
  }
  QPDFWriter writer(pdf, out);
  writer.write();
  return 0;
}

int Dot(const char* in, const char* out) {
  const std::string bytes = testing::ReadWholeFile(in);
  PathModel model;
  PdfPageOptions options;
  options.FlipVertical = false;
  PathCollector collector(model);
  Progress quiet;
  const PdfPageResult r = ReadPdfPage(bytes.data(), bytes.size(), options, collector, quiet);
  if (!r.Ok) {
    std::cerr << in << ": " << r.Message << '\n';
    return 2;
  }
  const FloatRect page = model.ViewExtent;  // llx, -ury, urx, -lly
  // Filled paths only: strokes reach the DOT file without their width. Where they lie (y is
  // already negated: the smallest is the top).
  double minX = 1e300, minY = 1e300;
  for (tpath& p : model.PathList) {
    if (!p.Filled || p.Count() < 2) {
      p.Items.clear();
      continue;
    }
    for (const tbpoint& t : p.Items) {
      minX = std::min({minX, double{t.X1}, t.Kind == 2 ? double{t.X2} : minX,
                       t.Kind == 2 ? double{t.X3} : minX});
      minY = std::min({minY, double{t.Y1}, t.Kind == 2 ? double{t.Y2} : minY,
                       t.Kind == 2 ? double{t.Y3} : minY});
    }
  }
  ConversionResult output;
  const auto imported = ImportStartupPaths(model, output, ImportOptions{false, true}, out);
  if (!imported) {
    std::cerr << in << ": no filled paths\n";
    return 1;
  }
  // The DOT file starts at its smallest x and y (micrometres); --dot-svg adds a margin of a
  // fiftieth of the larger side around it.
  constexpr double MicrometresPerPoint = 25400.0 / 72.0;
  const int64_t side =
      std::max<int64_t>(std::max<int64_t>(output.OutputExtent.MaxX, output.OutputExtent.MaxY), 1);
  const double margin = static_cast<double>(std::max<int64_t>(side / 50, 1)) / MicrometresPerPoint;
  const double left = minX - page.MinX - margin;
  const double top = minY - page.MinY - margin;
  std::printf(
      "%.3f %.3f paths=%llu clipshapes=%llu clipped=%llu text=%llu images=%llu "
      "shadings=%llu hidden=%llu\n",
      left, top, static_cast<unsigned long long>(r.Paths),
      static_cast<unsigned long long>(r.ClipShapes),
      static_cast<unsigned long long>(r.ClippedPaths),
      static_cast<unsigned long long>(r.TextObjects), static_cast<unsigned long long>(r.Images),
      static_cast<unsigned long long>(r.Shadings), static_cast<unsigned long long>(r.HiddenPaths));
  return 0;
}

// A binary PGM (P5, 8 bits).
bool ReadPgm(const char* path, int& width, int& height, std::vector<unsigned char>& pixels) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maximum = 0;
  in >> magic >> width >> height >> maximum;
  in.get();
  if (magic != "P5" || width <= 0 || height <= 0 || maximum != 255) return false;
  pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  in.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
  return static_cast<bool>(in);
}

int Iou(const char* pagePath, const char* drawingPath, int x, int y, int radius) {
  int pw, ph, dw, dh;
  std::vector<unsigned char> page, drawing;
  if (!ReadPgm(pagePath, pw, ph, page) || !ReadPgm(drawingPath, dw, dh, drawing)) {
    std::cerr << "give two 8-bit PGM files\n";
    return 2;
  }
  auto iouAt = [&](int dx, int dy) {
    std::size_t both = 0, either = 0;
    for (int r = 0; r < ph; ++r) {
      for (int c = 0; c < pw; ++c) {
        const int dr = r - (y + dy), dc = c - (x + dx);
        const bool a = page[static_cast<std::size_t>(r) * pw + c] < 250;
        const bool b = dr >= 0 && dr < dh && dc >= 0 && dc < dw &&
                       drawing[static_cast<std::size_t>(dr) * dw + dc] < 250;
        both += a && b;
        either += a || b;
      }
    }
    // Ink of the drawing off the page counts against it too.
    for (int dr = 0; dr < dh; ++dr)
      for (int dc = 0; dc < dw; ++dc) {
        const int r = dr + y + dy, c = dc + x + dx;
        if ((r < 0 || r >= ph || c < 0 || c >= pw) &&
            drawing[static_cast<std::size_t>(dr) * dw + dc] < 250)
          ++either;
      }
    return either ? static_cast<double>(both) / static_cast<double>(either) : 1.0;
  };
  // A coarse search over the radius, then every position around the best one.
  double best = -1;
  int bestX = 0, bestY = 0;
  const int step = std::max(1, radius / 8);
  for (int dy = -radius; dy <= radius; dy += step)
    for (int dx = -radius; dx <= radius; dx += step)
      if (const double v = iouAt(dx, dy); v > best) best = v, bestX = dx, bestY = dy;
  const int cx = bestX, cy = bestY;
  for (int dy = cy - step; dy <= cy + step; ++dy)
    for (int dx = cx - step; dx <= cx + step; ++dx)
      if (const double v = iouAt(dx, dy); v > best) best = v, bestX = dx, bestY = dy;
  std::printf("%.4f %+d %+d\n", best, bestX, bestY);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  try {
    if (mode == "fills" && argc == 4) return Fills(argv[2], argv[3]);
    if (mode == "dot" && argc == 4) return Dot(argv[2], argv[3]);
    if (mode == "iou" && (argc == 6 || argc == 7))
      return Iou(argv[2], argv[3], std::stoi(argv[4]), std::stoi(argv[5]),
                 argc == 7 ? std::stoi(argv[6]) : 3);
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 2;
  }
  std::cerr << "usage: pdfpage_compare fills IN.pdf OUT.pdf | dot IN.pdf OUT.dot | "
               "iou PAGE.pgm DRAWING.pgm X Y [RADIUS]\n";
  return 2;
}
