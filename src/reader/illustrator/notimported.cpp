#include "notimported.h"

#include <vector>

#include "operators.h"
#include "pskind.h"
#include "texttable.h"
#include "wording.h"

namespace aiimport {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The last blank-separated word of a tidied line.
std::string_view LastWord(std::string_view line) {
  const std::size_t blank = line.rfind(' ');
  return blank == std::string_view::npos ? line : line.substr(blank + 1);
}

std::string_view FirstWord(std::string_view line) {
  return line.substr(0, line.find(' '));
}

enum class Paint { None, Stroke, Fill };

// Whether the interpreter paints (appends a path) on this tidied, non-empty line, whose last
// word is `word`, and whether the path is filled: a painting word of its word table, or a line of
// one letter that its code tables read as a painting code.
Paint PaintOf(std::string_view line, std::string_view word) {
  if (const WordRow* row = FindWord(word); row && row->Paint != CodeAction::None)
    return row->Paint == CodeAction::FillWord ? Paint::Fill : Paint::Stroke;
  if (line.size() == 1)
    if (const CodeRow* row = FindCode(line[0], ' '); row && row->Action == CodeAction::Paint)
      return row->Fills ? Paint::Fill : Paint::Stroke;
  return Paint::None;
}

// What a last word tells the count.
enum class Mark : uint8_t {
  TextObject,
  GradientBegin,
  GradientEnd,
  Pattern,  // the fill is a pattern from now on
  Image,    // outside a raster's brackets
  LayerBegin,
  LayerEnd,
  CompoundBegin,
  CompoundEnd,
};

struct MarkRow {
  std::string_view Text;
  Mark What = Mark::TextObject;
  std::size_t MinLine = 0;  // the line holds at least this many characters
  bool Alone = false;       // the word is the whole line
};

constexpr MarkRow MarkRows[] = {
    {.Text = "To", .What = Mark::TextObject},
    {.Text = "Bb", .What = Mark::GradientBegin},
    {.Text = "BB", .What = Mark::GradientEnd},
    {.Text = "p", .What = Mark::Pattern, .MinLine = 2},
    {.Text = "XI", .What = Mark::Image},
    {.Text = "XF", .What = Mark::Image},
    {.Text = "Lb", .What = Mark::LayerBegin, .MinLine = 3},
    {.Text = "LB", .What = Mark::LayerEnd, .Alone = true},
    {.Text = "*u", .What = Mark::CompoundBegin, .Alone = true},
    {.Text = "*U", .What = Mark::CompoundEnd, .Alone = true},
};
constexpr TextTable MarkTable(MarkRows);

// The codes (a line's last two characters) that set the fill to a colour: Illustrator's fill
// colour operators; their stroke forms are upper case.
struct FillColourCode {
  std::string_view Text;
};
constexpr FillColourCode FillColourCodes[] = {{" g"}, {" k"}, {" x"}, {"Xa"},
                                              {"Xx"}, {"Xk"}, {"Xs"}, {"Xz"}};
constexpr TextTable FillColourTable(FillColourCodes);

bool SetsFillColour(std::string_view line) {
  return line.size() >= 2 && FillColourTable.Find(line.substr(line.size() - 2)) != nullptr;
}

class Scanner {
 public:
  void Line(std::string_view line) {
    const std::string_view word = LastWord(line);
    // Painted paths count on hidden layers whatever the line is: exactly where the interpreter
    // appends one.
    const Paint paint = PaintOf(line, word);
    if (paint != Paint::None) {
      Painted(paint);
      return;
    }
    // Lines hidden from PostScript ("%_…") hold the objects behind an appearance, pattern tiles
    // and mask art: what they draw arrives through the lines that follow them, so they count
    // for nothing but the raster brackets they open and close.
    if (StartsWith(line, "%_")) {
      const std::string_view rest = line.substr(2);
      if (StartsWith(rest, "%AI5_BeginRaster")) ++rasterDepth_;
      if (StartsWith(rest, "%AI5_EndRaster") && rasterDepth_ > 0) --rasterDepth_;
      return;
    }
    if (line[0] == '%') {
      Comment(line);
      return;
    }
    if (line[0] == '/') {
      if (line == "/AI11Text :" || StartsWith(line, "/AI11Text ")) ++counts_.TextObjects;
      if (StartsWith(line, "/Mesh ") && word == "X!") ++counts_.GradientFills;
      return;
    }
    const MarkRow* mark = MarkTable.Find(word);
    if (mark && line.size() >= mark->MinLine && (!mark->Alone || line.size() == word.size()))
      Marked(mark->What, line);
    else if (!mark && SetsFillColour(line))
      fillIsPattern_ = false;
  }

  const NotImportedCounts& Counts() const { return counts_; }

 private:
  void Painted(Paint paint) {
    if (hiddenFrom_ > 0) {
      ++counts_.HiddenLayerPaths;
      if (!hiddenHasPaths_) {
        hiddenHasPaths_ = true;
        ++counts_.HiddenLayers;
      }
    }
    if (paint == Paint::Fill && fillIsPattern_ && gradientDepth_ == 0 &&
        !(inCompound_ && compoundCounted_)) {
      ++counts_.PatternFills;
      compoundCounted_ = inCompound_;
    }
  }

