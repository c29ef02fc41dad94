#include "epsgen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace aiimport {

namespace {

// A small deterministic generator (xorshift64*): the same seed gives the same file everywhere.
class Random {
 public:
  explicit Random(uint32_t seed)
      : state_(0x9E3779B97F4A7C15ull ^ (uint64_t{seed} * 0xD1B54A32D192ED03ull)) {
    if (state_ == 0) state_ = 1;
  }
  uint64_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Dull;
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>((Next() >> 32) % n); }
  // A value in [lo, hi) with four decimals.
  int64_t Ten000ths(int64_t lo, int64_t hi) {
    return lo * 10000 + static_cast<int64_t>(Below(static_cast<uint32_t>((hi - lo) * 10000)));
  }

 private:
  uint64_t state_;
};

class Writer {
 public:
  Writer(std::string& out, const SyntheticOptions& o) : out_(out), eol_(o.CrLf ? "\r\n" : "\n") {}

  void Line(const char* text) {
    out_ += text;
    out_ += eol_;
  }
  // A number given in ten-thousandths, written as Illustrator does: no trailing zeros.
  void Number(int64_t v) {
    if (v < 0) {
      out_ += '-';
      v = -v;
    }
    char buffer[32];
    const int64_t whole = v / 10000, fraction = v % 10000;
    int n = std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(whole));
    if (fraction != 0) {
      n +=
          std::snprintf(buffer + n, sizeof buffer - n, ".%04lld", static_cast<long long>(fraction));
      while (buffer[n - 1] == '0')
        --n;
    }
    out_.append(buffer, static_cast<std::size_t>(n));
  }
  void Numbers(std::initializer_list<int64_t> values, const char* op) {
    for (int64_t v : values) {
      Number(v);
      out_ += ' ';
    }
    out_ += op;
    out_ += eol_;
  }
  std::size_t Size() const { return out_.size(); }

 private:
  std::string& out_;
  const char* eol_;
};

const char* const Prolog[] = {
    "%%BeginProlog",
    "% Every operator the file uses, so that a PostScript interpreter can draw it: fill and",
    "% stroke colours are kept apart as Illustrator keeps them, compound paths paint once.",
    "/_fc {0 setgray} def /_sc {0 setgray} def /_cp false def /_pp {} def",
    "/k {4 array astore /_fa exch def /_fc {_fa aload pop setcmykcolor} def} bind def",
    "/K {4 array astore /_sa exch def /_sc {_sa aload pop setcmykcolor} def} bind def",
    "/Xa {3 array astore /_fa exch def /_fc {_fa aload pop setrgbcolor} def} bind def",
    "/XA {3 array astore /_sa exch def /_sc {_sa aload pop setrgbcolor} def} bind def",
    "/g {1 array astore /_fa exch def /_fc {_fa aload pop setgray} def} bind def",
    "/G {1 array astore /_sa exch def /_sc {_sa aload pop setgray} def} bind def",
    "/Xx {exch pop exch pop 0 eq {k} {Xa} ifelse} bind def",
    "/XX {exch pop exch pop 0 eq {K} {XA} ifelse} bind def",
    "/m /moveto load def /l /lineto load def /L /lineto load def",
    "/c /curveto load def /C /curveto load def",
    "/v {currentpoint 6 2 roll curveto} bind def /V /v load def",
    "/y {2 copy curveto} bind def /Y /y load def",
    "/_paint {_cp {/_pp exch def} {exec} ifelse} bind def",
    "/F {{_fc fill} _paint} bind def /f {closepath F} bind def",
    "/S {{_sc stroke} _paint} bind def /s {closepath S} bind def",
    "/B {{gsave _fc fill grestore _sc stroke} _paint} bind def /b {closepath B} bind def",
    "/n /newpath load def /N /newpath load def",
    "/u {} def /U {} def",
    "/*u {/_cp true def} bind def /*U {/_cp false def _pp /_pp {} def} bind def",
    "%%EndProlog",
};

