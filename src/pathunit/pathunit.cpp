#include "pathunit.h"

#include <cmath>
#include <utility>

#include "numeric.h"

namespace aiimport {

namespace {

constexpr long double Pi = 3.14159265358979323846264338327950288L;

bool IsOneOf(std::string_view code, std::initializer_list<std::string_view> codes) {
  for (std::string_view c : codes)
    if (code == c) return true;
  return false;
}

// Brings the tail record up to date with PathList. It normally is (AppendCurrentPath keeps it
// so); when paths were added or removed another way, it is rebuilt from the tail of the list,
// where the paths with the last compound number stand.
void SyncTail(PathStore& store) {
  auto& tail = store.Tail;
  if (tail.Paths == store.PathList.size()) return;
  tail = {};
  tail.Paths = store.PathList.size();
  if (store.PathList.empty()) return;
  tail.No = store.PathList.back().CompoundNo;
  for (auto it = store.PathList.rbegin(); it != store.PathList.rend(); ++it) {
    if (it->CompoundNo != tail.No) break;
    (it->Filled ? tail.HasFilled : tail.HasUnfilled) = true;
  }
}

}  // namespace

void NewPath(PathStore& store) {
  tpath& path = store.CurrentPath.emplace();
  path.Items = std::move(store.SpareItems);
  path.Items.clear();
  store.SpareItems = {};
  path.LineColor = 0;
  path.FillColor = 0;
  path.Filled = true;
  path.Closed = false;
  path.GroupLevel = store.CurrentGroupLevel;
  path.CompoundNo = store.CurrentCompoundNo;
  path.Flagged = false;
}

void ClearAllPaths(PathStore& store) {
  ClearPaths(store.PathList);
  ClearPaths(store.OutputList);
  store.CurrentPath.reset();
  store.Tail = {};
}

void FinishPath(PathStore& store, std::string_view code) {
  if (!store.CurrentPath) return;
  tpath& path = *store.CurrentPath;
  path.Closed = IsOneOf(code, {"b ", "f ", "s "});
  path.Filled = IsOneOf(code, {"b ", "B ", "f ", "F "});
  path.Anticlockwise = true;
  path.Reversed = false;
  if (path.Closed) path.Anticlockwise = PathOrientation(path);

  // Compound split: a path never shares its number with an earlier path of the other fill
  // state. Only the tail of PathList can hold CurrentCompoundNo, and one raise puts the number
  // above every path in the list, so one look at the tail record does what a walk would.
  SyncTail(store);
  if (store.Tail.Paths > 0 && store.Tail.No == store.CurrentCompoundNo &&
      (path.Filled ? store.Tail.HasUnfilled : store.Tail.HasFilled))
    store.CurrentCompoundNo += 1;

  path.GroupLevel = store.CurrentGroupLevel;
  path.CompoundNo = store.CurrentCompoundNo;
  path.LineColor = store.CurrentLineColor;
  path.FillColor = store.CurrentFillColor;
}

void AppendCurrentPath(PathStore& store) {
  if (!store.CurrentPath) return;
  SyncTail(store);
  tpath& current = *store.CurrentPath;
  tpath& added = store.PathList.emplace_back();
  std::vector<tbpoint> items = std::move(current.Items);
  added = std::move(current);
  added.Items.assign(items.begin(), items.end());  // exactly as large as needed
  store.SpareItems = std::move(items);
  store.CurrentPath.reset();

  auto& tail = store.Tail;
  if (tail.Paths == 0 || added.CompoundNo != tail.No) {
    tail.No = added.CompoundNo;
    tail.HasFilled = tail.HasUnfilled = false;
  }
  (added.Filled ? tail.HasFilled : tail.HasUnfilled) = true;
  tail.Paths = store.PathList.size();
}

float Direction(float x, float y) {
  if (x == 0.0f) {
    if (y == 0.0f) return 0.0f;
    return y > 0.0f ? 1.5707964f : -1.5707964f;
  }
  long double angle = std::atan(static_cast<long double>(y) / static_cast<long double>(x));
  if (x < 0.0f) angle += (y >= 0.0f) ? Pi : -Pi;
  return static_cast<float>(angle);
}

float TurnAngle(FloatPoint p, FloatPoint q, FloatPoint r) {
  const FloatPoint d1{q.X - p.X, q.Y - p.Y};
  const FloatPoint d2{r.X - p.X, r.Y - p.Y};
  if (d1.X == 0.0f && d1.Y == 0.0f) return 0.0f;
  const float a = Direction(d1.X, d1.Y);
  const long double c = std::cos(-static_cast<long double>(a));
  const long double s = std::sin(-static_cast<long double>(a));
  auto rotate = [&](FloatPoint v) {
    const long double x = v.X, y = v.Y;
    return FloatPoint{static_cast<float>(x * c - y * s), static_cast<float>(x * s + y * c)};
  };
  const FloatPoint r1 = rotate(d1);
  const FloatPoint r2 = rotate(d2);
  return Direction(r2.X - r1.X, r2.Y - r1.Y);
}

bool PathOrientation(const tpath& path) {
  if (path.Count() < 2) return false;

  // Control polygon in thousandths of a unit: curves by their three control points.
  auto scaled = [](float v) { return RoundLow32(static_cast<long double>(v) * 1000.0L); };
  std::vector<Tdot> polygon;
  polygon.reserve(path.Count() * 3 + 1);
  for (const tbpoint& p : path.Items) {
    polygon.push_back({1, scaled(p.X1), scaled(p.Y1)});
    if (p.Kind == 2) {
      polygon.push_back({1, scaled(p.X2), scaled(p.Y2)});
      polygon.push_back({1, scaled(p.X3), scaled(p.Y3)});
    }
  }
  polygon.push_back({1, scaled(path.Items.front().X1), scaled(path.Items.front().Y1)});
  if (polygon.size() < 3) return false;

  std::vector<FloatPoint> kept;
  kept.reserve(polygon.size());
  const Tdot* last = nullptr;
  for (const Tdot& d : polygon) {
    if (last && last->X == d.X && last->Y == d.Y) continue;
    kept.push_back({static_cast<float>(d.X), static_cast<float>(d.Y)});
    last = &d;
  }
  if (last->X == polygon.front().X && last->Y == polygon.front().Y) kept.pop_back();

  float sum = 0.0f;
  const std::size_t n = kept.size();
  for (std::size_t i = 0; i < n; ++i) {
    const FloatPoint& prev = kept[i == 0 ? n - 1 : i - 1];
    const FloatPoint& next = kept[i + 1 == n ? 0 : i + 1];
    sum = sum + TurnAngle(prev, kept[i], next);
  }
  return sum >= 0.0f;
}

void PathBox(tpath& path) {
  path.MinX = 0;
  path.MinY = 0;
  path.MaxX = 1.0f;
  path.MaxY = 1.0f;
  bool first = true;
  auto widen = [&path](float x, float y) {
    if (x < path.MinX) path.MinX = x;
    if (x > path.MaxX) path.MaxX = x;
    if (y < path.MinY) path.MinY = y;
    if (y > path.MaxY) path.MaxY = y;
  };
  for (const tbpoint& p : path.Items) {
    if (first) {
      path.MinX = path.MaxX = p.X1;
      path.MinY = path.MaxY = p.Y1;
      first = false;
    }
    widen(p.X1, p.Y1);
    if (p.Kind == 2) {
      widen(p.X2, p.Y2);
      widen(p.X3, p.Y3);
    }
  }
}

void ComputeOutputExtent(PathStore& store) {
  IntRect& e = store.OutputExtent;
  e = {2147483647, 2147483647, -2147483647, -2147483647};
  for (const tdotpath& path : store.OutputList) {
    for (const Tdot& d : path.Items) {
      if (d.X < e.MinX) e.MinX = d.X;
      if (d.Y < e.MinY) e.MinY = d.Y;
      if (d.X > e.MaxX) e.MaxX = d.X;
      if (d.Y > e.MaxY) e.MaxY = d.Y;
    }
  }
}

void ComputeDotBounds(tdotpath& path) {
  path.MinX = path.MinY = 2147483648.0f;
  path.MaxX = path.MaxY = -2147483648.0f;
  // The integers are compared exactly with the float32 box (an int32 is exact as a double).
  for (const Tdot& d : path.Items) {
    const double x = d.X, y = d.Y;
    if (x < path.MinX) path.MinX = static_cast<float>(d.X);
    if (x > path.MaxX) path.MaxX = static_cast<float>(d.X);
    if (y < path.MinY) path.MinY = static_cast<float>(d.Y);
    if (y > path.MaxY) path.MaxY = static_cast<float>(d.Y);
  }
}

TColor CmykToColor(float cyan, float magenta, float yellow, float black) {
  auto clamp = [](float v) { return v > 1.0f ? 1.0f : (v >= 0.0f ? v : 0.0f); };  // NaN -> 0
  const long double w = 1.0L - clamp(black);
  auto component = [w, &clamp](float colour) -> int32_t {
    const float product = static_cast<float>((1.0L - clamp(colour)) * w);
    return RoundLow32(255.0L * product);  // 0 .. 255
  };
  return component(cyan) + component(magenta) * 256 + component(yellow) * 65536;
}

TColor RgbToColor(float red, float green, float blue) {
  const uint32_t r = RoundLow8(255.0L * red);
  const uint32_t g = RoundLow8(255.0L * green);
  const uint32_t b = RoundLow8(255.0L * blue);
  return static_cast<TColor>(r | (g << 8) | (b << 16));
}

}  // namespace aiimport
