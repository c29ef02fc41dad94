#include "orientation.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <optional>

#include "numeric.h"

namespace aiimport {

namespace {

constexpr int32_t NoDepth = 2147483647;

// The paths that can contain a point of a given path. A path is tested only against the other
// paths of its compound, and only those of at least 3 points can contain anything. Compounds
// with many such paths also get a grid over the paths' boxes, so that a point is tested only
// against the paths whose box can hold it. The index only leaves out paths whose box test would
// fail, so every count comes out as the plain test gives it.
class CompoundIndex {
 public:
  explicit CompoundIndex(const std::vector<tdotpath>& list)
      : list_(list), groupOf_(list.size(), Alone) {
    // The paths by (CompoundNo, index). Compound numbers mostly grow along the list already.
    bool sorted = true;
    for (std::size_t i = 1; i < list.size() && sorted; ++i)
      sorted = list[i - 1].CompoundNo <= list[i].CompoundNo;
    std::vector<std::pair<int32_t, uint32_t>> keys;
    if (!sorted) {
      keys.resize(list.size());
      for (std::size_t i = 0; i < list.size(); ++i)
        keys[i] = {list[i].CompoundNo, static_cast<uint32_t>(i)};
      std::sort(keys.begin(), keys.end());
    }
    auto at = [&](std::size_t k) { return sorted ? static_cast<uint32_t>(k) : keys[k].second; };

    for (std::size_t k = 0; k < list.size();) {
      const int32_t no = list[at(k)].CompoundNo;
      std::size_t end = k + 1;
      while (end < list.size() && list[at(end)].CompoundNo == no)
        ++end;
      // A path alone in its compound, or a compound where no path can contain anything, needs
      // no entry: every count is 0.
      Group group;
      group.First = static_cast<uint32_t>(members_.size());
      for (std::size_t m = k; m < end && end - k > 1; ++m) {
        const tdotpath& p = list[at(m)];
        if (p.Count() >= 3) members_.push_back({at(m), p.MinX, p.MinY, p.MaxX, p.MaxY});
      }
      group.Count = static_cast<uint32_t>(members_.size()) - group.First;
      if (group.Count > 0) {
        if (group.Count >= GridThreshold) {
          group.GridNo = static_cast<int32_t>(grids_.size());
          grids_.push_back(MakeGrid(group));
        }
        for (std::size_t m = k; m < end; ++m)
          groupOf_[at(m)] = static_cast<int32_t>(groups_.size());
        groups_.push_back(group);
      }
      k = end;
    }
  }

  // NestingDepth of path i: the running minimum stops a point's count as soon as the count
  // reaches it (the point can no longer lower it) and the whole path once it is 0.
  int32_t Depth(std::size_t i) const {
    if (groupOf_[i] == Alone) return list_[i].Items.empty() ? NoDepth : 0;
    const Group& group = groups_[static_cast<std::size_t>(groupOf_[i])];
    const Grid* grid =
        group.GridNo >= 0 ? &grids_[static_cast<std::size_t>(group.GridNo)] : nullptr;
    int32_t minimum = NoDepth;
    for (const Tdot& d : list_[i].Items) {
      int32_t count = 0;
      const float fx = static_cast<float>(d.X), fy = static_cast<float>(d.Y);
      auto counts = [&](const Entry& e) {  // false once the count has reached the minimum
        // The box test first, from the entry: most paths are rejected without touching them.
        if (fx < e.MinX || fx > e.MaxX || fy < e.MinY || fy > e.MaxY || e.Path == i) return true;
        if (PointInPath(list_[e.Path], d.X, d.Y)) ++count;
        return count < minimum;
      };
      if (!grid) {
        for (uint32_t k = 0; k < group.Count; ++k)
          if (!counts(members_[group.First + k])) break;
      } else {
        // Outside the union of the boxes no box test passes.
        if (fx >= grid->MinX && fx <= grid->MaxX && fy >= grid->MinY && fy <= grid->MaxY) {
          bool going = true;
          for (const Entry& e : grid->Big)
            if (!(going = counts(e))) break;
          if (going) {
            const std::size_t cell = grid->Cell(fx, fy);
            for (uint32_t k = grid->CellStart[cell]; k < grid->CellStart[cell + 1]; ++k)
              if (!counts(grid->CellItems[k])) break;
          }
        }
      }
      if (count < minimum) {
        minimum = count;
        if (minimum == 0) break;
      }
    }
    return minimum;
  }

 private:
  static constexpr int32_t Alone = -1;  // no other path of the compound can contain anything
  static constexpr uint32_t GridThreshold = 16;  // fewer paths are simply tested one by one
  static constexpr int64_t BigCells = 64;        // a box over more cells is tested for every point

  // A path that can contain points, with its box.
  struct Entry {
    uint32_t Path;
    float MinX, MinY, MaxX, MaxY;
  };

