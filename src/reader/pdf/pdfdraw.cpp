#include "pdfdraw.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <limits>
#include <utility>

#include "texttable.h"
#include "wording.h"

namespace aiimport {

const char* const PdfDamagedContentMessage =
    "Part of the content of this PDF page is damaged: what comes before the damage is read";

std::string PdfContentTooLargeMessage(uint64_t limit) {
  const std::string size = SizeWords(limit);
  return "The content of this PDF page unpacks to more than " + size + ": only the first " + size +
         " are read";
}

std::optional<PdfMatrix> Concatenate(const PdfMatrix& m, const PdfMatrix& c) {
  PdfMatrix r;
  r.A = m.A * c.A + m.B * c.C;
  r.B = m.A * c.B + m.B * c.D;
  r.C = m.C * c.A + m.D * c.C;
  r.D = m.C * c.B + m.D * c.D;
  r.E = m.E * c.A + m.F * c.C + c.E;
  r.F = m.E * c.B + m.F * c.D + c.F;
  for (long double v : {r.A, r.B, r.C, r.D, r.E, r.F})
    if (!(std::fabs(v) <= MaxMatrixEntry)) return std::nullopt;  // NaN fails too
  return r;
}

namespace {

// Painted path objects hold at most this many points; further ones are dropped.
constexpr std::size_t MaxPathObjectPoints = std::size_t{1} << 22;
// The clipping paths kept per graphics state (those that cut something).
constexpr std::size_t MaxClips = 16;
// Convex fills compared with clipping paths have at most this many corners.
constexpr std::size_t MaxConvexCorners = 64;
// Progress every so many content bytes.
constexpr uint64_t PollBytes = 64 * 1024;

constexpr const char* TooDeepMessage =
    "This PDF page nests its forms too deeply: the innermost ones are not drawn";
constexpr const char* SelfDrawingMessage = "A form on this PDF page draws itself: it is drawn once";

enum class PaintKind : uint8_t { None, Fill, Stroke, FillStroke };

// Boxes and outlines in device space, in double (float32 values and their sums).
struct Box {
  double MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
  bool Empty = true;
  void Add(double x, double y) {
    if (Empty) {
      MinX = MaxX = x, MinY = MaxY = y;
      Empty = false;
      return;
    }
    MinX = std::min(MinX, x), MaxX = std::max(MaxX, x);
    MinY = std::min(MinY, y), MaxY = std::max(MaxY, y);
  }
  double Area() const { return Empty ? 0 : (MaxX - MinX) * (MaxY - MinY); }
};

template <class F>
void ForEachCoordinate(const tbpoint& p, F&& f) {
  f(p.X1, p.Y1);
  if (p.Kind == 2) {
    f(p.X2, p.Y2);
    f(p.X3, p.Y3);
  }
}

Box BoxOf(const std::vector<tbpoint>& points) {
  Box box;
  for (const tbpoint& p : points)
    ForEachCoordinate(p, [&box](float x, float y) { box.Add(x, y); });
  return box;
}

// How far apart two device values may be and still count as the same place: a hundredth of a
// point, and a millionth of the magnitude for huge drawings.
double Tolerance(const Box& box) {
  const double scale = std::max(
      {std::fabs(box.MinX), std::fabs(box.MaxX), std::fabs(box.MinY), std::fabs(box.MaxY)});
  return 0.01 + 1e-6 * scale;
}

struct DPoint {
  double X = 0, Y = 0;
};

// A convex polygon: its corners in order and the sign of its turns (+1 anticlockwise).
struct ConvexPolygon {
  std::vector<DPoint> Corners;
  double Orientation = 0;
};

// The corners of one sub-path made of straight lines, without repeats; none when it has curves.
bool Corners(const std::vector<tbpoint>& points, uint32_t start, uint32_t count,
             std::vector<DPoint>& corners) {
  corners.clear();
  for (uint32_t i = start; i < start + count; ++i) {
    const tbpoint& p = points[i];
    if (p.Kind == 2) return false;
    const DPoint d{p.X1, p.Y1};
    if (corners.empty() || corners.back().X != d.X || corners.back().Y != d.Y) corners.push_back(d);
  }
  while (corners.size() > 1 && corners.back().X == corners.front().X &&
         corners.back().Y == corners.front().Y)
    corners.pop_back();
  return true;
}

double Cross(DPoint o, DPoint a, DPoint b) {
  return (a.X - o.X) * (b.Y - o.Y) - (a.Y - o.Y) * (b.X - o.X);
}

// The sub-path as a convex polygon (turns all one way, once around).
std::optional<ConvexPolygon> AsConvex(const std::vector<tbpoint>& points, uint32_t start,
                                      uint32_t count) {
  ConvexPolygon poly;
  if (!Corners(points, start, count, poly.Corners) || poly.Corners.size() < 3 ||
      poly.Corners.size() > MaxConvexCorners)
    return std::nullopt;
  const auto& c = poly.Corners;
  const std::size_t n = c.size();
  int xChanges = 0, yChanges = 0;
  double lastDx = 0, lastDy = 0, firstDx = 0, firstDy = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const DPoint a = c[i], b = c[(i + 1) % n], d = c[(i + 2) % n];
    const double turn = Cross(a, b, d);
    if (turn != 0) {
      const double sign = turn > 0 ? 1 : -1;
      if (poly.Orientation == 0) poly.Orientation = sign;
      if (sign != poly.Orientation) return std::nullopt;
    }
    // A convex outline goes around once: x and y each change direction at most twice.
    const double dx = b.X - a.X, dy = b.Y - a.Y;
    if (dx != 0) {
      if (lastDx != 0 && (dx > 0) != (lastDx > 0)) ++xChanges;
      if (firstDx == 0) firstDx = dx;
      lastDx = dx;
    }
    if (dy != 0) {
      if (lastDy != 0 && (dy > 0) != (lastDy > 0)) ++yChanges;
      if (firstDy == 0) firstDy = dy;
      lastDy = dy;
    }
  }
  if (lastDx != 0 && firstDx != 0 && (lastDx > 0) != (firstDx > 0)) ++xChanges;
  if (lastDy != 0 && firstDy != 0 && (lastDy > 0) != (firstDy > 0)) ++yChanges;
  if (poly.Orientation == 0 || xChanges > 2 || yChanges > 2) return std::nullopt;
  return poly;
}

bool Inside(const ConvexPolygon& poly, DPoint q, double tolerance) {
  const std::size_t n = poly.Corners.size();
  for (std::size_t i = 0; i < n; ++i) {
    const DPoint a = poly.Corners[i], b = poly.Corners[(i + 1) % n];
    const double length = std::hypot(b.X - a.X, b.Y - a.Y);
    if (Cross(a, b, q) * poly.Orientation < -tolerance * length) return false;
  }
  return true;
}

// A clipping path, with what the tests below need to know of it.
struct ClipPath {
  PdfPathObject Shape;     // every sub-path closed, painting code f
  Box Bounds;              // of every point, control points included: holds the clipped region
  bool Rectangle = false;  // one axis-parallel rectangle: the region is Bounds
  std::optional<ConvexPolygon> Convex;  // one convex polygon
};

using ClipList = std::vector<std::shared_ptr<const ClipPath>>;

// Whether the clipping path's region holds the whole box.
bool RegionHolds(const ClipPath& clip, const Box& box) {
  if (box.Empty) return true;
  const double t = Tolerance(clip.Bounds);
  if (clip.Rectangle)
    return box.MinX >= clip.Bounds.MinX - t && box.MaxX <= clip.Bounds.MaxX + t &&
           box.MinY >= clip.Bounds.MinY - t && box.MaxY <= clip.Bounds.MaxY + t;
  if (clip.Convex)
    return Inside(*clip.Convex, {box.MinX, box.MinY}, t) &&
           Inside(*clip.Convex, {box.MaxX, box.MinY}, t) &&
           Inside(*clip.Convex, {box.MinX, box.MaxY}, t) &&
           Inside(*clip.Convex, {box.MaxX, box.MaxY}, t);
  return false;
}

bool SameOutline(const PdfPathObject& a, const PdfPathObject& b, double tolerance) {
  if (a.Points.size() != b.Points.size() || a.Subs.size() != b.Subs.size()) return false;
  for (std::size_t i = 0; i < a.Subs.size(); ++i)
    if (a.Subs[i].Count != b.Subs[i].Count) return false;
  auto near = [tolerance](float x, float y) {
    return std::fabs(double{x} - double{y}) <= tolerance;
  };
  for (std::size_t i = 0; i < a.Points.size(); ++i) {
    const tbpoint &p = a.Points[i], &q = b.Points[i];
    if (p.Kind != q.Kind || !near(p.X1, q.X1) || !near(p.Y1, q.Y1)) return false;
    if (p.Kind == 2 &&
        (!near(p.X2, q.X2) || !near(p.Y2, q.Y2) || !near(p.X3, q.X3) || !near(p.Y3, q.Y3)))
      return false;
  }
  return true;
}

struct GraphicsState {
  PdfMatrix Ctm;
  std::shared_ptr<const ColourSpace> FillSpace, StrokeSpace;  // none: unknown
  TColor Fill = 0, Stroke = 0;
  std::shared_ptr<const ClipList> Clips;  // none: no clip
};

enum class OperandKind : uint8_t { Number, Name, Other };

struct Operand {
  OperandKind Kind = OperandKind::Other;
  bool InRange = true;
  float Value = 0;
};

}  // namespace

