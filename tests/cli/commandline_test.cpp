// The command line shared by the window and the modes: Qt's own options, unknown options in
// window mode, and "--".
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "testfiles.h"

namespace aiimport {
namespace {

using Args = std::vector<std::string>;

struct WindowCase {
  Args args;
  Args files;           // what the window is given
  std::size_t qtArgs;   // how many arguments Qt sees
  std::string ignored;  // the unknown option reported on standard error, if any
};

TEST(CommandLine, QtOptionsAndTheirValuesAreLeftToQt) {
  const WindowCase cases[] = {
      {{"-platform", "offscreen", "drawing.ai"}, {"drawing.ai"}, 3, ""},
      {{"--platform", "offscreen", "drawing.ai"}, {"drawing.ai"}, 3, ""},
      {{"-platform=offscreen", "drawing.ai"}, {"drawing.ai"}, 2, ""},
      {{"-style", "fusion", "-geometry", "800x600+0+0", "drawing.ai"}, {"drawing.ai"}, 5, ""},
      {{"-style=fusion", "drawing.ai"}, {"drawing.ai"}, 2, ""},
      {{"-stylesheet", "look.qss", "drawing.ai"}, {"drawing.ai"}, 3, ""},
      {{"-stylesheet=look.qss", "drawing.ai"}, {"drawing.ai"}, 2, ""},
      {{"-display", ":1", "drawing.ai"}, {"drawing.ai"}, 3, ""},
      {{"-platformpluginpath", "/p", "-platformtheme", "gtk3", "drawing.ai"},
       {"drawing.ai"},
       5,
       ""},
      {{"-plugin", "evdevtouch", "-session", "s_1", "drawing.ai"}, {"drawing.ai"}, 5, ""},
      {{"-qmljsdebugger=port:1234", "drawing.ai"}, {"drawing.ai"}, 2, ""},
      {{"-qmljsdebugger", "port:1234", "drawing.ai"}, {"drawing.ai"}, 3, ""},
      {{"-qwindowgeometry", "10x10", "-qwindowtitle", "T", "-qwindowicon", "i.png", "a.ai"},
       {"a.ai"},
       7,
       ""},
      {{"-title", "T", "-name", "n", "-icon", "i.png", "-visual", "TrueColor", "a.ai"},
       {"a.ai"},
       9,
       ""},
      {{"-ncols", "16", "-fontengine", "freetype", "-dialogs", "xp", "a.ai"}, {"a.ai"}, 7, ""},
      // Flags take no value: the drawing after them stays the window's.
      {{"-reverse", "-widgetcount", "-sync", "-nograb", "-dograb", "-cmap", "a.ai"},
       {"a.ai"},
       7,
       ""},
      {{"--reverse", "a.ai"}, {"a.ai"}, 2, ""},
      // An option with a value that ends the line has nothing to take.
      {{"a.ai", "-style"}, {"a.ai"}, 2, ""},
      // Not Qt's: a flag with a value, or a name Qt does not know.
      {{"-reverse=yes", "a.ai"}, {"a.ai"}, 2, "-reverse=yes"},
      {{"-styles", "a.ai"}, {"a.ai"}, 2, "-styles"},
      {{"--frobnicate"}, {}, 1, "--frobnicate"},
      // A name that is no file still goes to the window, which then opens empty.
      {{"no-such-drawing"}, {"no-such-drawing"}, 1, ""},
      {{"-"}, {"-"}, 1, ""},
      {{}, {}, 0, ""},
      // After "--" everything is a file name, and Qt does not see it.
      {{"--", "-drawing.ai"}, {"-drawing.ai"}, 0, ""},
      {{"-style", "fusion", "--", "-platform", "--list"}, {"-platform", "--list"}, 2, ""},
      {{"-platform", "xcb", "--", "--"}, {"--"}, 2, ""},
      // "--" as the value of a Qt option is that value.
      {{"-title", "--", "a.ai"}, {"a.ai"}, 3, ""},
      // Our own options mean nothing to the window.
      {{"--no-flip", "--reduce", "a.ai"}, {"a.ai"}, 3, ""},
  };
  for (const WindowCase& c : cases) {
    std::string shown;
    for (const std::string& a : c.args)
      shown += a + " ";
    SCOPED_TRACE(shown);
    std::ostringstream out, err;
    EXPECT_EQ(RunCommandLine(c.args, out, err), -1);  // the window
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(),
              c.ignored.empty() ? "" : "aiimport: unknown option " + c.ignored + " ignored\n");
    EXPECT_EQ(WindowArguments(c.args), c.files);
    EXPECT_EQ(QtArgumentCount(c.args), c.qtArgs);
  }
}

TEST(CommandLine, QtOptionLengthCountsTheOptionAndItsValue) {
  const Args args{"-platform", "xcb", "--style=fusion", "-reverse", "x.ai", "-display"};
  EXPECT_EQ(QtOptionLength(args, 0), 2u);
  EXPECT_EQ(QtOptionLength(args, 1), 0u);  // a value on its own is not an option
  EXPECT_EQ(QtOptionLength(args, 2), 1u);
  EXPECT_EQ(QtOptionLength(args, 3), 1u);
  EXPECT_EQ(QtOptionLength(args, 4), 0u);
  EXPECT_EQ(QtOptionLength(args, 5), 1u);  // the last argument: no value to take
  EXPECT_EQ(QtOptionLength(args, 6), 0u);  // past the end
}

class ModesWithQtOptions : public ::testing::Test {
 protected:
  // A folder of each test's own: ctest runs this suite's tests at the same time, each in its own
  // process, and one's end must not take another's file away.
  testing::ScratchFolder scratch_{"aiimport-commandline-test"};
  const std::filesystem::path& dir_ = scratch_.Path();
  // A file whose name starts with "-", one path of three points.
  std::string dashed_ = scratch_.File("-drawing.eps", "%%EndSetup\n10 10 m\n20 10 l\n20 20 l\nf\n");

