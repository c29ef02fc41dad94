#include "pdfdocument.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <algorithm>
#include <cmath>
#include <map>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "qpdfsupport.h"

namespace aiimport {

namespace {

// Bounds on what a colour space, a function or a shading may make us build.
constexpr int MaxSpaceDepth = 4;
constexpr int MaxFunctionDepth = 8;
constexpr std::size_t MaxStitchedFunctions = 64;
constexpr std::size_t MaxSamples = std::size_t{1} << 20;
constexpr std::size_t MaxDeviceNComponents = 32;
constexpr int MaxVisibilityDepth = 16;
constexpr uint64_t MaxLookupBytes = 256 * MaxDeviceNComponents;
constexpr uint64_t ShadingHeadBytes = 4096;
constexpr uint64_t PollBytes = uint64_t{1} << 20;

// The float32 of a PDF number object: as a content operand would read.
bool NumberOf(Handle h, float& out) {
  bool inRange = true;
  if (h.isInteger()) {
    out = PdfNumberValue(std::to_string(h.getIntValue()), inRange);
  } else if (h.isReal()) {
    out = PdfNumberValue(h.getRealValue(), inRange);
  } else {
    return false;
  }
  return inRange;
}

// The numbers of an array (at most `max`); nothing when it is no array of numbers.
std::vector<long double> NumberArray(Handle h, std::size_t max = 64) {
  std::vector<long double> values;
  if (!h.isArray()) return values;
  const int n = h.getArrayNItems();
  if (n < 0 || static_cast<std::size_t>(n) > max) return values;
  for (int i = 0; i < n; ++i) {
    float v;
    if (!NumberOf(h.getArrayItem(i), v)) return {};
    values.push_back(v);
  }
  return values;
}

long double NumberOr(Handle h, long double fallback) {
  float v;
  return NumberOf(h, v) ? v : fallback;
}

int64_t IntegerOr(Handle h, int64_t fallback) {
  if (h.isInteger()) return h.getIntValue();
  float v;
  if (NumberOf(h, v) && std::fabs(v) < 1e15f) return static_cast<int64_t>(v);
  return fallback;
}

uint64_t IdOf(Handle h) {
  const QPDFObjGen og = h.getObjGen();
  return (static_cast<uint64_t>(static_cast<uint32_t>(og.getObj())) << 32) |
         static_cast<uint32_t>(og.getGen());
}

// qpdf's decoding writes straight into a content buffer. A pipeline's exception stops the
// decoding (qpdf catches it and reports failure), which is how the limit and "Abort" end it.
class BufferPipeline final : public Pipeline {
 public:
  BufferPipeline(ContentBuffer& out, Progress* progress)
      : Pipeline("page reader", nullptr), out_(out), progress_(progress) {}

  void write(unsigned char const* data, size_t len) override {
    if (stopped_) throw std::runtime_error("stopped");
    if (!out_.Append(reinterpret_cast<const char*>(data), len)) {
      stopped_ = true;
      throw std::length_error("content limit");
    }
    if (progress_) {
      sincePoll_ += len;
      if (sincePoll_ >= PollBytes) {
        sincePoll_ = 0;
        progress_->ProcessEvents();
        if (progress_->AbortRequested()) {
          stopped_ = aborted_ = true;
          throw std::runtime_error("aborted");
        }
      }
    }
  }
  void finish() override {}

  bool Aborted() const { return aborted_; }

