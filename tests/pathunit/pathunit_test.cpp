#include "pathunit.h"

#include "pathcollector.h"
#include "testpaths.h"
#include "threadsetting.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace aiimport {
namespace {

using testing::Curve;
using testing::Line;
using testing::Move;

tpath PathOf(std::vector<tbpoint> points) {
  tpath p;
  p.Items = std::move(points);
  return p;
}

// Adds the points to the path being collected.
void AddPoints(PathCollector& collector, const std::vector<tbpoint>& points) {
  for (const tbpoint& point : points)
    ASSERT_TRUE(collector.AddPoint(point));
}

// Paints a path of these points the way the interpreter does: finish, append, new path, next
// number.
void Paint(PathCollector& collector, std::string_view code,
           const std::vector<tbpoint>& points = {Move(0, 0)}) {
  AddPoints(collector, points);
  collector.Paint(code);
}

// Moves the compound number on by n without painting anything.
void RaiseCompoundNo(PathCollector& collector, int n) {
  for (int i = 0; i < n; ++i)
    collector.EndCompound();
}

TEST(PathRecords, DefaultsAndNewPath) {
  PathModel model;
  PathCollector collector(model);
  ASSERT_TRUE(collector.CurrentPath());
  for (int i = 0; i < 3; ++i)
    collector.BeginGroup();
  RaiseCompoundNo(collector, 7);
  collector.NewPath();
  const tpath& p = *collector.CurrentPath();
  EXPECT_EQ(p.Count(), 0u);
  EXPECT_FALSE(p.Written);
  EXPECT_EQ(p.LineColor, 0);
  EXPECT_EQ(p.FillColor, 0);
  EXPECT_TRUE(p.Filled);
  EXPECT_FALSE(p.Closed);
  EXPECT_FALSE(p.Flagged);
  EXPECT_FALSE(p.Anticlockwise);
  EXPECT_FALSE(p.Reversed);
  EXPECT_EQ(p.GroupLevel, 3);
  EXPECT_EQ(p.CompoundNo, 7);
  EXPECT_EQ(sizeof(tbpoint), 28u);
  EXPECT_EQ(sizeof(Tdot), 12u);
}

TEST(PathRecords, ClearingKeepsTheListsUsable) {
  PathModel model;
  PathCollector collector(model);
  Paint(collector, "f ");
  Paint(collector, "S ");
  AddPoints(collector, {Move(1, 1)});
  collector.DiscardPoints();
  EXPECT_EQ(collector.CurrentPath()->Count(), 0u);
  collector.ClearAllPaths();
  EXPECT_TRUE(model.PathList.empty());
  EXPECT_FALSE(collector.CurrentPath());
  EXPECT_FALSE(collector.AddPoint(Move(2, 2)));  // no path to collect into
  collector.NewPath();
  Paint(collector, "f ");
  EXPECT_EQ(model.PathList.size(), 1u);
}

TEST(FinishPath, PaintCodesSetClosedAndFilled) {
  struct Row {
    const char* code;
    bool closed, filled;
  };
  for (const Row& r : {Row{"b ", true, true}, Row{"B ", false, true}, Row{"f ", true, true},
                       Row{"F ", false, true}, Row{"s ", true, false}, Row{"S ", false, false},
                       Row{"q ", false, false}, Row{"Q ", false, false}}) {
    PathModel model;
    PathCollector collector(model);
    collector.SetLineColor(0x123456);
    collector.SetFillColor(0x654321);
    collector.BeginGroup();
    collector.BeginGroup();
    AddPoints(collector, {Move(0, 0), Line(10, 0), Line(10, 10), Line(0, 10)});
    collector.FinishPath(r.code);
    const tpath& p = *collector.CurrentPath();
    EXPECT_EQ(p.Closed, r.closed) << r.code;
    EXPECT_EQ(p.Filled, r.filled) << r.code;
    EXPECT_TRUE(p.Anticlockwise) << r.code;  // open: true; closed: this square runs anticlockwise
    EXPECT_EQ(p.LineColor, 0x123456);
    EXPECT_EQ(p.FillColor, 0x654321);
    EXPECT_EQ(p.GroupLevel, 2);
  }
}

TEST(FinishPath, WithoutCurrentPathDoesNothing) {
  PathModel model;
  PathCollector collector(model);
  collector.ClearAllPaths();
  collector.FinishPath("f ");
  collector.AppendCurrentPath();
  EXPECT_TRUE(model.PathList.empty());
}

TEST(FinishPath, OrientationOnlyForClosedPaths) {
  PathModel model;
  PathCollector collector(model);
  // Clockwise square: closed gets false, open keeps true.
  const std::vector<tbpoint> clockwise = {Move(0, 0), Line(0, 10), Line(10, 10), Line(10, 0)};
  AddPoints(collector, clockwise);
  collector.FinishPath("s ");
  EXPECT_FALSE(collector.CurrentPath()->Anticlockwise);
  collector.FinishPath("S ");
  EXPECT_TRUE(collector.CurrentPath()->Anticlockwise);
  // A closed path of one point is not anticlockwise.
  collector.DiscardPoints();
  AddPoints(collector, {Move(5, 5)});
  collector.FinishPath("f ");
  EXPECT_FALSE(collector.CurrentPath()->Anticlockwise);
}

TEST(FinishPath, OrientationLeftToEndDrawingIsTheSame) {
  // Squares both ways, closed and open, and closed paths of one point, many times over: with the
  // test left to EndDrawing (on one thread and on four) each gets what FinishPath gives at once.
  const std::vector<tbpoint> anticlockwise = {Move(0, 0), Line(10, 0), Line(10, 10), Line(0, 10)};
  const std::vector<tbpoint> clockwise = {Move(0, 0), Line(0, 10), Line(10, 10), Line(10, 0)};
  struct Shape {
    const std::vector<tbpoint>* points;
    const char* code;
    bool expected;  // Anticlockwise: the test for closed paths, true for open ones
  };
  const std::vector<tbpoint> dot = {Move(5, 5)};
  const Shape shapes[] = {{&anticlockwise, "f ", true}, {&clockwise, "b ", false},
                          {&clockwise, "S ", true},     {&dot, "s ", false},
                          {&anticlockwise, "F ", true}, {&clockwise, "f ", false}};
  for (unsigned threads : {1u, 4u}) {
    testing::ThreadsSetting setting(threads);
    PathModel model;
    PathCollector collector(model);
    collector.BeginDrawing({});
    collector.ExpectEndDrawing();
    for (int i = 0; i < 30000; ++i) {
      const Shape& shape = shapes[i % 6];
      Paint(collector, shape.code, *shape.points);
    }
    collector.EndDrawing();
    ASSERT_EQ(model.PathList.size(), 30000u);
    for (int i = 0; i < 30000; ++i)
      ASSERT_EQ(model.PathList[i].Anticlockwise, shapes[i % 6].expected) << threads << " " << i;

    // An abort drops what was left; the next drawing tests at once again.
    collector.BeginDrawing({});
    collector.ExpectEndDrawing();
    Paint(collector, "f ", clockwise);
    collector.AbortDrawing();
    EXPECT_TRUE(model.PathList.empty());
    collector.BeginDrawing({});
    Paint(collector, "f ", clockwise);
    EXPECT_FALSE(model.PathList[0].Anticlockwise);
  }
}

TEST(PathOrientation, SquaresBothWays) {
  EXPECT_TRUE(PathOrientation(PathOf({Move(0, 0), Line(10, 0), Line(10, 10), Line(0, 10)})));
  EXPECT_FALSE(PathOrientation(PathOf({Move(0, 10), Line(10, 10), Line(10, 0), Line(0, 0)})));
  // Repeating the first point changes nothing.
  EXPECT_TRUE(
      PathOrientation(PathOf({Move(0, 0), Line(10, 0), Line(10, 10), Line(0, 10), Line(0, 0)})));
  EXPECT_FALSE(
      PathOrientation(PathOf({Move(0, 10), Line(10, 10), Line(10, 0), Line(0, 0), Line(0, 10)})));
}

TEST(PathOrientation, DegenerateCases) {
  EXPECT_FALSE(PathOrientation(PathOf({})));
  EXPECT_FALSE(PathOrientation(PathOf({Move(1, 1)})));
  // All points coincide: the turning sum is empty, which counts as anticlockwise.
  EXPECT_TRUE(PathOrientation(PathOf({Move(3, 3), Line(3, 3), Line(3, 3)})));
  // Points closer than a thousandth of a unit collapse to one vertex.
  EXPECT_TRUE(PathOrientation(PathOf({Move(1, 1), Line(1.0001f, 1), Line(1, 1.0002f)})));
  // Two distinct points: a there-and-back line turns by pi twice.
  EXPECT_TRUE(PathOrientation(PathOf({Move(0, 0), Line(5, 0)})));
}

TEST(PathOrientation, CurvesCountByTheirControlPoints) {
  // A "circle" drawn anticlockwise with four curves, and the same drawn the other way round.
  const float k = 5.5228475f;
  tpath ccw = PathOf({Move(10, 0), Curve(10, k, k, 10, 0, 10), Curve(-k, 10, -10, k, -10, 0),
                      Curve(-10, -k, -k, -10, 0, -10), Curve(k, -10, 10, -k, 10, 0)});
  tpath cw = PathOf({Move(10, 0), Curve(10, -k, k, -10, 0, -10), Curve(-k, -10, -10, -k, -10, 0),
                     Curve(-10, k, -k, 10, 0, 10), Curve(k, 10, 10, k, 10, 0)});
  EXPECT_TRUE(PathOrientation(ccw));
  EXPECT_FALSE(PathOrientation(cw));
}

TEST(Direction, AxesAndQuadrants) {
  EXPECT_EQ(Direction(0, 0), 0.0f);
  EXPECT_EQ(Direction(0, 2), 1.5707964f);
  EXPECT_EQ(Direction(0, -2), -1.5707964f);
  EXPECT_EQ(Direction(1, 0), 0.0f);
  EXPECT_EQ(Direction(-1, 0), 3.1415927f);  // y >= 0: + pi
  EXPECT_EQ(Direction(-1, -0.0f), 3.1415927f);
  EXPECT_EQ(Direction(1, 1), 0.78539819f);    // pi/4 as float32
  EXPECT_EQ(Direction(-1, -1), -2.3561945f);  // -3pi/4 as float32
}

TEST(TurnAngle, LeftRightAndStraight) {
  EXPECT_EQ(TurnAngle({0, 0}, {0, 0}, {1, 1}), 0.0f);  // no first edge
  // Along +x, then up: a quarter turn left (u = r(R - P) - r(Q - P) = (0, 1)).
  EXPECT_EQ(TurnAngle({0, 0}, {1, 0}, {1, 1}), 1.5707964f);
  EXPECT_FLOAT_EQ(TurnAngle({0, 0}, {1, 0}, {2, 0}), 0.0f);
  EXPECT_LT(TurnAngle({0, 0}, {1, 0}, {1, -1}), 0.0f);
}

TEST(PathBox, CoversControlPointsAndEmptyPath) {
  tpath empty;
  PathBox(empty);
  EXPECT_EQ((FloatRect{empty.MinX, empty.MinY, empty.MaxX, empty.MaxY}), (FloatRect{0, 0, 1, 1}));

  tpath curve = PathOf({Move(0, 0), Curve(-5, 20, 15, -30, 10, 0)});
  PathBox(curve);
  EXPECT_EQ((FloatRect{curve.MinX, curve.MinY, curve.MaxX, curve.MaxY}),
            (FloatRect{-5, -30, 15, 20}));

  // The first point sets the box even far away from (0, 0, 1, 1).
  tpath far = PathOf({Move(100, 200), Line(101, 203)});
  PathBox(far);
  EXPECT_EQ((FloatRect{far.MinX, far.MinY, far.MaxX, far.MaxY}), (FloatRect{100, 200, 101, 203}));
}

TEST(Extents, ViewExtentUnionAndEmpty) {
  std::deque<tpath> none;
  EXPECT_EQ(ComputeViewExtent(none, true), (FloatRect{0, 0, 1, 1}));

  std::deque<tpath> list;
  list.push_back(PathOf({Move(10, 10), Line(20, 30)}));
  list.push_back(PathOf({Move(-5, 15), Line(0, 16)}));
  EXPECT_EQ(ComputeViewExtent(list, true), (FloatRect{-5, 10, 20, 30}));

  // Without recomputing, the stored boxes are used.
  list[1].MinX = -50;
  std::vector<const tpath*> pointers{&list[0], &list[1]};
  EXPECT_EQ(ComputeViewExtent(pointers, false), (FloatRect{-50, 10, 20, 30}));
}

TEST(Extents, OutputExtentAndDotBounds) {
  ConversionResult output;
  ComputeOutputExtent(output);
  EXPECT_EQ(output.OutputExtent, (IntRect{2147483647, 2147483647, -2147483647, -2147483647}));

  tdotpath& a = output.OutputList.emplace_back();
  a.Items = {{1, 5, -7}, {2, 100, 3}};
  tdotpath& b = output.OutputList.emplace_back();
  b.Items = {{1, -2147483647 - 1, 2147483647}};
  ComputeOutputExtent(output);
  EXPECT_EQ(output.OutputExtent, (IntRect{-2147483647 - 1, -7, 100, 2147483647}));

  tdotpath empty;
  ComputeDotBounds(empty);
  EXPECT_EQ(empty.MinX, 2147483648.0f);
  EXPECT_EQ(empty.MaxY, -2147483648.0f);

  tdotpath big;
  big.Items = {{1, 16777217, 1}, {2, 16777216, 2}};  // 16777217 is not a float32
  ComputeDotBounds(big);
  // 16777217 becomes the maximum first (stored as 16777216.0f); 16777216 is then not smaller
  // than the minimum 16777216.0f... but it was compared exactly when it was the first point.
  EXPECT_EQ(big.MinX, 16777216.0f);
  EXPECT_EQ(big.MaxX, 16777216.0f);
  EXPECT_EQ(big.MinY, 1.0f);
  EXPECT_EQ(big.MaxY, 2.0f);
}

TEST(Colours, CmykToColor) {
  EXPECT_EQ(CmykToColor(0, 0, 0, 0), 0x00FFFFFF);
  EXPECT_EQ(CmykToColor(1, 0, 0, 0), 0x00FFFF00);
  EXPECT_EQ(CmykToColor(1.5f, -1, 0, 0), 0x00FFFF00);
  EXPECT_EQ(CmykToColor(0, 1, 1, 0), 0x000000FF);
  EXPECT_EQ(CmykToColor(0, 0, 0, 1), 0);
  EXPECT_EQ(CmykToColor(0, 0, 0, 7), 0);
  // 255 * 0.5 = 127.5 rounds to the even 128.
  EXPECT_EQ(CmykToColor(0.5f, 0.5f, 0.5f, 0), 0x00808080);
  EXPECT_EQ(CmykToColor(0, 0, 0, 0.5f), 0x00808080);
}

TEST(Colours, RgbToColor) {
  EXPECT_EQ(RgbToColor(1, 0, 0), 0x000000FF);
  EXPECT_EQ(RgbToColor(0, 1, 0), 0x0000FF00);
  EXPECT_EQ(RgbToColor(0, 0, 1), 0x00FF0000);
  EXPECT_EQ(RgbToColor(2, 0, 0), 254);  // 510 modulo 256
  EXPECT_EQ(RgbToColor(-1, 0, 0), 1);   // -255: low byte 0x01
  EXPECT_EQ(RgbToColor(0.5f, 0.5f, 0.5f), 0x00808080);
  EXPECT_EQ(RgbToColor(1e30f, 0, 0), RgbToColor(1e30f, 0, 0) & 0xFF);
}

TEST(Colours, IsNumberCharIsExactlyTheNumberCharacters) {
  const std::string yes = "-.0123456789e";
  for (int c = 0; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    EXPECT_EQ(IsNumberChar(ch), yes.find(ch) != std::string::npos) << c;
  }
}

TEST(CompoundNumbers, FilledUnfilledFilledInOneCompound) {
  PathModel model;
  PathCollector collector(model);
  RaiseCompoundNo(collector, 5);
  collector.BeginCompound();
  collector.NewPath();
  Paint(collector, "f ");
  Paint(collector, "S ");
  Paint(collector, "f ");
  ASSERT_EQ(model.PathList.size(), 3u);
  EXPECT_EQ(model.PathList[0].CompoundNo, 5);
  EXPECT_EQ(model.PathList[1].CompoundNo, 6);
  EXPECT_EQ(model.PathList[2].CompoundNo, 7);
}

// The end-of-path step walks PathList for paths with the current number and the other fill
// state; the collector keeps a record of the list's tail instead. Both must agree on any sequence.
int32_t LiteralWalk(const std::vector<std::pair<int32_t, bool>>& list, int32_t current,
                    bool filled) {
  for (const auto& [no, f] : list)
    if (no == current && f != filled) current += 1;
  return current;
}

TEST(CompoundNumbers, TailRecordMatchesTheLiteralWalk) {
  std::mt19937 random(12345);
  const char* codes[] = {"b ", "B ", "f ", "F ", "s ", "S ", "q ", "Q "};
  for (int run = 0; run < 200; ++run) {
    PathModel paths;
    PathCollector collector(paths);
    std::vector<std::pair<int32_t, bool>> model;
    int32_t current = 0;
    bool inCompound = false;
    for (int step = 0; step < 300; ++step) {
      const int what = random() % 10;
      if (what == 0) {
        inCompound = true;
        collector.BeginCompound();
      } else if (what == 1) {
        inCompound = false;
        current += 1;
        collector.EndCompound();
      } else {
        const char* code = codes[random() % 8];
        const bool filled = code[0] == 'b' || code[0] == 'B' || code[0] == 'f' || code[0] == 'F';
        current = LiteralWalk(model, current, filled);
        model.emplace_back(current, filled);
        Paint(collector, code);
        if (!inCompound) current += 1;
        ASSERT_EQ(paths.PathList.back().CompoundNo, model.back().first) << run << ' ' << step;
        ASSERT_EQ(collector.CurrentCompoundNo(), current);
      }
    }
  }
}

TEST(CompoundNumbers, TailRecordFollowsPathsAddedDirectly) {
  PathModel model;
  PathCollector collector(model);
  model.PathList.push_back(PathOf({Move(0, 0)}));  // a filled path with number 0
  model.PathList.back().Filled = true;
  collector.BeginCompound();
  AddPoints(collector, {Move(1, 1)});
  collector.FinishPath("S ");  // unfilled after a filled path of the same number
  EXPECT_EQ(collector.CurrentPath()->CompoundNo, 1);
}

}  // namespace
}  // namespace aiimport

