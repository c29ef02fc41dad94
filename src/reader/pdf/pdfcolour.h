// PDF colour spaces as the page reader needs them: how many components a colour has, where it
// starts, and the colour value (0x00BBGGRR, a TColor) it gives, mapped as RgbToColor and
// CmykToColor map Illustrator's colours. The PDF objects are turned into these records by
// pdfdocument.cpp; nothing here knows qpdf. (This header is also read as C++17 by that file.)
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace aiimport {

// A PDF function (types 0, 2 and 3) evaluated in extended precision. Type 4 (PostScript
// calculator) functions are not evaluated: a colour that needs one is black.
struct PdfFunction {
  int Type = -1;                    // 0 sampled, 2 exponential, 3 stitching; else unknown
  std::vector<long double> Domain;  // 2 x inputs
  std::vector<long double> Range;   // 2 x outputs (required for type 0, optional else)
  // Type 2
  std::vector<long double> C0, C1;
  long double Exponent = 1;
  // Type 3
  std::vector<std::shared_ptr<const PdfFunction>> Functions;
  std::vector<long double> Bounds;
  std::vector<long double> Encode;  // type 0 and 3: 2 x inputs (type 0) or 2 x functions (3)
  // Type 0
  std::vector<uint32_t> Size;       // samples along each input
  std::vector<long double> Decode;  // 2 x outputs
  std::vector<uint32_t> Samples;    // every sample, the first input varying fastest
  int BitsPerSample = 8;
  int Outputs = 0;
};

// A tint transform or a shading's colour function: one function of all inputs, or one function
// per output (each of all inputs, one output).
struct PdfFunctionSet {
  std::vector<std::shared_ptr<const PdfFunction>> Functions;
};

// Evaluates the set at `inputs`; false (outputs unchanged) when it cannot be evaluated. Every
// input and output is clipped to the function's domain and range.
bool EvaluateFunctions(const PdfFunctionSet& set, const std::vector<long double>& inputs,
                       std::vector<long double>& outputs);

enum class ColourFamily : uint8_t {
  Gray,        // DeviceGray, CalGray, ICCBased with one component
  Rgb,         // DeviceRGB, CalRGB, ICCBased with three
  Cmyk,        // DeviceCMYK, ICCBased with four
  Lab,         // CIE L*a*b*
  Indexed,     // a colour table over a base space
  Separation,  // one tint through the alternate space
  DeviceN,     // n tints through the alternate space
  Pattern,     // a pattern name, with the underlying space of uncoloured patterns
};

struct ColourSpace {
  ColourFamily Family = ColourFamily::Gray;
  int Components = 1;  // operands of sc and scn (Pattern: those of the underlying space)
  // Lab: the ranges of a* and b* (the white point is taken as sRGB's white).
  std::array<long double, 4> LabRange{-100, 100, -100, 100};
  // Indexed: the highest index and the table (Base->Components bytes per entry).
  int HighValue = 0;
  std::string Lookup;
  // Indexed: the base space; Separation and DeviceN: the alternate space; Pattern: the
  // underlying space (none for coloured patterns).
  std::shared_ptr<const ColourSpace> Base;
  // Separation and DeviceN: the tint transform (none when it cannot be evaluated).
  std::shared_ptr<const PdfFunctionSet> TintTransform;
};

// The colour spaces every reading starts from.
std::shared_ptr<const ColourSpace> DeviceGraySpace();
std::shared_ptr<const ColourSpace> DeviceRgbSpace();
std::shared_ptr<const ColourSpace> DeviceCmykSpace();

// The colour that setting `space` starts with (black for the device spaces, full tint for
// Separation and DeviceN, index 0 for Indexed).
int32_t InitialColour(const ColourSpace& space);

// The colour of `components` (as many as space.Components) in `space`: each clipped to its
// range, Gray as RgbToColor(g, g, g), RGB as RgbToColor, CMYK as CmykToColor, Lab through sRGB,
// Indexed through its table, Separation and DeviceN through the tint transform and the
// alternate space (black when the transform cannot be evaluated). Pattern spaces give black.
int32_t ColourOf(const ColourSpace& space, const float* components, int count);
// The same from extended values (what functions give).
int32_t ColourOfExtended(const ColourSpace& space, const std::vector<long double>& components);

}  // namespace aiimport
