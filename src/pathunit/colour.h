// The colour value every part of the program passes around.
#pragma once

#include <cstdint>

namespace aiimport {

// A colour value: red + 256 * green + 65536 * blue (0x00BBGGRR). 0x80000000 + n stands for the
// platform's system colour n.
using TColor = int32_t;

}  // namespace aiimport