void Colours(Writer& w, Random& r) {
  switch (r.Below(6)) {
    case 0:
      w.Numbers({r.Ten000ths(0, 1), r.Ten000ths(0, 1), r.Ten000ths(0, 1), r.Ten000ths(0, 1)}, "k");
      break;
    case 1:
      w.Numbers({r.Ten000ths(0, 1), r.Ten000ths(0, 1), r.Ten000ths(0, 1)}, "Xa");
      break;
    case 2:
      w.Numbers({r.Ten000ths(0, 1)}, "g");
      break;
    case 3:  // a custom colour: CMYK with a name, tint and type 0
      w.Numbers({r.Ten000ths(0, 1), r.Ten000ths(0, 1), r.Ten000ths(0, 1), r.Ten000ths(0, 1)},
                r.Below(2) ? "(Spot) 0.5 0 Xx" : "(Spot) 1 0 XX");
      break;
    default:
      break;  // keep the colours in force
  }
  switch (r.Below(5)) {
    case 0:
      w.Numbers({r.Ten000ths(0, 1), r.Ten000ths(0, 1), r.Ten000ths(0, 1), r.Ten000ths(0, 1)}, "K");
      break;
    case 1:
      w.Numbers({r.Ten000ths(0, 1), r.Ten000ths(0, 1), r.Ten000ths(0, 1)}, "XA");
      break;
    case 2:
      w.Numbers({r.Ten000ths(0, 1)}, "G");
      break;
    default:
      break;
  }
}

// One closed outline around (cx, cy) of radius rad (ten-thousandths): 3 to 8 corners joined by
// lines and curves of every form, anticlockwise (y up) or clockwise, ending on its start.
void Outline(Writer& w, Random& r, int64_t cx, int64_t cy, int64_t rad, bool clockwise) {
  static const int dx[] = {10, 7, 0, -7, -10, -7, 0, 7};
  static const int dy[] = {0, 7, 10, 7, 0, -7, -10, -7};
  const int corners = 3 + static_cast<int>(r.Below(6));
  int64_t vx[9], vy[9];
  for (int i = 0; i < corners; ++i) {
    const int k = (i * 8 / corners) % 8;
    const int j = clockwise ? (8 - k) % 8 : k;
    vx[i] = cx + rad * dx[j] / 10 + r.Ten000ths(0, 1) / 10;
    vy[i] = cy + rad * dy[j] / 10 + r.Ten000ths(0, 1) / 10;
  }
  vx[corners] = vx[0];
  vy[corners] = vy[0];
  w.Numbers({vx[0], vy[0]}, "m");
  for (int i = 1; i <= corners; ++i) {
    const int64_t x = vx[i], y = vy[i];
    // Curves bulge out or in like drawn arcs: handles a third of the way along the chord,
    // pushed sideways by up to a third of its length.
    const int64_t cx0 = x - vx[i - 1], cy0 = y - vy[i - 1];
    const int64_t bend = static_cast<int64_t>(r.Below(601)) - 300;  // per thousand
    const int64_t bx = -cy0 * bend / 1000, by = cx0 * bend / 1000;
    const int64_t h1x = vx[i - 1] + cx0 / 3 + bx, h1y = vy[i - 1] + cy0 / 3 + by;
    const int64_t h2x = vx[i - 1] + 2 * cx0 / 3 + bx, h2y = vy[i - 1] + 2 * cy0 / 3 + by;
    switch (r.Below(8)) {
      case 0:
      case 1:
        w.Numbers({x, y}, "l");
        break;
      case 2:
        w.Numbers({x, y}, "L");
        break;
      case 3:
        w.Numbers({h1x, h1y, h2x, h2y, x, y}, "c");
        break;
      case 4:
        w.Numbers({h1x, h1y, h2x, h2y, x, y}, "C");
        break;
      case 5:
        w.Numbers({h2x, h2y, x, y}, "v");
        break;
      case 6:
        w.Numbers({h1x, h1y, x, y}, "y");
        break;
      default:
        if (r.Below(2))
          w.Numbers({h2x, h2y, x, y}, "V");
        else
          w.Numbers({h1x, h1y, x, y}, "Y");
        break;
    }
  }
}

