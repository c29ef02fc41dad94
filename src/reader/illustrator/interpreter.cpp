#include "interpreter.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "numeric.h"
#include "operators.h"
#include "parallel.h"
#include "phasetext.h"

namespace aiimport {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Whether a token whose value is outside the float32 range is too small (it rounds to zero)
// rather than too large: the decimal exponent of its first significant digit is negative.
bool IsTooSmall(std::string_view token) {
  std::size_t i = token.size() && token[0] == '-' ? 1 : 0;
  int64_t leadingIntDigits = 0, zerosAfterPoint = 0;
  bool seenNonZero = false, inFraction = false;
  for (; i < token.size() && token[i] != 'e'; ++i) {
    const char c = token[i];
    if (c == '.') {
      inFraction = true;
    } else if (!seenNonZero && c == '0') {
      if (inFraction) ++zerosAfterPoint;
    } else {
      seenNonZero = true;
      if (!inFraction) ++leadingIntDigits;
    }
  }
  int64_t exponent = 0;
  if (i < token.size()) {
    ++i;
    const bool negative = i < token.size() && token[i] == '-';
    if (negative) ++i;
    for (; i < token.size(); ++i) {
      if (exponent < 1000000000) exponent = exponent * 10 + (token[i] - '0');
    }
    if (negative) exponent = -exponent;
  }
  const int64_t magnitude =
      (leadingIntDigits > 0 ? leadingIntDigits - 1 : -zerosAfterPoint - 1) + exponent;
  return magnitude < 0;
}

bool IsWellFormedNumber(std::string_view t) {
  std::size_t i = 0;
  if (i < t.size() && t[i] == '-') ++i;
  std::size_t digits = 0;
  while (i < t.size() && IsDigit(t[i]))
    ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && IsDigit(t[i]))
      ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && t[i] == 'e') {
    ++i;
    if (i < t.size() && t[i] == '-') ++i;
    std::size_t expDigits = 0;
    while (i < t.size() && IsDigit(t[i]))
      ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  return i == t.size();
}

// Whether two blanks stand side by side; eight bytes at a time.
inline bool HasDoubleBlank(std::string_view text) {
  const std::size_t n = text.size();
  if constexpr (std::endian::native == std::endian::little) {
    if (n >= 8) {
      constexpr uint64_t Blanks = 0x2020202020202020ull, Low7 = 0x7F7F7F7F7F7F7F7Full;
      auto blanks = [&](std::size_t at) {  // 0x80 in each blank byte of the word at `at`
        uint64_t x;
        std::memcpy(&x, text.data() + at, 8);
        const uint64_t t = x ^ Blanks;
        return ~(((t & Low7) + Low7) | t | Low7);
      };
      uint64_t carry = 0;  // a blank in the last byte of the previous word
      std::size_t i = 0;
      for (; i + 8 <= n; i += 8) {
        const uint64_t b = blanks(i);
        if ((b & ((b << 8) | carry)) != 0) return true;
        carry = b >> 56;
      }
      if (i < n) {
        // The last eight bytes, overlapping the word before: they hold every pair not seen.
        const uint64_t b = blanks(n - 8);
        if ((b & (b << 8)) != 0) return true;
      }
      return false;
    }
  }
  for (std::size_t i = 1; i < n; ++i)
    if (text[i] == ' ' && text[i - 1] == ' ') return true;
  return false;
}

// What one pass over a line finds: two blanks side by side (the line may need tidying; now and
// then this says so of a line that does not, which tidying then leaves as it is), and a double
// quote or a comma (its last word needs the full word rules).
struct LineSurvey {
  bool DoubleBlank = false;
  bool QuoteOrComma = false;
};

