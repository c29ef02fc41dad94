#include "outputpoints.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <vector>

#include "parallel.h"

#include "geometry.h"
#include "numeric.h"

namespace aiimport {

namespace {

[[noreturn, gnu::noinline, gnu::cold]] void ThrowNotFinite() {
  throw ImportError(
      "Cannot import: a coordinate of the drawing is not a finite number (its values are too "
      "large to compute with). Nothing was written.");
}

[[noreturn, gnu::noinline, gnu::cold]] void ThrowOutOfRange(float v) {
  char value[32];
  std::snprintf(value, sizeof value, "%g", static_cast<double>(v));
  throw ImportError("Cannot import: the coordinate " + std::string(value) +
                    " (points) lies outside the range of the host file (at most 2147483647 "
                    "micrometres, about 2.1 km, from the origin). Nothing was written.");
}

// R(v). The product is formed exactly: OutputScale has 23 significant bits and v at most 24,
// so a double holds it as the extended product would. Within the range checked first, the low
// 32 bits of the rounded product are the whole of it.
// With `nearest` (ConversionsRoundToNearest() on this thread) the rounding is one processor
// conversion.
inline int32_t Micrometres(float v, bool nearest = false) {
  const double product = static_cast<double>(OutputScale) * static_cast<double>(v);
  if (!(product >= -2147483648.5 && product < 2147483647.5)) [[unlikely]] {
    if (!std::isfinite(product)) ThrowNotFinite();
    ThrowOutOfRange(v);
  }
  return nearest ? ConvertToNearest(product) : RoundLow32Exact(product);
}

// One output path's points, curve by curve.
class PointBuilder {
 public:
  PointBuilder(std::vector<Tdot>& out, bool reduce)
      : out_(out), reduce_(reduce), nearest_(ConversionsRoundToNearest()) {}

  // A new path: its first curve starts at (0, 0) unless a point came before.
  void Start() { previous_ = {0, 0}; }

  void Add(const tbpoint& p) {
    switch (p.Kind) {
      case 0:  // move: the start of a sub-path
        Put(1, p.X1, p.Y1);
        previous_ = {p.X1, p.Y1};
        break;
      case 1:  // line: a node
        Put(2, p.X1, p.Y1);
        previous_ = {p.X1, p.Y1};
        break;
      case 2: {  // curve: quadratic controls, then the end point as a node
        const BezierSegment curve{previous_.X, previous_.Y, p.X1, p.Y1, p.X2, p.Y2, p.X3, p.Y3};
        previous_ = {p.X3, p.Y3};
        const CurveApprox approx = reduce_ ? ApproxCurveReduced(curve) : ApproxCurveFixed(curve);
        for (int32_t k = 0; k < approx.Count; ++k) {
          const FloatPoint& q = approx.Points[static_cast<std::size_t>(k)];
          Put(k + 1 < approx.Count ? 3 : 2, q.X, q.Y);
        }
        break;
      }
      default:  // no other kind produces a point
        break;
    }
  }

 private:
  void Put(int32_t kind, float x, float y) {
    out_.push_back({kind, Micrometres(x, nearest_), Micrometres(y, nearest_)});
  }

  std::vector<Tdot>& out_;
  bool reduce_;
  bool nearest_;
  FloatPoint previous_{0, 0};
};

// The number of points the fixed conversion gives for a path: one per move and line, five per
// curve.
std::size_t FixedPointCount(const tpath& path) {
  std::size_t n = 0;
  for (const tbpoint& p : path.Items)
    n += p.Kind == 2 ? 5 : (p.Kind == 0 || p.Kind == 1 ? 1 : 0);
  return n;
}

}  // namespace

int32_t OutputCoordinate(float v) {
  return Micrometres(v);
}

namespace {

// One output path from its source path: the attributes, then the points.
void CopyAttributes(const tpath& source, tdotpath& path) {
  path.LineColor = source.LineColor;
  path.FillColor = source.FillColor;
  path.Anticlockwise = source.Anticlockwise;
  path.Reversed = source.Reversed;
  path.Filled = source.Filled;
  path.Closed = source.Closed;
  path.GroupLevel = source.GroupLevel;
  path.CompoundNo = source.CompoundNo;
}

void ConvertPath(const tpath& source, tdotpath& path, bool reduce, std::vector<Tdot>& scratch) {
  CopyAttributes(source, path);
  if (reduce) {
    // Reduced paths are built in the scratch buffer and copied at their exact size.
    scratch.clear();
    PointBuilder builder(scratch, true);
    for (const tbpoint& p : source.Items)
      builder.Add(p);
    path.Items.assign(scratch.begin(), scratch.end());
  } else {
    path.Items.reserve(FixedPointCount(source));
    PointBuilder builder(path.Items, false);
    for (const tbpoint& p : source.Items)
      builder.Add(p);
  }
}

// The smallest and largest coordinates of a run of output paths.
struct Span {
  int32_t MinX = 2147483647, MinY = 2147483647;
  int32_t MaxX = INT32_MIN, MaxY = INT32_MIN;
  void Add(const tdotpath& path) { Add(std::span<const Tdot>(path.Items)); }
  void Add(std::span<const Tdot> points) {
    for (const Tdot& d : points) {
      MinX = std::min(MinX, d.X);
      MinY = std::min(MinY, d.Y);
      MaxX = std::max(MaxX, d.X);
      MaxY = std::max(MaxY, d.Y);
    }
  }
  void Add(const Span& s) {
    MinX = std::min(MinX, s.MinX);
    MinY = std::min(MinY, s.MinY);
    MaxX = std::max(MaxX, s.MaxX);
    MaxY = std::max(MaxY, s.MaxY);
  }
};

// What the shift leaves of a run of paths: the largest box corner and the number of points.
struct Shifted {
  int32_t MaxX = -2147483647, MaxY = -2147483647;
  bool AnyPoint = false;
  uint64_t Points = 0;

