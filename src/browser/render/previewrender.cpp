#include "previewrender.h"

#include "linedrawer.h"
#include "parallel.h"

#include <QFontMetrics>
#include <QPainterPath>
#include <QPen>
#include <QRectF>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <unordered_map>

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

// A figure's elements as a QPainterPath, for what goes through the painter: `path` is cleared
// (keeping its memory and fill rule) and given the same calls.
const QPainterPath& ToPainterPath(const FigureElements& figure, QPainterPath& path) {
  path.clear();
  const std::span<const PathElement> e = figure.Elements();
  for (std::size_t i = 0; i < e.size(); ++i) {
    switch (e[i].Kind) {
      case ElementKind::Move:
        path.moveTo(e[i].X, e[i].Y);
        break;
      case ElementKind::Line:
        path.lineTo(e[i].X, e[i].Y);
        break;
      case ElementKind::Curve:
        if (i + 2 < e.size()) {
          path.cubicTo(e[i].X, e[i].Y, e[i + 1].X, e[i + 1].Y, e[i + 2].X, e[i + 2].Y);
          i += 2;
        }
        break;
      case ElementKind::CurveData:
        break;
    }
  }
  return path;
}

// Lists of one-pixel strokes in one colour, handed from the thread that builds them to threads
// that draw them. Strokes of one colour on one picture set the same pixels in whatever order
// the lists are drawn (each list is one painter call, independent of the others), so the
// builder need not wait: workers draw lists onto layers of their own, and when the queue is
// full the builder draws the list itself.
class StrokeQueue {
 public:
  explicit StrokeQueue(std::size_t capacity) : capacity_(capacity) {}

  // Hands a list over, or draws it onto `own` when the workers are behind.
  void Push(std::vector<PathElement> batch, uint32_t pixel, const PixelTarget& own) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.size() < capacity_) {
        queue_.push_back({std::move(batch), pixel});
        ready_.notify_one();
        return;
      }
    }
    DrawOnePixelLines(own, pixel, batch);
  }

  // Draws lists onto `target` until Finish has been called and none are left, or the drawing
  // is cancelled.
  void Work(const PixelTarget& target, const std::atomic<bool>* cancel) {
    for (;;) {
      Item item;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return finished_ || !queue_.empty(); });
        if (queue_.empty()) return;
        item = std::move(queue_.front());
        queue_.pop_front();
      }
      if (cancel && cancel->load(std::memory_order_relaxed)) continue;  // dropped
      DrawOnePixelLines(target, item.Pixel, item.Batch);
    }
  }

  void Finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    ready_.notify_all();
  }

 private:
  struct Item {
    std::vector<PathElement> Batch;
    uint32_t Pixel = 0;
  };
  std::size_t capacity_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Item> queue_;
  bool finished_ = false;
};

// Puts finished figures onto the canvas. Consecutive figures that are only stroked with one
// solid pen are collected into one list and drawn together: a one-pixel opaque stroke sets the
// same pixels whether its sub-paths are drawn one by one or at once, and the painter's fixed
// cost per call dominates for the many small figures of a large file. Such a list is drawn by
// the line drawer straight into the image, with the pixels the painter would set, unless
// `painterLines` asks for the painter. Pens and brushes are set only when they change.
class FigurePainter {
 public:
  FigurePainter(QPainter& canvas, const QPalette& palette, bool painterLines,
                StrokeQueue* queue = nullptr)
      : canvas_(canvas), palette_(palette), painterLines_(painterLines), queue_(queue) {
    figurePath_.setFillRule(Qt::OddEvenFill);  // a figure's holes stay empty
  }

