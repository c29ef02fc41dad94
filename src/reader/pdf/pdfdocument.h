// The PDF file as the page reader sees it, through qpdf: the first page (its box, rotation and
// content streams), the number of pages, and the resources its content refers to. Read as
// C++17 by pdfdocument.cpp (qpdf's object headers do not compile as C++20 with clang), so only
// plain types appear here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "pdfcontent.h"
#include "pdfresources.h"
#include "progress.h"

namespace aiimport {

enum class PdfOpenStatus : uint8_t {
  Opened,    // the first page was found
  Damaged,   // not a readable PDF file
  Password,  // it needs a password
  NoPages,   // it has no page
};

struct PdfFirstPage {
  int64_t Pages = 0;            // pages in the file
  bool HasBox = false;          // a usable CropBox or MediaBox
  float Box[4] = {0, 0, 0, 0};  // the CropBox, else the MediaBox: llx lly urx ury
  int Rotate = 0;               // 0, 90, 180 or 270 (clockwise, as shown)
  bool HasContents = false;     // /Contents names at least one stream
};

class PdfDocument {
 public:
  PdfDocument();
  ~PdfDocument();
  PdfDocument(const PdfDocument&) = delete;
  PdfDocument& operator=(const PdfDocument&) = delete;

  // Opens the PDF in `data` (kept, not copied: it must outlive the document) and finds its
  // first page. Throws std::bad_alloc when memory runs out. `progress` is polled (events, abort)
  // while streams are decoded later on.
  PdfOpenStatus Open(const char* data, std::size_t size, Progress& progress);
  const PdfFirstPage& FirstPage() const;

  // Sets `content` up to make the first page's content streams as they are read, one after
  // another with a line break between them (their stored bytes are taken now; see
  // StreamSegments). `damaged` when a stream could not be read or decoded (it is left out, or
  // kept up to where it broke); content that stops inflating part way marks `content` damaged
  // later. False when "Abort" was pressed.
  bool PreparePageContent(ContentBuffer& content, bool& damaged);

  // The resources of the first page's content.
  std::unique_ptr<PdfResources> PageResources();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace aiimport
