// Output points with several threads are those of one thread: every point, box and attribute,
// the extent, the captions, the order of the converted-path calls, and on a refused drawing the
// same error for the same first failing coordinate, with the list left as one thread leaves it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dotfile.h"
#include "outputpoints.h"
#include "testpaths.h"
#include "threadsetting.h"

namespace aiimport {
namespace {

using namespace aiimport::testing;

constexpr unsigned ManyThreads = 4;

class RecordingHook : public ConvertedPathHook {
 public:
  void PathConverted(std::size_t index) override { Indices.push_back(index); }
  std::vector<std::size_t> Indices;
};

struct Conversion {
  ConversionResult Result;
  RecordingView View;
  RecordingHook Hook;
  std::string Error;  // the ImportError's text; empty when none was thrown
};

std::unique_ptr<Conversion> Convert(const std::vector<tpath>& sources, bool reduce,
                                    unsigned threads) {
  ThreadsSetting setting(threads);
  auto c = std::make_unique<Conversion>();
  std::vector<const tpath*> paths;
  for (const tpath& p : sources)
    paths.push_back(&p);
  try {
    GenerateOutputPoints(c->Result, paths, reduce, c->View, &c->Hook);
  } catch (const ImportError& e) {
    c->Error = e.what();
  }
  return c;
}

void ExpectSameConversion(const Conversion& one, const Conversion& many) {
  const auto& a = one.Result.OutputList;
  const auto& b = many.Result.OutputList;
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(a[i].Items, b[i].Items) << "path " << i;
    EXPECT_EQ(std::memcmp(&a[i].MinX, &b[i].MinX, 4 * sizeof(float)), 0) << "path " << i;
    EXPECT_EQ(a[i].LineColor, b[i].LineColor) << "path " << i;
    EXPECT_EQ(a[i].FillColor, b[i].FillColor) << "path " << i;
    EXPECT_EQ(a[i].Anticlockwise, b[i].Anticlockwise) << "path " << i;
    EXPECT_EQ(a[i].Reversed, b[i].Reversed) << "path " << i;
    EXPECT_EQ(a[i].Filled, b[i].Filled) << "path " << i;
    EXPECT_EQ(a[i].Closed, b[i].Closed) << "path " << i;
    EXPECT_EQ(a[i].GroupLevel, b[i].GroupLevel) << "path " << i;
    EXPECT_EQ(a[i].CompoundNo, b[i].CompoundNo) << "path " << i;
  }
  EXPECT_EQ(one.Error, many.Error);
  if (one.Error.empty()) {
    EXPECT_EQ(one.Result.OutputExtent, many.Result.OutputExtent);
  }
  EXPECT_EQ(one.View.Captions, many.View.Captions);
  EXPECT_EQ(one.View.Pumps, many.View.Pumps);
  EXPECT_EQ(one.Hook.Indices, many.Hook.Indices);
}

// Random source paths: moves, lines and curves of every size, some paths empty, a few long.
std::vector<tpath> RandomPaths(std::mt19937& random, std::size_t count) {
  auto coordinate = [&random] {
    return static_cast<float>(static_cast<int32_t>(random() % 200000) - 100000) / 64.0f;
  };
  std::vector<tpath> paths;
  for (std::size_t i = 0; i < count; ++i) {
    std::vector<tbpoint> points;
    const std::size_t n = random() % 150 == 0 ? 3000 + random() % 14000 : random() % 30;
    for (std::size_t k = 0; k < n; ++k) {
      switch (random() % 4) {
        case 0:
          points.push_back(Move(coordinate(), coordinate()));
          break;
        case 1:
          points.push_back(Line(coordinate(), coordinate()));
          break;
        default:
          points.push_back(Curve(coordinate(), coordinate(), coordinate(), coordinate(),
                                 coordinate(), coordinate()));
          break;
      }
    }
    tpath p = SourcePath(std::move(points), random() % 2 == 0, random() % 3 != 0);
    p.LineColor = static_cast<TColor>(random() & 0xFFFFFF);
    p.FillColor = static_cast<TColor>(random() & 0xFFFFFF);
    p.GroupLevel = static_cast<int32_t>(random() % 5);
    p.CompoundNo = static_cast<int32_t>(i / 3);
    p.Anticlockwise = random() % 2 == 0;
    p.Reversed = random() % 5 == 0;
    paths.push_back(std::move(p));
  }
  return paths;
}

TEST(ThreadedOutputPoints, TheSameOutputAsOneThread) {
  std::mt19937 random(12);
  for (std::size_t count : {0u, 1u, 17u, 400u, 5000u}) {
    const std::vector<tpath> sources = RandomPaths(random, count);
    for (bool reduce : {false, true}) {
      SCOPED_TRACE(std::to_string(count) + (reduce ? " paths, reduced" : " paths"));
      const auto one = Convert(sources, reduce, 1);
      const auto many = Convert(sources, reduce, ManyThreads);
      ASSERT_TRUE(one->Error.empty()) << one->Error;
      ExpectSameConversion(*one, *many);
      // Every path is reported once, in order.
      ASSERT_EQ(many->Hook.Indices.size(), count);
      for (std::size_t i = 0; i < count; ++i)
        ASSERT_EQ(many->Hook.Indices[i], i);
    }
  }
}

// The message of a coordinate outside the host file's range, as the rule words it.
std::string OutOfRange(float v) {
  char value[32];
  std::snprintf(value, sizeof value, "%g", static_cast<double>(v));
  return std::string("Cannot import: the coordinate ") + value +
         " (points) lies outside the range of the host file (at most 2147483647 micrometres, "
         "about 2.1 km, from the origin). Nothing was written.";
}

TEST(ThreadedOutputPoints, TheFirstFailingCoordinateInPathOrderIsReported) {
  std::mt19937 random(21);
  const std::vector<tpath> base = RandomPaths(random, 6000);
  constexpr float Inf = std::numeric_limits<float>::infinity();
  struct Plant {
    std::size_t path;
    std::size_t point;  // placed before this point of the path
    float x, y;
  };
  struct Row {
    std::vector<Plant> plants;
    std::size_t failing;  // the path whose coordinate is reported
    std::string message;
  };
  const std::string notFinite =
      "Cannot import: a coordinate of the drawing is not a finite number (its values are too "
      "large to compute with). Nothing was written.";
  const std::vector<Row> rows{
      // The later path fails on a larger value: the earlier path's value is the one reported.
      {{{4500, 3, 7e9f, 0}, {1200, 5, 0, 8e9f}}, 1200, OutOfRange(8e9f)},
      // Two in the same path: the first point in the path's order; x before y in a point.
      {{{2000, 9, -9e9f, 0}, {2000, 2, 3e9f, -4e9f}}, 2000, OutOfRange(3e9f)},
      // An infinity before a range error.
      {{{5999, 0, 5e9f, 0}, {300, 1, Inf, 0}}, 300, notFinite},
      // The very first path.
      {{{0, 0, 0, -1e12f}, {3, 0, 1e12f, 0}}, 0, OutOfRange(-1e12f)},
  };
  for (const Row& row : rows) {
    std::vector<tpath> sources = base;
    for (const Plant& p : row.plants) {
      auto& items = sources[p.path].Items;
      items.insert(items.begin() + static_cast<std::ptrdiff_t>(std::min(p.point, items.size())),
                   Line(p.x, p.y));
    }
    for (bool reduce : {false, true}) {
      SCOPED_TRACE("path " + std::to_string(row.failing) + (reduce ? ", reduced" : ""));
      const auto one = Convert(sources, reduce, 1);
      const auto many = Convert(sources, reduce, ManyThreads);
      EXPECT_EQ(many->Error, row.message);
      ExpectSameConversion(*one, *many);
      // The paths before the failing one are reported, and the list ends with it.
      EXPECT_EQ(many->Hook.Indices.size(), row.failing);
      EXPECT_EQ(many->Result.OutputList.size(), row.failing + 1);
    }
  }
}

TEST(ThreadedOutputPoints, ADrawingTooWideFailsAsWithOneThread) {
  std::mt19937 random(3);
  std::vector<tpath> sources = RandomPaths(random, 3000);
  // Each end fits in the host file's range, the distance between them after the shift not.
  sources[2500].Items.push_back(Line(-4e6f, 0));
  sources[700].Items.push_back(Line(4e6f, 0));
  const auto one = Convert(sources, false, 1);
  const auto many = Convert(sources, false, ManyThreads);
  EXPECT_NE(many->Error.find("too large for the host file"), std::string::npos) << many->Error;
  ExpectSameConversion(*one, *many);
  EXPECT_EQ(many->Hook.Indices.size(), sources.size());  // every path was converted first
}

// Output lists that give the figure logic every case: compound numbers in and out of order and
// -2 among them, figures long enough to be continued (a first path cut by a start of a sub-path
// or by the hard limit, partners continued), open paths that join nothing.
std::vector<tdotpath> FigureLists(std::mt19937& random, std::size_t count) {
  std::vector<tdotpath> list;
  int32_t number = 0;
  for (std::size_t i = 0; i < count; ++i) {
    tdotpath p;
    const uint32_t size = random() % 80;
    const std::size_t n = size == 0 ? 20000 + random() % 25000 : size == 1 ? random() % 3 : size;
    // About one start of a sub-path in `starts` points; none at all in some long paths, which
    // the hard limit then cuts.
    const uint32_t starts = random() % 4 == 0 ? 0 : 1 + random() % 3000;
    for (std::size_t k = 0; k < n; ++k) {
      const bool start = k == 0 || (starts != 0 && random() % starts == 0);
      const int32_t kind = start ? 1 : 2 + static_cast<int32_t>(random() % 2);
      p.Items.push_back({kind, static_cast<int32_t>(random()), static_cast<int32_t>(random())});
    }
    if (random() % 3 == 0) ++number;
    p.CompoundNo = random() % 50 == 0   ? -2
                   : random() % 20 == 0 ? static_cast<int32_t>(random() % 40)
                                        : number;
    p.Closed = random() % 3 != 0;
    p.Filled = random() % 3 != 0;
    p.LineColor = static_cast<TColor>(random() & 0xFFFFFF);
    p.FillColor = static_cast<TColor>(random() & 0xFFFFFF);
    p.Written = random() % 2 == 0;
    list.push_back(std::move(p));
  }
  return list;
}

TEST(ThreadedDotRecords, TheSameRecordsAsOneThread) {
  std::mt19937 random(40);
  for (std::size_t count : {1u, 2u, 30u, 400u, 1500u}) {
    for (int round = 0; round < 3; ++round) {
      const std::vector<tdotpath> list = FigureLists(random, count);
      std::vector<tdotpath> one = list, many = list;
      MemoryDotSink sinkOne, sinkMany;
      DotCounts countsOne, countsMany;
      {
        ThreadsSetting setting(1);
        countsOne = WriteDotRecords(one, sinkOne);
      }
      {
        ThreadsSetting setting(ManyThreads);
        countsMany = WriteDotRecords(many, sinkMany);
      }
      SCOPED_TRACE(std::to_string(count) + " paths, round " + std::to_string(round));
      EXPECT_TRUE(sinkOne.Bytes == sinkMany.Bytes)
          << sinkOne.Bytes.size() << " and " << sinkMany.Bytes.size() << " bytes";
      EXPECT_EQ(countsOne.Records, countsMany.Records);
      EXPECT_EQ(countsOne.Headers, countsMany.Headers);
      EXPECT_EQ(countsOne.Points, countsMany.Points);
      EXPECT_EQ(sinkMany.Bytes.size(), countsMany.Records * DotRecordSize);
      // The flags and the numbers of cut figures are left as one thread leaves them.
      for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(one[i].Written, many[i].Written) << i;
        ASSERT_EQ(one[i].CompoundNo, many[i].CompoundNo) << i;
      }
    }
  }
}

}  // namespace
}  // namespace aiimport
