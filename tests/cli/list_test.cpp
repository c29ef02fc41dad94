#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli.h"

namespace aiimport {
namespace {

struct Outcome {
  int code;
  std::string out, err;
};

Outcome Call(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = RunCommandLine(args, out, err);
  return {code, out.str(), err.str()};
}

std::string TempFile(const std::string& name, const std::string& text) {
  const auto path = std::filesystem::temp_directory_path() / name;
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

TEST(ListMode, OneJsonLinePerPathThenTheSummary) {
  const std::string file = TempFile("aiimport-list-test.eps",
                                    "%%BoundingBox: 0 0 100 50\n%%EndSetup\n0.5 g\n"
                                    "10 20 m\n30.25 -0 l\n1 2 3 4 5 6 c\nf\n%%Trailer\n");
  const Outcome r = Call({"--list", file});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, "");
  // The box covers the control points; -0 prints as -0; 0.5 g is grey 128 = 8421504.
  EXPECT_EQ(r.out,
            "{\"index\":0,\"GroupLevel\":0,\"CompoundNo\":0,\"Closed\":true,\"Filled\":true,"
            "\"Anticlockwise\":false,\"Reversed\":false,\"Flagged\":false,\"LineColor\":0,"
            "\"FillColor\":8421504,\"count\":3,\"box\":[1,-0,30.25,20],\"points\":["
            "[0,10,20,0,0,0,0],[1,30.25,-0,0,0,0,0],[2,1,2,3,4,5,6]]}\n"
            "{\"ViewExtent\":[0,-50,100,-0],\"lines\":8,\"paths\":1,\"route\":\"lines\","
            "\"notImported\":{\"textObjects\":0,\"images\":0,\"gradientFills\":0,"
            "\"patternFills\":0,\"hiddenLayerPaths\":0},\"status\":\"\"}\n");
  std::filesystem::remove(file);
}

TEST(ListMode, OptionsReachTheReader) {
  const std::string file = TempFile("aiimport-list-flip.eps", "1 2 m\n3 4 l\nS\n");
  Outcome r = Call({"--list", file});
  // No start marker: nothing is read, and the summary and the error output say why.
  const std::string why =
      "No start marker (%%EndSetup) was found, so nothing was read: check Options \u203A Parse "
      "Everything and reload";
  EXPECT_EQ(r.out.rfind("{\"ViewExtent\":[0,-60,60,0],\"lines\":3,\"paths\":0,", 0), 0u);
  EXPECT_NE(r.out.find("\"status\":\"" + why + "\"}"), std::string::npos);
  EXPECT_EQ(r.err, "aiimport: " + why + "\n");
  r = Call({"--list", "--parse-everything", "--no-flip", file});
  EXPECT_NE(r.out.find("\"points\":[[0,1,-2,0,0,0,0],[1,3,-4,0,0,0,0]]"), std::string::npos);
  std::filesystem::remove(file);
}

TEST(ListMode, FailuresGoToStandardErrorWithExitCode2) {
  Outcome r = Call({"--list", "/no/such/file.ai"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("/no/such/file.ai"), std::string::npos);

  r = Call({"--list", std::filesystem::temp_directory_path().string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("folder"), std::string::npos);

  EXPECT_EQ(Call({"--list"}).code, 2);
  EXPECT_EQ(Call({"--list", "a.ai", "b.ai"}).code, 2);
  r = Call({"--list", "a.ai", "--frobnicate"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("--frobnicate"), std::string::npos);
}

TEST(ListMode, HelpAndWindowArguments) {
  const Outcome r = Call({"--help"});
  EXPECT_EQ(r.code, 0);
  for (const char* option :
       {"--list", "--no-flip", "--parse-everything", "--help", "AIIMPORT_THREADS"})
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
  // A plain file name is for the window.
  EXPECT_EQ(Call({"drawing.ai"}).code, -1);
  EXPECT_EQ(Call({}).code, -1);
}

}  // namespace
}  // namespace aiimport
