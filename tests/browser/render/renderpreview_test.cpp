// RenderPreview end to end: requests, extents, the enhanced mode, the silver cache, and
// pictures of the bundled sample saved into the build folder.
#include <QFont>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "previewrender.h"
#include "readfile.h"
#include "reference.h"
#include "rendersupport.h"

namespace aiimport {
namespace {

using namespace rendertest;
using testing::RenderRequestFromValue;

constexpr TColor Green = 0x00FF00;
constexpr TColor Red = 0x0000FF;
constexpr TColor Silver = 0xC0C0C0;
constexpr TColor Black = 0x000000;
constexpr TColor White = 0xFFFFFF;

struct Scene {
  std::vector<const tpath*> Tree;
  std::vector<const tpath*> Selected;
  bool HasSelection = true;
};

PreviewPicture Render(const Scene& scene, RenderRequest request, DrawMode mode, bool enhanced,
                      FloatRect& extent, int width = 210, int height = 110,
                      SilverCache* cache = nullptr) {
  PreviewInput input;
  input.TreePaths = scene.Tree;
  input.SelectedPaths = scene.Selected;
  input.HasSelectedNode = scene.HasSelection;
  input.Request = request;
  input.ViewMode = mode;
  input.Enhanced = enhanced;
  input.Width = width;
  input.Height = height;
  return RenderPreview(input, extent, cache);
}

bool AllWhite(const QImage& image) {
  return CountColor(image, White) == image.width() * image.height();
}

TEST(RenderPreviewTest, NoSelectedNodeGivesWhiteAndLeavesImportAlone) {
  std::deque<tpath> paths{Rect(0, 0, 100, 50, {true, true, 0, Green, 0})};
  FloatRect extent{1, 2, 3, 4};
  for (bool enhanced : {false, true}) {
    const auto picture = Render({Pointers(paths), Pointers(paths), false}, RenderRequest::FitAll,
                                DrawMode::Solid, enhanced, extent);
    EXPECT_EQ(picture.Image.width(), 210);
    EXPECT_EQ(picture.Image.height(), 110);
    EXPECT_TRUE(AllWhite(picture.Image));
    EXPECT_EQ(picture.Mapping, (ScreenMapping{1, 0, 0, 0, 0}));
    EXPECT_FALSE(picture.ImportEnabled.has_value());
    EXPECT_EQ(extent, (FloatRect{1, 2, 3, 4}));
  }
}

TEST(RenderPreviewTest, FitAllMapsTheUnionOfTreeBoxes) {
  std::deque<tpath> paths{Rect(0, 0, 40, 50, {true, true, 0, Green, 0}),
                          Rect(60, 10, 100, 30, {true, false, Red, Green, 1})};
  FloatRect extent{};
  const auto picture = Render({Pointers(paths), Pointers(paths)}, RenderRequest::FitAll,
                              DrawMode::Solid, false, extent);
  EXPECT_EQ(extent, (FloatRect{0, 0, 100, 50}));
  // (210 - 10) / 100 = (110 - 10) / 50 = 2; offsets (210 - 200) / 2 and (110 - 100) / 2.
  EXPECT_EQ(picture.Mapping, (ScreenMapping{2, 0, 0, 5, 5}));
  ASSERT_TRUE(picture.ImportEnabled);
  EXPECT_TRUE(*picture.ImportEnabled);
  EXPECT_EQ(PixelAt(picture.Image, 5 + 40, 5 + 50), Green);  // world (20, 25)
  EXPECT_EQ(PixelAt(picture.Image, 5 + 120, 5 + 40), Red);   // world (60, 20), left edge
  EXPECT_EQ(PixelAt(picture.Image, 5 + 160, 5 + 40), White);
}

TEST(RenderPreviewTest, SelectedNodeWithoutTreePathsDisablesImport) {
  FloatRect extent{};
  const auto picture = Render({{}, {}, true}, RenderRequest::FitAll, DrawMode::Solid, true, extent);
  ASSERT_TRUE(picture.ImportEnabled);
  EXPECT_FALSE(*picture.ImportEnabled);
  EXPECT_EQ(extent, (FloatRect{0, 0, 1, 1}));
  EXPECT_TRUE(AllWhite(picture.Image));
}

TEST(RenderPreviewTest, HorizontalLineAloneGivesAWhitePicture) {
  std::deque<tpath> paths{MakePath({Move(10, 50), Line(90, 50)}, {false, false, 0, 0, 0})};
  FloatRect extent{};
  for (bool enhanced : {false, true}) {
    const auto picture = Render({Pointers(paths), Pointers(paths)}, RenderRequest::FitAll,
                                DrawMode::Solid, enhanced, extent);
    EXPECT_EQ(extent, (FloatRect{10, 50, 90, 50}));
    EXPECT_TRUE(AllWhite(picture.Image));
    EXPECT_EQ(picture.Mapping, (ScreenMapping{1, 0, 0, 0, 0}));
    EXPECT_TRUE(picture.ImportEnabled.value_or(false));
  }
}

TEST(RenderPreviewTest, HorizontalLineAmongOthersIsDrawn) {
  std::deque<tpath> paths{Rect(0, 0, 100, 50, {true, false, Red, 0, 0}),
                          MakePath({Move(10, 25), Line(90, 25)}, {true, false, 0, 0, 1})};
  FloatRect extent{};
  const auto picture = Render({Pointers(paths), Pointers(paths)}, RenderRequest::FitAll,
                              DrawMode::Wireframe, false, extent);
  for (int x = 25; x < 185; ++x)
    EXPECT_EQ(PixelAt(picture.Image, x, 55), Black) << x;
}

TEST(RenderPreviewTest, FitSelectionWithoutPathsShowsOnlyTheSilverPass) {
  std::deque<tpath> paths{Rect(0.2f, 0.2f, 0.8f, 0.8f, {true, true, Red, Green, 0})};
  FloatRect extent{0, 0, 50, 50};
  const auto picture = Render({Pointers(paths), {}}, RenderRequest::FitSelection, DrawMode::Solid,
                              false, extent, 110, 110);
  EXPECT_EQ(extent, (FloatRect{0, 0, 1, 1}));
  EXPECT_EQ(picture.Mapping, (ScreenMapping{100, 0, 0, 5, 5}));
  // The outline from pixel 25 to 85, silver and unfilled; nothing else.
  EXPECT_EQ(PixelAt(picture.Image, 25, 50), Silver);
  EXPECT_EQ(PixelAt(picture.Image, 50, 25), Silver);
  EXPECT_EQ(PixelAt(picture.Image, 50, 50), White);
  EXPECT_EQ(CountColor(picture.Image, Silver), 4 * 60);
  EXPECT_EQ(CountColor(picture.Image, Silver) + CountColor(picture.Image, White), 110 * 110);
}

TEST(RenderPreviewTest, SelectionOverSilverAndRepaintAllWithoutSilver) {
  std::deque<tpath> paths{Rect(0, 0, 40, 50, {true, true, 0, Red, 0}),
                          Rect(60, 0, 100, 50, {true, true, 0, Green, 1})};
  const auto tree = Pointers(paths);
  const std::vector<const tpath*> selected{&paths[0]};
  FloatRect extent{0, 0, 100, 50};  // mapping (2, 0, 0, 5, 5)

  auto picture =
      Render({tree, selected}, RenderRequest::KeepExtent, DrawMode::Solid, false, extent);
  EXPECT_EQ(PixelAt(picture.Image, 45, 55), Red);
  EXPECT_EQ(PixelAt(picture.Image, 125, 55), Silver);  // world (60, 25): the other's outline
  EXPECT_EQ(PixelAt(picture.Image, 165, 55), White);   // not filled in the silver pass
  EXPECT_EQ(extent, (FloatRect{0, 0, 100, 50}));

  picture = Render({tree, selected}, RenderRequest::RepaintAll, DrawMode::Solid, false, extent);
  EXPECT_EQ(PixelAt(picture.Image, 45, 55), Red);
  EXPECT_EQ(PixelAt(picture.Image, 125, 55), Green);
  EXPECT_EQ(PixelAt(picture.Image, 165, 55), Green);
  EXPECT_EQ(CountColor(picture.Image, Silver), 0);
  EXPECT_EQ(picture.Mapping, (ScreenMapping{2, 0, 0, 5, 5}));

  // Any other request value behaves as KeepExtent.
  picture = Render({tree, selected}, RenderRequestFromValue(7), DrawMode::Solid, false, extent);
  EXPECT_EQ(PixelAt(picture.Image, 125, 55), Silver);
}

TEST(RenderPreviewTest, ASystemColourIsThePalettesColour) {
  // A path recoloured with the system colour "window text" (8): the palette's text colour.
  std::deque<tpath> paths{Rect(0, 0, 40, 50, {true, false, SystemColorValue(8), White, 0})};
  const auto tree = Pointers(paths);
  PreviewInput input;
  input.TreePaths = tree;
  input.SelectedPaths = tree;
  input.HasSelectedNode = true;
  input.Request = RenderRequest::KeepExtent;
  input.ViewMode = DrawMode::Solid;
  input.Enhanced = false;
  input.Width = 210;
  input.Height = 110;
  input.Palette.setColor(QPalette::Active, QPalette::Text, QColor(0x44, 0x55, 0x66));
  FloatRect extent{0, 0, 100, 50};  // mapping (2, 0, 0, 5, 5)
  const PreviewPicture picture = RenderPreview(input, extent);
  const TColor text = 0x665544;
  EXPECT_EQ(PixelAt(picture.Image, 5, 55), text);    // world (0, 25): the left edge
  EXPECT_EQ(PixelAt(picture.Image, 45, 55), White);  // not filled
  EXPECT_EQ(CountColor(picture.Image, text) + CountColor(picture.Image, White), 210 * 110);
}

TEST(RenderPreviewTest, EnhancedModePutsPointsOnTheSamePixels) {
  std::deque<tpath> paths{Rect(0, 0, 100, 50, {true, false, 0, 0, 0}),
                          Rect(20, 10, 60, 40, {true, true, 0, Green, 1}),
                          MakePath({Move(70, 5), Line(90, 25)}, {true, false, 0, 0, 2})};
  for (int width : {210, 211}) {
    FloatRect extent{};
    const auto direct = Render({Pointers(paths), Pointers(paths)}, RenderRequest::FitAll,
                               DrawMode::Solid, false, extent, width, 111);
    const auto enhanced = Render({Pointers(paths), Pointers(paths)}, RenderRequest::FitAll,
                                 DrawMode::Solid, true, extent, width, 111);
    EXPECT_EQ(direct.Mapping, enhanced.Mapping);
    ASSERT_EQ(enhanced.Image.size(), direct.Image.size());

    // The axis-parallel outline and the filled rectangle: the same pixels; a one-pixel black
    // line of the double-size picture covers half of each 2 x 2 block: (2 * 255) >> 2 = 127.
    const ScreenMapping& m = direct.Mapping;
    const int left = static_cast<int>(MapX(m, 0)), right = static_cast<int>(MapX(m, 100));
    const int top = static_cast<int>(MapY(m, 0)), bottom = static_cast<int>(MapY(m, 50));
    for (int y = top + 1; y < bottom; ++y) {
      EXPECT_EQ(PixelAt(direct.Image, left, y), Black);
      EXPECT_EQ(PixelAt(enhanced.Image, left, y), 0x7F7F7F) << y;
      EXPECT_EQ(PixelAt(enhanced.Image, left + 1, y), White) << y;
      EXPECT_EQ(PixelAt(enhanced.Image, left - 1, y), White) << y;
      EXPECT_EQ(PixelAt(enhanced.Image, right, y), 0x7F7F7F) << y;
    }
    for (int x = left + 1; x < right; ++x) {
      EXPECT_EQ(PixelAt(enhanced.Image, x, top), 0x7F7F7F) << x;
      EXPECT_EQ(PixelAt(enhanced.Image, x, top - 1), White) << x;
    }
    const int fillX = static_cast<int>(MapX(m, 40)), fillY = static_cast<int>(MapY(m, 25));
    EXPECT_EQ(PixelAt(direct.Image, fillX, fillY), Green);
    EXPECT_EQ(PixelAt(enhanced.Image, fillX, fillY), Green);

    // The diagonal (45 degrees, so no rounding choices): every pixel the direct line sets is
    // touched by the enhanced one.
    const int x0 = static_cast<int>(MapX(m, 70)), x1 = static_cast<int>(MapX(m, 90));
    for (int y = static_cast<int>(MapY(m, 5)); y < MapY(m, 25); ++y) {
      for (int x = x0; x <= x1; ++x) {
        if (PixelAt(direct.Image, x, y) == Black) {
          EXPECT_NE(PixelAt(enhanced.Image, x, y), White) << x << "," << y;
        }
      }
    }
  }
}

TEST(RenderPreviewTest, PaintBoxesOfNoSizeDrawNothingButStillMap) {
  std::deque<tpath> paths{Rect(0, 0, 100, 50, {true, true, 0, Green, 0})};
  FloatRect extent{};
  const auto picture = Render({Pointers(paths), Pointers(paths)}, RenderRequest::FitAll,
                              DrawMode::Solid, true, extent, 0, 0);
  EXPECT_TRUE(picture.Image.isNull());
  EXPECT_EQ(picture.Mapping.Scale, -0.2f);  // the smaller of -10 / 100 and -10 / 50
  EXPECT_TRUE(picture.ImportEnabled.value_or(false));
}

TEST(SilverCacheTest, SelectionChangesReuseItWithIdenticalPixels) {
  std::deque<tpath> paths{Rect(0, 0, 40, 50, {true, true, 0, Red, 0}),
                          Rect(60, 0, 100, 50, {true, true, 0, Green, 1}),
                          // starts with a line: continues from where the drawing before ended
                          MakePath({Line(30, 40)}, {false, false, 0, 0, 2})};
  const auto tree = Pointers(paths);
  for (bool enhanced : {false, true}) {
    SilverCache cache;
    FloatRect extent{0, 0, 100, 50};
    std::vector<std::vector<const tpath*>> selections{
        {&paths[0]}, {&paths[1]}, {&paths[2]}, tree, {}};
    for (const auto& selection : selections) {
      FloatRect fresh = extent;
      const auto expected = Render({tree, selection}, RenderRequest::KeepExtent,
                                   DrawMode::Orientation, enhanced, fresh);
      const auto cached = Render({tree, selection}, RenderRequest::KeepExtent,
                                 DrawMode::Orientation, enhanced, extent, 210, 110, &cache);
      EXPECT_EQ(cached.Image, expected.Image);
      EXPECT_EQ(cached.Mapping, expected.Mapping);
      EXPECT_TRUE(cache.Matches(tree, extent, 210, 110, enhanced));
    }
  }
}

TEST(SilverCacheTest, AnyChangeOfItsInputsIsNoticed) {
  std::deque<tpath> paths{Rect(0, 0, 40, 50, {true, true, 0, Red, 0}),
                          Rect(60, 0, 100, 50, {true, true, 0, Green, 1})};
  auto tree = Pointers(paths);
  SilverCache cache;
  FloatRect extent{0, 0, 100, 50};
  Render({tree, tree}, RenderRequest::KeepExtent, DrawMode::Solid, true, extent, 210, 110, &cache);
  ASSERT_TRUE(cache.Matches(tree, extent, 210, 110, true));
  EXPECT_FALSE(cache.Matches(tree, extent, 211, 110, true));
  EXPECT_FALSE(cache.Matches(tree, extent, 210, 111, true));
  EXPECT_FALSE(cache.Matches(tree, extent, 210, 110, false));
  EXPECT_FALSE(cache.Matches(tree, FloatRect{0, 0, 100, 51}, 210, 110, true));
  const std::vector<const tpath*> reordered{tree[1], tree[0]};
  EXPECT_FALSE(cache.Matches(reordered, extent, 210, 110, true));
  EXPECT_FALSE(cache.Matches({tree.data(), 1}, extent, 210, 110, true));
  paths[1].CompoundNo = 0;  // broken apart or joined
  EXPECT_FALSE(cache.Matches(tree, extent, 210, 110, true));
  paths[1].CompoundNo = 1;
  EXPECT_TRUE(cache.Matches(tree, extent, 210, 110, true));

  // RepaintAll neither uses nor replaces it; FitAll with a new extent replaces it.
  Render({tree, tree}, RenderRequest::RepaintAll, DrawMode::Solid, true, extent, 210, 110, &cache);
  EXPECT_TRUE(cache.Matches(tree, extent, 210, 110, true));
  const std::vector<const tpath*> first{tree[0]};
  Render({first, {}}, RenderRequest::FitAll, DrawMode::Solid, true, extent, 210, 110, &cache);
  EXPECT_EQ(extent, (FloatRect{0, 0, 40, 50}));
  EXPECT_TRUE(cache.Matches(first, extent, 210, 110, true));

  cache.Invalidate();
  EXPECT_TRUE(cache.Empty());
  EXPECT_FALSE(cache.Matches(first, extent, 210, 110, true));
}

TEST(LineCounter, TextAtTheTopLeftOnItsBackground) {
  QImage image = WhiteCanvas(200, 100);
  image.fill(Qt::green);
  DrawLineCounter(image, "12300      ", QFont(), Qt::black, Qt::white);
  const int height = QFontMetrics(QFont()).height();
  EXPECT_EQ(PixelAt(image, 0, 0), White);  // the text cell starts at (0, 0)
  int black = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < 200; ++x)
      black += PixelAt(image, x, y) != Green && !IsWhite(image, x, y);
  }
  EXPECT_GT(black, 0);
  EXPECT_EQ(PixelAt(image, 199, 99), Green);  // nothing below or to the right of the cell
  EXPECT_EQ(PixelAt(image, 0, height + 1), Green);
}