  struct Group {
    uint32_t First = 0, Count = 0;  // its paths of 3 or more points: members_[First ...]
    int32_t GridNo = -1;
  };

  struct Grid {
    float MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;  // union of the boxes
    double ScaleX = 0, ScaleY = 0;
    int32_t Nx = 1, Ny = 1;
    std::vector<uint32_t> CellStart;  // Nx * Ny + 1 offsets into CellItems
    std::vector<Entry> CellItems;
    std::vector<Entry> Big;

    // The cell coordinate is a non-decreasing function of the value, so a value inside a box
    // falls in a cell between those of the box's ends.
    static int32_t Coordinate(float v, float min, double scale, int32_t n) {
      const double t = (static_cast<double>(v) - min) * scale;
      if (!(t > 0.0)) return 0;
      if (t >= n) return n - 1;
      return static_cast<int32_t>(t);
    }
    std::size_t Cell(float x, float y) const {
      return static_cast<std::size_t>(Coordinate(y, MinY, ScaleY, Ny)) *
                 static_cast<std::size_t>(Nx) +
             static_cast<std::size_t>(Coordinate(x, MinX, ScaleX, Nx));
    }
  };

  Grid MakeGrid(const Group& group) const {
    Grid g;
    for (uint32_t k = 0; k < group.Count; ++k) {
      const Entry& p = members_[group.First + k];
      if (k == 0 || p.MinX < g.MinX) g.MinX = p.MinX;
      if (k == 0 || p.MinY < g.MinY) g.MinY = p.MinY;
      if (k == 0 || p.MaxX > g.MaxX) g.MaxX = p.MaxX;
      if (k == 0 || p.MaxY > g.MaxY) g.MaxY = p.MaxY;
    }
    // About one cell per path, shaped like the union box.
    const double w = static_cast<double>(g.MaxX) - g.MinX, h = static_cast<double>(g.MaxY) - g.MinY;
    const double cells = group.Count;
    double nx = std::sqrt(cells * (w + 1.0) / (h + 1.0));
    nx = std::clamp(nx, 1.0, 4096.0);
    const double ny = std::clamp(cells / nx, 1.0, 4096.0);
    g.Nx = static_cast<int32_t>(nx);
    g.Ny = static_cast<int32_t>(ny);
    g.ScaleX = w > 0 ? g.Nx / w : 0.0;
    g.ScaleY = h > 0 ? g.Ny / h : 0.0;

    const std::size_t cellCount = static_cast<std::size_t>(g.Nx) * static_cast<std::size_t>(g.Ny);
    g.CellStart.assign(cellCount + 1, 0);
    auto span = [&g](const Entry& p, int32_t& x0, int32_t& x1, int32_t& y0, int32_t& y1) {
      x0 = Grid::Coordinate(p.MinX, g.MinX, g.ScaleX, g.Nx);
      x1 = Grid::Coordinate(p.MaxX, g.MinX, g.ScaleX, g.Nx);
      y0 = Grid::Coordinate(p.MinY, g.MinY, g.ScaleY, g.Ny);
      y1 = Grid::Coordinate(p.MaxY, g.MinY, g.ScaleY, g.Ny);
      return static_cast<int64_t>(x1 - x0 + 1) * (y1 - y0 + 1);
    };
    for (int pass = 0; pass < 2; ++pass) {
      std::vector<uint32_t> fill;
      if (pass == 1) {
        for (std::size_t c = 0; c < cellCount; ++c)
          g.CellStart[c + 1] += g.CellStart[c];
        g.CellItems.resize(g.CellStart[cellCount]);
        fill.assign(g.CellStart.begin(), g.CellStart.end() - 1);
      }
      for (uint32_t k = 0; k < group.Count; ++k) {
        const Entry& j = members_[group.First + k];
        int32_t x0, x1, y0, y1;
        if (span(j, x0, x1, y0, y1) > BigCells) {
          if (pass == 1) g.Big.push_back(j);
          continue;
        }
        for (int32_t y = y0; y <= y1; ++y)
          for (int32_t x = x0; x <= x1; ++x) {
            const std::size_t c = static_cast<std::size_t>(y) * static_cast<std::size_t>(g.Nx) +
                                  static_cast<std::size_t>(x);
            if (pass == 0)
              ++g.CellStart[c + 1];
            else
              g.CellItems[fill[c]++] = j;
          }
      }
    }
    return g;
  }

