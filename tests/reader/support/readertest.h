// Helpers shared by the reader tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "interpreter.h"
#include "lines.h"
#include "pathcollector.h"
#include "readfile.h"

namespace aiimport::testing {

// What a reading leaves: the model, the collector with its running values and the
// interpreter's own values. PathList and ViewExtent are the model's.
struct Interpreted {
  PathModel model;
  PathCollector collector{model};
  InterpreterState state;
  std::deque<tpath>& PathList = model.PathList;
  FloatRect& ViewExtent = model.ViewExtent;

  Interpreted() = default;
  Interpreted(const Interpreted&) = delete;
  Interpreted& operator=(const Interpreted&) = delete;

  void Run(const std::vector<std::string>& lines, const InterpretOptions& options,
           Progress& progress) {
    InterpretLines(LineList::FromLines(lines), options, state, collector, progress);
  }
};

// Reading options for a whole file: the line reader's by default.
inline ReadOptions Options(bool flip, bool parseEverything,
                           ReadAs reader = ReadAs::IllustratorOperators) {
  ReadOptions options;
  options.FlipVertical = flip;
  options.ParseEverything = parseEverything;
  options.Reader = reader;
  return options;
}

// Interprets the lines with "Parse Everything" on unless told otherwise.
inline std::unique_ptr<Interpreted> Interpret(const std::vector<std::string>& lines,
                                              bool flip = true, bool parseEverything = true) {
  auto result = std::make_unique<Interpreted>();
  Progress quiet;
  result->Run(lines, {flip, parseEverything}, quiet);
  return result;
}

// A progress that records what the reader tells it and can press "Abort" at a chosen moment.
class RecordingProgress : public Progress {
 public:
  bool HasProgressBar() const override { return bar; }
  void SetPhaseText(const std::string& text) override { phases.push_back(text); }
  void SetMaximum(int64_t m) override { maximum = m; }
  void SetPosition(int64_t p) override {
    position = p;
    positions.push_back(p);
  }
  void ShowStatus(std::string_view text) override { counters.emplace_back(text); }
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
