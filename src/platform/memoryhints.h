// Hints to the system and the allocator about our memory: the system calls only. When and how
// much is decided by the callers (the loader's TextRelease, readingheap.h). Where a system has
// no such hint, it does nothing and says so. No Qt; posix.cpp and stub.cpp implement it.
#pragma once

#include <cstddef>

namespace aiimport {

// Whether GiveBackPages can give pages back on this system.
bool CanGiveBackPages();

// Gives the whole pages in [at, at + bytes) back to the system: their contents are dropped and
// they read as zeros from then on. True when done.
bool GiveBackPages(void* at, std::size_t bytes);

// For a process that reads one file and ends: large blocks come from the heap rather than from
// mappings of their own, the heap is never trimmed, and every thread takes from the one heap.
void KeepHeapMemory();

// The allocator's defaults again, and the memory the heap holds unused returned to the system.
void RestoreHeapDefaults();

// Whether PrefaultPages can fill in page tables on this system.
bool CanPrefaultPages();

// Fills in the page tables of the whole pages in [at, at + bytes) for writing, as first writes
// would, without changing what they hold. True when done.
bool PrefaultPages(void* at, std::size_t bytes);

// Asks for huge pages for the whole huge pages in [at, at + bytes); the system may say no.
void AskForHugePages(void* at, std::size_t bytes);

}  // namespace aiimport
