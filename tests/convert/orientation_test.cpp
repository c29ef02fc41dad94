// Orientation correction: crossings, the ring test, reversal, nesting and the drawing.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "orientation.h"
#include "reference.h"
#include "testpaths.h"

namespace aiimport {
namespace {

using namespace aiimport::testing;

TEST(EdgeCrossing, CountsCrossingsOfTheLeftwardRay) {
  const FloatPoint point{5, 5};
  EXPECT_EQ(EdgeCrossing({0, 6}, {0, 9}, point), 0);    // wholly above
  EXPECT_EQ(EdgeCrossing({0, 1}, {0, 4}, point), 0);    // wholly below
  EXPECT_EQ(EdgeCrossing({0, 5}, {9, 5}, point), 0);    // along the line
  EXPECT_EQ(EdgeCrossing({6, 0}, {7, 10}, point), 0);   // wholly right
  EXPECT_EQ(EdgeCrossing({0, 0}, {0, 10}, point), 2);   // a full crossing upwards
  EXPECT_EQ(EdgeCrossing({0, 10}, {0, 0}, point), -2);  // and downwards
  EXPECT_EQ(EdgeCrossing({0, 0}, {10, 10}, point), 0);  // through the point itself: cx = x
  EXPECT_EQ(EdgeCrossing({0, 0}, {10, 10}, {6, 5}), 2);
  EXPECT_EQ(EdgeCrossing({0, 5}, {0, 10}, point), 1);  // starts on the line, left of the point
  EXPECT_EQ(EdgeCrossing({0, 5}, {0, 10}, {-1, 5}), 0);
  EXPECT_EQ(EdgeCrossing({0, 0}, {0, 5}, point), 1);  // ends on the line
  EXPECT_EQ(EdgeCrossing({0, 10}, {0, 5}, point), -1);
  // A vertex on the ray: passing through adds 2, touching adds 0.
  EXPECT_EQ(EdgeCrossing({0, 0}, {0, 5}, point) + EdgeCrossing({0, 5}, {0, 10}, point), 2);
  EXPECT_EQ(EdgeCrossing({0, 0}, {0, 5}, point) + EdgeCrossing({0, 5}, {1, 0}, point), 0);
}

TEST(PointInPath, RingsBoxAndVertices) {
  // Fewer than 3 points contain nothing.
  EXPECT_FALSE(PointInPath(DotPath({{1, 0, 0}, {2, 10, 10}}), 5, 5));

  // A square whose last point does not repeat its first: the side back to the start counts.
  const tdotpath open = DotPath(Rectangle(0, 0, 10, 10, false));
  EXPECT_TRUE(PointInPath(open, 5, 5));
  // A point on the box's border passes the box test (and on the right side lies inside by the
  // ray rule); one beyond it is outside.
  EXPECT_TRUE(PointInPath(open, 10, 5));
  EXPECT_FALSE(PointInPath(open, 0, 5));
  EXPECT_FALSE(PointInPath(open, 11, 5));

  // Two squares in one path: no edge joins them, so the gap between them is outside.
  std::vector<Tdot> two = Rectangle(0, 0, 10, 10, false);
  for (const Tdot& d : Rectangle(20, 0, 30, 10, false))
    two.push_back(d);
  const tdotpath pair = DotPath(two);
  EXPECT_TRUE(PointInPath(pair, 5, 5));
  EXPECT_TRUE(PointInPath(pair, 25, 5));
  EXPECT_FALSE(PointInPath(pair, 15, 5));

  // A square with a notch to (5, 5) from the left: the notch's vertex lies on the ray of (8, 5)
  // and the outline passes through it; (3, 5) lies in the notch.
  const tdotpath notched = DotPath({{1, 0, 0}, {2, 10, 0}, {2, 10, 10}, {2, 0, 10}, {2, 5, 5}});
  EXPECT_TRUE(PointInPath(notched, 8, 5));
  EXPECT_FALSE(PointInPath(notched, 3, 5));
  // A valley whose lowest vertex (5, 5) touches the ray of (8, 5) from above.
  const tdotpath valley = DotPath({{1, 0, 10}, {2, 5, 5}, {2, 10, 10}, {2, 10, 20}, {2, 0, 20}});
  EXPECT_FALSE(PointInPath(valley, 8, 5));
  EXPECT_TRUE(PointInPath(valley, 5, 15));
}

TEST(ReversePath, KeepsEverySubPathWhole) {
  // Two squares: reversed, each is still a square starting with kind 1.
  std::vector<Tdot> pts = Rectangle(0, 0, 10, 10);
  for (const Tdot& d : Rectangle(20, 0, 30, 10))
    pts.push_back(d);
  tdotpath p = DotPath(pts);
  p.Reversed = false;
  ReversePath(p);
  EXPECT_TRUE(p.Reversed);
  EXPECT_FALSE(p.Anticlockwise);
  const std::vector<Tdot> expected{{1, 20, 0}, {2, 20, 10}, {2, 30, 10}, {2, 30, 0}, {2, 20, 0},
                                   {1, 0, 0},  {2, 0, 10},  {2, 10, 10}, {2, 10, 0}, {2, 0, 0}};
  EXPECT_EQ(p.Items, expected);
  ReversePath(p);
  EXPECT_EQ(p.Items, pts);
  EXPECT_FALSE(p.Reversed);
  EXPECT_TRUE(p.Anticlockwise);

  // Curve points keep their kind; a first run without a kind-1 start still counts as a run.
  tdotpath curve = DotPath({{1, 0, 0}, {3, 1, 1}, {3, 2, 1}, {2, 3, 0}, {2, 4, 0}});
  ReversePath(curve);
  EXPECT_EQ(curve.Items,
            (std::vector<Tdot>{{1, 4, 0}, {2, 3, 0}, {3, 2, 1}, {3, 1, 1}, {2, 0, 0}}));
  tdotpath headless = DotPath({{2, 0, 0}, {2, 1, 0}, {1, 5, 5}, {2, 6, 5}});
  ReversePath(headless);
  EXPECT_EQ(headless.Items, (std::vector<Tdot>{{1, 6, 5}, {2, 5, 5}, {1, 1, 0}, {2, 0, 0}}));
  tdotpath single = DotPath({{1, 7, 7}});
  ReversePath(single);
  EXPECT_EQ(single.Items, (std::vector<Tdot>{{1, 7, 7}}));
  tdotpath empty;
  ReversePath(empty);
  EXPECT_TRUE(empty.Reversed);
}

// Runs the correction on paths and returns the (Anticlockwise, Reversed) flags.
std::vector<std::pair<bool, bool>> Correct(ConversionResult& store, std::vector<tdotpath> paths) {
  store.OutputList = std::move(paths);
  ComputeOutputExtent(store);
  Progress quiet;
  CorrectOrientation(store, quiet, nullptr);
  std::vector<std::pair<bool, bool>> flags;
  for (const tdotpath& p : store.OutputList)
    flags.emplace_back(p.Anticlockwise, p.Reversed);
  return flags;
}

using Flags = std::vector<std::pair<bool, bool>>;

TEST(CorrectOrientation, RingWithAndWithoutRepeatedStarts) {
  ConversionResult store;
  // The outer square keeps its order; the hole is reversed.
  EXPECT_EQ(Correct(store, {DotPath(Rectangle(0, 0, 10, 10)), DotPath(Rectangle(2, 2, 8, 8))}),
            (Flags{{true, false}, {false, true}}));
  EXPECT_EQ(store.OutputList[0].Items, Rectangle(0, 0, 10, 10));
  EXPECT_EQ(store.OutputList[1].Items,
            (std::vector<Tdot>{{1, 2, 2}, {2, 2, 8}, {2, 8, 8}, {2, 8, 2}, {2, 2, 2}}));
  // Without the repeated first points the outlines are still closed rings.
  EXPECT_EQ(Correct(store, {DotPath(Rectangle(0, 0, 10, 10, false)),
                            DotPath(Rectangle(2, 2, 8, 8, false))}),
            (Flags{{true, false}, {false, true}}));
  // Starting the outer square at another corner changes nothing.
  EXPECT_EQ(Correct(store, {DotPath({{1, 10, 0}, {2, 10, 10}, {2, 0, 10}, {2, 0, 0}}),
                            DotPath(Rectangle(2, 2, 8, 8, false))}),
            (Flags{{true, false}, {false, true}}));
}

TEST(CorrectOrientation, LoneOpenAndNestedPaths) {
  ConversionResult store;
  // A lone clockwise closed path is reversed, a lone anticlockwise one is not; paths of other
  // compounds do not count.
  EXPECT_EQ(Correct(store, {DotPath(Rectangle(0, 0, 10, 10), 1, true, false, false),
                            DotPath(Rectangle(2, 2, 8, 8), 2, true, false, true)}),
            (Flags{{true, true}, {true, false}}));
  // An open unfilled path is never reversed, even inside another path of its compound, but it
  // counts for the paths inside it; an open filled path is corrected.
  EXPECT_EQ(Correct(store, {DotPath(Rectangle(0, 0, 30, 30)),
                            DotPath(Rectangle(2, 2, 8, 8), 0, false, false),
                            DotPath(Rectangle(10, 10, 20, 20), 0, false, true),
                            DotPath(Rectangle(3, 3, 7, 7), 0, true, false)}),
            (Flags{{true, false}, {true, false}, {false, true}, {true, false}}));
  // Three nested outlines: depths 0, 1, 2.
  std::vector<tdotpath> nest{DotPath(Rectangle(0, 0, 30, 30)), DotPath(Rectangle(5, 5, 25, 25)),
                             DotPath(Rectangle(10, 10, 20, 20))};
  EXPECT_EQ(NestingDepth(nest, 0), 0);
  EXPECT_EQ(NestingDepth(nest, 1), 1);
  EXPECT_EQ(NestingDepth(nest, 2), 2);
  EXPECT_EQ(Correct(store, nest), (Flags{{true, false}, {false, true}, {true, false}}));
  // A path without points has no depth (2147483647, odd).
  std::vector<tdotpath> none{DotPath({})};
  EXPECT_EQ(NestingDepth(none, 0), 2147483647);
  EXPECT_EQ(Correct(store, none), (Flags{{false, true}}));
}

// Records the drawing.
class CanvasView : public RecordingView, public OrientationCanvas {
 public:
  CanvasView(int w, int h) : w_(w), h_(h) {}
  int Width() const override { return w_; }
  int Height() const override { return h_; }
  void Clear() override { Calls.push_back("clear"); }
  void SetPen(TColor c) override { Calls.push_back("pen " + std::to_string(c)); }
  void MoveTo(int x, int y) override {
    Calls.push_back("move " + std::to_string(x) + " " + std::to_string(y));
  }
  void LineTo(int x, int y) override {
    Calls.push_back("line " + std::to_string(x) + " " + std::to_string(y));
  }
  std::vector<std::string> Calls;

