// The progress dialog "Processing File": the phase of a reload, a progress bar and "Abort".
// It is the reading code's progress: the reload hands it to the loader and the interpreter,
// which report through it, let the window handle its events and ask it whether to stop.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <functional>
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

  // Where the interpreter's line counter is drawn (the preview).
  std::function<void(std::string_view)> LineCounter;

  // Progress
  bool HasProgressBar() const override { return true; }
  void SetPhaseText(const std::string& text) override;
  void SetMaximum(int64_t maximum) override;
  void SetPosition(int64_t position) override;
  // The line counter, drawn at most every 10 ms (the readers count every hundred lines).
  void ShowStatus(std::string_view text) override;
  void BeginBusy() override;
  void EndBusy() override;
  // Handles the events waiting, at most every 10 ms: the readers ask every hundred lines,
  // thousands of times a second, and the screen and the keyboard need far fewer.
  void ProcessEvents() override;
  std::string ThousandsSeparator() const override;

  // The "Abort" button: only sets the flag; the loops stop at their next look at it.
  void Button1Click();

 protected:
  void reject() override;  // Esc presses "Abort"
  void closeEvent(QCloseEvent* event) override;

 private:
  int64_t maximum_ = 100;
  QElapsedTimer pumped_;   // since the last handling of events
  QElapsedTimer counted_;  // since the line counter was last drawn
  int shift_ = 0;          // the bar holds int: large maxima are scaled down by 2^shift_
};

}  // namespace aiimport
