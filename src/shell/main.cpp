#include <iostream>
#include <string>
#include <vector>

#include "cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const int code = aiimport::RunCommandLine(args, std::cout, std::cerr);
  if (code >= 0) return code;
  std::cerr << "aiimport: the window is not available in this build; see aiimport --help\n";
  return aiimport::ExitFailure;
}
