// The parsed command line shared by the command-line modes.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "readfile.h"

namespace aiimport {

struct CommandLine {
  std::string Mode;                   // "--list", "--help", ...; empty: the window
  std::vector<std::string> Files;     // operands in order
  ReadOptions Read;                   // --no-flip, --parse-everything, --reader
  bool Reduce = false;                // --reduce ("Reduce Nodes")
  bool AutoFix = false;               // --autofix ("Auto-Fix Holes")
  std::optional<std::string> Output;  // --output PATH
  std::string Error;                  // set when the arguments make no sense
  std::vector<std::string> Unknown;   // options neither ours nor Qt's (the window ignores them)
  std::size_t OptionsEnd = 0;         // the index of "--" (everything after is an operand), or
                                      // the number of arguments without one
};

// Our options and modes anywhere before "--"; Qt's own options (with their values) are skipped,
// since they are Qt's; after "--" every argument is an operand.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The modes, one per file.
int RunList(const CommandLine& command, std::ostream& out, std::ostream& err);

}  // namespace aiimport