 private:
  ContentBuffer& out_;
  Progress* progress_;
  uint64_t sincePoll_ = 0;
  bool stopped_ = false;
  bool aborted_ = false;
};

struct DecodeOutcome {
  bool Damaged = false;
  bool Aborted = false;
};

// Appends the decoded data of a stream. Data that qpdf cannot decode (an unknown filter) is
// left out; data that stops decoding part way is kept up to there.
DecodeOutcome DecodeStream(Handle stream, ContentBuffer& out, Progress* progress) {
  DecodeOutcome outcome;
  if (!stream.isStream()) {
    outcome.Damaged = true;
    return outcome;
  }
  const uint64_t before = out.Size();
  BufferPipeline pipe(out, progress);
  bool filtered = false;
  bool ok = false;
  try {
    ok = stream.pipeStreamData(&pipe, &filtered, 0, qpdf_dl_specialized, true, false);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    ok = false;
  }
  outcome.Aborted = pipe.Aborted();
  if (!filtered && HasFilters(stream.getDict())) {
    out.Truncate(before);
    outcome.Damaged = true;
  } else if (!ok && !out.Overflowed() && !outcome.Aborted) {
    outcome.Damaged = true;
  }
  return outcome;
}

// How a content stream is stored: as it is, zlib data alone (/FlateDecode without a
// predictor), or with filters only qpdf undoes.
enum class Stored : uint8_t { Plain, Flate, Other };

Stored StoredAs(Handle dict) {
  Handle filter = dict.getKey("/Filter");
  Handle parameters = dict.getKey("/DecodeParms");
  if (filter.isArray()) {
    const int n = filter.getArrayNItems();
    if (n == 0) return Stored::Plain;
    if (n > 1) return Stored::Other;
    filter = filter.getArrayItem(0);
    if (parameters.isArray()) parameters = parameters.getArrayItem(0);
  }
  if (filter.isNull()) return Stored::Plain;
  if (!NameIs(filter, "/FlateDecode") && !NameIs(filter, "/Fl")) return Stored::Other;
  if (parameters.isDictionary() && IntegerOr(parameters.getKey("/Predictor"), 1) > 1)
    return Stored::Other;
  return Stored::Flate;
}

// Sets `content` up to make the streams' content as it is read: each stream's stored bytes are
// taken now (qpdf decrypts them) and inflated later, piece by piece, while qpdf is free for
// other work; streams with other filters are decoded by qpdf now.
DecodeOutcome PrepareStreams(const std::vector<Handle>& streams, ContentBuffer& content,
                             Progress* progress) {
  DecodeOutcome outcome;
  auto segments = std::make_unique<StreamSegments>();
  for (Handle stream : streams) {
    if (!stream.isStream()) {
      outcome.Damaged = true;
      continue;
    }
    // Stored bytes are bounded by the file; what is decoded from them by the content's limit.
    const Stored stored = StoredAs(stream.getDict());
    auto data =
        std::make_unique<ContentBuffer>(stored == Stored::Other ? content.Limit() : ~uint64_t{0});
    if (stored == Stored::Other) {
      const DecodeOutcome decoded = DecodeStream(stream, *data, progress);
      outcome.Damaged = outcome.Damaged || decoded.Damaged;
      if (decoded.Aborted) {
        outcome.Aborted = true;
        break;
      }
    } else {
      BufferPipeline pipe(*data, progress);
      bool ok = false, filtered = false;
      try {
        ok = stream.pipeStreamData(&pipe, &filtered, 0, qpdf_dl_none, true, false);
      } catch (const std::bad_alloc&) {
        throw;
      } catch (const std::exception&) {
        ok = false;
      }
      if (pipe.Aborted()) {
        outcome.Aborted = true;
        break;
      }
      if (!ok) outcome.Damaged = true;
    }
    segments->Add(std::move(data), stored == Stored::Flate);
  }
  content.SetSource(std::move(segments));
  return outcome;
}

// What is built from the file's objects (colour spaces, functions): an indirect object's is built
// once and kept. While it is being built it reads as none, so that an object built of itself is
// none rather than an endless recursion.
template <class T>
class BuiltObjects {
 public:
  template <class Build>
  std::shared_ptr<const T> Get(Handle h, Build&& build) {
    if (!h.isIndirect()) return build();
    const QPDFObjGen id = h.getObjGen();
    const auto it = built_.find(id);
    if (it != built_.end()) return it->second;
    built_[id] = nullptr;
    std::shared_ptr<const T> value = build();
    built_[id] = value;
    return value;
  }

 private:
  std::map<QPDFObjGen, std::shared_ptr<const T>> built_;
};

// ---------------------------------------------------------------------------------------------
// What every scope shares: the file, the optional content configuration, caches.

struct DocContext {
  QPDF& Pdf;
  Progress* Poll = nullptr;
  std::set<QPDFObjGen> HiddenGroups;  // optional content groups off in the default config
  BuiltObjects<ColourSpace> Spaces;
  BuiltObjects<PdfFunction> Functions;

  explicit DocContext(QPDF& pdf) : Pdf(pdf) {}

  // qpdf keeps every warning of a damaged file; they are of no use here and are dropped as
  // they come, so that their list does not grow with the file.
  void DropWarnings() {
    if (Pdf.anyWarnings()) Pdf.getWarnings();
  }

