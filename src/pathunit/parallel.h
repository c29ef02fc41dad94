// The threads of the long steps (filtering lines, interpreting them, generating output points).
// Each step cuts its work into chunks that worker threads handle in any order, while the
// calling thread takes the finished chunks strictly in order: it alone talks to the progress
// (bar, event pump, abort flag) and to the path store, so that every result and every progress
// call is the one a single thread gives.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace aiimport {

// The number of threads the long steps use: the value of the environment variable
// AIIMPORT_THREADS when it is a whole number from 1 to 1024 (1 runs everything on the calling
// thread), else the number of hardware threads (at least 1).
unsigned ThreadCount();

// Runs work(chunk, slot) for the chunks 0 .. chunks - 1 on `workers` threads. A worker starts a
// chunk only while it is fewer than `window` chunks ahead of the oldest chunk the caller has not
// released; `slot` (chunk modulo window) names the buffer the chunk may fill, free again once
// its chunk is released. The caller waits for each chunk in order with Wait and gives it back
// with Release. An exception thrown by work is rethrown by Wait for that chunk.
// The destructor stops the workers after the chunks they are on and joins them.
class OrderedChunks {
 public:
  using Work = std::function<void(std::size_t chunk, std::size_t slot)>;

  OrderedChunks(std::size_t chunks, unsigned workers, std::size_t window, Work work);
  ~OrderedChunks();
  OrderedChunks(const OrderedChunks&) = delete;
  OrderedChunks& operator=(const OrderedChunks&) = delete;

  // Waits until `chunk` (the oldest not released) is done; returns its slot.
  std::size_t Wait(std::size_t chunk);
  // Gives the oldest chunk back: its slot may take a later chunk.
  void Release();
  // No further chunk is started; the ones running finish. Wait must not be called afterwards.
  void Stop();

 private:
  void Run();

  std::size_t chunks_;
  std::size_t window_;
  Work work_;
  std::mutex mutex_;
  std::condition_variable workReady_;  // a worker may start a chunk, or stop
  std::condition_variable chunkDone_;  // a chunk has finished
  std::size_t next_ = 0;               // the next chunk to start
  std::size_t released_ = 0;           // chunks given back by the caller
  bool stop_ = false;
  std::vector<char> done_;                  // per slot: its chunk is finished
  std::vector<std::exception_ptr> failed_;  // per slot: what its chunk threw
  std::vector<std::thread> threads_;
};

}  // namespace aiimport
