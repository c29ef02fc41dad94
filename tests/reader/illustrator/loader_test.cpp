#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "interpreter.h"
#include "lines.h"
#include "phasetext.h"
#include "readertest.h"
#include "readfile.h"
#include "testfiles.h"

namespace aiimport {
namespace {

using testing::Interpreted;
using testing::RecordingProgress;

class LoaderTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    return scratch_.File(name, bytes);
  }

  static std::vector<std::string> Lines(const LineList& list) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < list.size(); ++i)
      out.emplace_back(list[i]);
    return out;
  }

  std::vector<std::string> Load(const std::string& bytes, LoadStatus expect = LoadStatus::Loaded) {
    LineList list;
    Progress quiet;
    EXPECT_EQ(LoadLines(list, Write("f.eps", bytes), quiet).Status, expect);
    return Lines(list);
  }

  testing::ScratchFolder scratch_{"aiimport-loader"};
  const std::filesystem::path& dir_ = scratch_.Path();
};

TEST_F(LoaderTest, LineEndsOfEveryKindGiveTheSameLines) {
  const std::vector<std::string> expected{"%!PS", "0 0 m", "S"};
  EXPECT_EQ(Load("%!PS\n0 0 m\nS\n"), expected);
  EXPECT_EQ(Load("%!PS\r\n0 0 m\r\nS\r\n"), expected);
  EXPECT_EQ(Load("%!PS\r0 0 m\rS\r"), expected);
  EXPECT_EQ(Load("%!PS\n\r0 0 m\r\n\r\nS"), expected);
}

TEST_F(LoaderTest, OnlyPrintableCharactersSurvive) {
  // Blank lines vanish, a line of blanks stays, a tab joins its words, other bytes vanish.
  EXPECT_EQ(Load("a\n\n   \n\nb\tc\n\x01\x7f\xff\n" + std::string("d\0e", 3) + "\n"),
            (std::vector<std::string>{"a", "   ", "bc", "de"}));
}

TEST_F(LoaderTest, AFinalLineWithoutLineBreakIsKept) {
  EXPECT_EQ(Load("0 0 m\nS"), (std::vector<std::string>{"0 0 m", "S"}));
  EXPECT_EQ(Load("S"), (std::vector<std::string>{"S"}));
  EXPECT_EQ(Load(""), (std::vector<std::string>{}));
}

TEST_F(LoaderTest, ProgressPointsAndPhaseText) {
  RecordingProgress progress;
  LineList list;
  LoadLines(list, Write("a.eps", std::string(10000, 'x')), progress);
  EXPECT_EQ(progress.positions, (std::vector<int64_t>{1, 4097}));
  EXPECT_EQ(progress.pumps, 2);
  EXPECT_EQ(progress.maximum, 10000);
  EXPECT_EQ(progress.busy, 0);

  RecordingProgress larger;
  LoadLines(list, Write("b.eps", std::string(40000, 'x')), larger);
  EXPECT_EQ(larger.positions, (std::vector<int64_t>{1, 4097, 16385, 20481, 32769, 36865}));

  RecordingProgress label;
  LoadLines(list, Write("c.eps", std::string(20480, 'x')), label);
  ASSERT_EQ(label.phases.size(), 1u);
  EXPECT_EQ(label.phases[0], "Parsing File     (20 KB)");
  EXPECT_EQ(list.size(), 1u);
}

