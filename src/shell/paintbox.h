// The preview paint box "p": shows the last drawing, with a zoom area being dragged over it,
// and passes its paints and the mouse to whoever set the hooks (the window's handlers).
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>

#include "zoom.h"

namespace aiimport {

class TPaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit TPaintBox(QWidget* parent);

  int Tag = 10;    // 10 until the first paint starts the load of the command line's file
  QImage Picture;  // the last drawing, exactly the paint box's size
  // A zoom area being dragged, drawn over the picture as a dotted XOR rectangle.
  std::optional<PixelRect> FocusRect;

  // Called at the start of every paint, before the picture is shown.
  std::function<void()> OnPaint;
  // The mouse, in the paint box's pixels.
  std::function<void(Qt::MouseButton button, int x, int y)> OnMouseDown;
  std::function<void(int x, int y)> OnMouseMove;
  std::function<void(int x, int y)> OnMouseUp;

  // The picture, made white first when its size no longer fits.
  QImage& Canvas();
  // Shows the picture again (later, unless a paint is under way, which shows it anyway).
  void Refresh();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool painting_ = false;
};

}  // namespace aiimport
