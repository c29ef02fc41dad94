// Real files. The expected figures were worked out apart from this program: the data blocks
// cut out of the files by hand and decoded with Python's ASCII85 decoder, its zlib and the
// zstd tool; operators counted on the decoded page with grep and a short script applying the
// rules in notimported.h.
//
// Besides the shared corpus, Debian's texlive-publishers-doc package holds four Illustrator
// EPS files with data blocks (Illustrator 9, CS and CS4; CR, LF and CR LF line ends; one with
// a DOS EPS header and a TIFF preview). They are read where they are installed; the tests skip
// without the package.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "corpus.h"
#include "epsdata.h"
#include "epsmake.h"
#include "interpreter.h"
#include "lines.h"
#include "notimported.h"
#include "pathcollector.h"
#include "pdfsource.h"
#include "pskind.h"

namespace {

using namespace aiimport;

LineList Lines(const char* data, std::size_t size) {
  auto bytes = std::make_unique<char[]>(size ? size : 1);
  std::memcpy(bytes.get(), data, size);
  LineList lines;
  Progress quiet;
  FilterLines(lines, std::move(bytes), size, quiet);
  return lines;
}

// The bytes between the begin line and the stream marker line: the header the text starts with.
std::string HeaderOf(const std::string& file, const std::string& marker) {
  const std::size_t begin = file.rfind("%AI9_PrivateDataBegin");
  std::size_t at = begin + 21;
  if (file[at] == '\r') ++at;
  if (file[at] == '\n') ++at;
  return file.substr(at, file.find(marker, at) - at);
}

struct RealFile {
  std::string Name;
  std::string Path;  // gzip-compressed when it ends in .gz
  DataCoding Coding;
  std::size_t StreamBytes;  // the unpacked stream, without the header
  std::string Eol;          // of the file's lines
  std::string StreamEol;    // of the unpacked stream's lines (Illustrator's own)
  std::string Message;      // what is not imported, reading from %%EndSetup
};

std::vector<RealFile> RealFiles() {
  const std::string doc = "/usr/share/doc/texlive-doc/latex/";
  return {
      {"Illustrator24Fixture", aiimport::testing::CorpusFile("sindresorhus-fixture.eps").string(),
       DataCoding::Zstandard, 436975, "\r", "\r", ""},
      {"Illustrator9CrLf", doc + "jpsj/dummy.eps.gz", DataCoding::Zlib, 302062, "\r\n", "\r",
       "Not imported: 1 text object (convert text to outlines before saving)"},
      {"IllustratorCsCr", doc + "ucdavisthesis/example/ucdavisthesis_example_figure.eps.gz",
       DataCoding::Zlib, 1355403, "\r", "\r", ""},
      {"IllustratorCs4Lf", doc + "kdgdocs/kdg_color.eps.gz", DataCoding::Zlib, 605238, "\n", "\r",
       ""},
      {"IllustratorCs4DosHeaderAndTiff", doc + "elteikthesis/images/elte_cimer_szines.eps.gz",
       DataCoding::Zlib, 826314, "\r\n", "\r\n", "Not imported: 2 gradient fills"},
  };
}

class RealEps : public ::testing::TestWithParam<RealFile> {};

TEST_P(RealEps, DataBlockUnpacksToTheDrawing) {
  const RealFile& f = GetParam();
  const bool gzip = f.Path.size() > 3 && f.Path.substr(f.Path.size() - 3) == ".gz";
  if (!std::filesystem::exists(f.Path))
    GTEST_SKIP() << f.Path << " is not here ("
                 << (gzip ? "Debian package texlive-publishers-doc" : "the shared corpus")
                 << " not installed): skipped";
  const std::string file = gzip ? epsmake::ReadGzipFile(f.Path) : epsmake::ReadWholeFile(f.Path);
  ASSERT_FALSE(file.empty());

  const PostScriptKind kind = ClassifyPostScript(file.data(), file.size());
  EXPECT_TRUE(kind.PostScript);
  EXPECT_TRUE(kind.CreatorIllustrator);
  EXPECT_TRUE(kind.DataBlock);
  EXPECT_TRUE(kind.Illustrators());

  const auto x = FindEpsIllustratorData(file.data(), file.size());
  ASSERT_TRUE(x.Ok) << x.Message;
  EXPECT_EQ(x.Coding, f.Coding);
  const std::string header =
      HeaderOf(file, f.Coding == DataCoding::Zstandard ? "%AI24_DataStream" : "%AI9_DataStream");
  ASSERT_EQ(header.substr(0, 23 + f.Eol.size()), "%!PS-Adobe-3.0 EPSF-3.0" + f.Eol);
  EXPECT_EQ(x.Size, header.size() + f.StreamBytes);
  EXPECT_TRUE(x.View().substr(0, header.size()) == header);
  const std::string last = "%%EOF" + f.StreamEol;
  EXPECT_TRUE(x.View().substr(x.Size - last.size()) == last);

  const LineList lines = Lines(x.Text.get(), x.Size);
  EXPECT_EQ(NotImportedMessage(CountNotImported(lines, {})), f.Message);
}

INSTANTIATE_TEST_SUITE_P(Files, RealEps, ::testing::ValuesIn(RealFiles()),
                         [](const auto& info) { return info.param.Name; });

// The Illustrator 24 EPS: its page holds one empty layer, so its drawing gives no path.
TEST(RealEpsFixture, Illustrator24PageHasNoPaths) {
  REQUIRE_CORPUS_FILE("sindresorhus-fixture.eps");
  const std::string file =
      epsmake::ReadWholeFile(aiimport::testing::CorpusFile("sindresorhus-fixture.eps").string());
  EXPECT_TRUE(ClassifyPostScript(file.data(), file.size()).DosEpsHeader);
  const auto x = FindEpsIllustratorData(file.data(), file.size());
  ASSERT_TRUE(x.Ok) << x.Message;
  const std::string start = "%!PS-Adobe-3.0 EPSF-3.0\r%%Creator: Adobe Illustrator(R) 24.0\r%%AI8";
  EXPECT_TRUE(x.View().substr(0, start.size()) == start);
  const LineList lines = Lines(x.Text.get(), x.Size);
  PathModel store;
  PathCollector collector(store);
  InterpreterState state;
  Progress quiet;
  InterpretLines(lines, {}, state, collector, quiet);
  EXPECT_TRUE(store.PathList.empty());
}

struct ScanCase {
  std::string Name;
  std::string File;
  NotImportedCounts Want;
};

class RealScan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(RealScan, CountsWhatIsNotCut) {
  const ScanCase& c = GetParam();
  REQUIRE_CORPUS_FILE(c.File);
  const std::string file = epsmake::ReadWholeFile(aiimport::testing::CorpusFile(c.File).string());
  LineList lines;
  if (IsPdfData(file.data(), file.size())) {
    const auto x = ExtractIllustratorText(file.data(), file.size());
    ASSERT_TRUE(x.Ok) << x.Message;
    lines = Lines(x.Text.get(), x.Size);
  } else {
    lines = Lines(file.data(), file.size());
  }
  EXPECT_EQ(CountNotImported(lines, {}), c.Want);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RealScan,
    ::testing::Values(
        // Illustrator 8: one text on a path, 25 gradient instances on the page (the patterns
        // and gradients of the setup section are not read).
        ScanCase{"Illustrator8", "imagemagick-logo.eps", {.TextObjects = 1, .GradientFills = 25}},
        // Illustrator 9: 520 text objects, one gradient, 19 pattern operators that fill 56
        // objects, and 1 986 painted paths on the two hidden layers of its 17.
        ScanCase{"Illustrator9",
                 "harvard-lts-fits-ai9.ai",
                 {.TextObjects = 520,
                  .GradientFills = 1,
                  .PatternFills = 56,
                  .HiddenLayerPaths = 1986,
                  .HiddenLayers = 2}},
        // Illustrator 24: two text frames and nothing else on the page.
        ScanCase{"Illustrator24",
                 "sindresorhus-fixture-without-pdf-compatibility.ai",
                 {.TextObjects = 2}}),
    [](const auto& info) { return info.param.Name; });

}  // namespace
