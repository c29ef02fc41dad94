// --batch: reading, the start-up tree's paths, the conversion chain and the DOT file.
#include "batch.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <limits>
#include <memory>
#include <ostream>
#include <system_error>
#include <thread>

#include "cli.h"
#include "importchain.h"
#include "objecttree.h"
#include "parallel.h"
#include "readfile.h"

namespace aiimport {

std::vector<tpath*> StartupTreePaths(PathModel& model) {
  // The tree's order without building the tree: every node is added as the last child of a node
  // on the tree's right edge, so with the start-up filters the tree's paths are PathList's in
  // order, less those its filters leave out (a property the tree's own tests check on random
  // files). Building the tree would cost a tenth of a batch import's time on a large file.
  std::vector<tpath*> paths;
  for (tpath& path : model.PathList)
    if (PassesFilters(path, TreeFilters{})) paths.push_back(&path);
  return paths;
}

namespace {

// Frees each source path's points once it is converted.
class ReleasingHook : public ConvertedPathHook {
 public:
  explicit ReleasingHook(std::vector<tpath*> sources) : sources_(std::move(sources)) {}
  void PathConverted(std::size_t index) override {
    std::vector<tbpoint>().swap(sources_[index]->Items);
  }

 private:
  std::vector<tpath*> sources_;
};

}  // namespace

std::optional<ImportResult> ImportStartupPaths(PathModel& model, ConversionResult& output,
                                               const ImportOptions& options,
                                               const std::string& fileName) {
  std::vector<tpath*> sources = StartupTreePaths(model);
  if (sources.empty()) return std::nullopt;
  const std::vector<const tpath*> paths(sources.begin(), sources.end());
  ReleasingHook release(std::move(sources));
  Progress quiet;
  return ImportToFile(output, paths, options, {quiet, nullptr, &release}, fileName);
}

namespace {

// A batch process reads one file and ends: memory it frees is better kept for what comes next
// than handed back to the system and asked for again, since every fresh page costs a page
// fault. So large blocks come from the heap rather than from mappings of their own (the file's
// bytes, once freed, hold the output points), and the heap is never trimmed.
void KeepFreedMemory() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
  // The workers allocate little (buffers they reuse): from the one heap, where the memory the
  // reading freed is.
  mallopt(M_ARENA_MAX, 1);
#endif
}

// The reading fills fresh heap memory about twice the file's size (its bytes, their lines, the
// paths), and the first touch of each page is a page fault, which costs more than anything else
// the reading does with the page. So the heap is grown up front by what the reading will likely
// use, asked for in huge pages where the system has them, and filled in with page tables in
// large pieces: on this thread while that is quick (huge pages), on another one, alongside the
// reading, when it is not. The memory the reading then takes is in place. Only page tables
// change: the memory reads as zero, as a fault would leave it, and a page the heap has already
// written to is left as it is. Files under a few megabytes are left alone.
class HeapPrefault {
 public:
  explicit HeapPrefault(const std::string& fileName) {
#if defined(__GLIBC__) && defined(__linux__) && defined(MADV_POPULATE_WRITE)
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(fileName, ec);
    if (ec || size < (uintmax_t{8} << 20) || size > (uintmax_t{1} << 40)) return;
    // Room for the most the reading takes (a little over twice the file), filled in up to what
    // it takes at least on files of many paths (twice the file): memory that is filled in and
    // not used still counts as the process's.
    const std::size_t reserve = static_cast<std::size_t>(size / 5 * 12);
    const std::size_t fill = static_cast<std::size_t>(size * 2);
    // Freed at once, the block stays the heap's free top (nothing is trimmed): what the reading
    // allocates next comes from it.
    void* block = std::malloc(reserve);
    if (!block) return;
    constexpr uintptr_t Page = 4096, Huge = uintptr_t{2} << 20;
    const uintptr_t start = reinterpret_cast<uintptr_t>(block);
    std::free(block);
    const uintptr_t hugeFrom = (start + Huge - 1) & ~(Huge - 1);
    const uintptr_t hugeTo = (start + reserve) & ~(Huge - 1);
    if (hugeFrom < hugeTo)
      madvise(reinterpret_cast<void*>(hugeFrom), hugeTo - hugeFrom, MADV_HUGEPAGE);  // or not
    const uintptr_t from = (start + Page - 1) & ~(Page - 1);
    const uintptr_t to = (start + fill) & ~(Page - 1);
    constexpr uintptr_t Piece = uintptr_t{16} << 20;
    constexpr auto Quick = std::chrono::milliseconds(4);  // for a piece in huge pages
    uintptr_t at = from;
    while (at < to) {
      const auto started = std::chrono::steady_clock::now();
      if (!Populate(at, std::min(Piece, to - at))) return;
      at += std::min(Piece, to - at);
      if (std::chrono::steady_clock::now() - started > Quick) break;
    }
    // One thread (AIIMPORT_THREADS=1): the rest is faulted in as it is used.
    if (at >= to || ThreadCount() <= 1) return;
    try {
      thread_ = std::thread([this, at, to, Piece] {
        for (uintptr_t p = at; p < to && !stop_.load(std::memory_order_relaxed); p += Piece)
          if (!Populate(p, std::min(Piece, to - p))) break;
      });
    } catch (const std::system_error&) {
      // No thread: the pages are faulted in as they are used.
    }
#else
    (void)fileName;
#endif
  }
  ~HeapPrefault() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  HeapPrefault(const HeapPrefault&) = delete;
  HeapPrefault& operator=(const HeapPrefault&) = delete;