  // Only part of the figures reach the canvas: from the first one that starts a clean cut at
  // or after `from` points of the list, up to the first one that starts a clean cut at or after
  // `to` points. A clean cut is where a drawing of the whole list has put everything before the
  // figure onto the canvas and nothing of it: no strokes are collected, or they are drawn
  // before the figure is (it is filled or dotted, or of another colour). Strokes collected
  // into one painter call are not independent of each other (the painter's line drawing
  // carries its last direction from one sub-path to the next), so the parts of a list drawn
  // this way together set exactly the pixels of the whole drawing. Before its part a painter
  // collects the figures as for drawing and drops them, so that it finds the same cuts.
  void SetRange(std::size_t from, std::size_t to) {
    from_ = from;
    to_ = to;
    state_ = from == 0 ? State::Drawing : State::Before;
  }

  // Finishes the figure whose first path comes after `start` points of the list. False once
  // the part is over: nothing after it is drawn.
  bool Finish(const FigureElements& figure, const PendingSettings& pending, std::size_t start) {
    const bool collect = !pending.Fill && pending.PenStyle == Qt::SolidLine;
    if (!batchColor_ || !collect || *batchColor_ != pending.PenColor) {
      if (state_ == State::Before && start >= from_) {
        batch_.Clear();
        batchColor_.reset();
        state_ = State::Drawing;
      } else if (state_ == State::Drawing && start >= to_) {
        Flush();
        state_ = State::After;
      }
    }
    if (state_ == State::After) return false;
    if (collect) {
      if (batchColor_ && *batchColor_ != pending.PenColor) Flush();
      batchColor_ = pending.PenColor;
      batch_.Append(figure);
      if (batch_.Count() > MaxBatchElements) Flush();
      return true;
    }
    Flush();
    if (state_ == State::Drawing) {
      Apply(pending);
      canvas_.drawPath(ToPainterPath(figure, figurePath_));
    }
    return true;
  }

  void Flush() {
    if (!batchColor_) return;
    if (state_ == State::Drawing && !batch_.IsEmpty()) {
      if (!DrawDirect()) {
        PendingSettings stroke;
        stroke.PenColor = *batchColor_;
        Apply(stroke);
        canvas_.drawPath(ToPainterPath(batch_, batchPath_));
      }
    }
    batch_.Clear();
    batchColor_.reset();
  }

 private:
  static constexpr std::size_t MaxBatchElements = 1 << 14;

  static QPen PenFor(const QColor& colour, Qt::PenStyle style) {
    QPen pen(colour);
    pen.setWidth(1);
    pen.setCosmetic(true);
    pen.setStyle(style);
    // A cosmetic line covers the pixels from its start up to, not including, its end, so
    // consecutive segments meet without doubling and a closed outline is complete.
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
  }

  // Draws the collected strokes with the line drawer when the canvas is an image it can draw
  // on as the painter would (no transform, clip, antialiasing, opacity or blending, an opaque
  // colour). False leaves them to the painter.
  bool DrawDirect() {
    if (painterLines_ || !Direct()) return false;
    const QColor colour = ToQColor(*batchColor_, palette_);
    if (colour.alpha() != 255 || colour.rgba64().alpha() != 65535) return false;
    // The elements are whole numbers of pixels within 2^34 (mapped points, at most doubled) in a
    // list FigureElements built: only the image is left to check.
    const uint32_t pixel = PixelOf(*batchColor_, colour);
    if (queue_) {
      queue_->Push(batch_.Release(), pixel, target_);
    } else {
      DrawOnePixelLines(target_, pixel, batch_.Elements());
    }
    return true;
  }

  bool Direct() {
    if (!direct_) {
      direct_ = false;
      QPaintDevice* device = canvas_.device();
      if (device && device->devType() == QInternal::Image && !canvas_.hasClipping() &&
          canvas_.deviceTransform().type() == QTransform::TxNone &&
          canvas_.compositionMode() == QPainter::CompositionMode_SourceOver &&
          canvas_.opacity() == 1.0 && !canvas_.testRenderHint(QPainter::Antialiasing)) {
        auto* image = static_cast<QImage*>(device);
        const QImage::Format format = image->format();
        if ((format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied) &&
            image->devicePixelRatio() == 1.0) {
          const uchar* before = image->constBits();
          uchar* bits = image->bits();  // the painter holds the image unshared: no copy
          PixelTarget target;
          target.Pixels = reinterpret_cast<uint32_t*>(bits);
          target.Stride = image->bytesPerLine() / 4;
          target.Width = image->width();
          target.Height = image->height();
          if (bits == before && OnePixelTargetApplies(target)) {
            format_ = format;
            target_ = target;
            direct_ = true;
          }
        }
      }
    }
    return *direct_;
  }

