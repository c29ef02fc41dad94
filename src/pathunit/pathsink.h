// The one way a reader hands over what it reads: points, the painting of a path, colours,
// groups and compound paths. Every reader (the Illustrator line reader, the PDF page reader)
// and the tests' path builders talk to this interface only; PathCollector turns the calls into
// the records of PathList.
#pragma once

#include <string_view>

#include "pathunit.h"

namespace aiimport {

// The view extent a reader begins a drawing with, until the file gives its own.
inline constexpr FloatRect StartViewExtent{0, -60, 60, 0};

class PathSink {
 public:
  virtual ~PathSink() = default;

  // A new drawing: nothing read before is kept, the view extent is `viewExtent`, the colours are
  // black, the group level and the compound number 0, no compound is open, and an empty path
  // waits for points.
  virtual void BeginDrawing(const FloatRect& viewExtent) = 0;
  // Reading was aborted: nothing of the drawing is kept.
  virtual void AbortDrawing() = 0;

  // A reader that delivers a whole drawing in one go may say so after BeginDrawing: the sink
  // may then leave work on which none of its later calls depends (such as the orientation test
  // of the paths) until EndDrawing, which finishes it, on several threads where it can.
  // AbortDrawing drops such work. Sinks that finish everything at once ignore both.
  virtual void ExpectEndDrawing() {}
  virtual void EndDrawing() {}

  virtual void SetViewExtent(const FloatRect& viewExtent) = 0;

  // Appends a point (y already flipped as the reader's options say) to the path being collected.
  // Returns false, adding nothing, when that path already holds its maximum of points.
  virtual bool AddPoint(const tbpoint& point) = 0;
  // Marks the path being collected closed; the painting code decides what it finally is.
  virtual void ClosePath() = 0;
  // Drops the points collected so far (an unpainted path such as a clipping outline); the
  // path's attributes stay.
  virtual void DiscardPoints() = 0;
  // Paints the path being collected with a two-character code: "b " "B " "f " "F " "s " "S "
  // "q " "Q " (lower case closed; b, B, f and F filled). The path joins the drawing, even without
  // points, with the colours, group level and compound number in force now, and a new empty
  // path takes its place.
  virtual void Paint(std::string_view code) = 0;

  // The colours (0x00BBGGRR) that paths painted from now on get.
  virtual void SetLineColor(TColor colour) = 0;
  virtual void SetFillColor(TColor colour) = 0;

  // Groups nest: each begin raises the group level by one, each end lowers it (unbalanced input
  // may make it negative).
  virtual void BeginGroup() = 0;
  virtual void EndGroup() = 0;
  // The paths painted between these share one compound number. Compounds do not nest: a second
  // begin changes nothing.
  virtual void BeginCompound() = 0;
  virtual void EndCompound() = 0;
};

}  // namespace aiimport
