// The Delete key of the main window, seen before any of its controls: pressed anywhere in the
// active, enabled window it runs the window's delete command, and the focused control still
// gets the key as well (it is not consumed).
#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace aiimport {

class DeleteKey : public QObject {
 public:
  // Watches the application's key presses for `window` while it lives (which is not longer
  // than the window's).
  DeleteKey(QWidget& window, std::function<void()> command);
  ~DeleteKey() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window_;
  std::function<void()> command_;
};

}  // namespace aiimport
