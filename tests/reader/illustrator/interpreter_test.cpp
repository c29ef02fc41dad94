#include "interpreter.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "readertest.h"

namespace aiimport {
namespace {

using testing::Interpret;
using testing::Interpreted;
using testing::RecordingProgress;

std::string Tidy(std::string_view text) {
  std::string scratch;
  return std::string(TidyLine(text, scratch));
}

TEST(TidyLine, Blanks) {
  EXPECT_EQ(Tidy("100 200 m"), "100 200 m");
  EXPECT_EQ(Tidy("   100    200  m"), "100 200 m");
  // Trailing blanks go altogether, so an operator followed by a blank still reads.
  EXPECT_EQ(Tidy("100 200 m   "), "100 200 m");
  EXPECT_EQ(Tidy("*u "), "*u");
  EXPECT_EQ(Tidy("%%EndSetup "), "%%EndSetup");
  EXPECT_EQ(Tidy("f "), "f");
  EXPECT_EQ(Tidy("    "), "");
  EXPECT_EQ(Tidy(""), "");
  // Only the blank counts: a tab stays (the loader has removed tabs anyway).
  EXPECT_EQ(Tidy("1\t2  m"), "1\t2 m");
}

TEST(TidyLine, FourPercentSignsReadAsTwo) {
  EXPECT_EQ(Tidy("%%%%BoundingBox: 0 0 10 10"), "%%BoundingBox: 0 0 10 10");
  EXPECT_EQ(Tidy("%%%%%"), "%%%");
  EXPECT_EQ(Tidy("%%%%"), "%%%%");  // not longer than four: unchanged
  EXPECT_EQ(Tidy("%%%x"), "%%%x");
}

// The blank rules written out plainly, to check the fast path that skips clean lines.
std::string ReferenceTidy(std::string text) {
  if (text.size() > 4 && text.compare(0, 4, "%%%%") == 0) text[0] = text[1] = ' ';
  std::string out;
  for (char c : text) {
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == ' ')
    out.pop_back();
  return out;
}

TEST(TidyLine, AgreesWithThePlainRulesOnRandomLines) {
  std::mt19937 random(5);
  const char alphabet[] = {' ', ' ', ' ', 'a', '1', '%', '\t'};
  for (int i = 0; i < 50000; ++i) {
    std::string text;
    const int length = random() % 30;
    for (int c = 0; c < length; ++c)
      text += alphabet[random() % sizeof alphabet];
    ASSERT_EQ(Tidy(text), ReferenceTidy(text)) << '"' << text << '"';
  }
}

TEST(NumberFromToken, WellFormedTokensRoundOnceToFloat32) {
  EXPECT_EQ(NumberFromToken("1"), 1.0f);
  EXPECT_EQ(NumberFromToken("0.1"), 0.1f);
  EXPECT_EQ(NumberFromToken(".5"), 0.5f);
  EXPECT_EQ(NumberFromToken("5."), 5.0f);
  EXPECT_EQ(NumberFromToken("-.5"), -0.5f);
  EXPECT_EQ(NumberFromToken("1e5"), 100000.0f);
  EXPECT_EQ(NumberFromToken("25e-1"), 2.5f);
  EXPECT_EQ(NumberFromToken("3.4028235e38"), FLT_MAX);
  EXPECT_EQ(NumberFromToken("1e-45"), std::nextafter(0.0f, 1.0f));  // the smallest subnormal
  // 16777217 lies halfway between two floats: the even one wins.
  EXPECT_EQ(NumberFromToken("16777217"), 16777216.0f);
  EXPECT_EQ(NumberFromToken("16777219"), 16777220.0f);
  const float minusZero = NumberFromToken("-0");
  EXPECT_EQ(minusZero, 0.0f);
  EXPECT_TRUE(std::signbit(minusZero));
}

TEST(NumberFromToken, EverythingElseReadsAsZero) {
  for (const char* bad :
       {"e", "-", ".", "-.", "1e", "1e-", "1.2.3", "--1", "1-2", "1e5e3", "e5", "1..2", "", "-e"}) {
    const float v = NumberFromToken(bad);
    EXPECT_EQ(v, 0.0f) << bad;
    EXPECT_FALSE(std::signbit(v)) << bad;
  }
  // Values that are not finite as float32 read as 0 too.
  EXPECT_EQ(NumberFromToken("1e999"), 0.0f);
  EXPECT_EQ(NumberFromToken("4e38"), 0.0f);
  EXPECT_EQ(NumberFromToken("-4e38"), 0.0f);
  EXPECT_EQ(NumberFromToken("3.4028236e38"), 0.0f);  // rounds past the largest float
  EXPECT_EQ(NumberFromToken(std::string(10000, '9')), 0.0f);
  // Values too small for float32 round to a zero of their sign.
  EXPECT_EQ(NumberFromToken("1e-50"), 0.0f);
  EXPECT_TRUE(std::signbit(NumberFromToken("-1e-50")));
  EXPECT_EQ(NumberFromToken("0." + std::string(10000, '0') + "1"), 0.0f);
  EXPECT_EQ(NumberFromToken("1e-99999999999999999999"), 0.0f);
  EXPECT_EQ(NumberFromToken("1e99999999999999999999"), 0.0f);
}

TEST(NumberFromToken, AgreesWithTheCLibraryOnRandomDecimals) {
  // strtof rounds decimal text directly to the nearest float: an independent reference.
  std::mt19937 random(7);
  for (int i = 0; i < 20000; ++i) {
    std::string token;
    if (random() % 4 == 0) token += '-';
    const int intDigits = random() % 9;
    for (int d = 0; d < intDigits; ++d)
      token += static_cast<char>('0' + random() % 10);
    if (intDigits == 0 || random() % 2) {
      token += '.';
      const int fracDigits = 1 + random() % 9;
      for (int d = 0; d < fracDigits; ++d)
        token += static_cast<char>('0' + random() % 10);
    }
    if (random() % 8 == 0) {
      token += 'e';
      if (random() % 2) token += '-';
      token += std::to_string(random() % 30);  // stays inside the float32 range
    }
    const float expected = std::strtof(token.c_str(), nullptr);
    const float actual = NumberFromToken(token);
    ASSERT_EQ(std::memcmp(&expected, &actual, sizeof(float)), 0) << token;
  }
}

TEST(ParseNumbers, AgreesWithTheCLibraryTokenByToken) {
  // Lines of decimal tokens of every length (runs of digits up to and past eight, which the
  // reader takes eight at a time), between blanks and ending the line or not.
  std::mt19937 random(17);
  for (int i = 0; i < 20000; ++i) {
    std::vector<std::string> tokens(1 + random() % 8);
    std::string line;
    for (std::string& token : tokens) {
      if (random() % 4 == 0) token += '-';
      const int intDigits = random() % 12;
      for (int d = 0; d < intDigits; ++d)
        token += static_cast<char>('0' + random() % 10);
      if (intDigits == 0 || random() % 2) {
        token += '.';
        const int fracDigits = 1 + random() % 12;
        for (int d = 0; d < fracDigits; ++d)
          token += static_cast<char>('0' + random() % 10);
      }
      line += token + std::string(1 + random() % 2, ' ');
    }
    if (random() % 2) line += "l";
    const NumberList n = ParseNumbers(line);
    const std::size_t counted = std::min<std::size_t>(tokens.size(), 7);
    ASSERT_EQ(n.LastNumberIndex, static_cast<int32_t>(counted) - 1) << line;
    for (std::size_t k = 0; k < counted; ++k) {
      const float expected = std::strtof(tokens[k].c_str(), nullptr);
      ASSERT_EQ(std::memcmp(&expected, &n.Numbers[k], sizeof(float)), 0) << line << " #" << k;
    }
  }
}

TEST(ParseNumbers, TokensAnywhereInTheLine) {
  NumberList n = ParseNumbers("100 200 m");
  EXPECT_EQ(n.LastNumberIndex, 1);
  EXPECT_EQ(n.Numbers[0], 100.0f);
  EXPECT_EQ(n.Numbers[1], 200.0f);

  n = ParseNumbers("no numbers here");  // no digit at all: the whole line is ignored
  EXPECT_EQ(n.LastNumberIndex, 0);
  EXPECT_EQ(n.Numbers[0], 0.0f);

  n = ParseNumbers("7 g");
  EXPECT_EQ(n.LastNumberIndex, 0);  // one number looks like none
  EXPECT_EQ(n.Numbers[0], 7.0f);

  // A lone "e" inside a word before the last digit is a token of value 0.
  n = ParseNumbers("(Blue) 1 g");
  EXPECT_EQ(n.LastNumberIndex, 1);
  EXPECT_EQ(n.Numbers[0], 0.0f);
  EXPECT_EQ(n.Numbers[1], 1.0f);

  // A trailing dot, minus or "e" after the last digit is ignored.
  n = ParseNumbers("1 5.");
  EXPECT_EQ(n.LastNumberIndex, 1);
  EXPECT_EQ(n.Numbers[1], 5.0f);
  n = ParseNumbers("12e");
  EXPECT_EQ(n.Numbers[0], 12.0f);

  // Only the first seven tokens count.
  n = ParseNumbers("1 2 3 4 5 6 7 8 9 c");
  EXPECT_EQ(n.LastNumberIndex, 6);
  EXPECT_EQ(n.Numbers[6], 7.0f);

  // Digits inside a name are numbers too; an upper-case "E" is not a number character.
  n = ParseNumbers("(PANTONE 185) 0.5 g");
  EXPECT_EQ(n.LastNumberIndex, 1);
  EXPECT_EQ(n.Numbers[0], 185.0f);
  EXPECT_EQ(n.Numbers[1], 0.5f);
}

TEST(Painting, EachPaintCodeFinishesAPath) {
  struct Row {
    const char* line;
    bool closed, filled;
  };
  for (const Row& r : {Row{"f", true, true}, Row{"F", false, true}, Row{"s", true, false},
                       Row{"S", false, false}, Row{"b", true, true}, Row{"B", false, true},
                       Row{"q", false, false}, Row{"Q", false, false}, Row{"f ", true, true}}) {
    auto store = Interpret({"0 0 m", "10 0 l", "10 10 l", r.line});
    ASSERT_EQ(store->PathList.size(), 1u) << r.line;
    EXPECT_EQ(store->PathList[0].Closed, r.closed) << r.line;
    EXPECT_EQ(store->PathList[0].Filled, r.filled) << r.line;
    EXPECT_EQ(store->PathList[0].Count(), 3u);
    ASSERT_TRUE(store->collector.CurrentPath());
    EXPECT_EQ(store->collector.CurrentPath()->Count(), 0u);
  }
}

TEST(Painting, PaintWithoutPointsStillAppendsAPath) {
  auto store = Interpret({"f"});
  ASSERT_EQ(store->PathList.size(), 1u);
  EXPECT_EQ(store->PathList[0].Count(), 0u);
}

TEST(Points, EveryPointCode) {
  auto store = Interpret({"1 2 m", "3 4 l", "5 6 L", "1 2 3 4 5 6 c", "7 8 9 10 11 12 C",
                          "13 14 15 16 v", "17 18 19 20 V", "21 22 23 24 y", "25 26 27 28 Y", "S"});
  ASSERT_EQ(store->PathList.size(), 1u);
  const auto& p = store->PathList[0].Items;
  ASSERT_EQ(p.size(), 9u);
  EXPECT_EQ(p[0], (tbpoint{0, 1, 2}));
  EXPECT_EQ(p[1], (tbpoint{1, 3, 4}));
  EXPECT_EQ(p[2], (tbpoint{1, 5, 6}));
  EXPECT_EQ(p[3], (tbpoint{2, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(p[4], (tbpoint{2, 7, 8, 9, 10, 11, 12}));
  // v: the first control point is the current point (the end of the previous curve).
  EXPECT_EQ(p[5], (tbpoint{2, 11, 12, 13, 14, 15, 16}));
  EXPECT_EQ(p[6], (tbpoint{2, 15, 16, 17, 18, 19, 20}));
  // y: the second control point is the end point.
  EXPECT_EQ(p[7], (tbpoint{2, 21, 22, 23, 24, 23, 24}));
  EXPECT_EQ(p[8], (tbpoint{2, 25, 26, 27, 28, 27, 28}));
  EXPECT_EQ(store->state.CurrentPoint, (FloatPoint{27, 28}));
}

TEST(Points, TooFewNumbersAddNothingExtraNumbersAreIgnored) {
  auto store = Interpret({"1 m", "1 2 3 4 5 c", "1 2 3 v", "9 8 7 m", "S"});
  ASSERT_EQ(store->PathList.size(), 1u);
  ASSERT_EQ(store->PathList[0].Count(), 1u);
  EXPECT_EQ(store->PathList[0].Items[0], (tbpoint{0, 9, 8}));
}

TEST(Points, FlipVerticalUncheckedNegatesY) {
  auto flipped = Interpret({"100 200 m", "1 2 3 4 5 6 c", "S"}, false);
  const auto& p = flipped->PathList[0].Items;
  EXPECT_EQ(p[0], (tbpoint{0, 100, -200}));
  EXPECT_EQ(p[1], (tbpoint{2, 1, -2, 3, -4, 5, -6}));
  auto plain = Interpret({"100 200 m", "S"}, true);
  EXPECT_EQ(plain->PathList[0].Items[0], (tbpoint{0, 100, 200}));
}

TEST(Points, MovesDoNotStartANewPath) {
  auto store = Interpret({"0 0 m", "1 0 l", "5 5 m", "6 5 l", "S"});
  ASSERT_EQ(store->PathList.size(), 1u);
  EXPECT_EQ(store->PathList[0].Count(), 4u);
}

TEST(Points, APathHoldsAtMost16001Points) {
  std::vector<std::string> lines{"0 0 m"};
  for (int i = 1; i <= 16005; ++i)
    lines.push_back(std::to_string(i) + " 0 l");
  lines.push_back("S");
  auto store = Interpret(lines);
  ASSERT_EQ(store->PathList.size(), 1u);
  EXPECT_EQ(store->PathList[0].Count(), 16001u);
  EXPECT_EQ(store->PathList[0].Items.back().X1, 16000.0f);
}

TEST(Points, TrailingBlankStillReadsTheOperator) {
  auto store = Interpret({"100 200 m ", "*u ", "f ", "*U "});
  ASSERT_EQ(store->PathList.size(), 1u);
  EXPECT_EQ(store->PathList[0].Count(), 1u);
  EXPECT_EQ(store->collector.CurrentCompoundNo(),
            1);  // *u and *U read: the painted path kept number 0
}

TEST(Discard, DropsThePointsCollectedSoFar) {
  for (const char* discard : {"0 0 m n", "0 0 m N", "n", "N", "(x)*", "1 *"}) {
    auto store = Interpret({"5 5 m", "6 6 l", discard, "7 7 m", "8 8 l", "S"});
    ASSERT_EQ(store->PathList.size(), 1u) << discard;
    ASSERT_EQ(store->PathList[0].Count(), 2u) << discard;
    EXPECT_EQ(store->PathList[0].Items[0].X1, 7.0f) << discard;
  }
}

TEST(Colours, EveryColourCode) {
  struct Row {
    const char* line;
    TColor line_colour, fill_colour;
  };
  const TColor red = 0x0000FF, green = 0x00FF00, blue = 0xFF0000;
  for (const Row& r : {
           Row{"0 1 1 0 k", 0, red},
           Row{"1 0 1 0 K", green, 0},
           Row{"0 1 1 0 x", 0, red},   // x reads as k
           Row{"1 1 0 0 X", blue, 0},  // X reads as K
           Row{"1 0 0 Xa", 0, red},
           Row{"0 0 1 XA", blue, 0},
           Row{"0.5 g", 0, 0x808080},  // 127.5 rounds to the even 128
           Row{"1 G", 0xFFFFFF, 0},
           Row{"g", 0, 0},          // "g ": not a colour code
           Row{"(x) g", 0, 0},      // " g" with no number: black
           Row{"0.5 0.5 g", 0, 0},  // two numbers: unchanged (stays black here)
           Row{"0 1 1 0 cmyk", red, red},
           Row{"0 0 1 setrgbcolor", blue, blue},
           Row{"0 1 0 rgb", green, green},
       }) {
    auto store = Interpret({r.line, "0 0 m", "S"});
    EXPECT_EQ(store->PathList[0].LineColor, r.line_colour) << r.line;
    EXPECT_EQ(store->PathList[0].FillColor, r.fill_colour) << r.line;
  }
}

TEST(Colours, GreyNeedsAtMostOneNumber) {
  auto store = Interpret({"1 g", "0.5 0.5 g", "0 0 m", "S"});
  EXPECT_EQ(store->PathList[0].FillColor, 0xFFFFFF);  // the second line changed nothing
  store = Interpret({"0.25 g", "g", "0 0 m", "S"});
  EXPECT_EQ(store->PathList[0].FillColor, 0x404040);  // lone "g" does nothing; 63.75 -> 64
}

TEST(Colours, CustomColourChoosesRgbOrCmykByTheLastNumber) {
  // Last number 1: RGB from the first three.
  auto rgb = Interpret({"0.2 0.3 0.4 0.1 (Sky) 0.5 1 Xx", "0 0 m", "S"});
  EXPECT_EQ(rgb->PathList[0].FillColor, RgbToColor(0.2f, 0.3f, 0.4f));
  // As float32, 0.2 is 0.200000003, 0.3 is 0.300000012 and 0.4 is 0.400000006; times 255 they
  // are 51.0000008, 76.5000030 and 102.0000015.
  EXPECT_EQ(rgb->PathList[0].FillColor, 51 + 77 * 256 + 102 * 65536);
  // Last number 0: CMYK from the first four.
  auto cmyk = Interpret({"0.2 0.3 0.4 0.1 (Sky) 0.5 0 XX", "0 0 m", "S"});
  EXPECT_EQ(cmyk->PathList[0].LineColor, CmykToColor(0.2f, 0.3f, 0.4f, 0.1f));
  // Last number 1.5 rounds to the even 2: CMYK.
  auto half = Interpret({"0 1 1 0 (Sky) 0.5 1.5 Xx", "0 0 m", "S"});
  EXPECT_EQ(half->PathList[0].FillColor, CmykToColor(0, 1, 1, 0));
  // Seven numbers: the RGB values are the last three.
  auto seven = Interpret({"0 0 0 0 1 0 0 Xa", "0 0 m", "S"});
  EXPECT_EQ(seven->PathList[0].FillColor, 0x0000FF);
}

TEST(Colours, APathTakesTheColoursInForceWhenPainted) {
  auto store = Interpret({"1 0 0 Xa", "0 0 m", "1 1 l", "0 0 1 Xa", "f"});
  EXPECT_EQ(store->PathList[0].FillColor, 0xFF0000);
}

TEST(WordTable, SpelledOutOperators) {
  auto store = Interpret({"10 20 moveto", "30 40 lineto", "closepath", "fill"});
  ASSERT_EQ(store->PathList.size(), 1u);
  const tpath& p = store->PathList[0];
  EXPECT_TRUE(p.Closed);
  EXPECT_TRUE(p.Filled);
  ASSERT_EQ(p.Count(), 2u);
  EXPECT_EQ(p.Items[0], (tbpoint{0, 10, 20}));
  EXPECT_EQ(p.Items[1], (tbpoint{1, 30, 40}));

  store = Interpret({"10 20 moveto", "30 40 lineto", "closepath", "stroke"});
  EXPECT_TRUE(store->PathList[0].Closed);  // only because closepath came before
  EXPECT_FALSE(store->PathList[0].Filled);

  store = Interpret({"10 20 moveto", "30 40 lineto", "stroke"});
  EXPECT_FALSE(store->PathList[0].Closed);
  store = Interpret({"10 20 moveto", "30 40 lineto", "fill"});
  EXPECT_FALSE(store->PathList[0].Closed);
  EXPECT_TRUE(store->PathList[0].Filled);
}

TEST(WordTable, ShortAliases) {
  auto store = Interpret({"1 2 mo", "3 4 li", "1 2 3 4 5 6 cv", "cp", "ef"});
  ASSERT_EQ(store->PathList.size(), 1u);
  const tpath& p = store->PathList[0];
  EXPECT_EQ(p.Count(), 3u);
  EXPECT_EQ(p.Items[2].Kind, 2);
  EXPECT_TRUE(p.Closed);
  EXPECT_TRUE(p.Filled);

  store = Interpret({"1 2 mo", "3 4 li", "clp", "@"});
  EXPECT_TRUE(store->PathList[0].Closed);
  EXPECT_FALSE(store->PathList[0].Filled);
  store = Interpret({"1 2 mo", "3 4 li", "@"});
  EXPECT_FALSE(store->PathList[0].Closed);
  store = Interpret({"1 2 mo", "3 4 li", "eofill"});
  EXPECT_FALSE(store->PathList[0].Closed);
  EXPECT_TRUE(store->PathList[0].Filled);
  store = Interpret({"1 2 3 4 5 6 curveto", "S"});
  EXPECT_EQ(store->PathList[0].Items[0], (tbpoint{2, 1, 2, 3, 4, 5, 6}));
}

// The words of a line, one character at a time as the reading rules put them: blanks before a
// word are skipped; a word that opens with a double quote runs to its closing quote, two quotes
// inside standing for one; any other word runs to the next blank or comma; after a word, blanks
// and at most one comma with the blanks after it are skipped; a comma that is the last
// character adds an empty word.
std::vector<std::string> LiteralWords(const std::string& line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (i < n && line[i] == ' ')
    ++i;
  while (i < n) {
    std::string word;
    if (line[i] == '"') {
      ++i;
      while (i < n) {
        if (line[i] == '"') {
          if (i + 1 < n && line[i + 1] == '"') {
            word += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        word += line[i++];
      }
    } else {
      while (i < n && line[i] != ' ' && line[i] != ',')
        word += line[i++];
    }
    words.push_back(word);
    while (i < n && line[i] == ' ')
      ++i;
    if (i < n && line[i] == ',') {
      if (i + 1 == n) words.push_back("");
      ++i;
      while (i < n && line[i] == ' ')
        ++i;
    }
  }
  return words;
}

std::string LastWordOf(const std::string& line) {
  std::string scratch;
  return std::string(LastWord(line, scratch));
}

TEST(Words, CommasAndDoubleQuotes) {
  struct Row {
    const char* line;
    const char* last;
  };
  for (const Row& r :
       {Row{"1 2 m", "m"}, Row{"abc,@", "@"}, Row{"x,stroke", "stroke"}, Row{"\"fill\"", "fill"},
        Row{"(x) \"stroke\"", "stroke"}, Row{"S,", ""}, Row{"a , b", "b"}, Row{"a,,b", "b"},
        Row{"a,,", ""}, Row{",", ""}, Row{"\"a b\"", "a b"},
        Row{"\"say \"\"hi\"\"\"", "say \"hi\""}, Row{"\"open quote", "open quote"},
        Row{"\"ab\"cd", "cd"}, Row{"ab\"cd", "ab\"cd"}, Row{"\"a,b\"", "a,b"}, Row{"x, ", "x"}}) {
    EXPECT_EQ(LastWordOf(r.line), r.last) << r.line;
    const std::vector<std::string> words = LiteralWords(r.line);
    EXPECT_EQ(words.empty() ? "" : words.back(), r.last) << r.line;
  }
}

TEST(Words, AgreesWithTheLiteralSplitterOnRandomLines) {
  std::mt19937 random(2718);
  const char alphabet[] = {' ', ',', '"', 'a', 'b', '@', 'f'};
  for (int round = 0; round < 20000; ++round) {
    std::string line;
    const int length = static_cast<int>(random() % 12);
    for (int c = 0; c < length; ++c)
      line += alphabet[random() % sizeof alphabet];
    const std::vector<std::string> words = LiteralWords(line);
    ASSERT_EQ(LastWordOf(line), words.empty() ? "" : words.back()) << '[' << line << ']';
  }
}

TEST(Words, TheLastWordDecidesWithCommasAndQuotes) {
  // "@" after a comma strokes; a quoted "fill" or "stroke" paints.
  auto stroked = Interpret({"0 0 m", "10 0 l", "abc,@"});
  ASSERT_EQ(stroked->PathList.size(), 1u);
  EXPECT_FALSE(stroked->PathList[0].Closed);
  EXPECT_FALSE(stroked->PathList[0].Filled);
  EXPECT_EQ(stroked->PathList[0].Count(), 2u);

  auto filled = Interpret({"0 0 m", "10 0 l", "\"fill\""});
  ASSERT_EQ(filled->PathList.size(), 1u);
  EXPECT_TRUE(filled->PathList[0].Filled);
  EXPECT_FALSE(filled->PathList[0].Closed);

  for (const char* line : {"(x) \"stroke\"", "x,stroke"}) {
    auto s = Interpret({"0 0 m", "10 0 l", line});
    ASSERT_EQ(s->PathList.size(), 1u) << line;
    EXPECT_FALSE(s->PathList[0].Filled) << line;
  }

  // "S," has the code "S," and an empty last word: nothing is painted.
  auto none = Interpret({"10 10 l", "S,"});
  EXPECT_TRUE(none->PathList.empty());
  ASSERT_TRUE(none->collector.CurrentPath());
  EXPECT_EQ(none->collector.CurrentPath()->Count(), 1u);
}

TEST(Groups, LevelsAndCompoundNumbers) {
  auto store =
      Interpret({"u", "0 0 m", "S", "u", "0 0 m", "S", "U", "U", "0 0 m", "S", "U", "0 0 m", "S"});
  ASSERT_EQ(store->PathList.size(), 4u);
  EXPECT_EQ(store->PathList[0].GroupLevel, 1);
  EXPECT_EQ(store->PathList[1].GroupLevel, 2);
  EXPECT_EQ(store->PathList[2].GroupLevel, 0);
  EXPECT_EQ(store->PathList[3].GroupLevel, -1);  // unbalanced: goes negative
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(store->PathList[i].CompoundNo, i);
}

TEST(Groups, CompoundPathsShareANumber) {
  auto store = Interpret(
      {"0 0 m", "f", "*u", "0 0 m", "f", "1 1 m", "f", "*u", "2 2 m", "f", "*U", "3 3 m", "f"});
  ASSERT_EQ(store->PathList.size(), 5u);
  EXPECT_EQ(store->PathList[0].CompoundNo, 0);
  EXPECT_EQ(store->PathList[1].CompoundNo, 1);
  EXPECT_EQ(store->PathList[2].CompoundNo, 1);
  EXPECT_EQ(store->PathList[3].CompoundNo, 1);  // a second *u does not nest
  EXPECT_EQ(store->PathList[4].CompoundNo, 2);
}

TEST(Groups, FillStateChangeInsideACompoundTakesANewNumber) {
  auto store = Interpret({"*u", "0 0 m", "S", "0 0 m", "f", "0 0 m", "f", "*U"});
  EXPECT_EQ(store->PathList[0].CompoundNo, 0);
  EXPECT_EQ(store->PathList[1].CompoundNo, 1);
  EXPECT_EQ(store->PathList[2].CompoundNo, 1);
}

TEST(Markers, ReadingStartsAfterAStartMarkerAndStopsAtTheTrailer) {
  const std::vector<std::string> lines{"0 0 m", "S", "%%EndSetup",     "1 1 m", "S", "%%Trailer",
                                       "2 2 m", "S", "%%endpagesetup", "3 3 m", "S"};
  auto store = Interpret(lines, true, false);
  ASSERT_EQ(store->PathList.size(), 2u);
  EXPECT_EQ(store->PathList[0].Items[0].X1, 1.0f);
  EXPECT_EQ(store->PathList[1].Items[0].X1, 3.0f);

  // Parse Everything reads from the first line but still stops at the trailer.
  store = Interpret(lines, true, true);
  ASSERT_EQ(store->PathList.size(), 3u);
  EXPECT_EQ(store->PathList[0].Items[0].X1, 0.0f);

  // Without any start marker nothing is read.
  store = Interpret({"0 0 m", "S"}, true, false);
  EXPECT_TRUE(store->PathList.empty());
  store = Interpret({"CADDDict begin", "0 0 m", "S"}, true, false);
  EXPECT_EQ(store->PathList.size(), 1u);
  // "%%Trailer" is case-sensitive; the markers are not.
  store = Interpret({"%%trailer", "0 0 m", "S"}, true, true);
  EXPECT_EQ(store->PathList.size(), 1u);

  // The markers are compared after tidying: blanks around them and doubled inside them, and
  // four percent signs, still mark; other spellings do not.
  for (const char* marker : {"CADDDict  begin", "  %%EndSetup", "%%EndSetup  ", "%%%%EndSetup",
                             "cadddict   begin", "%%EndPageSetup "}) {
    store = Interpret({marker, "0 0 m", "S"}, true, false);
    EXPECT_EQ(store->PathList.size(), 1u) << '[' << marker << ']';
  }
  for (const char* other : {"CADDDictbegin", "%% EndSetup", "%%EndSetup x", "C ADDDict begin"}) {
    store = Interpret({other, "0 0 m", "S"}, true, false);
    EXPECT_TRUE(store->PathList.empty()) << '[' << other << ']';
  }
}

TEST(Markers, BoundingBox) {
  for (bool flip : {true, false}) {
    auto store = Interpret({"%%BoundingBox: 0 0 612 792"}, flip);
    EXPECT_EQ(store->ViewExtent, (FloatRect{0, -792, 612, 0}));
    EXPECT_TRUE(std::signbit(store->ViewExtent.MaxY));  // -0: the negated 0
  }
  auto store = Interpret({"%%boundingbox: 10 20 30 40"});
  EXPECT_EQ(store->ViewExtent, (FloatRect{10, -40, 30, -20}));
  // The first bounding box line uses up the one chance.
  store = Interpret({"%%BoundingBox: (atend)", "%%BoundingBox: 0 0 10 10"});
  EXPECT_EQ(store->ViewExtent, (FloatRect{0, -60, 60, 0}));
  store = Interpret({"%%BoundingBox: 1 2 3"});
  EXPECT_EQ(store->ViewExtent, (FloatRect{0, -60, 60, 0}));
  store = Interpret({"%%%%BoundingBox: 0 0 10 10"});
  EXPECT_EQ(store->ViewExtent, (FloatRect{0, -10, 10, 0}));
  // Read whatever the state of reading.
  store = Interpret({"%%BoundingBox: 0 0 10 10"}, true, false);
  EXPECT_EQ(store->ViewExtent, (FloatRect{0, -10, 10, 0}));
}

TEST(Lines, AnOperatorLineThatFailsIsSkipped) {
  // Lines that only look like operators do nothing.
  auto store = Interpret({"xm", "m", "10 m", "(text) Tx", "1 2 3 4 5 6 7 8 k", "0 0 m", "S"});
  ASSERT_EQ(store->PathList.size(), 1u);
  EXPECT_EQ(store->PathList[0].Count(), 1u);
}

TEST(State, EveryRunStartsAfreshButTheCurrentPointSurvives) {
  Interpreted run;
  Progress quiet;
  run.Run({"u", "*u", "1 0 0 Xa", "0 0 K", "5 6 m", "f"}, {true, true}, quiet);
  EXPECT_EQ(run.collector.CurrentGroupLevel(), 1);
  EXPECT_TRUE(run.collector.InCompound());
  EXPECT_EQ(run.state.CurrentPoint, (FloatPoint{5, 6}));
  run.Run({"1 2 3 4 v", "S"}, {true, true}, quiet);
  ASSERT_EQ(run.PathList.size(), 1u);
  const tpath& p = run.PathList[0];
  EXPECT_EQ(p.GroupLevel, 0);
  EXPECT_EQ(p.CompoundNo, 0);
  EXPECT_EQ(p.FillColor, 0);
  EXPECT_EQ(p.Items[0], (tbpoint{2, 5, 6, 1, 2, 3, 4}));  // v starts at the old current point
  EXPECT_EQ(run.collector.CurrentCompoundNo(), 1);
  EXPECT_EQ(run.ViewExtent, (FloatRect{0, -60, 60, 0}));
}

TEST(Progress, CounterEveryHundredLinesAndPhaseText) {
  std::vector<std::string> lines(1234, "0 0 m");
  RecordingProgress progress;
  progress.separator = ".";
  Interpreted run;
  run.Run(lines, {}, progress);
  ASSERT_EQ(progress.phases.size(), 1u);
  EXPECT_EQ(progress.phases[0], "Interpreting File    (1.234 Lines)");
  EXPECT_EQ(progress.maximum, 1234);
  ASSERT_EQ(progress.counters.size(), 13u);
  EXPECT_EQ(progress.counters[0], "0      ");
  EXPECT_EQ(progress.counters[12], "1200      ");
  EXPECT_EQ(progress.pumps, 13);
  // 0 at the start, each hundred, then back to 0 at the end.
  EXPECT_EQ(progress.positions.front(), 0);
  EXPECT_EQ(progress.positions[2], 100);
  EXPECT_EQ(progress.positions.back(), 0);
  EXPECT_EQ(progress.busy, 0);
}

TEST(Progress, NoProgressBarStillCountsAndPumps) {
  RecordingProgress progress;
  progress.bar = false;
  Interpreted run;
  run.Run(std::vector<std::string>(250, "x"), {}, progress);
  EXPECT_TRUE(progress.phases.empty());
  EXPECT_TRUE(progress.positions.empty());
  EXPECT_EQ(progress.counters.size(), 3u);
  EXPECT_EQ(progress.pumps, 3);
}

TEST(Progress, AbortTakesEffectBeforeTheNextLineAndClearsEverything) {
  std::vector<std::string> lines;
  for (int i = 0; i < 500; ++i) {
    lines.push_back("0 0 m");
    lines.push_back("f");
  }
  RecordingProgress progress;
  progress.abortAtPump = 3;  // pressed while the events of line 200 are handled
  Interpreted run;
  run.Run(lines, {true, true}, progress);
  EXPECT_TRUE(run.PathList.empty());
  EXPECT_FALSE(run.collector.CurrentPath());
  EXPECT_TRUE(progress.AbortRequested());
  EXPECT_EQ(progress.pumps, 3);
  EXPECT_EQ(progress.positions.back(), 0);
  EXPECT_EQ(progress.busy, 0);

  // A new interpretation clears the flag and reads normally.
  RecordingProgress again;
  again.SetAbortRequested(true);
  run.Run(lines, {true, true}, again);
  EXPECT_EQ(run.PathList.size(), 500u);
}

TEST(Robustness, JunkLinesNeverCrash) {
  std::mt19937 random(99);
  std::vector<std::string> lines;
  for (int i = 0; i < 5000; ++i) {
    std::string line;
    const int length = random() % 40;
    for (int c = 0; c < length; ++c)
      line += static_cast<char>(32 + random() % 95);
    if (line.empty()) line.push_back('x');  // not = "x": GCC 12 warns wrongly (-Wrestrict) at -O3
    lines.push_back(line);
  }
  auto store = Interpret(lines);
  for (const tpath& p : store->PathList) {
    for (const tbpoint& pt : p.Items) {
      for (float v : {pt.X1, pt.Y1, pt.X2, pt.Y2, pt.X3, pt.Y3})
        EXPECT_TRUE(std::isfinite(v));
    }
  }
}

}  // namespace
}  // namespace aiimport

namespace aiimport {
namespace {

// Writes down every call a reader makes.
class CallLog : public PathSink {
 public:
  void BeginDrawing(const FloatRect&) override { Calls.clear(); }
  void AbortDrawing() override { Calls.push_back("abort"); }
  void SetViewExtent(const FloatRect& r) override {
    Calls.push_back("extent " + std::to_string(r.MinX) + " " + std::to_string(r.MaxY));
  }
  bool AddPoint(const tbpoint& p) override {
    char text[160];
    std::snprintf(text, sizeof text, "point %d %a %a %a %a %a %a", p.Kind, p.X1, p.Y1, p.X2, p.Y2,
                  p.X3, p.Y3);
    Calls.push_back(text);
    return true;
  }
  void ClosePath() override { Calls.push_back("close"); }
  void DiscardPoints() override { Calls.push_back("discard"); }
  void Paint(std::string_view code) override { Calls.push_back("paint " + std::string(code)); }
  void SetLineColor(TColor c) override { Calls.push_back("line " + std::to_string(c)); }
  void SetFillColor(TColor c) override { Calls.push_back("fill " + std::to_string(c)); }
  void BeginGroup() override { Calls.push_back("u"); }
  void EndGroup() override { Calls.push_back("U"); }
  void BeginCompound() override { Calls.push_back("*u"); }
  void EndCompound() override { Calls.push_back("*U"); }
  std::vector<std::string> Calls;
};

TEST(Lines, TheReadingLoopDoesWhatTheLineFunctionsDo) {
  // The reading loop looks at each line once for blanks, quotes and commas and prepares it
  // before carrying it out; TidyLine and ProcessOperatorLine, one line at a time, are the plain
  // form of the same rules.
  std::mt19937 random(23);
  const char* const pieces[] = {" ",      "  ", ",", "\"",   "\"\"", "1",      "2.5", "-3",
                                "m",      "l",  "c", "v",    "k",    "K",      "Xa",  "g",
                                "f",      "S",  "b", "n",    "u",    "U",      "*u",  "fill",
                                "stroke", "cp", "@", "cmyk", "rgb",  "moveto", "%%%%"};
  for (int round = 0; round < 20000; ++round) {
    std::string line;
    const int n = 1 + static_cast<int>(random() % 12);
    for (int k = 0; k < n; ++k)
      line += pieces[random() % (sizeof pieces / sizeof *pieces)];
    CallLog read, plain;
    InterpreterState readState, plainState;
    Progress quiet;
    InterpretLines(LineList::FromLines({line}), {true, true}, readState, read, quiet);
    std::string scratch;
    const std::string_view tidied = TidyLine(line, scratch);
    if (!tidied.empty()) ProcessOperatorLine(plain, plainState, tidied, 1.0f);
    ASSERT_EQ(read.Calls, plain.Calls) << '[' << line << ']';
  }
}

}  // namespace
}  // namespace aiimport
