// The page reader's interpreter: the operators of a content stream into paths on a PathSink.
// It knows nothing of the PDF file: colour spaces, forms, shadings, patterns and optional
// content are asked of a PdfResources (pdfresources.h). The rules are those of pdfpage.h.
#pragma once

#include <cfloat>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pathsink.h"
#include "pathunit.h"
#include "pdfcolour.h"
#include "pdfcontent.h"
#include "pdfpage.h"
#include "pdfresources.h"
#include "progress.h"

namespace aiimport {

// The largest magnitude a matrix entry may reach; a product beyond it is refused.
inline constexpr long double MaxMatrixEntry = 1e100L;

// m then ctm (what "m cm" does to the current matrix ctm): nothing when an entry of the product
// is not finite or beyond MaxMatrixEntry.
std::optional<PdfMatrix> Concatenate(const PdfMatrix& m, const PdfMatrix& ctm);

// A value in extended precision to float32: to nearest, halves to even; beyond float32's range
// the largest float32 of its sign; NaN 0.
inline float ToFloat32(long double v) {
  if (v > FLT_MAX) return FLT_MAX;
  if (v < -FLT_MAX) return -FLT_MAX;
  if (!(v == v)) return 0.0f;
  return static_cast<float>(v);
}

// A point through the matrix, in extended precision, then to float32 (ToFloat32).
inline FloatPoint Transform(const PdfMatrix& m, long double x, long double y) {
  return {ToFloat32(m.A * x + m.C * y + m.E), ToFloat32(m.B * x + m.D * y + m.F)};
}

// A painted path object as it goes to the sink: device points (y not yet flipped), its
// sub-paths with their painting codes, and its colours.
struct PdfSubPath {
  uint32_t Start = 0;   // index of its move in Points
  uint32_t Count = 0;   // points, the move included
  bool Closed = false;  // closed by h, s, b or b*
  char Code = 'f';      // painting code letter: f, s, S, b, B
};

struct PdfPathObject {
  std::vector<tbpoint> Points;
  std::vector<PdfSubPath> Subs;
  TColor Fill = 0, Stroke = 0;
  void Clear() {
    Points.clear();
    Subs.clear();
  }
};

// The messages the reader gives about a page's content.
extern const char* const PdfDamagedContentMessage;
std::string PdfContentTooLargeMessage(uint64_t limit);

class PageDrawer {
 public:
  // `base` takes the page's space to the drawing's (the page's /Rotate).
  PageDrawer(PathSink& sink, Progress& progress, const PdfPageOptions& options,
             PdfPageResult& result, const PdfMatrix& base);
  ~PageDrawer();
  PageDrawer(const PageDrawer&) = delete;
  PageDrawer& operator=(const PageDrawer&) = delete;

  // Reads the page's content into the sink (which must have begun its drawing) and finishes:
  // open groups are closed and every path is delivered. The bar follows the content's stored
  // bytes. With `ahead` the content's tokens are read on a second thread (ContentTokens).
  // Sets the result's ContentBytes and the notes on damage and limits. Returns false when
  // "Abort" was pressed.
  bool DrawPage(std::unique_ptr<ContentBuffer> content, PdfResources& resources, bool ahead);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace aiimport