void Object(Writer& w, Random& r, int depth) {
  const int64_t cx = r.Ten000ths(40, 572), cy = r.Ten000ths(40, 752);
  const int64_t rad = r.Ten000ths(4, 36);
  switch (r.Below(depth < 3 ? 7 : 6)) {
    case 0:
    case 1:
    case 2: {  // a simple filled or stroked shape
      Colours(w, r);
      Outline(w, r, cx, cy, rad, false);
      static const char* const paints[] = {"f", "b", "s", "B", "F", "S"};
      w.Line(paints[r.Below(6)]);
      break;
    }
    case 3: {  // an open stroke
      Colours(w, r);
      w.Numbers({cx, cy}, "m");
      const int n = 1 + static_cast<int>(r.Below(12));
      for (int i = 0; i < n; ++i) {
        const int64_t x = cx + r.Ten000ths(-30, 30), y = cy + r.Ten000ths(-30, 30);
        if (r.Below(3) == 0)
          w.Numbers({x + 20000, y, x, y + 20000, x, y}, "c");
        else
          w.Numbers({x, y}, "l");
      }
      w.Line("S");
      break;
    }
    case 4: {  // a compound path: outline and holes of opposite direction
      Colours(w, r);
      w.Line("*u");
      Outline(w, r, cx, cy, rad, false);
      w.Line("f");
      const int holes = 1 + static_cast<int>(r.Below(3));
      for (int h = 0; h < holes; ++h) {
        Outline(w, r, cx + (h - 1) * rad / 4, cy, rad / 6 + 1, true);
        w.Line("f");
      }
      w.Line("*U");
      break;
    }
    case 5: {  // a clipping outline that is not painted, then a shape
      w.Numbers({cx, cy}, "m");
      w.Numbers({cx + rad, cy}, "l");
      w.Numbers({cx + rad, cy + rad}, "l");
      w.Line("n");
      Colours(w, r);
      Outline(w, r, cx, cy, rad / 2 + 1, false);
      w.Line("f");
      break;
    }
    default: {  // a group of a few objects
      w.Line("u");
      const int n = 2 + static_cast<int>(r.Below(4));
      for (int i = 0; i < n; ++i)
        Object(w, r, depth + 1);
      w.Line("U");
      break;
    }
  }
}

// --- few long paths -------------------------------------------------------------------------

// The handful of colours of the long-path drawing: fills and strokes, each set only when it
// changes.
const char* const LongFills[] = {"0 0 0 1 k", "0.75 0.1 0 0 k", "0 0.05 0.6 0 k", "0.5 g"};
const char* const LongStrokes[] = {"0 0 0 1 K", "0.2 0.2 0.2 XA"};

class LongPathDrawing {
 public:
  // Shapes stop once the file reaches `target` bytes; the groups open then are closed.
  LongPathDrawing(Writer& w, Random& r, std::size_t target) : w_(w), r_(r), target_(target) {}

  // One top-level group, nested deeply: each group holds one to three shapes and, until 40
  // levels, most often one group more (so that the nesting is deep but the drawing not).
  void Group(int depth) {
    w_.Line("u");
    const int shapes = 1 + static_cast<int>(r_.Below(3));
    const int inner =
        depth < 40 && r_.Below(100) < 92 ? static_cast<int>(r_.Below(shapes + 1)) : -1;
    for (int i = 0; i < shapes && w_.Size() < target_; ++i) {
      if (i == inner) Group(depth + 1);
      Shape();
    }
    if (inner == shapes && w_.Size() < target_) Group(depth + 1);
    w_.Line("U");
  }

 private:
  // A coordinate in ten-thousandths of a point from a value in points, on the page.
  static int64_t Fixed(double v) { return static_cast<int64_t>(v * 10000.0); }

  void Fill(int k) {
    if (fill_ == k) return;
    fill_ = k;
    w_.Line(LongFills[k]);
  }
  void Stroke(int k) {
    if (stroke_ == k) return;
    stroke_ = k;
    w_.Line(LongStrokes[k]);
  }
  void Colours() {
    // Most shapes keep the colours in force.
    if (fill_ < 0 || r_.Below(10) == 0) Fill(static_cast<int>(r_.Below(4)));
    if (stroke_ < 0 || r_.Below(10) == 0) Stroke(static_cast<int>(r_.Below(2)));
  }