class PageDrawer::Impl {
 public:
  Impl(PathSink& sink, Progress& progress, const PdfPageOptions& options, PdfPageResult& result,
       const PdfMatrix& base)
      : sink_(sink),
        progress_(progress),
        options_(options),
        result_(result),
        flip_(options.FlipVertical ? 1.0f : -1.0f),
        gray_(DeviceGraySpace()),
        rgb_(DeviceRgbSpace()),
        cmyk_(DeviceCmykSpace()) {
    gs_.Ctm = base;
    gs_.FillSpace = gs_.StrokeSpace = gray_;
  }

  bool DrawPage(std::unique_ptr<ContentBuffer> content, PdfResources& resources, bool ahead) {
    bar_ = progress_.HasProgressBar();
    ContentTokens tokens(std::move(content), Mode(), ahead);
    page_ = &tokens;
    if (bar_) {
      progress_.SetMaximum(static_cast<int64_t>(tokens.ProgressTotal()));
      progress_.SetPosition(0);
      progress_.SetPhaseText(
          PageReadingPhaseText(tokens.ProgressTotal(), progress_.ThousandsSeparator()));
    }
    Run(tokens, resources, true);
    while (!opened_.empty())
      PopBlock();
    if (hasPending_) {
      Emit(pending_);
      hasPending_ = false;
    }
    if (bar_) progress_.SetPosition(0);
    if (limited_) {
      Note(PdfContentTooLargeMessage(options_.MaxContentBytes));
    } else if (tokens.Damaged() || tokens.Overflowed()) {
      Note(PdfDamagedContentMessage);
    }
    result_.ContentBytes = read_;
    return !aborted_;
  }

