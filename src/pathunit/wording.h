// Numbers as the user reads them in phase texts, status texts and messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace aiimport {

// value in decimal with the separator between groups of three digits ("12,345").
std::string FormatCount(uint64_t value, std::string_view separator);

// bytes in kilobytes of 1024, rounded to the nearest, halves to even.
uint64_t RoundedKilobytes(uint64_t bytes);

// A size limit in words: "1 GB", "64 MB" when it is a whole number of them, else "N bytes".
std::string SizeWords(uint64_t bytes);

}  // namespace aiimport