  // A shifted path's box (its points' box; the empty box for a path without points), counted.
  void SetBox(tdotpath& path, int32_t minX, int32_t minY, int32_t maxX, int32_t maxY) {
    if (path.Items.empty()) {
      path.MinX = path.MinY = 2147483648.0f;
      path.MaxX = path.MaxY = -2147483648.0f;
    } else {
      path.MinX = static_cast<float>(minX);
      path.MinY = static_cast<float>(minY);
      path.MaxX = static_cast<float>(maxX);
      path.MaxY = static_cast<float>(maxY);
      MaxX = std::max(MaxX, maxX);
      MaxY = std::max(MaxY, maxY);
      AnyPoint = true;
    }
    Points += path.Count();
  }
};

// Moves the paths [from, to) by (-minX, -minY) and sets their boxes. Throws ImportError when a
// point leaves the int32 range.
// `Checked`: a point may leave the range; otherwise every shifted point is known to fit.
template <bool Checked>
Shifted ShiftPaths(std::span<tdotpath> paths, int64_t minX, int64_t minY) {
  Shifted result;
  for (tdotpath& path : paths) {
    int32_t boxMinX = 2147483647, boxMinY = 2147483647, boxMaxX = INT32_MIN, boxMaxY = INT32_MIN;
    for (Tdot& d : path.Items) {
      // Every point is at or above the minimum, so only the upper end of the range can be left.
      const int64_t x = d.X - minX, y = d.Y - minY;
      if (Checked && (x > INT32_MAX || y > INT32_MAX))
        throw ImportError(
            "Cannot import: the drawing is too large for the host file (more than 2147483647 "
            "micrometres, about 2.1 km, across). Nothing was written.");
      d.X = static_cast<int32_t>(x);
      d.Y = static_cast<int32_t>(y);
      boxMinX = std::min(boxMinX, d.X);
      boxMinY = std::min(boxMinY, d.Y);
      boxMaxX = std::max(boxMaxX, d.X);
      boxMaxY = std::max(boxMaxY, d.Y);
    }
    result.SetBox(path, boxMinX, boxMinY, boxMaxX, boxMaxY);
  }
  return result;
}

// ShiftPaths<false> for paths whose boxes before the shift are known (boxes[i] for paths[i]): the
// points are only moved, and the boxes are the known ones moved.
Shifted ShiftKnownBoxes(std::span<tdotpath> paths, std::span<const IntRect> boxes, int64_t minX,
                        int64_t minY) {
  Shifted result;
  // Every difference fits in an int32: it is worked out in 32 bits, wrapping as it may.
  const uint32_t dx = static_cast<uint32_t>(minX), dy = static_cast<uint32_t>(minY);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    tdotpath& path = paths[i];
    for (Tdot& d : path.Items) {
      d.X = static_cast<int32_t>(static_cast<uint32_t>(d.X) - dx);
      d.Y = static_cast<int32_t>(static_cast<uint32_t>(d.Y) - dy);
    }
    // An empty path's box is not used: SetBox gives it the empty box.
    const IntRect& b = boxes[i];
    result.SetBox(path, static_cast<int32_t>(b.MinX - minX), static_cast<int32_t>(b.MinY - minY),
                  static_cast<int32_t>(b.MaxX - minX), static_cast<int32_t>(b.MaxY - minY));
  }
  return result;
}

// Where the chunks of the parallel conversion start, and the end: runs of paths of about the
// same number of points, enough for several chunks per thread, at least one path each.
std::vector<std::size_t> ChunkStarts(std::span<const tpath* const> paths, unsigned threads) {
  uint64_t total = 0;
  for (const tpath* p : paths)
    total += p->Count();
  const uint64_t perChunk = std::clamp<uint64_t>(total / (8 * uint64_t{threads}), 256, 4096);
  std::vector<std::size_t> starts{0};
  uint64_t points = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    points += paths[i]->Count() + 1;
    if (points >= perChunk && i + 1 < paths.size()) {
      starts.push_back(i + 1);
      points = 0;
    }
  }
  starts.push_back(paths.size());
  return starts;
}