  int Run(const Args& args, std::string& out, std::string& err) {
    std::ostringstream o, e;
    const int code = RunCommandLine(args, o, e);
    out = o.str();
    err = e.str();
    return code;
  }
};

TEST_F(ModesWithQtOptions, ModesStillReportUnknownOptions) {
  std::string out, err;
  EXPECT_EQ(Run({"--list", dashed_, "--frobnicate"}, out, err), ExitFailure);
  EXPECT_EQ(err, "aiimport: Unknown option --frobnicate (see aiimport --help)\n");
  EXPECT_EQ(Run({"--frobnicate", "--batch", dashed_}, out, err), ExitFailure);
  EXPECT_NE(err.find("--frobnicate"), std::string::npos);
  EXPECT_EQ(Run({"-h"}, out, err), ExitOk);
  EXPECT_NE(out.find("Usage:"), std::string::npos);
}

TEST_F(ModesWithQtOptions, QtOptionsAreLeftAsideAndDashDashNamesAFile) {
  // The file is named by "--" through its folder-less name: run from its folder.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  std::string plain, out, err;
  EXPECT_EQ(Run({"--list", "--", "-drawing.eps"}, plain, err), ExitOk) << err;
  EXPECT_NE(plain.find("\"count\":3"), std::string::npos) << plain;
  EXPECT_EQ(
      Run({"-platform", "offscreen", "--list", "-style=fusion", "--", "-drawing.eps"}, out, err),
      ExitOk)
      << err;
  EXPECT_EQ(out, plain);
  // Without "--" the name is an unknown option.
  EXPECT_EQ(Run({"--list", "-drawing.eps"}, out, err), ExitFailure);
  EXPECT_EQ(err, "aiimport: Unknown option -drawing.eps (see aiimport --help)\n");
  std::filesystem::current_path(before);
}

}  // namespace
}  // namespace aiimport