inline LineSurvey SurveyLine(std::string_view text) {
  const std::size_t n = text.size();
#if defined(__SSE2__)
  if (n >= 16) {
    // Sixteen bytes at a time: one bit for each blank, double quote and comma.
    const __m128i blank = _mm_set1_epi8(' '), quote = _mm_set1_epi8('"'),
                  comma = _mm_set1_epi8(',');
    unsigned pairs = 0, quotes = 0;
    unsigned carry = 0;  // a blank in the last byte of the previous block
    auto block = [&](std::size_t at, bool overlapping) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
      const unsigned b = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, blank)));
      pairs |= b & ((b << 1) | (overlapping ? 0u : carry));
      carry = b >> 15;
      quotes |= static_cast<unsigned>(
          _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, quote), _mm_cmpeq_epi8(x, comma))));
    };
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16)
      block(i, false);
    // The last sixteen bytes, overlapping the block before: they hold every pair not seen.
    if (i < n) block(n - 16, true);
    return {pairs != 0, quotes != 0};
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    if (n >= 8) {
      constexpr uint64_t Ones = 0x0101010101010101ull, Highs = 0x8080808080808080ull;
      // 0x80 in each byte of x that equals c, and perhaps in bytes above such a byte (a borrow
      // runs upwards): none at all when no byte equals c.
      auto equal = [](uint64_t x, uint64_t c) {
        const uint64_t t = x ^ c;
        return (t - Ones) & ~t & Highs;
      };
      uint64_t pairs = 0, quotes = 0;
      uint64_t carry = 0;  // a blank in the last byte of the previous word
      std::size_t i = 0;
      for (; i + 8 <= n; i += 8) {
        uint64_t x;
        std::memcpy(&x, text.data() + i, 8);
        const uint64_t b = equal(x, Ones * ' ');
        pairs |= b & ((b << 8) | carry);
        carry = b >> 56;
        quotes |= equal(x, Ones * '"') | equal(x, Ones * ',');
      }
      if (i < n) {
        // The last eight bytes, overlapping the word before: they hold every pair not seen.
        uint64_t x;
        std::memcpy(&x, text.data() + n - 8, 8);
        const uint64_t b = equal(x, Ones * ' ');
        pairs |= b & (b << 8);
        quotes |= equal(x, Ones * '"') | equal(x, Ones * ',');
      }
      return {pairs != 0, quotes != 0};
    }
  }
  LineSurvey survey;
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && text[i] == ' ' && text[i - 1] == ' ') survey.DoubleBlank = true;
    if (text[i] == '"' || text[i] == ',') survey.QuoteOrComma = true;
  }
  return survey;
}

std::string_view TidyInto(std::string_view text, std::string& scratch, bool percents) {
  scratch.clear();
  bool pendingBlank = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = (percents && i < 2) ? ' ' : text[i];
    if (c == ' ') {
      pendingBlank = !scratch.empty();
    } else {
      if (pendingBlank) scratch.push_back(' ');
      pendingBlank = false;
      scratch.push_back(c);
    }
  }
  return scratch;
}

// Most lines need no tidying: a quick look decides, and only the others are copied.
// `doubleBlank` is HasDoubleBlank(text), when already known.
inline std::string_view Tidy(std::string_view text, std::string& scratch, int doubleBlank = -1) {
  if (text.empty()) return text;
  const bool percents = text.size() > 4 && text[0] == '%' && text.substr(0, 4) == "%%%%";
  if (!percents && text.front() != ' ' && text.back() != ' ' &&
      !(doubleBlank < 0 ? HasDoubleBlank(text) : doubleBlank == 1))
    return text;
  return TidyInto(text, scratch, percents);
}

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool IsStartMarkerLine(std::string_view line) {
  return EqualsIgnoreCase(line, "CADDDict begin") || EqualsIgnoreCase(line, "%%EndSetup") ||
         EqualsIgnoreCase(line, "%%EndPageSetup");
}

std::string_view TidyLine(std::string_view text, std::string& scratch) {
  return Tidy(text, scratch);
}

