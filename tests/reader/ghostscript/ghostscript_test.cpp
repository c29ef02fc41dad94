// The Ghostscript child: every way a conversion can end leaves no process running, no private
// folder and no file outside it, and says what happened. Stand-in programs (small shell scripts
// in place of gs) show what the child gets and how each way of ending is told; the real gs is
// fed hostile PostScript and skipped with a message where it is not installed.
#include "ghostscript.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace aiimport {
namespace {

namespace fs = std::filesystem;

bool HaveGhostscript() {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (!dir.empty() && ::access((fs::path(dir) / "gs").c_str(), X_OK) == 0) return true;
  return false;
}

#define REQUIRE_GHOSTSCRIPT() \
  if (!HaveGhostscript())     \
  GTEST_SKIP() << "Ghostscript (gs, Debian package ghostscript) is not installed; skipped"

// Processes of the group that are not zombies. Zombies of killed grandchildren are left to
// init, which reaps them when it gets to it; a killed process may take a moment to die.
int LiveProcessesInGroup(int group) {
  int live = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    std::ifstream stat(entry.path() / "stat");
    std::string text;
    if (!std::getline(stat, text)) continue;
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(text.substr(close + 1));
    char state = 0;
    long parent = 0, pgrp = 0;
    if (rest >> state >> parent >> pgrp && pgrp == group && state != 'Z') ++live;
  }
  return live;
}

int LiveProcessesInGroupSettled(int group) {
  for (int i = 0; i < 500; ++i) {
    if (LiveProcessesInGroup(group) == 0) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return LiveProcessesInGroup(group);
}

// The processes whose parent is the given one.
std::vector<int> ChildrenOf(int parent) {
  std::vector<int> children;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    std::ifstream stat(entry.path() / "stat");
    std::string text;
    if (!std::getline(stat, text)) continue;
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(text.substr(close + 1));
    char state = 0;
    long ppid = 0;
    if (rest >> state >> ppid && ppid == parent)
      children.push_back(std::stoi(entry.path().filename().string()));
  }
  return children;
}

class GhostscriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name)
      if (c == '/') c = '-';
    root =
        fs::temp_directory_path() / ("aiimport-gstest-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(root);
    parent = root / "parent";
    files = root / "files";
    fs::create_directories(parent);
    fs::create_directories(files);
  }
  void TearDown() override { fs::remove_all(root); }

  fs::path Write(const std::string& name, const std::string& text, bool executable = false) {
    const fs::path path = files / name;
    std::ofstream(path, std::ios::binary) << text;
    if (executable) fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
    return path;
  }

  // A stand-in for gs: a shell script run in its place.
  GhostscriptOptions FakeOptions(const std::string& script) {
    GhostscriptOptions options = Options();
    options.Program = Write("fake-gs", "#!/bin/sh\n" + script + "\n", true).string();
    return options;
  }

  GhostscriptOptions Options() {
    GhostscriptOptions options;
    options.TempParent = parent.string();
    return options;
  }

  // Nothing may be left: the private folder gone, the child reaped, its group dead, and no
  // child of ours waiting to be reaped.
  void ExpectCleanEnd(const GhostscriptResult& result) {
    for (const auto& entry : fs::directory_iterator(parent))
      EXPECT_TRUE(keepInParent.count(entry.path().filename().string()))
          << entry.path() << " was left behind";
    if (result.ProcessId > 0) {
      const int killed = ::kill(result.ProcessId, 0);
      const int killError = errno;
      EXPECT_EQ(killed, -1) << "the child still exists";
      EXPECT_EQ(killError, ESRCH);
      EXPECT_EQ(LiveProcessesInGroupSettled(result.ProcessId), 0)
          << "a process of the child's group is still running";
    }
    const pid_t waited = ::waitpid(-1, nullptr, WNOHANG);
    const int waitError = errno;
    EXPECT_EQ(waited, -1) << "a child was left to reap";
    EXPECT_EQ(waitError, ECHILD);
    EXPECT_EQ(result.Status == GhostscriptStatus::Ok, result.Message.empty()) << result.Message;
  }

  fs::path root, parent, files;
  std::set<std::string> keepInParent;  // what the test itself put into parent
};

// ---- What the child gets ----