  // A closed outline of n segments around (cx, cy): a wavy circle of radius about rad, traced
  // anticlockwise (y up) or clockwise, with curves whose handles follow the outline's tangent
  // and runs of straight lines between them.
  void Outline(double cx, double cy, double rad, int n, bool clockwise) {
    double amplitude[4], phase[4];
    for (int k = 0; k < 4; ++k) {
      amplitude[k] = static_cast<double>(r_.Below(1000)) / 1000.0 * 0.12 / (k + 1);
      phase[k] = static_cast<double>(r_.Below(6283)) / 1000.0;
    }
    auto point = [&](int i, double& x, double& y) {
      const double t = 6.283185307179586 * i / n * (clockwise ? -1.0 : 1.0);
      double radius = rad;
      for (int k = 0; k < 4; ++k)
        radius += rad * amplitude[k] * std::sin((k + 2) * t + phase[k]);
      x = cx + radius * std::cos(t);
      y = cy + radius * std::sin(t);
    };
    double x0, y0, px, py;
    point(0, x0, y0);
    w_.Numbers({Fixed(x0), Fixed(y0)}, "m");
    px = x0, py = y0;
    bool curves = r_.Below(2) == 0;
    for (int i = 1; i <= n; ++i) {
      double x, y;
      point(i % n, x, y);
      if (r_.Below(40) == 0) curves = !curves;
      if (curves) {
        // Handles a third of the way along the chord, bent outwards a little.
        const double dx = x - px, dy = y - py;
        const double bend = (static_cast<double>(r_.Below(200)) - 100.0) / 1000.0;
        const double h1x = px + dx / 3 - dy * bend, h1y = py + dy / 3 + dx * bend;
        const double h2x = px + 2 * dx / 3 - dy * bend, h2y = py + 2 * dy / 3 + dx * bend;
        w_.Numbers({Fixed(h1x), Fixed(h1y), Fixed(h2x), Fixed(h2y), Fixed(x), Fixed(y)}, "c");
      } else {
        w_.Numbers({Fixed(x), Fixed(y)}, "l");
      }
      px = x, py = y;
    }
  }

  // A segment count: mostly hundreds to a few thousand, now and then more than a path holds.
  int Segments() {
    if (r_.Below(150) == 0) return 16000 + static_cast<int>(r_.Below(2000));
    return 100 + static_cast<int>(r_.Below(r_.Below(4) == 0 ? 6000 : 1500));
  }

  void Shape() {
    const double cx = 60 + r_.Below(4920) / 10.0, cy = 60 + r_.Below(6720) / 10.0;
    const double rad = 10 + r_.Below(500) / 10.0;
    Colours();
    switch (r_.Below(6)) {
      case 0:
      case 1:
      case 2: {  // a closed outline
        Outline(cx, cy, rad, Segments(), false);
        static const char* const paints[] = {"f", "b", "s"};
        w_.Line(paints[r_.Below(3)]);
        break;
      }
      case 3: {  // a compound outline with long holes
        w_.Line("*u");
        Outline(cx, cy, rad, Segments(), false);
        w_.Line("f");
        const int holes = 1 + static_cast<int>(r_.Below(3));
        for (int h = 0; h < holes; ++h) {
          Outline(cx + (h - 1) * rad / 3, cy, rad / 5, Segments() / 3 + 8, true);
          w_.Line("f");
        }
        w_.Line("*U");
        break;
      }
      default: {  // a contour line: a long open polyline that wanders
        double x = cx, y = cy, heading = r_.Below(6283) / 1000.0;
        w_.Numbers({Fixed(x), Fixed(y)}, "m");
        const int n = Segments();
        for (int i = 0; i < n; ++i) {
          heading += (static_cast<double>(r_.Below(600)) - 300.0) / 1000.0;
          const double step = 0.5 + r_.Below(30) / 10.0;
          x = std::clamp(x + step * std::cos(heading), 5.0, 607.0);
          y = std::clamp(y + step * std::sin(heading), 5.0, 787.0);
          w_.Numbers({Fixed(x), Fixed(y)}, "l");
        }
        w_.Line("S");
        break;
      }
    }
  }

  Writer& w_;
  Random& r_;
  std::size_t target_;
  int fill_ = -1, stroke_ = -1;
};

}  // namespace

void AppendSyntheticEps(std::string& out, const SyntheticOptions& options) {
  const std::size_t start = out.size();
  out.reserve(start + options.TargetBytes + 4096);
  Writer w(out, options);
  Random r(options.Seed);
  w.Line("%!PS-Adobe-3.0 EPSF-3.0");
  w.Line("%%Creator: aiimport synthetic file generator");
  // Written in Illustrator's manner, and marked as such: the automatic reading reads it as
  // Illustrator's operators, not as other programs' PostScript.
  w.Line("%AI5_FileFormat 3.0");
  w.Line("%%BoundingBox: 0 0 612 792");
  w.Line("%%EndComments");
  for (const char* line : Prolog)
    w.Line(line);
  w.Line("%%BeginSetup");
  w.Line("%%EndSetup");
  if (options.Shape == SyntheticShape::LongPaths) {
    LongPathDrawing drawing(w, r, start + options.TargetBytes);
    while (out.size() - start < options.TargetBytes)
      drawing.Group(0);
  } else {
    while (out.size() - start < options.TargetBytes)
      Object(w, r, 0);
  }
  w.Line("%%PageTrailer");
  w.Line("%%Trailer");
  w.Line("%%EOF");
}

}  // namespace aiimport
