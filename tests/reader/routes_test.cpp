// The reading routes: which text the line reader gets under each reading choice, and what the
// status bar says afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "corpus.h"
#include "epsmake.h"
#include "pagepdf.h"
#include "readfile.h"
#include "testfiles.h"

namespace aiimport {
namespace {

namespace fs = std::filesystem;

class Routes : public ::testing::Test {
 protected:
  std::string File(const std::string& name, const std::string& bytes) {
    return scratch_.File(name, bytes);
  }

  ReadResult Read(const std::string& file, ReadAs reader, bool parseEverything = false) {
    ReadOptions options;
    options.Reader = reader;
    options.ParseEverything = parseEverything;
    Progress quiet;
    model_ = PathModel();
    return ReadSourceFile(model_, file, options, quiet);
  }

  testing::ScratchFolder scratch_{"aiimport-routes"};
  const fs::path& dir_ = scratch_.Path();
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

// Another program's EPS: procedures, several operators on a line, transformations, saved and
// restored graphics states and a letter. Ghostscript runs it; the page reader reads the PDF.
const std::string ForeignEps =
    "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: a test of other programs' PostScript\n"
    "%%BoundingBox: 0 0 200 200\n%%EndComments\n"
    "/sq { newpath 0 0 moveto 10 0 lineto 10 10 lineto 0 10 lineto closepath } def\n"
    "gsave 20 30 translate 2 2 scale sq 1 0 0 setrgbcolor fill grestore\n"
    "gsave 100 100 translate 90 rotate sq 0 0 1 setrgbcolor fill grestore\n"
    "gsave [1 0 0 1 150 20] concat sq 0 setgray 2 setlinewidth stroke grestore\n"
    "/Helvetica findfont 20 scalefont setfont 50 150 moveto (H) show\n"
    "showpage\n%%EOF\n";

bool HaveGhostscript() {
  return std::system("gs --version > /dev/null 2>&1") == 0;
}

// The paths whose box is (x0, y0)-(x1, y1) within a hundredth of a point.
std::size_t PathsWithBox(const PathModel& model, float x0, float y0, float x1, float y1) {
  std::size_t n = 0;
  auto near = [](float a, float b) { return a - b < 0.01f && b - a < 0.01f; };
  for (tpath p : model.PathList) {
    PathBox(p);
    if (near(p.MinX, x0) && near(p.MinY, y0) && near(p.MaxX, x1) && near(p.MaxY, y1)) ++n;
  }
  return n;
}

TEST_F(Routes, OtherProgramsPostScriptGoesThroughGhostscript) {
  if (!HaveGhostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
  const std::string file = File("foreign.eps", ForeignEps);
  const ReadResult r = Read(file, ReadAs::Automatic);
  EXPECT_EQ(r.Route, ReadRoute::GhostscriptPage);
  EXPECT_FALSE(r.PdfSource);
  // The scaled square: 20 30 translate, 2 2 scale; filled red.
  ASSERT_EQ(PathsWithBox(model_, 20, 30, 40, 50), 1u);
  // The rotated square: 90 degrees about (100, 100) take (x, y) to (100 - y, 100 + x).
  EXPECT_EQ(PathsWithBox(model_, 90, 100, 100, 110), 1u);
  // The square placed by concat, stroked: its outline, not the stroke's width.
  EXPECT_EQ(PathsWithBox(model_, 150, 20, 160, 30), 1u);
  bool red = false, blue = false, stroked = false, letter = false;
  for (tpath p : model_.PathList) {
    PathBox(p);
    if (p.MinX > 19 && p.MaxX < 41 && p.Filled) red = red || p.FillColor == 0x0000FF;
    if (p.MinX > 89 && p.MaxX < 101 && p.Filled) blue = blue || p.FillColor == 0xFF0000;
    if (p.MinX > 149 && p.MaxX < 161) stroked = stroked || !p.Filled;
    // The letter as outlines: a filled path a little right of and above (50, 150).
    if (p.MinX >= 50 && p.MaxX < 70 && p.MinY >= 149 && p.MaxY < 175 && p.Filled) letter = true;
  }
  EXPECT_TRUE(red);
  EXPECT_TRUE(blue);
  EXPECT_TRUE(stroked);
  EXPECT_TRUE(letter);
  EXPECT_EQ(ReadingStatus(r, model_.PathList.size()), "Read as page drawing through Ghostscript");

  // The classic rules see no start marker in it and read nothing.
  const ReadResult classic = Read(file, ReadAs::IllustratorOperators);
  EXPECT_EQ(classic.Route, ReadRoute::Lines);
  EXPECT_TRUE(model_.PathList.empty());
}

TEST_F(Routes, WithoutGhostscriptTheLineReaderReadsAndTheStatusSaysWhatToInstall) {
  const std::string file = File("foreign.eps", ForeignEps);
  ReadOptions options;
  options.Ghostscript.Program = (dir_ / "no-such-gs").string();
  Progress quiet;
  const ReadResult r = ReadSourceFile(model_, file, options, quiet);
  EXPECT_EQ(r.Route, ReadRoute::Lines);
  ASSERT_EQ(r.Notes.size(), 1u);
  EXPECT_EQ(r.Notes[0], GhostscriptMissingMessage);
  EXPECT_EQ(ReadingStatus(r, 0).rfind(GhostscriptMissingMessage, 0), 0u);
}

TEST_F(Routes, WhenGhostscriptFailsTheStatusSaysWhyAndTheLinesAreRead) {
  if (!HaveGhostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
  const std::string file = File("broken.eps",
                                "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 10 10\nnosuchoperator\n"
                                "%%EndSetup\n0 0 m\n10 0 l\n10 10 l\nf\n");
  const ReadResult r = Read(file, ReadAs::Automatic);
  EXPECT_EQ(r.Route, ReadRoute::Lines);
  ASSERT_EQ(r.Notes.size(), 1u);
  EXPECT_NE(r.Notes[0].find("nosuchoperator"), std::string::npos) << r.Notes[0];
  EXPECT_NE(r.Notes[0].find(": the file was read as Illustrator operators"), std::string::npos);
  EXPECT_EQ(model_.PathList.size(), 1u);  // the line reader's triangle
}

// Presses "Abort" at the first event pump.
class AbortingProgress : public Progress {
 public:
  void ProcessEvents() override { SetAbortRequested(true); }
};

TEST_F(Routes, AbortWhileGhostscriptRunsKeepsNothing) {
  if (!HaveGhostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
  const std::string file = File("foreign.eps", ForeignEps);
  model_.PathList.emplace_back();  // what an earlier file left
  AbortingProgress progress;
  const ReadResult r = ReadSourceFile(model_, file, ReadOptions{}, progress);
  EXPECT_TRUE(r.Aborted);
  EXPECT_TRUE(model_.PathList.empty());
  EXPECT_EQ(ReadingStatus(r, 0), "Reading was aborted: nothing was read");
}

TEST_F(Routes, PageDrawingTurnsAPdfsLetteringIntoOutlines) {
  if (!HaveGhostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
  // A PDF that keeps its letter as text, made by Ghostscript without outlines.
  const std::string ps = File("text.eps", ForeignEps);
  const std::string pdf = (dir_ / "text.pdf").string();
  ASSERT_EQ(std::system(("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -dEPSCrop "
                         "-sOutputFile=" +
                         pdf + " " + ps + " > /dev/null 2>&1")
                            .c_str()),
            0);
  const ReadResult r = Read(pdf, ReadAs::PageDrawing);
  EXPECT_EQ(r.Route, ReadRoute::GhostscriptPage);
  EXPECT_TRUE(r.PdfSource);
  EXPECT_EQ(r.NotImported.TextObjects, 0u);
  EXPECT_EQ(ReadingStatus(r, model_.PathList.size()),
            "Read as page drawing (PDF page 1 of 1), the lettering as outlines through "
            "Ghostscript");

  // Without Ghostscript the page is read as it is, the letter counted and not imported.
  ReadOptions options;
  options.Reader = ReadAs::PageDrawing;
  options.Ghostscript.Program = (dir_ / "no-such-gs").string();
  Progress quiet;
  const ReadResult plain = ReadSourceFile(model_, pdf, options, quiet);
  EXPECT_EQ(plain.Route, ReadRoute::PdfPage);
  EXPECT_EQ(plain.NotImported.TextObjects, 1u);
  EXPECT_NE(ReadingStatus(plain, 3).find(GhostscriptMissingMessage), std::string::npos);
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
  REQUIRE_CORPUS_FILE("sindresorhus-fixture.eps");
  const fs::path corpus = testing::CorpusFile("sindresorhus-fixture.eps");
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

// Memory that runs out part way through the drawing is no fault of a line or of the page: the
// reading keeps nothing and says why, on the line reader's route and on the page reader's.
TEST_F(Routes, RunningOutOfMemoryWhileDrawingKeepsNothing) {
  struct NoMoreMemory : Progress {
    bool HasProgressBar() const override { return true; }
    void SetPhaseText(const std::string& text) override { drawing = !text.starts_with("Parsing"); }
    void ProcessEvents() override {
      if (drawing) throw std::bad_alloc();
    }
    bool drawing = false;
  };
  std::string lines = "%%EndSetup\n", page;
  for (int i = 0; i < 20000; ++i) {
    lines += "0 0 m\n10 0 l\n10 10 l\nf\n";
    page += "0 0 m 10 0 l 10 10 l f\n";
  }
  for (const std::string& file :
       {File("lines.eps", lines), File("page.pdf", pagepdf::Write(page))}) {
    SCOPED_TRACE(file);
    NoMoreMemory progress;
    const ReadResult r = ReadSourceFile(model_, file, {}, progress);
    EXPECT_EQ(r.Load.Status, LoadStatus::Unreadable);
    EXPECT_STREQ(r.Load.Message.c_str(), NotEnoughMemoryMessage);
    EXPECT_TRUE(model_.PathList.empty());
  }
}

}  // namespace
}  // namespace aiimport