TEST_F(GhostscriptTest, ChildGetsFencedEnvironmentArgumentsAndLimits) {
  // What the stand-in sees, written where the PDF goes.
  GhostscriptOptions options = FakeOptions(R"sh(
{
  printf '%%PDF-1.4 stand-in\n'
  echo "cwd=$(pwd)"
  echo "TMPDIR=$TMPDIR"
  echo "TEMP=$TEMP"
  echo "TMP=$TMP"
  echo "GS_OPTIONS=${GS_OPTIONS-unset}"
  echo "GS_LIB=${GS_LIB-unset}"
  echo "KEEP=${AIIMPORT_TEST_KEEP-unset}"
  echo "stdin=$(readlink /proc/$$/fd/0)"
  echo "fd200=$(if [ -e /proc/$$/fd/200 ]; then echo open; else echo closed; fi)"
  echo "pid=$$"
  echo "pgrp=$(sed 's/.*) //' /proc/$$/stat | cut -d' ' -f3)"
  for a in "$@"; do echo "arg=$a"; done
  sed -n 's/^Max \(address space\|file size\|cpu time\|core file size\) *\([^ ]*\) *\([^ ]*\).*/\1=\2 \3/p' /proc/$$/limits
} > out.pdf)sh");
  options.MemoryLimitBytes = uint64_t{3} << 30;
  options.MaxPdfBytes = 1000000;
  options.TimeoutSeconds = 7.5;
  options.ExtraFlags = {"-dFirstPage=1"};
  const fs::path input = Write("in.eps", "%!PS\n");

  ::setenv("GS_OPTIONS", "-dNOSAFER", 1);
  ::setenv("GS_LIB", "/somewhere", 1);
  ::setenv("AIIMPORT_TEST_KEEP", "yes", 1);
  const int leaked = ::open("/dev/null", O_RDONLY);  // no close-on-exec
  ASSERT_GE(leaked, 0);
  ASSERT_EQ(::dup2(leaked, 200), 200);
  const GhostscriptResult result =
      ConvertWithGhostscript(fs::relative(input).string(), options, nullptr);
  ::close(200);
  ::close(leaked);
  ::unsetenv("GS_OPTIONS");
  ::unsetenv("GS_LIB");
  ::unsetenv("AIIMPORT_TEST_KEEP");

  ASSERT_EQ(result.Status, GhostscriptStatus::Ok) << result.Message;
  ExpectCleanEnd(result);
  std::map<std::string, std::string> seen;
  std::vector<std::string> args;
  std::istringstream lines(result.Pdf);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (line.starts_with("arg="))
      args.push_back(line.substr(4));
    else
      seen[line.substr(0, eq)] = line.substr(eq + 1);
  }
  // Its own folder, made in the parent we named, is its working folder and its TMPDIR.
  const fs::path folder = seen["cwd"];
  EXPECT_EQ(folder.parent_path(), parent);
  EXPECT_TRUE(folder.filename().string().starts_with("aiimport-gs-")) << folder;
  EXPECT_EQ(seen["TMPDIR"], folder.string());
  EXPECT_EQ(seen["TEMP"], folder.string());
  EXPECT_EQ(seen["TMP"], folder.string());
  EXPECT_EQ(seen["GS_OPTIONS"], "unset");
  EXPECT_EQ(seen["GS_LIB"], "unset");
  EXPECT_EQ(seen["KEEP"], "yes");
  EXPECT_EQ(seen["stdin"], "/dev/null");
  EXPECT_EQ(seen["fd200"], "closed");
  EXPECT_EQ(seen["pid"], std::to_string(result.ProcessId));
  EXPECT_EQ(seen["pgrp"], std::to_string(result.ProcessId));
  const std::vector<std::string> expected = {"-dBATCH",
                                             "-dNOPAUSE",
                                             "-dQUIET",
                                             "-sDEVICE=pdfwrite",
                                             "-dEPSCrop",
                                             "-dNoOutputFonts",
                                             "-dFirstPage=1",
                                             "-dSAFER",
                                             "-sOutputFile=out.pdf",
                                             "-f",
                                             fs::canonical(input).string()};
  EXPECT_EQ(args, expected);
  // 3 GB of address space; files up to one byte over the PDF limit; processor time the clock
  // limit rounded up plus one second, hard two more; no core dumps.
  EXPECT_EQ(seen["address space"], "3221225472 3221225472");
  EXPECT_EQ(seen["file size"], "1000001 1000001");
  EXPECT_EQ(seen["cpu time"], "9 11");
  EXPECT_EQ(seen["core file size"], "0 0");
}