  void ReadOptionalContent() {
    Handle properties = Pdf.getRoot().getKey("/OCProperties");
    if (!properties.isDictionary()) return;
    Handle config = properties.getKey("/D");
    if (!config.isDictionary()) return;
    auto addAll = [](Handle array, std::set<QPDFObjGen>& to) {
      if (!array.isArray()) return;
      const int n = array.getArrayNItems();
      for (int i = 0; i < n; ++i) {
        Handle g = array.getArrayItem(i);
        if (g.isIndirect()) to.insert(g.getObjGen());
      }
    };
    if (NameIs(config.getKey("/BaseState"), "/OFF")) {
      std::set<QPDFObjGen> all, on;
      addAll(properties.getKey("/OCGs"), all);
      addAll(config.getKey("/ON"), on);
      for (const QPDFObjGen& g : all)
        if (!on.count(g)) HiddenGroups.insert(g);
    } else {
      addAll(config.getKey("/OFF"), HiddenGroups);
    }
  }

  bool GroupOn(Handle group) const {
    return !group.isIndirect() || !HiddenGroups.count(group.getObjGen());
  }

  // A visibility expression: [/And ...], [/Or ...], [/Not x], or a group.
  bool Expression(Handle e, int depth) const {
    if (depth > MaxVisibilityDepth) return true;
    if (e.isDictionary()) return GroupOn(e);
    if (!e.isArray() || e.getArrayNItems() < 1) return true;
    Handle op = e.getArrayItem(0);
    const int n = e.getArrayNItems();
    if (NameIs(op, "/Not")) return n < 2 || !Expression(e.getArrayItem(1), depth + 1);
    const bool conjunction = NameIs(op, "/And");
    if (!conjunction && !NameIs(op, "/Or")) return true;
    for (int i = 1; i < n; ++i) {
      const bool v = Expression(e.getArrayItem(i), depth + 1);
      if (conjunction && !v) return false;
      if (!conjunction && v) return true;
    }
    return conjunction || n < 2;
  }

  // Whether an optional content group or membership dictionary is on.
  bool Visible(Handle oc) const {
    if (!oc.isDictionary()) return true;
    if (!NameIs(oc.getKey("/Type"), "/OCMD")) return GroupOn(oc);
    Handle ve = oc.getKey("/VE");
    if (ve.isArray()) return Expression(ve, 0);
    Handle groups = oc.getKey("/OCGs");
    std::vector<bool> states;
    if (groups.isDictionary()) {
      states.push_back(GroupOn(groups));
    } else if (groups.isArray()) {
      const int n = std::min(groups.getArrayNItems(), 1024);
      for (int i = 0; i < n; ++i) {
        Handle g = groups.getArrayItem(i);
        if (g.isDictionary()) states.push_back(GroupOn(g));
      }
    }
    if (states.empty()) return true;
    Handle policy = oc.getKey("/P");
    const auto on = static_cast<std::size_t>(std::count(states.begin(), states.end(), true));
    if (NameIs(policy, "/AllOn")) return on == states.size();
    if (NameIs(policy, "/AnyOff")) return on < states.size();
    if (NameIs(policy, "/AllOff")) return on == 0;
    return on > 0;  // /AnyOn
  }

  // ---- Functions ---------------------------------------------------------------------------

  std::shared_ptr<const PdfFunction> Function(Handle h, int depth) {
    if (depth > MaxFunctionDepth) return nullptr;
    return Functions.Get(h, [&] { return BuildFunction(h, depth); });
  }

  std::shared_ptr<const PdfFunction> BuildFunction(Handle h, int depth) {
    Handle dict = h.isStream() ? h.getDict() : h;
    if (!dict.isDictionary()) return nullptr;
    auto f = std::make_shared<PdfFunction>();
    f->Type = static_cast<int>(IntegerOr(dict.getKey("/FunctionType"), -1));
    f->Domain = NumberArray(dict.getKey("/Domain"));
    f->Range = NumberArray(dict.getKey("/Range"));
    if (f->Domain.size() < 2 || f->Domain.size() % 2 != 0) return nullptr;
    switch (f->Type) {
      case 2: {
        f->C0 = NumberArray(dict.getKey("/C0"));
        f->C1 = NumberArray(dict.getKey("/C1"));
        if (!dict.hasKey("/C0")) f->C0 = {0};
        if (!dict.hasKey("/C1")) f->C1 = {1};
        f->Exponent = NumberOr(dict.getKey("/N"), 1);
        break;
      }
      case 3: {
        Handle functions = dict.getKey("/Functions");
        if (!functions.isArray()) return nullptr;
        const int k = functions.getArrayNItems();
        if (k < 1 || static_cast<std::size_t>(k) > MaxStitchedFunctions) return nullptr;
        for (int i = 0; i < k; ++i)
          f->Functions.push_back(Function(functions.getArrayItem(i), depth + 1));
        f->Bounds = NumberArray(dict.getKey("/Bounds"));
        f->Encode = NumberArray(dict.getKey("/Encode"), 2 * MaxStitchedFunctions);
        break;
      }
      case 0:
        if (!ReadSampled(h, dict, *f)) return nullptr;
        break;
      default:
        break;  // type 4 and unknown types are not evaluated
    }
    return f;
  }