// The bundled sample read as a reload reads it, drawn as the window would, saved as PNG files
// into the build folder for a look.
class SamplePictures : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string file = std::string(AIIMPORT_SOURCE_DIR) + "/samples/shapes.eps";
    Progress quiet;
    ReadSourceFile(store_, file, {}, quiet);
    ASSERT_EQ(store_.PathList.size(), 6u);
    // The rebuild after a load computes every path's box.
    store_.ViewExtent = ComputeViewExtent(store_.PathList, true);
    for (const tpath& p : store_.PathList) {
      if (p.Count() >= 2) tree_.push_back(&p);
    }
  }

  PreviewPicture Draw(const std::vector<const tpath*>& selected, DrawMode mode, bool enhanced,
                      const std::string& name, RenderRequest request = RenderRequest::FitAll) {
    const auto picture = Render({tree_, selected}, request, mode, enhanced, extent_, 585, 413);
    const std::filesystem::path folder = std::filesystem::path(AIIMPORT_BINARY_DIR) / "pictures";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(picture.Image.save(QString::fromStdString((folder / name).string())));
    return picture;
  }

  TColor At(const PreviewPicture& picture, float x, float y) {
    return PixelAt(picture.Image, static_cast<int>(MapX(picture.Mapping, x)),
                   static_cast<int>(MapY(picture.Mapping, y)));
  }

  PathModel store_;
  std::vector<const tpath*> tree_;
  FloatRect extent_{};
};