// ---- How each ending is told (stand-in programs) ----

struct Ending {
  const char* name;
  const char* script;
  void (*adjust)(GhostscriptOptions&);
  GhostscriptStatus status;
  const char* message;  // the whole message, or its start when it ends in "..."
};

void NoChange(GhostscriptOptions&) {}
void SmallPdf(GhostscriptOptions& o) {
  o.MaxPdfBytes = 1000;
}
void SmallPrinted(GhostscriptOptions& o) {
  o.MaxPrintedBytes = 100000;
}
void SmallFolder(GhostscriptOptions& o) {
  o.MaxFolderBytes = 500000;
}
void HalfSecond(GhostscriptOptions& o) {
  o.TimeoutSeconds = 0.5;
}

const Ending Endings[] = {
    {"Pdf", "printf '%%PDF-1.4\\n%%%%EOF\\n' > out.pdf", NoChange, GhostscriptStatus::Ok, ""},
    {"ErrorLine",
     "printf 'Warning: something\\nError: /undefined in   foo\\n\\tOperand stack:\\n' >&2; exit 1",
     NoChange, GhostscriptStatus::Failed,
     "Ghostscript could not read this file: Error: /undefined in foo"},
    {"ControlCodesInErrorLine", "printf 'Error: \\033[2J/bad\\001 in x\\n'; exit 1", NoChange,
     GhostscriptStatus::Failed, "Ghostscript could not read this file: Error: ?[2J/bad? in x"},
    {"ExitCodeOnly", "exit 3", NoChange, GhostscriptStatus::Failed,
     "Ghostscript could not read this file (exit code 3)"},
    {"VMerror", "echo 'Error: /VMerror in --string--'; exit 1", NoChange,
     GhostscriptStatus::OutOfMemory,
     "Ghostscript needed more than 2 GB of memory for this file and was stopped"},
    {"Crash", "kill -SEGV $$", NoChange, GhostscriptStatus::Failed,
     "Ghostscript crashed while converting this file (signal 11)"},
    // The file-size limit kills the writer: here the shell's child, then the shell fails.
    {"PdfOverLimitChild", "head -c 5000 /dev/zero > out.pdf", SmallPdf, GhostscriptStatus::TooLarge,
     "Ghostscript's PDF of this file is larger than 1000 bytes..."},
    {"PdfOverLimitItself", "exec head -c 5000 /dev/zero > out.pdf", SmallPdf,
     GhostscriptStatus::TooLarge, "Ghostscript's PDF of this file is larger than 1000 bytes..."},
    {"NoPdf", "echo done", NoChange, GhostscriptStatus::Failed,
     "Ghostscript made no PDF from this file"},
    {"NotPdf", "echo 'PK zip' > out.pdf", NoChange, GhostscriptStatus::Failed,
     "Ghostscript's output is not a PDF file"},
    {"PrintsForever", "yes", SmallPrinted, GhostscriptStatus::TooLarge,
     "Ghostscript printed more than 100000 bytes of messages for this file and was stopped"},
    {"FillsFolder", "head -c 300000 /dev/zero > a; head -c 300000 /dev/zero > b; sleep 60",
     SmallFolder, GhostscriptStatus::TooLarge,
     "Ghostscript wrote more than 500000 bytes of temporary files for this file and was "
     "stopped"},
    {"SleepsForever", "sleep 60", HalfSecond, GhostscriptStatus::TimedOut,
     "Ghostscript took longer than 0.5 s to convert this file and was stopped..."},
    // What it leaves running after a good end is killed with it.
    {"LeavesChildRunning", "sleep 60 & printf '%%PDF-1.4\\n' > out.pdf", NoChange,
     GhostscriptStatus::Ok, ""},
};

