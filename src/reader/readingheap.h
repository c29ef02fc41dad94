// The heap for reading a large file. The reading fills fresh memory a little over the file's
// size (the paths take the pages of the text given back behind the interpreter), and on the
// build machine the first touch of each fresh page (a page fault) costs more than what the
// reading does with the page: the memory is therefore asked for up front and filled in with page
// tables alongside the reading, and memory the reading frees is kept for what it allocates next.
#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "parallel.h"

namespace aiimport {

// For a process that reads one file and ends (the batch): large blocks come from the heap
// rather than from mappings of their own, the heap is never trimmed, and every thread takes
// from the one heap. For the whole process.
void KeepFreedMemory();

// Back to the allocator's defaults, and the memory the heap holds unused returned to the system.
void ReturnFreedMemory();

// Grows the heap up front by what reading the named file will likely take (files under a few
// megabytes are left alone) and fills it in with page tables, partly at once and the rest on a
// thread alongside the reading until destroyed. Only page tables change: the memory reads as
// zero, as a fault would leave it. Takes effect with KeepFreedMemory's settings, which keep the
// grown heap from being trimmed at once.
class HeapPrefault {
 public:
  explicit HeapPrefault(const std::string& fileName);
  ~HeapPrefault();
  HeapPrefault(const HeapPrefault&) = delete;
  HeapPrefault& operator=(const HeapPrefault&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::optional<WorkerThreads> filler_;  // last: it ends first
};

// One reading in a program that goes on (the window): KeepFreedMemory's settings while it
// lives, with a HeapPrefault until the reading has ended, then ReturnFreedMemory, so that a
// desktop program does not hold on to what the reading grew once the drawing is closed.
class ReadingHeap {
 public:
  explicit ReadingHeap(const std::string& fileName) { prefault_.emplace(fileName); }
  // No more filling in: what comes after the reading takes what is there.
  void ReadingEnded() { prefault_.reset(); }

 private:
  struct Settings {
    Settings();
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;
  };
  Settings settings_;  // first in, last out: the prefault's thread has ended when it goes
  std::optional<HeapPrefault> prefault_;
};

}  // namespace aiimport
