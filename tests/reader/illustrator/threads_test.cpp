// Reading with several threads gives exactly what one thread gives: the lines, the paths, the
// running values, the summary and every progress call; and "Abort" stops it at the same place.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "corpus.h"
#include "epsgen.h"
#include "interpreter.h"
#include "lines.h"
#include "notimported.h"
#include "pathcollector.h"
#include "readertest.h"
#include "readfile.h"
#include "testfiles.h"
#include "threadsetting.h"

namespace aiimport {
namespace {

using testing::RecordingProgress;
using testing::ThreadsSetting;

// Threads compared with one: more than this machine may have, so that chunks wait for each
// other in every order.
constexpr unsigned ManyThreads = 4;

std::vector<std::string> Lines(const LineList& list) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < list.size(); ++i)
    out.emplace_back(list[i]);
  return out;
}

struct Filtered {
  LoadStatus Status{};
  std::vector<std::string> Lines;
  RecordingProgress Progress;
};

std::unique_ptr<Filtered> Filter(const std::string& bytes, unsigned threads, int abortAtPump = 0) {
  ThreadsSetting setting(threads);
  auto result = std::make_unique<Filtered>();
  result->Progress.abortAtPump = abortAtPump;
  auto copy = std::make_unique_for_overwrite<char[]>(bytes.size() + 1);
  std::memcpy(copy.get(), bytes.data(), bytes.size());
  LineList list;
  result->Status = FilterLines(list, std::move(copy), bytes.size(), result->Progress);
  result->Lines = Lines(list);
  return result;
}

// The loader's progress points for a text of `size` bytes, from the rule: every 1-based
// position i with (i AND 0x2FFF) = 1.
std::vector<int64_t> LoaderPoints(uint64_t size) {
  std::vector<int64_t> points;
  for (uint64_t i = 1; i <= size; ++i)
    if ((i & 0x2FFF) == 1) points.push_back(static_cast<int64_t>(i));
  return points;
}

// Random text with every kind of line end, blank runs and bytes that are dropped.
std::string MixedBytes(std::mt19937& random, std::size_t size) {
  static const unsigned char specials[] = {10, 13, 13, 10, 0, 9, 31, 127, 200, 255, 32, 32};
  std::string bytes(size, 'x');
  for (char& c : bytes) {
    const uint32_t roll = random();
    c = roll % 9 == 0 ? static_cast<char>(specials[(roll / 16) % sizeof specials])
                      : static_cast<char>(33 + (roll / 16) % 94);
  }
  return bytes;
}

TEST(ThreadedLoading, TheSameLinesAndProgressAsOneThread) {
  std::mt19937 random(5);
  std::vector<std::string> inputs;
  for (std::size_t size : {0u, 1u, 700u, 4097u, 16385u, 100000u, 1u << 20})
    inputs.push_back(MixedBytes(random, size));
  inputs.push_back(std::string(300000, 'a'));  // one long line without a break
  inputs.push_back(std::string(300000, '\n'));
  inputs.push_back(SyntheticEps({.TargetBytes = 400000, .Seed = 3, .CrLf = true}));
  for (const std::string& bytes : inputs) {
    const auto one = Filter(bytes, 1);
    const auto many = Filter(bytes, ManyThreads);
    ASSERT_EQ(many->Status, LoadStatus::Loaded);
    EXPECT_EQ(many->Lines, one->Lines) << bytes.size() << " bytes";
    const std::vector<int64_t> points = LoaderPoints(bytes.size());
    EXPECT_EQ(many->Progress.positions, points) << bytes.size() << " bytes";
    EXPECT_EQ(one->Progress.positions, points) << bytes.size() << " bytes";
    EXPECT_EQ(many->Progress.pumps, static_cast<int>(points.size()));
  }
}

TEST(ThreadedLoading, AbortStopsAtThePressedPoint) {
  std::mt19937 random(8);
  const std::string bytes = MixedBytes(random, 2u << 20);
  const std::vector<int64_t> points = LoaderPoints(bytes.size());
  for (int pump : {1, 2, 3, 50, 127, static_cast<int>(points.size())}) {
    const auto many = Filter(bytes, ManyThreads, pump);
    EXPECT_EQ(many->Status, LoadStatus::Aborted) << pump;
    EXPECT_TRUE(many->Lines.empty()) << pump;
    // Nothing is reported after the press: the points up to it, in order.
    EXPECT_EQ(many->Progress.pumps, pump);
    EXPECT_EQ(many->Progress.positions,
              std::vector<int64_t>(points.begin(), points.begin() + pump));
  }
}

