// The DOT file: exact bytes, figures, continuations, partners, and writing completely or not at
// all.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#include "dotfile.h"
#include "importchain.h"
#include "testfiles.h"
#include "testpaths.h"

namespace aiimport {
namespace {

using namespace aiimport::testing;
namespace fs = std::filesystem;

std::string Records(std::vector<tdotpath>& list) {
  MemoryDotSink sink;
  WriteDotRecords(list, sink);
  EXPECT_TRUE(CheckDotStructure(sink.Bytes).Ok || list.empty())
      << CheckDotStructure(sink.Bytes).Problem;
  return sink.Bytes;
}

// The kinds of the records, one character each ("0" header, "1".."3" points).
std::string KindString(const std::string& bytes) {
  std::string k;
  for (std::size_t i = 0; i + 10 <= bytes.size(); i += 10)
    k += static_cast<char>('0' + bytes[i]);
  return k;
}

TEST(DotFile, SquareOfOneInchIsSixtyBytes) {
  // Through the whole chain: a filled, closed red square of 72 points.
  ConversionResult store;
  tpath square = SourcePath({Move(0, 0), Line(72, 0), Line(72, 72), Line(0, 72), Line(0, 0)});
  square.FillColor = 0x000000FF;
  const std::vector<const tpath*> paths{&square};
  MemoryDotSink sink;
  Progress view;
  const ImportResult result = ImportToSink(store, paths, {}, {view}, sink);
  const std::string expected(
      "\x00\x00\xFF\x00\x00\x00\x03\x00\x00\x00"
      "\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00"
      "\x02\x00\x38\x63\x00\x00\x00\x00\x00\x00"
      "\x02\x00\x38\x63\x00\x00\x38\x63\x00\x00"
      "\x02\x00\x00\x00\x00\x00\x38\x63\x00\x00"
      "\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00",
      60);
  EXPECT_EQ(sink.Bytes, expected);
  EXPECT_EQ(result.Dot.Records, 6u);
  EXPECT_EQ(result.Dot.Headers, 1u);
  EXPECT_EQ(result.OutputPoints, 5u);
}

TEST(DotFile, OpenPathIsFiftyBytes) {
  std::vector<tdotpath> list{
      DotPath({{1, 0, 0}, {2, 10, 0}, {2, 10, 20}, {2, -3, 7}}, 0, false, false)};
  list[0].LineColor = 0x00FF0000;
  list[0].FillColor = 0x000000FF;  // not used: the path is not filled
  EXPECT_EQ(Records(list),
            Bytes({{0, 0x00FF0000, 0}, {1, 0, 0}, {2, 10, 0}, {2, 10, 20}, {2, -3, 7}}));
  EXPECT_TRUE(list[0].Written);
}

TEST(DotFile, CompoundPartnersJoinTheFirstPathsFigure) {
  // An outline and its hole: one figure under the first path's colour and flags.
  std::vector<tdotpath> ring{DotPath({{1, 0, 0}, {2, 9, 0}, {2, 9, 9}}, 4, true, true),
                             DotPath({{1, 2, 2}, {2, 3, 3}, {2, 2, 3}}, 4, false, true)};
  ring[0].FillColor = 0x11;
  ring[1].FillColor = 0x22;
  EXPECT_EQ(
      Records(ring),
      Bytes({{0, 0x11, 3}, {1, 0, 0}, {2, 9, 0}, {2, 9, 9}, {1, 2, 2}, {2, 3, 3}, {2, 2, 3}}));

  // A partner further down the list is written inside the first one's figure, before the path
  // between them.
  std::vector<tdotpath> apart{DotPath({{1, 1, 1}, {2, 2, 2}}, 1, true, false),
                              DotPath({{1, 5, 5}, {2, 6, 6}}, 2, true, false),
                              DotPath({{1, 8, 8}, {2, 9, 9}}, 1, false, false)};
  apart[0].LineColor = 0xA;
  apart[1].LineColor = 0xB;
  apart[2].LineColor = 0xC;
  EXPECT_EQ(Records(apart), Bytes({{0, 0xA, 1},
                                   {1, 1, 1},
                                   {2, 2, 2},
                                   {1, 8, 8},
                                   {2, 9, 9},
                                   {0, 0xB, 1},
                                   {1, 5, 5},
                                   {2, 6, 6}}));

  // An open, unfilled path joins nothing: two figures, each with its own header.
  std::vector<tdotpath> open{DotPath({{1, 1, 1}, {2, 2, 2}}, 3, false, false),
                             DotPath({{1, 5, 5}, {2, 6, 6}}, 3, true, false)};
  EXPECT_EQ(KindString(Records(open)), "012012");
}

TEST(DotFile, ContinuationsNeverCutAContourAfterTwentyThousand) {
  // 5000 squares of 5 points in one path: after the 4001st square (20005 records) the next
  // start of a sub-path opens a continuation.
  std::vector<Tdot> pts;
  for (int i = 0; i < 5000; ++i)
    for (const Tdot& d : Rectangle(i, 0, i + 1, 1))
      pts.push_back(d);
  std::vector<tdotpath> list{DotPath(pts, 7)};
  const std::string bytes = Records(list);
  ASSERT_EQ(bytes.size(), 25002u * 10);
  const std::string kinds = KindString(bytes);
  EXPECT_EQ(kinds.find('0', 1), 20006u);
  EXPECT_EQ(kinds.find('0', 20007), std::string::npos);
  EXPECT_EQ(bytes.substr(20006 * 10, 10), bytes.substr(0, 10));  // an exact copy
  EXPECT_EQ(list[0].CompoundNo, -2);
}

TEST(DotFile, LongContourIsCutAfterThirtyThousandAndTheMinusTwoRule) {
  // A first path with one contour of 40000 points: headers before the 1st and the 30002nd point
  // record. It is continued, so its CompoundNo becomes -2 and its partner later in the list
  // forms a figure of its own, after the path between them, under its own header.
  std::vector<Tdot> pts{{1, 0, 0}};
  for (int i = 1; i < 40000; ++i)
    pts.push_back({2, i, i % 7});
  std::vector<tdotpath> list{DotPath(pts, 5, true, false),
                             DotPath({{1, 1, 1}, {2, 2, 2}}, 6, true, false),
                             DotPath({{1, 3, 3}, {2, 4, 4}}, 5, true, false)};
  list[0].LineColor = 0x50;
  list[1].LineColor = 0x60;
  list[2].LineColor = 0x70;
  const std::string bytes = Records(list);
  const std::string kinds = KindString(bytes);
  ASSERT_EQ(kinds.size(), 1u + 40000 + 1 + 3 + 3);
  EXPECT_EQ(kinds.find('0', 1), 1u + 30001);
  EXPECT_EQ(bytes.substr(30002 * 10, 10), Bytes({{0, 0x50, 1}}));
  EXPECT_EQ(bytes.substr(40002 * 10),
            Bytes({{0, 0x60, 1}, {1, 1, 1}, {2, 2, 2}, {0, 0x70, 1}, {1, 3, 3}, {2, 4, 4}}));
  EXPECT_EQ(list[0].CompoundNo, -2);
  EXPECT_EQ(list[2].CompoundNo, 5);

  // A partner's contour is never cut, however long: the run carries on from the first path.
  std::vector<tdotpath> joined{DotPath({{1, 0, 0}, {2, 1, 1}}, 8), DotPath(pts, 8)};
  const std::string kinds2 = KindString(Records(joined));
  EXPECT_EQ(kinds2.size(), 1u + 2 + 40000);
  EXPECT_EQ(kinds2.find('0', 1), std::string::npos);
}

// The writer as the rules state it, scanning every later path for partners.
std::string LiteralRecords(std::vector<tdotpath> list) {
  std::string out;
  auto put = [&out](int kind, int32_t a, int32_t b) { out += Bytes({{kind, a, b}}); };
  for (tdotpath& p : list)
    p.Written = false;
  for (std::size_t i = 0; i < list.size(); ++i) {
    tdotpath& h = list[i];
    if (h.Written) continue;
    h.Written = true;
    const int32_t colour = h.Filled ? h.FillColor : h.LineColor;
    const int32_t flags = (h.Closed ? 1 : 0) + (h.Filled ? 2 : 0);
    put(0, colour, flags);
    int run = 0;
    for (const Tdot& d : h.Items) {
      if ((d.Kind < 2 || run > 30000) && run > 20000)
        put(0, colour, flags), run = 0, h.CompoundNo = -2;
      put(d.Kind, d.X, d.Y);
      ++run;
    }
    if (!h.Closed && !h.Filled) continue;
    for (std::size_t j = i + 1; j < list.size(); ++j) {
      if (list[j].CompoundNo != h.CompoundNo) continue;
      list[j].Written = true;
      for (const Tdot& d : list[j].Items) {
        if (d.Kind < 2 && run > 20000) put(0, colour, flags), run = 0;
        put(d.Kind, d.X, d.Y);
        ++run;
      }
    }
  }
  return out;
}

TEST(DotFile, IndexedPartnerJoiningGivesTheSameBytes) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> pick(0, 99);
  for (int round = 0; round < 40; ++round) {
    std::vector<tdotpath> list;
    const int n = 1 + pick(rng);
    for (int i = 0; i < n; ++i) {
      std::vector<Tdot> pts;
      // Mostly short paths; now and then one long enough to be continued or cut.
      const int count = pick(rng) < 8 ? 5000 + 300 * pick(rng) : 1 + pick(rng);
      for (int k = 0; k < count; ++k)
        pts.push_back({k == 0 || pick(rng) < 3 ? 1 : 2 + pick(rng) % 2, k, i});
      // A few numbers, -2 among them, so that partners and continued figures meet.
      tdotpath p = DotPath(pts, pick(rng) % 6 - 2, pick(rng) % 2, pick(rng) % 2);
      p.LineColor = i;
      p.FillColor = 1000 + i;
      list.push_back(p);
    }
    std::vector<tdotpath> copy = list;
    ASSERT_EQ(Records(copy), LiteralRecords(list)) << "round " << round;
  }
}

class DotFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(AIIMPORT_BINARY_DIR) / "tests" / "dotfile-tmp" /
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    store_.OutputList = {DotPath(Rectangle(0, 0, 100, 100), 1),
                         DotPath(Rectangle(10, 10, 20, 20), 1)};
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Every file left in the directory.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_))
      names.push_back(e.path().filename().string());
    return names;
  }

  fs::path dir_;
  ConversionResult store_;
};

