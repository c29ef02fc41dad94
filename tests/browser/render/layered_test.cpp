// Drawing in layers on several threads gives the pixels of one drawing in a row: random
// drawings in every mode and both factors, cut into any number of parts, compared pixel for
// pixel (and the drawing position left behind) with a single DrawPaths call; then whole
// previews of the samples and the corpus files, with and without threads. Each is also drawn
// with every line through the painter, which must set the same pixels as the line drawer.
#include <QDir>

#include <atomic>
#include <filesystem>
#include <random>
#include <string>

#include "readfile.h"
#include "rendersupport.h"

namespace aiimport::rendertest {
namespace {

constexpr int Size = 160;

// A random drawing: runs of paths sharing a compound number (some negative, never finished),
// lines and curves with points partly off the canvas (culled paths), paths that start without
// a move, open and closed, filled and not, ordinary and system colours.
std::deque<tpath> RandomDrawing(uint32_t seed, int count) {
  std::mt19937 random(seed);
  const auto uniform = [&random](float low, float high) {
    return std::uniform_real_distribution<float>(low, high)(random);
  };
  const auto chance = [&random](double p) { return std::bernoulli_distribution(p)(random); };
  const auto colour = [&]() -> TColor {
    if (chance(0.1)) return static_cast<TColor>(0x80000000u + random() % 25);  // system colour
    static const TColor fixed[] = {0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0x336699, 0xC0C0C0};
    return chance(0.5) ? fixed[random() % 6] : static_cast<TColor>(random() & 0xFFFFFFu);
  };
  std::deque<tpath> paths;
  int32_t compound = 0;
  for (int i = 0; i < count; ++i) {
    if (chance(0.6)) compound = chance(0.1) ? -1 : static_cast<int32_t>(random() % 1000);
    // Most paths are small and near the canvas; some are far off it, some huge.
    const float cx = uniform(-40, Size + 40), cy = uniform(-40, Size + 40);
    const float reach = chance(0.05) ? 400.0f : uniform(1, 30);
    const auto x = [&] { return cx + uniform(-reach, reach); };
    const auto y = [&] { return cy + uniform(-reach, reach); };
    std::vector<tbpoint> points;
    if (!chance(0.08)) points.push_back(testing::Move(x(), y()));
    const int n = 1 + static_cast<int>(random() % 6);
    for (int k = 0; k < n; ++k) {
      if (chance(0.3)) {
        points.push_back(testing::Curve(x(), y(), x(), y(), x(), y()));
      } else {
        points.push_back(testing::Line(x(), y()));
      }
    }
    PathSpec shape;
    shape.Closed = chance(0.7);
    shape.Filled = chance(0.5);
    shape.LineColor = colour();
    shape.FillColor = colour();
    shape.CompoundNo = compound;
    shape.Anticlockwise = chance(0.5);
    paths.push_back(MakePath(points, shape));
  }
  return paths;
}

// Odd entries: a null entry and a path whose box lies far outside everything.
void AddOddEntries(std::vector<const tpath*>& list, const tpath& far) {
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(list.size() / 3), nullptr);
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(list.size() / 2), &far);
}

const ScreenMapping Identity{1.0f, 0, 0, 0, 0};

