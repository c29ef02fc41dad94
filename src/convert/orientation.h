// Orientation correction ("Auto-Fix Holes"): the outer outlines and the holes of every compound
// path get opposite directions in the output. A closed or filled path that lies inside an even
// number of the other paths of its compound ends up anticlockwise, one inside an odd number
// clockwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pathunit.h"
#include "progress.h"

namespace aiimport {

// Where the orientation correction shows its work: the preview paint box. The drawing is not
// kept; the next repaint of the preview replaces it.
class OrientationCanvas {
 public:
  virtual ~OrientationCanvas() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Fills the whole client area with white.
  virtual void Clear() = 0;
  // A solid pen of the thinnest width in the colour (0x00BBGGRR).
  virtual void SetPen(TColor colour) = 0;
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
};

// Runs over output.OutputList as GenerateOutputPoints left it (boxes and OutputExtent set):
// reverses every closed or filled path whose Anticlockwise flag does not match the parity of
// its NestingDepth. Draws the output on the canvas, when there is one (all paths in silver,
// then each path in its final colour once decided), and shows "Auto Correct Layer:  i" as the
// progress's status with one event pump per path.
void CorrectOrientation(ConversionResult& output, Progress& progress, OrientationCanvas* canvas);

// True when (x, y) lies inside the path by the non-zero rule. Every sub-path (a run that starts
// at a kind-1 point; the first run starts at the first point) counts as a closed ring: no edge
// joins two sub-paths, and a ring whose last point differs from its first is closed by an edge
// back to it. A path of fewer than 3 points contains nothing; a point outside the path's box
// (borders included) is outside.
bool PointInPath(const tdotpath& path, int32_t x, int32_t y);

// The crossing of the edge p-q with the ray from `point` towards smaller x: 0; +1 or -1 for an
// edge that ends on the ray's line left of the point; +2 or -2 for a full crossing; the sign is
// the edge's vertical direction (+ upwards in y).
inline int32_t EdgeCrossing(FloatPoint p, FloatPoint q, FloatPoint point) {
  const float x = point.X, y = point.Y;
  if ((p.Y < y && q.Y < y) || (p.Y > y && q.Y > y)) return 0;
  int32_t d;
  if (q.Y > p.Y)
    d = 1;
  else if (q.Y < p.Y)
    d = -1;
  else
    return 0;
  if (p.X > x && q.X > x) return 0;  // wholly right of the point
  if (p.Y == y) return x > p.X ? d : 0;
  if (q.Y == y) return x > q.X ? d : 0;
  using Ext = long double;
  const double cx = static_cast<double>(static_cast<Ext>(p.X) + (static_cast<Ext>(q.X) - p.X) *
                                                                    (static_cast<Ext>(y) - p.Y) /
                                                                    (static_cast<Ext>(q.Y) - p.Y));
  return cx < x ? 2 * d : 0;
}

// Reverses the path's direction: toggles Reversed and Anticlockwise and reverses the order of
// the sub-paths and of the points within each. Every reversed sub-path starts with a kind-1
// point and ends with a node (its old start becomes kind 2 where it was below 2); kind-3 points
// keep their kind.
void ReversePath(tdotpath& path);

// Draws one output path on the view, fitted with the others into the paint box: mode 1 in
// silver (the first pass), mode 0 dark blue when Anticlockwise, else dark red.
void DrawOutputPath(const tdotpath& path, int mode, const IntRect& outputExtent,
                    OrientationCanvas& canvas);

// The pen colours of the drawing.
inline constexpr TColor SilverColor = 0x00C0C0C0;
inline constexpr TColor AnticlockwiseColor = 0x00800000;  // dark blue
inline constexpr TColor ClockwiseColor = 0x00000080;      // dark red

}  // namespace aiimport
