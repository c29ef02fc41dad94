// The one way work runs on threads of our own. WorkerThreads starts them; the shapes of work
// build on it:
//  - OrderedChunks, for the long steps (filtering lines, interpreting them, generating output
//    points): workers handle chunks in any order while the calling thread takes the finished
//    chunks strictly in order; it alone talks to the progress (bar, event pump, abort flag) and
//    to the path store, so every result and every progress call is the one a single thread
//    gives;
//  - RunOnThreads, for work cut into parts that need no order;
//  - WorkerThreads itself, for a task beside the calling thread.
// The system may give fewer threads than asked, or none: the work then runs on the threads there
// are, the calling thread at least, with the same result.
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

// `count` threads, thread k running work(k), joined when the group goes (or at Join). A thread
// the system cannot give is not started: Started() says how many run (those numbered 0 to
// Started() - 1), and the caller sees to the rest. What work throws is kept: Join throws the
// first of it again, the destructor drops it.
class WorkerThreads {
 public:
  using Work = std::function<void(std::size_t k)>;

  WorkerThreads() = default;
  WorkerThreads(std::size_t count, Work work);
  ~WorkerThreads();
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;

  std::size_t Started() const { return threads_.size(); }
  // Waits for every thread to end, then throws what the first failing one threw.
  void Join();

 private:
  void JoinAll();

  Work work_;
  std::vector<std::exception_ptr> failed_;  // per thread
  std::vector<std::thread> threads_;
};

// work(k) for k = 0 .. count - 1: k = 0 on the calling thread, every other on a thread of its
// own, or on the calling thread after its own when the system gives no more threads. Returns
// once all have ended; throws again what the first failing one threw.
void RunOnThreads(std::size_t count, const std::function<void(std::size_t k)>& work);

// Runs work(chunk, slot) for the chunks 0 .. chunks - 1 on `workers` threads. A worker starts a
// chunk only while it is fewer than `window` chunks ahead of the oldest chunk the caller has not
// released; `slot` (chunk modulo window) names the buffer the chunk may fill, free again once
// its chunk is released. The caller waits for each chunk in order with Wait and gives it back
// with Release. An exception thrown by work is rethrown by Wait for that chunk. Without workers
// (none asked for, or none to be had) Wait does the chunk on the calling thread.
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
  // Whether the calling thread does the chunks itself.
  bool Inline() const { return threads_.Started() == 0; }

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
  WorkerThreads threads_;                   // last: they go first
};

}  // namespace aiimport