TEST_F(SamplePictures, EveryModeDirectAndEnhanced) {
  const auto solid = Draw(tree_, DrawMode::Solid, false, "preview-solid-direct.png");
  EXPECT_EQ(extent_, (FloatRect{36, 36, 252, 198}));
  EXPECT_EQ(At(solid, 72, 72), Red);        // the red square
  EXPECT_EQ(At(solid, 72, 171), White);     // the hole of the grey compound
  EXPECT_EQ(At(solid, 45, 171), 0x808080);  // its grey ring
  EXPECT_EQ(At(solid, 198, 171), White);    // the white rectangle, outlined black
  EXPECT_EQ(At(solid, 198, 144), Black);
  // Its points stop at the fourth corner and no close is added: the left side is not stroked.
  EXPECT_EQ(At(solid, 144, 171), White);

  const auto enhanced = Draw(tree_, DrawMode::Solid, true, "preview-solid-enhanced.png");
  EXPECT_EQ(At(enhanced, 72, 72), Red);
  EXPECT_EQ(At(enhanced, 72, 171), White);
  EXPECT_EQ(enhanced.Mapping, solid.Mapping);

  const auto wire = Draw(tree_, DrawMode::Wireframe, true, "preview-wireframe.png");
  EXPECT_EQ(At(wire, 72, 72), White);
  const auto orientation = Draw(tree_, DrawMode::Orientation, true, "preview-orientation.png");
  EXPECT_EQ(At(orientation, 72, 72), White);

  // The grey compound selected: its two paths in colour over the silver of the others.
  const auto selection = Draw({tree_[2], tree_[3]}, DrawMode::Solid, true, "preview-selection.png",
                              RenderRequest::KeepExtent);
  EXPECT_EQ(At(selection, 45, 171), 0x808080);
  EXPECT_EQ(At(selection, 72, 72), White);
  // Silver one-pixel lines of the double-size picture halve to (2 * 0xC0 + 2 * 0xFF) >> 2.
  EXPECT_GT(CountColor(selection.Image, 0xDFDFDF), 0);

  const auto zoomed = Draw({tree_[2], tree_[3]}, DrawMode::Solid, true, "preview-zoomed.png",
                           RenderRequest::FitSelection);
  EXPECT_EQ(extent_, (FloatRect{36, 144, 108, 198}));
  EXPECT_EQ(At(zoomed, 72, 171), White);
  EXPECT_EQ(At(zoomed, 45, 171), 0x808080);
}

}  // namespace
}  // namespace aiimport
