#include "epsgen.h"

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

}  // namespace

void AppendSyntheticEps(std::string& out, const SyntheticOptions& options) {
  const std::size_t start = out.size();
  out.reserve(start + options.TargetBytes + 4096);
  Writer w(out, options);
  Random r(options.Seed);
  w.Line("%!PS-Adobe-3.0 EPSF-3.0");
  w.Line("%%Creator: aiimport synthetic file generator");
  w.Line("%%BoundingBox: 0 0 612 792");
  w.Line("%%EndComments");
  for (const char* line : Prolog)
    w.Line(line);
  w.Line("%%BeginSetup");
  w.Line("%%EndSetup");
  while (out.size() - start < options.TargetBytes)
    Object(w, r, 0);
  w.Line("%%PageTrailer");
  w.Line("%%Trailer");
  w.Line("%%EOF");
}

}  // namespace aiimport