  const std::vector<tdotpath>& list_;
  std::vector<int32_t> groupOf_;
  std::vector<Group> groups_;
  std::vector<Entry> members_;
  std::vector<Grid> grids_;
};

}  // namespace

bool PointInPath(const tdotpath& path, int32_t x, int32_t y) {
  const std::vector<Tdot>& pts = path.Items;
  const std::size_t n = pts.size();
  if (n < 3) return false;
  const float fx = static_cast<float>(x), fy = static_cast<float>(y);
  if (fx < path.MinX || fx > path.MaxX || fy < path.MinY || fy > path.MaxY) return false;

  const FloatPoint point{fx, fy};
  int64_t sum = 0;
  auto edge = [&](const Tdot& p, const Tdot& q) {
    // Edges wholly above, wholly below or along the point's line are skipped.
    if ((p.Y < y && q.Y < y) || (p.Y > y && q.Y > y) || (p.Y == y && q.Y == y)) return;
    sum += EdgeCrossing({static_cast<float>(p.X), static_cast<float>(p.Y)},
                        {static_cast<float>(q.X), static_cast<float>(q.Y)}, point);
  };
  std::size_t ringStart = 0;
  for (std::size_t k = 1; k <= n; ++k) {
    if (k == n || pts[k].Kind == 1) {  // the ring ringStart .. k-1 ends: close it
      const Tdot& last = pts[k - 1];
      const Tdot& first = pts[ringStart];
      if (last.X != first.X || last.Y != first.Y) edge(last, first);
      ringStart = k;
    } else {
      edge(pts[k - 1], pts[k]);
    }
  }
  return sum != 0;
}

void ReversePath(tdotpath& path) {
  path.Reversed = !path.Reversed;
  path.Anticlockwise = !path.Anticlockwise;
  std::vector<Tdot>& pts = path.Items;
  const std::size_t n = pts.size();
  if (n == 0) return;
  // Reversing the whole list reverses the order of the sub-paths and of the points within each.
  // A sub-path that started at index s and ended before index e now covers n - e .. n - 1 - s.
  std::reverse(pts.begin(), pts.end());
  std::size_t end = n;  // one past the old last point of the sub-path that ends next
  for (std::size_t k = 0; k < n; ++k) {
    // Index k now holds the old point n - 1 - k; walking up, the old indices go down, so each
    // old sub-path start closes the sub-path old .. end - 1, now at n - end .. k.
    const std::size_t old = n - 1 - k;
    if (old == 0 || pts[k].Kind == 1) {
      Tdot& last = pts[k];
      if (last.Kind < 2) last.Kind = 2;
      pts[n - end].Kind = 1;
      end = old;
    }
  }
}

void DrawOutputPath(const tdotpath& path, int mode, const IntRect& extent,
                    OrientationCanvas& canvas) {
  const float w = static_cast<float>(static_cast<int64_t>(extent.MaxX) - extent.MinX);
  const float h = static_cast<float>(static_cast<int64_t>(extent.MaxY) - extent.MinY);
  if (w == 0.0f || h == 0.0f) return;
  const PaintBoxFit fit = FitIntoPaintBox(w, h, canvas.Width(), canvas.Height());
  const float s = fit.Scale;

  canvas.SetPen(mode == 1 ? SilverColor
                          : (path.Anticlockwise ? AnticlockwiseColor : ClockwiseColor));
  for (const Tdot& d : path.Items) {
    const long double dx = static_cast<long double>(static_cast<int64_t>(d.X) - extent.MinX);
    const long double dy = static_cast<long double>(static_cast<int64_t>(d.Y) - extent.MinY);
    const int sx = ClampToInt32(int64_t{RoundSaturated(dx * s)} + fit.OffsetX);
    const int sy = ClampToInt32(int64_t{RoundSaturated(dy * s)} + fit.OffsetY);
    if (d.Kind == 1)
      canvas.MoveTo(sx, sy);
    else
      canvas.LineTo(sx, sy);
  }
}

void CorrectOrientation(ConversionResult& output, Progress& progress, OrientationCanvas* canvas) {
  std::vector<tdotpath>& list = output.OutputList;
  progress.ShowStatus("Correcting Orientation");
  if (canvas) {
    canvas->Clear();
    for (const tdotpath& path : list)
      DrawOutputPath(path, 1, output.OutputExtent, *canvas);
  }
  const BusyScope busy(progress);

  const CompoundIndex index(list);
  for (std::size_t i = 0; i < list.size(); ++i) {
    char caption[48] = "Auto Correct Layer:  ";
    constexpr std::size_t prefix = sizeof "Auto Correct Layer:  " - 1;
    char* end = std::to_chars(caption + prefix, caption + sizeof caption, i).ptr;
    progress.ShowStatus(std::string_view(caption, static_cast<std::size_t>(end - caption)));
    progress.ProcessEvents();
    tdotpath& path = list[i];
    if (path.Closed || path.Filled) {
      const int32_t depth = index.Depth(i);
      if ((depth % 2 == 0) != path.Anticlockwise) ReversePath(path);
    }
    if (canvas) DrawOutputPath(path, 0, output.OutputExtent, *canvas);
  }
}

}  // namespace aiimport