 private:
  // ---- Reading one content stream ----------------------------------------------------------

  ScanMode Mode() const {
    return options_.TokensThroughQpdfOnly ? ScanMode::QpdfOnly : ScanMode::Fast;
  }

  // Reads one content stream. Every token's bytes count against the limit: a token that ends
  // beyond it is not read, and reading stops there, for the page and its forms alike.
  void Run(ContentTokens& tokens, PdfResources& resources, bool page) {
    const std::size_t saveBase = saved_.size();
    const int64_t excessBase = excessSaves_;
    const int64_t markedBase = markedDepth_;
    ClearOperands();
    nesting_ = 0;
    ClearPath();
    uint64_t nextPoll = PollBytes, position = 0;
    ContentToken token;
    while (!stopped_ && tokens.Next(token)) {
      const uint64_t end = tokens.Position();
      if (read_ + (end - position) > options_.MaxContentBytes) {
        limited_ = stopped_ = true;
        break;
      }
      read_ += end - position;
      position = end;
      if (end >= nextPoll) {
        Poll(end, page);
        nextPoll = end + PollBytes;
      }
      switch (token.Kind) {
        case ContentTokenKind::Number:
          if (nesting_ == 0) Push(OperandKind::Number, token.Number, token.NumberInRange);
          break;
        case ContentTokenKind::Name:
          if (nesting_ == 0) {
            Push(OperandKind::Name, 0, true);
            names_[(top_ - 1) % RingSize].assign(token.Text);
          }
          break;
        case ContentTokenKind::Other:
        case ContentTokenKind::Bad:
          if (nesting_ == 0) Push(OperandKind::Other, 0, true);
          break;
        case ContentTokenKind::ArrayOpen:
        case ContentTokenKind::DictOpen:
          ++nesting_;
          break;
        case ContentTokenKind::ArrayClose:
        case ContentTokenKind::DictClose:
          if (nesting_ > 0) {
            if (--nesting_ == 0) Push(OperandKind::Other, 0, true);
          } else {
            Push(OperandKind::Other, 0, true);  // a stray close spoils the next operator
          }
          break;
        case ContentTokenKind::InlineImage:
          ClearOperands();
          if (!Hidden()) ++result_.Images;
          break;
        case ContentTokenKind::Operator:
          // No operator belongs inside an array or a dictionary: the open one was damage.
          nesting_ = 0;
          if (const Operator* op = OperatorOf(token.Text)) (this->*op->Run)(*op, resources);
          ClearOperands();
          break;
      }
    }
    // Read to its end: the blanks after the last token count too.
    if (!stopped_) read_ += tokens.ContentSize() - std::min(tokens.ContentSize(), position);
    // What the stream left open ends with it.
    ClearPath();
    while (saved_.size() > saveBase)
      RestoreState();
    excessSaves_ = excessBase;
    markedDepth_ = markedBase;
    if (hiddenFrom_ > markedBase) hiddenFrom_ = -1;
  }

  void Poll(uint64_t position, bool page) {
    if (bar_ && page) progress_.SetPosition(static_cast<int64_t>(page_->ProgressDone()));
    if (page) progress_.ShowStatus(std::to_string(position / 1024) + " KB      ");
    progress_.ProcessEvents();
    if (progress_.AbortRequested()) aborted_ = stopped_ = true;
  }

  void Note(const std::string& message) {
    result_.Damaged = true;
    if (result_.Message.empty()) result_.Message = message;
  }

  // ---- Operands ----------------------------------------------------------------------------

  static constexpr std::size_t RingSize = 64;  // the last 64 operands are kept

  void Push(OperandKind kind, float value, bool inRange) {
    operands_[top_ % RingSize] = {kind, inRange, value};
    ++top_;
    if (count_ < RingSize) ++count_;
  }
  void ClearOperands() { count_ = 0; }
  // The operand `fromTop` places below the top (0: the last one).
  const Operand* At(std::size_t fromTop) const {
    if (fromTop >= count_) return nullptr;
    return &operands_[(top_ - 1 - fromTop) % RingSize];
  }
  const std::string* NameAt(std::size_t fromTop) const {
    const Operand* o = At(fromTop);
    if (!o || o->Kind != OperandKind::Name) return nullptr;
    return &names_[(top_ - 1 - fromTop) % RingSize];
  }
  // The n numbers below `skip` operands from the top, oldest first; false unless all are
  // numbers in float32's range.
  bool Numbers(std::size_t n, float* out, std::size_t skip = 0) const {
    if (count_ < n + skip) return false;
    for (std::size_t i = 0; i < n; ++i) {
      const Operand* o = At(skip + n - 1 - i);
      if (o->Kind != OperandKind::Number || !o->InRange) return false;
      out[i] = o->Value;
    }
    return true;
  }

  // ---- Operators ---------------------------------------------------------------------------

  struct Operator;
  using Handler = void (Impl::*)(const Operator&, PdfResources&);
  using SpaceMember = const std::shared_ptr<const ColourSpace> Impl::*;

  // An operator and what it does: the member function that carries it out, with its settings.
  struct Operator {
    std::string_view Text;
    Handler Run = nullptr;
    PaintKind Paint = PaintKind::None;  // painting: how the path is painted
    bool Close = false;                 // painting: the sub-path is closed first
    bool Fill = false;                  // colours: the fill's, else the stroke's
    SpaceMember Space = nullptr;        // device colours: the space
    std::size_t Components = 0;         // device colours: how many numbers
  };

