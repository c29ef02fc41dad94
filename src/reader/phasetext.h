// The texts of the progress dialog's label while a file is read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace aiimport {

// value in decimal with the separator between groups of three digits ("12,345").
std::string FormatCount(uint64_t value, std::string_view separator);

// "Parsing File     (" + kilobytes + " KB)": the size in kilobytes rounded, halves to even.
std::string ParsingPhaseText(uint64_t bytes, std::string_view separator);

// "Interpreting File    (" + lines + " Lines)".
std::string InterpretingPhaseText(uint64_t lines, std::string_view separator);

}  // namespace aiimport
