// The path model: the point and path records, the model that holds the paths read, the result
// of the conversion, and the operations that measure and free paths. How a reader builds paths
// (its running values and the end-of-path step) is in pathcollector.h.
// No Qt here: everything in this folder is plain C++ and is tested without a display.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>

#include "colour.h"

namespace aiimport {

// One segment of a source path, as read from the file. Coordinates are PostScript points with
// y already multiplied by the vertical flip factor. Fields a kind does not use are zero.
struct tbpoint {
  int32_t Kind = 0;      // 0 move (starts a sub-path), 1 line, 2 cubic curve
  float X1 = 0, Y1 = 0;  // move, line: the point; curve: first control point
  float X2 = 0, Y2 = 0;  // curve: second control point
  float X3 = 0, Y3 = 0;  // curve: end point
  friend bool operator==(const tbpoint&, const tbpoint&) = default;
};

// One integer point: an output point in micrometres (Kind 1 start of a sub-path, 2 node,
// 3 quadratic control point), or a vertex of the orientation test's control polygon.
struct Tdot {
  int32_t Kind = 0;
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const Tdot&, const Tdot&) = default;
};

// A path: its points (held by value, owned by the path) and its attributes. The field order
// is the record's: Written, the box, the colours, the flags, the group level and the compound
// number.
template <class Item>
struct tpathOf {
  std::vector<Item> Items;

  bool Written = false;
  float MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
  TColor LineColor = 0;
  TColor FillColor = 0;
  bool Anticlockwise = false;
  bool Reversed = false;
  bool Filled = true;
  bool Closed = false;
  bool Flagged = false;
  int32_t GroupLevel = 0;
  int32_t CompoundNo = 0;

  std::size_t Count() const { return Items.size(); }
};

using tpath = tpathOf<tbpoint>;  // a path as read: PathList and CurrentPath
using tdotpath = tpathOf<Tdot>;  // a converted path: OutputList

struct FloatPoint {
  float X = 0, Y = 0;
  friend bool operator==(const FloatPoint&, const FloatPoint&) = default;
};

struct FloatRect {
  float MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
  friend bool operator==(const FloatRect&, const FloatRect&) = default;
};

struct IntRect {
  int32_t MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
  friend bool operator==(const IntRect&, const IntRect&) = default;
};

// The interpreter appends a point only while the current path holds at most this many, so a
// path has at most 16001 points.
inline constexpr std::size_t MaxPathItems = 16000;

// The drawing as read: every finished path in reading order and the extent the preview fits
// into the paint box. The main window owns one for its whole life and hands it to the reader
// (through a PathCollector), the tree, the preview and the import; tests make their own.
struct PathModel {
  std::deque<tpath> PathList;  // every finished path in reading order (stable addresses)
  FloatRect ViewExtent{0, 0, 600, 600};
};

// What the last import made of the chosen paths.
struct ConversionResult {
  std::vector<tdotpath> OutputList;  // the converted paths, in tree order
  IntRect OutputExtent{};            // the extent of every output point
};

// Drops every point of the path; the path and its attributes stay.
template <class Item>
void ClearPoints(tpathOf<Item>& path) {
  path.Items.clear();
}

// Empties a list of paths, last to first.
template <class List>
void ClearPaths(List& list) {
  while (!list.empty())
    list.pop_back();
}

// The orientation test: true when the turning angles of the path's control polygon sum to 0 or
// more (anticlockwise with y pointing up). The second form reuses a working buffer.
bool PathOrientation(const tpath& path);
bool PathOrientation(const tpath& path, std::vector<Tdot>& scratch);

// The two ways of summing the turning angles of a control polygon (thousandths of a unit, no two
// neighbours equal, the closing repeat removed). TurningSumLiteral adds the float32 angles one by
// one. TurningSumCertified gets the same answer from the polygon's exact turning number and a
// bound on the rounding of the float32 sum, without trigonometry; it returns nothing when the
// bound cannot settle the sign (no full turn, a spike that doubles back, huge coordinates), and
// the literal sum decides. PathOrientation uses the certified form first.
bool TurningSumLiteral(const std::vector<Tdot>& polygon);
std::optional<bool> TurningSumCertified(const std::vector<Tdot>& polygon);

// The direction of the vector (x, y) in radians, -pi .. pi, as float32.
float Direction(float x, float y);

// The angle by which the direction turns at Q on the way P, Q, R.
float TurnAngle(FloatPoint p, FloatPoint q, FloatPoint r);

// Sets the path's box from its points (control points included); (0, 0, 1, 1) when empty.
void PathBox(tpath& path);

namespace detail {
inline tpath& Deref(tpath& p) {
  return p;
}
inline tpath& Deref(tpath* p) {
  return *p;
}
inline const tpath& Deref(const tpath& p) {
  return p;
}
inline const tpath& Deref(const tpath* p) {
  return *p;
}
}  // namespace detail

// The union of the boxes of the paths (a range of tpath or of tpath pointers); (0, 0, 1, 1)
// for none. With recompute set, PathBox runs on each path first.
template <class Range>
FloatRect ComputeViewExtent(Range&& paths, bool recompute) {
  FloatRect extent{0, 0, 1, 1};
  bool first = true;
  for (auto&& item : paths) {
    auto&& path = detail::Deref(item);
    if constexpr (!std::is_const_v<std::remove_reference_t<decltype(path)>>) {
      if (recompute) PathBox(path);
    }
    if (first) {
      extent = {path.MinX, path.MinY, path.MaxX, path.MaxY};
      first = false;
    } else {
      if (path.MinX < extent.MinX) extent.MinX = path.MinX;
      if (path.MinY < extent.MinY) extent.MinY = path.MinY;
      if (path.MaxX > extent.MaxX) extent.MaxX = path.MaxX;
      if (path.MaxY > extent.MaxY) extent.MaxY = path.MaxY;
    }
  }
  return extent;
}

// How a drawing of width w and height h (world units, float32) fits into a paint box of
// width x height pixels with 10 pixels of margin across each direction: the scale is the
// smaller of (width - 10) / w and (height - 10) / h, each divided at extended precision and
// stored as float32, and the picture is centred: an offset is (size - R(scale * extent)) / 2,
// truncated towards zero, R rounding halves to even. w and h must not be 0.
struct PaintBoxFit {
  float Scale = 1.0f;
  int32_t OffsetX = 0;
  int32_t OffsetY = 0;
};
PaintBoxFit FitIntoPaintBox(float w, float h, int32_t width, int32_t height);

// Sets OutputExtent from every point of OutputList; minima 2147483647 and maxima -2147483647
// when there is none.
void ComputeOutputExtent(ConversionResult& output);

// Sets an output path's float32 box from its integer points.
void ComputeDotBounds(tdotpath& path);

// Colour values from float32 fractions: CMYK limited to 0 .. 1; RGB not limited, only the low
// eight bits of each rounded component kept.
TColor CmykToColor(float cyan, float magenta, float yellow, float black);
TColor RgbToColor(float red, float green, float blue);

// True exactly for "-", ".", "0" to "9" and the lower-case "e".
constexpr bool IsNumberChar(char c) {
  return c == '-' || c == '.' || c == 'e' || (c >= '0' && c <= '9');
}

}  // namespace aiimport
