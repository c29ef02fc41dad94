// The aiimport program: the command-line modes run here without Qt, whose libraries take longer
// to load than a small import takes to run; for the window, the window program takes this
// process's place with the same arguments.
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "cli.h"
#include "ownprogram.h"

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.emplace_back(argv[i]);
  if (!aiimport::ForTheWindow(args))
    return aiimport::RunCommandLine(args, std::cout, std::cerr, aiimport::AfterCommand::End);

  const std::string window = aiimport::WindowProgramPath();
  std::vector<char*> windowArgv(argv, argv + argc);
  windowArgv.push_back(nullptr);
  const std::error_code error = aiimport::RunInstead(window, windowArgv.data());
  std::cerr << "aiimport: cannot start the window program \"" << window << "\": " << error.message()
            << '\n';
  return aiimport::ExitFailure;
}
