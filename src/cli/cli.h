// The command-line modes of aiimport, which work without a window: they read files the way a
// reload does and print or write what a user or a test wants to see.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace aiimport {

// Exit codes of the command-line modes.
inline constexpr int ExitOk = 0;
inline constexpr int ExitNothing = 1;  // nothing to do (for example no paths to import)
inline constexpr int ExitFailure = 2;  // bad arguments, unreadable input, a failed write

// Whether the program ends right after a command. When it does, what a batch read and converted
// is left for the system, which takes the whole process's memory back at its end: freeing a
// million blocks one by one would hold the program up for a tenth of its time.
enum class AfterCommand { GoOn, End };

// Runs the command line when it names one of the command-line modes (--list, --help, ...) and
// returns its exit code; returns -1 when the arguments are for the window.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   AfterCommand after = AfterCommand::GoOn);

// The text of --help.
std::string UsageText();

// The program's version ("2.5.0"), as --version prints it after the program's name.
std::string ProgramVersion();

// How many arguments from args[index] on make one of Qt's own command-line options
// (-platform NAME, --style NAME, -style=NAME, -reverse, ...): 2 for an option and its value,
// 1 for a flag or the NAME=VALUE form, 0 when args[index] is not one of Qt's.
std::size_t QtOptionLength(const std::vector<std::string>& args, std::size_t index);

// The window's arguments (after the program's name): the operands of the command line, of
// which the window loads the first when it names a file. Qt's options and their values, our own
// options and unknown options are left out; after "--" every argument is an operand, so that a
// drawing whose name starts with "-" can be opened (aiimport -- -drawing.ai).
std::vector<std::string> WindowArguments(const std::vector<std::string>& args);

// How many arguments (after the program's name) Qt may see: those before "--".
std::size_t QtArgumentCount(const std::vector<std::string>& args);

// Whether the arguments are for the window (RunCommandLine would return -1), without a word
// about them.
bool ForTheWindow(const std::vector<std::string>& args);

// The window program, which aiimport starts in its own place when the arguments are for the
// window: "aiimport-window" beside the running program (where it was built), or in
// "../libexec/aiimport" from it (where it is installed). The first of the two when neither is
// there.
std::string WindowProgramPath();

}  // namespace aiimport