// Converts every path into `output` on this thread, telling `converted` about each in order;
// returns the span of the points. On a failure the failing path holds its points up to the
// failure and the list ends with it.
Span ConvertInPlace(std::vector<tdotpath>& output, std::span<const tpath* const> paths, bool reduce,
                    ConvertedPathHook* converted) {
  Span span;
  std::vector<Tdot> scratch;
  for (std::size_t index = 0; index < paths.size(); ++index) {
    try {
      ConvertPath(*paths[index], output.emplace_back(), reduce, scratch);
    } catch (...) {
      output.resize(index + 1);
      throw;
    }
    span.Add(output[index]);
    if (converted) converted->PathConverted(index);
  }
  return span;
}

// The paths of one chunk converted by a worker into buffers of its own.
struct ConvertedChunk {
  std::vector<Tdot> Points;       // the points of the chunk's paths, back to back
  std::vector<std::size_t> Ends;  // where each path's points end in Points
  std::vector<IntRect> Boxes;     // each path's box (points, before the shift)
  Span Extent;
  std::size_t Failed = 0;  // the index of the path that failed; the chunk's end when none did
  std::exception_ptr Error;
};

// A worker's part: the paths [first, last) into c, up to the first that fails.
void ConvertChunk(ConvertedChunk& c, std::span<const tpath* const> paths, std::size_t first,
                  std::size_t last, bool reduce) {
  c.Points.clear();
  if (!reduce) {
    std::size_t count = 0;
    for (std::size_t index = first; index < last; ++index)
      count += FixedPointCount(*paths[index]);
    c.Points.reserve(count);
  }
  c.Ends.clear();
  c.Boxes.clear();
  c.Extent = Span{};
  c.Error = nullptr;
  c.Failed = last;
  PointBuilder builder(c.Points, reduce);
  for (std::size_t index = first; index < last; ++index) {
    const std::size_t start = c.Points.size();
    try {
      builder.Start();
      for (const tbpoint& p : paths[index]->Items)
        builder.Add(p);
    } catch (...) {
      // A reduced path gets its points only when complete; a fixed one keeps those made.
      if (reduce) c.Points.resize(start);
      c.Ends.push_back(c.Points.size());
      c.Failed = index;
      c.Error = std::current_exception();
      return;
    }
    c.Ends.push_back(c.Points.size());
    Span box;
    box.Add(std::span<const Tdot>(c.Points).subspan(start));
    c.Boxes.push_back({box.MinX, box.MinY, box.MaxX, box.MaxY});
    c.Extent.Add(box);
  }
}

// The calling thread's part: the chunk's paths, from `first` on, into `output` and `boxes`,
// each given its points in a buffer of exactly their size. The sources' attributes come first,
// then the converted sources are told, so that the memory they free can take the chunk's
// output points.
void TakeChunk(const ConvertedChunk& c, std::size_t first, std::span<const tpath* const> paths,
               std::vector<tdotpath>& output, ConvertedPathHook* converted,
               std::vector<IntRect>& boxes) {
  for (std::size_t k = 0; k < c.Ends.size(); ++k)
    CopyAttributes(*paths[first + k], output.emplace_back());
  const std::size_t done = c.Failed < first + c.Ends.size() ? c.Failed - first : c.Ends.size();
  if (converted)
    for (std::size_t k = 0; k < done; ++k)
      converted->PathConverted(first + k);
  std::size_t from = 0;
  for (std::size_t k = 0; k < c.Ends.size(); ++k) {
    const std::size_t index = first + k;
    output[index].Items.assign(c.Points.begin() + static_cast<std::ptrdiff_t>(from),
                               c.Points.begin() + static_cast<std::ptrdiff_t>(c.Ends[k]));
    from = c.Ends[k];
    if (index == c.Failed) break;
    boxes[index] = c.Boxes[k];
  }
}