// Everything an interpretation leaves and tells.
struct Reading {
  testing::Interpreted Run;
  InterpretSummary Summary;
  RecordingProgress Progress;
};

std::unique_ptr<Reading> Interpret(const LineList& lines, const InterpretOptions& options,
                                   unsigned threads, int abortAtPump = 0) {
  ThreadsSetting setting(threads);
  auto r = std::make_unique<Reading>();
  r->Progress.abortAtPump = abortAtPump;
  // A first reading leaves a current point that a "v" at the start of the second one uses.
  InterpretLines(LineList::FromLines({"%%EndSetup", "3.5 -2 m"}), options, r->Run.state,
                 r->Run.collector, r->Progress);
  r->Summary = InterpretLines(lines, options, r->Run.state, r->Run.collector, r->Progress);
  return r;
}

template <class Item>
void ExpectSamePath(const tpathOf<Item>& a, const tpathOf<Item>& b, std::size_t i) {
  ASSERT_EQ(a.Items.size(), b.Items.size()) << "path " << i;
  // Bit for bit: a -0 must stay a -0.
  if (!a.Items.empty()) {
    ASSERT_EQ(std::memcmp(a.Items.data(), b.Items.data(), a.Items.size() * sizeof(Item)), 0)
        << "path " << i;
  }
  EXPECT_EQ(a.Written, b.Written) << "path " << i;
  EXPECT_EQ(std::memcmp(&a.MinX, &b.MinX, 4 * sizeof(float)), 0) << "path " << i;
  EXPECT_EQ(a.LineColor, b.LineColor) << "path " << i;
  EXPECT_EQ(a.FillColor, b.FillColor) << "path " << i;
  EXPECT_EQ(a.Anticlockwise, b.Anticlockwise) << "path " << i;
  EXPECT_EQ(a.Reversed, b.Reversed) << "path " << i;
  EXPECT_EQ(a.Filled, b.Filled) << "path " << i;
  EXPECT_EQ(a.Closed, b.Closed) << "path " << i;
  EXPECT_EQ(a.Flagged, b.Flagged) << "path " << i;
  EXPECT_EQ(a.GroupLevel, b.GroupLevel) << "path " << i;
  EXPECT_EQ(a.CompoundNo, b.CompoundNo) << "path " << i;
}

void ExpectSameReading(const Reading& one, const Reading& many, const std::string& what) {
  SCOPED_TRACE(what);
  const auto& a = one.Run.model.PathList;
  const auto& b = many.Run.model.PathList;
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i)
    ExpectSamePath(a[i], b[i], i);
  EXPECT_EQ(one.Run.model.ViewExtent, many.Run.model.ViewExtent);
  const PathCollector& ca = one.Run.collector;
  const PathCollector& cb = many.Run.collector;
  ASSERT_EQ(ca.CurrentPath().has_value(), cb.CurrentPath().has_value());
  if (ca.CurrentPath()) ExpectSamePath(*ca.CurrentPath(), *cb.CurrentPath(), a.size());
  EXPECT_EQ(ca.CurrentLineColor(), cb.CurrentLineColor());
  EXPECT_EQ(ca.CurrentFillColor(), cb.CurrentFillColor());
  EXPECT_EQ(ca.CurrentGroupLevel(), cb.CurrentGroupLevel());
  EXPECT_EQ(ca.CurrentCompoundNo(), cb.CurrentCompoundNo());
  EXPECT_EQ(ca.InCompound(), cb.InCompound());
  EXPECT_EQ(
      std::memcmp(&one.Run.state.CurrentPoint, &many.Run.state.CurrentPoint, sizeof(FloatPoint)),
      0);
  EXPECT_EQ(one.Run.state.CurrentPathClosed, many.Run.state.CurrentPathClosed);
  EXPECT_EQ(one.Summary.OperatorLines, many.Summary.OperatorLines);
  EXPECT_EQ(one.Summary.StartMarker, many.Summary.StartMarker);
  const RecordingProgress& pa = one.Progress;
  const RecordingProgress& pb = many.Progress;
  EXPECT_EQ(pa.phases, pb.phases);
  EXPECT_EQ(pa.counters, pb.counters);
  EXPECT_EQ(pa.positions, pb.positions);
  EXPECT_EQ(pa.pumps, pb.pumps);
  EXPECT_EQ(pa.maximum, pb.maximum);
  EXPECT_EQ(pa.AbortRequested(), pb.AbortRequested());
  EXPECT_EQ(pb.busy, 0);
}