  // A colour operator of a device space: the fill's or the stroke's, and how many numbers.
  static constexpr Operator DeviceColour(std::string_view text, bool fill, SpaceMember space,
                                         std::size_t components) {
    return {.Text = text,
            .Run = &Impl::DeviceColourOperator,
            .Fill = fill,
            .Space = space,
            .Components = components};
  }

  // The operators the page reader carries out; ET and every other one change nothing here.
  static const Operator* OperatorOf(std::string_view text) {
    static constexpr Operator Rows[] = {
        // Path construction.
        {.Text = "m", .Run = &Impl::MoveOperator},
        {.Text = "l", .Run = &Impl::LineOperator},
        {.Text = "c", .Run = &Impl::CurveOperator},
        {.Text = "v", .Run = &Impl::CurveFromCurrentOperator},
        {.Text = "y", .Run = &Impl::CurveToEndOperator},
        {.Text = "h", .Run = &Impl::ClosePathOperator},
        {.Text = "re", .Run = &Impl::RectangleOperator},
        // Painting; the even-odd forms paint as the others do.
        {.Text = "S", .Run = &Impl::PaintOperator, .Paint = PaintKind::Stroke},
        {.Text = "s", .Run = &Impl::PaintOperator, .Paint = PaintKind::Stroke, .Close = true},
        {.Text = "f", .Run = &Impl::PaintOperator, .Paint = PaintKind::Fill},
        {.Text = "F", .Run = &Impl::PaintOperator, .Paint = PaintKind::Fill},
        {.Text = "f*", .Run = &Impl::PaintOperator, .Paint = PaintKind::Fill},
        {.Text = "B", .Run = &Impl::PaintOperator, .Paint = PaintKind::FillStroke},
        {.Text = "B*", .Run = &Impl::PaintOperator, .Paint = PaintKind::FillStroke},
        {.Text = "b", .Run = &Impl::PaintOperator, .Paint = PaintKind::FillStroke, .Close = true},
        {.Text = "b*", .Run = &Impl::PaintOperator, .Paint = PaintKind::FillStroke, .Close = true},
        {.Text = "n", .Run = &Impl::PaintOperator},
        {.Text = "W", .Run = &Impl::ClipOperator},
        {.Text = "W*", .Run = &Impl::ClipOperator},
        // The graphics state.
        {.Text = "q", .Run = &Impl::SaveOperator},
        {.Text = "Q", .Run = &Impl::RestoreOperator},
        {.Text = "cm", .Run = &Impl::ConcatOperator},
        // Colours.
        DeviceColour("g", true, &Impl::gray_, 1),
        DeviceColour("G", false, &Impl::gray_, 1),
        DeviceColour("rg", true, &Impl::rgb_, 3),
        DeviceColour("RG", false, &Impl::rgb_, 3),
        DeviceColour("k", true, &Impl::cmyk_, 4),
        DeviceColour("K", false, &Impl::cmyk_, 4),
        {.Text = "cs", .Run = &Impl::SpaceOperator, .Fill = true},
        {.Text = "CS", .Run = &Impl::SpaceOperator},
        {.Text = "sc", .Run = &Impl::ComponentsOperator, .Fill = true},
        {.Text = "scn", .Run = &Impl::ComponentsOperator, .Fill = true},
        {.Text = "SC", .Run = &Impl::ComponentsOperator},
        {.Text = "SCN", .Run = &Impl::ComponentsOperator},
        // XObjects, shadings, text and marked content.
        {.Text = "Do", .Run = &Impl::DrawOperator},
        {.Text = "sh", .Run = &Impl::ShadeOperator},
        {.Text = "BT", .Run = &Impl::TextOperator},
        {.Text = "BMC", .Run = &Impl::MarkedOperator},
        {.Text = "BDC", .Run = &Impl::MarkedPropertiesOperator},
        {.Text = "EMC", .Run = &Impl::EndMarkedOperator},
    };
    static constexpr TextTable Table(Rows);
    return Table.Find(text);
  }

  void MoveOperator(const Operator&, PdfResources&) {
    float v[2];
    if (Numbers(2, v)) MoveTo(Transform(gs_.Ctm, v[0], v[1]));
  }

  void LineOperator(const Operator&, PdfResources&) {
    float v[2];
    if (Numbers(2, v)) LineTo(Transform(gs_.Ctm, v[0], v[1]));
  }

  void CurveOperator(const Operator&, PdfResources&) {
    float v[6];
    if (Numbers(6, v))
      CurveTo(Transform(gs_.Ctm, v[0], v[1]), Transform(gs_.Ctm, v[2], v[3]),
              Transform(gs_.Ctm, v[4], v[5]));
  }

  void CurveFromCurrentOperator(const Operator&, PdfResources&) {
    float v[4];
    if (Numbers(4, v) && hasCurrentPoint_)
      CurveTo(currentPoint_, Transform(gs_.Ctm, v[0], v[1]), Transform(gs_.Ctm, v[2], v[3]));
  }

  void CurveToEndOperator(const Operator&, PdfResources&) {
    float v[4];
    if (!Numbers(4, v)) return;
    const FloatPoint end = Transform(gs_.Ctm, v[2], v[3]);
    CurveTo(Transform(gs_.Ctm, v[0], v[1]), end, end);
  }

  void ClosePathOperator(const Operator&, PdfResources&) { CloseSubPath(); }

