// The PDF page reader on PDF files Ghostscript makes (as it will for other programs' EPS): a
// PostScript drawing written here, and the EPS files of the shared corpus. Skipped with a
// message when Ghostscript (gs) is not installed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "pagepdf.h"
#include "pdftestsupport.h"

namespace {

namespace fs = std::filesystem;
using aiimport::tbpoint;

bool HaveGhostscript() {
  return std::system("command -v gs >/dev/null 2>&1") == 0;
}

// The PDF Ghostscript's pdfwrite makes of `input` (glyphs as outlines, EPS cropped to its box).
std::string GhostscriptPdf(const std::string& input, const std::string& output) {
  const std::string command =
      "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -dEPSCrop "
      "-dNoOutputFonts -sOutputFile='" +
      output + "' '" + input + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return {};
  return aipdf::ReadWholeFile(output);
}

bool Near(const tbpoint& a, const tbpoint& b) {
  auto near = [](float x, float y) { return std::fabs(x - y) <= 0.01f; };
  return a.Kind == b.Kind && near(a.X1, b.X1) && near(a.Y1, b.Y1) && near(a.X2, b.X2) &&
         near(a.Y2, b.Y2) && near(a.X3, b.X3) && near(a.Y3, b.Y3);
}

bool NearItems(const std::vector<tbpoint>& a, const std::vector<tbpoint>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!Near(a[i], b[i])) return false;
  return true;
}

TEST(PdfPageGhostscript, PostScriptDrawingReadsAsDrawn) {
  if (!HaveGhostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
  pdftest::ScratchDir dir;
  const std::string ps = dir.File("drawing.ps", R"(%!PS
<< /PageSize [612 792] >> setpagedevice
72 72 moveto 144 72 lineto 144 144 lineto closepath 1 0 0 setrgbcolor fill
gsave 200 200 translate 90 rotate
  0 0 moveto 50 0 lineto 50 20 lineto closepath 0 0 1 setrgbcolor fill grestore
newpath 300 300 moveto 400 300 lineto 400 400 lineto 300 400 lineto closepath
  320 320 moveto 320 380 lineto 380 380 lineto 380 320 lineto closepath 0 setgray eofill
gsave newpath 10 300 moveto 60 300 lineto 35 350 lineto closepath clip
  newpath 0 1 0 setrgbcolor 0 0 612 792 rectfill grestore
0 1 0 0 setcmykcolor 2 setlinewidth 10 500 moveto 200 500 lineto stroke
showpage
)");
  const std::string pdf = GhostscriptPdf(ps, (fs::path(ps).parent_path() / "drawing.pdf").string());
  ASSERT_FALSE(pdf.empty()) << "gs could not make a PDF";
  const pagepdf::Read r = pagepdf::ReadPage(pdf);
  ASSERT_TRUE(r.Result.Ok) << r.Result.Message;
  EXPECT_FALSE(r.Result.Damaged);
  EXPECT_EQ(r.Model.ViewExtent, (aiimport::FloatRect{0, -792, 612, 0}));

  using pagepdf::Line;
  using pagepdf::Move;
  struct Want {
    std::vector<tbpoint> Items;
    int32_t Colour;  // the fill colour of filled paths, else the line colour
    bool Filled;
  };
  const std::vector<Want> want = {
      {{Move(72, 72), Line(144, 72), Line(144, 144)}, 0x0000FF, true},
      // Turned a quarter about (200, 200): x' = 200 - y, y' = 200 + x.
      {{Move(200, 200), Line(200, 250), Line(180, 250)}, 0xFF0000, true},
      // A square with a square hole: one compound of two paths.
      {{Move(300, 300), Line(400, 300), Line(400, 400), Line(300, 400)}, 0x000000, true},
      {{Move(320, 320), Line(320, 380), Line(380, 380), Line(380, 320)}, 0x000000, true},
      // The page-filling rectangle drawn through the triangle is the triangle.
      {{Move(10, 300), Line(60, 300), Line(35, 350)}, 0x00FF00, true},
      {{Move(10, 500), Line(200, 500)}, 0xFF00FF, false},
  };
  ASSERT_EQ(r.Model.PathList.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    const aiimport::tpath& p = r.Model.PathList[i];
    SCOPED_TRACE("path " + std::to_string(i));
    // Ghostscript may write the closing corner again, or leave it to h: the same outline.
    std::vector<tbpoint> items = p.Items;
    if (items.size() == want[i].Items.size() + 1 && Near(items.back(), want[i].Items.front()) &&
        items.back().Kind == 1)
      items.pop_back();
    EXPECT_TRUE(NearItems(items, want[i].Items));
    EXPECT_EQ(p.Filled, want[i].Filled);
    EXPECT_EQ(p.Filled ? p.FillColor : p.LineColor, want[i].Colour);
  }
  EXPECT_EQ(r.Model.PathList[2].CompoundNo, r.Model.PathList[3].CompoundNo);
  EXPECT_NE(r.Model.PathList[1].CompoundNo, r.Model.PathList[2].CompoundNo);
  EXPECT_EQ(r.Result.ClipShapes, 1u);
}

TEST(PdfPageGhostscript, CorpusEpsFilesMadePdf) {
  if (!HaveGhostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
  const fs::path corpus = AIIMPORT_CORPUS_DIR;
  if (!fs::is_directory(corpus))
    GTEST_SKIP() << "the shared corpus is not at " << corpus << " (AIIMPORT_CORPUS_DIR)";
  pdftest::ScratchDir dir;
  int read = 0;
  for (const char* name : {"duojs-logo.eps", "matplotlib-scatter.eps",
                           "python-pillow-reqd_showpage.eps", "imagemagick-logo.eps"}) {
    if (!fs::exists(corpus / name)) continue;
    SCOPED_TRACE(name);
    const std::string pdf =
        GhostscriptPdf((corpus / name).string(), dir.File(std::string(name) + ".pdf", ""));
    ASSERT_FALSE(pdf.empty());
    aiimport::PdfPageOptions qpdfOnly;
    qpdfOnly.TokensThroughQpdfOnly = true;
    const pagepdf::Read r = pagepdf::ReadPage(pdf), q = pagepdf::ReadPage(pdf, qpdfOnly);
    ASSERT_TRUE(r.Result.Ok) << r.Result.Message;
    EXPECT_FALSE(r.Result.Damaged) << r.Result.Message;
    EXPECT_GT(r.Model.PathList.size(), 0u);
    ASSERT_EQ(r.Model.PathList.size(), q.Model.PathList.size());
    for (std::size_t i = 0; i < r.Model.PathList.size(); ++i)
      EXPECT_TRUE(r.Model.PathList[i].Items == q.Model.PathList[i].Items);
    ++read;
  }
  if (read == 0) GTEST_SKIP() << "none of the corpus EPS files is at " << corpus;
}

}  // namespace
