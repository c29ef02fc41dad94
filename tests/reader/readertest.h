// Helpers shared by the reader tests.
#pragma once

#include <string>
#include <vector>

#include "interpreter.h"
#include "lines.h"

namespace aiimport::testing {

// Interprets the lines with "Parse Everything" on unless told otherwise.
inline PathStore Interpret(const std::vector<std::string>& lines, bool flip = true,
                           bool parseEverything = true) {
  PathStore store;
  ReadProgress quiet;
  InterpretLines(store, LineList::FromLines(lines), {flip, parseEverything}, quiet);
  return store;
}

// A progress that records what the reader tells it and can press "Abort" at a chosen moment.
class RecordingProgress : public ReadProgress {
 public:
  bool HasProgressBar() const override { return bar; }
  void SetPhaseText(const std::string& text) override { phases.push_back(text); }
  void SetMaximum(int64_t m) override { maximum = m; }
  void SetPosition(int64_t p) override {
    position = p;
    positions.push_back(p);
  }
  void ShowLineCounter(const std::string& text) override { counters.push_back(text); }
  void BeginBusy() override { ++busy; }
  void EndBusy() override { --busy; }
  void ProcessEvents() override {
    ++pumps;
    if (abortAtPump > 0 && pumps == abortAtPump) SetAbortRequested(true);
  }
  std::string ThousandsSeparator() const override { return separator; }

  bool bar = true;
  std::string separator = ",";
  int abortAtPump = 0;  // 1-based pump count at which "Abort" is pressed; 0 never
  int pumps = 0;
  int busy = 0;
  int64_t maximum = -1;
  int64_t position = -1;
  std::vector<int64_t> positions;
  std::vector<std::string> phases;
  std::vector<std::string> counters;
};

}  // namespace aiimport::testing