class GhostscriptEnding : public GhostscriptTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(GhostscriptEnding, EndsCleanlyWithItsMessage) {
  const Ending& e = GetParam();
  GhostscriptOptions options = FakeOptions(e.script);
  e.adjust(options);
  const GhostscriptResult result =
      ConvertWithGhostscript(Write("in.ps", "%!PS\n").string(), options, [] { return false; });
  EXPECT_EQ(result.Status, e.status)
      << GhostscriptStatusName(result.Status) << ": " << result.Message;
  const std::string message = e.message;
  if (message.ends_with("..."))
    EXPECT_TRUE(result.Message.starts_with(message.substr(0, message.size() - 3)))
        << result.Message;
  else
    EXPECT_EQ(result.Message, message);
  EXPECT_GT(result.ProcessId, 0);
  EXPECT_GE(result.Seconds, 0);
  if (e.status == GhostscriptStatus::Ok)
    EXPECT_TRUE(result.Pdf.starts_with("%PDF-1.4\n"));
  else
    EXPECT_TRUE(result.Pdf.empty());
  ExpectCleanEnd(result);
}

INSTANTIATE_TEST_SUITE_P(StandIn, GhostscriptEnding, ::testing::ValuesIn(Endings),
                         [](const auto& info) { return std::string(info.param.name); });

// The processor-time limit ends a child that spins while the window is busy (the clock is
// then not looked at): SIGXCPU, told as a time-out.
TEST_F(GhostscriptTest, ProcessorTimeLimitEndsASpinningChild) {
  GhostscriptOptions options = FakeOptions("while :; do :; done");
  options.TimeoutSeconds = 0.2;  // processor time: 1 s rounded up, plus 1
  std::optional<siginfo_t> ended;
  const GhostscriptResult result =
      ConvertWithGhostscript(Write("in.ps", "%!PS\n").string(), options, [&] {
        // Busy for as long as the child lives (at most 60 s), then see how it ended.
        for (int i = 0; i < 6000 && !ended; ++i) {
          siginfo_t info{};
          if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0)
            ended = info;
          else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
      });
  ASSERT_TRUE(ended.has_value());
  EXPECT_EQ(ended->si_code, CLD_KILLED);
  EXPECT_EQ(ended->si_status, SIGXCPU);
  EXPECT_EQ(result.Status, GhostscriptStatus::TimedOut) << result.Message;
  EXPECT_TRUE(result.Message.starts_with("Ghostscript took longer than 0.2 s")) << result.Message;
  ExpectCleanEnd(result);
}

TEST_F(GhostscriptTest, AbortFromThePollEndsTheChildAtOnce) {
  GhostscriptOptions options = FakeOptions("sleep 60");
  options.TimeoutSeconds = 60;
  int calls = 0;
  const GhostscriptResult result = ConvertWithGhostscript(Write("in.ps", "%!PS\n").string(),
                                                          options, [&] { return ++calls == 3; });
  EXPECT_EQ(result.Status, GhostscriptStatus::Aborted);
  EXPECT_EQ(result.Message, "Converting PostScript was aborted");
  EXPECT_EQ(calls, 3);  // called while waiting, and not again after the abort
  ExpectCleanEnd(result);
}

TEST_F(GhostscriptTest, ExceptionFromThePollEndsTheChildAndGoesOn) {
  GhostscriptOptions options = FakeOptions("sleep 60");
  std::vector<int> children;
  EXPECT_THROW(ConvertWithGhostscript(Write("in.ps", "%!PS\n").string(), options,
                                      [&]() -> bool {
                                        children = ChildrenOf(::getpid());
                                        throw std::runtime_error("window closed");
                                      }),
               std::runtime_error);
  ASSERT_EQ(children.size(), 1u);
  GhostscriptResult ended;
  ended.Status = GhostscriptStatus::Aborted;
  ended.Message = "thrown";
  ended.ProcessId = children[0];
  ExpectCleanEnd(ended);
}

// ---- Missing program, unreadable input, refused flags ----

TEST_F(GhostscriptTest, MissingProgramSaysToInstallGhostscript) {
  const fs::path notExecutable = Write("plain-file", "not a program");
  struct Case {
    std::string program;
    GhostscriptStatus status;
    const char* message;
  };
  const Case cases[] = {
      {(root / "no-such-folder" / "gs").string(), GhostscriptStatus::Missing,
       "Install Ghostscript (Debian package ghostscript) to read this file fully"},
      {"aiimport-no-such-program-in-path", GhostscriptStatus::Missing,
       "Install Ghostscript (Debian package ghostscript) to read this file fully"},
      {"", GhostscriptStatus::Missing,
       "Install Ghostscript (Debian package ghostscript) to read this file fully"},
      {notExecutable.string(), GhostscriptStatus::Failed,
       "Ghostscript could not be started: Permission denied"},
  };
  const std::string input = Write("in.ps", "%!PS\n").string();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program);
    GhostscriptOptions options = Options();
    options.Program = c.program;
    const GhostscriptResult result = ConvertWithGhostscript(input, options);
    EXPECT_EQ(result.Status, c.status);
    EXPECT_EQ(result.Message, c.message);
    ExpectCleanEnd(result);
  }
}

