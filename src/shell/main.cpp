#include <iostream>
#include <string>
#include <vector>

#include "application.h"
#include "cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.emplace_back(argv[i]);
  const int code =
      aiimport::RunCommandLine(args, std::cout, std::cerr, aiimport::AfterCommand::End);
  if (code >= 0) return code;

  // The window. Qt is given the arguments before "--" only, so that a drawing named after it
  // is never taken for one of Qt's options; Qt takes its own options (-platform NAME, ...) out
  // of what it is given. Both stay alive as long as the application.
  std::string name = argc > 0 && argv[0] ? argv[0] : "aiimport";
  std::vector<char*> qtArgv{name.data()};
  const std::size_t forQt = aiimport::QtArgumentCount(args);
  for (std::size_t i = 1; i <= forQt; ++i)
    qtArgv.push_back(argv[i]);
  int qtArgc = static_cast<int>(qtArgv.size());
  qtArgv.push_back(nullptr);
  aiimport::TApplication app(qtArgc, qtArgv.data());
  return aiimport::RunWindow(app, aiimport::WindowArguments(args));
}
