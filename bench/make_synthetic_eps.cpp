// make_synthetic_eps MEGABYTES OUT.eps [SEED]: writes a synthetic Illustrator-style EPS file.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "epsgen.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: make_synthetic_eps MEGABYTES OUT.eps [SEED]\n");
    return 2;
  }
  aiimport::SyntheticOptions options;
  options.TargetBytes = static_cast<uint64_t>(std::strtod(argv[1], nullptr) * 1024 * 1024);
  if (argc > 3) options.Seed = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
  const std::string text = aiimport::SyntheticEps(options);
  std::FILE* f = std::fopen(argv[2], "wb");
  if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0) {
    std::perror(argv[2]);
    return 2;
  }
  return 0;
}
