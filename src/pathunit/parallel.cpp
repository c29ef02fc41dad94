#include "parallel.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

namespace aiimport {

unsigned ThreadCount() {
  if (const char* value = std::getenv("AIIMPORT_THREADS")) {
    unsigned n = 0;
    const char* end = value + std::strlen(value);
    const auto [stop, ec] = std::from_chars(value, end, n);
    if (ec == std::errc() && stop == end && n >= 1 && n <= 1024) return n;
  }
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? hardware : 1;
}

WorkerThreads::WorkerThreads(std::size_t count, Work work) : work_(std::move(work)) {
  failed_.resize(count);
  threads_.reserve(count);
  for (std::size_t k = 0; k < count; ++k) {
    try {
      threads_.emplace_back([this, k] {
        try {
          work_(k);
        } catch (...) {
          failed_[k] = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the caller sees to the rest
    }
  }
}

WorkerThreads::~WorkerThreads() {
  JoinAll();
}

void WorkerThreads::JoinAll() {
  for (std::thread& t : threads_)
    if (t.joinable()) t.join();
}

void WorkerThreads::Join() {
  JoinAll();
  for (std::exception_ptr& failure : failed_)
    if (failure) std::rethrow_exception(std::exchange(failure, nullptr));
}

void RunOnThreads(std::size_t count, const std::function<void(std::size_t k)>& work) {
  if (count == 0) return;
  WorkerThreads helpers(count - 1, [&work](std::size_t k) { work(k + 1); });
  work(0);
  for (std::size_t k = helpers.Started() + 1; k < count; ++k)
    work(k);
  helpers.Join();
}

OrderedChunks::OrderedChunks(std::size_t chunks, unsigned workers, std::size_t window, Work work)
    : chunks_(chunks),
      window_(window > 0 ? window : 1),
      work_(std::move(work)),
      done_(window_, 0),
      failed_(window_),
      threads_(workers, [this](std::size_t) { Run(); }) {}

OrderedChunks::~OrderedChunks() {
  Stop();
}

void OrderedChunks::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  workReady_.notify_all();
}

void OrderedChunks::Run() {
  for (;;) {
    std::size_t chunk;
    {
      std::unique_lock lock(mutex_);
      workReady_.wait(lock,
                      [this] { return stop_ || next_ >= chunks_ || next_ < released_ + window_; });
      if (stop_ || next_ >= chunks_) return;
      chunk = next_++;
    }
    const std::size_t slot = chunk % window_;
    std::exception_ptr failure;
    try {
      work_(chunk, slot);
    } catch (...) {
      failure = std::current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      failed_[slot] = std::move(failure);
      done_[slot] = 1;
    }
    chunkDone_.notify_all();
  }
}

std::size_t OrderedChunks::Wait(std::size_t chunk) {
  const std::size_t slot = chunk % window_;
  if (Inline()) {
    work_(chunk, slot);
    return slot;
  }
  std::unique_lock lock(mutex_);
  chunkDone_.wait(lock, [&] { return done_[slot] != 0; });
  if (failed_[slot]) std::rethrow_exception(std::exchange(failed_[slot], nullptr));
  return slot;
}

void OrderedChunks::Release() {
  {
    std::lock_guard lock(mutex_);
    done_[released_ % window_] = 0;
    ++released_;
  }
  workReady_.notify_all();
}

}  // namespace aiimport