 private:
  int w_, h_;
};

TEST(CorrectOrientation, CaptionsCursorAndDrawing) {
  ConversionResult store;
  store.OutputList = {DotPath({{1, 0, 0}, {2, 100, 0}, {2, 100, 100}}, 1, true, true, false),
                      DotPath({{1, 50, 20}, {2, 60, 20}}, 2, false, false, true)};
  ComputeOutputExtent(store);
  // 210 x 110: s = min(200 / 100, 100 / 100) = 1; ox = (210 - 100) / 2 = 55, oy = 5.
  CanvasView view(210, 110);
  CorrectOrientation(store, view, &view);
  EXPECT_EQ(view.Captions,
            (std::vector<std::string>{"Correcting Orientation", "Auto Correct Layer:  0",
                                      "Auto Correct Layer:  1"}));
  EXPECT_EQ(view.Pumps, 2);
  EXPECT_EQ(view.Cursor, (std::vector<bool>{true, false}));
  const std::vector<std::string> expected{
      "clear",        "pen 12632256", "move 55 5",   "line 155 5",  "line 155 105",  // silver pass
      "pen 12632256", "move 105 25",  "line 115 25", "pen 8388608", "move 55 5",
      "line 155 5",   "line 155 105",  // reversed: now anticlockwise
      "pen 8388608",  "move 105 25",  "line 115 25"};
  // The first path was clockwise and alone: reversed before its final drawing, so its points
  // are drawn in the new order.
  ASSERT_EQ(view.Calls.size(), expected.size());
  for (std::size_t k = 0; k < 8; ++k)
    EXPECT_EQ(view.Calls[k], expected[k]) << k;
  EXPECT_EQ(view.Calls[8], "pen 8388608");
  EXPECT_EQ(view.Calls[9], "move 155 105");
  EXPECT_EQ(view.Calls[10], "line 155 5");
  EXPECT_EQ(view.Calls[11], "line 55 5");
  for (std::size_t k = 12; k < expected.size(); ++k)
    EXPECT_EQ(view.Calls[k], expected[k]) << k;

  // All points on one x: nothing is drawn, the decisions are made all the same.
  store.OutputList = {DotPath({{1, 0, 0}, {2, 0, 10}, {2, 0, 20}}, 1, true, false, false)};
  ComputeOutputExtent(store);
  CanvasView flat(100, 100);
  CorrectOrientation(store, flat, &flat);
  EXPECT_EQ(flat.Calls, (std::vector<std::string>{"clear"}));
  EXPECT_TRUE(store.OutputList[0].Reversed);
}

// Random compounds, large enough for the box index, against the plain loop over NestingDepth.
std::vector<tdotpath> RandomCompounds(std::mt19937& rng, bool large) {
  std::uniform_int_distribution<int> coord(0, 400), size(1, large ? 30 : 120), big(100, 400),
      pick(0, 99);
  std::vector<tdotpath> list;
  const int compounds = 1 + pick(rng) % 4;
  for (int c = 0; c < compounds; ++c) {
    const int n = large ? 200 + 3 * pick(rng) : 1 + pick(rng) % 60;
    for (int i = 0; i < n; ++i) {
      // In large compounds some boxes span many cells of the index.
      const bool wide = large && pick(rng) < 5;
      const int x = coord(rng), y = coord(rng), w = wide ? big(rng) : size(rng),
                h = wide ? big(rng) : size(rng);
      std::vector<Tdot> pts;
      const int form = pick(rng) % 10;
      if (form == 0) {
        pts = {{1, x, y}, {2, x + w, y + h}};  // too short to contain anything
      } else if (form == 1) {                  // a triangle with a curve run
        pts = {{1, x, y}, {3, x + w, y}, {2, x + w, y + h}, {2, x, y}};
      } else if (form == 2) {  // two rings in one path
        pts = Rectangle(x, y, x + w, y + h, pick(rng) % 2);
        for (const Tdot& d : Rectangle(x + w / 4, y + h / 4, x + w / 2, y + h / 2, pick(rng) % 2))
          pts.push_back(d);
      } else {
        pts = Rectangle(x, y, x + w, y + h, pick(rng) % 2);
        if (pick(rng) % 2)
          std::reverse(pts.begin(), pts.end()), pts.front().Kind = 1, pts.back().Kind = 2;
      }
      list.push_back(DotPath(pts, c, pick(rng) % 5 != 0, pick(rng) % 3 != 0, pick(rng) % 2 == 0));
    }
  }
  std::shuffle(list.begin(), list.end(), rng);
  return list;
}

TEST(CorrectOrientation, IndexedDecisionsMatchThePlainTest) {
  std::mt19937 rng(99);
  int reversals = 0;
  for (int round = 0; round < 60; ++round) {
    std::vector<tdotpath> list = RandomCompounds(rng, round % 3 == 0);
    std::vector<tdotpath> plain = list;
    for (std::size_t i = 0; i < plain.size(); ++i) {
      tdotpath& p = plain[i];
      if (!p.Closed && !p.Filled) continue;
      if ((NestingDepth(plain, i) % 2 == 0) != p.Anticlockwise) ReversePath(p), ++reversals;
    }
    ConversionResult store;
    store.OutputList = std::move(list);
    ComputeOutputExtent(store);
    Progress quiet;
    CorrectOrientation(store, quiet, nullptr);
    ASSERT_EQ(store.OutputList.size(), plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
      ASSERT_EQ(store.OutputList[i].Items, plain[i].Items) << "round " << round << " path " << i;
      ASSERT_EQ(store.OutputList[i].Reversed, plain[i].Reversed);
      ASSERT_EQ(store.OutputList[i].Anticlockwise, plain[i].Anticlockwise);
    }
  }
  EXPECT_GT(reversals, 100);
}

}  // namespace
}  // namespace aiimport
