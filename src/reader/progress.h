// How the long reading loops talk to the window: the phase text and the progress bar of the
// progress dialog, the line counter drawn in the preview, the busy cursor, the message pump and
// the abort flag. The window implements it; the command line and the tests use their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace aiimport {

class ReadProgress {
 public:
  virtual ~ReadProgress() = default;

  // False when there is no progress dialog: the phase text and the bar are then not driven.
  virtual bool HasProgressBar() const { return false; }
  virtual void SetPhaseText(const std::string& /*text*/) {}
  virtual void SetMaximum(int64_t /*maximum*/) {}
  virtual void SetPosition(int64_t /*position*/) {}

  // The interpreter's line counter, drawn at the top left of the preview every 100 lines.
  virtual void ShowLineCounter(const std::string& /*text*/) {}

  // The hour-glass cursor while a phase runs.
  virtual void BeginBusy() {}
  virtual void EndBusy() {}

  // Lets the window handle pending events (where a click on "Abort" arrives).
  virtual void ProcessEvents() {}

  // The abort flag: set by the dialog's "Abort" button, cleared by the loader and by the
  // interpreter when they start.
  virtual bool AbortRequested() const { return abort_; }
  virtual void SetAbortRequested(bool value) { abort_ = value; }

  // Thousands separator of the user's locale for the phase texts.
  virtual std::string ThousandsSeparator() const { return ","; }

 private:
  bool abort_ = false;
};

// value in decimal with the separator between groups of three digits ("12,345").
std::string FormatCount(uint64_t value, std::string_view separator);

// "Parsing File     (" + kilobytes + " KB)": the size in kilobytes rounded, halves to even.
std::string ParsingPhaseText(uint64_t bytes, std::string_view separator);

// "Interpreting File    (" + lines + " Lines)".
std::string InterpretingPhaseText(uint64_t lines, std::string_view separator);

}  // namespace aiimport
