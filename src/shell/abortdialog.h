// The progress dialog "Processing File": the phase of a reload, a progress bar and "Abort".
// It is the reading code's progress: the reload hands it to the loader and the interpreter,
// which report through it from the reading's own thread and ask it whether to stop. What they
// report is kept under a lock and shown by the dialog every 20 ms while it is on screen (a new
// phase at once); the reading never waits for the window.
#pragma once

#include <QDialog>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace aiimport {

class Tfabort : public QDialog, public Progress {
  Q_OBJECT
 public:
  explicit Tfabort(QWidget* parent = nullptr);

  QLabel* Label1;              // the phase ("Interpreting File    (301 Lines)")
  QProgressBar* ProgressBar1;  // how far the phase has come
  QPushButton* Button1;        // "Abort"

  // Where the interpreter's line counter is drawn (the preview), on the window's thread.
  std::function<void(std::string_view)> LineCounter;

  // Progress, from any thread: the values are kept for the dialog to show.
  bool HasProgressBar() const override { return true; }
  void SetPhaseText(const std::string& text) override;
  void SetMaximum(int64_t maximum) override;
  void SetPosition(int64_t position) override;
  // The line counter (the readers count every hundred lines): the latest is drawn.
  void ShowStatus(std::string_view text) override;
  // The hour-glass cursor, shown while the readers are busy.
  void BeginBusy() override;
  void EndBusy() override;
  // Where a press of "Abort" reaches the reading. A press the reading has cleared since (each
  // phase clears the flag when it starts) counts again here, as if it had only now been
  // handled: a press always stops the phase under way or the next one.
  void ProcessEvents() override;
  bool AbortRequested() const override;
  void SetAbortRequested(bool value) override { abort_.store(value); }
  // The user's locale's, taken when the dialog is made.
  std::string ThousandsSeparator() const override { return separator_; }

  // A reading starts: no press of "Abort", no line counter, nothing busy.
  void BeginReading();
  // Shows what was reported since the last time (on the window's thread): the phase, the bar,
  // the cursor, the line counter.
  void ShowProgress();
  // The reading has ended: its last phase and bar shown, the cursor back, the dialog hidden.
  void EndReading();

  // The "Abort" button: only sets the flag; the loops stop at their next look at it.
  void Button1Click();

 protected:
  void reject() override;  // Esc presses "Abort"
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // What the reading reported, under mutex_. The bar holds int: large maxima are scaled down by
  // 2^Shift. BarMaximum and BarValue are what the bar is to show, worked out as the bar itself
  // would from the calls in their order (a value outside a new range empties it: -1).
  struct Reported {
    std::string Phase = "Progress";
    int64_t Maximum = 100;
    int Shift = 0;
    int BarMaximum = 100;
    int BarValue = -1;
    std::string Status;  // the latest line counter
    bool NewPhase = false, NewBar = false, NewStatus = false;
  };

  std::mutex mutex_;
  Reported reported_;
  std::atomic<int> busy_{0};  // BeginBusy calls not yet ended
  int cursors_ = 0;           // hour-glass cursors set (the window's thread)
  std::atomic<bool> abort_{false};
  mutable std::atomic<bool> pressed_{false};  // "Abort" pressed and not yet seen by the reading
  const std::string separator_;
  QTimer shown_;  // ShowProgress every 20 ms while the dialog is visible
};

}  // namespace aiimport
