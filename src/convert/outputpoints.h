// Output point generation: the chosen paths in the host's point form. Coordinates become
// integer micrometres, every cubic curve a short run of quadratic control points ending in a
// node, and the whole output is moved so that its smallest x and smallest y are 0.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "pathunit.h"
#include "progress.h"

namespace aiimport {

// A conversion that cannot give a sound host file: a coordinate outside the int32 range of the
// file, or a value that is not a finite number. Nothing is written after it.
class ImportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Micrometres per PostScript point (25.4 mm / 72), as float32: exactly 352.77777099609375.
inline constexpr float OutputScale = 352.77777f;

// R(v): OutputScale times v at extended precision, rounded to the nearest integer with halves
// to even. Throws ImportError when the result is not finite or does not fit in an int32.
int32_t OutputCoordinate(float v);

// Told when an input path has been converted, in input order: the conversion reads nothing of
// that path afterwards. The batch mode drops the source path there.
class ConvertedPathHook {
 public:
  virtual ~ConvertedPathHook() = default;
  virtual void PathConverted(std::size_t index) = 0;
};

// Fills output.OutputList with one output path per input path, in input order (the paths of the
// object tree in tree order), moves the output so that its smallest x and y are 0, sets every
// output path's box and output.OutputExtent, and shows the captions and the point count as the
// progress's status. `reduce` is "Reduce Nodes". Throws ImportError (see OutputCoordinate, and
// a shift that would leave the int32 range); OutputList is then incomplete and must not be
// written.
void GenerateOutputPoints(ConversionResult& output, std::span<const tpath* const> paths,
                          bool reduce, Progress& progress, ConvertedPathHook* converted = nullptr);

}  // namespace aiimport
