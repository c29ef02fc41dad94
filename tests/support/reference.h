// Plain forms of rules that the program carries out in a quicker way, for the tests to compare
// the two: each is written as the rule reads, without the program's shortcuts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pathunit.h"
#include "preview.h"

namespace aiimport::testing {

// The nesting depth of output path i: for each of its points, the number of the other paths of
// its compound that contain the point (PointInPath); the smallest count over its points,
// 2147483647 for a path without points. CorrectOrientation gets the same numbers through its
// box index.
int32_t NestingDepth(const std::vector<tdotpath>& outputList, std::size_t i);

// The render request of an integer value: any value without a name behaves as KeepExtent.
RenderRequest RenderRequestFromValue(int32_t value);

// The low 8 bits of RoundHalfEven(v), as RoundLow32 keeps the low 32.
uint32_t RoundLow8(long double v);

}  // namespace aiimport::testing
