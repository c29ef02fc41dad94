#include "phasetext.h"

namespace aiimport {

std::string ParsingPhaseText(uint64_t bytes, std::string_view separator) {
  return "Parsing File     (" + FormatCount(RoundedKilobytes(bytes), separator) + " KB)";
}

std::string InterpretingPhaseText(uint64_t lines, std::string_view separator) {
  return "Interpreting File    (" + FormatCount(lines, separator) + " Lines)";
}

}  // namespace aiimport
