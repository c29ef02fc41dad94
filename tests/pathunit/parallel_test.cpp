// The thread setting and the ordered hand-over of chunks between workers and the caller.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "parallel.h"
#include "threadsetting.h"

namespace aiimport {
namespace {

TEST(ThreadCount, TheSettingOrTheHardware) {
  const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
  {
    ::unsetenv("AIIMPORT_THREADS");
    EXPECT_EQ(ThreadCount(), hardware);
  }
  struct Row {
    const char* value;
    unsigned expected;  // 0: the hardware's count
  };
  for (const Row& r :
       {Row{"1", 1}, Row{"4", 4}, Row{"1024", 1024}, Row{"0", 0}, Row{"1025", 0}, Row{"", 0},
        Row{"two", 0}, Row{"4x", 0}, Row{"-3", 0}, Row{" 2", 0}, Row{"99999999999999999999", 0}}) {
    ::setenv("AIIMPORT_THREADS", r.value, 1);
    EXPECT_EQ(ThreadCount(), r.expected ? r.expected : hardware) << '"' << r.value << '"';
  }
  ::unsetenv("AIIMPORT_THREADS");
}

// The caller sees every chunk's result in order, and no worker runs more than the window ahead
// of the chunks given back. Without workers the caller does each chunk as it waits for it.
TEST(OrderedChunks, ChunksArriveInOrderWithinTheWindow) {
  for (unsigned workers : {0u, 1u, 2u, 4u}) {
    for (std::size_t window : {1u, 3u, 8u}) {
      constexpr std::size_t Chunks = 200;
      std::vector<std::size_t> slots(window, 0);
      std::mutex mutex;
      std::size_t released = 0, furthest = 0;
      bool outside = false;
      {
        OrderedChunks pool(Chunks, workers, window, [&](std::size_t chunk, std::size_t slot) {
          {
            std::lock_guard lock(mutex);
            if (chunk >= released + window) outside = true;
            furthest = std::max(furthest, chunk);
          }
          slots[slot] = chunk * chunk;  // the slot is the worker's alone until released
        });
        for (std::size_t chunk = 0; chunk < Chunks; ++chunk) {
          const std::size_t slot = pool.Wait(chunk);
          ASSERT_EQ(slot, chunk % window);
          ASSERT_EQ(slots[slot], chunk * chunk);
          {
            std::lock_guard lock(mutex);
            ++released;
          }
          pool.Release();
        }
      }
      EXPECT_FALSE(outside) << workers << " workers, window " << window;
      EXPECT_EQ(furthest, Chunks - 1);
    }
  }
}

TEST(OrderedChunks, AFailingChunkIsReportedToTheCaller) {
  OrderedChunks pool(10, 3, 4, [](std::size_t chunk, std::size_t) {
    if (chunk == 5) throw std::runtime_error("chunk 5");
  });
  for (std::size_t chunk = 0; chunk < 5; ++chunk) {
    pool.Wait(chunk);
    pool.Release();
  }
  try {
    pool.Wait(5);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "chunk 5");
  }
  // The failed chunk can be given back and the rest taken as usual.
  pool.Release();
  for (std::size_t chunk = 6; chunk < 10; ++chunk) {
    pool.Wait(chunk);
    pool.Release();
  }
}

TEST(OrderedChunks, LeavingEarlyStopsTheWorkers) {
  std::atomic<std::size_t> started{0};
  {
    OrderedChunks pool(100000, 4, 8, [&](std::size_t, std::size_t) { ++started; });
    pool.Wait(0);
    // Leaving without releasing: the workers cannot pass the window and are stopped.
  }
  EXPECT_LE(started.load(), 8u);
  EXPECT_GE(started.load(), 1u);
}

// Every part runs once, however many threads there are; a part's failure reaches the caller
// once all have ended.
TEST(RunOnThreads, EveryPartOnceAndTheFailureAfterAll) {
  for (std::size_t count : {1u, 2u, 7u}) {
    std::vector<std::atomic<int>> runs(count);
    RunOnThreads(count, [&](std::size_t k) { ++runs[k]; });
    for (std::size_t k = 0; k < count; ++k)
      EXPECT_EQ(runs[k].load(), 1) << count << " parts, part " << k;
  }
  std::atomic<int> ended{0};
  EXPECT_THROW(RunOnThreads(4,
                            [&](std::size_t k) {
                              ++ended;
                              if (k == 2) throw std::runtime_error("part 2");
                            }),
               std::runtime_error);
  EXPECT_EQ(ended.load(), 4);
}

TEST(OrderedChunks, NoChunks) {
  bool ran = false;
  {
    OrderedChunks pool(0, 2, 4, [&](std::size_t, std::size_t) { ran = true; });
  }
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace aiimport
