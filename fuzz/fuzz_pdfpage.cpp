// libFuzzer target: the PDF page reader. Bytes that start with "%PDF" (and are of even length)
// are read as a whole PDF file; all others are the content stream of a page whose resources
// hold colour spaces of every kind, forms (one of them drawing itself), optional content (one
// group off), a shading and a pattern. Every reading is done twice, with the direct reading of
// plain tokens and with qpdf's tokenizer alone: the drawings must be the same. Every point must
// be finite, and a page that is not read must come with a reason.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "pathcollector.h"
#include "pathunit.h"
#include "pdfpage.h"
#include "progress.h"
#include "testfiles.h"

namespace {

std::string Stream(const std::string& dict, const std::string& data) {
  return "<< " + dict + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
         "\nendstream";
}

std::string PageAround(const std::string& content) {
  const std::string shading =
      "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 1 0] /Function << /FunctionType 2 "
      "/Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> >>";
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R /OCProperties << /OCGs [7 0 R 8 0 R] /D << /OFF [7 0 R] "
      ">> >> >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources 5 0 R >>",
      Stream("", content),
      "<< /ColorSpace << /CS0 [/ICCBased 6 0 R] /Sep [/Separation /S /DeviceCMYK << "
      "/FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [0 1 0 0] /N 1 >>] /Ix [/Indexed "
      "/DeviceRGB 1 <FF000000FF00>] /Lab [/Lab << /WhitePoint [0.95 1 1.09] >>] /DN [/DeviceN "
      "[/A /B] /DeviceGray << /FunctionType 2 /Domain [0 1 0 1] /C0 [0] /C1 [1] /N 2 >>] /Pat "
      "[/Pattern /DeviceRGB] >> /XObject << /Fm 9 0 R /Self 10 0 R /Hidden 11 0 R >> /Properties "
      "<< /Off 7 0 R /On 8 0 R /Md << /Type /OCMD /OCGs [7 0 R 8 0 R] /P /AllOn >> >> /Shading "
      "<< /Sh " +
          shading + " >> /Pattern << /P0 << /PatternType 2 /Shading " + shading +
          " >> /T0 << /PatternType 1 /PaintType 2 >> >> >>",
      Stream("/N 3", "x"),
      "<< /Type /OCG /Name (Off) >>",
      "<< /Type /OCG /Name (On) >>",
      Stream("/Subtype /Form /BBox [0 0 100 100] /Matrix [1 0 0 1 5 5]",
             "q 1 0 0 rg 0 0 m 10 0 l 10 10 l h f 0 0 5 5 re S Q"),
      Stream("/Subtype /Form /BBox [0 0 50 50] /Resources << /XObject << /Self 10 0 R >> >>",
             "0 0 m 1 1 l S /Self Do"),
      Stream("/Subtype /Form /BBox [0 0 50 50] /OC 7 0 R", "0 0 m 1 1 l 2 0 l f"),
  };
  return aiimport::testing::PdfFromObjects(objects, "1.7");
}

struct Reading {
  aiimport::PathModel Model;
  aiimport::PdfPageResult Result;
};

void Read(const std::string& pdf, bool qpdfOnly, Reading& r) {
  aiimport::PdfPageOptions options;
  // Forms drawn over and over multiply the content read: a smaller limit than the reader's
  // 1 GiB keeps each input quick.
  options.MaxContentBytes = uint64_t{8} << 20;
  options.TokensThroughQpdfOnly = qpdfOnly;
  options.FlipVertical = (pdf.size() & 2) != 0;
  aiimport::PathCollector collector(r.Model);
  aiimport::Progress quiet;
  r.Result = aiimport::ReadPdfPage(pdf.data(), pdf.size(), options, collector, quiet);
}

bool Finite(const aiimport::tbpoint& p) {
  return std::isfinite(p.X1) && std::isfinite(p.Y1) && std::isfinite(p.X2) && std::isfinite(p.Y2) &&
         std::isfinite(p.X3) && std::isfinite(p.Y3);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const bool whole = size % 2 == 0 && bytes.compare(0, 4, "%PDF") == 0;
  const std::string pdf = whole ? bytes : PageAround(bytes);

  Reading fast, slow;
  Read(pdf, false, fast);
  Read(pdf, true, slow);

  if (!fast.Result.Ok && fast.Result.Message.empty()) __builtin_trap();
  if (fast.Result.Ok != slow.Result.Ok || fast.Result.Message != slow.Result.Message ||
      fast.Result.ContentBytes != slow.Result.ContentBytes ||
      fast.Model.PathList.size() != slow.Model.PathList.size())
    __builtin_trap();
  for (std::size_t i = 0; i < fast.Model.PathList.size(); ++i) {
    const aiimport::tpath &a = fast.Model.PathList[i], &b = slow.Model.PathList[i];
    if (!(a.Items == b.Items) || a.FillColor != b.FillColor || a.LineColor != b.LineColor ||
        a.GroupLevel != b.GroupLevel || a.CompoundNo != b.CompoundNo || a.Filled != b.Filled ||
        a.Closed != b.Closed)
      __builtin_trap();
    for (const aiimport::tbpoint& p : a.Items)
      if (!Finite(p)) __builtin_trap();
  }
  return 0;
}
