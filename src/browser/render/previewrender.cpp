#include "previewrender.h"

#include <QFontMetrics>
#include <QPainterPath>
#include <QPen>
#include <QRectF>

#include <algorithm>
#include <optional>

namespace aiimport {

namespace {

// How the figure being collected is finished: the settings chosen for its last path.
struct PendingSettings {
  TColor PenColor = PreviewBlack;
  Qt::PenStyle PenStyle = Qt::SolidLine;
  TColor BrushColor = PreviewWhite;
  bool Fill = false;  // stroke and fill; otherwise stroke only
};

TColor StrokeColorOf(const tpath& path) {
  const TColor color = path.Filled ? path.FillColor : path.LineColor;
  return color == PreviewWhite ? PreviewBlack : color;  // white would vanish on the white page
}

void ChooseSettings(PendingSettings& pending, const tpath& path, DrawMode mode) {
  switch (mode) {
    case DrawMode::Wireframe:
      pending.Fill = false;
      pending.PenColor = StrokeColorOf(path);
      break;
    case DrawMode::Solid:
      pending.Fill = path.Filled;
      pending.PenColor = StrokeColorOf(path);
      if (path.Filled) pending.BrushColor = path.FillColor;
      pending.PenStyle = path.Closed ? Qt::SolidLine : Qt::DotLine;
      break;
    case DrawMode::Orientation:
      pending.Fill = false;
      if (!path.Closed) {
        pending.PenColor = PreviewDarkBlue;
      } else {
        pending.PenColor = path.Anticlockwise ? PreviewBlue : PreviewRed;
      }
      break;
    case DrawMode::Background:
      pending.Fill = false;
      pending.PenColor = PreviewSilver;
      break;
  }
}

// Puts finished figures onto the canvas. Consecutive figures that are only stroked with one
// solid pen are collected into one painter path and drawn together: a one-pixel opaque stroke
// sets the same pixels whether its sub-paths are drawn one by one or at once, and the painter's
// fixed cost per call dominates for the many small figures of a large file. Pens and brushes
// are set only when they change.
class FigurePainter {
 public:
  FigurePainter(QPainter& canvas, const QPalette& palette) : canvas_(canvas), palette_(palette) {}

  void Finish(const QPainterPath& figure, const PendingSettings& pending) {
    if (!pending.Fill && pending.PenStyle == Qt::SolidLine) {
      if (batchColor_ && *batchColor_ != pending.PenColor) Flush();
      batchColor_ = pending.PenColor;
      batch_.addPath(figure);
      if (batch_.elementCount() > MaxBatchElements) Flush();
      return;
    }
    Flush();
    Apply(pending);
    canvas_.drawPath(figure);
  }

  void Flush() {
    if (!batchColor_) return;
    PendingSettings stroke;
    stroke.PenColor = *batchColor_;
    Apply(stroke);
    canvas_.drawPath(batch_);
    batch_.clear();
    batchColor_.reset();
  }

 private:
  static constexpr int MaxBatchElements = 1 << 14;

  void Apply(const PendingSettings& s) {
    if (!penSet_ || s.PenColor != penColor_ || s.PenStyle != penStyle_) {
      QPen pen(ToQColor(s.PenColor, palette_));
      pen.setWidth(1);
      pen.setCosmetic(true);
      pen.setStyle(s.PenStyle);
      // A cosmetic line covers the pixels from its start up to, not including, its end, so
      // consecutive segments meet without doubling and a closed outline is complete.
      pen.setCapStyle(Qt::FlatCap);
      pen.setJoinStyle(Qt::MiterJoin);
      canvas_.setPen(pen);
      penSet_ = true;
      penColor_ = s.PenColor;
      penStyle_ = s.PenStyle;
    }
    const std::optional<TColor> brush = s.Fill ? std::optional<TColor>(s.BrushColor) : std::nullopt;
    if (!brushSet_ || brush != brush_) {
      if (brush) {
        canvas_.setBrush(ToQColor(*brush, palette_));
      } else {
        canvas_.setBrush(Qt::NoBrush);
      }
      brushSet_ = true;
      brush_ = brush;
    }
  }

