// Cut-off and random bytes: the block search, the classification and the scan of what is not
// imported never fail, never read outside the buffer (the sanitizer build checks that), and
// what they say stays consistent.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "epsdata.h"
#include "epsmake.h"
#include "interpreter.h"
#include "lines.h"
#include "notimported.h"
#include "pskind.h"

namespace {

using aiimport::FindEpsIllustratorData;

// The result's fields agree with each other.
void ExpectConsistent(const aiimport::IllustratorData& x) {
  if (x.Ok) {
    EXPECT_TRUE(x.Found);
    EXPECT_TRUE(x.Message.empty());
  } else {
    EXPECT_EQ(x.Text, nullptr);
    EXPECT_EQ(x.Size, 0u);
    EXPECT_EQ(x.Found, !x.Message.empty());
  }
}

// Each test gets its own copy of exactly `size` bytes, so that reading past it is caught.
aiimport::IllustratorData FindIn(const std::string& bytes, std::size_t size) {
  auto copy = std::make_unique<char[]>(size ? size : 1);
  std::memcpy(copy.get(), bytes.data(), size);
  return FindEpsIllustratorData(copy.get(), size);
}

TEST(EpsTruncated, EveryPrefixOfASmallFile) {
  for (const std::string eol : {"\r", "\r\n"}) {
    SCOPED_TRACE(eol == "\r" ? "CR" : "CR LF");
    const std::string text = "%!PS-Adobe-3.0\r%%EndSetup\r10 10 m\r20 20 l\rS\r%%EOF\r";
    epsmake::Block b;
    b.Eol = eol;
    b.Marker = "%AI9_DataStream";
    b.Packed = epsmake::Zlib(text);
    b.LineWidth = 20;
    const std::string file = epsmake::Page(eol) + epsmake::BlockText(b);
    const std::string want = epsmake::HeaderText(b) + text;

    // Before the begin line is whole there is no block; from then on there is one, which
    // gives its text once the close mark is in.
    const std::size_t beginLine = file.find("%AI9_PrivateDataBegin") + 21;
    const std::size_t closed = file.find("~>") + 2;
    for (std::size_t n = 0; n <= file.size(); ++n) {
      SCOPED_TRACE("first " + std::to_string(n) + " bytes");
      const auto x = FindIn(file, n);
      ExpectConsistent(x);
      EXPECT_EQ(x.Found, n >= beginLine);
      EXPECT_EQ(x.Ok, n >= closed);
      if (x.Ok) {
        EXPECT_TRUE(x.View() == want);
      }
      const auto kind = aiimport::ClassifyPostScript(file.data(), n);
      EXPECT_EQ(kind.DataBlock, n >= beginLine);
    }
  }
}

// Random files put together from the pieces a block is made of, and from random bytes.
std::string RandomFile(std::mt19937& random, const std::vector<std::string>& pieces) {
  std::string file;
  const int count = std::uniform_int_distribution<int>(0, 60)(random);
  for (int i = 0; i < count; ++i) {
    const auto pick = std::uniform_int_distribution<std::size_t>(0, pieces.size())(random);
    if (pick < pieces.size()) {
      file += pieces[pick];
    } else {
      const int n = std::uniform_int_distribution<int>(1, 40)(random);
      for (int k = 0; k < n; ++k)
        file += static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
    }
  }
  return file;
}

TEST(EpsJunk, RandomFilesNeverFail) {
  const std::string packed = epsmake::Zlib("%%EndSetup\n0 0 m\n5 5 l\nf\n");
  const std::string zstd = epsmake::ZstdFrame("%%EndSetup\n0 0 m\n5 5 l\nf\n");
  const std::vector<std::string> pieces = {"%AI9_PrivateDataBegin\r",
                                           "%AI9_PrivateDataBegin\n",
                                           "%AI9_DataStream\r",
                                           "%AI24_DataStream\n",
                                           "%AI9_PrivateDataEnd\r\n",
                                           "%%EOF\n",
                                           "%" + epsmake::Ascii85(packed) + "\r",
                                           "%" + epsmake::Ascii85(zstd) + "\n",
                                           "%" + epsmake::Ascii85(packed.substr(0, 9)) + "\r",
                                           "~>\r",
                                           "%~>\n",
                                           "~",
                                           "%",
                                           "z",
                                           "\r",
                                           "\n",
                                           "\r\n",
                                           " ",
                                           std::string("\xC5\xD0\xD3\xC6\x1E\0\0\0\x40\0\0\0", 12),
                                           "%!PS-Adobe-3.0\n",
                                           "%%Creator: Adobe Illustrator\r",
                                           "%AI5_FileFormat 3\n",
                                           "%%EndSetup\n",
                                           "CADDDict begin\r",
                                           "0 1 1 1 0 0 0 Lb\n",
                                           "LB\n",
                                           "0 To\n",
                                           "Bb\n",
                                           "(p) 0 0 1 1 0 0 0 0 0 [1 0 0 1 0 0] p\n",
                                           "f\n",
                                           "*u\n",
                                           "*U\n",
                                           "%AI5_BeginRaster\n",
                                           "XI\n",
                                           "%%Trailer\n"};
  std::mt19937 random(20240611);
  for (int round = 0; round < 3000; ++round) {
    const std::string file = RandomFile(random, pieces);
    SCOPED_TRACE("round " + std::to_string(round));
    const auto x = FindIn(file, file.size());
    ExpectConsistent(x);
    aiimport::ClassifyPostScript(file.data(), file.size());

    // What the loader and the scan would make of it.
    auto bytes = std::make_unique<char[]>(file.size() + 1);
    std::memcpy(bytes.get(), file.data(), file.size());
    aiimport::LineList lines;
    aiimport::Progress quiet;
    aiimport::FilterLines(lines, std::move(bytes), file.size(), quiet);
    for (bool everything : {false, true}) {
      aiimport::InterpretOptions options;
      options.ParseEverything = everything;
      const auto counts = aiimport::CountNotImported(lines, options);
      EXPECT_LE(counts.HiddenLayers, counts.HiddenLayerPaths);
      EXPECT_EQ(aiimport::NotImportedMessage(counts).empty(), counts.Empty());
    }
  }
}

}  // namespace
