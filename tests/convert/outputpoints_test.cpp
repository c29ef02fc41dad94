// Output point generation: units, kinds, curves, the origin shift and the refused drawings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "geometry_reference.h"
#include "numeric.h"
#include "outputpoints.h"
#include "testpaths.h"

namespace aiimport {
namespace {

using namespace aiimport::testing;

std::vector<int32_t> Kinds(const tdotpath& p) {
  std::vector<int32_t> k;
  for (const Tdot& d : p.Items)
    k.push_back(d.Kind);
  return k;
}

void Generate(ConversionResult& store, const std::vector<const tpath*>& paths, bool reduce,
              Progress& view) {
  GenerateOutputPoints(store, paths, reduce, view);
}

TEST(OutputPoints, RoundingToMicrometres) {
  // OutputScale is 5779911/16384 exactly; the products below are worked out with fractions.
  EXPECT_EQ(OutputCoordinate(72.0f), 25400);  // 25399.9995...
  EXPECT_EQ(OutputCoordinate(1.0f), 353);     // 352.777...
  EXPECT_EQ(OutputCoordinate(0.5f), 176);     // 176.388...
  EXPECT_EQ(OutputCoordinate(-1.0f), -353);
  EXPECT_EQ(OutputCoordinate(8192.0f), 2889956);   // 5779911/2 = 2889955.5: up to even
  EXPECT_EQ(OutputCoordinate(24576.0f), 8669866);  // 17339733/2 = 8669866.5: down to even
  EXPECT_EQ(OutputCoordinate(-8192.0f), -2889956);
  EXPECT_EQ(OutputCoordinate(0.0f), 0);
  EXPECT_EQ(OutputCoordinate(-0.0f), 0);
}

TEST(OutputPoints, RoundingAgreesWithTheCheckedHelper) {
  // Every float32 near the ends of the int32 range and a wide random sample: the same integer as
  // RoundToInt32 of the extended product, or an ImportError where that has none.
  auto check = [](float v) {
    const std::optional<int32_t> expected = RoundToInt32(static_cast<long double>(OutputScale) * v);
    if (expected) {
      ASSERT_EQ(OutputCoordinate(v), *expected) << v;
    } else {
      ASSERT_THROW(OutputCoordinate(v), ImportError) << v;
    }
  };
  for (float end : {2147483647.0f / OutputScale, -2147483648.0f / OutputScale}) {
    float v = end;
    for (int i = 0; i < 300; ++i)
      v = std::nextafter(v, 0.0f);
    for (int i = 0; i < 600; ++i, v = std::nextafter(v, end * 2))
      check(v);
  }
  std::mt19937 rng(5);
  for (int i = 0; i < 200000; ++i) {
    uint32_t bits = static_cast<uint32_t>(rng());
    float v;
    std::memcpy(&v, &bits, sizeof v);
    if (i % 2)
      v = std::ldexp(static_cast<float>(static_cast<int32_t>(rng() % 20001) - 10000),
                     -(static_cast<int>(rng() % 12)));
    check(v);
  }
  EXPECT_THROW(OutputCoordinate(std::numeric_limits<float>::infinity()), ImportError);
  EXPECT_THROW(OutputCoordinate(std::numeric_limits<float>::quiet_NaN()), ImportError);
}

TEST(OutputPoints, SquareOfLinesAndThePointKinds) {
  ConversionResult store;
  RecordingView view;
  const tpath square = SourcePath({Move(0, 0), Line(72, 0), Line(72, 72), Line(0, 72), Line(0, 0)});
  Generate(store, {&square}, false, view);
  ASSERT_EQ(store.OutputList.size(), 1u);
  const tdotpath& out = store.OutputList[0];
  EXPECT_EQ(Kinds(out), (std::vector<int32_t>{1, 2, 2, 2, 2}));
  EXPECT_EQ(out.Items[2], (Tdot{2, 25400, 25400}));
  EXPECT_EQ(store.OutputExtent, (IntRect{0, 0, 25400, 25400}));
  EXPECT_EQ(view.Captions, (std::vector<std::string>{"Generating Splines.", "Total Nodes: 5"}));
  EXPECT_EQ(view.Pumps, 1);
}

TEST(OutputPoints, CurvesFixedAndReduced) {
  ConversionResult store;
  RecordingView view;
  // Controls evenly spaced on a straight line: one quadratic piece fits exactly.
  const tpath straight = SourcePath({Move(0, 0), Curve(24, 0, 48, 0, 72, 0)}, false, false);
  Generate(store, {&straight}, false, view);
  EXPECT_EQ(Kinds(store.OutputList[0]), (std::vector<int32_t>{1, 3, 3, 3, 3, 2}));
  EXPECT_EQ(view.Captions.back(), "Total Nodes: 6");
  // The fixed controls: x = 3/8, 9/8, 15/8, 21/8 of 24 points.
  EXPECT_EQ(store.OutputList[0].Items[1], (Tdot{3, OutputCoordinate(9), 0}));
  EXPECT_EQ(store.OutputList[0].Items[4], (Tdot{3, OutputCoordinate(63), 0}));

  Generate(store, {&straight}, true, view);
  ASSERT_EQ(store.OutputList.size(), 1u);  // the second call replaced the first output
  EXPECT_EQ(Kinds(store.OutputList[0]), (std::vector<int32_t>{1, 3, 2}));
  EXPECT_EQ(store.OutputList[0].Items[1], (Tdot{3, OutputCoordinate(36), 0}));
  EXPECT_EQ(view.Captions.back(), "Total Nodes: 3");

  const tpath s = SourcePath({Move(0, 0), Curve(100, 200, 200, -200, 300, 0)}, false, false);
  Generate(store, {&s}, true, view);
  EXPECT_EQ(Kinds(store.OutputList[0]), (std::vector<int32_t>{1, 3, 3, 3, 3, 2}));
}

TEST(OutputPoints, ShiftBoxesAndAttributes) {
  ConversionResult store;
  Progress view;
  tpath a = SourcePath({Move(10, -5), Line(20, -5)}, false, false);
  a.LineColor = 0x123456;
  a.FillColor = 0x654321;
  a.GroupLevel = 3;
  a.CompoundNo = 9;
  a.Anticlockwise = false;
  a.Reversed = true;
  a.Flagged = true;
  a.Written = true;
  // A curve first: it starts at (0, 0). Its smallest x is that start's; y is smallest in a.
  const tpath b =
      SourcePath({Curve(-1, 1, -2, 2, 3, 3), tbpoint{7, 99, 99, 0, 0, 0, 0}, Line(4, 4)});
  Generate(store, {&a, &b}, false, view);

  const tdotpath& oa = store.OutputList[0];
  EXPECT_EQ(oa.LineColor, 0x123456);
  EXPECT_EQ(oa.FillColor, 0x654321);
  EXPECT_EQ(oa.GroupLevel, 3);
  EXPECT_EQ(oa.CompoundNo, 9);
  EXPECT_FALSE(oa.Anticlockwise);
  EXPECT_TRUE(oa.Reversed);
  EXPECT_FALSE(oa.Closed);
  EXPECT_FALSE(oa.Filled);
  EXPECT_FALSE(oa.Flagged);
  EXPECT_FALSE(oa.Written);

  // Before the shift: a at (3528, -1764), (7056, -1764); b from the curve's conversion (its
  // start is (0, 0)) and the line to (4, 4). The smallest x is b's, the smallest y a's.
  const CurveApprox raw = reference::Fixed({0, 0, -1, 1, -2, 2, 3, 3});
  std::vector<Tdot> expectedB;
  for (int k = 0; k < 5; ++k)
    expectedB.push_back(
        {k < 4 ? 3 : 2, OutputCoordinate(raw.Points[k].X), OutputCoordinate(raw.Points[k].Y)});
  expectedB.push_back({2, 1411, 1411});
  int32_t minX = 3528;
  for (const Tdot& d : expectedB)
    minX = std::min(minX, d.X);
  ASSERT_LT(minX, 0);
  const tdotpath& ob = store.OutputList[1];
  ASSERT_EQ(ob.Count(), 6u);  // the unknown kind gave nothing
  EXPECT_EQ(oa.Items[0], (Tdot{1, 3528 - minX, 0}));
  EXPECT_EQ(oa.Items[1], (Tdot{2, 7056 - minX, 0}));
  for (std::size_t k = 0; k < 6; ++k)
    EXPECT_EQ(ob.Items[k], (Tdot{expectedB[k].Kind, expectedB[k].X - minX, expectedB[k].Y + 1764}))
        << k;

  // The extent and boxes are those of the model's own functions.
  IntRect extent = store.OutputExtent;
  ComputeOutputExtent(store);
  EXPECT_EQ(extent, store.OutputExtent);
  EXPECT_EQ(extent.MinX, 0);
  EXPECT_EQ(extent.MinY, 0);
  for (tdotpath& p : store.OutputList) {
    const tdotpath copy = p;
    ComputeDotBounds(p);
    EXPECT_EQ(copy.MinX, p.MinX);
    EXPECT_EQ(copy.MinY, p.MinY);
    EXPECT_EQ(copy.MaxX, p.MaxX);
    EXPECT_EQ(copy.MaxY, p.MaxY);
  }
}

TEST(OutputPoints, DrawingsTheHostFileCannotHoldAreRefused) {
  ConversionResult store;
  Progress view;
  const tpath far = SourcePath({Move(0, 0), Line(1e10f, 0)});
  try {
    Generate(store, {&far}, false, view);
    FAIL() << "a coordinate beyond the int32 range was accepted";
  } catch (const ImportError& e) {
    EXPECT_NE(std::string(e.what()).find("outside the range"), std::string::npos) << e.what();
  }

  // Each end fits, but not the distance between them after the shift.
  const tpath left = SourcePath({Move(-4e6f, 0), Line(-4e6f, 1)});
  const tpath right = SourcePath({Move(4e6f, 0), Line(4e6f, 1)});
  EXPECT_THROW(Generate(store, {&left, &right}, false, view), ImportError);

  // A curve from (0, 0) back to (0, 0) with finite controls whose quadratic controls overflow
  // float32: (M - (A + C) / 4) * 2 with M near 2.25e38.
  const tpath huge = SourcePath({Curve(3e38f, 3e38f, 3e38f, 3e38f, 0, 0)});
  try {
    Generate(store, {&huge}, true, view);
    FAIL() << "a non-finite coordinate was accepted";
  } catch (const ImportError& e) {
    EXPECT_NE(std::string(e.what()).find("not a finite number"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace aiimport