TEST_F(DotFileOnDisk, WritesTheRecordsAndReplacesAnOldFile) {
  const fs::path file = dir_ / "~tempai.dot";
  std::ofstream(file) << "an older import";
  std::vector<tdotpath> copy = store_.OutputList;
  const std::string expected = Records(copy);
  RecordingView view;
  const DotCounts counts = WriteDotFile(store_, file.string(), view);
  EXPECT_EQ(testing::ReadWholeFile(file), expected);
  EXPECT_EQ(counts.Records * 10, expected.size());
  EXPECT_EQ(view.Captions, (std::vector<std::string>{"Generating Output"}));
  EXPECT_TRUE(store_.OutputList[1].Written);
  EXPECT_EQ(Files(), (std::vector<std::string>{"~tempai.dot"}));
  EXPECT_TRUE(CheckDotStructure(testing::ReadWholeFile(file)).Ok);
}

TEST_F(DotFileOnDisk, AMissingDirectoryLeavesNothing) {
  const fs::path file = dir_ / "missing" / "~tempai.dot";
  Progress view;
  try {
    WriteDotFile(store_, file.string(), view);
    FAIL() << "no error for a missing directory";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
    EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
  }
  // A "directory" that is a file.
  std::ofstream(dir_ / "plain") << "x";
  EXPECT_THROW(WriteDotFile(store_, (dir_ / "plain" / "~tempai.dot").string(), view),
               std::system_error);
  EXPECT_EQ(Files(), (std::vector<std::string>{"plain"}));
}

