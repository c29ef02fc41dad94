// The aiimport program: the command-line modes run here without Qt, whose libraries take longer
// to load than a small import takes to run; for the window, the window program takes this
// process's place with the same arguments.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.emplace_back(argv[i]);
  if (!aiimport::ForTheWindow(args))
    return aiimport::RunCommandLine(args, std::cout, std::cerr, aiimport::AfterCommand::End);

  const std::string window = aiimport::WindowProgramPath();
  std::vector<char*> windowArgv(argv, argv + argc);
  windowArgv.push_back(nullptr);
  execv(window.c_str(), windowArgv.data());
  std::cerr << "aiimport: cannot start the window program \"" << window
            << "\": " << std::strerror(errno) << '\n';
  return aiimport::ExitFailure;
}
