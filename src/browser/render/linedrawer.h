// The preview's one-pixel lines without the painter's per-call costs. A large drawing is
// hundreds of thousands of small outlines, and Qt's path machinery (building a QPainterPath,
// copying it into a vector path, mapping every point through the transform) costs several times
// what setting the pixels does. Here a figure is kept as the element list a QPainterPath would
// hold after the same calls, and a list of stroked figures is drawn straight into the image's
// pixels, setting exactly the pixels Qt's raster engine sets for that list with a cosmetic,
// aliased, solid, flat-capped pen one pixel wide, an opaque colour, no transform and no clip.
// The tests compare the two on random lists and on whole drawings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace aiimport {

// The kinds of QPainterPath::ElementType, with its values.
enum class ElementKind : uint8_t { Move = 0, Line = 1, Curve = 2, CurveData = 3 };

struct PathElement {
  double X = 0;
  double Y = 0;
  ElementKind Kind = ElementKind::Move;
  friend bool operator==(const PathElement&, const PathElement&) = default;
};

// A figure's elements, built by the rules of QPainterPath: a line to the point where the path
// stands and a curve whose points all lie there add nothing, a move after a move replaces it,
// and points compare as QPointF does (relatively, to 12 digits). Appending one list to another
// drops a move that ends the first, as addPath does.
class FigureElements {
 public:
  void MoveTo(double x, double y);
  void LineTo(double x, double y);
  void CubicTo(double x1, double y1, double x2, double y2, double x3, double y3);
  // Back to a lone move to (0, 0), or nothing when nothing was ever added.
  void Clear();
  // True while it holds at most a move.
  bool IsEmpty() const { return elements_.size() <= 1; }
  void Append(const FigureElements& other);
  std::size_t Count() const { return elements_.size(); }
  std::span<const PathElement> Elements() const { return elements_; }
  // Hands the elements over and holds nothing, as if nothing had ever been added.
  std::vector<PathElement> Release() {
    std::vector<PathElement> out;
    out.swap(elements_);
    return out;
  }

 private:
  void Ensure();
  std::vector<PathElement> elements_;
};

// The 32-bit pixels of an image (RGB32 or premultiplied ARGB32), rows `Stride` pixels apart.
struct PixelTarget {
  uint32_t* Pixels = nullptr;
  std::ptrdiff_t Stride = 0;
  int Width = 0;
  int Height = 0;
};

// Whether DrawOnePixelLines can draw this list as Qt would: whole-number coordinates within
// 2^40 of the origin (as the preview's mapped points are), an image no larger than the raster
// engine's coordinate limit, and subpaths that begin with a move.
bool OnePixelLinesApply(const PixelTarget& target, std::span<const PathElement> elements);
// The part of it about the image alone: enough for lists that FigureElements built from whole
// numbers within 2^40.
bool OnePixelTargetApplies(const PixelTarget& target);

// Strokes the list (one or more subpaths, each starting with a move) in `pixel`, an opaque
// colour value as the image stores it. The list must pass OnePixelLinesApply.
void DrawOnePixelLines(const PixelTarget& target, uint32_t pixel,
                       std::span<const PathElement> elements);

}  // namespace aiimport