  bool ReadSampled(Handle stream, Handle dict, PdfFunction& f) {
    if (!stream.isStream()) return false;
    const std::size_t m = f.Domain.size() / 2;
    if (f.Range.size() < 2 || f.Range.size() % 2 != 0) return false;
    f.Outputs = static_cast<int>(f.Range.size() / 2);
    const std::vector<long double> size = NumberArray(dict.getKey("/Size"));
    if (size.size() != m) return false;
    std::size_t total = static_cast<std::size_t>(f.Outputs);
    for (long double s : size) {
      if (!(s >= 1) || s > static_cast<long double>(MaxSamples)) return false;
      f.Size.push_back(static_cast<uint32_t>(s));
      total *= f.Size.back();
      if (total > MaxSamples) return false;
    }
    f.BitsPerSample = static_cast<int>(IntegerOr(dict.getKey("/BitsPerSample"), 0));
    const int bps = f.BitsPerSample;
    if (bps != 1 && bps != 2 && bps != 4 && bps != 8 && bps != 12 && bps != 16 && bps != 24 &&
        bps != 32)
      return false;
    f.Encode = NumberArray(dict.getKey("/Encode"));
    if (f.Encode.size() != 2 * m) {
      f.Encode.clear();
      for (uint32_t s : f.Size) {
        f.Encode.push_back(0);
        f.Encode.push_back(static_cast<long double>(s) - 1);
      }
    }
    f.Decode = NumberArray(dict.getKey("/Decode"));
    if (f.Decode.size() != f.Range.size()) f.Decode = f.Range;
    const uint64_t bytes = (static_cast<uint64_t>(total) * static_cast<uint64_t>(bps) + 7) / 8;
    ContentBuffer data(bytes);
    DecodeStream(stream, data, Poll);
    std::string raw(static_cast<std::size_t>(data.Size()), '\0');
    data.CopyOut(0, raw.data(), raw.size());
    // Samples big-endian, packed without padding; missing ones read as 0.
    f.Samples.assign(total, 0);
    uint64_t bit = 0;
    for (std::size_t i = 0; i < total; ++i) {
      uint32_t v = 0;
      for (int b = 0; b < bps; ++b, ++bit) {
        const uint64_t byte = bit / 8;
        const unsigned value =
            byte < raw.size() ? static_cast<unsigned char>(raw[static_cast<std::size_t>(byte)]) : 0;
        v = (v << 1) | ((value >> (7 - bit % 8)) & 1u);
      }
      f.Samples[i] = v;
    }
    return true;
  }

  std::shared_ptr<const PdfFunctionSet> FunctionSet(Handle h) {
    auto set = std::make_shared<PdfFunctionSet>();
    if (h.isArray()) {
      const int n = h.getArrayNItems();
      if (n < 1 || static_cast<std::size_t>(n) > MaxDeviceNComponents) return nullptr;
      for (int i = 0; i < n; ++i) {
        std::shared_ptr<const PdfFunction> f = Function(h.getArrayItem(i), 0);
        if (!f) return nullptr;
        set->Functions.push_back(std::move(f));
      }
    } else {
      std::shared_ptr<const PdfFunction> f = Function(h, 0);
      if (!f) return nullptr;
      set->Functions.push_back(std::move(f));
    }
    return set;
  }

  // ---- Colour spaces -----------------------------------------------------------------------

  std::shared_ptr<const ColourSpace> Space(Handle h, int depth) {
    if (depth > MaxSpaceDepth) return nullptr;
    return Spaces.Get(h, [&] { return BuildSpace(h, depth); });
  }

  static std::shared_ptr<const ColourSpace> Simple(ColourFamily family, int components) {
    auto s = std::make_shared<ColourSpace>();
    s->Family = family;
    s->Components = components;
    return s;
  }

  // A family of colour spaces: its name, and how a space of it is built from its array.
  struct SpaceFamily {
    const char* Name;
    std::shared_ptr<const ColourSpace> (DocContext::*Build)(Handle space, int depth,
                                                            const SpaceFamily& family);
    ColourFamily Family;
    int Components;
  };

