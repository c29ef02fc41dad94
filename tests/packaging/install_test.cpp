// `cmake --install` into a temporary prefix: every file in its usual place, and the installed
// program, manual page, desktop entry and icons as a user meets them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli.h"
#include "help.h"
#include "manpage.h"

namespace aiimport {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int Code = -1;
  std::string Out;  // standard output and standard error together
};

// Runs a shell command line (its arguments quoted by the caller).
Outcome Shell(const std::string& command) {
  Outcome run;
  FILE* pipe = popen(("{ " + command + "; } 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    run.Out.append(buffer, n);
  const int status = pclose(pipe);
  run.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string Quoted(const fs::path& path) {
  std::string out = "'";
  for (char c : path.string())
    out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool HasProgram(const std::string& name) {
  return Shell("command -v " + name + " >/dev/null").Code == 0;
}

class InstallTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    prefix_ = fs::temp_directory_path() / ("aiimport-install-" + std::to_string(::getpid()));
    fs::remove_all(prefix_);
    install_ = Shell(std::string("'") + AIIMPORT_CMAKE_COMMAND + "' --install " +
                     Quoted(AIIMPORT_BINARY_DIR) + " --prefix " + Quoted(prefix_));
  }
  static void TearDownTestSuite() { fs::remove_all(prefix_); }
  void SetUp() override { ASSERT_EQ(install_.Code, 0) << install_.Out; }

  static fs::path Installed(const std::string& relative) { return prefix_ / relative; }

  // Made once for the suite: the prefix and what installing into it said.
  inline static fs::path prefix_;
  inline static Outcome install_;
};

const std::vector<int> IconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

TEST_F(InstallTest, EveryFileInItsUsualPlace) {
  std::vector<std::string> files = {
      "bin/aiimport",
      "libexec/aiimport/aiimport-window",
      "share/applications/aiimport.desktop",
      "share/icons/hicolor/scalable/apps/aiimport.svg",
      "share/man/man1/aiimport.1.gz",
      "share/doc/aiimport/USAGE.md",
      "share/doc/aiimport/hostdir.md",
      "share/doc/aiimport/dotfile.md",
      "share/doc/aiimport/reading.md",
      "share/doc/aiimport/preview.md",
      "share/doc/aiimport/widgets.md",
      "share/doc/aiimport/images/window.png",
      "share/aiimport/samples/shapes.eps",
      "share/aiimport/samples/shapes-crlf.eps",
      "share/aiimport/samples/leaf-cr.ai",
      "share/aiimport/samples/custom-colours.eps",
  };
  for (int size : IconSizes)
    files.push_back("share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                    "/apps/aiimport.png");
  if (AIIMPORT_HTML_GUIDE)
    for (const char* page : {"USAGE", "hostdir", "dotfile"})
      files.push_back(std::string("share/doc/aiimport/") + page + ".html");
  for (const std::string& file : files)
    EXPECT_TRUE(fs::is_regular_file(Installed(file))) << file;
  EXPECT_EQ(access(Installed("bin/aiimport").c_str(), X_OK), 0);
  EXPECT_EQ(access(Installed("libexec/aiimport/aiimport-window").c_str(), X_OK), 0);
}

TEST_F(InstallTest, IconsHaveTheirSizes) {
  for (int size : IconSizes) {
    const std::string name = std::to_string(size) + "x" + std::to_string(size);
    const QImage icon(
        QString::fromStdString(Installed("share/icons/hicolor/" + name + "/apps/aiimport.png")));
    EXPECT_EQ(icon.size(), QSize(size, size)) << name;
    EXPECT_TRUE(icon.hasAlphaChannel()) << name;
  }
  const std::string svg = ReadAll(Installed("share/icons/hicolor/scalable/apps/aiimport.svg"));
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("viewBox=\"0 0 64 64\""), std::string::npos);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

TEST_F(InstallTest, DesktopEntry) {
  const fs::path entry = Installed("share/applications/aiimport.desktop");
  const std::string text = ReadAll(entry);
  for (const char* line : {"\nName=AI/EPS Import\n", "\nExec=aiimport %f\n", "\nIcon=aiimport\n",
                           "\nType=Application\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  const std::size_t mime = text.find("\nMimeType=");
  ASSERT_NE(mime, std::string::npos);
  const std::string types = text.substr(mime, text.find('\n', mime + 1) - mime) + ";";
  for (const char* type :
       {"application/illustrator;", "image/x-eps;", "application/postscript;", "application/pdf;"})
    EXPECT_NE(types.find(type), std::string::npos) << type;
  if (!HasProgram("desktop-file-validate"))
    GTEST_SKIP() << "desktop-file-validate (Debian package desktop-file-utils) is not installed";
  const Outcome validate = Shell("desktop-file-validate " + Quoted(entry));
  EXPECT_EQ(validate.Code, 0) << validate.Out;
  EXPECT_EQ(validate.Out, "");
}

TEST_F(InstallTest, TheInstalledProgramRuns) {
  const std::string program = Quoted(Installed("bin/aiimport"));
  const Outcome version = Shell(program + " --version");
  EXPECT_EQ(version.Code, 0);
  EXPECT_EQ(version.Out, std::string("aiimport ") + AIIMPORT_PROJECT_VERSION + "\n");

  const Outcome help = Shell(program + " --help");
  EXPECT_EQ(help.Code, 0);
  EXPECT_EQ(help.Out, UsageText());

  const fs::path output = prefix_ / "out" / "sample.dot";
  fs::create_directories(output.parent_path());
  const Outcome batch =
      Shell(program + " --batch " + Quoted(Installed("share/aiimport/samples/shapes.eps")) +
            " --output " + Quoted(output));
  EXPECT_EQ(batch.Code, 0) << batch.Out;
  ASSERT_TRUE(fs::is_regular_file(output));
  EXPECT_GT(fs::file_size(output), 0u);
  EXPECT_EQ(fs::file_size(output) % 10, 0u);  // whole ten-byte records
}

// The installed aiimport finds the installed window program and starts it in its place: the
// window is still open when `timeout` ends it (exit 124), and the launcher said nothing.
TEST_F(InstallTest, TheInstalledProgramOpensTheWindow) {
  const Outcome window =
      Shell("QT_QPA_PLATFORM=offscreen timeout 3 " + Quoted(Installed("bin/aiimport")) + " " +
            Quoted(Installed("share/aiimport/samples/shapes.eps")));
  EXPECT_EQ(window.Code, 124) << window.Out;
  EXPECT_EQ(window.Out.find("cannot start"), std::string::npos) << window.Out;

  // Without the window program, aiimport says which one it could not start.
  const fs::path alone = prefix_ / "alone" / "bin" / "aiimport";
  fs::create_directories(alone.parent_path());
  fs::copy_file(Installed("bin/aiimport"), alone);
  const Outcome missing = Shell("QT_QPA_PLATFORM=offscreen timeout 3 " + Quoted(alone));
  EXPECT_EQ(missing.Code, ExitFailure) << missing.Out;
  EXPECT_NE(missing.Out.find("aiimport: cannot start the window program \"" +
                             (alone.parent_path() / "aiimport-window").string() + "\""),
            std::string::npos)
      << missing.Out;
}

TEST_F(InstallTest, TheManualPageIsTheHelpText) {
  const Outcome page = Shell("gzip -dc " + Quoted(Installed("share/man/man1/aiimport.1.gz")));
  EXPECT_EQ(page.Code, 0);
  EXPECT_EQ(page.Out, ManPage(UsageText(), AIIMPORT_PROJECT_VERSION));
  if (!HasProgram("man")) GTEST_SKIP() << "man (Debian package man-db) is not installed";
  const Outcome shown =
      Shell("LC_ALL=C MANWIDTH=100 man --warnings -l " +
            Quoted(Installed("share/man/man1/aiimport.1.gz")) + " 2>&1 >/dev/null");
  EXPECT_EQ(shown.Code, 0);
  EXPECT_EQ(shown.Out, "") << "man's warnings";
  const Outcome text =
      Shell("LC_ALL=C MANWIDTH=100 man -l " + Quoted(Installed("share/man/man1/aiimport.1.gz")));
  for (const char* words : {"aiimport --version", "--parse-everything", "--output PATH"})
    EXPECT_NE(text.Out.find(words), std::string::npos) << words;
}

TEST_F(InstallTest, TheInstalledProgramFindsItsGuide) {
  const std::string guide = AIIMPORT_HTML_GUIDE ? "USAGE.html" : "USAGE.md";
  EXPECT_EQ(FindUserGuide(QString::fromStdString(Installed("bin").string())),
            QString::fromStdString(Installed("share/doc/aiimport/" + guide).string()));
}

}  // namespace
}  // namespace aiimport