 private:
#if defined(__GLIBC__) && defined(__linux__) && defined(MADV_POPULATE_WRITE)
  static bool Populate(uintptr_t at, uintptr_t bytes) {
    return madvise(reinterpret_cast<void*>(at), bytes, MADV_POPULATE_WRITE) == 0;
  }
#endif

  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// What a batch read and converted is no longer needed once the DOT file is written: a million
// blocks of memory, whose release one by one would keep the program from ending for a tenth of
// its time, and which the system takes back whole when it ends. So they are handed to a thread
// that releases them only after a pause in which a batch program has long ended; in a program
// that goes on after the batch (the tests), they are released then. Under the sanitizers, which
// check every block at the end, and with one thread, they are released at once.
void ReleaseLater([[maybe_unused]] std::unique_ptr<PathModel> model,
                  [[maybe_unused]] std::unique_ptr<ConversionResult> output) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  if (ThreadCount() <= 1) return;  // one thread: released here
  try {
    std::thread([model = std::move(model), output = std::move(output)]() mutable {
      std::this_thread::sleep_for(std::chrono::seconds(2));
      output.reset();
      model.reset();
    }).detach();
  } catch (const std::system_error&) {
    // No thread: released here, as the thread's function is.
  }
#endif
}

}  // namespace

int RunBatch(const CommandLine& c, std::ostream& out, std::ostream& err) {
  if (c.Files.size() != 1) {
    err << "aiimport --batch: give exactly one FILE (see aiimport --help)\n";
    return ExitFailure;
  }
  KeepFreedMemory();
  const auto start = std::chrono::steady_clock::now();
  try {
    // The output file first, as the window does when it opens and at "Import": an old one is
    // deleted, so that whatever happens next no stale file is taken for this import's result.
    std::string fileName;
    if (c.Output) {
      fileName = *c.Output;
      std::error_code ignored;
      std::filesystem::remove(fileName, ignored);
    } else {
      SystemHostPlatform platform([&err](const std::string& text) { err << text << '\n'; });
      fileName = PrepareHostDotFile(platform);
    }

    auto model = std::make_unique<PathModel>();
    Progress quiet;
    ReadResult read;
    {
      HeapPrefault prefault(c.Files[0]);
      read = ReadSourceFile(*model, c.Files[0], c.Read, quiet);
    }
    if (read.Load.Status == LoadStatus::Missing || read.Load.Status == LoadStatus::Unreadable) {
      err << "aiimport: " << read.Load.Message << '\n';
      return ExitFailure;
    }
    auto output = std::make_unique<ConversionResult>();
    const std::optional<ImportResult> imported =
        ImportStartupPaths(*model, *output, ImportOptions{c.Reduce, c.AutoFix}, fileName);
    const std::string status = ReadingStatus(read, imported ? imported->Paths : 0);
    if (!imported) {
      out << "There are no paths to import!\n";
      if (!status.empty()) err << "aiimport: " << status << '\n';
      return ExitNothing;
    }
    const ImportResult& result = *imported;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", seconds);
    out << result.Paths << " paths, " << result.OutputPoints << " output points, "
        << result.Dot.Headers << " figures, " << result.Dot.Records * DotRecordSize << " bytes, "
        << time << " seconds: " << fileName;
    if (!status.empty()) out << ". " << status;
    out << '\n';
    ReleaseLater(std::move(model), std::move(output));
  } catch (const std::exception& e) {
    err << "aiimport: " << e.what() << '\n';
    return ExitFailure;
  }
  out.flush();
  return ExitOk;
}

}  // namespace aiimport