  std::shared_ptr<const ColourSpace> BuildSpace(Handle h, int depth) {
    // The spaces named alone.
    static constexpr struct {
      const char* Name;
      ColourFamily Family;
      int Components;
    } Named[] = {
        {"/DeviceGray", ColourFamily::Gray, 1}, {"/G", ColourFamily::Gray, 1},
        {"/CalGray", ColourFamily::Gray, 1},    {"/DeviceRGB", ColourFamily::Rgb, 3},
        {"/RGB", ColourFamily::Rgb, 3},         {"/CalRGB", ColourFamily::Rgb, 3},
        {"/DeviceCMYK", ColourFamily::Cmyk, 4}, {"/CMYK", ColourFamily::Cmyk, 4},
        {"/Pattern", ColourFamily::Pattern, 0},
    };
    // The families of spaces given as an array: the family's name, then its operands.
    static constexpr SpaceFamily Families[] = {
        {"/ICCBased", &DocContext::IccSpace, ColourFamily::Gray, 0},
        {"/CalGray", &DocContext::SimpleSpace, ColourFamily::Gray, 1},
        {"/CalRGB", &DocContext::SimpleSpace, ColourFamily::Rgb, 3},
        {"/CalCMYK", &DocContext::SimpleSpace, ColourFamily::Cmyk, 4},
        {"/Lab", &DocContext::LabSpace, ColourFamily::Lab, 3},
        {"/Indexed", &DocContext::IndexedSpace, ColourFamily::Indexed, 1},
        {"/I", &DocContext::IndexedSpace, ColourFamily::Indexed, 1},
        {"/Separation", &DocContext::SeparationSpace, ColourFamily::Separation, 0},
        {"/DeviceN", &DocContext::SeparationSpace, ColourFamily::DeviceN, 0},
        {"/Pattern", &DocContext::PatternSpace, ColourFamily::Pattern, 0},
    };
    if (h.isName()) {
      const std::string name = h.getName();
      for (const auto& named : Named)
        if (name == named.Name) return Simple(named.Family, named.Components);
      return nullptr;
    }
    if (!h.isArray() || h.getArrayNItems() < 1) return nullptr;
    Handle family = h.getArrayItem(0);
    if (!family.isName()) return nullptr;
    if (h.getArrayNItems() == 1) return BuildSpace(family, depth);
    const std::string name = family.getName();
    for (const SpaceFamily& f : Families)
      if (name == f.Name) return (this->*f.Build)(h, depth, f);
    return nullptr;
  }

  std::shared_ptr<const ColourSpace> SimpleSpace(Handle, int, const SpaceFamily& family) {
    return Simple(family.Family, family.Components);
  }

  std::shared_ptr<const ColourSpace> IccSpace(Handle h, int depth, const SpaceFamily&) {
    Handle stream = h.getArrayItem(1);
    if (!stream.isStream()) return nullptr;
    Handle dict = stream.getDict();
    switch (IntegerOr(dict.getKey("/N"), 0)) {
      case 1:
        return Simple(ColourFamily::Gray, 1);
      case 3:
        return Simple(ColourFamily::Rgb, 3);
      case 4:
        return Simple(ColourFamily::Cmyk, 4);
      default:
        return Space(dict.getKey("/Alternate"), depth + 1);
    }
  }

  std::shared_ptr<const ColourSpace> LabSpace(Handle h, int, const SpaceFamily& family) {
    auto s = std::make_shared<ColourSpace>();
    s->Family = family.Family;
    s->Components = family.Components;
    Handle dict = h.getArrayItem(1);
    if (dict.isDictionary()) {
      const std::vector<long double> range = NumberArray(dict.getKey("/Range"));
      if (range.size() == 4)
        for (int i = 0; i < 4; ++i)
          s->LabRange[static_cast<std::size_t>(i)] = range[static_cast<std::size_t>(i)];
    }
    return s;
  }

  std::shared_ptr<const ColourSpace> IndexedSpace(Handle h, int depth, const SpaceFamily& family) {
    if (h.getArrayNItems() < 4) return nullptr;
    std::shared_ptr<const ColourSpace> base = Space(h.getArrayItem(1), depth + 1);
    if (!base || base->Family == ColourFamily::Indexed || base->Family == ColourFamily::Pattern)
      return nullptr;
    auto s = std::make_shared<ColourSpace>();
    s->Family = family.Family;
    s->Components = family.Components;
    s->HighValue = static_cast<int>(std::clamp<int64_t>(IntegerOr(h.getArrayItem(2), 0), 0, 255));
    s->Base = base;
    Handle lookup = h.getArrayItem(3);
    const uint64_t bytes = static_cast<uint64_t>(s->HighValue + 1) *
                           static_cast<uint64_t>(std::max(base->Components, 0));
    if (lookup.isString()) {
      s->Lookup = lookup.getStringValue();
    } else if (lookup.isStream()) {
      ContentBuffer data(std::min(bytes, MaxLookupBytes));
      DecodeStream(lookup, data, Poll);
      s->Lookup.assign(static_cast<std::size_t>(data.Size()), '\0');
      data.CopyOut(0, s->Lookup.data(), s->Lookup.size());
    }
    if (s->Lookup.size() > bytes) s->Lookup.resize(static_cast<std::size_t>(bytes));
    return s;
  }

