// The PDF page reader: the drawing of a PDF file's first page, read from its content streams
// with qpdf, delivered as paths through the same sink as the Illustrator reader. For PDF files
// without Illustrator's own data (plain PDF, PDF saved as .ai) and for other programs' EPS once
// Ghostscript has made a PDF of it.
//
// What a page becomes:
// - Path objects (m l c v y h re, painted with f F f* S s B B* b b*) become paths: filled and
//   stroked as the painting operator says, closed when the sub-path was closed (h, s, b, b*),
//   when it ends where it starts, or when it is only filled. A path object of several sub-paths
//   is a compound path (one compound number, each sub-path its own path).
// - A q ... Q block or a form XObject that paints two or more paths is a group.
// - Every point goes through the whole current matrix (q/Q, cm, the forms' /Matrix, the page's
//   /Rotate): computed in extended precision, kept as float32, y times the flip factor.
// - Colours: g G rg RG k K, cs CS sc scn SC SCN in the device spaces, ICCBased by its number of
//   components, CalGray, CalRGB, Lab, Indexed, Separation and DeviceN through their alternate
//   space (functions of type 0, 2 and 3; otherwise black), patterns as the first colour of
//   their shading (black for tiling patterns).
// - Clipping: a clipping path is not painted. A fill that covers a clipping path (the same
//   outline, or a convex outline around all of it), and a shading (sh) painted through a clip,
//   stand for the clipping path filled in their colour: the clipping path is imported. Other art
//   drawn through a clip that cuts it is imported unclipped and counted.
// - Text, images (XObjects and inline), shadings without a clip are not imported, and counted.
// - Optional content that is off in the document's default configuration (marked content
//   /OC /name BDC ... EMC, form XObjects with /OC) is not drawn; its paths are counted.
// - Units are PDF points, y up; the view extent is the page's CropBox (else MediaBox), set as
//   %%BoundingBox sets it.
//
// Numbers: an operand is the nearest float32 of its decimal text. An operand beyond float32's
// range, a missing operand or an operand of the wrong kind makes the operator do nothing. A cm
// (or a form /Matrix) whose product with the current matrix would have an entry beyond 1e100
// in magnitude, or a non-finite one, is ignored. A point whose transformed coordinate is beyond
// float32's range is held at the largest float32 of its sign. So every point is finite.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "pathsink.h"
#include "progress.h"

namespace aiimport {

struct PdfPageOptions {
  bool FlipVertical = true;  // "Flip_Vertical" checked: y as read; unchecked: every y negated
  // Bounds for hostile files.
  uint64_t MaxContentBytes = uint64_t{1} << 30;  // decoded content of the page and its forms
  int MaxFormDepth = 32;                         // forms inside forms
  int MaxSaveDepth = 65536;                      // q inside q (deeper ones are counted only)
  // Every token through qpdf's tokenizer (slower; the tests compare it with the usual way).
  bool TokensThroughQpdfOnly = false;
  // A large page's stored content is inflated on a second thread, a few pieces ahead of the
  // reading; this keeps it on the reading thread. The result is the same.
  bool SingleThread = false;
};

struct PdfPageResult {
  bool Ok = false;            // a page was read: all of it, or up to damage (Damaged)
  bool Aborted = false;       // "Abort" was pressed: nothing was kept
  bool Damaged = false;       // something could not be read; what came before it was
  std::string Message;        // why not, or what was wrong, in plain words (empty when all is well)
  int64_t Pages = 0;          // pages in the file (the first one is read)
  uint64_t ContentBytes = 0;  // decoded content read (the page's and its forms')

  uint64_t Paths = 0;  // path objects imported

  // Not imported.
  uint64_t TextObjects = 0;   // BT ... ET
  uint64_t Images = 0;        // image XObjects and inline images
  uint64_t Shadings = 0;      // sh outside any clip
  uint64_t ClippedPaths = 0;  // art drawn through a clip that cuts it, imported unclipped
  uint64_t HiddenPaths = 0;   // path objects in optional content that is off
  // Imported in another form: fills and shadings drawn through a clip, imported as the clip.
  uint64_t ClipShapes = 0;
  uint64_t SkippedForms = 0;  // forms not drawn: nested too deep, or drawing themselves
};

// Reads the first page of the PDF file in `data` into the sink (a new drawing). Progress: the
// phase text "Reading Page (n KB)" and the bar by content bytes when the progress has a bar,
// the status text, the event pump and the abort test every 64 KiB of content; an abort leaves
// nothing of the drawing. Throws std::bad_alloc when memory runs out, and nothing else.
PdfPageResult ReadPdfPage(const char* data, std::size_t size, const PdfPageOptions& options,
                          PathSink& sink, Progress& progress);

// "Reading Page     (" + kilobytes + " KB)": the decoded content in kilobytes, rounded with
// halves to even.
std::string PageReadingPhaseText(uint64_t bytes, std::string_view separator);

}  // namespace aiimport
