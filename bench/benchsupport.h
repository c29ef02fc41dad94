// Shared by the benchmark programs: a heap tracker (current and peak bytes allocated through
// operator new) and the synthetic test file, generated once and kept in the temp folder.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include "epsgen.h"

namespace benchsupport {

inline std::atomic<long long> currentBytes{0};
inline std::atomic<long long> peakBytes{0};

inline void Note(long long delta) {
  const long long now = currentBytes.fetch_add(delta) + delta;
  long long peak = peakBytes.load();
  while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
  }
}

// Peak heap bytes since the last call.
inline long long TakePeak() {
  const long long peak = peakBytes.load();
  peakBytes.store(currentBytes.load());
  return peak;
}
inline long long Current() {
  return currentBytes.load();
}

// Writes a file the benchmarks keep in the temp folder: under another name first, so that a run
// that stops part way never leaves a part of the file for a whole one.
inline void WriteFileOnce(const std::filesystem::path& path, const std::string& bytes) {
  const std::string temp = path.string() + ".part";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
    std::perror(temp.c_str());
    std::exit(2);
  }
  std::filesystem::rename(temp, path);
}

// The synthetic file of `megabytes` MiB (seed 1) of the given shape, written once into the temp
// folder.
inline std::string SyntheticFile(
    int megabytes, aiimport::SyntheticShape shape = aiimport::SyntheticShape::Objects) {
  const bool longPaths = shape == aiimport::SyntheticShape::LongPaths;
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("aiimport-synthetic-v" + std::to_string(aiimport::SyntheticVersion) + "-" +
       std::to_string(megabytes) + (longPaths ? "mb-long.eps" : "mb.eps"));
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    aiimport::SyntheticOptions options;
    options.TargetBytes = static_cast<uint64_t>(megabytes) * 1024 * 1024;
    options.Shape = shape;
    WriteFileOnce(path, aiimport::SyntheticEps(options));
  }
  return path.string();
}

// Runs the rest of a benchmark with `threads` threads (0: the hardware's), as AIIMPORT_THREADS
// sets them, and names the count in the benchmark's label.
inline void UseThreads(benchmark::State& state, int64_t threads) {
  if (threads > 0)
    ::setenv("AIIMPORT_THREADS", std::to_string(threads).c_str(), 1);
  else
    ::unsetenv("AIIMPORT_THREADS");
  state.SetLabel(threads > 0 ? std::to_string(threads) + " thread" + (threads > 1 ? "s" : "")
                             : "all threads");
}

}  // namespace benchsupport

// Every allocation of the benchmark program goes through here: a size header in front of each
// block lets operator delete account for it.
#define AIIMPORT_BENCH_TRACK_HEAP                                                        \
  void* operator new(std::size_t n) {                                                    \
    void* p = std::malloc(n + 16);                                                       \
    if (!p) throw std::bad_alloc();                                                      \
    *static_cast<std::size_t*>(p) = n;                                                   \
    benchsupport::Note(static_cast<long long>(n));                                       \
    return static_cast<char*>(p) + 16;                                                   \
  }                                                                                      \
  void* operator new[](std::size_t n) {                                                  \
    return operator new(n);                                                              \
  }                                                                                      \
  void operator delete(void* p) noexcept {                                               \
    if (!p) return;                                                                      \
    char* block = static_cast<char*>(p) - 16;                                            \
    benchsupport::Note(-static_cast<long long>(*reinterpret_cast<std::size_t*>(block))); \
    std::free(block);                                                                    \
  }                                                                                      \
  void operator delete[](void* p) noexcept {                                             \
    operator delete(p);                                                                  \
  }                                                                                      \
  void operator delete(void* p, std::size_t) noexcept {                                  \
    operator delete(p);                                                                  \
  }                                                                                      \
  void operator delete[](void* p, std::size_t) noexcept {                                \
    operator delete(p);                                                                  \
  }