  // Separation and DeviceN.
  std::shared_ptr<const ColourSpace> SeparationSpace(Handle h, int depth,
                                                     const SpaceFamily& family) {
    if (h.getArrayNItems() < 4) return nullptr;
    auto s = std::make_shared<ColourSpace>();
    s->Family = family.Family;
    if (s->Family == ColourFamily::DeviceN) {
      Handle names = h.getArrayItem(1);
      if (!names.isArray()) return nullptr;
      const int count = names.getArrayNItems();
      if (count < 1 || static_cast<std::size_t>(count) > MaxDeviceNComponents) return nullptr;
      s->Components = count;
    }
    s->Base = Space(h.getArrayItem(2), depth + 1);
    if (s->Base &&
        (s->Base->Family == ColourFamily::Pattern || s->Base->Family == ColourFamily::Indexed))
      s->Base = nullptr;
    s->TintTransform = FunctionSet(h.getArrayItem(3));
    return s;
  }

  std::shared_ptr<const ColourSpace> PatternSpace(Handle h, int depth, const SpaceFamily& family) {
    auto s = std::make_shared<ColourSpace>();
    s->Family = family.Family;
    s->Base = Space(h.getArrayItem(1), depth + 1);
    if (s->Base && s->Base->Family == ColourFamily::Pattern) s->Base = nullptr;
    s->Components = s->Base ? s->Base->Components : 0;
    return s;
  }

  // ---- Shadings ----------------------------------------------------------------------------

  std::optional<int32_t> ShadingFirstColour(Handle h) {
    Handle dict = h.isStream() ? h.getDict() : h;
    if (!dict.isDictionary()) return std::nullopt;
    const int64_t type = IntegerOr(dict.getKey("/ShadingType"), 0);
    std::shared_ptr<const ColourSpace> space = Space(dict.getKey("/ColorSpace"), 0);
    if (!space || space->Family == ColourFamily::Pattern) return std::nullopt;
    std::shared_ptr<const PdfFunctionSet> function;
    if (dict.hasKey("/Function")) {
      function = FunctionSet(dict.getKey("/Function"));
      if (!function) return 0;  // a function we cannot evaluate: black
    }
    std::vector<long double> values;
    if (type >= 1 && type <= 3) {
      if (!function) return std::nullopt;
      std::vector<long double> domain = NumberArray(dict.getKey("/Domain"));
      if (type == 1) {
        if (domain.size() != 4) domain = {0, 1, 0, 1};
        values = {domain[0], domain[2]};
      } else {
        if (domain.size() != 2) domain = {0, 1};
        values = {domain[0]};
      }
    } else if (type >= 4 && type <= 7) {
      const std::size_t n = function ? 1 : static_cast<std::size_t>(space->Components);
      if (!FirstVertexColour(h, dict, type, n, values)) return std::nullopt;
    } else {
      return std::nullopt;
    }
    if (function) {
      std::vector<long double> out;
      if (!EvaluateFunctions(*function, values, out)) return 0;
      return ColourOfExtended(*space, out);
    }
    return ColourOfExtended(*space, values);
  }

