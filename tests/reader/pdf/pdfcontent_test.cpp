// The pieces under the page reader: numbers, the tokens of content streams (the direct reading
// of plain runs against qpdf's tokenizer), the content buffer with its shared limit, the
// inflating of stored streams, and the colour functions.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "aipdf.h"
#include "pdfcolour.h"
#include "pdfcontent.h"

namespace {

using aiimport::ContentBuffer;
using aiimport::ContentScanner;
using aiimport::ContentToken;
using aiimport::ContentTokenKind;
using aiimport::ScanMode;

TEST(PdfNumbers, NearestFloat32OfTheDecimalText) {
  struct Case {
    const char* Text;
    float Value;
    bool InRange;
  };
  const Case cases[] = {
      {"1", 1, true},
      {"-1", -1, true},
      {"+1", 1, true},
      {".5", 0.5f, true},
      {"5.", 5, true},
      {"-.5", -0.5f, true},
      {"0.1", 0.1f, true},
      {"007", 7, true},
      // Halves go to the even neighbour: 2^24 + 1 and 2^24 + 3.
      {"16777217", 16777216.0f, true},
      {"16777219", 16777220.0f, true},
      {"0.30000001192092896", 0.3f, true},
      {"123456789012345678901234567890", 123456789012345678901234567890.0f, true},
      {"340282346638528859811704183484516925440", FLT_MAX, true},
      {"340282356779733661637539395458142568448", 0, false},
      {"-340282356779733661637539395458142568448.5", 0, false},
      {"0.0000000000000000000000000000000000000000000000000001", 0, true},
      // Not numbers.
      {"", 0, true},
      {"1.2.3", 0, true},
      {"--1", 0, true},
      {"abc", 0, true},
  };
  for (const Case& c : cases) {
    bool inRange = false;
    const float v = aiimport::PdfNumberValue(c.Text, inRange);
    EXPECT_EQ(v, c.Value) << c.Text;
    EXPECT_EQ(inRange, c.InRange) << c.Text;
  }
  bool inRange = false;
  EXPECT_TRUE(std::signbit(
      aiimport::PdfNumberValue("-0.000000000000000000000000000000000000000000000001", inRange)));
}

// A token as the tests compare them.
struct Seen {
  ContentTokenKind Kind;
  float Number;
  bool InRange;
  std::string Text;
  bool operator==(const Seen& o) const {
    return Kind == o.Kind && std::memcmp(&Number, &o.Number, sizeof Number) == 0 &&
           InRange == o.InRange && Text == o.Text;
  }
};

std::vector<Seen> Tokens(ContentBuffer& content, ScanMode mode) {
  ContentScanner scanner(content, mode);
  std::vector<Seen> seen;
  ContentToken t;
  while (scanner.Next(t))
    seen.push_back({t.Kind, t.Kind == ContentTokenKind::Number ? t.Number : 0.0f,
                    t.Kind == ContentTokenKind::Number ? t.NumberInRange : true,
                    std::string(t.Text)});
  return seen;
}

std::vector<Seen> Tokens(const std::string& text, ScanMode mode) {
  ContentBuffer content;
  content.Append(text.data(), text.size());
  return Tokens(content, mode);
}

TEST(PdfTokens, DirectReadingGivesQpdfsTokens) {
  const std::string tricky[] = {
      "1 2 m 3.5 -4 l S",
      "/Name#20x 12 Tf /A/B/C",
      "(str (nested) \\) ) Tj (0 0 m S)",
      "<41 42> Tj <4>",
      "[1 (a) -2] TJ",
      "<< /A 1 /B [1 2] >> BDC",
      "% comment 9 9 m\n1 0 m %x",
      std::string("1\x0b"
                  "2\x0c"
                  "3\t4\r5\n6 m"),
      std::string("1\x00"
                  "2 m",
                  5),
      "ab\x80"
      "cd 1 m \xff",
      std::string("BI /W 2 /H 1 /BPC 8 /CS /G ID \x00\xff EI Q 1 0 m", 35),
      "1.2.3 -- +.5 . - + 007 -0 true false null",
      "q{Q}) ] >> 9",
      "1 2 3",
      "abc",
      "1e5 0x10 1-2 NaN",
  };
  for (const std::string& text : tricky) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Tokens(text, ScanMode::Fast), Tokens(text, ScanMode::QpdfOnly));
  }
  const std::vector<Seen> want = {{ContentTokenKind::Number, 1, true, ""},
                                  {ContentTokenKind::Number, -2.5f, true, ""},
                                  {ContentTokenKind::Name, 0, true, "/A b"},
                                  {ContentTokenKind::Other, 0, true, ""},
                                  {ContentTokenKind::Operator, 0, true, "re"}};
  EXPECT_EQ(Tokens("1 -2.5 /A#20b (x) re", ScanMode::Fast), want);
}