// Converts every path into `output` (empty, with room for them all: its paths are added as they
// are converted, so that the first touch of its memory falls where this thread would wait for
// the workers), telling `converted` about each in order; returns the span of the points. On a
// failure (a coordinate out of range) the paths before the failing one are converted and reported,
// the failing one holds its points up to the failure, and the list ends with it: what one thread
// leaves.
Span ConvertAll(std::vector<tdotpath>& output, std::span<const tpath* const> paths, bool reduce,
                ConvertedPathHook* converted, const std::vector<std::size_t>& starts,
                unsigned threads, std::vector<IntRect>& boxes) {
  if (starts.size() <= 2) return ConvertInPlace(output, paths, reduce, converted);

  // Workers convert chunks of paths into buffers of their own; this thread takes the chunks in
  // order, tells `converted` about the chunk's paths, gives each output path its points and
  // stops at the first failure, so that the first failing coordinate in path order is the one
  // reported. Every allocation and release of path points happens here, in the same order
  // whatever the number of threads.
  const std::size_t chunks = starts.size() - 1;
  const std::size_t window = 4 * std::size_t{threads};
  std::vector<ConvertedChunk> slots(window);
  Span span;
  std::exception_ptr error;
  std::size_t failed = paths.size();
  {
    OrderedChunks pool(chunks, threads, window, [&](std::size_t chunk, std::size_t slot) {
      ConvertChunk(slots[slot], paths, starts[chunk], starts[chunk + 1], reduce);
    });
    boxes.resize(paths.size());
    for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
      const ConvertedChunk& c = slots[pool.Wait(chunk)];
      TakeChunk(c, starts[chunk], paths, output, converted, boxes);
      if (c.Error) {
        failed = c.Failed;
        error = c.Error;
        break;
      }
      span.Add(c.Extent);
      pool.Release();
    }
  }
  if (error) {
    output.resize(failed + 1);
    std::rethrow_exception(error);
  }
  return span;
}

}  // namespace

void GenerateOutputPoints(ConversionResult& result, std::span<const tpath* const> paths,
                          bool reduce, Progress& progress, ConvertedPathHook* converted) {
  progress.ProcessEvents();
  std::vector<tdotpath>& output = result.OutputList;
  ClearPaths(output);
  progress.ShowStatus("Generating Splines.");

  const unsigned threads = ThreadCount();
  output.reserve(paths.size());
  // The chunks of paths the threads share, by their source points.
  const std::vector<std::size_t> starts =
      threads > 1 ? ChunkStarts(paths, threads) : std::vector<std::size_t>{0, paths.size()};
  // With threads, the conversion notes each path's box and the shift only moves the points.
  std::vector<IntRect> boxes;
  const Span span = ConvertAll(output, paths, reduce, converted, starts, threads, boxes);

  // The extent, the shift and the boxes. This gives what ComputeOutputExtent, the shift,
  // ComputeDotBounds on every path and ComputeOutputExtent again give, in two passes instead of
  // five: a float32 box bound is the float32 of the integer extreme (rounding keeps the order).
  IntRect& extent = result.OutputExtent;
  extent = {2147483647, 2147483647, -2147483647, -2147483647};
  extent.MinX = span.MinX;
  extent.MinY = span.MinY;
  const int64_t minX = extent.MinX, minY = extent.MinY;
  const bool fits =
      int64_t{span.MaxX} - minX <= INT32_MAX && int64_t{span.MaxY} - minY <= INT32_MAX;
  Shifted shifted;
  if (!fits || threads <= 1 || starts.size() <= 2) {
    // A drawing too large fails here, at the same path as ever.
    shifted = fits ? ShiftPaths<false>(output, minX, minY) : ShiftPaths<true>(output, minX, minY);
  } else {
    const std::size_t chunks = starts.size() - 1;
    const std::size_t window = 4 * std::size_t{threads};
    std::vector<Shifted> slots(window);
    OrderedChunks pool(chunks, threads, window, [&](std::size_t chunk, std::size_t slot) {
      const std::size_t first = starts[chunk], count = starts[chunk + 1] - first;
      slots[slot] =
          ShiftKnownBoxes(std::span(output).subspan(first, count),
                          std::span<const IntRect>(boxes).subspan(first, count), minX, minY);
    });
    for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
      const Shifted& s = slots[pool.Wait(chunk)];
      shifted.MaxX = std::max(shifted.MaxX, s.MaxX);
      shifted.MaxY = std::max(shifted.MaxY, s.MaxY);
      shifted.AnyPoint = shifted.AnyPoint || s.AnyPoint;
      shifted.Points += s.Points;
      pool.Release();
    }
  }
  if (shifted.AnyPoint) {
    extent.MaxX = shifted.MaxX;
    extent.MaxY = shifted.MaxY;
    extent.MinX = extent.MinY = 0;
  }
  progress.ShowStatus("Total Nodes: " + std::to_string(shifted.Points));
}

}  // namespace aiimport