  void Comment(std::string_view line) {
    if (StartsWith(line, "%AI5_BeginRaster")) {
      ++rasterDepth_;
      ++counts_.Images;
    } else if (StartsWith(line, "%AI5_EndRaster")) {
      if (rasterDepth_ > 0) --rasterDepth_;
    } else if (StartsWith(line, "%AI5_BeginPlace")) {
      ++counts_.Images;
    }
  }

  void Marked(Mark mark, std::string_view line) {
    switch (mark) {
      case Mark::TextObject:
        ++counts_.TextObjects;
        break;
      case Mark::GradientBegin:
        ++counts_.GradientFills;
        ++gradientDepth_;
        break;
      case Mark::GradientEnd:
        if (gradientDepth_ > 0) --gradientDepth_;
        break;
      case Mark::Pattern:
        fillIsPattern_ = true;
        break;
      case Mark::Image:
        if (rasterDepth_ == 0) ++counts_.Images;
        break;
      case Mark::LayerBegin:
        ++layerDepth_;
        if (hiddenFrom_ == 0 && NumberFromToken(FirstWord(line)) == 0.0f) {
          hiddenFrom_ = layerDepth_;
          hiddenHasPaths_ = false;
        }
        break;
      case Mark::LayerEnd:
        if (layerDepth_ > 0) {
          if (hiddenFrom_ == layerDepth_) hiddenFrom_ = 0;
          --layerDepth_;
        }
        break;
      case Mark::CompoundBegin:
        inCompound_ = true;
        compoundCounted_ = false;
        break;
      case Mark::CompoundEnd:
        inCompound_ = false;
        break;
    }
  }

  NotImportedCounts counts_;
  uint64_t layerDepth_ = 0;
  uint64_t hiddenFrom_ = 0;  // depth of the outermost hidden layer open, 0 when none
  bool hiddenHasPaths_ = false;
  uint64_t rasterDepth_ = 0;
  uint64_t gradientDepth_ = 0;
  bool fillIsPattern_ = false;
  bool inCompound_ = false;
  bool compoundCounted_ = false;
};

std::string Plural(uint64_t n, std::string_view one, std::string_view many,
                   std::string_view separator) {
  return FormatCount(n, separator) + " " + std::string(n == 1 ? one : many);
}

}  // namespace

NotImportedCounts CountNotImported(const LineList& lines, const InterpretOptions& options,
                                   TextRelease* release, std::size_t reader) {
  ReleaseReports reports(release, reader);
  // The interpreter's reading window, line by line as InterpretLines decides it. Tidying only
  // changes blanks (and a leading "%%%%"): for a line that starts with neither "%", "/" nor
  // "C", every test the scan makes (its length when one character, its first and last words,
  // its whole text when two characters) gives the same on the line with its outer blanks
  // dropped, so only those lines are tidied.
  Scanner scanner;
  bool parsing = options.ParseEverything;
  std::string scratch;
  const std::size_t count = lines.size();
  LineList::Cursor cursor = lines.From(0);
  for (std::size_t i = 0; i < count; ++i) {
    reports.Reached(i);
    const std::string_view raw = cursor.Next();
    std::string_view line = raw;
    while (!line.empty() && line.front() == ' ')
      line.remove_prefix(1);
    while (!line.empty() && line.back() == ' ')
      line.remove_suffix(1);
    if (line.empty()) continue;
    const char first = line.front();
    if (first == '%' || first == '/' || first == 'C' || first == 'c') line = TidyLine(raw, scratch);
    if (line == "%%Trailer") parsing = false;
    if (parsing) scanner.Line(line);
    if (!parsing && IsStartMarkerLine(line)) parsing = true;
  }
  reports.Passed(count);
  return scanner.Counts();
}

std::string NotImportedMessage(const NotImportedCounts& counts, std::string_view separator) {
  std::vector<std::string> parts;
  if (counts.TextObjects > 0)
    parts.push_back(Plural(counts.TextObjects, "text object", "text objects", separator) +
                    " (convert text to outlines before saving)");
  if (counts.Images > 0)
    parts.push_back(Plural(counts.Images, "placed image", "placed images", separator));
  if (counts.GradientFills > 0)
    parts.push_back(Plural(counts.GradientFills, "gradient fill", "gradient fills", separator));
  if (counts.PatternFills > 0)
    parts.push_back(Plural(counts.PatternFills, "pattern fill", "pattern fills", separator));
  if (counts.HiddenPathsLeftOut > 0)
    parts.push_back(Plural(counts.HiddenPathsLeftOut, "path on a hidden layer",
                           "paths on hidden layers", separator));
  if (counts.ClippedShapes > 0)
    parts.push_back(Plural(counts.ClippedShapes, "clipping path", "clipping paths", separator) +
                    " (the art they clip is imported as the clip's outline, or unclipped)");

  std::string message;
  for (const std::string& part : parts)
    message += (message.empty() ? "Not imported: " : ", ") + part;
  if (counts.HiddenLayerPaths > 0) {
    if (!message.empty()) message += "; ";
    message += counts.HiddenLayerPaths == 1
                   ? FormatCount(1, separator) + " path lies"
                   : FormatCount(counts.HiddenLayerPaths, separator) + " paths lie";
    message += counts.HiddenLayers == 1 ? " on a hidden layer" : " on hidden layers";
  }
  return message;
}

}  // namespace aiimport