namespace aiimport {
namespace {

// Random control polygons of many shapes: the certified turning sum, when it answers, must
// agree with the literal float32 sum.
std::vector<Tdot> Deduplicated(const std::vector<Tdot>& raw) {
  std::vector<Tdot> kept;
  for (const Tdot& d : raw)
    if (kept.empty() || kept.back().X != d.X || kept.back().Y != d.Y) kept.push_back(d);
  while (kept.size() > 1 && kept.back().X == kept.front().X && kept.back().Y == kept.front().Y)
    kept.pop_back();
  return kept;
}

std::vector<Tdot> RandomPolygon(std::mt19937& random, int shape) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double scale = std::pow(2.0, 1 + random() % 23);  // 2 .. 2^23
  const int n = 3 + random() % 60;
  std::vector<Tdot> raw;
  auto add = [&raw](double x, double y) {
    raw.push_back(
        {1, static_cast<int32_t>(std::llround(x)), static_cast<int32_t>(std::llround(y))});
  };
  switch (shape) {
    case 0: {  // star-shaped around the origin, either direction, possibly several loops
      const int loops = 1 + random() % 3;
      const bool clockwise = random() % 2;
      for (int i = 0; i < n; ++i) {
        const double angle = 2 * M_PI * loops * i / n * (clockwise ? -1 : 1);
        const double radius = scale * (0.2 + unit(random));
        add(radius * std::cos(angle), radius * std::sin(angle));
      }
      break;
    }
    case 1:  // a random walk: self-intersecting, any turning number
      for (int i = 0; i < n; ++i)
        add(scale * unit(random), scale * unit(random));
      break;
    case 2: {  // a figure eight: turning number 0
      for (int i = 0; i < n; ++i) {
        const double t = 2 * M_PI * i / n;
        add(scale * std::sin(t), scale * std::sin(t) * std::cos(t));
      }
      break;
    }
    case 3: {  // long and very short edges, spikes that almost double back
      add(0, 0);
      add(scale, 0);
      add(scale, 1);
      add(scale - 1, 1);
      add(scale / 2, scale / 2 + (random() % 3));
      add(scale / 2 + 1 + (random() % 2), scale / 2);
      add(0, scale);
      break;
    }
    default: {  // small integer grids: collinear runs and exact right angles
      for (int i = 0; i < n; ++i)
        add(random() % 5, random() % 5);
      break;
    }
  }
  return Deduplicated(raw);
}

TEST(TurningSum, CertifiedAgreesWithLiteral) {
  std::mt19937 random(2024);
  int decided[5] = {}, total[5] = {};
  for (int i = 0; i < 40000; ++i) {
    const int shape = i % 5;
    const std::vector<Tdot> polygon = RandomPolygon(random, shape);
    if (polygon.size() < 3) continue;
    ++total[shape];
    if (const std::optional<bool> certain = TurningSumCertified(polygon)) {
      ++decided[shape];
      ASSERT_EQ(*certain, TurningSumLiteral(polygon)) << "shape " << shape << " case " << i;
    }
  }
  // Simple outlines and spirals are settled without the literal sum; figure eights never are.
  EXPECT_GT(decided[0], total[0] * 90 / 100);
  EXPECT_EQ(decided[2], 0);
}

TEST(TurningSum, SquaresAndSpikes) {
  const std::vector<Tdot> ccw{{1, 0, 0}, {1, 10, 0}, {1, 10, 10}, {1, 0, 10}};
  const std::vector<Tdot> cw{{1, 0, 10}, {1, 10, 10}, {1, 10, 0}, {1, 0, 0}};
  EXPECT_EQ(TurningSumCertified(ccw), std::optional<bool>(true));
  EXPECT_EQ(TurningSumCertified(cw), std::optional<bool>(false));
  // A spike that doubles back exactly is left to the literal sum.
  const std::vector<Tdot> spike{{1, 0, 0}, {1, 10, 0}, {1, 5, 0}, {1, 5, 5}};
  EXPECT_FALSE(TurningSumCertified(spike));
  // Two points: the literal sum decides (pi twice, by the sign of a rounding residue).
  EXPECT_FALSE(TurningSumCertified({{1, 0, 0}, {1, 5000, 0}}));
  // Coordinates beyond 2^23 are left to the literal sum.
  const std::vector<Tdot> huge{{1, 0, 0}, {1, 20000000, 0}, {1, 20000000, 20000000}};
  EXPECT_FALSE(TurningSumCertified(huge));
  EXPECT_TRUE(TurningSumLiteral(huge));
}

}  // namespace
}  // namespace aiimport
