#include "pdfcolour.h"

#include <algorithm>
#include <cmath>

#include "pathunit.h"

namespace aiimport {

namespace {

// Stitching functions nest at most this deep when evaluated (the reader builds no deeper ones).
constexpr int MaxFunctionDepth = 8;
// Sampled functions interpolate over at most this many inputs; beyond, the sample below.
constexpr std::size_t MaxInterpolatedInputs = 4;

long double Clip(long double v, long double low, long double high) {
  if (!(v >= low)) return low;  // NaN too
  return v > high ? high : v;
}

long double Interpolate(long double x, long double xMin, long double xMax, long double yMin,
                        long double yMax) {
  if (xMax == xMin) return yMin;
  return yMin + (x - xMin) * (yMax - yMin) / (xMax - xMin);
}

float ToFloat(long double v) {
  // Values here are clipped to small ranges; the test keeps a hostile range finite.
  if (!std::isfinite(v)) return 0.0f;
  return static_cast<float>(Clip(v, -1e30L, 1e30L));
}

bool Evaluate(const PdfFunction& f, const std::vector<long double>& in,
              std::vector<long double>& out, int depth);

bool EvaluateSampled(const PdfFunction& f, const std::vector<long double>& in,
                     std::vector<long double>& out) {
  const std::size_t m = f.Size.size();
  const int n = f.Outputs;
  if (m == 0 || n <= 0 || in.size() < m || f.Encode.size() < 2 * m ||
      f.Decode.size() < 2 * static_cast<std::size_t>(n) || f.BitsPerSample < 1 ||
      f.BitsPerSample > 32)
    return false;
  // Where each input falls among the samples, and the weight of the sample above.
  std::vector<uint64_t> below(m), above(m);
  std::vector<long double> weight(m);
  for (std::size_t i = 0; i < m; ++i) {
    const long double x = Clip(in[i], f.Domain[2 * i], f.Domain[2 * i + 1]);
    const long double last = static_cast<long double>(f.Size[i]) - 1;
    const long double e = Clip(
        Interpolate(x, f.Domain[2 * i], f.Domain[2 * i + 1], f.Encode[2 * i], f.Encode[2 * i + 1]),
        0, last);
    const long double floorE = std::floor(e);
    below[i] = static_cast<uint64_t>(floorE);
    above[i] = std::min<uint64_t>(below[i] + 1, f.Size[i] - 1);
    weight[i] = e - floorE;
  }
  const std::size_t corners =
      m <= MaxInterpolatedInputs ? (std::size_t{1} << m) : 1;  // beyond: the sample below
  const long double sampleMax = std::ldexp(1.0L, f.BitsPerSample) - 1;
  out.assign(static_cast<std::size_t>(n), 0);
  for (std::size_t corner = 0; corner < corners; ++corner) {
    long double w = 1;
    uint64_t index = 0, stride = static_cast<uint64_t>(n);
    for (std::size_t i = 0; i < m; ++i) {
      const bool up = (corner >> i) & 1;
      w *= up ? weight[i] : 1 - weight[i];
      index += (up ? above[i] : below[i]) * stride;
      stride *= f.Size[i];
    }
    if (corners == 1) w = 1;
    if (w == 0) continue;
    for (int j = 0; j < n; ++j) {
      const uint64_t at = index + static_cast<uint64_t>(j);
      if (at >= f.Samples.size()) return false;
      out[static_cast<std::size_t>(j)] += w * static_cast<long double>(f.Samples[at]);
    }
  }
  for (int j = 0; j < n; ++j) {
    const auto k = static_cast<std::size_t>(j);
    long double r = Interpolate(out[k], 0, sampleMax, f.Decode[2 * k], f.Decode[2 * k + 1]);
    if (f.Range.size() >= 2 * k + 2) r = Clip(r, f.Range[2 * k], f.Range[2 * k + 1]);
    out[k] = r;
  }
  return true;
}

bool EvaluateExponential(const PdfFunction& f, const std::vector<long double>& in,
                         std::vector<long double>& out) {
  if (in.empty() || f.C0.size() != f.C1.size() || f.C0.empty()) return false;
  const long double x = f.Domain.size() >= 2 ? Clip(in[0], f.Domain[0], f.Domain[1]) : in[0];
  long double power;
  if (x == 0) {
    power = f.Exponent > 0 ? 0 : (f.Exponent == 0 ? 1 : -1);
    if (power < 0) return false;  // 0 to a negative power
  } else {
    if (x < 0 && f.Exponent != std::floor(f.Exponent)) return false;
    power = std::pow(x, f.Exponent);
  }
  if (!std::isfinite(power)) return false;
  out.resize(f.C0.size());
  for (std::size_t j = 0; j < f.C0.size(); ++j) {
    long double r = f.C0[j] + power * (f.C1[j] - f.C0[j]);
    if (f.Range.size() >= 2 * j + 2) r = Clip(r, f.Range[2 * j], f.Range[2 * j + 1]);
    if (!std::isfinite(r)) return false;
    out[j] = r;
  }
  return true;
}

bool EvaluateStitching(const PdfFunction& f, const std::vector<long double>& in,
                       std::vector<long double>& out, int depth) {
  const std::size_t k = f.Functions.size();
  if (in.empty() || k == 0 || f.Bounds.size() + 1 != k || f.Encode.size() < 2 * k ||
      f.Domain.size() < 2)
    return false;
  const long double x = Clip(in[0], f.Domain[0], f.Domain[1]);
  std::size_t i = 0;
  while (i < f.Bounds.size() && x >= f.Bounds[i])
    ++i;
  const long double low = i == 0 ? f.Domain[0] : f.Bounds[i - 1];
  const long double high = i == f.Bounds.size() ? f.Domain[1] : f.Bounds[i];
  const long double e = Interpolate(x, low, high, f.Encode[2 * i], f.Encode[2 * i + 1]);
  if (!f.Functions[i]) return false;
  if (!Evaluate(*f.Functions[i], {e}, out, depth + 1)) return false;
  for (std::size_t j = 0; j < out.size() && f.Range.size() >= 2 * j + 2; ++j)
    out[j] = Clip(out[j], f.Range[2 * j], f.Range[2 * j + 1]);
  return true;
}

bool Evaluate(const PdfFunction& f, const std::vector<long double>& in,
              std::vector<long double>& out, int depth) {
  if (depth > MaxFunctionDepth) return false;
  for (long double v : in)
    if (!std::isfinite(v)) return false;
  switch (f.Type) {
    case 0:
      return EvaluateSampled(f, in, out);
    case 2:
      return EvaluateExponential(f, in, out);
    case 3:
      return EvaluateStitching(f, in, out, depth);
    default:
      return false;
  }
}

// sRGB from CIE L*a*b*: the space's white point taken as D65 white, then the sRGB matrix and
// transfer curve.
void LabToRgb(long double l, long double a, long double b, float rgb[3]) {
  const long double fy = (l + 16) / 116;
  const long double fx = fy + a / 500;
  const long double fz = fy - b / 200;
  auto g = [](long double t) {
    constexpr long double d = 6.0L / 29.0L;
    return t > d ? t * t * t : 3 * d * d * (t - 4.0L / 29.0L);
  };
  // Relative to the white point: the space's white maps to sRGB white.
  const long double x = 0.9505L * g(fx), y = g(fy), z = 1.089L * g(fz);
  const long double lin[3] = {3.2406L * x - 1.5372L * y - 0.4986L * z,
                              -0.9689L * x + 1.8758L * y + 0.0415L * z,
                              0.0557L * x - 0.2040L * y + 1.0570L * z};
  for (int i = 0; i < 3; ++i) {
    const long double c = Clip(lin[i], 0, 1);
    const long double v = c <= 0.0031308L ? 12.92L * c : 1.055L * std::pow(c, 1 / 2.4L) - 0.055L;
    rgb[i] = ToFloat(Clip(v, 0, 1));
  }
}

// The components of a colour: n values.
struct Components {
  const long double* Values;
  std::size_t Count;
  long double operator[](std::size_t i) const { return i < Count ? Values[i] : 0.0L; }
};

TColor Convert(const ColourSpace& space, Components c, int depth);

TColor ConvertTinted(const ColourSpace& space, Components c, int depth) {
  if (!space.TintTransform || !space.Base) return 0;
  std::vector<long double> tints(static_cast<std::size_t>(space.Components), 1);
  for (std::size_t i = 0; i < tints.size() && i < c.Count; ++i)
    tints[i] = Clip(c[i], 0, 1);
  std::vector<long double> alternate;
  if (!EvaluateFunctions(*space.TintTransform, tints, alternate)) return 0;
  if (alternate.size() < static_cast<std::size_t>(space.Base->Components)) return 0;
  return Convert(*space.Base, {alternate.data(), alternate.size()}, depth + 1);
}

TColor Convert(const ColourSpace& space, Components c, int depth) {
  if (depth > 4) return 0;
  auto at = [&c](std::size_t i) { return c[i]; };
  switch (space.Family) {
    case ColourFamily::Gray: {
      const float g = ToFloat(Clip(at(0), 0, 1));
      return RgbToColor(g, g, g);
    }
    case ColourFamily::Rgb:
      return RgbToColor(ToFloat(Clip(at(0), 0, 1)), ToFloat(Clip(at(1), 0, 1)),
                        ToFloat(Clip(at(2), 0, 1)));
    case ColourFamily::Cmyk:
      return CmykToColor(ToFloat(Clip(at(0), 0, 1)), ToFloat(Clip(at(1), 0, 1)),
                         ToFloat(Clip(at(2), 0, 1)), ToFloat(Clip(at(3), 0, 1)));
    case ColourFamily::Lab: {
      float rgb[3];
      LabToRgb(Clip(at(0), 0, 100), Clip(at(1), space.LabRange[0], space.LabRange[1]),
               Clip(at(2), space.LabRange[2], space.LabRange[3]), rgb);
      return RgbToColor(rgb[0], rgb[1], rgb[2]);
    }
    case ColourFamily::Indexed: {
      if (!space.Base) return 0;
      const long double index = Clip(std::nearbyint(Clip(at(0), 0, 255)), 0, space.HighValue);
      const auto n = static_cast<std::size_t>(space.Base->Components);
      const std::size_t from = static_cast<std::size_t>(index) * n;
      std::vector<long double> base(n, 0);
      const bool lab = space.Base->Family == ColourFamily::Lab;
      for (std::size_t i = 0; i < n; ++i) {
        const long double byte =
            from + i < space.Lookup.size()
                ? static_cast<long double>(static_cast<unsigned char>(space.Lookup[from + i]))
                : 0;
        if (lab) {
          // The table spans each component's range.
          static constexpr long double LabLow[3] = {0, 0, 0};
          const long double low = i == 0 ? LabLow[0] : space.Base->LabRange[2 * (i - 1)];
          const long double high = i == 0 ? 100 : space.Base->LabRange[2 * (i - 1) + 1];
          base[i] = Interpolate(byte, 0, 255, low, high);
        } else {
          base[i] = byte / 255;
        }
      }
      return Convert(*space.Base, {base.data(), base.size()}, depth + 1);
    }
    case ColourFamily::Separation:
    case ColourFamily::DeviceN:
      return ConvertTinted(space, c, depth);
    case ColourFamily::Pattern:
      return 0;
  }
  return 0;
}

std::shared_ptr<const ColourSpace> MakeDevice(ColourFamily family, int components) {
  auto space = std::make_shared<ColourSpace>();
  space->Family = family;
  space->Components = components;
  return space;
}

}  // namespace

bool EvaluateFunctions(const PdfFunctionSet& set, const std::vector<long double>& inputs,
                       std::vector<long double>& outputs) {
  if (set.Functions.empty()) return false;
  if (set.Functions.size() == 1) {
    if (!set.Functions[0]) return false;
    std::vector<long double> out;
    if (!Evaluate(*set.Functions[0], inputs, out, 0)) return false;
    outputs = std::move(out);
    return true;
  }
  std::vector<long double> all;
  for (const auto& f : set.Functions) {
    std::vector<long double> out;
    if (!f || !Evaluate(*f, inputs, out, 0) || out.empty()) return false;
    all.push_back(out[0]);
  }
  outputs = std::move(all);
  return true;
}

std::shared_ptr<const ColourSpace> DeviceGraySpace() {
  return MakeDevice(ColourFamily::Gray, 1);
}

std::shared_ptr<const ColourSpace> DeviceRgbSpace() {
  return MakeDevice(ColourFamily::Rgb, 3);
}

std::shared_ptr<const ColourSpace> DeviceCmykSpace() {
  return MakeDevice(ColourFamily::Cmyk, 4);
}

int32_t InitialColour(const ColourSpace& space) {
  switch (space.Family) {
    case ColourFamily::Cmyk:
      return CmykToColor(0, 0, 0, 1);
    case ColourFamily::Separation:
    case ColourFamily::DeviceN:
      return ColourOfExtended(
          space, std::vector<long double>(static_cast<std::size_t>(space.Components), 1.0L));
    case ColourFamily::Lab:
    case ColourFamily::Indexed:
      return ColourOfExtended(space, std::vector<long double>(3, 0.0L));
    default:
      return 0;
  }
}

int32_t ColourOf(const ColourSpace& space, const float* components, int count) {
  long double c[32];
  const auto n = static_cast<std::size_t>(std::clamp(count, 0, 32));
  for (std::size_t i = 0; i < n; ++i)
    c[i] = components[i];
  return Convert(space, {c, n}, 0);
}

int32_t ColourOfExtended(const ColourSpace& space, const std::vector<long double>& components) {
  return Convert(space, {components.data(), components.size()}, 0);
}

}  // namespace aiimport