  QPainter& canvas_;
  const QPalette& palette_;  // the system colours
  QPainterPath batch_;
  std::optional<TColor> batchColor_;
  bool penSet_ = false;
  TColor penColor_ = 0;
  Qt::PenStyle penStyle_ = Qt::SolidLine;
  bool brushSet_ = false;
  std::optional<TColor> brush_;
};

// The clip rectangle of the canvas in device pixels, as edges (right = left + width).
QRectF ClipRect(const QPainter& canvas) {
  if (canvas.hasClipping()) return canvas.clipBoundingRect();
  const QPaintDevice* device = canvas.device();
  return QRectF(0, 0, device->width(), device->height());
}

// Whether a path's mapped box can reach the clip rectangle. The box is taken closed, with its
// edges on pixel positions, so a box of zero width or height on the rectangle's edge or inside
// it counts as visible. A box that only touches the rectangle is kept as well: culling must
// never change a pixel.
bool BoxVisible(const ScreenBox& box, int factor, const QRectF& clip) {
  const double left = static_cast<double>(std::min(box.Left, box.Right)) * factor;
  const double right = static_cast<double>(std::max(box.Left, box.Right)) * factor;
  const double top = static_cast<double>(std::min(box.Top, box.Bottom)) * factor;
  const double bottom = static_cast<double>(std::max(box.Top, box.Bottom)) * factor;
  return left <= clip.right() && right >= clip.left() && top <= clip.bottom() &&
         bottom >= clip.top();
}

class PointMapper {
 public:
  PointMapper(const ScreenMapping& m, int factor) : m_(m), factor_(factor) {}
  QPointF operator()(float x, float y) const {
    return QPointF(static_cast<double>(MapX(m_, x) * factor_),
                   static_cast<double>(MapY(m_, y) * factor_));
  }

 private:
  const ScreenMapping& m_;
  int64_t factor_;
};

}  // namespace

DrawStats DrawPaths(QPainter& canvas, std::span<const tpath* const> paths, int factor,
                    DrawMode mode, const ScreenMapping& mapping, QPointF* position,
                    const QPalette& palette) {
  DrawStats stats;
  if (paths.empty()) return stats;

  canvas.setRenderHint(QPainter::Antialiasing, false);
  const QRectF clip = ClipRect(canvas);
  const PointMapper map(mapping, factor);
  QPointF current = position ? *position : QPointF(0, 0);

  FigurePainter painter(canvas, palette);
  PendingSettings pending;
  QPainterPath figure;
  figure.setFillRule(Qt::OddEvenFill);
  int32_t figureNo = -1;  // no figure open

  // A line or curve that comes first in a figure starts at the current position. (A cleared
  // QPainterPath still holds a move to (0, 0); isEmpty is true while it holds only a move.)
  auto ensureStart = [&]() {
    if (figure.isEmpty()) figure.moveTo(current);
  };

  for (const tpath* entry : paths) {
    if (!entry) continue;
    const tpath& path = *entry;

    if (path.CompoundNo != figureNo || mode == DrawMode::Orientation) {
      if (figureNo >= 0) painter.Finish(figure, pending);
      figureNo = path.CompoundNo;
      figure.clear();
      figure.setFillRule(Qt::OddEvenFill);
    }
    ChooseSettings(pending, path, mode);

    if (!BoxVisible(MapBox(mapping, path), factor, clip)) {
      ++stats.Culled;
      continue;
    }
    ++stats.Emitted;
    for (const tbpoint& p : path.Items) {
      switch (p.Kind) {
        case 0:
          current = map(p.X1, p.Y1);
          figure.moveTo(current);
          break;
        case 1:
          ensureStart();
          current = map(p.X1, p.Y1);
          figure.lineTo(current);
          break;
        case 2: {
          ensureStart();
          const QPointF c1 = map(p.X1, p.Y1);
          const QPointF c2 = map(p.X2, p.Y2);
          current = map(p.X3, p.Y3);
          figure.cubicTo(c1, c2, current);
          break;
        }
        default:
          break;  // no other kinds are drawn
      }
    }
  }
  if (figureNo >= 0) painter.Finish(figure, pending);
  painter.Flush();

  if (position) *position = current;
  return stats;
}

QImage HalveBitmap(const QImage& source) {
  if (source.isNull()) return QImage();
  const QImage rgb =
      source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
          ? source
          : source.convertToFormat(QImage::Format_RGB32);
  const int width = rgb.width() / 2;
  const int height = rgb.height() / 2;
  QImage result(width, height, QImage::Format_RGB32);
  if (width == 0 || height == 0) return result;
  for (int y = 0; y < height; ++y) {
    const auto* upper = reinterpret_cast<const QRgb*>(rgb.constScanLine(2 * y));
    const auto* lower = reinterpret_cast<const QRgb*>(rgb.constScanLine(2 * y + 1));
    auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const QRgb a = upper[2 * x], b = upper[2 * x + 1], c = lower[2 * x], d = lower[2 * x + 1];
      // Red and blue summed side by side in 16-bit lanes, green on its own; the masks drop the
      // bits that the shift moves out of each lane.
      const uint32_t redBlue =
          ((a & 0xFF00FFu) + (b & 0xFF00FFu) + (c & 0xFF00FFu) + (d & 0xFF00FFu)) >> 2;
      const uint32_t green = ((a & 0xFF00u) + (b & 0xFF00u) + (c & 0xFF00u) + (d & 0xFF00u)) >> 2;
      out[x] = 0xFF000000u | (redBlue & 0xFF00FFu) | (green & 0xFF00u);
    }
  }
  return result;
}