  void RectangleOperator(const Operator&, PdfResources&) {
    float v[4];
    if (!Numbers(4, v)) return;
    const long double x = v[0], y = v[1], w = v[2], h = v[3];
    MoveTo(Transform(gs_.Ctm, x, y));
    LineTo(Transform(gs_.Ctm, x + w, y));
    LineTo(Transform(gs_.Ctm, x + w, y + h));
    LineTo(Transform(gs_.Ctm, x, y + h));
    CloseSubPath();
  }

  void PaintOperator(const Operator& op, PdfResources&) { Paint(op.Paint, op.Close); }

  void ClipOperator(const Operator&, PdfResources&) { clipPending_ = true; }

  void SaveOperator(const Operator&, PdfResources&) { SaveState(); }

  void RestoreOperator(const Operator&, PdfResources&) {
    if (excessSaves_ > excessFloor_)
      --excessSaves_;
    else if (saved_.size() > saveFloor_)
      RestoreState();
  }

  void ConcatOperator(const Operator&, PdfResources&) {
    float v[6];
    if (!Numbers(6, v)) return;
    const PdfMatrix m{v[0], v[1], v[2], v[3], v[4], v[5]};
    if (auto product = Concatenate(m, gs_.Ctm)) gs_.Ctm = *product;
  }

  void DeviceColourOperator(const Operator& op, PdfResources&) {
    float v[4];
    if (Numbers(op.Components, v))
      SetColour(op.Fill, this->*op.Space, v, static_cast<int>(op.Components));
  }

  void SpaceOperator(const Operator& op, PdfResources& resources) {
    if (const std::string* name = NameAt(0)) SetSpace(op.Fill, *name, resources);
  }

  void ComponentsOperator(const Operator& op, PdfResources& resources) {
    SetComponents(op.Fill, resources);
  }

  void DrawOperator(const Operator&, PdfResources& resources) {
    if (const std::string* name = NameAt(0)) Draw(*name, resources);
  }

  void ShadeOperator(const Operator&, PdfResources& resources) {
    if (const std::string* name = NameAt(0)) Shade(*name, resources);
  }

  void TextOperator(const Operator&, PdfResources&) {
    if (!Hidden()) ++result_.TextObjects;
  }

  void MarkedOperator(const Operator&, PdfResources&) { ++markedDepth_; }

  void MarkedPropertiesOperator(const Operator&, PdfResources& resources) {
    ++markedDepth_;
    const std::string* tag = NameAt(1);
    const std::string* properties = NameAt(0);
    if (hiddenFrom_ < 0 && tag && *tag == "/OC" && properties &&
        !resources.OptionalContentVisible(*properties))
      hiddenFrom_ = markedDepth_;
  }

  void EndMarkedOperator(const Operator&, PdfResources&) {
    if (markedDepth_ > markedFloor_) {
      if (hiddenFrom_ == markedDepth_) hiddenFrom_ = -1;
      --markedDepth_;
    }
  }

  bool Hidden() const { return hiddenFrom_ >= 0 || hiddenForms_ > 0; }

  // ---- Path construction -------------------------------------------------------------------

  void ClearPath() {
    path_.Clear();
    hasCurrentPoint_ = false;
    clipPending_ = false;
  }

  bool Room() const { return path_.Points.size() < MaxPathObjectPoints; }

  void MoveTo(FloatPoint p) {
    tbpoint point;
    point.Kind = 0;
    point.X1 = p.X, point.Y1 = p.Y;
    if (!path_.Subs.empty() && path_.Subs.back().Count == 1) {
      // A move right after a move: the first one starts nothing.
      path_.Points.back() = point;
      path_.Subs.back().Closed = false;
    } else {
      if (!Room()) return;
      path_.Subs.push_back({static_cast<uint32_t>(path_.Points.size()), 1, false, 'f'});
      path_.Points.push_back(point);
    }
    currentPoint_ = subStart_ = p;
    hasCurrentPoint_ = true;
  }

  // A segment after a closed sub-path starts a new one where that one started.
  bool OpenSubPath() {
    if (!hasCurrentPoint_) return false;
    if (path_.Subs.back().Closed) MoveTo(subStart_);
    return Room();
  }

  void LineTo(FloatPoint p) {
    if (!OpenSubPath()) return;
    tbpoint point;
    point.Kind = 1;
    point.X1 = p.X, point.Y1 = p.Y;
    path_.Points.push_back(point);
    ++path_.Subs.back().Count;
    currentPoint_ = p;
  }

  void CurveTo(FloatPoint c1, FloatPoint c2, FloatPoint end) {
    if (!OpenSubPath()) return;
    tbpoint point;
    point.Kind = 2;
    point.X1 = c1.X, point.Y1 = c1.Y;
    point.X2 = c2.X, point.Y2 = c2.Y;
    point.X3 = end.X, point.Y3 = end.Y;
    path_.Points.push_back(point);
    ++path_.Subs.back().Count;
    currentPoint_ = end;
  }

  void CloseSubPath() {
    if (!hasCurrentPoint_ || path_.Subs.empty()) return;
    path_.Subs.back().Closed = true;
    currentPoint_ = subStart_;
  }

  // ---- Painting ----------------------------------------------------------------------------

  static bool EndsAtStart(const PdfPathObject& o, const PdfSubPath& s) {
    const tbpoint& first = o.Points[s.Start];
    const tbpoint& last = o.Points[s.Start + s.Count - 1];
    const float x = last.Kind == 2 ? last.X3 : last.X1;
    const float y = last.Kind == 2 ? last.Y3 : last.Y1;
    return x == first.X1 && y == first.Y1;
  }

