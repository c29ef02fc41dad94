// The thread count of the long steps, set for a test: AIIMPORT_THREADS for the life of the
// object, the old value (or none) put back afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace aiimport::testing {

class ThreadsSetting {
 public:
  explicit ThreadsSetting(unsigned threads) {
    if (const char* old = std::getenv(Name)) old_ = old;
    ::setenv(Name, std::to_string(threads).c_str(), 1);
  }
  ~ThreadsSetting() {
    if (old_)
      ::setenv(Name, old_->c_str(), 1);
    else
      ::unsetenv(Name);
  }
  ThreadsSetting(const ThreadsSetting&) = delete;
  ThreadsSetting& operator=(const ThreadsSetting&) = delete;

 private:
  static constexpr const char* Name = "AIIMPORT_THREADS";
  std::optional<std::string> old_;
};

}  // namespace aiimport::testing