  // The colour of the first vertex of a mesh shading (types 4 to 7): after its flag (not for
  // type 5) and its coordinates (one point, or the 12 or 16 points of a patch).
  bool FirstVertexColour(Handle stream, Handle dict, int64_t type, std::size_t n,
                         std::vector<long double>& values) {
    if (!stream.isStream() || n == 0 || n > MaxDeviceNComponents) return false;
    const int64_t coordinateBits = IntegerOr(dict.getKey("/BitsPerCoordinate"), 0);
    const int64_t componentBits = IntegerOr(dict.getKey("/BitsPerComponent"), 0);
    const int64_t flagBits = type == 5 ? 0 : IntegerOr(dict.getKey("/BitsPerFlag"), 0);
    if (coordinateBits < 1 || coordinateBits > 32 || componentBits < 1 || componentBits > 16 ||
        flagBits < 0 || flagBits > 8)
      return false;
    const std::vector<long double> decode = NumberArray(dict.getKey("/Decode"));
    if (decode.size() < 4 + 2 * n) return false;
    ContentBuffer data(ShadingHeadBytes);
    DecodeStream(stream, data, Poll);
    std::string raw(static_cast<std::size_t>(data.Size()), '\0');
    data.CopyOut(0, raw.data(), raw.size());
    const uint64_t points = type == 6 ? 12 : (type == 7 ? 16 : 1);
    uint64_t bit =
        static_cast<uint64_t>(flagBits) + points * 2 * static_cast<uint64_t>(coordinateBits);
    values.clear();
    const long double top = std::ldexp(1.0L, static_cast<int>(componentBits)) - 1;
    for (std::size_t i = 0; i < n; ++i) {
      uint32_t v = 0;
      for (int64_t b = 0; b < componentBits; ++b, ++bit) {
        const uint64_t byte = bit / 8;
        if (byte >= raw.size()) return false;
        const unsigned value = static_cast<unsigned char>(raw[static_cast<std::size_t>(byte)]);
        v = (v << 1) | ((value >> (7 - bit % 8)) & 1u);
      }
      const long double low = decode[4 + 2 * i], high = decode[5 + 2 * i];
      values.push_back(low + static_cast<long double>(v) * (high - low) / top);
    }
    return true;
  }
};

// ---------------------------------------------------------------------------------------------
// The resources of one content stream.

class Scope final : public PdfResources {
 public:
  Scope(DocContext& doc, Handle resources) : doc_(doc), resources_(resources) {}

  std::shared_ptr<const ColourSpace> ColourSpaceNamed(std::string_view name) override {
    const std::string key(name);
    auto it = spaces_.find(key);
    if (it != spaces_.end()) return it->second;
    std::shared_ptr<const ColourSpace> space;
    Guard([&] {
      Handle h = Lookup("/ColorSpace", key);
      space = h.isNull() ? doc_.Space(Handle::newName(key), 0) : doc_.Space(h, 0);
    });
    spaces_[key] = space;
    return space;
  }

  XObjectInfo XObjectNamed(std::string_view name) override {
    XObjectInfo info;
    Guard([&] {
      Handle h = Lookup("/XObject", std::string(name));
      if (!h.isStream()) return;
      Handle dict = h.getDict();
      Handle subtype = dict.getKey("/Subtype");
      if (NameIs(subtype, "/Image")) {
        info.Kind = XObjectKind::Image;
      } else if (NameIs(subtype, "/Form")) {
        info.Kind = XObjectKind::Form;
        info.Id = IdOf(h);
        const std::vector<long double> m = NumberArray(dict.getKey("/Matrix"));
        if (m.size() == 6) info.Matrix = {m[0], m[1], m[2], m[3], m[4], m[5]};
        const std::vector<long double> box = NumberArray(dict.getKey("/BBox"));
        if (box.size() == 4) {
          info.HasBBox = true;
          info.BBox[0] = static_cast<float>(std::min(box[0], box[2]));
          info.BBox[1] = static_cast<float>(std::min(box[1], box[3]));
          info.BBox[2] = static_cast<float>(std::max(box[0], box[2]));
          info.BBox[3] = static_cast<float>(std::max(box[1], box[3]));
        }
        info.Visible = doc_.Visible(dict.getKey("/OC"));
      } else {
        info.Kind = XObjectKind::Other;
      }
    });
    return info;
  }

  std::unique_ptr<PdfResources> OpenForm(std::string_view name, ContentBuffer& content,
                                         bool& damaged) override {
    std::unique_ptr<PdfResources> scope;
    Guard([&] {
      Handle h = Lookup("/XObject", std::string(name));
      if (!h.isStream() || !NameIs(h.getDict().getKey("/Subtype"), "/Form")) return;
      damaged = PrepareStreams({h}, content, doc_.Poll).Damaged;
      Handle own = h.getDict().getKey("/Resources");
      // A form without resources of its own uses those of the content that draws it.
      scope = std::make_unique<Scope>(doc_, own.isDictionary() ? own : resources_);
    });
    return scope;
  }

  std::optional<int32_t> ShadingColour(std::string_view name) override {
    std::optional<int32_t> colour;
    Guard([&] { colour = doc_.ShadingFirstColour(Lookup("/Shading", std::string(name))); });
    return colour;
  }

  PatternInfo PatternNamed(std::string_view name) override {
    PatternInfo info;
    Guard([&] {
      Handle h = Lookup("/Pattern", std::string(name));
      Handle dict = h.isStream() ? h.getDict() : h;
      if (!dict.isDictionary()) return;
      const int64_t type = IntegerOr(dict.getKey("/PatternType"), 0);
      if (type == 1) {
        info.Known = true;
        info.Uncoloured = IntegerOr(dict.getKey("/PaintType"), 1) == 2;
      } else if (type == 2) {
        info.Known = true;
        info.Colour = doc_.ShadingFirstColour(dict.getKey("/Shading")).value_or(0);
      }
    });
    return info;
  }