TEST_F(DotFileOnDisk, AFailureWhileWritingLeavesNoFile) {
  // The file size limit makes a write fail part way, as a full disk would. The old file is gone
  // too: the host must not take it for this import.
  const fs::path file = dir_ / "~tempai.dot";
  std::ofstream(file) << "an older import";
  std::vector<Tdot> pts;
  for (int i = 0; i < 100000; ++i)
    pts.push_back({i == 0 ? 1 : 2, i, i});
  store_.OutputList = {DotPath(pts)};

  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 100000;
  auto* previous = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  Progress view;
  bool failed = false;
  std::string what;
  try {
    WriteDotFile(store_, file.string(), view);
  } catch (const std::system_error& e) {
    failed = true;
    what = e.what();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_TRUE(failed);
  EXPECT_NE(what.find("File too large"), std::string::npos) << what;
  EXPECT_TRUE(Files().empty());
}

TEST(DotStructure, FindsWhatIsWrong) {
  EXPECT_TRUE(CheckDotStructure(Bytes({{0, 5, 3}, {1, 0, 0}, {3, 1, 1}, {2, 2, 2}})).Ok);
  const DotCheck ok = CheckDotStructure(Bytes({{0, 5, 3}, {1, 0, 0}, {0, 5, 3}, {2, 2, 2}}));
  EXPECT_EQ(ok.Counts.Records, 4u);
  EXPECT_EQ(ok.Counts.Headers, 2u);
  EXPECT_EQ(ok.Counts.Points, 2u);
  EXPECT_FALSE(CheckDotStructure("").Ok);
  EXPECT_FALSE(CheckDotStructure(Bytes({{0, 5, 3}}) + "x").Ok);
  EXPECT_FALSE(CheckDotStructure(Bytes({{1, 0, 0}})).Ok);
  const DotCheck kind = CheckDotStructure(Bytes({{0, 5, 3}, {4, 0, 0}}));
  EXPECT_FALSE(kind.Ok);
  EXPECT_NE(kind.Problem.find("offset 10"), std::string::npos) << kind.Problem;
  EXPECT_FALSE(CheckDotStructure(Bytes({{0, 5, 3}, {-1, 0, 0}})).Ok);
  EXPECT_FALSE(CheckDotStructure(Bytes({{0, 5, 4}})).Ok);
}

}  // namespace
}  // namespace aiimport
