#include "paintbox.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace aiimport {

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
  setObjectName("p");
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

QImage& TPaintBox::Canvas() {
  if (Picture.size() != size()) {
    Picture = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    Picture.fill(Qt::white);
  }
  return Picture;
}

void TPaintBox::Refresh() {
  if (!painting_) update();
}

void TPaintBox::paintEvent(QPaintEvent* event) {
  painting_ = true;
  if (OnPaint) OnPaint();
  painting_ = false;
  QPainter painter(this);
  // Only the part to be painted is copied.
  const QRect exposed = event->rect();
  if (Picture.isNull())
    painter.fillRect(exposed, Qt::white);
  else
    painter.drawImage(exposed, Picture, exposed);
  if (FocusRect) {
    // The platform's focus rectangle: dotted, inverting what lies below it, so that it shows on
    // any colour and vanishes when the picture is drawn again.
    const PixelRect r = NormalizeRect(*FocusRect);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QPen pen(Qt::white, 1, Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Bottom - 1)));
  }
}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (OnMouseDown) OnMouseDown(event->button(), at.x(), at.y());
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (OnMouseMove) OnMouseMove(at.x(), at.y());
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (OnMouseUp) OnMouseUp(at.x(), at.y());
}

}  // namespace aiimport
