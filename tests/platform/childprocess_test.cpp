// The child process, with /bin/sh running a script as the child: each way of ending is told as
// such, with what it printed, and nothing it started outlives the call.
#include "childprocess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <thread>

#include "testfiles.h"

namespace aiimport {
namespace {

struct Case {
  const char* name;
  const char* script;  // run as sh -c SCRIPT sh one two, in the scratch folder
  ChildEnd end;
  int code = 0;              // the exit code or the signal
  const char* printed = "";  // what the child printed, exactly; nullptr: not looked at
  double timeout = 60;       // seconds by the clock
  uint64_t maxOutput = UINT64_MAX;
  uint64_t fileBytes = UINT64_MAX;
  bool stop = false;  // the poll stops it once it has printed something
  const char* program = "/bin/sh";
};

const Case Cases[] = {
    {.name = "ArgumentsFolderEnvironment",
     .script = "echo \"$1 $2\"; basename \"$(pwd)\"; echo \"$FOO\" >&2; cat",
     .end = ChildEnd::Exited,
     .printed = "one two\nchild-folder\nbar\n"},
    {.name = "ExitCode", .script = "exit 3", .end = ChildEnd::Exited, .code = 3},
    {.name = "Signal", .script = "kill -TERM $$", .end = ChildEnd::Crashed, .code = SIGTERM},
    {.name = "Clock", .script = "sleep 60", .end = ChildEnd::TimedOut, .timeout = 0.3},
    {.name = "OutputBound",
     .script = "yes",
     .end = ChildEnd::OutputTooLarge,
     .printed = nullptr,
     .maxOutput = 100000},
    {.name = "FileSize",
     .script = "exec head -c 5000 /dev/zero > out",
     .end = ChildEnd::FileTooLarge,
     .fileBytes = 1000},
    {.name = "StopKillsWhatItStarted",
     .script = "sleep 60 & echo $!; exec sleep 60",
     .end = ChildEnd::Stopped,
     .printed = nullptr,
     .stop = true},
    {.name = "MissingProgram", .script = "", .end = ChildEnd::Missing, .program = "/no-such/sh"},
};

// Whether the process is gone or a zombie (a killed grandchild waits for init to reap it),
// waiting a little for the kill to take effect.
bool Dead(const std::string& pid) {
  for (int i = 0; i < 500; ++i) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string text;
    if (!std::getline(stat, text) || text.substr(text.rfind(')') + 2, 1) == "Z") return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

class ChildProcessTest : public ::testing::TestWithParam<Case> {};

TEST_P(ChildProcessTest, EndsAsTold) {
  const Case& c = GetParam();
  const testing::ScratchFolder scratch("aiimport-platformtest");
  const std::filesystem::path folder = scratch.Path() / "child-folder";
  std::filesystem::create_directory(folder);
  ChildRequest request{.Program = c.program,
                       .Arguments = {"-c", c.script, "sh", "one", "two"},
                       .Environment = {"FOO=bar", "PATH=/usr/bin:/bin"},
                       .Folder = folder.string(),
                       .TimeoutSeconds = c.timeout,
                       .FileBytes = c.fileBytes,
                       .MaxOutputBytes = c.maxOutput};
  std::string printed;
  const ChildResult result = RunChild(
      request, [&](std::string_view text) { printed += text; },
      [&] { return c.stop && !printed.empty(); });
  EXPECT_EQ(result.End, c.end);
  EXPECT_EQ(c.end == ChildEnd::Crashed ? result.Signal : result.ExitCode, c.code);
  if (c.printed) {
    EXPECT_EQ(printed, c.printed);
  }
  if (c.maxOutput != UINT64_MAX) {
    EXPECT_GT(printed.size(), c.maxOutput);
  }
  if (c.stop) {
    EXPECT_TRUE(Dead(printed.substr(0, printed.find('\n')))) << printed;
  }
}

INSTANTIATE_TEST_SUITE_P(Sh, ChildProcessTest, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace aiimport
