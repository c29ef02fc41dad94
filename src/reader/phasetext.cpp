#include "phasetext.h"

namespace aiimport {

std::string FormatCount(uint64_t value, std::string_view separator) {
  const std::string digits = std::to_string(value);
  std::string out;
  out.reserve(digits.size() + digits.size() / 3 * separator.size());
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
    out += digits[i];
  }
  return out;
}

std::string ParsingPhaseText(uint64_t bytes, std::string_view separator) {
  uint64_t kilobytes = bytes / 1024;
  const uint64_t rest = bytes % 1024;
  if (rest > 512 || (rest == 512 && kilobytes % 2 == 1)) ++kilobytes;
  return "Parsing File     (" + FormatCount(kilobytes, separator) + " KB)";
}

std::string InterpretingPhaseText(uint64_t lines, std::string_view separator) {
  return "Interpreting File    (" + FormatCount(lines, separator) + " Lines)";
}

}  // namespace aiimport
