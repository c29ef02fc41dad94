// The batch import with several threads writes the DOT file one thread writes, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "corpus.h"
#include "epsgen.h"
#include "testfiles.h"
#include "threadsetting.h"

namespace aiimport {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;
using testing::ThreadsSetting;

class ThreadedBatch : public ::testing::Test {
 protected:
  // The DOT file of a batch import with `threads` threads; empty when nothing was written. The
  // exit code and the summary line (less its time) must agree too.
  std::string Batch(const fs::path& file, const std::vector<std::string>& options, unsigned threads,
                    std::string& summary, int& code) {
    ThreadsSetting setting(threads);
    const fs::path dot = dir_ / "~tempai.dot";
    std::vector<std::string> args{"--batch", file.string(), "--output", dot.string()};
    args.insert(args.end(), options.begin(), options.end());
    std::ostringstream out, err;
    code = RunCommandLine(args, out, err);
    summary = out.str();
    if (const auto at = summary.find(" seconds"); at != std::string::npos) {
      const auto before = summary.rfind(", ", at);
      summary.erase(before, at - before);
    }
    if (!fs::exists(dot)) return {};
    std::string bytes = ReadWholeFile(dot);
    fs::remove(dot);
    return bytes;
  }

  void ExpectSameBatch(const fs::path& file) {
    for (const std::vector<std::string>& options : std::vector<std::vector<std::string>>{
             {}, {"--reduce"}, {"--autofix", "--no-flip"}, {"--parse-everything"}}) {
      std::string summaryOne, summaryMany;
      int codeOne = -1, codeMany = -1;
      const std::string one = Batch(file, options, 1, summaryOne, codeOne);
      const std::string many = Batch(file, options, 4, summaryMany, codeMany);
      EXPECT_EQ(codeOne, codeMany) << file;
      EXPECT_EQ(summaryOne, summaryMany) << file;
      EXPECT_TRUE(one == many) << file << ": the DOT files differ (" << one.size() << " and "
                               << many.size() << " bytes)";
    }
  }

  testing::ScratchFolder scratch_{"aiimport-cli"};
  const fs::path& dir_ = scratch_.Path();
};

TEST_F(ThreadedBatch, SyntheticFiles) {
  for (SyntheticShape shape : {SyntheticShape::Objects, SyntheticShape::LongPaths}) {
    const fs::path file = dir_ / "synthetic.eps";
    testing::WriteWholeFile(file, SyntheticEps({.TargetBytes = 700000, .Seed = 9, .Shape = shape}));
    ExpectSameBatch(file);
  }
}

TEST_F(ThreadedBatch, ALargeFile) {
  // Large enough for the batch to ask for its memory up front.
  const fs::path file = dir_ / "large.eps";
  testing::WriteWholeFile(file, SyntheticEps({.TargetBytes = 9u << 20, .Seed = 5}));
  std::string summaryOne, summaryMany;
  int codeOne = -1, codeMany = -1;
  const std::string one = Batch(file, {}, 1, summaryOne, codeOne);
  const std::string many = Batch(file, {}, 4, summaryMany, codeMany);
  EXPECT_EQ(codeOne, 0);
  EXPECT_EQ(codeMany, 0);
  EXPECT_EQ(summaryOne, summaryMany);
  EXPECT_GT(one.size(), 1000000u);
  EXPECT_TRUE(one == many) << "the DOT files differ";
}

TEST_F(ThreadedBatch, Samples) {
  for (const auto& entry : fs::directory_iterator(fs::path(AIIMPORT_SOURCE_DIR) / "samples"))
    ExpectSameBatch(entry.path());
}

TEST_F(ThreadedBatch, Corpus) {
  REQUIRE_CORPUS();
  for (const auto& entry : fs::directory_iterator(AIIMPORT_CORPUS_DIR))
    if (entry.is_regular_file()) ExpectSameBatch(entry.path());
}

}  // namespace
}  // namespace aiimport
