// How the long loops of reading and converting talk to whoever started them: the phase text
// and the bar of the progress dialog, a short status text beside the drawing, the busy cursor,
// the message pump and the abort flag. The window implements it (one implementation for reading,
// one for the import); the command line and the tests use this base class or their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace aiimport {

class Progress {
 public:
  virtual ~Progress() = default;

  // False when there is no progress dialog: the phase text and the bar are then not driven.
  virtual bool HasProgressBar() const { return false; }
  virtual void SetPhaseText(const std::string& /*text*/) {}
  virtual void SetMaximum(int64_t /*maximum*/) {}
  virtual void SetPosition(int64_t /*position*/) {}

  // A short status text: the interpreter's line counter (drawn at the top left of the preview
  // every 100 lines) and the import's captions ("Generating Splines.", "Total Nodes: 12", ...,
  // shown in the "Nodes:" label).
  virtual void ShowStatus(std::string_view /*text*/) {}

  // The hour-glass cursor while a phase runs.
  virtual void BeginBusy() {}
  virtual void EndBusy() {}

  // Lets the window handle pending events (where a click on "Abort" arrives).
  virtual void ProcessEvents() {}

  // The abort flag: set by the dialog's "Abort" button, cleared by the loader and by the
  // interpreter when they start. The import steps do not consult it.
  virtual bool AbortRequested() const { return abort_; }
  virtual void SetAbortRequested(bool value) { abort_ = value; }

  // Thousands separator of the user's locale for the phase texts.
  virtual std::string ThousandsSeparator() const { return ","; }

 private:
  bool abort_ = false;
};

// Ends the busy cursor however a scope is left.
class BusyScope {
 public:
  explicit BusyScope(Progress& progress) : progress_(progress) { progress_.BeginBusy(); }
  ~BusyScope() { progress_.EndBusy(); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  Progress& progress_;
};

}  // namespace aiimport