TEST_F(GhostscriptTest, InputThatIsNoReadableFileStartsNothing) {
  GhostscriptOptions options = FakeOptions("printf '%%PDF\\n' > out.pdf");
  for (const std::string& input :
       {(files / "absent.eps").string(), files.string(), std::string()}) {
    SCOPED_TRACE(input);
    const GhostscriptResult result = ConvertWithGhostscript(input, options);
    EXPECT_EQ(result.Status, GhostscriptStatus::Failed);
    EXPECT_TRUE(result.Message.starts_with("The file could not be opened")) << result.Message;
    EXPECT_EQ(result.ProcessId, 0);
    ExpectCleanEnd(result);
  }
}

TEST_F(GhostscriptTest, ExtraFlagsThatWouldWeakenTheFenceAreRefused) {
  const std::string input = Write("in.ps", "%!PS\n").string();
  for (const char* flag :
       {"-dNOSAFER", "-dnosafer", "-dDELAYSAFER", "-dSAFER=false", "-dDEVICE=x11", "-dOutputFile=x",
        "-sDEVICE=x11", "-c", "-d", "-d1X", "-dX=a/b", "-dX=a b", "-dX Y", "input.ps"}) {
    SCOPED_TRACE(flag);
    GhostscriptOptions options = FakeOptions("printf '%%PDF\\n' > out.pdf");
    options.ExtraFlags = {"-dFirstPage=1", flag};
    EXPECT_THROW(ConvertWithGhostscript(input, options), std::invalid_argument);
    EXPECT_TRUE(fs::is_empty(parent));
  }
  for (const char* flag :
       {"-dFirstPage=1", "-dNOTRANSPARENCY", "-dCompatibilityLevel=1.4", "-dX=-1.5e+3"}) {
    SCOPED_TRACE(flag);
    GhostscriptOptions options = FakeOptions("printf '%%PDF\\n' > out.pdf");
    options.ExtraFlags = {flag};
    EXPECT_EQ(ConvertWithGhostscript(input, options).Status, GhostscriptStatus::Ok);
  }
}

// ---- The time limit from the environment ----

TEST(GhostscriptTimeout, FromText) {
  const struct {
    const char* text;
    double seconds;
  } cases[] = {
      {nullptr, 60},     {"", 60},    {"90", 90},    {"2.5", 2.5},       {" 45\t", 45},
      {"1e3", 1000},     {"0", 60},   {"-5", 60},    {"abc", 60},        {"30s", 60},
      {"nan", 60},       {"inf", 60}, {"1e400", 60}, {"604800", 604800}, {"604801", 60},
      {"0.0001", 0.001}, {"3,5", 60},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(unset)");
    EXPECT_EQ(GhostscriptTimeoutFromText(c.text), c.seconds);
  }
}

TEST(GhostscriptTimeout, OptionsBeforeEnvironment) {
  ::setenv("AIIMPORT_GS_TIMEOUT", "12", 1);
  GhostscriptOptions options;
  EXPECT_EQ(GhostscriptTimeout(options), 12);
  options.TimeoutSeconds = 3;
  EXPECT_EQ(GhostscriptTimeout(options), 3);
  options.TimeoutSeconds = -1;
  EXPECT_EQ(GhostscriptTimeout(options), 0.001);
  ::unsetenv("AIIMPORT_GS_TIMEOUT");
  options.TimeoutSeconds.reset();
  EXPECT_EQ(GhostscriptTimeout(options), 60);
}

// ---- The real Ghostscript ----

const char* const GoodEps =
    "%!PS-Adobe-3.0 EPSF-3.0\n"
    "%%BoundingBox: 0 0 100 100\n"
    "newpath 10 10 moveto 90 10 lineto 50 90 lineto closepath fill\n"
    "showpage\n";