TEST(PhaseTexts, KilobytesRoundHalfToEvenWithSeparators) {
  EXPECT_EQ(ParsingPhaseText(0, ","), "Parsing File     (0 KB)");
  EXPECT_EQ(ParsingPhaseText(511, ","), "Parsing File     (0 KB)");
  EXPECT_EQ(ParsingPhaseText(512, ","), "Parsing File     (0 KB)");   // 0.5 -> 0
  EXPECT_EQ(ParsingPhaseText(1536, ","), "Parsing File     (2 KB)");  // 1.5 -> 2
  EXPECT_EQ(ParsingPhaseText(2560, ","), "Parsing File     (2 KB)");  // 2.5 -> 2
  EXPECT_EQ(ParsingPhaseText(2561, ","), "Parsing File     (3 KB)");
  EXPECT_EQ(ParsingPhaseText(104857600, "."), "Parsing File     (102.400 KB)");
  EXPECT_EQ(InterpretingPhaseText(4065630, ","), "Interpreting File    (4,065,630 Lines)");
  EXPECT_EQ(FormatCount(999, ","), "999");
  EXPECT_EQ(FormatCount(1000, "\xC2\xA0"),
            "1\xC2\xA0"
            "000");
  EXPECT_EQ(FormatCount(1234567890123ull, ","), "1,234,567,890,123");
}

TEST_F(LoaderTest, AbortDuringLoadingLeavesNoLines) {
  RecordingProgress progress;
  progress.abortAtPump = 2;
  LineList list;
  const std::string file = Write("a.eps", std::string(9000, 'x') + "\n0 0 m\nf\n");
  EXPECT_EQ(LoadLines(list, file, progress).Status, LoadStatus::Aborted);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(progress.busy, 0);

  // The reload goes on to interpret the empty list; the interpreter clears the flag first.
  RecordingProgress reload;
  reload.abortAtPump = 2;
  PathModel store;
  InterpreterState state;
  const ReadResult read = ReadSourceFile(store, state, file, testing::Options(true, true), reload);
  EXPECT_EQ(read.Load.Status, LoadStatus::Aborted);
  EXPECT_EQ(read.Lines, 0u);
  EXPECT_TRUE(store.PathList.empty());
  EXPECT_FALSE(reload.AbortRequested());
}

TEST_F(LoaderTest, APressBeforeLoadingIsLost) {
  RecordingProgress progress;
  progress.SetAbortRequested(true);
  LineList list;
  EXPECT_EQ(LoadLines(list, Write("a.eps", "0 0 m\nf\n"), progress).Status, LoadStatus::Loaded);
  EXPECT_EQ(list.size(), 2u);
}

TEST_F(LoaderTest, MissingFolderAndUnreadableFilesLeaveTheListAlone) {
  LineList list = LineList::FromLines({"kept"});
  Progress quiet;
  LoadResult r = LoadLines(list, (dir_ / "nothing.eps").string(), quiet);
  EXPECT_EQ(r.Status, LoadStatus::Missing);
  EXPECT_NE(r.Message.find("nothing.eps"), std::string::npos);
  ASSERT_EQ(list.size(), 1u);

  r = LoadLines(list, dir_.string(), quiet);
  EXPECT_EQ(r.Status, LoadStatus::Missing);
  EXPECT_NE(r.Message.find("folder"), std::string::npos);
  ASSERT_EQ(list.size(), 1u);

  // Reading this file fails even for root: its first page is not mapped.
  r = LoadLines(list, "/proc/self/mem", quiet);
  EXPECT_EQ(r.Status, LoadStatus::Unreadable);
  EXPECT_FALSE(r.Message.empty());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0], "kept");
}

TEST_F(LoaderTest, BinaryJunkAndNulBytes) {
  std::mt19937 random(3);
  std::string junk(1 << 20, '\0');
  for (char& c : junk)
    c = static_cast<char>(random());
  LineList list;
  Progress quiet;
  ASSERT_EQ(LoadLines(list, Write("junk.ai", junk), quiet).Status, LoadStatus::Loaded);
  for (std::size_t i = 0; i < list.size(); ++i) {
    ASSERT_FALSE(list[i].empty());
    for (char c : list[i])
      ASSERT_TRUE(c >= 32 && c <= 126);
  }
  Interpreted run;
  InterpretLines(list, {true, true}, run.state, run.collector, quiet);  // without harm

  EXPECT_TRUE(Load(std::string(100000, '\0')).empty());
}

