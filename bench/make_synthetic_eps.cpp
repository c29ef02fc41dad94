// make_synthetic_eps MEGABYTES OUT.eps [SEED] [--long]: writes a synthetic Illustrator-style EPS
// file; --long makes it of few long paths in deep groups and a handful of colours.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "epsgen.h"

int main(int argc, char** argv) {
  aiimport::SyntheticOptions options;
  int positional = 0;
  const char* args[3] = {nullptr, nullptr, nullptr};
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--long") == 0)
      options.Shape = aiimport::SyntheticShape::LongPaths;
    else if (positional < 3)
      args[positional++] = argv[i];
  }
  if (positional < 2) {
    std::fprintf(stderr, "usage: make_synthetic_eps MEGABYTES OUT.eps [SEED] [--long]\n");
    return 2;
  }
  options.TargetBytes = static_cast<uint64_t>(std::strtod(args[0], nullptr) * 1024 * 1024);
  if (args[2]) options.Seed = static_cast<uint32_t>(std::strtoul(args[2], nullptr, 10));
  const std::string text = aiimport::SyntheticEps(options);
  std::FILE* f = std::fopen(args[1], "wb");
  if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0) {
    std::perror(args[1]);
    return 2;
  }
  return 0;
}
