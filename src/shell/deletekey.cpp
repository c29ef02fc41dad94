#include "deletekey.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <utility>

namespace aiimport {

DeleteKey::DeleteKey(QWidget& window, std::function<void()> command)
    : window_(window), command_(std::move(command)) {
  qApp->installEventFilter(this);
}

DeleteKey::~DeleteKey() {
  qApp->removeEventFilter(this);
}

bool DeleteKey::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !window_.isActiveWindow()) return false;
  // A key press goes to the focused widget first and then up its parents, so it is taken only
  // on its first stop.
  QWidget* focus = QApplication::focusWidget();
  const bool firstStop = focus ? watched == focus : watched == &window_;
  if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete && firstStop && window_.isEnabled())
    command_();
  return false;
}

}  // namespace aiimport