  // The value the painter stores for a line in this colour, found by letting it draw one.
  uint32_t PixelOf(TColor value, const QColor& colour) {
    const auto known = pixels_.find(value);
    if (known != pixels_.end()) return known->second;
    QImage probe(3, 1, format_);
    probe.fill(0u);
    {
      QPainter painter(&probe);
      painter.setRenderHint(QPainter::Antialiasing, false);
      painter.setPen(PenFor(colour, Qt::SolidLine));
      painter.drawLine(QPointF(0, 0), QPointF(2, 0));
    }
    const uint32_t pixel = reinterpret_cast<const uint32_t*>(probe.constScanLine(0))[0];
    pixels_.emplace(value, pixel);
    return pixel;
  }

  void Apply(const PendingSettings& s) {
    if (!penSet_ || s.PenColor != penColor_ || s.PenStyle != penStyle_) {
      canvas_.setPen(PenFor(ToQColor(s.PenColor, palette_), s.PenStyle));
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
  bool painterLines_;
  StrokeQueue* queue_;  // where the collected strokes go instead, when given
  FigureElements batch_;
  std::optional<TColor> batchColor_;
  QPainterPath figurePath_;  // what goes to the painter, kept for its memory
  QPainterPath batchPath_;
  bool penSet_ = false;
  TColor penColor_ = 0;
  Qt::PenStyle penStyle_ = Qt::SolidLine;
  bool brushSet_ = false;
  std::optional<TColor> brush_;
  std::optional<bool> direct_;  // whether the line drawer can draw on the canvas
  PixelTarget target_;
  QImage::Format format_ = QImage::Format_RGB32;
  std::unordered_map<TColor, uint32_t> pixels_;
  enum class State { Before, Drawing, After };
  State state_ = State::Drawing;
  std::size_t from_ = 0;
  std::size_t to_ = SIZE_MAX;
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

// How often a drawing looks at its cancel flag (in paths): a few hundred paths take well under
// a millisecond.
constexpr std::size_t CancelCheckPaths = 256;

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

namespace {

// The path's points into the figure, mapped onto the canvas; `current` is where the drawing
// stands. A line or curve that comes first in a figure starts at the current position. (A
// cleared figure still holds a move to (0, 0); it is empty while it holds only a move.)
void AddPoints(FigureElements& figure, const tpath& path, const PointMapper& map,
               QPointF& current) {
  for (const tbpoint& p : path.Items) {
    switch (p.Kind) {
      case 0:
        current = map(p.X1, p.Y1);
        figure.MoveTo(current.x(), current.y());
        break;
      case 1:
        if (figure.IsEmpty()) figure.MoveTo(current.x(), current.y());
        current = map(p.X1, p.Y1);
        figure.LineTo(current.x(), current.y());
        break;
      case 2: {
        if (figure.IsEmpty()) figure.MoveTo(current.x(), current.y());
        const QPointF c1 = map(p.X1, p.Y1);
        const QPointF c2 = map(p.X2, p.Y2);
        current = map(p.X3, p.Y3);
        figure.CubicTo(c1.x(), c1.y(), c2.x(), c2.y(), current.x(), current.y());
        break;
      }
      default:
        break;  // no other kinds are drawn
    }
  }
}

// DrawPaths for the part of the list that FigurePainter::SetRange(from, to) picks.
DrawStats DrawPart(QPainter& canvas, std::span<const tpath* const> paths, int factor, DrawMode mode,
                   const ScreenMapping& mapping, QPointF* position, const QPalette& palette,
                   const std::atomic<bool>* cancel, std::size_t from, std::size_t to,
                   bool painterLines, StrokeQueue* queue = nullptr) {
  DrawStats stats;
  if (paths.empty()) return stats;

  canvas.setRenderHint(QPainter::Antialiasing, false);
  const QRectF clip = ClipRect(canvas);
  const PointMapper map(mapping, factor);
  QPointF current = position ? *position : QPointF(0, 0);

  FigurePainter painter(canvas, palette, painterLines, queue);
  painter.SetRange(from, to);
  PendingSettings pending;
  FigureElements figure;
  int32_t figureNo = -1;        // no figure open
  std::size_t points = 0;       // points of the paths before this one
  std::size_t figureStart = 0;  // points before the open figure's first path

  std::size_t sinceCheck = 0;
  bool going = true;
  for (const tpath* entry : paths) {
    if (cancel && ++sinceCheck == CancelCheckPaths) {
      sinceCheck = 0;
      if (cancel->load(std::memory_order_relaxed)) return stats;
    }
    if (!entry) continue;
    const tpath& path = *entry;

    if (path.CompoundNo != figureNo || mode == DrawMode::Orientation) {
      if (figureNo >= 0 && !painter.Finish(figure, pending, figureStart)) {
        going = false;
        break;
      }
      figureNo = path.CompoundNo;
      figureStart = points;
      figure.Clear();
    }
    points += path.Items.size();
    ChooseSettings(pending, path, mode);

    if (!BoxVisible(MapBox(mapping, path), factor, clip)) {
      ++stats.Culled;
      continue;
    }
    ++stats.Emitted;
    AddPoints(figure, path, map, current);
  }
  if (going) {
    if (figureNo >= 0) painter.Finish(figure, pending, figureStart);
    painter.Flush();
  }

  if (position) *position = current;
  return stats;
}

}  // namespace

DrawStats DrawPaths(QPainter& canvas, std::span<const tpath* const> paths, int factor,
                    DrawMode mode, const ScreenMapping& mapping, QPointF* position,
                    const QPalette& palette, const std::atomic<bool>* cancel, bool painterLines) {
  return DrawPart(canvas, paths, factor, mode, mapping, position, palette, cancel, 0, SIZE_MAX,
                  painterLines);
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

// Whether every colour a drawing can take is opaque: the fixed ones and the ordinary colour
// values are, a system colour is when the palette's is.
bool PaletteOpaque(const QPalette& palette) {
  for (int n = 0; n <= 24; ++n)
    if (SystemColor(n, palette).alpha() != 255) return false;
  return true;
}

// Where the drawing position stands before the entry `end` of the list, when it stood at
// `start` before the first: at the last point placed by the last path before `end` that was
// drawn (not culled) and places one.
QPointF PositionBefore(std::span<const tpath* const> paths, std::size_t end, int factor,
                       const ScreenMapping& mapping, const QRectF& clip, QPointF start) {
  const PointMapper map(mapping, factor);
  for (std::size_t i = end; i-- > 0;) {
    const tpath* path = paths[i];
    if (!path || !BoxVisible(MapBox(mapping, *path), factor, clip)) continue;
    for (auto it = path->Items.rbegin(); it != path->Items.rend(); ++it) {
      if (it->Kind == 0 || it->Kind == 1) return map(it->X1, it->Y1);
      if (it->Kind == 2) return map(it->X3, it->Y3);
    }
  }
  return start;
}

// Lays `layer` over `target` (both the same size): every pixel the layer painted replaces the
// target's. Painted pixels are opaque, the others fully transparent.
void LayOver(QImage& target, const QImage& layer) {
  const int width = target.width();
  for (int y = 0; y < target.height(); ++y) {
    const auto* from = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
    auto* to = reinterpret_cast<QRgb*>(target.scanLine(y));
    for (int x = 0; x < width; ++x)
      if (qAlpha(from[x]) != 0) to[x] = from[x];
  }
}

// One part of a drawing: a run of paths in one mode, from a given drawing position, onto the
// target itself (only the first part of a drawing) or onto a transparent layer of its own.
struct Part {
  std::span<const tpath* const> Paths;  // the whole pass: the part is picked by From and To
  std::size_t From = 0;
  std::size_t To = SIZE_MAX;
  DrawMode Mode = DrawMode::Wireframe;
  QPointF Position;  // where the pass starts
  bool OnTarget = false;
  QImage Layer;
  std::exception_ptr Failed;
};

// Cuts a pass into at most `most` parts that take about as long to draw (each starting where
// FigurePainter finds a clean cut).
void AddParts(std::vector<Part>& parts, std::span<const tpath* const> paths, DrawMode mode,
              QPointF start, std::size_t most, std::size_t minPoints) {
  std::size_t points = 0;
  for (const tpath* path : paths)
    if (path) points += path->Items.size();
  const std::size_t count = std::min<std::size_t>(
      most, std::max<std::size_t>(1, points / std::max<std::size_t>(1, minPoints)));
  // A part first collects everything before its share without drawing it, at about a
  // quarter of the cost of drawing: later parts get smaller shares so that all take about as
  // long. With c the first share, share k + 1 ends at c + (1 - 1/4) * (where share k starts).
  double sum = 0, power = 1;
  for (std::size_t k = 0; k < count; ++k, power *= 0.75)
    sum += power;
  std::vector<std::size_t> bounds{0};
  double bound = 0;
  for (std::size_t k = 1; k < count; ++k) {
    bound = 1 / sum + 0.75 * bound;
    bounds.push_back(static_cast<std::size_t>(bound * static_cast<double>(points)));
  }
  for (std::size_t k = 0; k < count; ++k) {
    Part part;
    part.Paths = paths;
    part.From = bounds[k];
    part.To = k + 1 == count ? SIZE_MAX : bounds[k + 1];
    part.Mode = mode;
    part.Position = start;
    parts.push_back(std::move(part));
  }
}

// Draws the parts side by side on `threads` threads and lays the layers over the target in
// order; `between` runs once the first `first` parts are on the target. False when cancelled.
bool RunParts(QImage& target, std::vector<Part>& parts, int factor, const ScreenMapping& mapping,
              const QPalette& palette, const RenderControl& control, std::size_t first = 0,
              const std::function<void()>& between = {}) {
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t k; (k = next.fetch_add(1)) < parts.size();) {
      Part& part = parts[k];
      try {
        QImage* canvas = &target;
        if (!part.OnTarget) {
          part.Layer = QImage(target.size(), QImage::Format_ARGB32_Premultiplied);
          if (part.Layer.isNull()) throw std::bad_alloc();
          part.Layer.fill(Qt::transparent);
          canvas = &part.Layer;
        }
        QPainter painter(canvas);
        DrawPart(painter, part.Paths, factor, part.Mode, mapping, &part.Position, palette,
                 control.Cancel, part.From, part.To, control.PainterLines);
      } catch (...) {
        part.Failed = std::current_exception();
      }
    }
  };
  // Each thread takes parts until none are left; with fewer threads the ones there are do them.
  RunOnThreads(std::min<std::size_t>(control.Threads, parts.size()), [&](std::size_t) { work(); });
  for (const Part& part : parts)
    if (part.Failed) std::rethrow_exception(part.Failed);
  if (control.Cancel && control.Cancel->load(std::memory_order_relaxed)) return false;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    if (k == first && between) between();
    if (!parts[k].OnTarget) LayOver(target, parts[k].Layer);
  }
  if (first >= parts.size() && between) between();
  return true;
}

bool Layered(const QPalette& palette, const RenderControl& control) {
  return control.Threads > 1 && PaletteOpaque(palette);
}

PixelTarget PixelsOf(QImage& image) {
  PixelTarget target;
  target.Pixels = reinterpret_cast<uint32_t*>(image.bits());
  target.Stride = image.bytesPerLine() / 4;
  target.Width = image.width();
  target.Height = image.height();
  return target;
}

// Whether the silver pass can be drawn by DrawBackgroundPipelined: several threads, a list long
// enough, an image the line drawer draws on.
bool PipelineApplies(const QImage& target, std::span<const tpath* const> paths,
                     const QPalette& palette, const RenderControl& control) {
  if (!Layered(palette, control) || control.PainterLines || target.isNull() ||
      (target.format() != QImage::Format_RGB32 &&
       target.format() != QImage::Format_ARGB32_Premultiplied) ||
      target.width() > 32767 || target.height() > 32767) {
    return false;
  }
  std::size_t points = 0;
  for (const tpath* path : paths)
    if (path) points += path->Items.size();
  return points / std::max<std::size_t>(1, control.MinPointsPerLayer) >= 2;
}

// The silver pass (every path stroked in one colour) on several threads without cutting the
// list: this thread builds the stroke lists in order, as a single drawing does, and hands them
// to the others, which draw them onto layers of their own (StrokeQueue); the layers are then
// laid over the target. Every list is drawn, in one colour, so the pixels are the single
// drawing's. False when cancelled.
bool DrawBackgroundPipelined(QImage& target, std::span<const tpath* const> paths, int factor,
                             const ScreenMapping& mapping, QPointF& position,
                             const QPalette& palette, const RenderControl& control) {
  const std::size_t helpers = control.Threads - 1;
  std::vector<QImage> layers;
  for (std::size_t k = 0; k < helpers; ++k) {
    QImage layer(target.size(), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull()) throw std::bad_alloc();
    layer.fill(Qt::transparent);
    layers.push_back(std::move(layer));
  }
  std::vector<PixelTarget> layerPixels;
  for (QImage& layer : layers)
    layerPixels.push_back(PixelsOf(layer));
  StrokeQueue queue(4);
  // Workers the system cannot give leave their layers empty: the others, and this thread at
  // least, draw every list.
  WorkerThreads workers(helpers,
                        [&](std::size_t k) { queue.Work(layerPixels[k], control.Cancel); });
  // However this thread leaves, the workers are told to finish (before they are waited for).
  struct Finish {
    StrokeQueue& queue;
    ~Finish() { queue.Finish(); }
  } finish{queue};
  {
    QPainter painter(&target);
    DrawPart(painter, paths, factor, DrawMode::Background, mapping, &position, palette,
             control.Cancel, 0, SIZE_MAX, false, &queue);
  }
  queue.Finish();
  queue.Work(PixelsOf(target), control.Cancel);  // what is left
  workers.Join();
  if (control.Cancel && control.Cancel->load(std::memory_order_relaxed)) return false;
  for (std::size_t k = 0; k < helpers && k < layers.size(); ++k)
    LayOver(target, layers[k]);
  return true;
}

}  // namespace

