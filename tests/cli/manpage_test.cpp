// The manual page written from --help, and --version.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "manpage.h"

namespace aiimport {
namespace {

struct RoffCase {
  std::string Text, Roff;
};

TEST(ManPage, RoffTextEscapes) {
  const std::vector<RoffCase> cases = {
      {"plain words", "plain words"},
      {"", ""},
      {"--no-flip", "\\-\\-no\\-flip"},
      {"c:\\brelm\\temp", "c:\\ebrelm\\etemp"},
      {".ai files", "\\&.ai files"},
      {"'quoted'", "\\&'quoted'"},
      {"a .dot and a 'quote' inside", "a .dot and a 'quote' inside"},
  };
  for (const RoffCase& c : cases)
    EXPECT_EQ(RoffText(c.Text), c.Roff) << c.Text;
}

// A --help text of the same shape as the program's: a command continued on a second line, a
// description over two lines, an option whose description goes on below it.
const char* const SmallUsage = R"(Usage:
  prog [FILE]
      Open it.

  prog --go FILE
           [--far]
      Go to FILE,
      then stop.

Options:
  --far        Go far:
               farther.
  -x           X.

Environment:
  PROG_N=N     N times
               over.
)";

TEST(ManPage, CommandsAndOptionsOfASmallHelpText) {
  const std::string page = ManPage(SmallUsage, "1.2.3");
  EXPECT_EQ(page.rfind(".TH AIIMPORT 1 \"\" \"aiimport 1.2.3\" \"User Commands\"\n", 0), 0u);
  const std::vector<std::string> parts = {
      ".SH SYNOPSIS\n.nf\nprog [FILE]\nprog \\-\\-go FILE [\\-\\-far]\n.fi\n",
      ".SH MODES\n"
      ".TP\n.B\nprog [FILE]\nOpen it.\n"
      ".TP\n.B\nprog \\-\\-go FILE [\\-\\-far]\nGo to FILE, then stop.\n"
      ".SH OPTIONS\n"
      ".TP\n.B\n\\-\\-far\nGo far: farther.\n"
      ".TP\n.B\n\\-x\nX.\n"
      ".SH ENVIRONMENT\n"
      ".TP\n.B\nPROG_N=N\nN times over.\n"
      ".SH FILES\n",
  };
  for (const std::string& part : parts)
    EXPECT_NE(page.find(part), std::string::npos) << part;
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;)
    words.push_back(word);
  return words;
}

// The text of the page from MODES to FILES as a reader sees it: requests and headings left
// out, escapes undone.
std::string ModesAndOptionsAsText(const std::string& page) {
  const std::size_t begin = page.find(".SH MODES\n");
  const std::size_t end = page.find(".SH FILES\n");
  if (begin == std::string::npos || end == std::string::npos || end < begin) return {};
  std::istringstream in(page.substr(begin, end - begin));
  std::string text;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(".", 0) == 0) continue;
    std::string plain;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) {
        const char next = line[++i];
        if (next == '-') plain += '-';
        if (next == 'e') plain += '\\';
        // "\&" stands for nothing
      } else {
        plain += line[i];
      }
    }
    text += plain + '\n';
  }
  return text;
}

TEST(ManPage, SaysWhatHelpSaysWordForWord) {
  // Every word of --help but its headings, in the same order, and nothing else.
  std::vector<std::string> help = Words(UsageText());
  std::erase_if(help, [](const std::string& w) {
    return w == "Usage:" || w == "Options:" || w == "Environment:";
  });
  const std::string page = ManPage(UsageText(), ProgramVersion());
  EXPECT_EQ(Words(ModesAndOptionsAsText(page)), help);
}

struct VersionCase {
  std::vector<std::string> Args;
  int Code;
  std::string Out;
};

TEST(Version, PrintsTheProjectVersion) {
  const std::string line = std::string("aiimport ") + AIIMPORT_PROJECT_VERSION + "\n";
  const std::vector<VersionCase> cases = {
      {{"--version"}, ExitOk, line},
      {{"--version", "--version"}, ExitOk, line},
      {{"--version", "--help"}, ExitFailure, ""},
      {{"--list", "--version"}, ExitFailure, ""},
      {{"--version", "--bogus"}, ExitFailure, ""},
  };
  for (const VersionCase& c : cases) {
    std::ostringstream out, err;
    EXPECT_EQ(RunCommandLine(c.Args, out, err), c.Code) << c.Args.back();
    EXPECT_EQ(out.str(), c.Out) << c.Args.back();
    EXPECT_EQ(err.str().empty(), c.Code == ExitOk) << c.Args.back();
  }
  EXPECT_EQ(ProgramVersion(), AIIMPORT_PROJECT_VERSION);
}

}  // namespace
}  // namespace aiimport