// Lines made of the interpreter's whole vocabulary at random: every code, every word of the word
// table, markers, quotes, commas, blank runs and numbers of every form.
std::vector<std::string> VocabularyLines(std::mt19937& random, std::size_t count) {
  static const char* const words[] = {"m",
                                      "l",
                                      "L",
                                      "c",
                                      "C",
                                      "v",
                                      "V",
                                      "y",
                                      "Y",
                                      "k",
                                      "K",
                                      "Xa",
                                      "XA",
                                      "Xx",
                                      "XX",
                                      "g",
                                      "G",
                                      "x",
                                      "X",
                                      "f",
                                      "F",
                                      "s",
                                      "S",
                                      "b",
                                      "B",
                                      "q",
                                      "Q",
                                      "n",
                                      "N",
                                      "u",
                                      "U",
                                      "*u",
                                      "*U",
                                      "*",
                                      "closepath",
                                      "fill",
                                      "eofill",
                                      "stroke",
                                      "cmyk",
                                      "rgb",
                                      "setrgbcolor",
                                      "@",
                                      "cp",
                                      "clp",
                                      "ef",
                                      "mo",
                                      "li",
                                      "cv",
                                      "moveto",
                                      "lineto",
                                      "curveto",
                                      "(Spot)",
                                      "\"fill\"",
                                      "x,stroke",
                                      "S,",
                                      "%%Trailer",
                                      "%%EndSetup",
                                      "%%BoundingBox:",
                                      "%%%%BoundingBox:",
                                      "CADDDict begin",
                                      "1e999",
                                      "-0",
                                      "1.2.3",
                                      "4e38",
                                      "1e-50",
                                      "0.5",
                                      "1"};
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < count; ++i) {
    std::string line;
    const int tokens = 1 + static_cast<int>(random() % 9);
    for (int t = 0; t < tokens; ++t) {
      if (t > 0) line += random() % 7 == 0 ? "  " : " ";
      if (random() % 2 == 0) {
        line += std::to_string(static_cast<int>(random() % 2000) - 1000);
        if (random() % 2) line += "." + std::to_string(random() % 10000);
      } else {
        line += words[random() % (sizeof words / sizeof *words)];
      }
    }
    if (random() % 13 == 0) line = " " + line + " ";
    lines.push_back(line);
  }
  return lines;
}

TEST(ThreadedInterpreting, SyntheticFilesReadAsWithOneThread) {
  for (SyntheticShape shape : {SyntheticShape::Objects, SyntheticShape::LongPaths}) {
    for (uint32_t seed : {1u, 2u}) {
      const std::string text =
          SyntheticEps({.TargetBytes = 600000, .Seed = seed, .CrLf = seed == 2, .Shape = shape});
      const auto filtered = Filter(text, 1);
      std::vector<std::string> lines = filtered->Lines;
      const LineList list = LineList::FromLines(lines);
      for (const InterpretOptions options :
           {InterpretOptions{true, false}, InterpretOptions{false, true}}) {
        const auto one = Interpret(list, options, 1);
        const auto many = Interpret(list, options, ManyThreads);
        ExpectSameReading(*one, *many,
                          "seed " + std::to_string(seed) + (options.FlipVertical ? "" : " flip"));
        EXPECT_GT(many->Run.model.PathList.size(), 10u);
      }
    }
  }
}

TEST(ThreadedInterpreting, EveryOperatorAtRandomReadsAsWithOneThread) {
  std::mt19937 random(31);
  for (int round = 0; round < 6; ++round) {
    const LineList list = LineList::FromLines(VocabularyLines(random, 3000 + 4000 * round));
    const InterpretOptions options{round % 2 == 0, round % 3 != 2};
    ExpectSameReading(*Interpret(list, options, 1), *Interpret(list, options, ManyThreads),
                      "round " + std::to_string(round));
  }
}

TEST(ThreadedInterpreting, JunkReadsAsWithOneThread) {
  std::mt19937 random(77);
  std::string junk(1u << 20, '\0');
  for (char& c : junk)
    c = static_cast<char>(random());
  const auto filtered = Filter(junk, ManyThreads);
  EXPECT_EQ(filtered->Lines, Filter(junk, 1)->Lines);
  const LineList list = LineList::FromLines(filtered->Lines);
  ExpectSameReading(*Interpret(list, {true, true}, 1), *Interpret(list, {true, true}, ManyThreads),
                    "junk");
}