void SilverCache::Invalidate() {
  paths_.clear();
  paths_.shrink_to_fit();
  image_ = QImage();
}

bool SilverCache::Matches(std::span<const tpath* const> treePaths, const FloatRect& extent,
                          int32_t width, int32_t height, bool enhanced) const {
  if (image_.isNull() || width != width_ || height != height_ || enhanced != enhanced_ ||
      !(extent == extent_) || treePaths.size() != paths_.size()) {
    return false;
  }
  for (std::size_t i = 0; i < treePaths.size(); ++i) {
    const tpath* path = treePaths[i];
    if (path != paths_[i].first || (path && path->CompoundNo != paths_[i].second)) return false;
  }
  return true;
}

void SilverCache::Store(std::span<const tpath* const> treePaths, const FloatRect& extent,
                        int32_t width, int32_t height, bool enhanced, const QImage& image,
                        QPointF endPosition) {
  paths_.clear();
  paths_.reserve(treePaths.size());
  for (const tpath* path : treePaths)
    paths_.emplace_back(path, path ? path->CompoundNo : 0);
  extent_ = extent;
  width_ = width;
  height_ = height;
  enhanced_ = enhanced;
  image_ = image;
  endPosition_ = endPosition;
}

namespace {

// A white picture of the given size, or a null image when a side is not positive.
QImage WhiteImage(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return QImage();
  QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
  if (!image.isNull()) image.fill(QColor(Qt::white));  // PreviewWhite
  return image;
}

void Draw(QImage& target, std::span<const tpath* const> paths, int factor, DrawMode mode,
          const ScreenMapping& mapping, QPointF& position, const QPalette& palette) {
  if (target.isNull()) return;
  QPainter painter(&target);
  DrawPaths(painter, paths, factor, mode, mapping, &position, palette);
}

}  // namespace

PreviewPicture RenderPreview(const PreviewInput& input, FloatRect& viewExtent, SilverCache* cache) {
  PreviewPicture out;
  out.Image = WhiteImage(input.Width, input.Height);
  out.Mapping = ScreenMapping{};
  if (!input.HasSelectedNode) return out;

  out.ImportEnabled = !input.TreePaths.empty();
  if (input.Request == RenderRequest::FitAll) {
    viewExtent = ComputeViewExtent(input.TreePaths, false);
  } else if (input.Request == RenderRequest::FitSelection) {
    viewExtent = ComputeViewExtent(input.SelectedPaths, false);
  }

  const std::optional<ScreenMapping> mapping = FitExtent(viewExtent, input.Width, input.Height);
  if (!mapping) return out;

  const int factor = input.Enhanced ? 2 : 1;
  QImage target;
  QPointF position(0, 0);
  if (input.Request == RenderRequest::RepaintAll) {
    target = WhiteImage(int64_t{input.Width} * factor, int64_t{input.Height} * factor);
    Draw(target, input.TreePaths, factor, input.ViewMode, *mapping, position, input.Palette);
  } else {
    if (cache &&
        cache->Matches(input.TreePaths, viewExtent, input.Width, input.Height, input.Enhanced)) {
      target = cache->Image();
      position = cache->EndPosition();
    } else {
      target = WhiteImage(int64_t{input.Width} * factor, int64_t{input.Height} * factor);
      Draw(target, input.TreePaths, factor, DrawMode::Background, *mapping, position,
           input.Palette);
      if (cache) {
        cache->Store(input.TreePaths, viewExtent, input.Width, input.Height, input.Enhanced, target,
                     position);
      }
    }
    Draw(target, input.SelectedPaths, factor, input.ViewMode, *mapping, position, input.Palette);
  }

  if (!target.isNull()) out.Image = input.Enhanced ? HalveBitmap(target) : target;
  out.Mapping = *mapping;
  return out;
}

void DrawLineCounter(QImage& image, const std::string& text, const QFont& font,
                     const QColor& textColor, const QColor& background) {
  if (image.isNull()) return;
  QPainter painter(&image);
  painter.setFont(font);
  const QFontMetrics metrics = painter.fontMetrics();
  const QString caption = QString::fromStdString(text);
  // The text cell's top-left corner at (0, 0), its background filled, as a text-out does.
  painter.fillRect(QRect(0, 0, metrics.horizontalAdvance(caption), metrics.height()), background);
  painter.setPen(textColor);
  painter.drawText(QPoint(0, metrics.ascent()), caption);
}

}  // namespace aiimport
