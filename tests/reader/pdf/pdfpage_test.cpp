// The PDF page reader on PDF files written here with qpdf, each content stream by hand: every
// operator family, the matrix, q/Q, forms, colour spaces, compounds, groups, clipping, optional
// content and the page's boxes. Expected values follow from the reader's rules (pdfpage.h).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "pagepdf.h"
#include "pathunit.h"

namespace {

using aiimport::tbpoint;
using pagepdf::Curve;
using pagepdf::Line;
using pagepdf::Move;
using pagepdf::ReadPage;

// A path as the tests look at it.
struct Painted {
  std::vector<tbpoint> Items;
  bool Filled = false;
  bool Closed = false;
};

std::vector<aiimport::tpath> PathsOf(const std::string& content,
                                     aiimport::PdfPageOptions options = {}) {
  const pagepdf::Read r = ReadPage(pagepdf::Write(content), options);
  EXPECT_TRUE(r.Result.Ok) << r.Result.Message;
  return {r.Model.PathList.begin(), r.Model.PathList.end()};
}

void ExpectPaths(const std::string& content, const std::vector<Painted>& want) {
  SCOPED_TRACE(content);
  const auto got = PathsOf(content);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_TRUE(got[i].Items == want[i].Items) << "path " << i;
    EXPECT_EQ(got[i].Filled, want[i].Filled) << "path " << i;
    EXPECT_EQ(got[i].Closed, want[i].Closed) << "path " << i;
  }
}

TEST(PdfPagePaths, ConstructionOperators) {
  ExpectPaths("10 20 m 30 40 l S", {{{Move(10, 20), Line(30, 40)}, false, false}});
  ExpectPaths("0 0 m 1 2 3 4 5 6 c S", {{{Move(0, 0), Curve(1, 2, 3, 4, 5, 6)}, false, false}});
  // v: the first control point is the current point; y: the second is the end point.
  ExpectPaths("0 0 m 3 4 5 6 v S", {{{Move(0, 0), Curve(0, 0, 3, 4, 5, 6)}, false, false}});
  ExpectPaths("0 0 m 1 2 5 6 y S", {{{Move(0, 0), Curve(1, 2, 5, 6, 5, 6)}, false, false}});
  // re: a closed sub-path from (x, y) round through (x + w, y), (x + w, y + h), (x, y + h).
  ExpectPaths("10 20 30 40 re S",
              {{{Move(10, 20), Line(40, 20), Line(40, 60), Line(10, 60)}, false, true}});
  // A sub-path that ends where it starts is closed without h.
  ExpectPaths("0 0 m 10 0 l 10 10 l 0 0 l S",
              {{{Move(0, 0), Line(10, 0), Line(10, 10), Line(0, 0)}, false, true}});
  // A move after a move: only the last one starts the sub-path; a move at the end is dropped.
  ExpectPaths("5 5 m 0 0 m 10 0 l 7 7 m S", {{{Move(0, 0), Line(10, 0)}, false, false}});
  // After h a segment starts a new sub-path where the closed one started.
  ExpectPaths("0 0 m 10 0 l 10 10 l h 5 5 l S",
              {{{Move(0, 0), Line(10, 0), Line(10, 10)}, false, true},
               {{Move(0, 0), Line(5, 5)}, false, false}});
  // A segment without a current point, a path without segments: nothing.
  ExpectPaths("10 0 l 20 0 l S", {});
  ExpectPaths("10 0 m f", {});
}