// The whole reading of a file, loading included, with one thread and with several.
void ExpectSameFileReading(const std::filesystem::path& file) {
  for (const bool parseEverything : {false, true}) {
    ReadOptions options;
    options.ParseEverything = parseEverything;
    Reading one, many;
    ReadResult readOne, readMany;
    {
      ThreadsSetting setting(1);
      readOne = ReadSourceFile(one.Run.model, one.Run.state, file.string(), options, one.Progress);
    }
    {
      ThreadsSetting setting(ManyThreads);
      readMany =
          ReadSourceFile(many.Run.model, many.Run.state, file.string(), options, many.Progress);
    }
    EXPECT_EQ(readOne.Load.Status, readMany.Load.Status) << file;
    EXPECT_EQ(readOne.Lines, readMany.Lines) << file;
    EXPECT_EQ(readOne.InterpretedExtent, readMany.InterpretedExtent) << file;
    const auto& a = one.Run.model.PathList;
    const auto& b = many.Run.model.PathList;
    ASSERT_EQ(a.size(), b.size()) << file;
    for (std::size_t i = 0; i < a.size(); ++i)
      ExpectSamePath(a[i], b[i], i);
    EXPECT_EQ(one.Progress.positions, many.Progress.positions) << file;
    EXPECT_EQ(one.Progress.counters, many.Progress.counters) << file;
    EXPECT_EQ(one.Progress.phases, many.Progress.phases) << file;
    // Ghostscript's conversion pumps events while it waits for the child, as often as the
    // child's speed makes it; every other route pumps at fixed places.
    EXPECT_EQ(readOne.Route, readMany.Route) << file;
    if (readOne.Route != ReadRoute::GhostscriptPage) {
      EXPECT_EQ(one.Progress.pumps, many.Progress.pumps) << file;
    }
  }
}

TEST(ThreadedInterpreting, SamplesReadAsWithOneThread) {
  int files = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(AIIMPORT_SOURCE_DIR) + "/samples")) {
    ExpectSameFileReading(entry.path());
    ++files;
  }
  EXPECT_GE(files, 4);
}

TEST(ThreadedInterpreting, CorpusReadsAsWithOneThread) {
  REQUIRE_CORPUS();
  for (const auto& entry : std::filesystem::directory_iterator(AIIMPORT_CORPUS_DIR))
    if (entry.is_regular_file()) ExpectSameFileReading(entry.path());
}

// A text of `count` lines of 99 characters each, every one different.
std::vector<std::string> NumberedLines(std::size_t count) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < count; ++i) {
    std::string line = std::to_string(i) + " ";
    line.resize(99, static_cast<char>('a' + i % 26));
    lines.push_back(line);
  }
  return lines;
}

TEST(TextRelease, GivesBackOnlyWhatEveryReaderHasPassed) {
  // 240 000 lines of 100 bytes (with their line feeds): 24 000 000 bytes, line i at 100 i.
  const std::vector<std::string> source = NumberedLines(240000);
  const LineList list = LineList::FromLines(source);
  ASSERT_GE(240000u * 100u, TextRelease::MinimumBytes);
  const std::string_view text = list.From(0).Next();  // the first line: where the text starts
  const auto lineAt = [&](std::size_t i) { return text.data() + 100 * i; };
  auto expectIntactFrom = [&](std::size_t first) {
    for (std::size_t i = first; i < list.size(); i += 997)
      ASSERT_EQ(list[i], source[i]) << "line " << i;
    EXPECT_EQ(list[list.size() - 1], source.back());
  };

  TextRelease release(list, 2);
  release.Passed(0, 120000);
  EXPECT_EQ(release.ReleasedBytes(), 0u) << "the second reader has not started";
  release.Passed(1, 60000);
  const uint64_t first = release.ReleasedBytes();
  // Whole pieces, none of them past line 60000's start (6 000 000 bytes in).
  EXPECT_GT(first, 0u);
  EXPECT_EQ(first % TextRelease::ReleasePiece, 0u);
  EXPECT_LE(first, 6000000u);
  EXPECT_GE(first, 6000000u - 2 * TextRelease::ReleasePiece);
  expectIntactFrom(60000);
  // A reader that reports an earlier line does not move back.
  release.Passed(0, 10);
  release.Passed(1, 240000);
  const uint64_t second = release.ReleasedBytes();
  EXPECT_LE(second, 12000000u);
  EXPECT_GE(second, 12000000u - 2 * TextRelease::ReleasePiece);
  expectIntactFrom(120000);
#if defined(__linux__)
  // Given back, the memory reads as zeros: the pages really went back to the system. The piece
  // that holds line 50000 (5 000 000 bytes in) lies wholly inside what was given back.
  const uintptr_t at = reinterpret_cast<uintptr_t>(lineAt(50000));
  const char* piece = reinterpret_cast<const char*>(at & ~(TextRelease::ReleasePiece - 1));
  EXPECT_EQ(std::count(piece, piece + TextRelease::ReleasePiece, '\0'),
            static_cast<std::ptrdiff_t>(TextRelease::ReleasePiece));
#endif
  // Reaching the end gives back everything both readers passed.
  release.Passed(0, 240000);
  EXPECT_GE(release.ReleasedBytes(), 24000000u - 2 * TextRelease::ReleasePiece);

  // A small list is never touched.
  const std::vector<std::string> few = NumberedLines(1000);
  const LineList small = LineList::FromLines(few);
  TextRelease none(small, 1);
  none.Passed(0, 1000);
  EXPECT_EQ(none.ReleasedBytes(), 0u);
  EXPECT_EQ(small[999], few[999]);
}

