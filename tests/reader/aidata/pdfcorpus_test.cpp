// Real PDF-based .ai files from the shared corpus. The expected figures were worked out apart
// from this program: the private-data objects cut out of the file by hand, Flate streams
// inflated with Python's zlib and Zstandard data with the zstd tool, the lines and operators
// counted with a short script.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "aipdf.h"
#include "corpus.h"
#include "pdfsource.h"
#include "readfile.h"

namespace {

// Illustrator 9: a thumbnail block and eight Flate-filtered blocks of plain text, no marker,
// no /NumBlock; 17 layers, 3 598 painted paths after %%EndSetup, five of them in the one
// compound path, groups two deep.
TEST(PdfCorpus, Illustrator9FileImportsItsPaintedPaths) {
  REQUIRE_CORPUS_FILE("harvard-lts-fits-ai9.ai");
  const std::string file = aiimport::testing::CorpusFile("harvard-lts-fits-ai9.ai").string();

  const std::string bytes = aipdf::ReadWholeFile(file);
  const auto x = aiimport::ExtractIllustratorText(bytes.data(), bytes.size());
  ASSERT_TRUE(x.Ok) << x.Message;
  EXPECT_EQ(x.Coding, aiimport::DataCoding::Plain);
  EXPECT_EQ(x.Blocks, 9u);
  EXPECT_EQ(x.Size, 505594u);
  std::size_t layers = 0;
  for (std::size_t at = 0; (at = x.View().find("%AI5_BeginLayer", at)) != std::string_view::npos;
       ++at)
    ++layers;
  EXPECT_EQ(layers, 17u);

  aiimport::PathModel store;
  aiimport::Progress quiet;
  const auto read = aiimport::ReadSourceFile(store, file, {}, quiet);
  ASSERT_EQ(read.Load.Status, aiimport::LoadStatus::Loaded) << read.Load.Message;
  EXPECT_EQ(read.Lines, 30025u);
  ASSERT_EQ(store.PathList.size(), 3598u);

  std::map<int32_t, std::size_t> perLevel;
  std::map<int32_t, std::size_t> perCompound;
  for (const aiimport::tpath& p : store.PathList) {
    ++perLevel[p.GroupLevel];
    ++perCompound[p.CompoundNo];
  }
  EXPECT_EQ(perLevel, (std::map<int32_t, std::size_t>{{0, 1823}, {1, 1548}, {2, 227}}));
  std::size_t largestCompound = 0;
  for (const auto& [no, count] : perCompound)
    largestCompound = std::max(largestCompound, count);
  EXPECT_EQ(largestCompound, 5u);
}

// Illustrator 24 without PDF compatibility: 14 blocks of Zstandard frames without content
// size. Decoded: the 1 155-byte header and 2 363 079 bytes of text, 29 626 lines, ending with
// %%Trailer and %%EOF. Its page holds only text objects, so no painted path is right.
TEST(PdfCorpus, Illustrator24FileDecodesItsZstandardText) {
  REQUIRE_CORPUS_FILE("sindresorhus-fixture-without-pdf-compatibility.ai");
  const std::string file =
      aiimport::testing::CorpusFile("sindresorhus-fixture-without-pdf-compatibility.ai").string();

  const std::string bytes = aipdf::ReadWholeFile(file);
  const auto x = aiimport::ExtractIllustratorText(bytes.data(), bytes.size());
  ASSERT_TRUE(x.Ok) << x.Message;
  EXPECT_EQ(x.Coding, aiimport::DataCoding::Zstandard);
  EXPECT_EQ(x.Blocks, 14u);
  EXPECT_EQ(x.Size, 2364234u);
  const std::string_view text = x.View();
  EXPECT_TRUE(text.starts_with("%!PS-Adobe-3.0 \r\n%%Creator: Adobe Illustrator(R) 24.0\r\n"));
  EXPECT_TRUE(text.ends_with("%%Trailer\r\n%%EOF\r\n"));
  EXPECT_NE(text.find("\r\n%%EndSetup\r\n"), std::string_view::npos);
  EXPECT_LT(text.find("\r\n%%EndSetup\r\n"), text.find("\r\n%%Trailer\r\n"));

  aiimport::PathModel store;
  aiimport::Progress quiet;
  const auto read = aiimport::ReadSourceFile(store, file, {}, quiet);
  ASSERT_EQ(read.Load.Status, aiimport::LoadStatus::Loaded) << read.Load.Message;
  EXPECT_EQ(read.Lines, 29626u);
  EXPECT_TRUE(store.PathList.empty());
}

// Illustrator 24, cut off before its cross-reference table and trailer.
TEST(PdfCorpus, TruncatedFileGivesAMessage) {
  REQUIRE_CORPUS_FILE("sindresorhus-fixture.ai");
  const std::string file = aiimport::testing::CorpusFile("sindresorhus-fixture.ai").string();
  aiimport::PathModel store;
  aiimport::Progress quiet;
  const auto read = aiimport::ReadSourceFile(store, file, {}, quiet);
  EXPECT_EQ(read.Load.Status, aiimport::LoadStatus::Unreadable);
  EXPECT_EQ(read.Load.Message, "This PDF file is damaged or incomplete and cannot be read");
  EXPECT_TRUE(store.PathList.empty());
}

// Files that are not PDF still read as text.
TEST(PdfCorpus, ClassicFilesAreNotTakenForPdf) {
  REQUIRE_CORPUS_FILE("sk1project-probe.ai");
  const std::string bytes =
      aipdf::ReadWholeFile(aiimport::testing::CorpusFile("sk1project-probe.ai"));
  EXPECT_FALSE(aiimport::IsPdfData(bytes.data(), bytes.size()));
  aiimport::PathModel store;
  aiimport::Progress quiet;
  const auto read = aiimport::ReadSourceFile(
      store, aiimport::testing::CorpusFile("sk1project-probe.ai").string(), {}, quiet);
  EXPECT_EQ(read.Load.Status, aiimport::LoadStatus::Loaded);
  EXPECT_EQ(store.PathList.size(), 1u);
}

}  // namespace
