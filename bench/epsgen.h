// A deterministic generator of synthetic Illustrator-style EPS files of any size, for the
// benchmarks, the fuzzer's seeds and the tests. The files hold nested groups, compound paths
// with holes, lines and curves (c, v, y and their corner forms), CMYK, RGB, custom and grey
// fills and strokes, and a prolog that defines every operator, so that a PostScript
// interpreter can draw them too.
#pragma once

#include <cstdint>
#include <string>

namespace aiimport {

// Changes whenever the generator writes different bytes for the same options, so that files
// kept from an earlier version are not mistaken for current ones.
inline constexpr int SyntheticVersion = 3;

struct SyntheticOptions {
  uint64_t TargetBytes = 1 << 20;  // the file stops after the object that reaches this size
  uint32_t Seed = 1;
  bool CrLf = false;  // line ends CR LF instead of LF
};

// Appends a synthetic file to `out`. The same options always give the same bytes.
void AppendSyntheticEps(std::string& out, const SyntheticOptions& options);

inline std::string SyntheticEps(const SyntheticOptions& options) {
  std::string out;
  AppendSyntheticEps(out, options);
  return out;
}

}  // namespace aiimport