TEST(DrawPathsLayered, RandomDrawingsGiveTheSinglePassPixels) {
  const tpath far = Rect(1e6f, 1e6f, 1e6f + 5, 1e6f + 5, {});
  QPalette palette;
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    const std::deque<tpath> paths = RandomDrawing(seed, 400);
    std::vector<const tpath*> list = Pointers(paths);
    AddOddEntries(list, far);
    for (DrawMode mode :
         {DrawMode::Wireframe, DrawMode::Solid, DrawMode::Orientation, DrawMode::Background}) {
      for (int factor : {1, 2}) {
        // One drawing in a row, on a canvas that already holds something.
        QImage single = WhiteCanvas(Size * factor, Size * factor);
        single.fill(QColor(0x12, 0x34, 0x56));
        QImage layered = single;
        QImage painted = single;
        QPointF singleAt(3, 4), paintedAt(3, 4);
        {
          QPainter painter(&single);
          DrawPaths(painter, list, factor, mode, Identity, &singleAt, palette);
        }
        {
          QPainter painter(&painted);
          DrawPaths(painter, list, factor, mode, Identity, &paintedAt, palette, nullptr, true);
        }
        EXPECT_TRUE(painted == single) << "seed " << seed << ", mode " << static_cast<int>(mode)
                                       << ", factor " << factor << ": the painter's lines";
        EXPECT_EQ(paintedAt, singleAt);
        for (unsigned threads : {2u, 3u, 7u}) {
          QImage image = layered;
          QPointF at(3, 4);
          RenderControl control;
          control.Threads = threads;
          control.MinPointsPerLayer = 1;
          EXPECT_TRUE(DrawPathsLayered(image, list, factor, mode, Identity, at, palette, control));
          EXPECT_TRUE(image == single) << "seed " << seed << ", mode " << static_cast<int>(mode)
                                       << ", factor " << factor << ", threads " << threads;
          EXPECT_EQ(at, singleAt);
        }
      }
    }
  }
}

TEST(DrawPathsLayered, LongRunsOfOneColourAreCutWhereTheirStrokesAreDrawn) {
  // The silver pass strokes every path in one colour: its parts can only start where the whole
  // drawing hands its collected strokes to the painter, every 16384 painter-path elements.
  // Fifty thousand elements make a few such places.
  const std::deque<tpath> paths = RandomDrawing(77, 12000);
  const auto list = Pointers(paths);
  for (DrawMode mode : {DrawMode::Background, DrawMode::Wireframe}) {
    QImage single = WhiteCanvas(Size * 2, Size * 2);
    QImage painted = single;
    QPointF singleAt, paintedAt;
    {
      QPainter painter(&single);
      DrawPaths(painter, list, 2, mode, Identity, &singleAt);
    }
    {
      QPainter painter(&painted);
      DrawPaths(painter, list, 2, mode, Identity, &paintedAt, QPalette(), nullptr, true);
    }
    EXPECT_TRUE(painted == single) << "mode " << static_cast<int>(mode) << ": the painter's lines";
    for (unsigned threads : {2u, 3u, 5u}) {
      QImage image = WhiteCanvas(Size * 2, Size * 2);
      QPointF at;
      RenderControl control;
      control.Threads = threads;
      control.MinPointsPerLayer = 1;
      EXPECT_TRUE(DrawPathsLayered(image, list, 2, mode, Identity, at, {}, control));
      EXPECT_TRUE(image == single) << "mode " << static_cast<int>(mode) << ", threads " << threads;
      EXPECT_EQ(at, singleAt);
    }
  }
}

TEST(DrawPathsLayered, ATranslucentSystemColourDrawsInOnePass) {
  // A translucent colour blends with what lies below it, which a layer does not hold: the
  // drawing is then not cut, and the pixels are still the single pass's.
  QPalette palette;
  palette.setColor(QPalette::Active, QPalette::Highlight, QColor(255, 0, 0, 100));
  const auto Highlight = static_cast<TColor>(0x80000000u + 13);
  std::deque<tpath> paths;
  for (int i = 0; i < 40; ++i)
    paths.push_back(Rect(i * 3.0f, i * 2.0f, i * 3.0f + 50, i * 2.0f + 40,
                         {true, true, Highlight, Highlight, i}));
  const auto list = Pointers(paths);
  QImage single = WhiteCanvas(Size, Size);
  QPointF singleAt;
  {
    QPainter painter(&single);
    DrawPaths(painter, list, 1, DrawMode::Solid, Identity, &singleAt, palette);
  }
  QImage layered = WhiteCanvas(Size, Size);
  QPointF at;
  RenderControl control{4, 1, nullptr};
  EXPECT_TRUE(DrawPathsLayered(layered, list, 1, DrawMode::Solid, Identity, at, palette, control));
  EXPECT_TRUE(layered == single);
}

