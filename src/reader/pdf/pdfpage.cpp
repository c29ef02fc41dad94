#include "pdfpage.h"

#include <exception>
#include <new>

#include "pdfdocument.h"
#include "pdfdraw.h"
#include "pdfmessages.h"
#include "wording.h"

namespace aiimport {

namespace {

constexpr const char* NoPagesMessage = "This PDF file has no pages";
constexpr const char* EmptyPageMessage = "The first page of this PDF file has no content";

// Stored page content from which on its tokens are read on a second thread.
constexpr uint64_t AheadBytes = uint64_t{1} << 20;

// What takes the page's space to the drawing's: the page turned as /Rotate says (clockwise, as
// shown), its box keeping its lower left corner.
PdfMatrix RotationMatrix(int rotate, const float box[4]) {
  const long double x0 = box[0], y0 = box[1], x1 = box[2], y1 = box[3];
  switch (rotate) {
    case 90:
      return {0, -1, 1, 0, x0 - y0, y0 + x1};
    case 180:
      return {-1, 0, 0, -1, x0 + x1, y0 + y1};
    case 270:
      return {0, 1, -1, 0, x0 + y1, y0 - x0};
    default:
      return {};
  }
}

}  // namespace

PdfPageResult ReadPdfPage(const char* data, std::size_t size, const PdfPageOptions& options,
                          PathSink& sink, Progress& progress) {
  PdfPageResult result;
  progress.SetAbortRequested(false);
  BusyScope busy(progress);
  sink.BeginDrawing(StartViewExtent);
  try {
    PdfDocument document;
    switch (document.Open(data, size, progress)) {
      case PdfOpenStatus::Opened:
        break;
      case PdfOpenStatus::Password:
        result.Message = PasswordPdfMessage;
        return result;
      case PdfOpenStatus::NoPages:
        result.Message = NoPagesMessage;
        return result;
      case PdfOpenStatus::Damaged:
        result.Message = DamagedPdfMessage;
        return result;
    }
    const PdfFirstPage& page = document.FirstPage();
    result.Pages = page.Pages;
    PdfMatrix base;
    if (page.HasBox) {
      float box[4] = {page.Box[0], page.Box[1], page.Box[2], page.Box[3]};
      if (page.Rotate == 90 || page.Rotate == 270) {
        box[2] = box[0] + (page.Box[3] - page.Box[1]);
        box[3] = box[1] + (page.Box[2] - page.Box[0]);
      }
      base = RotationMatrix(page.Rotate, page.Box);
      // As %%BoundingBox sets it.
      sink.SetViewExtent({box[0], -box[3], box[2], -box[1]});
    }

    // One byte over the limit, so that reading, not the buffer, meets the limit first.
    auto content = std::make_unique<ContentBuffer>(OneOver(options.MaxContentBytes));
    bool damaged = false;
    if (!document.PreparePageContent(*content, damaged)) {
      sink.AbortDrawing();
      result.Aborted = true;
      return result;
    }
    if (damaged) {
      result.Damaged = true;
      result.Message = PdfDamagedContentMessage;
    } else if (!page.HasContents) {
      result.Message = EmptyPageMessage;
    }
    // A second thread reads ahead once there is more than a few pieces' worth of content.
    const bool ahead = !options.SingleThread && content->ProgressTotal() >= AheadBytes;
    std::unique_ptr<PdfResources> resources = document.PageResources();
    PageDrawer drawer(sink, progress, options, result, base);
    if (!resources || !drawer.DrawPage(std::move(content), *resources, ahead)) {
      sink.AbortDrawing();
      result.Aborted = true;
      result.Ok = false;
      return result;
    }
    result.Ok = true;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (...) {
    result.Ok = true;
    result.Damaged = true;
    if (result.Message.empty()) result.Message = DamagedPdfMessage;
  }
  if (progress.AbortRequested()) {
    sink.AbortDrawing();
    result.Aborted = true;
    result.Ok = false;
  }
  return result;
}

std::string PageReadingPhaseText(uint64_t bytes, std::string_view separator) {
  return "Reading Page     (" + FormatCount(RoundedKilobytes(bytes), separator) + " KB)";
}

}  // namespace aiimport