  void Paint(PaintKind kind, bool close) {
    if (close) CloseSubPath();
    // A sub-path that is only a move paints nothing (moves never follow one another here).
    if (!path_.Subs.empty() && path_.Subs.back().Count == 1) {
      path_.Points.pop_back();
      path_.Subs.pop_back();
    }
    if (kind != PaintKind::None && !path_.Subs.empty()) {
      if (Hidden())
        ++result_.HiddenPaths;
      else
        PaintPath(kind);
    }
    if (clipPending_ && !path_.Subs.empty()) AddClip(path_);
    ClearPath();
  }

  void PaintPath(PaintKind kind) {
    for (PdfSubPath& s : path_.Subs) {
      const bool closed = s.Closed || EndsAtStart(path_, s);
      switch (kind) {
        case PaintKind::Fill:
          s.Code = 'f';  // a fill closes every sub-path
          break;
        case PaintKind::Stroke:
          s.Code = closed ? 's' : 'S';
          break;
        default:
          s.Code = closed ? 'b' : 'B';
          break;
      }
    }
    path_.Fill = gs_.Fill;
    path_.Stroke = gs_.Stroke;
    if (gs_.Clips) {
      if (kind != PaintKind::Stroke) {
        if (const ClipPath* clip = CoveredClip(path_)) {
          ++result_.ClipShapes;
          DeliverClip(*clip, gs_.Fill);
          return;
        }
      }
      if (!InsideClips(BoxOf(path_.Points))) ++result_.ClippedPaths;
    }
    ++result_.Paths;
    Deliver(path_);
  }

  // The clipping path of the current ones that the fill covers (the same outline, or one
  // convex outline around every point of it); the smallest when several are.
  // The comparisons draw on a budget for the whole page, so that a page of many large fills
  // through a large clip cannot make the reading quadratic: once it is spent, fills are taken
  // as they are.
  const ClipPath* CoveredClip(const PdfPathObject& fill) {
    std::optional<ConvexPolygon> convex;
    if (fill.Subs.size() == 1) convex = AsConvex(fill.Points, 0, fill.Subs[0].Count);
    const Box fillBox = BoxOf(fill.Points);
    const ClipPath* best = nullptr;
    for (const auto& clip : *gs_.Clips) {
      const double t = Tolerance(clip->Bounds);
      const uint64_t points = clip->Shape.Points.size();
      bool covered = false;
      if (points == fill.Points.size() && Spend(points))
        covered = SameOutline(fill, clip->Shape, t);
      // A convex fill covers the clip only when its box holds the clip's.
      if (!covered && convex && fillBox.MinX <= clip->Bounds.MinX + t &&
          fillBox.MaxX >= clip->Bounds.MaxX - t && fillBox.MinY <= clip->Bounds.MinY + t &&
          fillBox.MaxY >= clip->Bounds.MaxY - t && Spend(3 * points * convex->Corners.size())) {
        covered = true;
        for (std::size_t i = 0; covered && i < clip->Shape.Points.size(); ++i)
          ForEachCoordinate(clip->Shape.Points[i], [&](float x, float y) {
            if (covered && !Inside(*convex, {x, y}, t)) covered = false;
          });
      }
      if (covered && (!best || clip->Bounds.Area() < best->Bounds.Area())) best = clip.get();
    }
    return best;
  }

  bool Spend(uint64_t work) {
    if (work > coverBudget_) return false;
    coverBudget_ -= work;
    return true;
  }

  bool InsideClips(const Box& box) const {
    for (const auto& clip : *gs_.Clips)
      if (!RegionHolds(*clip, box)) return false;
    return true;
  }

  void DeliverClip(const ClipPath& clip, TColor colour) {
    scratch_.Points = clip.Shape.Points;
    scratch_.Subs = clip.Shape.Subs;
    scratch_.Fill = colour;
    scratch_.Stroke = gs_.Stroke;
    ++result_.Paths;
    Deliver(scratch_);
  }

  void AddClip(const PdfPathObject& shape) {
    auto clip = std::make_shared<ClipPath>();
    clip->Shape.Points = shape.Points;
    clip->Shape.Subs = shape.Subs;
    for (PdfSubPath& s : clip->Shape.Subs) {
      s.Closed = true;
      s.Code = 'f';
    }
    clip->Bounds = BoxOf(clip->Shape.Points);
    if (clip->Shape.Subs.size() == 1) {
      clip->Convex = AsConvex(clip->Shape.Points, 0, clip->Shape.Subs[0].Count);
      std::vector<DPoint> c;
      if (clip->Convex && Corners(clip->Shape.Points, 0, clip->Shape.Subs[0].Count, c) &&
          c.size() == 4) {
        bool parallel = true;
        for (std::size_t i = 0; i < 4; ++i) {
          const DPoint a = c[i], b = c[(i + 1) % 4];
          parallel = parallel && (a.X == b.X || a.Y == b.Y);
        }
        clip->Rectangle = parallel;
      }
    }
    auto clips = std::make_shared<ClipList>();
    if (gs_.Clips) {
      // A new clip around an old one changes nothing; old ones around the new one go.
      for (const auto& old : *gs_.Clips)
        if (RegionHolds(*clip, old->Bounds)) return;
      for (const auto& old : *gs_.Clips)
        if (!RegionHolds(*old, clip->Bounds)) clips->push_back(old);
    }
    clips->push_back(std::move(clip));
    if (clips->size() > MaxClips) {
      auto largest = std::max_element(
          clips->begin(), clips->end(),
          [](const auto& a, const auto& b) { return a->Bounds.Area() < b->Bounds.Area(); });
      clips->erase(largest);
    }
    gs_.Clips = std::move(clips);
  }