TEST_F(LoaderTest, OneHugeLine) {
  std::string line;
  line.reserve(50u << 20);
  while (line.size() < (50u << 20))
    line += "1.5 2  ";
  line += "m";
  Progress quiet;
  LineList list;
  ASSERT_EQ(LoadLines(list, Write("long.eps", line), quiet).Status, LoadStatus::Loaded);
  EXPECT_EQ(list.size(), 1u);
  Interpreted run;
  InterpretLines(list, {true, true}, run.state, run.collector, quiet);
  const auto& current = run.collector.CurrentPath();
  ASSERT_TRUE(current);
  ASSERT_EQ(current->Count(), 1u);  // the first two numbers make the move
  EXPECT_EQ(current->Items[0], (tbpoint{0, 1.5f, 2}));
}

TEST_F(LoaderTest, OddNumberTokensReadAsDocumented) {
  PathModel store;
  InterpreterState state;
  Progress quiet;
  const std::string file = Write(
      "n.eps", "1e999 -0 m\n1.2.3 e l\n" + std::string(10000, '7') + " 5 l\n4e38 1e-50 l\nS\n");
  ReadSourceFile(store, state, file, testing::Options(true, true), quiet);
  ASSERT_EQ(store.PathList.size(), 1u);
  const auto& p = store.PathList[0].Items;
  // "1.2.3 e l" has one token ("e" comes after the last digit) and adds nothing.
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[0], (tbpoint{0, 0, 0}));
  EXPECT_FALSE(std::signbit(p[0].X1));  // 1e999 is not finite: 0
  EXPECT_TRUE(std::signbit(p[0].Y1));   // -0 stays -0
  EXPECT_EQ(p[1], (tbpoint{1, 0, 5}));  // 10000 digits overflow: 0
  EXPECT_EQ(p[2], (tbpoint{1, 0, 0}));  // 4e38 overflows, 1e-50 rounds to 0
}

}  // namespace
}  // namespace aiimport

namespace aiimport {
namespace {

// The filter moves words of printable bytes in one piece; a byte-by-byte reference must agree on
// any mix of text, line breaks and dropped bytes, at any alignment.
std::vector<std::string> ReferenceLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string pending;
  for (unsigned char b : bytes) {
    if (b == 10 || b == 13) {
      if (!pending.empty()) lines.push_back(pending);
      pending.clear();
    } else if (b >= 32 && b <= 126) {
      pending += static_cast<char>(b);
    }
  }
  if (!pending.empty()) lines.push_back(pending);
  return lines;
}

TEST(LineFilter, AgreesWithAByteByByteReference) {
  std::mt19937 random(11);
  for (int round = 0; round < 400; ++round) {
    const std::size_t size = random() % 40000;
    const int density = 1 + random() % 40;  // one special byte in about `density`
    std::string bytes(size, 'x');
    for (char& c : bytes) {
      const uint32_t roll = random();
      if (roll % density == 0) {
        static const unsigned char specials[] = {10, 13, 0, 9, 31, 127, 128, 200, 255, 32, 126};
        c = static_cast<char>(specials[(roll / 64) % sizeof specials]);
      } else {
        c = static_cast<char>(32 + (roll / 64) % 95);
      }
    }
    auto copy = std::make_unique<char[]>(size + 1);
    std::memcpy(copy.get(), bytes.data(), size);
    LineList lines;
    Progress quiet;
    ASSERT_EQ(FilterLines(lines, std::move(copy), size, quiet), LoadStatus::Loaded);
    const std::vector<std::string> expected = ReferenceLines(bytes);
    ASSERT_EQ(lines.size(), expected.size()) << round;
    for (std::size_t i = 0; i < expected.size(); ++i)
      ASSERT_EQ(lines[i], expected[i]) << round;
  }
}

}  // namespace
}  // namespace aiimport