TEST(PdfPagePaths, PaintingOperatorsDecideFilledAndClosed) {
  struct Case {
    const char* Op;
    bool Painted, Filled, Closed;
  };
  // The outline does not end where it starts: fills close it, strokes keep it open unless the
  // operator closes it (s, b, b*).
  const Case cases[] = {
      {"f", true, true, true},    {"F", true, true, true},    {"f*", true, true, true},
      {"S", true, false, false},  {"s", true, false, true},   {"B", true, true, false},
      {"B*", true, true, false},  {"b", true, true, true},    {"b*", true, true, true},
      {"n", false, false, false}, {"h S", true, false, true}, {"h B", true, true, true},
  };
  for (const Case& c : cases) {
    const std::vector<tbpoint> items = {Move(0, 0), Line(10, 0), Line(10, 10)};
    if (c.Painted)
      ExpectPaths(std::string("0 0 m 10 0 l 10 10 l ") + c.Op, {{items, c.Filled, c.Closed}});
    else
      ExpectPaths(std::string("0 0 m 10 0 l 10 10 l ") + c.Op, {});
  }
}

TEST(PdfPagePaths, CurrentMatrix) {
  const bool open = false;
  ExpectPaths("2 0 0 3 10 20 cm 1 1 m 2 2 l S", {{{Move(12, 23), Line(14, 26)}, false, open}});
  // A cm applies before the matrix already in force.
  ExpectPaths("1 0 0 1 10 0 cm 2 0 0 2 0 0 cm 1 1 m 2 1 l S",
              {{{Move(12, 2), Line(14, 2)}, false, open}});
  // Turned a quarter: x' = -y, y' = x.
  ExpectPaths("0 1 -1 0 0 0 cm 10 0 m 20 5 l S", {{{Move(0, 10), Line(-5, 20)}, false, open}});
  // Every control point goes through the matrix; v's first is the current point already there.
  ExpectPaths("2 0 0 2 0 0 cm 1 1 m 2 2 3 3 v S",
              {{{Move(2, 2), Curve(2, 2, 4, 4, 6, 6)}, false, open}});
  // re's corners are x + w and y + h before the matrix.
  ExpectPaths("1 0 0 -1 0 100 cm 0 0 10 20 re S",
              {{{Move(0, 100), Line(10, 100), Line(10, 80), Line(0, 80)}, false, true}});
  // q/Q restore the matrix, nested.
  ExpectPaths(
      "q 2 0 0 2 0 0 cm q 1 0 0 1 5 0 cm 1 1 m S 1 1 m 2 2 l S Q 1 1 m 2 2 l S Q "
      "1 1 m 2 2 l S",
      {{{Move(12, 2), Line(14, 4)}, false, open},
       {{Move(2, 2), Line(4, 4)}, false, open},
       {{Move(1, 1), Line(2, 2)}, false, open}});
  // Operands are float32; the product is formed in extended precision and rounded once.
  const float tenth = 0.1f;
  const float x = static_cast<float>(static_cast<long double>(tenth) * 3.0L);
  const float y = static_cast<float>(static_cast<long double>(tenth) * 7.0L + 0.25L);
  ExpectPaths("0.1 0 0 0.1 0 0.25 cm 3 0 m 0 7 l S", {{{Move(x, 0.25f), Line(0, y)}, false, open}});
}

TEST(PdfPagePaths, FlipVerticalNegatesEveryY) {
  aiimport::PdfPageOptions options;
  options.FlipVertical = false;
  const auto paths = PathsOf("10 20 m 1 2 3 4 5 6 c S", options);
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_TRUE(paths[0].Items == std::vector<tbpoint>({Move(10, -20), Curve(1, -2, 3, -4, 5, -6)}));
}

// ---- Colours -------------------------------------------------------------------------------

struct ColourCase {
  std::string Setting;  // content before the path
  int32_t Fill = 0, Line = 0;
};

// Colours are 0x00BBGGRR; a component c becomes round(255 c) with halves to even, CMYK
// components 255 (1 - c)(1 - k).
void ExpectColours(const pagepdf::Page& base, const std::vector<ColourCase>& cases) {
  for (const ColourCase& c : cases) {
    SCOPED_TRACE(c.Setting);
    pagepdf::Page page = base;
    page.Contents = {c.Setting + " 0 0 m 10 0 l 10 10 l B"};
    const pagepdf::Read r = ReadPage(pagepdf::Write(page));
    ASSERT_EQ(r.Model.PathList.size(), 1u) << r.Result.Message;
    EXPECT_EQ(r.Model.PathList[0].FillColor, c.Fill);
    EXPECT_EQ(r.Model.PathList[0].LineColor, c.Line);
  }
}

