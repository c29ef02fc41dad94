// The colour value every part of the program passes around.
#pragma once

#include <cstdint>

namespace aiimport {

// A colour value: red + 256 * green + 65536 * blue (0x00BBGGRR). 0x80000000 + n stands for the
// platform's system colour n.
using TColor = int32_t;

// The platform's system colours: 0 (scroll bar) to 24 (info background).
inline constexpr int SystemColorCount = 25;

constexpr TColor SystemColorValue(int n) {
  return static_cast<TColor>(0x80000000u + uint32_t(n));
}
constexpr bool IsSystemColorValue(TColor c) {
  return c < 0;
}
// The system colour a value stands for: its low byte.
constexpr int SystemColorIndex(TColor c) {
  return int(uint32_t(c) & 0xFFu);
}
constexpr TColor PackRgb(int red, int green, int blue) {
  return TColor(uint32_t(red & 0xFF) | uint32_t(green & 0xFF) << 8 | uint32_t(blue & 0xFF) << 16);
}
constexpr int RedOf(TColor c) {
  return int(uint32_t(c) & 0xFFu);
}
constexpr int GreenOf(TColor c) {
  return int(uint32_t(c) >> 8 & 0xFFu);
}
constexpr int BlueOf(TColor c) {
  return int(uint32_t(c) >> 16 & 0xFFu);
}

}  // namespace aiimport