  bool OptionalContentVisible(std::string_view name) override {
    bool visible = true;
    Guard([&] { visible = doc_.Visible(Lookup("/Properties", std::string(name))); });
    return visible;
  }

 private:
  Handle Lookup(const char* category, const std::string& name) {
    if (!resources_.isDictionary()) return Handle::newNull();
    Handle group = resources_.getKey(category);
    if (!group.isDictionary()) return Handle::newNull();
    return group.getKey(name);
  }

  // A damaged object answers as if it were missing; memory shortage goes on up.
  template <class F>
  void Guard(F&& f) {
    try {
      f();
    } catch (const std::bad_alloc&) {
      doc_.DropWarnings();
      throw;
    } catch (const std::exception&) {
    }
    doc_.DropWarnings();
  }

  DocContext& doc_;
  Handle resources_;
  std::map<std::string, std::shared_ptr<const ColourSpace>> spaces_;
};

bool ReadBox(Handle h, float box[4]) {
  float v[4];
  if (!h.isArray() || h.getArrayNItems() != 4) return false;
  for (int i = 0; i < 4; ++i)
    if (!NumberOf(h.getArrayItem(i), v[i])) return false;
  box[0] = std::min(v[0], v[2]);
  box[1] = std::min(v[1], v[3]);
  box[2] = std::max(v[0], v[2]);
  box[3] = std::max(v[1], v[3]);
  return box[2] > box[0] && box[3] > box[1];
}

}  // namespace

struct PdfDocument::Impl {
  QPDF Pdf;
  std::unique_ptr<DocContext> Doc;
  PageWalk Walk;
  PdfFirstPage First;
};

PdfDocument::PdfDocument() : impl_(std::make_unique<Impl>()) {}

PdfDocument::~PdfDocument() = default;

PdfOpenStatus PdfDocument::Open(const char* data, std::size_t size, Progress& progress) {
  Impl& m = *impl_;
  try {
    m.Pdf.setSuppressWarnings(true);
    m.Pdf.processMemoryFile("PDF file", data, size);
    m.Doc = std::make_unique<DocContext>(m.Pdf);
    m.Doc->Poll = &progress;
    m.Walk = WalkPages(m.Pdf);
    m.First.Pages = m.Walk.Count;
    if (m.Walk.Count == 0) return PdfOpenStatus::NoPages;
    m.First.HasBox = ReadBox(m.Walk.CropBox, m.First.Box) || ReadBox(m.Walk.MediaBox, m.First.Box);
    const int64_t rotate = IntegerOr(m.Walk.Rotate, 0);
    m.First.Rotate = rotate % 90 == 0 ? static_cast<int>(((rotate % 360) + 360) % 360) : 0;
    Handle contents = m.Walk.Page.getKey("/Contents");
    m.First.HasContents =
        contents.isStream() || (contents.isArray() && contents.getArrayNItems() > 0);
    m.Doc->ReadOptionalContent();
    m.Doc->DropWarnings();
    return PdfOpenStatus::Opened;
  } catch (const QPDFExc& e) {
    return e.getErrorCode() == qpdf_e_password ? PdfOpenStatus::Password : PdfOpenStatus::Damaged;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    return PdfOpenStatus::Damaged;
  }
}

const PdfFirstPage& PdfDocument::FirstPage() const {
  return impl_->First;
}

bool PdfDocument::PreparePageContent(ContentBuffer& content, bool& damaged) {
  Impl& m = *impl_;
  damaged = false;
  if (!m.Doc) return true;
  try {
    Handle contents = m.Walk.Page.getKey("/Contents");
    std::vector<Handle> streams;
    if (contents.isArray()) {
      const int n = contents.getArrayNItems();
      for (int i = 0; i < n; ++i)
        streams.push_back(contents.getArrayItem(i));
    } else if (!contents.isNull()) {
      streams.push_back(contents);
    }
    const DecodeOutcome outcome = PrepareStreams(streams, content, m.Doc->Poll);
    m.Doc->DropWarnings();
    damaged = outcome.Damaged;
    return !outcome.Aborted;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    damaged = true;
  }
  return true;
}

std::unique_ptr<PdfResources> PdfDocument::PageResources() {
  Impl& m = *impl_;
  if (!m.Doc) return nullptr;
  return std::make_unique<Scope>(*m.Doc, m.Walk.Resources);
}

}  // namespace aiimport
