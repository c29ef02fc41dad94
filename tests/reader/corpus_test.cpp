// Real files written by other programs: read without harm, with counts that make sense.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "corpus.h"
#include "readertest.h"
#include "readfile.h"

namespace aiimport {
namespace {

PathModel Read(const std::string& file, ReadResult* result = nullptr) {
  PathModel store;
  InterpreterState state;
  Progress quiet;
  ReadResult r = ReadSourceFile(store, state, file, {}, quiet);
  if (result) *result = r;
  return store;
}

TEST(Corpus, EveryFileReadsWithFinitePoints) {
  REQUIRE_CORPUS();
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(AIIMPORT_CORPUS_DIR)) {
    if (!entry.is_regular_file()) continue;
    ++files;
    for (bool parseEverything : {false, true}) {
      PathModel store;
      InterpreterState state;
      Progress quiet;
      ReadSourceFile(store, state, entry.path().string(), testing::Options(true, parseEverything),
                     quiet);
      for (const tpath& p : store.PathList) {
        ASSERT_LE(p.Count(), 16001u);
        for (const tbpoint& pt : p.Items) {
          ASSERT_TRUE(pt.Kind >= 0 && pt.Kind <= 2);
          for (float v : {pt.X1, pt.Y1, pt.X2, pt.Y2, pt.X3, pt.Y3})
            ASSERT_TRUE(std::isfinite(v));
        }
      }
    }
  }
  EXPECT_GT(files, 5);
}

TEST(Corpus, LegacyRectangle) {
  REQUIRE_CORPUS();
  // One rectangle of five points closed with "b"; "0 1 1 0 k" is red, "0 0 0 1 K" black.
  ReadResult read;
  PathModel store = Read(testing::CorpusFile("sk1project-probe.ai"), &read);
  ASSERT_EQ(store.PathList.size(), 1u);
  const tpath& p = store.PathList[0];
  EXPECT_TRUE(p.Closed);
  EXPECT_TRUE(p.Filled);
  EXPECT_EQ(p.Count(), 5u);
  EXPECT_EQ(p.FillColor, 0x0000FF);
  EXPECT_EQ(p.LineColor, 0);
  EXPECT_EQ(p.Items[0], (tbpoint{0, 48.0456f, 528.924f}));
  EXPECT_EQ(p.Items[1], (tbpoint{1, 446.331f, 528.924f}));
  // "%%BoundingBox: 46 283 448 531"
  EXPECT_EQ(read.InterpretedExtent, (FloatRect{46, -531, 448, -283}));
  // The corners run 48,529 -> 446,529 -> 446,285 -> 48,285: clockwise with y up.
  EXPECT_FALSE(p.Anticlockwise);
}

TEST(Corpus, Illustrator8Logo) {
  REQUIRE_CORPUS();
  ReadResult read;
  PathModel store = Read(testing::CorpusFile("imagemagick-logo.eps"), &read);
  // 1134 "m" lines in the file; its patterns in the setup section are not read.
  EXPECT_GT(store.PathList.size(), 1000u);
  EXPECT_LT(store.PathList.size(), 1134u + 1);
  EXPECT_EQ(read.InterpretedExtent, (FloatRect{29, -672, 578, -105}));
  int grouped = 0, curves = 0;
  for (const tpath& p : store.PathList) {
    grouped += p.GroupLevel > 0;
    for (const tbpoint& pt : p.Items)
      curves += pt.Kind == 2;
  }
  EXPECT_GT(grouped, 0);
  EXPECT_GT(curves, 2000);
}

TEST(Corpus, Illustrator88WithCarriageReturnsOnly) {
  REQUIRE_CORPUS();
  ReadResult read;
  PathModel store = Read(testing::CorpusFile("sindresorhus-fixture2.eps"), &read);
  EXPECT_GT(read.Lines, 1000u);  // CR-only line ends split like any others
  EXPECT_GT(store.PathList.size(), 10u);
  EXPECT_EQ(read.InterpretedExtent, (FloatRect{119, -521, 394, -246}));
}

}  // namespace
}  // namespace aiimport
