#include "abortdialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace aiimport {

Tfabort::Tfabort(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint),
      separator_(QLocale().groupSeparator().toStdString()) {
  setObjectName("fabort");
  setWindowTitle(QStringLiteral("Processing File"));
  setFixedSize(255, 87);
  setModal(false);

  Label1 = new QLabel(QStringLiteral("Progress"), this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(8, 8, 241, 16);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setGeometry(8, 29, 241, 16);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setTextVisible(false);  // a plain smooth bar

  Button1 = new QPushButton(QStringLiteral("Abort"), this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(91, 56, 75, 25);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

  shown_.setInterval(20);
  connect(&shown_, &QTimer::timeout, this, [this] { ShowProgress(); });

  // Centred on the screen.
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void Tfabort::Button1Click() {
  pressed_.store(true);
  abort_.store(true);
}

void Tfabort::reject() {
  Button1Click();
}

void Tfabort::closeEvent(QCloseEvent* event) {
  // Closing the dialog's window while a file is read asks to stop, like "Abort".
  if (isVisible()) Button1Click();
  event->ignore();
}

void Tfabort::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  ShowProgress();
  shown_.start();
}

void Tfabort::hideEvent(QHideEvent* event) {
  shown_.stop();
  QDialog::hideEvent(event);
}

void Tfabort::SetPhaseText(const std::string& text) {
  {
    const std::lock_guard lock(mutex_);
    reported_.Phase = text;
    reported_.NewPhase = true;
  }
  // A new phase is shown at once, not at the next tick.
  QMetaObject::invokeMethod(
      this, [this] { ShowProgress(); }, Qt::QueuedConnection);
}

void Tfabort::SetMaximum(int64_t maximum) {
  const std::lock_guard lock(mutex_);
  Reported& r = reported_;
  r.Maximum = maximum < 0 ? 0 : maximum;
  r.Shift = 0;
  while ((r.Maximum >> r.Shift) > 0x7FFFFFFF)
    ++r.Shift;
  r.BarMaximum = static_cast<int>(r.Maximum >> r.Shift);
  if (r.BarValue < 0 || r.BarValue > r.BarMaximum) r.BarValue = -1;
  r.NewBar = true;
}

void Tfabort::SetPosition(int64_t position) {
  const std::lock_guard lock(mutex_);
  Reported& r = reported_;
  if (position < 0) position = 0;
  if (position > r.Maximum) position = r.Maximum;
  r.BarValue = static_cast<int>(position >> r.Shift);
  r.NewBar = true;
}

void Tfabort::ShowStatus(std::string_view text) {
  const std::lock_guard lock(mutex_);
  reported_.Status.assign(text);
  reported_.NewStatus = true;
}

void Tfabort::BeginBusy() {
  ++busy_;
}

void Tfabort::EndBusy() {
  --busy_;
}

void Tfabort::ProcessEvents() {
  if (pressed_.exchange(false)) abort_.store(true);
}

bool Tfabort::AbortRequested() const {
  if (!abort_.load()) return false;
  pressed_.store(false);  // a press, if any, has been seen
  return true;
}

void Tfabort::BeginReading() {
  pressed_.store(false);
  abort_.store(false);
  busy_.store(0);
  const std::lock_guard lock(mutex_);
  reported_.Status.clear();
  reported_.NewStatus = false;
}

void Tfabort::ShowProgress() {
  Reported r;
  {
    const std::lock_guard lock(mutex_);
    r = reported_;
    reported_.NewPhase = reported_.NewBar = reported_.NewStatus = false;
  }
  if (r.NewPhase) Label1->setText(QString::fromStdString(r.Phase));
  if (r.NewBar) {
    ProgressBar1->setRange(0, r.BarMaximum);
    if (r.BarValue >= 0)
      ProgressBar1->setValue(r.BarValue);
    else
      ProgressBar1->reset();
  }
  for (const int busy = busy_.load(); cursors_ != busy;) {
    if (cursors_ < busy) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
      ++cursors_;
    } else {
      QApplication::restoreOverrideCursor();
      --cursors_;
    }
  }
  if (r.NewStatus && LineCounter) LineCounter(r.Status);
}

void Tfabort::EndReading() {
  {
    // The line counter is not drawn: the preview is wiped next.
    const std::lock_guard lock(mutex_);
    reported_.NewStatus = false;
  }
  busy_.store(0);
  ShowProgress();
  hide();
}

}  // namespace aiimport
