#include "readingheap.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "memoryhints.h"
#include "parallel.h"

namespace aiimport {

// A batch process reads one file and ends: memory it frees is better kept for what comes next
// than handed back to the system and asked for again, since every fresh page costs a page
// fault. So large blocks come from the heap rather than from mappings of their own (the file's
// bytes, once freed, hold the output points), and the heap is never trimmed.
void KeepFreedMemory() {
  // The workers allocate little (buffers they reuse): from the one heap, where the memory the
  // reading freed is.
  KeepHeapMemory();
}

void ReturnFreedMemory() {
  RestoreHeapDefaults();
}

// The reading fills fresh heap memory a little over the file's size (its bytes, their lines;
// the paths take the text's pages as it is given back), and the first touch of each page is a
// page fault, which costs more than anything else the reading does with the page. So the heap is
// grown up front by what the reading will likely use, asked for in huge pages where the system has
// them, and filled in with page tables in large pieces: on this thread while that is quick (huge
// pages), on another one, alongside the reading, when it is not. The memory the reading then takes
// is in place. Only page tables change: the memory reads as zero, as a fault would leave it, and a
// page the heap has already written to is left as it is. Files under a few megabytes are left
// alone.
HeapPrefault::HeapPrefault(const std::string& fileName) {
  if (!CanPrefaultPages()) return;
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(fileName, ec);
  if (ec || size < (uintmax_t{8} << 20) || size > (uintmax_t{1} << 40)) return;
  // Room for the most the reading takes (a little over twice the file), filled in only for the
  // file's text and the first paths: the text is given back behind the interpreter, and the
  // paths after the first take the pages it gave back, which cost far less than fresh ones.
  // Memory that is filled in and not used would still count as the process's.
  const std::size_t reserve = static_cast<std::size_t>(size / 5 * 12);
  const std::size_t fill = static_cast<std::size_t>(size + size / 8);
  // Freed at once, the block stays the heap's free top (nothing is trimmed): what the reading
  // allocates next comes from it.
  void* block = std::malloc(reserve);
  if (!block) return;
  constexpr uintptr_t Page = 4096, Huge = uintptr_t{2} << 20;
  const uintptr_t start = reinterpret_cast<uintptr_t>(block);
  std::free(block);
  const uintptr_t hugeFrom = (start + Huge - 1) & ~(Huge - 1);
  const uintptr_t hugeTo = (start + reserve) & ~(Huge - 1);
  if (hugeFrom < hugeTo) AskForHugePages(reinterpret_cast<void*>(hugeFrom), hugeTo - hugeFrom);
  const uintptr_t from = (start + Page - 1) & ~(Page - 1);
  const uintptr_t to = (start + fill) & ~(Page - 1);
  // On this thread in small pieces, so that it stops soon when pages come slowly; on the other
  // in large ones.
  constexpr uintptr_t Piece = uintptr_t{16} << 20, FirstPiece = Huge;
  constexpr auto Quick = std::chrono::microseconds(500);  // for a piece in huge pages
  uintptr_t at = from;
  while (at < to) {
    const auto started = std::chrono::steady_clock::now();
    if (!PrefaultPages(reinterpret_cast<void*>(at), std::min(FirstPiece, to - at))) return;
    at += std::min(FirstPiece, to - at);
    if (std::chrono::steady_clock::now() - started > Quick) break;
  }
  // One thread (AIIMPORT_THREADS=1): the rest is faulted in as it is used.
  if (at >= to || ThreadCount() <= 1) return;
  // Without a thread to be had, the pages are faulted in as they are used.
  filler_.emplace(1, [this, at, to, Piece](std::size_t) {
    for (uintptr_t p = at; p < to && !stop_.load(std::memory_order_relaxed); p += Piece)
      if (!PrefaultPages(reinterpret_cast<void*>(p), std::min(Piece, to - p))) break;
  });
}

HeapPrefault::~HeapPrefault() {
  stop_ = true;
  filler_.reset();
}

ReadingHeap::Settings::Settings() {
  KeepFreedMemory();
}

ReadingHeap::Settings::~Settings() {
  ReturnFreedMemory();
}

}  // namespace aiimport
