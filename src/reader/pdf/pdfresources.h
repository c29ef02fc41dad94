// What a page's content refers to by name (colour spaces, forms, images, shadings, patterns,
// optional content), as the page reader's interpreter asks for it. pdfdocument.cpp answers from
// the PDF file with qpdf; the tests may answer themselves. This header is read as C++17 by the
// file that uses qpdf's object headers (they do not compile as C++20 with clang), so it holds
// plain types only: colours are TColor values (0x00BBGGRR) as int32_t.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "pdfcolour.h"
#include "pdfcontent.h"

namespace aiimport {

// A PDF matrix [a b c d e f]: x' = a x + c y + e, y' = b x + d y + f.
struct PdfMatrix {
  long double A = 1, B = 0, C = 0, D = 1, E = 0, F = 0;
};

enum class XObjectKind : uint8_t { Missing, Image, Form, Other };

struct XObjectInfo {
  XObjectKind Kind = XObjectKind::Missing;
  uint64_t Id = 0;  // the object's identity, for the test of a form that draws itself
  PdfMatrix Matrix;
  bool HasBBox = false;
  float BBox[4] = {0, 0, 0, 0};  // the form's /BBox in its own space: llx lly urx ury
  bool Visible = true;           // its /OC is on (or it has none)
};

struct PatternInfo {
  bool Known = false;
  bool Uncoloured = false;  // its colour comes from the operands of scn
  int32_t Colour = 0;       // a shading pattern's first colour; black for tiling patterns
};

// The resources of one content stream (the page's or a form's).
class PdfResources {
 public:
  virtual ~PdfResources() = default;
  // The colour space of a cs/CS operand (a resource name, or a device space's name); none when
  // unknown.
  virtual std::shared_ptr<const ColourSpace> ColourSpaceNamed(std::string_view name) = 0;
  virtual XObjectInfo XObjectNamed(std::string_view name) = 0;
  // The content of the form XObject of that name, decoded into `content` (up to its limit),
  // and the resources its content sees; none when it is no form. `damaged` is set when the data
  // did not decode to the end.
  virtual std::unique_ptr<PdfResources> OpenForm(std::string_view name, ContentBuffer& content,
                                                 bool& damaged) = 0;
  // The first colour of the shading of that name; none when unknown.
  virtual std::optional<int32_t> ShadingColour(std::string_view name) = 0;
  virtual PatternInfo PatternNamed(std::string_view name) = 0;
  // Whether the optional content of the property list of that name is on (true when the name
  // is not an optional content group or membership dictionary).
  virtual bool OptionalContentVisible(std::string_view name) = 0;
};

}  // namespace aiimport
