// The command-line modes of aiimport, which work without a window: they read files the way a
// reload does and print or write what a user or a test wants to see.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace aiimport {

// Exit codes of the command-line modes.
inline constexpr int ExitOk = 0;
inline constexpr int ExitNothing = 1;  // nothing to do (for example no paths to import)
inline constexpr int ExitFailure = 2;  // bad arguments, unreadable input, a failed write

// Runs the command line when it names one of the command-line modes (--list, --help, ...) and
// returns its exit code; returns -1 when the arguments are for the window.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The text of --help.
std::string UsageText();

// The program's version ("2.5.0"), as --version prints it after the program's name.
std::string ProgramVersion();

}  // namespace aiimport