namespace {

// The common case of a number token: at most 19 digits whose value fits in 24 bits, at most ten
// of them after the point, no exponent. Then the digits and the power of ten are exact float32
// values and one float32 division rounds the exact quotient once, to nearest, halves to even.
// Reads from p up to the end of the token (the first character that is not a number character,
// or end); returns false, with p unchanged, when the token is not of that form.
// The usual token read in one piece (the digits of "123.4567" come out as 1234567 and 4):
// at most seven digits with at most one point among them, inside the eight bytes at q, and a
// character after them (the ninth byte at most) that is not "-", "." or "e". Sets the digits'
// value, how many there are and how many follow the point, and where the token ends; false when
// the token at q is not of that form. Nine bytes at q must be there to read.
[[gnu::always_inline]] inline bool EightByteDecimal(const char* q, const char*& after,
                                                    uint64_t& mantissa, std::ptrdiff_t& digits,
                                                    std::ptrdiff_t& fractionDigits) {
  constexpr uint64_t Zeros = 0x3030303030303030ull, Highs = 0xF0F0F0F0F0F0F0F0ull;
  constexpr uint64_t Low7 = 0x7F7F7F7F7F7F7F7Full;
  uint64_t x;
  std::memcpy(&x, q, 8);
  // 0x80 in each byte that is not a digit: a digit's high half is 3 before and after adding 6.
  const uint64_t e = ((x & Highs) ^ Zeros) | (((x + 0x0606060606060606ull) & Highs) ^ Zeros);
  const uint64_t notDigit = (((e & Low7) + Low7) | e) & ~Low7;
  if (notDigit == 0) return false;
  const unsigned whole = static_cast<unsigned>(std::countr_zero(notDigit)) / 8;
  unsigned fraction = 0, length = whole;
  unsigned char stop = static_cast<unsigned char>(x >> (8 * whole));
  if (stop == '.') {
    if (whole == 7) return false;
    const uint64_t rest = notDigit >> (8 * (whole + 1));
    if (rest == 0) {
      // The fraction fills the bytes: the one after them (which must be there) ends it.
      fraction = 7 - whole;
      length = 8;
      stop = static_cast<unsigned char>(q[8]);
      if (stop >= '0' && stop <= '9') return false;
    } else {
      fraction = static_cast<unsigned>(std::countr_zero(rest)) / 8;
      length = whole + 1 + fraction;
      stop = static_cast<unsigned char>(x >> (8 * length));
    }
  }
  const unsigned count = whole + fraction;
  if (count == 0 || stop == '-' || stop == '.' || stop == 'e') return false;
  // The digit values, the point taken out, first digit in the lowest byte; then as an
  // eight-digit number with leading zeros.
  const uint64_t values = x & 0x0F0F0F0F0F0F0F0Full;
  const uint64_t wholeMask = whole == 0 ? 0 : ~uint64_t{0} >> (64 - 8 * whole);
  uint64_t d = values & wholeMask;
  if (fraction > 0) d |= (values >> 8) & (((uint64_t{1} << (8 * fraction)) - 1) << (8 * whole));
  d <<= 8 * (8 - count);
  d = d * 10 + (d >> 8);
  d = (((d & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
       (((d >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >>
      32;
  mantissa = static_cast<uint32_t>(d);
  digits = count;
  fractionDigits = fraction;
  after = q + length;
  return true;
}

// `limit` (at or after end): bytes up to it may be read.
[[gnu::always_inline]] inline bool FastDecimal(const char*& p, const char* end, const char* limit,
                                               float& value) {
  static constexpr float PowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                          1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  const char* q = p;
  const bool negative = q < end && *q == '-';
  q += negative;
  if constexpr (std::endian::native == std::endian::little) {
    uint64_t mantissa;
    std::ptrdiff_t digits, fractionDigits;
    const char* after;
    if (limit - q >= 9 && EightByteDecimal(q, after, mantissa, digits, fractionDigits) &&
        mantissa <= (uint64_t{1} << 24)) {
      const float whole = static_cast<float>(mantissa);
      const float v = fractionDigits == 0 ? whole : whole / PowersOfTen[fractionDigits];
      value = negative ? -v : v;
      p = after;
      return true;
    }
  }
  // The digits before and after the point, as one integer (wrapping past 19 digits, which are
  // refused below), two at a time.
  uint64_t mantissa = 0;
  auto readDigits = [&] {
    while (end - q >= 2) {
      const unsigned d0 = static_cast<unsigned char>(q[0]) - unsigned{'0'};
      if (d0 > 9) return;
      const unsigned d1 = static_cast<unsigned char>(q[1]) - unsigned{'0'};
      if (d1 > 9) {
        mantissa = mantissa * 10 + d0;
        ++q;
        return;
      }
      mantissa = mantissa * 100 + (d0 * 10 + d1);
      q += 2;
    }
    if (q < end) {
      const unsigned d0 = static_cast<unsigned char>(*q) - unsigned{'0'};
      if (d0 <= 9) mantissa = mantissa * 10 + d0, ++q;
    }
  };
  const char* first = q;
  readDigits();
  std::ptrdiff_t digits = q - first, fractionDigits = 0;
  if (q < end && *q == '.') {
    const char* fraction = ++q;
    readDigits();
    fractionDigits = q - fraction;
    digits += fractionDigits;
  }
  if ((q < end && IsNumberChar(*q)) || digits == 0 || digits > 19 ||
      mantissa > (uint64_t{1} << 24) || fractionDigits > 10)
    return false;
  const float whole = static_cast<float>(mantissa);
  const float v = fractionDigits == 0 ? whole : whole / PowersOfTen[fractionDigits];
  value = negative ? -v : v;
  p = q;
  return true;
}

// Every other token: checked against the token grammar, then read by the library.
float SlowNumber(std::string_view token) {
  if (!IsWellFormedNumber(token)) return 0.0f;
  float value = 0.0f;
  const auto [end, ec] =
      std::from_chars(token.data(), token.data() + token.size(), value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Too large: not finite as float32, reads as 0. Too small: rounds to a zero of its sign.
    if (IsTooSmall(token)) return token[0] == '-' ? -0.0f : 0.0f;
    return 0.0f;
  }
  if (ec != std::errc() || end != token.data() + token.size() || !std::isfinite(value)) return 0.0f;
  return value;
}

}  // namespace

float NumberFromToken(std::string_view token) {
  const char* p = token.data();
  const char* end = p + token.size();
  float value;
  if (FastDecimal(p, end, end, value) && p == end) return value;
  return SlowNumber(token);
}

NumberList ParseNumbers(std::string_view text) {
  NumberList result;
  // Everything after the last digit (the operator, a trailing dot, minus or "e") is ignored.
  std::size_t last = text.size();
  while (last > 0 && !IsDigit(text[last - 1]))
    --last;
  const char* p = text.data();
  const char* const end = p + last;

  int32_t tokens = 0;
  while (p < end && tokens < 7) {
    if (!IsNumberChar(*p)) {
      ++p;
      continue;
    }
    float value;
    if (!FastDecimal(p, end, text.data() + text.size(), value)) {
      const char* start = p;
      while (p < end && IsNumberChar(*p))
        ++p;
      value = SlowNumber(std::string_view(start, static_cast<std::size_t>(p - start)));
    }
    result.Numbers[tokens++] = value;
  }
  result.LastNumberIndex = tokens > 0 ? tokens - 1 : 0;
  return result;
}

namespace {

// The last word by the full word rules (double quotes and commas).
std::string_view LastWordOfWords(std::string_view line, std::string& scratch);

// The word after the last blank: the last word of a line without double quotes and commas.
std::string_view WordAfterLastBlank(std::string_view line) {
  while (!line.empty() && line.back() == ' ')
    line.remove_suffix(1);
  if (const auto blank = line.rfind(' '); blank != std::string_view::npos)
    line.remove_prefix(blank + 1);
  return line;
}

}  // namespace

std::string_view LastWord(std::string_view line, std::string& scratch) {
  // Most lines hold neither a double quote nor a comma: their words are separated by blanks.
  if (std::memchr(line.data(), '"', line.size()) == nullptr &&
      std::memchr(line.data(), ',', line.size()) == nullptr)
    return WordAfterLastBlank(line);
  return LastWordOfWords(line, scratch);
}

namespace {

std::string_view LastWordOfWords(std::string_view line, std::string& scratch) {
  const std::size_t n = line.size();
  std::size_t i = 0;
  auto skipBlanks = [&] {
    while (i < n && line[i] == ' ')
      ++i;
  };
  std::string_view last;
  bool inScratch = false;  // the last word is in scratch (it had doubled quotes)
  skipBlanks();
  while (i < n) {
    if (line[i] == '"') {
      // A quoted word: up to the closing quote; two quotes inside stand for one.
      const std::size_t start = ++i;
      bool doubled = false;
      std::size_t end = n;  // without a closing quote the word runs to the end
      while (i < n) {
        if (line[i] == '"') {
          if (i + 1 < n && line[i + 1] == '"') {
            doubled = true;
            i += 2;
            continue;
          }
          end = i++;
          break;
        }
        ++i;
      }
      const std::string_view inside = line.substr(start, end - start);
      if (doubled) {
        scratch.clear();
        for (std::size_t k = 0; k < inside.size(); ++k) {
          scratch.push_back(inside[k]);
          if (inside[k] == '"' && k + 1 < inside.size() && inside[k + 1] == '"') ++k;
        }
        inScratch = true;
      } else {
        last = inside;
        inScratch = false;
      }
    } else {
      const std::size_t start = i;
      while (i < n && line[i] != ' ' && line[i] != ',')
        ++i;
      last = line.substr(start, i - start);
      inScratch = false;
    }
    skipBlanks();
    if (i < n && line[i] == ',') {
      if (i + 1 == n) return {};  // a comma at the very end adds an empty word
      ++i;
      skipBlanks();
    }
  }
  return inScratch ? std::string_view(scratch) : last;
}

// What one line does, worked out from its text alone, so that workers can prepare lines ahead of
// the interpreter: the markers the reading loop looks for, and the operator's calls on the sink.
// The interpreter's running values (CurrentPathClosed, CurrentPoint, reading on or off, the
// pending bounding box) are applied when the line is carried out, in order.
struct LineOp {
  enum Flag : uint8_t {
    NonEmpty = 1,           // the tidied line is not empty
    Trailer = 2,            // the line is "%%Trailer"
    StartMarker = 4,        // "CADDDict begin", "%%EndSetup" or "%%EndPageSetup"
    BoundingBox = 8,        // "%%BoundingBox:" (any case) ...
    BoundingBoxValid = 16,  // ... with exactly four numbers
    Dropped = 32,           // tidying the line failed: the line is skipped
  };

  uint8_t Flags = 0;
  WordAction Word = WordAction::None;  // what the last word does besides choosing the code
  uint8_t WordColours = 0;  // WordAction::Colour: bit 0 sets the fill colour, bit 1 the line colour
  CodeAction Code = CodeAction::None;  // what the code (as the word left it) does
  char Paint[2] = {' ', ' '};          // CodeAction::Paint: the code
  uint8_t PointKind = 0;               // Point, PointFromCurrent: the point's Kind
  TColor WordFill = 0, WordLine = 0;
  TColor Colour = 0;                                     // FillColour, LineColour
  float X1 = 0, Y1 = 0, X2 = 0, Y2 = 0, X3 = 0, Y3 = 0;  // the point (y flipped)
};

// The colour the numbers of a line make; nothing when the line has too few numbers.
std::optional<TColor> ColourOf(const NumberList& n, ColourModel model) {
  const auto& N = n.Numbers;
  const int32_t last = n.LastNumberIndex;
  switch (model) {
    case ColourModel::Cmyk:
      if (last >= 3) return CmykToColor(N[0], N[1], N[2], N[3]);
      break;
    case ColourModel::Rgb:
      if (last >= 2) return last == 6 ? RgbToColor(N[4], N[5], N[6]) : RgbToColor(N[0], N[1], N[2]);
      break;
    case ColourModel::Custom:
      if (last >= 3)
        return RoundHalfEven(N[last]) == 1.0L ? RgbToColor(N[0], N[1], N[2])
                                              : CmykToColor(N[0], N[1], N[2], N[3]);
      break;
    case ColourModel::Grey:
      if (last == 0) return RgbToColor(N[0], N[0], N[0]);
      break;
  }
  return std::nullopt;
}

// The point of a point code into op, y flipped by f; nothing when the line has too few numbers.
void CompilePoint(const NumberList& n, const CodeRow& code, float f, LineOp& op) {
  const PointShape& shape = code.Point;
  if (n.LastNumberIndex < shape.LastNeeded) return;
  const auto& N = n.Numbers;
  auto take = [&N, f](int8_t from, float& x, float& y) {
    if (from < 0) return;
    x = N[static_cast<std::size_t>(from)];
    y = f * N[static_cast<std::size_t>(from) + 1];
  };
  take(shape.From[0], op.X1, op.Y1);
  take(shape.From[1], op.X2, op.Y2);
  take(shape.From[2], op.X3, op.Y3);
  op.PointKind = shape.Kind;
  op.Code = code.Action;
}

// The numbers of a line, read once however many steps need them.
class LazyNumbers {
 public:
  explicit LazyNumbers(std::string_view line) : line_(line) {}
  const NumberList& Get() {
    if (!read_) {
      numbers_ = ParseNumbers(line_);
      read_ = true;
    }
    return numbers_;
  }

 private:
  std::string_view line_;
  NumberList numbers_;
  bool read_ = false;
};

// What a code does, into op.
void CompileCode(const CodeRow& code, LazyNumbers& numbers, float flipFactor, LineOp& op) {
  switch (code.Action) {
    case CodeAction::FillColour:
    case CodeAction::LineColour:
      if (const std::optional<TColor> colour = ColourOf(numbers.Get(), code.Colour)) {
        op.Code = code.Action;
        op.Colour = *colour;
      }
      break;
    case CodeAction::Point:
    case CodeAction::PointFromCurrent:
      CompilePoint(numbers.Get(), code, flipFactor, op);
      break;
    case CodeAction::Paint:
      op.Paint[0] = code.Text[0];
      op.Paint[1] = code.Text[1];
      op.Code = code.Action;
      break;
    default:
      op.Code = code.Action;
      break;
  }
}

// The operator part of a tidied, non-empty line: the word table, then the code tables, as
// ProcessOperatorLine carries them out, without touching a sink.
void CompileOperator(std::string_view line, float flipFactor, LineOp& op, std::string& wordScratch,
                     const LineSurvey* survey = nullptr) {
  if (line.empty()) return;
  // A line of one character reads as that character and a blank.
  char code[2] = {line.size() == 1 ? line[0] : line[line.size() - 2], line[line.size() - 1]};
  if (line.size() == 1) code[1] = ' ';
  const std::string_view lastWord = !survey                ? LastWord(line, wordScratch)
                                    : survey->QuoteOrComma ? LastWordOfWords(line, wordScratch)
                                                           : WordAfterLastBlank(line);
  LazyNumbers numbers(line);
  if (const WordRow* word = FindWord(lastWord)) {
    if (word->Paint != CodeAction::None) {
      // "fill" and "stroke" choose a paint code by whether the path was closed: decided when the
      // line is carried out.
      op.Code = word->Paint;
      return;
    }
    if (!word->Code.empty()) code[0] = word->Code[0], code[1] = word->Code[1];
    op.Word = word->Action;
    if (word->Action == WordAction::Colour) {
      const std::optional<TColor> colour = ColourOf(numbers.Get(), word->Colour);
      op.WordColours = colour ? 3 : 0;
      op.WordFill = op.WordLine = colour.value_or(0);
    }
  }
  if (const CodeRow* row = FindCode(code[0], code[1])) CompileCode(*row, numbers, flipFactor, op);
}

void Paint(PathSink& sink, InterpreterState& state, std::string_view code) {
  sink.Paint(code);
  state.CurrentPathClosed = false;  // a new path
}

// Carries out the operator part of a line on the sink, with the interpreter's running values.
void ApplyOperator(PathSink& sink, InterpreterState& state, const LineOp& op) {
  if (op.Word == WordAction::ClosePath) {
    sink.ClosePath();
    state.CurrentPathClosed = true;
  } else if (op.Word == WordAction::Colour) {
    if (op.WordColours & 1) sink.SetFillColor(op.WordFill);
    if (op.WordColours & 2) sink.SetLineColor(op.WordLine);
  }
  switch (op.Code) {
    case CodeAction::FillWord:
      Paint(sink, state, state.CurrentPathClosed ? "f " : "F ");
      break;
    case CodeAction::StrokeWord:
      Paint(sink, state, state.CurrentPathClosed ? "s " : "S ");
      break;
    case CodeAction::Paint:
      Paint(sink, state, std::string_view(op.Paint, 2));
      break;
    case CodeAction::Discard:
      sink.DiscardPoints();
      break;
    case CodeAction::Point:
    case CodeAction::PointFromCurrent: {
      tbpoint p;
      p.Kind = op.PointKind;
      if (op.Code == CodeAction::PointFromCurrent)
        p.X1 = state.CurrentPoint.X, p.Y1 = state.CurrentPoint.Y;
      else
        p.X1 = op.X1, p.Y1 = op.Y1;
      p.X2 = op.X2, p.Y2 = op.Y2;
      p.X3 = op.X3, p.Y3 = op.Y3;
      // A full path takes no more points, and the current point stays where it was.
      if (!sink.AddPoint(p)) break;
      state.CurrentPoint = p.Kind == 2 ? FloatPoint{p.X3, p.Y3} : FloatPoint{p.X1, p.Y1};
      break;
    }
    case CodeAction::FillColour:
      sink.SetFillColor(op.Colour);
      break;
    case CodeAction::LineColour:
      sink.SetLineColor(op.Colour);
      break;
    case CodeAction::GroupBegin:
      sink.BeginGroup();
      break;
    case CodeAction::GroupEnd:
      sink.EndGroup();
      break;
    case CodeAction::CompoundBegin:
      sink.BeginCompound();
      break;
    case CodeAction::CompoundEnd:
      sink.EndCompound();
      break;
    default:
      break;
  }
}

// Working buffers of the line preparation, one set per thread.
struct LineScratch {
  std::string Tidy;
  std::string Word;
};

// Runs a step of one line; false when it failed. A line that fails is skipped: nothing in a
// source file produces a message. Running out of memory is no fault of the line: it ends the
// reading.
template <class Step>
inline bool LineStepSucceeds(Step&& step) {
  try {
    step();
    return true;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    return false;
  }
}

// Everything the reading loop needs of one line; `box` receives the numbers of a
// "%%BoundingBox:" line that has four.
void PrepareLine(std::string_view text, float flipFactor, LineOp& op, FloatRect& box,
                 LineScratch& scratch) {
  op = LineOp{};
  // Tidying changes only blanks (and two percent signs into blanks): the survey of the text
  // holds for the tidied line's quotes and commas.
  const LineSurvey survey = SurveyLine(text);
  std::string_view line;
  if (!LineStepSucceeds([&] { line = Tidy(text, scratch.Tidy, survey.DoubleBlank ? 1 : 0); })) {
    op.Flags = LineOp::Dropped;
    return;
  }
  uint8_t flags = 0;
  // The markers start with "%" or a "C": most lines are none of them.
  const bool marker = !line.empty() && (line[0] == '%' || line[0] == 'C' || line[0] == 'c');
  if (marker && line.size() >= 14 && EqualsIgnoreCase(line.substr(0, 14), "%%BoundingBox:")) {
    flags |= LineOp::BoundingBox;
    const NumberList n = ParseNumbers(line.substr(14));
    if (n.LastNumberIndex == 3) {
      const auto& N = n.Numbers;
      box = {N[0], -N[3], N[2], -N[1]};
      flags |= LineOp::BoundingBoxValid;
    }
  }
  if (marker && line == "%%Trailer") flags |= LineOp::Trailer;
  if (!line.empty()) {
    flags |= LineOp::NonEmpty;
    if (!LineStepSucceeds([&] { CompileOperator(line, flipFactor, op, scratch.Word, &survey); }))
      op = LineOp{};
  }
  if (marker && IsStartMarkerLine(line)) flags |= LineOp::StartMarker;
  op.Flags = flags;
}

// The interpreter's running values over the lines.
struct ReadingState {
  bool Parsing = false;
  bool BoundingBoxPending = true;
};

// Carries out one prepared line (the body of the reading loop after the progress).
void ApplyLine(PathSink& sink, InterpreterState& state, ReadingState& reading,
               InterpretSummary& summary, const LineOp& op, const FloatRect& box) {
  if (op.Flags & LineOp::Dropped) return;
  if (reading.BoundingBoxPending && (op.Flags & LineOp::BoundingBox)) {
    if (op.Flags & LineOp::BoundingBoxValid) sink.SetViewExtent(box);
    reading.BoundingBoxPending = false;
  }
  if (op.Flags & LineOp::Trailer) reading.Parsing = false;
  if (reading.Parsing && (op.Flags & LineOp::NonEmpty)) {
    ++summary.OperatorLines;
    LineStepSucceeds([&] { ApplyOperator(sink, state, op); });
  }
  if (op.Flags & LineOp::StartMarker) {
    reading.Parsing = true;
    summary.StartMarker = true;
  }
}

// Lines prepared by the workers, one chunk of at most this many at a time.
constexpr std::size_t ChunkLines = 4096;

struct PreparedChunk {
  std::vector<LineOp> Ops;
  // The bounding-box lines of the chunk with four numbers: (line within the chunk, numbers).
  std::vector<std::pair<uint32_t, FloatRect>> Boxes;
  LineScratch Scratch;  // the working buffers of the worker preparing it
};

}  // namespace

void ParseColor(PathSink& sink, std::string_view line, std::string_view code) {
  if (code.size() != 2) return;
  const CodeRow* row = FindCode(code[0], code[1]);
  if (!row || (row->Action != CodeAction::FillColour && row->Action != CodeAction::LineColour))
    return;
  const std::optional<TColor> colour = ColourOf(ParseNumbers(line), row->Colour);
  if (!colour) return;
  if (row->Action == CodeAction::LineColour)
    sink.SetLineColor(*colour);
  else
    sink.SetFillColor(*colour);
}

void ParsePoint(PathSink& sink, InterpreterState& state, std::string_view line,
                std::string_view code, float flipFactor) {
  if (code.size() != 2) return;
  // The point code of the code's letter.
  const CodeRow* row = FindCode(' ', code[1]);
  if (!row || (row->Action != CodeAction::Point && row->Action != CodeAction::PointFromCurrent))
    return;
  LineOp op;
  CompilePoint(ParseNumbers(line), *row, flipFactor, op);
  ApplyOperator(sink, state, op);
}

void ProcessOperatorLine(PathSink& sink, InterpreterState& state, std::string_view line,
                         float flipFactor) {
  LineOp op;
  std::string wordScratch;
  CompileOperator(line, flipFactor, op, wordScratch);
  ApplyOperator(sink, state, op);
}

namespace {

// One reading of the lines into a sink, on this thread alone or with workers preparing the lines
// ahead: the interpreter's running values, the progress and the summary.
class LineReading {
 public:
  LineReading(const LineList& lines, const InterpretOptions& options, InterpreterState& state,
              PathSink& sink, Progress& progress, TextRelease* release)
      : lines_(lines),
        state_(state),
        sink_(sink),
        progress_(progress),
        reports_(release, 0),
        flipFactor_(options.FlipVertical ? 1.0f : -1.0f) {
    reading_.Parsing = options.ParseEverything;
  }

  InterpretSummary Read() {
    const std::size_t count = lines_.size();
    progress_.SetAbortRequested(false);
    bar_ = progress_.HasProgressBar();
    progress_.BeginBusy();
    if (bar_) {
      progress_.SetMaximum(static_cast<int64_t>(count));
      progress_.SetPosition(0);
      progress_.SetPhaseText(InterpretingPhaseText(count, progress_.ThousandsSeparator()));
    }
    sink_.BeginDrawing(StartViewExtent);
    const unsigned threads = ThreadCount();
    // With threads, the sink may finish its paths at the end (the orientation test, in parallel).
    if (threads > 1) sink_.ExpectEndDrawing();
    state_.CurrentPathClosed = false;
    const WrapUp wrapUp{sink_, progress_, bar_};

    // Chunks of whole index steps start at a line the list finds at once.
    const std::size_t chunkLines = std::clamp<std::size_t>(count / (4 * threads), 64, ChunkLines) /
                                   LineList::IndexStep * LineList::IndexStep;
    const bool read = threads <= 1 || count <= chunkLines ? ReadInPlace(0, count)
                                                          : ReadInChunks(threads, chunkLines);
    // The end of a reading that was not aborted.
    if (read) LineStepSucceeds([&] { sink_.EndDrawing(); });
    return summary_;
  }

 private:
  // The wrap-up runs however the reading ends.
  struct WrapUp {
    PathSink& sink;
    Progress& progress;
    bool bar;
    ~WrapUp() {
      if (bar) progress.SetPosition(0);
      progress.EndBusy();
      if (progress.AbortRequested()) sink.AbortDrawing();
    }
  };

  // The progress of line i: the counter, the bar and the event pump every 100 lines.
  void Report(std::size_t i) {
    if (i % 100 != 0) return;
    progress_.ShowStatus(std::to_string(i) + "      ");
    if (bar_) progress_.SetPosition(static_cast<int64_t>(i));
    progress_.ProcessEvents();
  }

  // Reads the lines [from, to) one by one on this thread; false when "Abort" was pressed.
  bool ReadInPlace(std::size_t from, std::size_t to) {
    if (from >= to) return true;
    LineOp op;
    FloatRect box;
    LineList::Cursor cursor = lines_.From(from);
    for (std::size_t i = from; i < to; ++i) {
      if (progress_.AbortRequested()) return false;
      reports_.Reached(i);
      const std::string_view text = cursor.Next();
      LineStepSucceeds([&] {
        Report(i);
        PrepareLine(text, flipFactor_, op, box, scratch_);
        ApplyLine(sink_, state_, reading_, summary_, op, box);
      });
    }
    return true;
  }

  // Workers prepare chunks of lines ahead; this thread carries them out in order, so the sink
  // and the progress see exactly what one thread gives them. False when "Abort" was pressed.
  bool ReadInChunks(unsigned threads, std::size_t chunkLines) {
    const std::size_t count = lines_.size();
    const std::size_t chunks = (count + chunkLines - 1) / chunkLines;
    const std::size_t window = 4 * std::size_t{threads};
    std::vector<PreparedChunk> slots(window);
    OrderedChunks pool(chunks, threads, window, [&](std::size_t chunk, std::size_t slot) {
      Prepare(slots[slot], chunk * chunkLines, std::min(chunkLines, count - chunk * chunkLines));
    });
    for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
      const std::size_t first = chunk * chunkLines, last = std::min(first + chunkLines, count);
      std::size_t slot;
      try {
        slot = pool.Wait(chunk);
      } catch (const std::exception&) {
        // The chunk could not be prepared (no memory for its records): read it here instead.
        pool.Release();
        if (!ReadInPlace(first, last)) return false;
        continue;
      }
      if (!CarryOut(slots[slot], first)) return false;
      pool.Release();
      // The workers only read lines after this chunk.
      reports_.Passed(last);
    }
    return true;
  }

  // A worker's part: the n lines from `first` prepared into c. It reads nothing of this object
  // line by line, whose cache lines the calling thread writes meanwhile.
  void Prepare(PreparedChunk& c, std::size_t first, std::size_t n) const {
    const float flipFactor = flipFactor_;
    c.Ops.resize(n);
    c.Boxes.clear();
    FloatRect box;
    LineList::Cursor cursor = lines_.From(first);
    for (std::size_t k = 0; k < n; ++k) {
      LineOp& op = c.Ops[k];
      PrepareLine(cursor.Next(), flipFactor, op, box, c.Scratch);
      if (op.Flags & LineOp::BoundingBoxValid) c.Boxes.emplace_back(static_cast<uint32_t>(k), box);
    }
  }

  // Carries out a prepared chunk whose first line is `first`; false when "Abort" was pressed.
  bool CarryOut(const PreparedChunk& c, std::size_t first) {
    std::size_t nextBox = 0;
    for (std::size_t k = 0; k < c.Ops.size(); ++k) {
      if (progress_.AbortRequested()) return false;
      const LineOp& op = c.Ops[k];
      FloatRect box;
      if (op.Flags & LineOp::BoundingBoxValid) box = c.Boxes[nextBox++].second;
      LineStepSucceeds([&] {
        Report(first + k);
        ApplyLine(sink_, state_, reading_, summary_, op, box);
      });
    }
    return true;
  }

  const LineList& lines_;
  InterpreterState& state_;
  PathSink& sink_;
  Progress& progress_;
  ReleaseReports reports_;
  const float flipFactor_;
  bool bar_ = false;  // the progress has a bar
  ReadingState reading_;
  InterpretSummary summary_;
  LineScratch scratch_;  // the working buffers of the lines read on this thread
};

}  // namespace

InterpretSummary InterpretLines(const LineList& lines, const InterpretOptions& options,
                                InterpreterState& state, PathSink& sink, Progress& progress,
                                TextRelease* release) {
  LineReading reading(lines, options, state, sink, progress, release);
  return reading.Read();
}

}  // namespace aiimport