// A file large enough for its text to be given back while it is read: what the reading gives is
// what interpreting and counting the same lines gives with nothing given back, with one thread
// (the count after the interpreter) and with several (the count beside it).
TEST(ThreadedInterpreting, ALargeFileReadsAsItsLinesWhileItsTextIsGivenBack) {
  std::string text = SyntheticEps({.TargetBytes = 24u << 20, .Seed = 9});
  // What the count finds stands at the very end, read after most of the text is gone.
  const std::size_t trailer = text.rfind("%%Trailer");
  ASSERT_NE(trailer, std::string::npos);
  text.insert(trailer, "0 To\n%AI5_BeginRaster\n%AI5_EndRaster\n1 Bb\nBB\n0 To\n");
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("aiimport-textrelease-" + std::to_string(::getpid()) + ".eps");
  testing::WriteWholeFile(file, text);

  const LineList lines = LineList::FromLines(Filter(text, 1)->Lines);
  ASSERT_GE(lines.size() * 20, TextRelease::MinimumBytes);
  const InterpretOptions interpret{};
  const auto reference = Interpret(lines, interpret, 1);
  const NotImportedCounts counts = CountNotImported(lines, interpret);
  EXPECT_EQ(counts.TextObjects, 2u);
  EXPECT_EQ(counts.Images, 1u);
  EXPECT_EQ(counts.GradientFills, 1u);

  for (unsigned threads : {1u, ManyThreads}) {
    SCOPED_TRACE(threads);
    ThreadsSetting setting(threads);
    Reading r;
    // Interpret's first reading, so that both start from the same running values.
    InterpretLines(LineList::FromLines({"%%EndSetup", "3.5 -2 m"}), interpret, r.Run.state,
                   r.Run.collector, r.Progress);
    const ReadResult read =
        ReadSourceFile(r.Run.model, r.Run.state, file.string(), ReadOptions{}, r.Progress);
    EXPECT_EQ(read.Route, ReadRoute::Lines);
    EXPECT_EQ(read.Lines, lines.size());
    EXPECT_EQ(read.NotImported, counts);
    const auto& a = reference->Run.model.PathList;
    const auto& b = r.Run.model.PathList;
    ASSERT_EQ(a.size(), b.size());
    EXPECT_GT(b.size(), 10000u);
    for (std::size_t i = 0; i < a.size(); ++i)
      ExpectSamePath(a[i], b[i], i);
    EXPECT_EQ(read.Interpretation.OperatorLines, reference->Summary.OperatorLines);
  }
  std::filesystem::remove(file);
}

TEST(ThreadedInterpreting, AbortStopsAtThePressedPump) {
  const std::string text = SyntheticEps({.TargetBytes = 1u << 20, .Seed = 4});
  const LineList list = LineList::FromLines(Filter(text, 1)->Lines);
  // The pumps come every 100 lines, from line 0 on.
  const int lastPump = static_cast<int>((list.size() + 99) / 100);
  for (int pump : {1, 2, 3, 57, 200, lastPump}) {
    const auto one = Interpret(list, {}, 1, pump + 1);  // +1: the first reading's pump
    const auto many = Interpret(list, {}, ManyThreads, pump + 1);
    ExpectSameReading(*one, *many, "pump " + std::to_string(pump));
    EXPECT_TRUE(many->Run.model.PathList.empty());
    EXPECT_FALSE(many->Run.collector.CurrentPath());
    EXPECT_EQ(many->Progress.pumps, pump + 1);
    // Lines are counted up to the pressed pump, then nothing more.
    ASSERT_FALSE(many->Progress.counters.empty());
    EXPECT_EQ(many->Progress.counters.back(), std::to_string(100 * (pump - 1)) + "      ");
  }
}

}  // namespace
}  // namespace aiimport
