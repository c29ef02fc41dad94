// Deterministic generators of synthetic Illustrator-style EPS files of any size, for the
// benchmarks, the fuzzer's seeds and the tests. The files hold nested groups, compound paths
// with holes, lines and curves (c, v, y and their corner forms), CMYK, RGB, custom and grey
// fills and strokes, and a prolog that defines every operator, so that a PostScript
// interpreter can draw them too. Two shapes of drawing: many small objects, or few long paths.
#pragma once

#include <cstdint>
#include <string>

namespace aiimport {

// Changes whenever the generator writes different bytes for the same options, so that files
// kept from an earlier version are not mistaken for current ones.
inline constexpr int SyntheticVersion = 4;

// What the drawing is made of.
enum class SyntheticShape {
  // Many small objects: simple shapes, open strokes, compound paths with holes and clipping
  // outlines, in groups nested a few deep, with a new colour for most objects (the default).
  Objects,
  // Few, long paths as traced outlines and contour lines give them: closed outlines of 100 to
  // 6 000 segments (now and then more than a path can hold), long open polylines, compound
  // outlines with long holes, in groups nested up to 40 deep, in a handful of colours.
  LongPaths,
};

struct SyntheticOptions {
  uint64_t TargetBytes = 1 << 20;  // the file stops after the object that reaches this size
  uint32_t Seed = 1;
  bool CrLf = false;  // line ends CR LF instead of LF
  SyntheticShape Shape = SyntheticShape::Objects;
};

// Appends a synthetic file to `out`. The same options always give the same bytes.
void AppendSyntheticEps(std::string& out, const SyntheticOptions& options);

inline std::string SyntheticEps(const SyntheticOptions& options) {
  std::string out;
  AppendSyntheticEps(out, options);
  return out;
}

}  // namespace aiimport