TEST(PdfPageColours, DeviceSpaces) {
  ExpectColours({}, {
                        {"", 0x000000, 0x000000},
                        {"1 0 0 rg 0 0 1 RG", 0x0000FF, 0xFF0000},
                        {"0.5 g 0.2 G", 0x808080, 0x333333},  // 127.5 to 128, 51
                        {"0 1 0 0 k 0 0 0 1 K", 0xFF00FF, 0x000000},
                        {"0 0 0.5 0 k", 0x80FFFF, 0x000000},
                        // Out of range components are held to 0 .. 1.
                        {"1.5 -1 0.25 rg", 0x4000FF, 0x000000},
                        {"/DeviceRGB cs 0 0 1 sc /DeviceGray CS 1 SC", 0xFF0000, 0xFFFFFF},
                        // Setting a space starts with its initial colour: black.
                        {"1 0 0 rg /DeviceCMYK cs", 0x000000, 0x000000},
                        // Too few operands leave the colour as it was.
                        {"0 0 1 rg 1 0 rg 1 k", 0xFF0000, 0x000000},
                    });
}

TEST(PdfPageColours, NamedSpaces) {
  pagepdf::Page page;
  page.Resources =
      "<< /ColorSpace << /Gray [/ICCBased {icc1}] /Rgb [/ICCBased {icc3}] /Cmyk [/ICCBased "
      "{icc4}] /Spot [/Separation /Spot /DeviceRGB << /FunctionType 2 /Domain [0 1] /C0 [1 1 1] "
      "/C1 [1 0 0] /N 1 >>] /Calc [/Separation /Calc /DeviceRGB {calc}] /Two [/DeviceN [/A /B] "
      "/DeviceCMYK {sampled}] /Table [/Indexed /DeviceRGB 1 <FF000000FF00>] /Lab [/Lab << "
      "/WhitePoint [0.9505 1 1.089] >>] /CalRGB [/CalRGB << /WhitePoint [0.9505 1 1.089] >>] "
      "/Pat /Pattern >> /Pattern << /P0 << /PatternType 2 /Shading << /ShadingType 2 "
      "/ColorSpace /DeviceRGB /Coords [0 0 1 0] /Function << /FunctionType 2 /Domain [0 1] /C0 "
      "[0 0 1] /C1 [1 0 0] /N 1 >> >> >> /T0 << /PatternType 1 /PaintType 1 >> >> >>";
  page.Objects["icc1"] = {"<< /N 1 >>", std::string("profile")};
  page.Objects["icc3"] = {"<< /N 3 >>", std::string("profile")};
  page.Objects["icc4"] = {"<< /N 4 >>", std::string("profile")};
  page.Objects["calc"] = {"<< /FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1] >>",
                          std::string("{ dup dup }")};
  // Two inputs, four outputs (CMYK), 2 x 2 samples: cyan follows the first input, magenta the
  // second.
  page.Objects["sampled"] = {
      "<< /FunctionType 0 /Domain [0 1 0 1] /Range [0 1 0 1 0 1 0 1] /Size [2 2] "
      "/BitsPerSample 8 >>",
      std::string("\x00\x00\x00\x00\xFF\x00\x00\x00\x00\xFF\x00\x00\xFF\xFF\x00\x00", 16)};
  ExpectColours(page, {
                          {"/Gray cs 0.2 scn", 0x333333, 0},
                          {"/Rgb cs 1 1 0 scn", 0x00FFFF, 0},
                          {"/Cmyk cs 0 0 1 0 scn", 0x00FFFF, 0},
                          // (1, 0.5, 0.5) through the exponential function.
                          {"/Spot cs 0.5 scn", 0x8080FF, 0},
                          // The initial tint is 1: (1, 0, 0).
                          {"/Spot CS", 0, 0x0000FF},
                          // A PostScript calculator function is not evaluated: black.
                          {"/Calc cs 0.5 scn", 0, 0},
                          // (1, 0.5, 0, 0) by interpolation between the samples.
                          {"/Two cs 1 0.5 scn", 0xFF8000, 0},
                          {"/Table cs 1 scn", 0x00FF00, 0},
                          {"/Lab cs 0 0 0 scn", 0x000000, 0},
                          {"/Lab cs 100 0 0 scn", 0xFFFFFF, 0},
                          {"/CalRGB cs 0 1 0 scn", 0x00FF00, 0},
                          // A shading pattern gives its shading's first colour.
                          {"/Pat cs /P0 scn", 0xFF0000, 0},
                          {"/Pattern cs /T0 scn", 0x000000, 0},
                          {"/Nowhere cs 1 0 0 sc", 0x000000, 0},
                      });
}

