// A table of rows found by a short text (an operator, a word, a name). The readers keep what
// each operator does in such a table, one row per operator, instead of spelling the operators
// out in switches. The table is a perfect hash worked out when the program is compiled: finding
// a row costs one hash, one load and one comparison, however many rows there are (a text of one
// character, one load).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace aiimport {

// Row: a literal type with a member `std::string_view Text`. At most 255 rows; no text is empty,
// and no two are alike in length, first two and last characters.
template <class Row, std::size_t N>
class TextTable {
  static_assert(N > 0 && N < 256, "a table holds 1 to 255 rows");

 public:
  consteval explicit TextTable(const Row (&rows)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
      rows_[i] = rows[i];
      keys_[i] = Key(rows[i].Text);
      if (rows[i].Text.empty()) throw "a row without text";
      if (rows[i].Text.size() == 1)
        singles_[static_cast<unsigned char>(rows[i].Text[0])] = static_cast<uint8_t>(i + 1);
      for (std::size_t k = 0; k < i; ++k)
        if (keys_[k] == keys_[i]) throw "two rows alike in length, first two and last characters";
    }
    // Odd multipliers in turn until one gives every row a slot of its own.
    uint32_t multiplier = 0x9E3779B1u;
    for (int attempt = 0; attempt < 100000; ++attempt, multiplier += 0x6A09E666u) {
      std::array<uint8_t, Slots> slots{};
      bool distinct = true;
      for (std::size_t i = 0; i < N && distinct; ++i) {
        uint8_t& slot = slots[SlotOf(keys_[i], multiplier)];
        distinct = slot == 0;
        slot = static_cast<uint8_t>(i + 1);
      }
      if (distinct) {
        multiplier_ = multiplier;
        slots_ = slots;
        return;
      }
    }
    throw "no multiplier separates the rows";
  }

  // The row of `text`; none when the table has no such row.
  constexpr const Row* Find(std::string_view text) const {
    // Texts of one character, the most common operators, are looked up directly.
    if (text.size() == 1) {
      const unsigned single = singles_[static_cast<unsigned char>(text[0])];
      return single == 0 ? nullptr : &rows_[single - 1];
    }
    const uint32_t key = Key(text);
    const unsigned slot = slots_[SlotOf(key, multiplier_)];
    if (slot == 0) return nullptr;
    const std::size_t i = slot - 1;
    // Up to three characters the key is the whole text.
    if (keys_[i] != key || (text.size() > 3 && rows_[i].Text != text)) return nullptr;
    return &rows_[i];
  }

 private:
  static constexpr std::size_t Slots = 256;

  // The length (modulo 256) and the first, second and last characters.
  static constexpr uint32_t Key(std::string_view t) {
    const std::size_t n = t.size();
    if (n == 0) return 0;
    auto at = [&t](std::size_t i) { return uint32_t{static_cast<unsigned char>(t[i])}; };
    return (static_cast<uint32_t>(n & 0xFF) << 24) | (at(0) << 16) | (at(n > 1 ? 1 : 0) << 8) |
           at(n - 1);
  }
  static constexpr std::size_t SlotOf(uint32_t key, uint32_t multiplier) {
    return static_cast<std::size_t>((key * multiplier) >> 24);
  }

  std::array<Row, N> rows_{};
  std::array<uint32_t, N> keys_{};
  std::array<uint8_t, Slots> slots_{};
  std::array<uint8_t, 256> singles_{};  // the rows of one character, by the character
  uint32_t multiplier_ = 0;
};

}  // namespace aiimport
