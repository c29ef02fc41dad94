#include "parallel.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
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

OrderedChunks::OrderedChunks(std::size_t chunks, unsigned workers, std::size_t window, Work work)
    : chunks_(chunks),
      window_(window > 0 ? window : 1),
      work_(std::move(work)),
      done_(window_, 0),
      failed_(window_) {
  threads_.reserve(workers);
  try {
    for (unsigned i = 0; i < workers; ++i)
      threads_.emplace_back([this] { Run(); });
  } catch (...) {
    Stop();
    for (std::thread& t : threads_)
      t.join();
    throw;
  }
}

OrderedChunks::~OrderedChunks() {
  Stop();
  for (std::thread& t : threads_)
    t.join();
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