// ---- Structure -----------------------------------------------------------------------------

std::vector<int32_t> GroupLevels(const std::vector<aiimport::tpath>& paths) {
  std::vector<int32_t> levels;
  for (const auto& p : paths)
    levels.push_back(p.GroupLevel);
  return levels;
}

TEST(PdfPageStructure, SubPathsMakeOneCompound) {
  const auto paths = PathsOf(
      "0 0 m 10 0 l 10 10 l h 2 2 m 8 2 l 8 8 l h f 20 20 m 30 20 l 30 30 l f 0 0 m 1 1 l S");
  ASSERT_EQ(paths.size(), 4u);
  EXPECT_EQ(paths[0].CompoundNo, paths[1].CompoundNo);
  EXPECT_NE(paths[1].CompoundNo, paths[2].CompoundNo);
  EXPECT_NE(paths[2].CompoundNo, paths[3].CompoundNo);
  EXPECT_TRUE(paths[0].Filled && paths[1].Filled && paths[2].Filled && !paths[3].Filled);
}

TEST(PdfPageStructure, BlocksThatPaintTwoPathsAreGroups) {
  const std::string p = " 0 0 m 1 1 l S ";
  struct Case {
    std::string Content;
    std::vector<int32_t> Levels;
  };
  const Case cases[] = {
      {"q" + p + "Q", {0}},
      {"q" + p + p + "Q", {1, 1}},
      {"q q" + p + p + "Q Q", {2, 2}},
      {"q q" + p + "Q" + p + "Q", {1, 1}},
      {p + "q" + p + p + "Q" + p, {0, 1, 1, 0}},
      {"q" + p + "q" + p + "Q Q", {1, 1}},
      {"q q q" + p + "Q Q Q", {0}},
      {"q q" + p + "Q q" + p + "Q Q", {1, 1}},
      {"q q" + p + p + "Q q" + p + "Q Q", {2, 2, 1}},
      // A clipping path paints nothing; a block without paths is nothing.
      {"q 0 0 5 5 re W n" + p + "Q q Q", {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Content);
    EXPECT_EQ(GroupLevels(PathsOf(c.Content)), c.Levels);
  }
}

pagepdf::Page WithForms(const std::string& content, const std::map<std::string, std::string>& forms,
                        const std::string& formKeys = "/BBox [0 0 1000 1000]") {
  pagepdf::Page page;
  page.Contents = {content};
  std::string xobjects;
  for (const auto& [name, body] : forms) {
    page.Objects[name] = {"<< /Type /XObject /Subtype /Form " + formKeys + " >>", body};
    xobjects += "/" + name + " {" + name + "} ";
  }
  page.Resources = "<< /XObject << " + xobjects + ">> >>";
  return page;
}

TEST(PdfPageStructure, FormsAreFollowedAsGroups) {
  const std::string p = " 0 0 m 1 1 l S ";
  auto levels = [](const pagepdf::Page& page) {
    const pagepdf::Read r = ReadPage(pagepdf::Write(page));
    return GroupLevels({r.Model.PathList.begin(), r.Model.PathList.end()});
  };
  EXPECT_EQ(levels(WithForms("/A Do", {{"A", p + p}})), (std::vector<int32_t>{1, 1}));
  EXPECT_EQ(levels(WithForms("/A Do", {{"A", p}})), (std::vector<int32_t>{0}));
  EXPECT_EQ(levels(WithForms("q /A Do" + p + "Q", {{"A", p + p}})),
            (std::vector<int32_t>{2, 2, 1}));
}

TEST(PdfPageStructure, FormMatrixAndResources) {
  pagepdf::Page page;
  page.Contents = {"1 0 0 1 100 0 cm /F Do"};
  page.Resources = "<< /XObject << /F {F} >> /ColorSpace << /CS0 [/ICCBased {icc}] >> >>";
  page.Objects["icc"] = {"<< /N 3 >>", std::string("profile")};
  // Without resources of its own the form uses the page's.
  page.Objects["F"] = {"<< /Subtype /Form /BBox [0 0 50 50] /Matrix [2 0 0 2 10 10] >>",
                       std::string("/CS0 cs 0 1 0 scn 1 1 m 2 2 l 2 1 l f")};
  const pagepdf::Read r = ReadPage(pagepdf::Write(page));
  ASSERT_EQ(r.Model.PathList.size(), 1u);
  // (1, 1) through the form's matrix is (12, 12), through the page's (112, 12).
  EXPECT_TRUE(r.Model.PathList[0].Items ==
              std::vector<tbpoint>({Move(112, 12), Line(114, 14), Line(114, 12)}));
  EXPECT_EQ(r.Model.PathList[0].FillColor, 0x00FF00);
  EXPECT_EQ(r.Result.ClippedPaths, 0u);  // inside the form's box
}

TEST(PdfPageStructure, FormsThatDrawThemselvesOrNestTooDeep) {
  // A draws B, B draws A: each is drawn once.
  pagepdf::Page loop;
  loop.Contents = {"/A Do"};
  loop.Resources = "<< /XObject << /A {A} >> >>";
  loop.Objects["A"] = {
      "<< /Subtype /Form /BBox [0 0 9 9] /Resources << /XObject << /B {B} >> >> >>",
      std::string("0 0 m 1 1 l S /B Do")};
  loop.Objects["B"] = {
      "<< /Subtype /Form /BBox [0 0 9 9] /Resources << /XObject << /A {A} >> >> >>",
      std::string("0 0 m 2 2 l S /A Do")};
  pagepdf::Read r = ReadPage(pagepdf::Write(loop));
  EXPECT_TRUE(r.Result.Ok);
  EXPECT_TRUE(r.Result.Damaged);
  EXPECT_EQ(r.Model.PathList.size(), 2u);
  EXPECT_EQ(r.Result.SkippedForms, 1u);
  EXPECT_EQ(r.Result.Message, "A form on this PDF page draws itself: it is drawn once");

  // A chain of 40 forms, each drawing a path and the next: the first 32 are drawn.
  pagepdf::Page chain;
  chain.Contents = {"/F0 Do"};
  chain.Resources = "<< /XObject << /F0 {F0} >> >>";
  for (int i = 0; i < 40; ++i) {
    const std::string next = "F" + std::to_string(i + 1);
    chain.Objects["F" + std::to_string(i)] = {
        "<< /Subtype /Form /BBox [0 0 99 99] /Resources << /XObject << /" + next + " {" +
            (i + 1 < 40 ? next : std::string("F0")) + "} >> >> >>",
        "0 0 m 1 1 l S /" + next + " Do"};
  }
  r = ReadPage(pagepdf::Write(chain));
  EXPECT_EQ(r.Model.PathList.size(), 32u);
  EXPECT_EQ(r.Result.SkippedForms, 1u);
  EXPECT_EQ(r.Result.Message,
            "This PDF page nests its forms too deeply: the innermost ones are not drawn");
}

// ---- What is not imported ------------------------------------------------------------------

TEST(PdfPageSkipped, TextImagesAndShadingsAreCounted) {
  pagepdf::Page page;
  page.Contents = {
      "BT /F1 12 Tf (0 0 m 9 9 l S) Tj ET BT ET /Im Do "
      "BI /W 2 /H 1 /BPC 8 /CS /G ID \x01\x45I EI 0 0 m 1 1 l S /Sh sh /Ps Do"};
  page.Resources =
      "<< /XObject << /Im {im} /Ps {ps} >> /Shading << /Sh << /ShadingType 2 /ColorSpace "
      "/DeviceGray /Coords [0 0 1 0] /Function << /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] "
      "/N 1 >> >> >> >>";
  page.Objects["im"] = {
      "<< /Subtype /Image /Width 1 /Height 1 /BitsPerComponent 8 "
      "/ColorSpace /DeviceGray >>",
      std::string("\x80")};
  page.Objects["ps"] = {"<< /Subtype /PS >>", std::string("% PostScript")};
  const pagepdf::Read r = ReadPage(pagepdf::Write(page));
  EXPECT_EQ(r.Result.TextObjects, 2u);
  EXPECT_EQ(r.Result.Images, 2u);
  EXPECT_EQ(r.Result.Shadings, 1u);
  // Only the path after the inline image (whose data holds "EI" bytes) is a path.
  ASSERT_EQ(r.Model.PathList.size(), 1u);
  EXPECT_TRUE(r.Model.PathList[0].Items == std::vector<tbpoint>({Move(0, 0), Line(1, 1)}));
}

// ---- Clipping ------------------------------------------------------------------------------

TEST(PdfPageClipping, FillsThatCoverTheClipBecomeTheClip) {
  const std::vector<tbpoint> triangle = {Move(10, 10), Line(20, 10), Line(15, 20)};
  struct Case {
    std::string Content;
    std::size_t ClipShapes, ClippedPaths;
  };
  const Case cases[] = {
      // A rectangle around the clip, the same outline, a convex outline around it.
      {"q 10 10 m 20 10 l 15 20 l h W n 1 0 0 rg 0 0 100 100 re f Q", 1, 0},
      {"q 10 10 m 20 10 l 15 20 l h W n 1 0 0 rg 10 10 m 20 10 l 15 20 l h f Q", 1, 0},
      {"q 10 10 m 20 10 l 15 20 l h W n 1 0 0 rg 0 0 m 40 0 l 15 40 l f Q", 1, 0},
      // Under a larger clip (the page's, say) the smaller one is what shows.
      {"q 10 10 m 20 10 l 15 20 l h W n 0 0 600 800 re W n 1 0 0 rg -5 -5 200 200 re f Q", 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Content);
    const pagepdf::Read r = ReadPage(pagepdf::Write(c.Content));
    ASSERT_EQ(r.Model.PathList.size(), 1u);
    EXPECT_TRUE(r.Model.PathList[0].Items == triangle);
    EXPECT_TRUE(r.Model.PathList[0].Filled);
    EXPECT_EQ(r.Model.PathList[0].FillColor, 0x0000FF);
    EXPECT_EQ(r.Result.ClipShapes, c.ClipShapes);
    EXPECT_EQ(r.Result.ClippedPaths, c.ClippedPaths);
  }
}

TEST(PdfPageClipping, RingClipIsACompoundWithItsHole) {
  const pagepdf::Read r = ReadPage(
      pagepdf::Write("q 0 0 m 30 0 l 30 30 l 0 30 l h 10 10 m 20 10 l 20 20 l 10 20 l h W* n "
                     "-10 -10 60 60 re f Q"));
  ASSERT_EQ(r.Model.PathList.size(), 2u);
  EXPECT_EQ(r.Model.PathList[0].CompoundNo, r.Model.PathList[1].CompoundNo);
  EXPECT_TRUE(r.Model.PathList[1].Items ==
              std::vector<tbpoint>({Move(10, 10), Line(20, 10), Line(20, 20), Line(10, 20)}));
}

TEST(PdfPageClipping, ShadingThroughAClipIsTheClipInItsFirstColour) {
  pagepdf::Page page;
  page.Contents = {"q 0 0 10 10 re W n /Sh sh Q"};
  page.Resources =
      "<< /Shading << /Sh << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 1 0] /Function "
      "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 1] /C1 [1 0 0] /N 1 >> >> >> >>";
  const pagepdf::Read r = ReadPage(pagepdf::Write(page));
  ASSERT_EQ(r.Model.PathList.size(), 1u);
  EXPECT_EQ(r.Model.PathList[0].FillColor, 0xFF0000);
  EXPECT_TRUE(r.Model.PathList[0].Items ==
              std::vector<tbpoint>({Move(0, 0), Line(10, 0), Line(10, 10), Line(0, 10)}));
  EXPECT_EQ(r.Result.ClipShapes, 1u);
  EXPECT_EQ(r.Result.Shadings, 0u);
}

TEST(PdfPageClipping, OtherArtIsImportedUnclippedAndCountedWhenCut) {
  struct Case {
    std::string Content;
    std::size_t ClippedPaths;
  };
  const Case cases[] = {
      {"q 0 0 10 10 re W n 5 5 m 50 50 l S Q", 1},         // cut by the clip
      {"q 0 0 100 100 re W n 5 5 m 50 50 l S Q", 0},       // inside it
      {"q 0 0 10 10 re W n Q 5 5 m 50 50 l S", 0},         // Q ended the clip
      {"q 0 0 10 10 re W n 5 5 m 50 50 l 5 50 l f Q", 1},  // a fill that does not cover it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Content);
    const pagepdf::Read r = ReadPage(pagepdf::Write(c.Content));
    ASSERT_EQ(r.Model.PathList.size(), 1u);
    EXPECT_EQ(r.Model.PathList[0].Items[0], Move(5, 5));
    EXPECT_EQ(r.Result.ClippedPaths, c.ClippedPaths);
    EXPECT_EQ(r.Result.ClipShapes, 0u);
  }
}

// ---- Optional content ----------------------------------------------------------------------

TEST(PdfPageOptionalContent, ContentThatIsOffIsNotDrawn) {
  const std::string p = " 0 0 m 1 1 l S ";
  struct Case {
    std::string Catalog, Content;
    std::size_t Drawn, Hidden;
  };
  const std::string offOne = "/OCProperties << /OCGs [{oc1} {oc2}] /D << /OFF [{oc1}] >> >>";
  const std::string baseOff =
      "/OCProperties << /OCGs [{oc1} {oc2}] /D << /BaseState /OFF /ON [{oc2}] >> >>";
  const Case cases[] = {
      {offOne, "/OC /L1 BDC" + p + "EMC /OC /L2 BDC" + p + p + "EMC" + p, 3, 1},
      {baseOff, "/OC /L1 BDC" + p + "EMC /OC /L2 BDC" + p + "EMC", 1, 1},
      // Marked content inside hidden content does not end it.
      {offOne, "/OC /L1 BDC /Span BMC" + p + "EMC" + p + "EMC" + p, 1, 2},
      // Membership dictionaries: all on / any on.
      {offOne, "/OC /AllOn BDC" + p + "EMC /OC /AnyOn BDC" + p + "EMC", 1, 1},
      // A form whose optional content is off.
      {offOne, "/HiddenForm Do /Shown Do", 1, 2},
      {"", "/OC /L1 BDC" + p + "EMC", 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Content);
    pagepdf::Page page;
    page.Catalog = c.Catalog;
    page.Contents = {c.Content};
    page.Objects["oc1"] = {"<< /Type /OCG /Name (One) >>", std::nullopt};
    page.Objects["oc2"] = {"<< /Type /OCG /Name (Two) >>", std::nullopt};
    page.Objects["HiddenForm"] = {"<< /Subtype /Form /BBox [0 0 9 9] /OC {oc1} >>", p + p};
    page.Objects["Shown"] = {"<< /Subtype /Form /BBox [0 0 9 9] /OC {oc2} >>", p};
    page.Resources =
        "<< /Properties << /L1 {oc1} /L2 {oc2} /AllOn << /Type /OCMD /OCGs [{oc1} {oc2}] /P "
        "/AllOn >> /AnyOn << /Type /OCMD /OCGs [{oc1} {oc2}] >> >> /XObject << /HiddenForm "
        "{HiddenForm} /Shown {Shown} >> >>";
    const pagepdf::Read r = ReadPage(pagepdf::Write(page));
    EXPECT_EQ(r.Model.PathList.size(), c.Drawn);
    EXPECT_EQ(r.Result.HiddenPaths, c.Hidden);
  }
}

// ---- The page ------------------------------------------------------------------------------

TEST(PdfPagePage, BoxesRotationPagesAndStreams) {
  pagepdf::Page page;
  page.Contents = {"10 0 m", "10 20 l S"};  // a path across two streams
  page.Extra = "/CropBox [10 20 110 220]";
  page.MorePages = 2;
  pagepdf::Read r = ReadPage(pagepdf::Write(page));
  EXPECT_EQ(r.Result.Pages, 3);
  EXPECT_EQ(r.Model.ViewExtent, (aiimport::FloatRect{10, -220, 110, -20}));
  ASSERT_EQ(r.Model.PathList.size(), 1u);
  EXPECT_TRUE(r.Model.PathList[0].Items == std::vector<tbpoint>({Move(10, 0), Line(10, 20)}));

  // Turned a quarter clockwise as shown: (x, y) of a 200 x 100 page is (y, 200 - x).
  page.Extra = "/Rotate 90";
  page.MediaBox = "[0 0 200 100]";
  page.FlateContents = true;
  r = ReadPage(pagepdf::Write(page));
  EXPECT_EQ(r.Model.ViewExtent, (aiimport::FloatRect{0, -200, 100, 0}));
  ASSERT_EQ(r.Model.PathList.size(), 1u);
  EXPECT_TRUE(r.Model.PathList[0].Items == std::vector<tbpoint>({Move(0, 190), Line(20, 190)}));
}

TEST(PdfPagePage, QpdfTokensAloneReadTheSame) {
  pagepdf::Page page;
  page.Contents = {
      "q 1 0 0 1 5 5 cm /CS0 cs 0.5 scn %comment 9 9 m\n0 0 m 1.5 -.5 l 2. +3 l h f Q "
      "[(a) 1 (b)] TJ BI /W 1 /H 1 ID \x02 EI 0 0 m 4 4 l S"};
  page.Resources = "<< /ColorSpace << /CS0 [/ICCBased {icc}] >> >>";
  page.Objects["icc"] = {"<< /N 1 >>", std::string("profile")};
  const std::string pdf = pagepdf::Write(page);
  aiimport::PdfPageOptions qpdfOnly;
  qpdfOnly.TokensThroughQpdfOnly = true;
  const pagepdf::Read fast = ReadPage(pdf), slow = ReadPage(pdf, qpdfOnly);
  ASSERT_EQ(fast.Model.PathList.size(), 2u);
  ASSERT_EQ(slow.Model.PathList.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_TRUE(fast.Model.PathList[i].Items == slow.Model.PathList[i].Items);
    EXPECT_EQ(fast.Model.PathList[i].FillColor, slow.Model.PathList[i].FillColor);
  }
  EXPECT_TRUE(fast.Model.PathList[0].Items ==
              std::vector<tbpoint>({Move(5, 5), Line(6.5f, 4.5f), Line(7, 8)}));
  EXPECT_EQ(fast.Model.PathList[0].FillColor, 0x808080);
}

}  // namespace