bool DrawPathsLayered(QImage& target, std::span<const tpath* const> paths, int factor,
                      DrawMode mode, const ScreenMapping& mapping, QPointF& position,
                      const QPalette& palette, const RenderControl& control) {
  if (target.isNull()) return true;
  if (mode == DrawMode::Background && PipelineApplies(target, paths, palette, control))
    return DrawBackgroundPipelined(target, paths, factor, mapping, position, palette, control);
  std::vector<Part> parts;
  if (Layered(palette, control)) {
    AddParts(parts, paths, mode, position, control.Threads, control.MinPointsPerLayer);
  }
  if (parts.size() <= 1) {
    QPainter painter(&target);
    DrawPaths(painter, paths, factor, mode, mapping, &position, palette, control.Cancel,
              control.PainterLines);
    return !(control.Cancel && control.Cancel->load(std::memory_order_relaxed));
  }
  parts.front().OnTarget = true;
  if (!RunParts(target, parts, factor, mapping, palette, control)) return false;
  position = parts.back().Position;
  return true;
}

PreviewPicture RenderPreview(const PreviewInput& input, FloatRect& viewExtent, SilverCache* cache,
                             const RenderControl& control) {
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
    out.Complete = DrawPathsLayered(target, input.TreePaths, factor, input.ViewMode, *mapping,
                                    position, input.Palette, control);
  } else if (cache && cache->Matches(input.TreePaths, viewExtent, input.Width, input.Height,
                                     input.Enhanced)) {
    target = cache->Image();
    position = cache->EndPosition();
    out.Complete = DrawPathsLayered(target, input.SelectedPaths, factor, input.ViewMode, *mapping,
                                    position, input.Palette, control);
  } else {
    target = WhiteImage(int64_t{input.Width} * factor, int64_t{input.Height} * factor);
    if (PipelineApplies(target, input.TreePaths, input.Palette, control)) {
      // The silver pass built on this thread and drawn on the others, then the selection.
      out.Complete = DrawBackgroundPipelined(target, input.TreePaths, factor, *mapping, position,
                                             input.Palette, control);
      if (cache && out.Complete) {
        cache->Store(input.TreePaths, viewExtent, input.Width, input.Height, input.Enhanced, target,
                     position);
      }
      out.Complete =
          out.Complete && DrawPathsLayered(target, input.SelectedPaths, factor, input.ViewMode,
                                           *mapping, position, input.Palette, control);
    } else if (!target.isNull() && Layered(input.Palette, control)) {
      // The silver pass and the selection cut into parts drawn side by side, the selection
      // starting where the silver pass leaves the drawing position.
      const QRectF clip(0, 0, target.width(), target.height());
      std::vector<Part> parts;
      AddParts(parts, input.TreePaths, DrawMode::Background, position, control.Threads,
               control.MinPointsPerLayer);
      parts.front().OnTarget = true;
      const std::size_t silverParts = parts.size();
      const QPointF selectionStart =
          PositionBefore(input.TreePaths, input.TreePaths.size(), factor, *mapping, clip, position);
      AddParts(parts, input.SelectedPaths, input.ViewMode, selectionStart, control.Threads,
               control.MinPointsPerLayer);
      out.Complete =
          RunParts(target, parts, factor, *mapping, input.Palette, control, silverParts, [&] {
            if (cache)
              cache->Store(input.TreePaths, viewExtent, input.Width, input.Height, input.Enhanced,
                           target.copy(), parts[silverParts - 1].Position);
          });
    } else {
      out.Complete = DrawPathsLayered(target, input.TreePaths, factor, DrawMode::Background,
                                      *mapping, position, input.Palette, control);
      if (cache && out.Complete) {
        cache->Store(input.TreePaths, viewExtent, input.Width, input.Height, input.Enhanced, target,
                     position);
      }
      out.Complete =
          out.Complete && DrawPathsLayered(target, input.SelectedPaths, factor, input.ViewMode,
                                           *mapping, position, input.Palette, control);
    }
  }

  if (!target.isNull()) out.Image = input.Enhanced ? HalveBitmap(target) : target;
  out.Mapping = *mapping;
  return out;
}

QRect DrawLineCounter(QImage& image, const std::string& text, const QFont& font,
                      const QColor& textColor, const QColor& background) {
  if (image.isNull()) return {};
  QPainter painter(&image);
  painter.setFont(font);
  const QFontMetrics metrics = painter.fontMetrics();
  const QString caption = QString::fromStdString(text);
  // The text cell's top-left corner at (0, 0), its background filled, as a text-out does.
  const QRect cell(0, 0, metrics.horizontalAdvance(caption), metrics.height());
  painter.fillRect(cell, background);
  painter.setPen(textColor);
  painter.drawText(QPoint(0, metrics.ascent()), caption);
  return cell;
}

}  // namespace aiimport
