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
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The modes, one per file.
int RunList(const CommandLine& command, std::ostream& out, std::ostream& err);

}  // namespace aiimport