TEST_F(GhostscriptTest, SmallEpsBecomesPdfAndThatPdfConvertsAgain) {
  REQUIRE_GHOSTSCRIPT();
  const GhostscriptResult eps =
      ConvertWithGhostscript(Write("good.eps", GoodEps).string(), Options());
  ASSERT_EQ(eps.Status, GhostscriptStatus::Ok) << eps.Message << "\n" << eps.PrintedTail;
  EXPECT_TRUE(eps.Pdf.starts_with("%PDF-"));
  EXPECT_NE(eps.Pdf.find("%%EOF"), std::string::npos);
  EXPECT_EQ(eps.ErrorLine, "");
  ExpectCleanEnd(eps);

  const GhostscriptResult pdf =
      ConvertWithGhostscript(Write("good.pdf", eps.Pdf).string(), Options());
  ASSERT_EQ(pdf.Status, GhostscriptStatus::Ok) << pdf.Message;
  EXPECT_TRUE(pdf.Pdf.starts_with("%PDF-"));
  ExpectCleanEnd(pdf);
}

TEST_F(GhostscriptTest, LetteringBecomesOutlines) {
  REQUIRE_GHOSTSCRIPT();
  const std::string input = Write("text.eps",
                                  "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 50\n"
                                  "/Helvetica findfont 24 scalefont setfont 10 10 moveto "
                                  "(Sign) show showpage\n")
                                .string();
  // With fonts switched back on, the same file has a font: the check below can see one.
  for (const bool outlines : {true, false}) {
    SCOPED_TRACE(outlines ? "outlines" : "fonts");
    GhostscriptOptions options = Options();
    if (!outlines) options.ExtraFlags = {"-dNoOutputFonts=false"};
    const GhostscriptResult result = ConvertWithGhostscript(input, options);
    ASSERT_EQ(result.Status, GhostscriptStatus::Ok) << result.Message;
    EXPECT_EQ(result.Pdf.find("/Font") == std::string::npos, outlines);
    ExpectCleanEnd(result);
  }
}

struct Hostile {
  const char* name;
  const char* program;
  double timeout;  // seconds: short for the files that never end by themselves
  GhostscriptStatus status;
  const char* message;  // the whole message, or its start when it ends in "..."
};

// A million open braces: nesting that the scanner would have to follow without end.
const std::string DeepBraces = "%!PS\n" + std::string(1000000, '{') + "\n";

const Hostile HostileFiles[] = {
    {"LoopsForever", "%!PS\n{ } loop\n", 1, GhostscriptStatus::TimedOut,
     "Ghostscript took longer than 1 s to convert this file and was stopped..."},
    {"TailRecursionLoops", "%!PS\n/f { f } def f\n", 1, GhostscriptStatus::TimedOut,
     "Ghostscript took longer than 1 s to convert this file and was stopped..."},
    {"AllocatesWithoutEnd", "%!PS\n/l null def { /l [l 1000000 string] def } loop\n", 60,
     GhostscriptStatus::OutOfMemory,
     "Ghostscript needed more than 256 MB of memory for this file and was stopped"},
    {"RecursesOnExecutionStack", "%!PS\n/f { f 1 } def f\n", 60, GhostscriptStatus::Failed,
     "Ghostscript could not read this file: Error: /execstackoverflow in f"},
    {"RecursesOnOperandStack", "%!PS\n/f { 1 f } def f\n", 60, GhostscriptStatus::Failed,
     "Ghostscript could not read this file: Error: /stackoverflow in ..."},
    {"RecursesOnDictionaryStack", "%!PS\n/f { 1 dict begin f } def f\n", 60,
     GhostscriptStatus::Failed,
     "Ghostscript could not read this file: Error: /dictstackoverflow in ..."},
    {"NestsWithoutEnd", DeepBraces.c_str(), 60, GhostscriptStatus::Failed,
     "Ghostscript could not read this file: Error: /stackoverflow in ..."},
    {"UndefinedName", "%!PS\n/foo\nfoo\n", 60, GhostscriptStatus::Failed,
     "Ghostscript could not read this file: Error: /undefined in foo"},
};

class GhostscriptHostile : public GhostscriptTest, public ::testing::WithParamInterface<Hostile> {};

