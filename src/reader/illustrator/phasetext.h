// The texts of the progress dialog's label while a file is read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "wording.h"

namespace aiimport {

// "Parsing File     (" + kilobytes + " KB)": the size in kilobytes rounded, halves to even.
std::string ParsingPhaseText(uint64_t bytes, std::string_view separator);

// "Interpreting File    (" + lines + " Lines)".
std::string InterpretingPhaseText(uint64_t lines, std::string_view separator);

}  // namespace aiimport
