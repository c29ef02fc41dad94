// What a file holds that does not become paths to cut: the counts, over the lines the
// interpreter reads, and the sentence that reports them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interpreter.h"
#include "lines.h"
#include "notimported.h"
#include "pathcollector.h"

namespace {

using aiimport::CountNotImported;
using aiimport::NotImportedCounts;
using aiimport::NotImportedMessage;

NotImportedCounts Count(const std::vector<std::string>& lines, bool parseEverything = false) {
  aiimport::InterpretOptions options;
  options.ParseEverything = parseEverything;
  return CountNotImported(aiimport::LineList::FromLines(lines), options);
}

const std::string HiddenLayer = "0 1 1 1 0 0 0 0 79 128 255 0 50 0 Lb";
const std::string VisibleLayer = "1 1 1 1 0 0 1 0 79 128 255 0 50 0 Lb";

// A line that paints in the interpreter paints on a hidden layer here, and only such a line:
// each line alone on a hidden layer, counted both ways.
TEST(NotImported, HiddenLayerPathsAreThePathsTheInterpreterReads) {
  for (const std::string line :
       {"f",     "F",         "b",       "B",       "s",          "S",     "q",        "Q",
        "@",     "  f  ",     "0 0 1 @", "fill",    "1 0 eofill", "ef",    "x stroke", "n",
        "N",     "u",         "U",       "*u",      "ff",         "fi ll", "%f",       "Bb",
        "0 0 m", "closepath", "fill x",  "10 20 l", "1 g",        "f f",   "stroke ",  "B B"}) {
    SCOPED_TRACE("line \"" + line + "\"");
    const std::vector<std::string> lines = {
        "%%EndSetup", "%AI5_BeginLayer", HiddenLayer, "0 0 m", "10 0 l", line, "LB"};
    aiimport::PathModel store;
    aiimport::PathCollector collector(store);
    aiimport::InterpreterState state;
    aiimport::Progress quiet;
    aiimport::InterpretLines(aiimport::LineList::FromLines(lines), {}, state, collector, quiet);
    const NotImportedCounts counts = Count(lines);
    EXPECT_EQ(counts.HiddenLayerPaths, store.PathList.size());
    EXPECT_EQ(counts.HiddenLayers, store.PathList.empty() ? 0u : 1u);
  }
}

// Every line is scanned once, in order, however many there are (the list keeps the start of
// only some of its lines), and an empty list counts nothing.
TEST(NotImported, EveryLineOfALongListAndNoLineOfAnEmptyOne) {
  std::vector<std::string> lines = {"%%EndSetup"};
  for (int i = 0; i < 1000; ++i) {
    lines.push_back("0 To");
    lines.push_back("%AI5_BeginPlace");
    lines.push_back("0 0 m");
  }
  const NotImportedCounts counts = Count(lines);
  EXPECT_EQ(counts.TextObjects, 1000u);
  EXPECT_EQ(counts.Images, 1000u);
  EXPECT_EQ(Count({}), NotImportedCounts{});
}

struct CountCase {
  std::string Name;
  std::vector<std::string> Lines;
  NotImportedCounts Want;
  bool ParseEverything = false;
};

const std::string Pattern = "(Bricks) 0 0 1 1 0 0 0 0 0 [1 0 0 1 0 0] p";

std::vector<CountCase> CountCases() {
  return {
      {"NothingToReport", {"%%EndSetup", "0 0 m", "1 1 l", "f", "%%Trailer"}, {}},
      {"TextObjectsOfEveryVersion",
       {"%%EndSetup", "0 To", "1 0 0 1 0 0 Tp", "TP", "(Hi) Tx", "TO", "2 To", "TO",
        "/AI11Text :", "0 /FreeUndo ,", ";", "/AI11Text   :"},
       {.TextObjects = 4}},
      {"TextLookalikesAreNot",
       {"%%EndSetup", "/To {} def", "%_0 To", "%%To", "(To) Tx", "Top", "/AI11TextDocument : ;"},
       {}},
      {"RasterImages",
       {"%%EndSetup", "%AI5_File:", "%AI5_BeginRaster", "() 1 XG", "[1 0 0 1 0 0] 2 2 0 Xh",
        "%%BeginData: 12", "XI", "%%EndData", "XH", "%AI5_EndRaster", "[1 0 0 1 0 0] 0 0 8 XF",
        "%AI5_BeginRaster", "(photo.tif) 0 XG", "XF", "%AI5_EndRaster"},
       {.Images = 3}},
      // A raster kept on hidden lines belongs to an object drawn another way; its samples are
      // never prefixed, and they do not count either.
      {"RasterOnHiddenLines",
       {"%%EndSetup", "%_%AI5_BeginRaster", "%_() 1 XG", "XI", "%_%AI5_EndRaster"},
       {}},
      {"PlacedFiles",
       {"%%EndSetup", "%AI5_BeginPlace", "%%FileType: 3", "%AI5_EndPlace"},
       {.Images = 1}},
      {"GradientsAndMeshes",
       {"%%EndSetup", "0 0 m", "1 1 l", "Bb", "2 (Sky) 0 0 0 1 1 0 0 1 0 0 Bg", "f", "0 BB",
        "[0] Bb", "f", "2 BB", "/Mesh X!", "/End X!"},
       {.GradientFills = 3}},
      {"PatternStaysTheFillUntilAColourIsSet",
       {"%%EndSetup", Pattern, "0 0 m", "f", "0 0 m", "b", "0 0 m", "S", "0 0 0 1 K", "0 0 m", "F",
        "0 0 0 1 k", "0 0 m", "f"},
       {.PatternFills = 3}},
      {"PatternEndedByEveryFillColour",
       {"%%EndSetup", Pattern, "0.5 g",
        "f",          Pattern, "0 0 0 0 (White) 0 x",
        "f",          Pattern, "0 0 0 0 1 1 1 Xa",
        "f",          Pattern, "0 0 0 0 1 1 1 (Spot) 0 1 Xx",
        "f",          Pattern, "0 0 0 0 1 1 1 (Global) 0 1 Xk",
        "f",          Pattern, "0 0 0 0 ([Registration]) 0 Xs",
        "f",          Pattern, "0 0 0 0 1 1 1 (Reg) 0 1 Xz",
        "f"},
       {}},
      {"CompoundPathWithAPatternCountsOnce",
       {"%%EndSetup", Pattern, "*u", "0 0 m", "f", "1 1 m", "f", "*U", "*u", "2 2 m", "f", "*U",
        "3 3 m", "f"},
       {.PatternFills = 3}},
      {"GradientInstanceIsNoPatternFill",
       {"%%EndSetup", Pattern, "Bb", "f", "0 BB", "f"},
       {.GradientFills = 1, .PatternFills = 1}},
      {"HiddenLayers",
       {"%%EndSetup", "%AI5_BeginLayer", VisibleLayer, "f", "LB", "%AI5_BeginLayer", HiddenLayer,
        "f", "s", "LB", "%AI5_BeginLayer", HiddenLayer, "LB", "%AI5_BeginLayer", HiddenLayer, "B",
        "LB", "f"},
       {.HiddenLayerPaths = 3, .HiddenLayers = 2}},
      // A sublayer of a hidden layer is hidden, whatever its own flag says.
      {"NestedLayers",
       {"%%EndSetup", HiddenLayer, "f", VisibleLayer, "f", "f", "LB", "LB", VisibleLayer,
        HiddenLayer, "S", "LB", "f", "LB", "LB", "LB", "f"},
       {.HiddenLayerPaths = 4, .HiddenLayers = 2}},
      {"LayerFlagAsADecimal",
       {"%%EndSetup", "0.0 1 1 1 Lb", "f", "LB", "1.0 1 Lb", "f", "LB"},
       {.HiddenLayerPaths = 1, .HiddenLayers = 1}},
      // The interpreter's window: after a start marker, up to "%%Trailer", again after a marker.
      {"OnlyWhatTheInterpreterReads",
       {"0 To", "Bb", "%%BeginSetup", "%AI5_BeginRaster", "%%EndSetup", "0 To", "%%Trailer", "0 To",
        "Bb", "  %%endpagesetup ", "0 To", "%%%%Trailer", "0 To"},
       {.TextObjects = 2}},
      {"ParseEverythingReadsFromTheFirstLine",
       {"0 To", "Bb", "%%EndSetup", "0 To", "%%Trailer", "0 To"},
       {.TextObjects = 2, .GradientFills = 1},
       true},
      {"CADDDictStartsToo", {"0 To", "CADDDict   begin", "0 To"}, {.TextObjects = 1}},
  };
}

class CountScan : public ::testing::TestWithParam<CountCase> {};

TEST_P(CountScan, CountsWhatIsNotCut) {
  const CountCase& c = GetParam();
  const NotImportedCounts got = Count(c.Lines, c.ParseEverything);
  EXPECT_EQ(got.TextObjects, c.Want.TextObjects);
  EXPECT_EQ(got.Images, c.Want.Images);
  EXPECT_EQ(got.GradientFills, c.Want.GradientFills);
  EXPECT_EQ(got.PatternFills, c.Want.PatternFills);
  EXPECT_EQ(got.HiddenLayerPaths, c.Want.HiddenLayerPaths);
  EXPECT_EQ(got.HiddenLayers, c.Want.HiddenLayers);
}

INSTANTIATE_TEST_SUITE_P(Lines, CountScan, ::testing::ValuesIn(CountCases()),
                         [](const auto& info) { return info.param.Name; });

TEST(NotImportedMessage, SaysWhatWithCountsInPlainWords) {
  struct Case {
    NotImportedCounts Counts;
    std::string Want;
  };
  const std::string convert = " (convert text to outlines before saving)";
  for (const Case& c : std::vector<Case>{
           {{}, ""},
           {{.TextObjects = 1}, "Not imported: 1 text object" + convert},
           {{.TextObjects = 12}, "Not imported: 12 text objects" + convert},
           {{.Images = 1}, "Not imported: 1 placed image"},
           {{.Images = 2}, "Not imported: 2 placed images"},
           {{.GradientFills = 1}, "Not imported: 1 gradient fill"},
           {{.GradientFills = 25}, "Not imported: 25 gradient fills"},
           {{.PatternFills = 1}, "Not imported: 1 pattern fill"},
           {{.PatternFills = 3}, "Not imported: 3 pattern fills"},
           {{.HiddenLayerPaths = 1, .HiddenLayers = 1}, "1 path lies on a hidden layer"},
           {{.HiddenLayerPaths = 340, .HiddenLayers = 1}, "340 paths lie on a hidden layer"},
           {{.HiddenLayerPaths = 340, .HiddenLayers = 3}, "340 paths lie on hidden layers"},
           {{.TextObjects = 12, .Images = 1, .HiddenLayerPaths = 340, .HiddenLayers = 2},
            "Not imported: 12 text objects" + convert +
                ", 1 placed image; 340 paths lie on "
                "hidden layers"},
           {{.TextObjects = 1,
           .Images = 1,
           .GradientFills = 1,
           .PatternFills = 1,
           .HiddenLayerPaths = 1,
           .HiddenLayers = 1},
            "Not imported: 1 text object" + convert +
                ", 1 placed image, 1 gradient fill, 1 pattern fill; 1 path lies on a hidden "
                "layer"},
           {{.GradientFills = 2, .PatternFills = 5},
            "Not imported: 2 gradient fills, 5 pattern fills"},
       }) {
    EXPECT_EQ(NotImportedMessage(c.Counts), c.Want);
    EXPECT_EQ(c.Counts.Empty(), c.Want.empty());
  }
  EXPECT_EQ(
      NotImportedMessage({.TextObjects = 1234, .HiddenLayerPaths = 1234567, .HiddenLayers = 2},
                         "."),
      "Not imported: 1.234 text objects" + convert + "; 1.234.567 paths lie on hidden layers");
}

}  // namespace
