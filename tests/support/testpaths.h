// Small builders shared by the conversion tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include "pathunit.h"
#include "progress.h"

namespace aiimport::testing {

// DOT records written by hand: kind (2 bytes), A and B (4 bytes each), little-endian.
inline std::string Bytes(std::initializer_list<std::tuple<int, int64_t, int64_t>> records) {
  std::string out;
  for (const auto& [kind, a, b] : records) {
    out += static_cast<char>(kind & 0xFF);
    out += static_cast<char>((kind >> 8) & 0xFF);
    for (int64_t v : {a, b})
      for (int k = 0; k < 4; ++k)
        out += static_cast<char>((static_cast<uint64_t>(v) >> (8 * k)) & 0xFF);
  }
  return out;
}

inline tbpoint Move(float x, float y) {
  return {0, x, y, 0, 0, 0, 0};
}
inline tbpoint Line(float x, float y) {
  return {1, x, y, 0, 0, 0, 0};
}
inline tbpoint Curve(float x1, float y1, float x2, float y2, float x3, float y3) {
  return {2, x1, y1, x2, y2, x3, y3};
}

inline tpath SourcePath(std::vector<tbpoint> points, bool closed = true, bool filled = true) {
  tpath p;
  p.Items = std::move(points);
  p.Closed = closed;
  p.Filled = filled;
  p.Anticlockwise = true;
  return p;
}

// An output path of points (kind, x, y) with its box set.
inline tdotpath DotPath(std::vector<Tdot> points, int32_t compound = 0, bool closed = true,
                        bool filled = true, bool anticlockwise = true) {
  tdotpath p;
  p.Items = std::move(points);
  p.CompoundNo = compound;
  p.Closed = closed;
  p.Filled = filled;
  p.Anticlockwise = anticlockwise;
  ComputeDotBounds(p);
  return p;
}

// The outline of a rectangle from (x0, y0) to (x1, y1), anticlockwise with y up, with or
// without the closing repeat of its first point.
inline std::vector<Tdot> Rectangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                   bool repeatFirst = true) {
  std::vector<Tdot> r{{1, x0, y0}, {2, x1, y0}, {2, x1, y1}, {2, x0, y1}};
  if (repeatFirst) r.push_back({2, x0, y0});
  return r;
}

// Records what the import steps show.
class RecordingView : public Progress {
 public:
  void ShowStatus(std::string_view text) override { Captions.emplace_back(text); }
  void ProcessEvents() override { ++Pumps; }
  void BeginBusy() override { Cursor.push_back(true); }
  void EndBusy() override { Cursor.push_back(false); }
  std::vector<std::string> Captions;
  int Pumps = 0;
  std::vector<bool> Cursor;
};

}  // namespace aiimport::testing