TEST_P(GhostscriptHostile, EndsCleanlyWithItsMessage) {
  REQUIRE_GHOSTSCRIPT();
  const Hostile& h = GetParam();
  GhostscriptOptions options = Options();
  options.TimeoutSeconds = h.timeout;
  options.MemoryLimitBytes = uint64_t{256} << 20;
  const GhostscriptResult result =
      ConvertWithGhostscript(Write("hostile.ps", h.program).string(), options);
  EXPECT_EQ(result.Status, h.status)
      << GhostscriptStatusName(result.Status) << ": " << result.Message << "\n"
      << result.PrintedTail;
  const std::string message = h.message;
  if (message.ends_with("..."))
    EXPECT_TRUE(result.Message.starts_with(message.substr(0, message.size() - 3)))
        << result.Message;
  else
    EXPECT_EQ(result.Message, message);
  EXPECT_TRUE(result.Pdf.empty());
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(files))
    left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"hostile.ps"});
  ExpectCleanEnd(result);
}

INSTANTIATE_TEST_SUITE_P(Ghostscript, GhostscriptHostile, ::testing::ValuesIn(HostileFiles),
                         [](const auto& info) { return std::string(info.param.name); });

// A file that reaches for local files: next to itself, next to the private folder (both in the
// system's temporary folder, which Ghostscript would let it use unless TMPDIR is its own) and
// under the home folder. Each attempt is caught in the file, so a PDF is made: its title holds
// what was read, or DENIED.
TEST_F(GhostscriptTest, FileCannotReadOrWriteLocalFiles) {
  REQUIRE_GHOSTSCRIPT();
  const std::string secret = "TOPSECRET4711";
  const std::vector<fs::path> secrets = {Write("secret.txt", secret + "\n"), parent / "secret.txt"};
  std::ofstream(secrets[1]) << secret << "\n";
  keepInParent.insert("secret.txt");
  const std::vector<fs::path> targets = {
      files / "written.txt", parent / "written.txt",
      fs::temp_directory_path() /
          ("aiimport-gstest-written-" + std::to_string(::getpid()) + ".txt")};
  for (const fs::path& secretPath : secrets) {
    for (const fs::path& target : targets) {
      SCOPED_TRACE(secretPath.string() + " / " + target.string());
      const std::string program =
          "%!PS\n"
          "/result (DENIED) def\n"
          "{ (" +
          secretPath.string() +
          ") (r) file 100 string readstring pop /result exch def }"
          " stopped pop\n"
          "{ (" +
          target.string() + ") (w) file dup (" + secret +
          ") writestring closefile }"
          " stopped pop\n"
          "[ /Title result /DOCINFO pdfmark\n"
          "newpath 0 0 moveto 10 10 lineto stroke showpage\n";
      const GhostscriptResult result =
          ConvertWithGhostscript(Write("reach.ps", program).string(), Options());
      ASSERT_EQ(result.Status, GhostscriptStatus::Ok) << result.Message;
      EXPECT_NE(result.Pdf.find("(DENIED)"), std::string::npos);
      EXPECT_EQ(result.Pdf.find(secret), std::string::npos) << "the secret reached the PDF";
      EXPECT_FALSE(fs::exists(target)) << "a file was written outside the private folder";
      ExpectCleanEnd(result);
      fs::remove(target);  // only there when the check above failed
    }
  }
}

// The EPS files of other programs in the shared corpus.
TEST_F(GhostscriptTest, CorpusEpsFilesConvert) {
  REQUIRE_GHOSTSCRIPT();
  const fs::path corpus = AIIMPORT_CORPUS_DIR;
  if (!fs::is_directory(corpus))
    GTEST_SKIP() << "The corpus folder " << corpus << " is absent; corpus files skipped";
  for (const char* name : {"duojs-logo.eps", "matplotlib-scatter.eps",
                           "python-pillow-reqd_showpage.eps", "imagemagick-logo.eps"}) {
    SCOPED_TRACE(name);
    if (!fs::exists(corpus / name)) continue;
    const GhostscriptResult result = ConvertWithGhostscript((corpus / name).string(), Options());
    EXPECT_EQ(result.Status, GhostscriptStatus::Ok) << result.Message;
    EXPECT_TRUE(result.Pdf.starts_with("%PDF-"));
    ExpectCleanEnd(result);
  }
}

}  // namespace
}  // namespace aiimport