  // ---- Groups ------------------------------------------------------------------------------
  // Each q (and each form) opens a block; a block that paints two or more paths is a group. The
  // blocks whose decision is made (opened as groups) are those below firstUndecided_; above it
  // at most one painted path waits: the first one of the blocks below pendingDepth_.

  void Deliver(PdfPathObject& object) {
    const std::size_t depth = opened_.size();
    if (hasPending_) {
      for (std::size_t i = firstUndecided_; i < pendingDepth_; ++i) {
        sink_.BeginGroup();
        opened_[i] = 1;
      }
      firstUndecided_ = pendingDepth_;
      Emit(pending_);
      hasPending_ = false;
    }
    if (depth > firstUndecided_) {
      std::swap(pending_, object);
      object.Clear();
      hasPending_ = true;
      pendingDepth_ = depth;
    } else {
      Emit(object);
    }
  }

  void PushBlock() { opened_.push_back(0); }

  void PopBlock() {
    if (opened_.back()) sink_.EndGroup();
    opened_.pop_back();
    const std::size_t depth = opened_.size();
    firstUndecided_ = std::min(firstUndecided_, depth);
    if (hasPending_) {
      pendingDepth_ = std::min(pendingDepth_, depth);
      if (pendingDepth_ <= firstUndecided_) {
        Emit(pending_);
        hasPending_ = false;
      }
    }
  }

  void Emit(const PdfPathObject& o) {
    sink_.SetFillColor(o.Fill);
    sink_.SetLineColor(o.Stroke);
    const bool compound = o.Subs.size() > 1;
    if (compound) sink_.BeginCompound();
    for (const PdfSubPath& s : o.Subs) {
      for (uint32_t i = s.Start; i < s.Start + s.Count; ++i) {
        tbpoint p = o.Points[i];
        p.Y1 = flip_ * p.Y1;
        if (p.Kind == 2) {
          p.Y2 = flip_ * p.Y2;
          p.Y3 = flip_ * p.Y3;
        }
        sink_.AddPoint(p);  // a full path takes no more points
      }
      const char code[2] = {s.Code, ' '};
      sink_.Paint(std::string_view(code, 2));
    }
    if (compound) sink_.EndCompound();
  }

  // ---- Graphics state ----------------------------------------------------------------------

  void SaveState() {
    if (saved_.size() >= static_cast<std::size_t>(std::max(options_.MaxSaveDepth, 0))) {
      ++excessSaves_;
      return;
    }
    saved_.push_back(gs_);
    PushBlock();
  }

  void RestoreState() {
    gs_ = std::move(saved_.back());
    saved_.pop_back();
    PopBlock();
  }

  void SetColour(bool fill, const std::shared_ptr<const ColourSpace>& space, const float* v,
                 int n) {
    const TColor colour = ColourOf(*space, v, n);
    if (fill) {
      gs_.FillSpace = space;
      gs_.Fill = colour;
    } else {
      gs_.StrokeSpace = space;
      gs_.Stroke = colour;
    }
  }

  void SetSpace(bool fill, const std::string& name, PdfResources& resources) {
    std::shared_ptr<const ColourSpace> space;
    if (name == "/DeviceGray" || name == "/G")
      space = gray_;
    else if (name == "/DeviceRGB" || name == "/RGB")
      space = rgb_;
    else if (name == "/DeviceCMYK" || name == "/CMYK")
      space = cmyk_;
    else
      space = resources.ColourSpaceNamed(name);
    const TColor colour = space ? InitialColour(*space) : 0;
    (fill ? gs_.FillSpace : gs_.StrokeSpace) = space;
    (fill ? gs_.Fill : gs_.Stroke) = colour;
  }

  void SetComponents(bool fill, PdfResources& resources) {
    const std::shared_ptr<const ColourSpace>& space = fill ? gs_.FillSpace : gs_.StrokeSpace;
    TColor& colour = fill ? gs_.Fill : gs_.Stroke;
    if (!space) {
      colour = 0;  // an unknown space: black
      return;
    }
    if (space->Family == ColourFamily::Pattern) {
      const std::string* name = NameAt(0);
      if (!name) return;
      const PatternInfo pattern = resources.PatternNamed(*name);
      colour = pattern.Colour;
      if (pattern.Known && pattern.Uncoloured && space->Base) {
        float v[32];
        const auto n = static_cast<std::size_t>(std::clamp(space->Base->Components, 0, 32));
        if (Numbers(n, v, 1)) colour = ColourOf(*space->Base, v, static_cast<int>(n));
      }
      return;
    }
    float v[32];
    const auto n = static_cast<std::size_t>(std::clamp(space->Components, 0, 32));
    if (Numbers(n, v)) colour = ColourOf(*space, v, static_cast<int>(n));
  }

  // ---- XObjects and shadings ---------------------------------------------------------------