TEST(PdfTokens, TokensAcrossPieces) {
  // The first pieces of a buffer hold 64 KiB: tokens of every kind straddle the first seam.
  for (std::string across : {"12345 m", "/Name x", "(a string) x", "abc def", "1 %c\n2"}) {
    for (std::size_t before = 1; before < across.size(); ++before) {
      const std::string text = std::string(65536 - before, ' ') + across + " 7 l";
      const std::vector<Seen> fast = Tokens(text, ScanMode::Fast);
      EXPECT_EQ(fast, Tokens(text, ScanMode::QpdfOnly)) << across << " " << before;
      EXPECT_EQ(fast.back().Text, "l");
    }
  }
  // Random content, inflated piece by piece (1 MiB each) as the reader does.
  std::mt19937 random(7);
  const char* words[] = {"0",     "1.5",   "-2", "m",   "l",    "re", "/CS0",
                         "(x y)", "[1 2]", "<<", ">>",  "%c\n", "q",  "Q",
                         "<0A>",  "BT",    "ET", "+.5", "cm",   "\n", "\r\n"};
  std::string text;
  while (text.size() < (std::size_t{3} << 20)) {
    text += words[random() % (sizeof words / sizeof *words)];
    text += ' ';
  }
  auto inflated = [&text] {
    auto segments = std::make_unique<aiimport::StreamSegments>();
    auto stored = std::make_unique<ContentBuffer>();
    const std::string z = aipdf::Zlib(text);
    stored->Append(z.data(), z.size());
    segments->Add(std::move(stored), true);
    auto content = std::make_unique<ContentBuffer>();
    content->SetSource(std::move(segments));
    return content;
  };
  auto a = inflated(), b = inflated();
  EXPECT_EQ(Tokens(*a, ScanMode::Fast), Tokens(*b, ScanMode::QpdfOnly));
  EXPECT_EQ(a->Size(), text.size());
  EXPECT_FALSE(a->Damaged());
}

TEST(PdfContent, SegmentsJoinAndDamageStopsOne) {
  auto stored = [](const std::string& bytes) {
    auto b = std::make_unique<ContentBuffer>();
    b->Append(bytes.data(), bytes.size());
    return b;
  };
  const std::string z = aipdf::Zlib("def ghi");
  auto segments = std::make_unique<aiimport::StreamSegments>();
  segments->Add(stored("abc"), false);
  segments->Add(stored(z), true);
  segments->Add(stored(z.substr(0, z.size() - 6)), true);  // its end is missing
  segments->Add(stored("xyz"), false);
  ContentBuffer content;
  content.SetSource(std::move(segments));
  std::string all(64, '\0');
  all.resize(content.CopyOut(0, all.data(), all.size()));
  EXPECT_EQ(all.substr(0, 12), "abc\ndef ghi\n");
  EXPECT_EQ(all.substr(all.size() - 4), "\nxyz");
  EXPECT_TRUE(content.Damaged());
}

TEST(PdfContent, BufferLimitAndTruncation) {
  ContentBuffer buffer(10);
  EXPECT_TRUE(buffer.Append("123456", 6));
  EXPECT_FALSE(buffer.Append("abcdef", 6));
  EXPECT_EQ(buffer.Size(), 10u);
  EXPECT_TRUE(buffer.Overflowed());
  buffer.Truncate(2);
  char out[8] = {};
  EXPECT_EQ(buffer.CopyOut(0, out, 8), 2u);
  EXPECT_EQ(std::string(out, 2), "12");
}

std::shared_ptr<const aiimport::PdfFunction> Exponential(long double c0, long double c1,
                                                         long double n) {
  auto f = std::make_shared<aiimport::PdfFunction>();
  f->Type = 2;
  f->Domain = {0, 1};
  f->C0 = {c0};
  f->C1 = {c1};
  f->Exponent = n;
  return f;
}

TEST(PdfFunctions, ExponentialStitchingAndSampled) {
  auto value = [](std::shared_ptr<const aiimport::PdfFunction> f, long double x) {
    aiimport::PdfFunctionSet set;
    set.Functions = {std::move(f)};
    std::vector<long double> out;
    EXPECT_TRUE(aiimport::EvaluateFunctions(set, {x}, out));
    return out.empty() ? -1.0L : out[0];
  };
  EXPECT_EQ(value(Exponential(0, 1, 2), 0.5L), 0.25L);
  EXPECT_EQ(value(Exponential(1, 0, 1), 2), 0);  // the input is held in the domain

  // Up from 0 to 1 on [0, 0.5), down from 1 to 0 on [0.5, 1].
  auto stitched = std::make_shared<aiimport::PdfFunction>();
  stitched->Type = 3;
  stitched->Domain = {0, 1};
  stitched->Functions = {Exponential(0, 1, 1), Exponential(1, 0, 1)};
  stitched->Bounds = {0.5L};
  stitched->Encode = {0, 1, 0, 1};
  EXPECT_EQ(value(stitched, 0.25L), 0.5L);
  EXPECT_EQ(value(stitched, 0.5L), 1);
  EXPECT_EQ(value(stitched, 0.75L), 0.5L);
  EXPECT_EQ(value(stitched, 1), 0);

  // Three 8-bit samples 0, 255, 0 over [0, 1]: 0.25 falls half way between the first two.
  auto sampled = std::make_shared<aiimport::PdfFunction>();
  sampled->Type = 0;
  sampled->Domain = {0, 1};
  sampled->Range = {0, 1};
  sampled->Decode = {0, 1};
  sampled->Encode = {0, 2};
  sampled->Size = {3};
  sampled->Samples = {0, 255, 0};
  sampled->Outputs = 1;
  EXPECT_EQ(value(sampled, 0.25L), 0.5L);
  EXPECT_EQ(value(sampled, 0.5L), 1);

  // Unknown types, and what cannot be computed, give nothing.
  auto calculator = std::make_shared<aiimport::PdfFunction>();
  calculator->Type = 4;
  aiimport::PdfFunctionSet set;
  set.Functions = {calculator};
  std::vector<long double> out;
  EXPECT_FALSE(aiimport::EvaluateFunctions(set, {0.5L}, out));
  set.Functions = {Exponential(0, 1, -1)};
  EXPECT_FALSE(aiimport::EvaluateFunctions(set, {0}, out));
}

}  // namespace
