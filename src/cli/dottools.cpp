// --dump-dot and --dot-svg.
#include "dottools.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <ostream>
#include <vector>

#include "cli.h"
#include "dotfile.h"

namespace aiimport {

namespace {

bool ReadWholeFile(const std::string& name, std::string& bytes, std::ostream& err) {
  std::ifstream in(name, std::ios::binary);
  if (!in) {
    err << "aiimport: cannot open \"" << name << "\"\n";
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    err << "aiimport: cannot read \"" << name << "\"\n";
    return false;
  }
  return true;
}

DotRecord RecordAt(std::string_view bytes, std::size_t offset) {
  return DecodeDotRecord(reinterpret_cast<const unsigned char*>(bytes.data() + offset));
}

// "#RRGGBB" for a 0x00BBGGRR colour; the platform's system colours are drawn black.
std::string SvgColour(int32_t colour) {
  const uint32_t c = static_cast<uint32_t>(colour);
  if (c & 0x80000000u) return "#000000";
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", c & 0xFFu, (c >> 8) & 0xFFu, (c >> 16) & 0xFFu);
  return text;
}

// A coordinate in halves of a micrometre, written as a decimal ("12", "12.5", "-0.5").
void AppendHalves(std::string& out, int64_t halves) {
  if (halves < 0) {
    out += '-';
    halves = -halves;
  }
  out += std::to_string(halves / 2);
  if (halves % 2) out += ".5";
}

class FigurePath {
 public:
  explicit FigurePath(bool closed) : closed_(closed) {}

  void Add(const DotRecord& r) {
    const int64_t x = r.A, y = r.B;
    if (r.Kind == 1 || !current_) {  // a new sub-path (also where a cut figure goes on)
      EndSubPath();
      Command('M', x * 2, y * 2);
      current_ = true;
      return;
    }
    if (r.Kind == 3) {
      controls_.push_back({x, y});
      return;
    }
    // A node: straight, or the chain of quadratic pieces through the pending controls.
    for (std::size_t k = 0; k < controls_.size(); ++k) {
      const auto& c = controls_[k];
      int64_t ex = x * 2, ey = y * 2;
      if (k + 1 < controls_.size()) {
        ex = c.first + controls_[k + 1].first;
        ey = c.second + controls_[k + 1].second;
      }
      Command('Q', c.first * 2, c.second * 2);
      Pair(ex, ey);
    }
    if (controls_.empty()) Command('L', x * 2, y * 2);
    controls_.clear();
  }

  std::string Finish() {
    EndSubPath();
    return std::move(d_);
  }

 private:
  void EndSubPath() {
    // Controls with no node after them are drawn as straight lines so that nothing is lost.
    for (const auto& c : controls_)
      Command('L', c.first * 2, c.second * 2);
    controls_.clear();
    if (current_ && closed_) d_ += " Z";
    current_ = false;
  }
  void Command(char c, int64_t hx, int64_t hy) {
    if (!d_.empty()) d_ += ' ';
    d_ += c;
    Pair(hx, hy);
  }
  void Pair(int64_t hx, int64_t hy) {
    d_ += ' ';
    AppendHalves(d_, hx);
    d_ += ' ';
    AppendHalves(d_, hy);
  }

