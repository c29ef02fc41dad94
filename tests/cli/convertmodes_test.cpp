// The command-line modes of the import: --batch, --dump-dot and --dot-svg, end to end.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "batch.h"
#include "cli.h"
#include "dotfile.h"
#include "dottools.h"
#include "readfile.h"
#include "testfiles.h"
#include "testpaths.h"
#include "threadsetting.h"
#include "treeshape.h"

namespace aiimport {
namespace {

using testing::Bytes;

namespace fs = std::filesystem;

struct Outcome {
  int Code = 0;
  std::string Out, Err;
};

Outcome Command(std::vector<std::string> args) {
  std::ostringstream out, err;
  Outcome r;
  r.Code = RunCommandLine(args, out, err);
  r.Out = out.str();
  r.Err = err.str();
  return r;
}

class ConvertModes : public ::testing::Test {
 protected:
  fs::path Write(const std::string& name, const std::string& text) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  // Every DOT file a test writes must pass --dump-dot's check.
  void ExpectSound(const fs::path& dot) {
    const Outcome r = Command({"--dump-dot", dot.string()});
    EXPECT_EQ(r.Code, ExitOk) << dot << ": " << r.Err;
  }

  testing::ScratchFolder scratch_{"aiimport-cli"};
  const fs::path& dir_ = scratch_.Path();
};

TEST_F(ConvertModes, BatchOnTheSampleWithEveryOption) {
  const std::string sample = std::string(AIIMPORT_SOURCE_DIR) + "/samples/shapes.eps";
  const fs::path dot = dir_ / "~tempai.dot";
  for (const std::vector<std::string>& options : std::vector<std::vector<std::string>>{
           {}, {"--reduce"}, {"--autofix"}, {"--reduce", "--autofix", "--no-flip"}}) {
    std::vector<std::string> args{"--batch", sample, "--output", dot.string()};
    args.insert(args.end(), options.begin(), options.end());
    const Outcome r = Command(args);
    ASSERT_EQ(r.Code, ExitOk) << r.Err;
    // The sample has six painted paths (the setup section and the trailer are not read), two of
    // them one compound path: five figures.
    unsigned paths = 0, points = 0, figures = 0, bytes = 0;
    double seconds = -1;
    int used = 0;
    ASSERT_EQ(std::sscanf(r.Out.c_str(),
                          "%u paths, %u output points, %u figures, %u bytes, %lf seconds: %n",
                          &paths, &points, &figures, &bytes, &seconds, &used),
              5)
        << r.Out;
    EXPECT_EQ(paths, 6u);
    EXPECT_EQ(figures, 5u);
    EXPECT_EQ(bytes, (points + figures) * 10);
    EXPECT_GE(seconds, 0.0);
    EXPECT_EQ(r.Out.substr(static_cast<std::size_t>(used)), dot.string() + "\n");
    EXPECT_TRUE(r.Err.empty()) << r.Err;
    ExpectSound(dot);
  }
}

TEST_F(ConvertModes, BatchWritesToTheHostDirectory) {
  const fs::path root = dir_ / "drive_c";
  const char* old = std::getenv("AIIMPORT_DRIVE_C");
  const std::string saved = old ? old : "";
  setenv("AIIMPORT_DRIVE_C", root.c_str(), 1);
  const Outcome r = Command({"--batch", std::string(AIIMPORT_SOURCE_DIR) + "/samples/shapes.eps"});
  if (old)
    setenv("AIIMPORT_DRIVE_C", saved.c_str(), 1);
  else
    unsetenv("AIIMPORT_DRIVE_C");
  ASSERT_EQ(r.Code, ExitOk) << r.Err;
  ExpectSound(root / "windows" / "temp" / "~tempai.dot");
}

TEST_F(ConvertModes, BatchWithNothingToImport) {
  const fs::path dot = Write("~tempai.dot", "an older import");
  const fs::path eps = Write("empty.eps", "%!PS-Adobe-3.0\n%%EndSetup\n10 10 m\nS\n");
  const Outcome r = Command({"--batch", eps.string(), "--output", dot.string()});
  EXPECT_EQ(r.Code, ExitNothing);
  EXPECT_EQ(r.Out, "There are no paths to import!\n");
  EXPECT_FALSE(fs::exists(dot));
}

TEST_F(ConvertModes, BatchFailuresLeaveNoFile) {
  const fs::path eps =
      Write("square.eps", "%!PS-Adobe-3.0\n%%EndSetup\n0 0 m\n72 0 l\n72 72 l\nf\n");
  // A missing input.
  Outcome r =
      Command({"--batch", (dir_ / "nothing.eps").string(), "--output", (dir_ / "a.dot").string()});
  EXPECT_EQ(r.Code, ExitFailure);
  EXPECT_FALSE(r.Err.empty());
  // An output directory that does not exist.
  const fs::path lost = dir_ / "missing" / "~tempai.dot";
  r = Command({"--batch", eps.string(), "--output", lost.string()});
  EXPECT_EQ(r.Code, ExitFailure);
  EXPECT_NE(r.Err.find("No such file or directory"), std::string::npos) << r.Err;
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
  // A drawing the host file cannot hold: nothing written, an older file removed.
  const fs::path dot = Write("~tempai.dot", "an older import");
  const fs::path far =
      Write("far.eps", "%!PS-Adobe-3.0\n%%EndSetup\n0 0 m\n10000000000 0 l\n0 72 l\nf\n");
  r = Command({"--batch", far.string(), "--output", dot.string()});
  EXPECT_EQ(r.Code, ExitFailure);
  EXPECT_NE(r.Err.find("outside the range"), std::string::npos) << r.Err;
  EXPECT_FALSE(fs::exists(dot));
  // Arguments.
  EXPECT_EQ(Command({"--batch"}).Code, ExitFailure);
  EXPECT_EQ(Command({"--batch", eps.string(), "--output"}).Code, ExitFailure);
}

TEST_F(ConvertModes, DumpListsEveryRecordAndChecksTheStructure) {
  const fs::path dot = Write(
      "open.dot", Bytes({{0, 0x00FF0000, 0}, {1, 0, 0}, {2, 10, 0}, {3, -3, 7}, {2, 25400, 20}}));
  Outcome r = Command({"--dump-dot", dot.string()});
  EXPECT_EQ(r.Code, ExitOk) << r.Err;
  EXPECT_EQ(r.Out,
            "0 0 colour=0x00FF0000 flags=0\n"
            "10 1 x=0 y=0\n"
            "20 2 x=10 y=0\n"
            "30 3 x=-3 y=7\n"
            "40 2 x=25400 y=20\n"
            "5 records: 1 headers, 4 points\n");

  for (const std::string& bad : {Bytes({{1, 0, 0}}), Bytes({{0, 1, 1}, {5, 0, 0}}),
                                 Bytes({{0, 1, 1}}) + "xyz", std::string()}) {
    const fs::path broken = Write("broken.dot", bad);
    r = Command({"--dump-dot", broken.string()});
    EXPECT_EQ(r.Code, ExitFailure);
    EXPECT_NE(r.Err.find("is not a sound DOT file"), std::string::npos) << r.Err;
  }
  EXPECT_EQ(Command({"--dump-dot", (dir_ / "none.dot").string()}).Code, ExitFailure);
}

TEST_F(ConvertModes, SvgDrawsFiguresAsTheHostReadsThem) {
  // A filled red figure with a chain of two quadratic pieces joined at the midpoint of their
  // controls, then a stroked open figure in blue with a cut-off start (a continuation).
  const std::string bytes = Bytes({{0, 0x000000FF, 3},
                                   {1, 0, 0},
                                   {3, 10, 0},
                                   {3, 20, 11},
                                   {2, 20, 20},
                                   {2, 0, 20},
                                   {0, 0x00FF0000, 0},
                                   {2, 5, 5},
                                   {2, 6, 5},
                                   {1, 7, 7},
                                   {3, 8, 8}});
  const std::string svg = DotToSvg(bytes);
  EXPECT_NE(svg.find("<path fill=\"#FF0000\" fill-rule=\"nonzero\" stroke=\"none\" "
                     "d=\"M 0 0 Q 10 0 15 5.5 Q 20 11 20 20 L 0 20 Z\"/>"),
            std::string::npos)
      << svg;
  EXPECT_NE(svg.find("stroke=\"#0000FF\""), std::string::npos) << svg;
  EXPECT_NE(svg.find("d=\"M 5 5 L 6 5 M 7 7 L 8 8\"/>"), std::string::npos) << svg;

  const fs::path dot = Write("figure.dot", bytes);
  const fs::path out = dir_ / "figure.svg";
  const Outcome r = Command({"--dot-svg", dot.string(), out.string()});
  EXPECT_EQ(r.Code, ExitOk) << r.Err;
  EXPECT_EQ(testing::ReadWholeFile(out), svg);
  EXPECT_EQ(Command({"--dot-svg", Write("bad.dot", "xy").string(), out.string()}).Code,
            ExitFailure);
  EXPECT_EQ(Command({"--dot-svg", dot.string(), (dir_ / "no" / "x.svg").string()}).Code,
            ExitFailure);
}

TEST(StartupTreePaths, LeavesOutShortAndToggledPaths) {
  PathModel store;
  auto add = [&store](std::size_t points, bool flagged) {
    tpath& p = store.PathList.emplace_back();
    p.Items.resize(points);
    p.Flagged = flagged;
    return &p;
  };
  tpath* a = add(2, false);
  add(1, false);
  add(5, true);
  tpath* d = add(3, false);
  add(0, false);
  EXPECT_EQ(StartupTreePaths(store), (std::vector<tpath*>{a, d}));
}

TEST(StartupTreePaths, AreThePathsOfTheTreeTheWindowBuilds) {
  // The batch takes the start-up tree's paths without building the tree: on random drawings
  // they must be exactly the paths of the tree BuildTree makes with the start-up filters.
  std::mt19937 random(29);
  for (int round = 0; round < 2000; ++round) {
    std::vector<testing::PathRow> rows;
    int level = static_cast<int>(random() % 3) - 1;
    for (int i = 0, n = static_cast<int>(random() % 25); i < n; ++i) {
      level += static_cast<int>(random() % 5) - 2;
      rows.push_back({level, static_cast<int32_t>(random() % 4), random() % 2 == 0,
                      static_cast<int>(random() % 4), random() % 6 == 0, random() % 2 == 0});
    }
    PathModel model;
    model.PathList = testing::Paths(rows);
    ObjectTree tree;
    BuildTree(tree, model.PathList, TreeFilters{});
    ASSERT_EQ(StartupTreePaths(model), TreePaths(tree)) << "round " << round;
  }
}

TEST_F(ConvertModes, BatchDropsTheSourcePathsAndWritesTheSameBytes) {
  // The batch drops each source path once converted; the file is the one the chain writes from
  // intact paths.
  const std::string sample = std::string(AIIMPORT_SOURCE_DIR) + "/samples/shapes.eps";
  for (const ImportOptions options : {ImportOptions{false, false}, ImportOptions{true, true}}) {
    PathModel kept, freed;
    Progress quiet;
    ReadSourceFile(kept, sample, {}, quiet);
    ReadSourceFile(freed, sample, {}, quiet);
    MemoryDotSink sink;
    const std::vector<tpath*> startup = StartupTreePaths(kept);
    ConversionResult keptOutput, freedOutput;
    ImportToSink(keptOutput, std::vector<const tpath*>(startup.begin(), startup.end()), options,
                 {quiet}, sink);
    const fs::path dot = dir_ / "~tempai.dot";
    const std::optional<ImportResult> result =
        ImportStartupPaths(freed, freedOutput, options, dot.string());
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(testing::ReadWholeFile(dot), sink.Bytes);
    // What is left are the paths after the last one imported.
    std::size_t lastPlace = 0;
    for (std::size_t i = 0; i < kept.PathList.size(); ++i)
      if (&kept.PathList[i] == startup.back()) lastPlace = i;
    EXPECT_EQ(freed.PathList.size(), kept.PathList.size() - lastPlace - 1);
  }
  // Paths the tree leaves out go with the next imported one; those after the last stay. The
  // file is the chain's over the imported paths alone, with one thread and with several.
  for (unsigned threads : {1u, 4u}) {
    testing::ThreadsSetting setting(threads);
    Progress quiet;
    PathModel model;
    auto add = [&model](std::vector<tbpoint> points, bool flagged) {
      tpath& p = model.PathList.emplace_back();
      p.Items = std::move(points);
      p.Flagged = flagged;
      p.Closed = true;
      return p;
    };
    std::vector<tpath> imported;
    std::mt19937 random(threads);
    auto shape = [&random](std::size_t n) {
      std::vector<tbpoint> points(n);
      for (std::size_t k = 0; k < n; ++k)
        points[k] = {k == 0 ? 0 : static_cast<int32_t>(1 + random() % 2),
                     static_cast<float>(random() % 1000),
                     static_cast<float>(random() % 1000),
                     static_cast<float>(random() % 1000),
                     static_cast<float>(random() % 1000),
                     static_cast<float>(random() % 1000),
                     static_cast<float>(random() % 1000)};
      return points;
    };
    std::size_t leftOutAtTheEnd = 0;  // the paths left out after the last imported one
    for (int i = 0; i < 3000; ++i) {
      const int kind = static_cast<int>(random() % 4);
      if (kind == 0) {
        add(shape(1), false);  // too short for the tree
        ++leftOutAtTheEnd;
      } else if (kind == 1) {
        add(shape(4), true);  // toggled off
        ++leftOutAtTheEnd;
      } else {
        imported.push_back(add(shape(2 + random() % 9), false));
        leftOutAtTheEnd = 0;
      }
    }
    add(shape(1), false);
    add(shape(6), true);
    leftOutAtTheEnd += 2;
    std::vector<const tpath*> chain;
    for (const tpath& p : imported)
      chain.push_back(&p);
    MemoryDotSink sink;
    ConversionResult chainOutput, batchOutput;
    ImportToSink(chainOutput, chain, {}, {quiet}, sink);
    const fs::path dot = dir_ / ("mixed" + std::to_string(threads) + ".dot");
    ASSERT_TRUE(ImportStartupPaths(model, batchOutput, {}, dot.string()).has_value());
    EXPECT_EQ(testing::ReadWholeFile(dot), sink.Bytes);
    EXPECT_EQ(model.PathList.size(), leftOutAtTheEnd);
  }

  PathModel empty;
  ConversionResult output;
  EXPECT_FALSE(ImportStartupPaths(empty, output, {}, (dir_ / "none.dot").string()).has_value());
  EXPECT_FALSE(fs::exists(dir_ / "none.dot"));
}

// The batch leaves the orientation test out when "Auto-Fix Holes" is off. A reading without it
// differs only in the Anticlockwise flags (all true), and an import without "Auto-Fix Holes"
// writes the same bytes from either reading, with and without "Reduce Nodes": on the samples
// and the corpus.
TEST_F(ConvertModes, AnImportWithoutAutoFixDoesNotDependOnTheOrientationTest) {
  std::vector<std::string> files;
  for (const char* name : {"shapes.eps", "leaf-cr.ai", "custom-colours.eps"})
    files.push_back(std::string(AIIMPORT_SOURCE_DIR) + "/samples/" + name);
  const fs::path corpus(AIIMPORT_CORPUS_DIR);
  std::error_code ec;
  if (fs::is_directory(corpus, ec)) {
    for (const auto& entry : fs::directory_iterator(corpus, ec)) {
      const std::string ext = entry.path().extension().string();
      if (ext == ".ai" || ext == ".eps") files.push_back(entry.path().string());
    }
  }
  int clockwise = 0;
  for (const std::string& file : files) {
    PathModel tested, untested;
    Progress quiet;
    ReadOptions without;
    without.Orientation = false;
    ReadSourceFile(tested, file, {}, quiet);
    ReadSourceFile(untested, file, without, quiet);
    ASSERT_EQ(tested.PathList.size(), untested.PathList.size()) << file;
    for (std::size_t i = 0; i < tested.PathList.size(); ++i) {
      const tpath& a = tested.PathList[i];
      const tpath& b = untested.PathList[i];
      EXPECT_TRUE(b.Anticlockwise) << file << ", path " << i;
      if (!a.Anticlockwise) ++clockwise;
      EXPECT_TRUE(a.Items == b.Items && a.Written == b.Written && a.LineColor == b.LineColor &&
                  a.FillColor == b.FillColor && a.Reversed == b.Reversed && a.Filled == b.Filled &&
                  a.Closed == b.Closed && a.Flagged == b.Flagged && a.GroupLevel == b.GroupLevel &&
                  a.CompoundNo == b.CompoundNo)
          << file << ", path " << i;
    }
    for (const ImportOptions options : {ImportOptions{false, false}, ImportOptions{true, false}}) {
      std::vector<std::string> bytes;
      for (PathModel* model : {&tested, &untested}) {
        const std::vector<tpath*> startup = StartupTreePaths(*model);
        ConversionResult output;
        MemoryDotSink sink;
        ImportToSink(output, std::vector<const tpath*>(startup.begin(), startup.end()), options,
                     {quiet}, sink);
        bytes.push_back(sink.Bytes);
      }
      EXPECT_EQ(bytes[0], bytes[1]) << file << (options.Reduce ? ", reduced" : "");
    }
  }
  EXPECT_GT(clockwise, 0);  // the samples hold clockwise paths: the flag did change
}

// Every file of the shared corpus: no crash; a sound DOT file, nothing to import, or (for the
// truncated PDF) a plain-words reason and no file.
TEST_F(ConvertModes, BatchOnTheCorpus) {
  const fs::path corpus(AIIMPORT_CORPUS_DIR);
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "corpus folder " << corpus << " is absent";
  int files = 0, imported = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".ai" && ext != ".eps") continue;
    ++files;
    for (const std::vector<std::string>& options :
         std::vector<std::vector<std::string>>{{}, {"--reduce", "--autofix"}}) {
      const fs::path dot = dir_ / "~tempai.dot";
      std::vector<std::string> args{"--batch", entry.path().string(), "--output", dot.string()};
      args.insert(args.end(), options.begin(), options.end());
      const Outcome r = Command(args);
      if (entry.path().filename() == "sindresorhus-fixture.ai") {
        EXPECT_EQ(r.Code, ExitFailure);
        EXPECT_NE(r.Err.find("This PDF file is damaged or incomplete"), std::string::npos) << r.Err;
        EXPECT_FALSE(fs::exists(dot));
        continue;
      }
      ASSERT_TRUE(r.Code == ExitOk || r.Code == ExitNothing) << entry.path() << ": " << r.Err;
      if (r.Code == ExitOk) {
        ++imported;
        ExpectSound(dot);
      } else {
        EXPECT_FALSE(fs::exists(dot));
      }
    }
  }
  EXPECT_GT(files, 0);
  EXPECT_GT(imported, 0);
}

}  // namespace
}  // namespace aiimport
