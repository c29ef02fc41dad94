#include <iostream>
#include <string>
#include <vector>

#include "application.h"
#include "cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const int code = aiimport::RunCommandLine(args, std::cout, std::cerr);
  if (code >= 0) return code;

  aiimport::TApplication app(argc, argv);
  // Qt has taken its own options (such as -platform) out of the arguments by now.
  std::vector<std::string> arguments;
  const QStringList list = QCoreApplication::arguments();
  for (qsizetype i = 1; i < list.size(); ++i)
    arguments.push_back(list[i].toStdString());
  return aiimport::RunWindow(app, arguments);
}