TEST(DrawPathsLayered, ACancelledDrawingSaysSo) {
  const std::deque<tpath> paths = RandomDrawing(99, 2000);
  const auto list = Pointers(paths);
  const std::atomic<bool> cancel{true};
  for (unsigned threads : {1u, 3u}) {
    QImage image = WhiteCanvas(Size, Size);
    QPointF at;
    RenderControl control{threads, 1, &cancel};
    EXPECT_FALSE(DrawPathsLayered(image, list, 1, DrawMode::Solid, Identity, at, {}, control));
  }
  FloatRect extent{0, 0, Size, Size};
  PreviewInput input;
  input.TreePaths = list;
  input.SelectedPaths = list;
  input.HasSelectedNode = true;
  input.Width = Size;
  input.Height = Size;
  SilverCache cache;
  EXPECT_FALSE(RenderPreview(input, extent, &cache, {2, 1, &cancel}).Complete);
  EXPECT_TRUE(cache.Empty());  // an unfinished silver picture is not kept
}

// Whole previews as the window draws them after a load (the first path selected: everything
// in colour over the silver pass) and for a selection, one thread against several.
void ExpectSamePreviews(const std::string& file) {
  PathModel store;
  Progress quiet;
  ReadSourceFile(store, file, {}, quiet);
  store.ViewExtent = ComputeViewExtent(store.PathList, true);
  std::vector<const tpath*> tree;
  for (const tpath& p : store.PathList)
    if (p.Count() >= 2) tree.push_back(&p);
  std::vector<const tpath*> some(tree.begin() + static_cast<std::ptrdiff_t>(tree.size() / 2),
                                 tree.end());
  for (bool enhanced : {false, true}) {
    for (DrawMode mode : {DrawMode::Solid, DrawMode::Orientation}) {
      for (const std::vector<const tpath*>* selected : {&tree, &some}) {
        PreviewInput input;
        input.TreePaths = tree;
        input.SelectedPaths = *selected;
        input.HasSelectedNode = true;
        input.Request = RenderRequest::FitAll;
        input.ViewMode = mode;
        input.Enhanced = enhanced;
        input.Width = 585;
        input.Height = 413;
        FloatRect singleExtent{}, layeredExtent{}, paintedExtent{};
        SilverCache cache;
        const PreviewPicture single = RenderPreview(input, singleExtent);
        RenderControl painterLines;
        painterLines.PainterLines = true;
        const PreviewPicture painted = RenderPreview(input, paintedExtent, nullptr, painterLines);
        EXPECT_TRUE(painted.Image == single.Image)
            << file << (enhanced ? " enhanced" : "") << ": the painter's lines";
        const PreviewPicture layered = RenderPreview(input, layeredExtent, &cache, {3, 1, nullptr});
        EXPECT_TRUE(layered.Complete);
        EXPECT_TRUE(layered.Image == single.Image) << file << (enhanced ? " enhanced" : "");
        EXPECT_EQ(layered.Mapping, single.Mapping);
        EXPECT_EQ(layeredExtent, singleExtent);
        EXPECT_FALSE(cache.Empty());
      }
    }
  }
}

TEST(DrawPathsLayered, SamplePreviewsAreTheSinglePassPictures) {
  for (const char* name : {"shapes.eps", "leaf-cr.ai", "custom-colours.eps"})
    ExpectSamePreviews(std::string(AIIMPORT_SOURCE_DIR) + "/samples/" + name);
}

TEST(DrawPathsLayered, CorpusPreviewsAreTheSinglePassPictures) {
  const std::filesystem::path corpus(AIIMPORT_CORPUS_DIR);
  std::error_code ec;
  if (corpus.empty() || !std::filesystem::is_directory(corpus, ec))
    GTEST_SKIP() << "the corpus folder is absent: " << corpus;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus, ec)) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".ai" && ext != ".eps") continue;
    ExpectSamePreviews(entry.path().string());
    ++files;
  }
  EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace aiimport::rendertest