  void Draw(const std::string& name, PdfResources& resources) {
    const XObjectInfo info = resources.XObjectNamed(name);
    if (info.Kind == XObjectKind::Image) {
      if (!Hidden()) ++result_.Images;
      return;
    }
    if (info.Kind != XObjectKind::Form) return;
    if (formDepth_ >= options_.MaxFormDepth) {
      ++result_.SkippedForms;
      Note(TooDeepMessage);
      return;
    }
    if (std::find(activeForms_.begin(), activeForms_.end(), info.Id) != activeForms_.end()) {
      ++result_.SkippedForms;
      Note(SelfDrawingMessage);
      return;
    }
    if (saved_.size() >= static_cast<std::size_t>(std::max(options_.MaxSaveDepth, 0))) {
      ++result_.SkippedForms;
      Note(TooDeepMessage);
      return;
    }
    // One byte over the limit, so that reading, not the buffer, meets the limit first.
    auto content = std::make_unique<ContentBuffer>(OneOver(options_.MaxContentBytes));
    bool damaged = false;
    std::unique_ptr<PdfResources> formResources = resources.OpenForm(name, *content, damaged);
    if (damaged) Note(PdfDamagedContentMessage);
    if (!formResources) return;

    // The form is drawn as if inside q ... Q, through its matrix and clipped to its box.
    const std::size_t saveFloor = saveFloor_;
    const int64_t excessFloor = excessFloor_, markedFloor = markedFloor_;
    SaveState();
    if (auto product = Concatenate(info.Matrix, gs_.Ctm)) gs_.Ctm = *product;
    if (info.HasBBox) {
      PdfPathObject box;
      const float* b = info.BBox;
      const FloatPoint corners[4] = {Transform(gs_.Ctm, b[0], b[1]), Transform(gs_.Ctm, b[2], b[1]),
                                     Transform(gs_.Ctm, b[2], b[3]),
                                     Transform(gs_.Ctm, b[0], b[3])};
      for (int i = 0; i < 4; ++i) {
        tbpoint p;
        p.Kind = i == 0 ? 0 : 1;
        p.X1 = corners[i].X, p.Y1 = corners[i].Y;
        box.Points.push_back(p);
      }
      box.Subs.push_back({0, 4, true, 'f'});
      AddClip(box);
    }
    if (!info.Visible) ++hiddenForms_;
    activeForms_.push_back(info.Id);
    ++formDepth_;
    saveFloor_ = saved_.size();
    excessFloor_ = excessSaves_;
    markedFloor_ = markedDepth_;
    {
      ContentTokens tokens(std::move(content), Mode(), false);
      Run(tokens, *formResources, false);
      if (tokens.Damaged() || tokens.Overflowed()) Note(PdfDamagedContentMessage);
    }
    saveFloor_ = saveFloor;
    excessFloor_ = excessFloor;
    markedFloor_ = markedFloor;
    --formDepth_;
    activeForms_.pop_back();
    if (!info.Visible) --hiddenForms_;
    RestoreState();
  }

  void Shade(const std::string& name, PdfResources& resources) {
    if (Hidden()) return;
    if (!gs_.Clips || gs_.Clips->empty()) {
      ++result_.Shadings;
      return;
    }
    const std::optional<TColor> colour = resources.ShadingColour(name);
    const ClipPath* smallest = nullptr;
    for (const auto& clip : *gs_.Clips)
      if (!smallest || clip->Bounds.Area() < smallest->Bounds.Area()) smallest = clip.get();
    ++result_.ClipShapes;
    DeliverClip(*smallest, colour.value_or(0));
  }

  // ---- State -------------------------------------------------------------------------------

  PathSink& sink_;
  Progress& progress_;
  const PdfPageOptions& options_;
  PdfPageResult& result_;
  const float flip_;
  const std::shared_ptr<const ColourSpace> gray_, rgb_, cmyk_;
  bool bar_ = false;
  bool aborted_ = false;
  bool limited_ = false;  // the content limit was reached
  bool stopped_ = false;  // aborted or limited: nothing more is read
  uint64_t read_ = 0;     // content bytes read, the page's and its forms'
  ContentTokens* page_ = nullptr;

  GraphicsState gs_;
  std::vector<GraphicsState> saved_;
  int64_t excessSaves_ = 0;  // q beyond the deepest kept: counted only
  // The state a Q may not go below: the start of the content stream being read.
  std::size_t saveFloor_ = 0;
  int64_t excessFloor_ = 0;

  // Blocks, one per saved state: 1 once opened as a group.
  std::vector<uint8_t> opened_;
  std::size_t firstUndecided_ = 0;
  std::size_t pendingDepth_ = 0;
  bool hasPending_ = false;
  PdfPathObject pending_;

  // Point comparisons left for the clip cover tests of the whole page (a few seconds' worth).
  uint64_t coverBudget_ = uint64_t{1} << 31;

  PdfPathObject path_;     // the path being built
  PdfPathObject scratch_;  // a clipping path on its way to the sink
  FloatPoint currentPoint_, subStart_;
  bool hasCurrentPoint_ = false;
  bool clipPending_ = false;

  std::array<Operand, RingSize> operands_{};
  std::array<std::string, RingSize> names_{};
  std::size_t top_ = 0, count_ = 0;
  int64_t nesting_ = 0;  // inside arrays and dictionaries

  int64_t markedDepth_ = 0, markedFloor_ = 0;
  int64_t hiddenFrom_ = -1;  // the marked-content depth where hidden content began
  int hiddenForms_ = 0;      // forms being drawn whose optional content is off
  std::vector<uint64_t> activeForms_;
  int formDepth_ = 0;
};

PageDrawer::PageDrawer(PathSink& sink, Progress& progress, const PdfPageOptions& options,
                       PdfPageResult& result, const PdfMatrix& base)
    : impl_(std::make_unique<Impl>(sink, progress, options, result, base)) {}

PageDrawer::~PageDrawer() = default;

bool PageDrawer::DrawPage(std::unique_ptr<ContentBuffer> content, PdfResources& resources,
                          bool ahead) {
  return impl_->DrawPage(std::move(content), resources, ahead);
}

}  // namespace aiimport
