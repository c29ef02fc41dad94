// Float-to-integer conversions. Every conversion of a float32 or extended value to an integer
// goes through these helpers: they round to the nearest integer with halves to the even
// neighbour whatever the floating-point environment says, and they are defined for every
// input (NaN, infinities and values far outside the target range included).
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

namespace aiimport {

// The nearest integer to v, halves to even, as an exact long double. NaN and infinities come
// back unchanged.
long double RoundHalfEven(long double v);

// RoundHalfEven(v) when it fits in an int32; nothing for NaN, infinities and values outside
// -2147483648 .. 2147483647.
std::optional<int32_t> RoundToInt32(long double v);

// RoundHalfEven(v) kept within int32: NaN gives 0, values beyond the range its nearer end. The
// rule for pixel coordinates and screen sizes, where a far-off value only has to stay off the
// screen.
int32_t RoundSaturated(long double v);

// v limited to the int32 range.
constexpr int32_t ClampToInt32(int64_t v) {
  return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v));
}

// The low 32 bits (two's complement) of the exact integer RoundHalfEven(v), however large it
// is. NaN and infinities give 0. Used where the stored value keeps only the low bits of the
// integer (colour bytes, the orientation test's control polygon).
int32_t RoundLow32(long double v);

// Whether this thread's processor conversions of a double to an integer round to nearest with
// halves to even: the processor's default, which this program never changes. Each thread has
// its own setting, so a thread asks for itself.
inline bool ConversionsRoundToNearest() {
#if defined(__SSE2__)
  return (_mm_getcsr() & 0x6000u) == 0;  // the rounding-control bits of MXCSR
#else
  return false;
#endif
}

// Whether this thread's extended-precision (x87) conversions round to nearest with halves to
// even: the processor's default, which this program never changes.
inline bool ExtendedConversionsRoundToNearest() {
#if defined(__x86_64__) || defined(__i386__)
  unsigned short control = 0;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  return (control & 0x0C00u) == 0;  // the rounding-control bits of the x87 control word
#else
  return false;
#endif
}

// RoundSaturated(v), in one processor conversion when v lies inside the int32 range and the
// thread rounds to nearest (the pixel mapping of the preview calls it for every point).
inline int32_t RoundSaturatedQuick(long double v) {
  if (v > -2147483648.5L && v < 2147483647.5L && ExtendedConversionsRoundToNearest()) {
#if defined(__x86_64__) || defined(__i386__)
    // What lrintl does, without the call: the x87 store rounds by the control word's mode.
    long long rounded = 0;
    __asm__("fistpll %0" : "=m"(rounded) : "t"(v) : "st");
    return static_cast<int32_t>(rounded);
#else
    return static_cast<int32_t>(std::lrint(v));
#endif
  }
  return RoundSaturated(v);
}

// RoundHalfEven(v) as an int32 in one processor conversion, for -2147483648.5 <= v <
// 2147483647.5 and only where ConversionsRoundToNearest() holds.
inline int32_t ConvertToNearest(double v) {
#if defined(__SSE2__)
  return _mm_cvtsd_si32(_mm_set_sd(v));
#else
  return static_cast<int32_t>(RoundHalfEven(v));
#endif
}

// RoundLow32 for a value that a double holds exactly (a float32 times a small integer, for
// example): the same result, quicker in the common range, and without branches on the fraction.
inline int32_t RoundLow32Exact(double v) {
  if (v > -4.0e18 && v < 4.0e18) {
    int64_t t = static_cast<int64_t>(v);
    const double fraction = v - static_cast<double>(t);  // exact
    const int64_t odd = t & 1;
    t += static_cast<int64_t>(fraction > 0.5) | (static_cast<int64_t>(fraction == 0.5) & odd);
    t -= static_cast<int64_t>(fraction < -0.5) | (static_cast<int64_t>(fraction == -0.5) & odd);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(t)));
  }
  return RoundLow32(static_cast<long double>(v));
}

}  // namespace aiimport
