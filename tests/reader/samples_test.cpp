// The sample files shipped in samples/: what each one must read as, worked out from its text.
#include <gtest/gtest.h>

#include <string>

#include "readfile.h"

namespace aiimport {
namespace {

PathModel ReadSample(const std::string& name, ReadResult* result = nullptr) {
  PathModel store;
  InterpreterState state;
  Progress quiet;
  const ReadResult r = ReadSourceFile(
      store, state, std::string(AIIMPORT_SOURCE_DIR) + "/samples/" + name, {}, quiet);
  EXPECT_EQ(r.Load.Status, LoadStatus::Loaded) << name;
  if (result) *result = r;
  return store;
}

TEST(Samples, Shapes) {
  ReadResult read;
  PathModel store = ReadSample("shapes.eps", &read);
  EXPECT_EQ(read.InterpretedExtent, (FloatRect{0, -216, 288, 0}));
  // The path in the setup section and the one after the trailer are not read.
  ASSERT_EQ(store.PathList.size(), 6u);
  const auto& p = store.PathList;

  // A red square "0 1 1 0 k" with a black stroke, in the outer group.
  EXPECT_EQ(p[0].GroupLevel, 1);
  EXPECT_EQ(p[0].FillColor, 0x0000FF);
  EXPECT_EQ(p[0].LineColor, 0);
  EXPECT_TRUE(p[0].Closed && p[0].Filled && p[0].Anticlockwise);

  // Curves c, v and y in the inner group; RGB "1 0.5 0 Xa" (127.5 -> 128) and "0 0 1 XA".
  EXPECT_EQ(p[1].GroupLevel, 2);
  EXPECT_EQ(p[1].FillColor, 0x0080FF);
  EXPECT_EQ(p[1].LineColor, 0xFF0000);
  ASSERT_EQ(p[1].Count(), 5u);
  EXPECT_EQ(p[1].Items[1], (tbpoint{2, 180, 36, 216, 72, 216, 72}));
  EXPECT_EQ(p[1].Items[3], (tbpoint{2, 216, 108, 180, 108, 144, 72}));  // v from (216, 108)
  EXPECT_EQ(p[1].Items[4], (tbpoint{2, 144, 54, 144, 36, 144, 36}));    // y

  // A compound path of an outline and a hole, grey "0.5 g".
  EXPECT_EQ(p[2].CompoundNo, p[3].CompoundNo);
  EXPECT_EQ(p[2].FillColor, 0x808080);
  EXPECT_TRUE(p[2].Anticlockwise);
  EXPECT_FALSE(p[3].Anticlockwise);  // the hole runs the other way
  EXPECT_EQ(p[2].GroupLevel, 1);

  // White fill "0 0 0 0 k" with a cyan stroke "1 0 0 0 K", outside the groups.
  EXPECT_EQ(p[4].GroupLevel, 0);
  EXPECT_EQ(p[4].FillColor, 0xFFFFFF);
  EXPECT_EQ(p[4].LineColor, 0xFFFF00);
  // An open stroke.
  EXPECT_FALSE(p[5].Closed || p[5].Filled);
  EXPECT_NE(p[5].CompoundNo, p[4].CompoundNo);
}

TEST(Samples, LineEndsDoNotMatter) {
  PathModel lf = ReadSample("shapes.eps");
  PathModel crlf = ReadSample("shapes-crlf.eps");
  ASSERT_EQ(lf.PathList.size(), crlf.PathList.size());
  for (std::size_t i = 0; i < lf.PathList.size(); ++i) {
    EXPECT_EQ(lf.PathList[i].Items, crlf.PathList[i].Items);
    EXPECT_EQ(lf.PathList[i].FillColor, crlf.PathList[i].FillColor);
    EXPECT_EQ(lf.PathList[i].CompoundNo, crlf.PathList[i].CompoundNo);
  }
}

TEST(Samples, CarriageReturnsOnly) {
  PathModel store = ReadSample("leaf-cr.ai");
  ASSERT_EQ(store.PathList.size(), 2u);
  const tpath& leaf = store.PathList[0];
  EXPECT_EQ(leaf.GroupLevel, 1);
  EXPECT_EQ(leaf.FillColor, 0x404040);  // 0.25 * 255 = 63.75
  EXPECT_EQ(leaf.LineColor, 0xFFFFFF);
  EXPECT_TRUE(leaf.Closed && leaf.Filled && leaf.Anticlockwise);
  ASSERT_EQ(leaf.Count(), 3u);
  EXPECT_EQ(leaf.Items[1], (tbpoint{2, 120, 40, 124, 100, 72, 132}));
  const tpath& vein = store.PathList[1];
  EXPECT_EQ(vein.GroupLevel, 2);
  EXPECT_FALSE(vein.Closed || vein.Filled);
  EXPECT_EQ(vein.LineColor, 0);
}

TEST(Samples, CustomColours) {
  PathModel store = ReadSample("custom-colours.eps");
  ASSERT_EQ(store.PathList.size(), 3u);
  const auto& p = store.PathList;
  // "0 0.5 1 0 (Ocean) 0.5 x": the "e" of Ocean is a number (0) but four come first: CMYK.
  EXPECT_EQ(p[0].FillColor, 0x0080FF);
  EXPECT_EQ(p[0].LineColor, 0);  // "0 0 0 1 (Ink) 1 X"
  // "... 0.3 0 Xx": last number 0, CMYK red; "0 0 1 (Night) 1 1 XX": last 1, RGB blue.
  EXPECT_EQ(p[1].FillColor, 0x0000FF);
  EXPECT_EQ(p[1].LineColor, 0xFF0000);
  // "0.25 0.5 0.75 (Mist) 0.8 1 Xx": RGB 63.75, 127.5, 191.25 -> 64, 128, 191.
  EXPECT_EQ(p[2].FillColor, 64 + 128 * 256 + 191 * 65536);
  // "0.2 0.3 0.4 0.1 (Sky) 0.5 1.5 XX": 1.5 rounds to 2, so CMYK. The products (1 - c)(1 - k)
  // as float32 are 0.719999969, 0.629999995 and 0.540000021; times 255: 183.6, 160.65, 137.7.
  EXPECT_EQ(p[2].LineColor, 184 + 161 * 256 + 138 * 65536);
  // Up the left side, along the top, down the right: clockwise.
  EXPECT_FALSE(p[2].Anticlockwise);
  EXPECT_TRUE(p[0].Anticlockwise);
}

}  // namespace
}  // namespace aiimport
