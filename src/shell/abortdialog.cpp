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

Tfabort::Tfabort(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
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

  // Centred on the screen.
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void Tfabort::Button1Click() {
  SetAbortRequested(true);
}

void Tfabort::reject() {
  Button1Click();
}

void Tfabort::closeEvent(QCloseEvent* event) {
  // Closing the dialog's window while a file is read asks to stop, like "Abort".
  if (isVisible()) Button1Click();
  event->ignore();
}

void Tfabort::SetPhaseText(const std::string& text) {
  Label1->setText(QString::fromStdString(text));
}

void Tfabort::SetMaximum(int64_t maximum) {
  maximum_ = maximum < 0 ? 0 : maximum;
  shift_ = 0;
  while ((maximum_ >> shift_) > 0x7FFFFFFF)
    ++shift_;
  ProgressBar1->setRange(0, static_cast<int>(maximum_ >> shift_));
}

void Tfabort::SetPosition(int64_t position) {
  if (position < 0) position = 0;
  if (position > maximum_) position = maximum_;
  ProgressBar1->setValue(static_cast<int>(position >> shift_));
}

void Tfabort::ShowStatus(std::string_view text) {
  if (counted_.isValid() && counted_.elapsed() < 10) return;
  if (LineCounter) LineCounter(text);
  counted_.start();
}

void Tfabort::BeginBusy() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void Tfabort::EndBusy() {
  QApplication::restoreOverrideCursor();
}

void Tfabort::ProcessEvents() {
  if (pumped_.isValid() && pumped_.elapsed() < 10) return;
  QApplication::processEvents();
  pumped_.start();
}

std::string Tfabort::ThousandsSeparator() const {
  return QLocale().groupSeparator().toStdString();
}

}  // namespace aiimport