  bool closed_;
  bool current_ = false;
  std::vector<std::pair<int64_t, int64_t>> controls_;
  std::string d_;
};

}  // namespace

std::string DotToSvg(std::string_view bytes) {
  const std::size_t records = bytes.size() / DotRecordSize;
  int64_t minX = 0, minY = 0, maxX = 0, maxY = 0;
  bool any = false;
  for (std::size_t i = 0; i < records; ++i) {
    const DotRecord r = RecordAt(bytes, i * DotRecordSize);
    if (r.Kind == 0) continue;
    if (!any || r.A < minX) minX = r.A;
    if (!any || r.B < minY) minY = r.B;
    if (!any || r.A > maxX) maxX = r.A;
    if (!any || r.B > maxY) maxY = r.B;
    any = true;
  }
  const int64_t width = std::max<int64_t>(maxX - minX, 1),
                height = std::max<int64_t>(maxY - minY, 1);
  const int64_t margin = std::max<int64_t>(std::max(width, height) / 50, 1);

  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<!-- DOT file drawn as the host receives it: micrometres, one path per figure -->\n";
  char head[256];
  std::snprintf(head, sizeof head,
                "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.3fmm\" height=\"%.3fmm\" "
                "viewBox=\"%lld %lld %lld %lld\">\n",
                static_cast<double>(width + 2 * margin) / 1000.0,
                static_cast<double>(height + 2 * margin) / 1000.0,
                static_cast<long long>(minX - margin), static_cast<long long>(minY - margin),
                static_cast<long long>(width + 2 * margin),
                static_cast<long long>(height + 2 * margin));
  svg += head;

  std::size_t i = 0;
  while (i < records) {
    const DotRecord header = RecordAt(bytes, i * DotRecordSize);
    ++i;
    FigurePath figure((header.B & 1) != 0);
    for (; i < records; ++i) {
      const DotRecord r = RecordAt(bytes, i * DotRecordSize);
      if (r.Kind == 0) break;
      figure.Add(r);
    }
    const std::string d = figure.Finish();
    if (d.empty()) continue;
    const std::string colour = SvgColour(header.A);
    if (header.B & 2)
      svg +=
          "<path fill=\"" + colour + "\" fill-rule=\"nonzero\" stroke=\"none\" d=\"" + d + "\"/>\n";
    else
      svg += "<path fill=\"none\" stroke=\"" + colour +
             "\" stroke-width=\"1\" vector-effect=\"non-scaling-stroke\" d=\"" + d + "\"/>\n";
  }
  svg += "</svg>\n";
  return svg;
}

int RunDumpDot(const CommandLine& c, std::ostream& out, std::ostream& err) {
  if (c.Files.size() != 1) {
    err << "aiimport --dump-dot: give exactly one FILE.dot (see aiimport --help)\n";
    return ExitFailure;
  }
  std::string bytes;
  if (!ReadWholeFile(c.Files[0], bytes, err)) return ExitFailure;

  std::string text;
  char line[96];
  for (std::size_t offset = 0; offset + DotRecordSize <= bytes.size(); offset += DotRecordSize) {
    const DotRecord r = RecordAt(bytes, offset);
    if (r.Kind == 0)
      std::snprintf(line, sizeof line, "%zu 0 colour=0x%08X flags=%d\n", offset,
                    static_cast<unsigned>(r.A), static_cast<int>(r.B));
    else
      std::snprintf(line, sizeof line, "%zu %d x=%d y=%d\n", offset, static_cast<int>(r.Kind),
                    static_cast<int>(r.A), static_cast<int>(r.B));
    text += line;
    if (text.size() > (1u << 16)) {
      out << text;
      text.clear();
    }
  }
  out << text;
  const DotCheck check = CheckDotStructure(bytes);
  if (!check.Ok) {
    out.flush();
    err << "aiimport: \"" << c.Files[0] << "\" is not a sound DOT file: " << check.Problem << '\n';
    return ExitFailure;
  }
  out << check.Counts.Records << " records: " << check.Counts.Headers << " headers, "
      << check.Counts.Points << " points\n";
  out.flush();
  return ExitOk;
}

int RunDotSvg(const CommandLine& c, std::ostream& out, std::ostream& err) {
  if (c.Files.size() != 2) {
    err << "aiimport --dot-svg: give FILE.dot and OUT.svg (see aiimport --help)\n";
    return ExitFailure;
  }
  std::string bytes;
  if (!ReadWholeFile(c.Files[0], bytes, err)) return ExitFailure;
  const DotCheck check = CheckDotStructure(bytes);
  if (!check.Ok) {
    err << "aiimport: \"" << c.Files[0] << "\" is not a sound DOT file: " << check.Problem << '\n';
    return ExitFailure;
  }
  const std::string svg = DotToSvg(bytes);
  std::ofstream file(c.Files[1], std::ios::binary | std::ios::trunc);
  file << svg;
  file.close();
  if (!file) {
    err << "aiimport: cannot write \"" << c.Files[1] << "\"\n";
    return ExitFailure;
  }
  out << c.Files[1] << ": " << check.Counts.Headers << " figures, " << check.Counts.Points
      << " points\n";
  return ExitOk;
}

}  // namespace aiimport
