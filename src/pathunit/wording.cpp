#include "wording.h"

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

uint64_t RoundedKilobytes(uint64_t bytes) {
  uint64_t kilobytes = bytes / 1024;
  const uint64_t rest = bytes % 1024;
  if (rest > 512 || (rest == 512 && kilobytes % 2 == 1)) ++kilobytes;
  return kilobytes;
}

std::string SizeWords(uint64_t bytes) {
  if (bytes >= (uint64_t{1} << 30) && bytes % (uint64_t{1} << 30) == 0)
    return std::to_string(bytes >> 30) + " GB";
  if (bytes >= (uint64_t{1} << 20) && bytes % (uint64_t{1} << 20) == 0)
    return std::to_string(bytes >> 20) + " MB";
  return std::to_string(bytes) + " bytes";
}

}  // namespace aiimport
