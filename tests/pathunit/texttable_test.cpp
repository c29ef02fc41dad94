// The text table finds each row by its text and nothing else, however alike the texts.
#include "texttable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Row {
  std::string_view Text;
};

constexpr Row Rows[] = {{"m"},   {"@"},   {"re"},     {"B*"},
                        {"BMC"}, {"BDC"}, {"moveto"}, {"setrgbcolor"}};
constexpr aiimport::TextTable Table(Rows);

TEST(TextTable, FindsEachRowAndNoLookalike) {
  for (const Row& row : Rows) {
    const Row* found = Table.Find(std::string(row.Text));  // a copy: found by text, not address
    ASSERT_NE(found, nullptr) << row.Text;
    EXPECT_EQ(found->Text, row.Text);
  }
  // Alike in length, first two and last characters ("mozzto", "moveto"), one character off,
  // longer or shorter, and longer than 255 characters with the length of a row modulo 256.
  const std::string wrapsToRow = "BM" + std::string(256, 'x') + "C";
  const std::string wrapsToWord = "mo" + std::string(259, 'v') + "o";
  for (const std::string& text :
       {std::string(), std::string("M"), std::string("B"), std::string("BMD"), std::string("BMCX"),
        std::string("mozzto"), std::string("movet"), std::string("setrgbcolour"), wrapsToRow,
        wrapsToWord})
    EXPECT_EQ(Table.Find(text), nullptr) << text;
}

}  // namespace
