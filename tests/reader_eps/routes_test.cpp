// The reading routes: which text the line reader gets under each reading choice, and what the
// status bar says afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "epsmake.h"
#include "readfile.h"
#include "testfiles.h"

namespace aiimport {
namespace {

namespace fs = std::filesystem;

class Routes : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("aiimport-routes-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string File(const std::string& name, const std::string& bytes) {
    testing::WriteWholeFile(dir_ / name, bytes);
    return (dir_ / name).string();
  }

  ReadResult Read(const std::string& file, ReadAs reader, bool parseEverything = false) {
    ReadOptions options;
    options.Reader = reader;
    options.ParseEverything = parseEverything;
    Progress quiet;
    model_ = PathModel();
    return ReadSourceFile(model_, file, options, quiet);
  }

  fs::path dir_;
  PathModel model_;
};

// A drawing of one filled triangle after "%%EndSetup", in Illustrator's language.
const std::string Triangle = "%%EndSetup\r0 0 m\r10 0 l\r10 10 l\rf\r";

TEST_F(Routes, TheDataBlockInAutomaticThePrintablePageInIllustratorOperators) {
  epsmake::Block block;
  block.Marker = "%AI9_DataStream";
  block.Packed = epsmake::Zlib(Triangle);
  const std::string file = File("cs.eps", epsmake::Page("\r") + epsmake::BlockText(block));

  ReadResult r = Read(file, ReadAs::Automatic);
  EXPECT_EQ(r.Route, ReadRoute::EpsDataBlock);
  ASSERT_EQ(model_.PathList.size(), 1u);
  EXPECT_EQ(model_.PathList[0].Count(), 3u);
  EXPECT_TRUE(model_.PathList[0].Filled);
  EXPECT_EQ(ReadingStatus(r, 1), "Read from the Illustrator data in this EPS file");

  // The classic rules read the printable page: after %%EndSetup, "10 10 pt 90 90 lineto
  // stroke" ends in the word "stroke" and paints the path collected so far, which holds no
  // point ("pt" and "lineto" are not the lines' last words).
  r = Read(file, ReadAs::IllustratorOperators);
  EXPECT_EQ(r.Route, ReadRoute::Lines);
  ASSERT_EQ(model_.PathList.size(), 1u);
  EXPECT_EQ(model_.PathList[0].Count(), 0u);
}

TEST_F(Routes, ADataBlockThatDoesNotUnpackReadsThePageAndSaysSo) {
  epsmake::Block block;
  block.Marker = "%AI9_DataStream";
  block.Packed = epsmake::Zlib(Triangle);
  block.Packed[block.Packed.size() / 2] ^= 0x55;  // damage inside the stream
  const std::string file = File("damaged.eps", epsmake::Page("\n") + epsmake::BlockText(block));
  const ReadResult r = Read(file, ReadAs::Automatic);
  EXPECT_EQ(r.Route, ReadRoute::Lines);
  ASSERT_EQ(r.Notes.size(), 1u);
  EXPECT_NE(r.Notes[0].find(": the printable page was read instead"), std::string::npos);
  EXPECT_NE(ReadingStatus(r, 1).find(r.Notes[0]), std::string::npos);
}

TEST_F(Routes, AnIllustratorFileWithoutStartMarkerIsReadFromItsFirstLineInAutomatic) {
  const std::string text =
      "%!PS-Adobe-2.0 EPSF-1.2\n%%Creator: Adobe Illustrator 88(TM) 1.6\n"
      "0 0 m\n10 0 l\n10 10 l\nf\n";
  const std::string file = File("ai88.ai", text);

  ReadResult r = Read(file, ReadAs::Automatic);
  EXPECT_TRUE(r.FromFirstLine);
  ASSERT_EQ(model_.PathList.size(), 1u);
  EXPECT_EQ(model_.PathList[0].Count(), 3u);
  EXPECT_EQ(ReadingStatus(r, 1),
            "This Illustrator file has no start marker (%%EndSetup): it was read from its first "
            "line");

  // The classic rules read nothing, and the status says why.
  r = Read(file, ReadAs::IllustratorOperators);
  EXPECT_FALSE(r.FromFirstLine);
  EXPECT_TRUE(model_.PathList.empty());
  EXPECT_EQ(ReadingStatus(r, 0),
            "No start marker (%%EndSetup) was found, so nothing was read: check Options \u203A "
            "Parse Everything and reload");

  // With a start marker, or with "Parse Everything", nothing changes.
  r = Read(File("marked.ai", text + "%%EndSetup\n"), ReadAs::Automatic);
  EXPECT_FALSE(r.FromFirstLine);
  EXPECT_TRUE(model_.PathList.empty());
  r = Read(file, ReadAs::Automatic, true);
  EXPECT_FALSE(r.FromFirstLine);
  EXPECT_EQ(model_.PathList.size(), 1u);

  // A file that Illustrator did not write is not read from its first line.
  r = Read(File("other.txt", "0 0 m\n10 0 l\n10 10 l\nf\n"), ReadAs::Automatic);
  EXPECT_FALSE(r.FromFirstLine);
  EXPECT_TRUE(model_.PathList.empty());
}

TEST(ReadingStatus, WhyNothingCameOutAndWhatWasNotImported) {
  ReadResult r;
  r.Route = ReadRoute::Lines;
  EXPECT_EQ(ReadingStatus(r, 0), "The file holds no text that aiimport reads");
  r.Lines = 12;
  r.Interpretation.StartMarker = true;
  r.Interpretation.OperatorLines = 10;
  EXPECT_EQ(ReadingStatus(r, 0), "The file holds no drawing operators that aiimport reads");
  r.Paths = 3;
  EXPECT_EQ(ReadingStatus(r, 0),
            "The paths read have fewer than two points each: there is nothing to show or "
            "import");
  EXPECT_EQ(ReadingStatus(r, 3), "");

  r.NotImported.TextObjects = 1234;
  r.NotImported.Images = 1;
  EXPECT_EQ(ReadingStatus(r, 3, "."),
            "Not imported: 1.234 text objects (convert text to outlines before saving), 1 "
            "placed image");

  r.Aborted = true;
  EXPECT_EQ(ReadingStatus(r, 0), "Reading was aborted: nothing was read");
  r.Load.Status = LoadStatus::Missing;
  r.Load.Message = "The file \"x.ai\" does not exist";
  EXPECT_EQ(ReadingStatus(r, 0), r.Load.Message);
}

TEST_F(Routes, TheIllustrator24CorpusFileIsReadFromItsDataBlock) {
  const fs::path corpus = fs::path(AIIMPORT_CORPUS_DIR) / "sindresorhus-fixture.eps";
  if (!fs::exists(corpus)) GTEST_SKIP() << "the shared corpus is not here: " << corpus;
  // Its data hold one layer with no art in it (the text document of its setup is not placed on
  // the page): nothing to read, and the status bar says so.
  ReadResult r = Read(corpus.string(), ReadAs::Automatic);
  EXPECT_EQ(r.Route, ReadRoute::EpsDataBlock);
  EXPECT_TRUE(model_.PathList.empty());
  EXPECT_TRUE(r.Interpretation.StartMarker);
  EXPECT_EQ(ReadingStatus(r, 0),
            "Read from the Illustrator data in this EPS file. The file holds no drawing "
            "operators that aiimport reads");

  r = Read(corpus.string(), ReadAs::IllustratorOperators);
  EXPECT_EQ(r.Route, ReadRoute::Lines);
}

}  // namespace
}  // namespace aiimport
