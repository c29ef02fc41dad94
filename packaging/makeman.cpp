// Writes the manual page aiimport(1) from the text of --help: makeman OUT.1
#include <fstream>
#include <iostream>

#include "cli.h"
#include "manpage.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: makeman OUT.1\n";
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary);
  out << aiimport::ManPage(aiimport::UsageText(), aiimport::ProgramVersion());
  out.close();
  if (!out) {
    std::cerr << "makeman: cannot write " << argv[1] << '\n';
    return 2;
  }
  return 0;
}
