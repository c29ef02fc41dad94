#include "numeric.h"

#include <cmath>

namespace aiimport {

long double RoundHalfEven(long double v) {
  if (!std::isfinite(v)) return v;
  if (v > -4.0e18L && v < 4.0e18L) {
    // Within int64: truncate, then look at the exact fraction.
    int64_t t = static_cast<int64_t>(v);
    const long double fraction = v - static_cast<long double>(t);  // exact, in (-1, 1)
    if (fraction > 0.5L || (fraction == 0.5L && (t & 1) != 0)) ++t;
    if (fraction < -0.5L || (fraction == -0.5L && (t & 1) != 0)) --t;
    return static_cast<long double>(t);
  }
  long double whole = std::floor(v);
  const long double fraction = v - whole;  // exact: the fraction of a float is representable
  if (fraction > 0.5L || (fraction == 0.5L && std::fmod(whole, 2.0L) != 0.0L)) whole += 1.0L;
  return whole;
}

std::optional<int32_t> RoundToInt32(long double v) {
  const long double r = RoundHalfEven(v);
  if (!(r >= -2147483648.0L && r <= 2147483647.0L)) return std::nullopt;  // also NaN
  return static_cast<int32_t>(r);
}

int32_t RoundSaturated(long double v) {
  if (const std::optional<int32_t> r = RoundToInt32(v)) return *r;
  if (std::isnan(v)) return 0;
  return v > 0 ? INT32_MAX : INT32_MIN;
}

int32_t RoundLow32(long double v) {
  const long double r = RoundHalfEven(v);
  if (!std::isfinite(r)) return 0;
  if (r > -4.0e18L && r < 4.0e18L)
    return static_cast<int32_t>(
        static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(r))));
  long double m = std::fmod(r, 4294967296.0L);  // exact
  if (m < 0.0L) m += 4294967296.0L;
  return static_cast<int32_t>(static_cast<uint32_t>(m));
}

}  // namespace aiimport
