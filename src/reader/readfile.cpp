#include "readfile.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <new>
#include <utility>

#include "epsdata.h"
#include "parallel.h"
#include "pathcollector.h"
#include "pdfpage.h"
#include "pdfsource.h"
#include "pskind.h"
#include "wording.h"

namespace aiimport {

namespace {

// Text for the line reader: a file's bytes, or the Illustrator text unpacked from them.
struct Text {
  std::unique_ptr<char[]> Data;
  std::size_t Size = 0;
};

// One reading of one file: the routes share what the file gave and what the reading found.
class Reading {
 public:
  Reading(PathModel& model, InterpreterState& state, const std::string& fileName,
          const ReadOptions& options, Progress& progress)
      : model_(model), state_(state), fileName_(fileName), options_(options), progress_(progress) {}

  ReadResult Run() {
    try {
      file_ = ReadFileBytes(fileName_);
      result_.Load = std::move(file_.Load);
      if (result_.Load.Status == LoadStatus::Loaded) {
        Choose();
      } else {
        ReadLines({}, options_);  // nothing to read: the drawing is emptied as a reload does
      }
    } catch (const std::bad_alloc&) {
      // Nothing of a drawing read in part is kept.
      Fail(NotEnoughMemoryMessage);
    } catch (const std::exception& e) {
      Fail("Cannot read \"" + fileName_ + "\": " + e.what());
    }
    if (result_.Load.Status != LoadStatus::Loaded) result_.Route = ReadRoute::None;
    result_.Paths = model_.PathList.size();
    return std::move(result_);
  }

 private:
  void Fail(std::string message) {
    result_.Load.Status = LoadStatus::Unreadable;
    result_.Load.Message = std::move(message);
    PathCollector(model_).ClearAllPaths();
  }

  // Picks the route for the file's bytes.
  void Choose() {
    const bool pdf = IsPdfData(file_.Data.get(), file_.Size);
    if (pdf) {
      if (options_.Reader == ReadAs::PageDrawing) return ReadPage(FileData(), true);
      IllustratorData x;
      {
        const BusyScope busy(progress_);
        x = ExtractIllustratorText(file_.Data.get(), file_.Size);
      }
      if (x.Ok) {
        file_.Data.reset();
        result_.Route = ReadRoute::PdfPrivateData;
        return ReadLines({std::move(x.Text), x.Size}, options_);
      }
      if (!x.Found && options_.Reader == ReadAs::Automatic) return ReadPage(FileData(), true);
      result_.Load.Status = LoadStatus::Unreadable;
      result_.Load.Message = std::move(x.Message);
      return ReadLines({}, options_);
    }

    result_.Route = ReadRoute::Lines;
    if (options_.Reader == ReadAs::IllustratorOperators) return ReadLines(TakeFile(), options_);

    const PostScriptKind kind = ClassifyPostScript(file_.Data.get(), file_.Size);
    if (options_.Reader == ReadAs::PageDrawing) {
      if (kind.PostScript) return ReadThroughGhostscript();
      result_.Notes.push_back(
          "This file is neither PDF nor PostScript, so it has no page to read: its Illustrator "
          "operators were read");
      return ReadLines(TakeFile(), options_);
    }

    InterpretOptions interpret = options_;
    if (kind.DataBlock) {
      IllustratorData eps;
      {
        const BusyScope busy(progress_);
        eps = FindEpsIllustratorData(file_.Data.get(), file_.Size);
      }
      if (eps.Ok) {
        file_.Data.reset();
        result_.Route = ReadRoute::EpsDataBlock;
        return ReadLines({std::move(eps.Text), eps.Size}, interpret);
      }
      if (eps.Found) result_.Notes.push_back(eps.Message + ": the printable page was read instead");
    } else if (kind.Illustrators()) {
      if (!kind.StartMarker && !interpret.ParseEverything) {
        // Illustrator 1.x files hold no start marker: read from their first line, as "Parse
        // Everything" would.
        interpret.ParseEverything = true;
        result_.FromFirstLine = true;
      }
    } else if (kind.PostScript) {
      return ReadThroughGhostscript();
    }
    return ReadLines(TakeFile(), interpret);
  }

  Text TakeFile() { return {std::move(file_.Data), file_.Size}; }
  std::string_view FileData() const { return {file_.Data.get(), file_.Size}; }

  // The line reader over the text: filtered into lines, interpreted, and what it holds that is
  // not imported counted.
  void ReadLines(Text text, const InterpretOptions& interpret) {
    LineList lines;
    if (result_.Load.Status == LoadStatus::Loaded && text.Data)
      result_.Load.Status = LoadText(lines, std::move(text.Data), text.Size, progress_);
    result_.Lines = lines.size();
    // The interpreter (reader 0) and the count (reader 1) are the list's only readers: the
    // text they have both passed is given back while they read.
    TextRelease release(lines, 2);
    // The count of what is not imported only reads the lines: with threads to spare it runs
    // beside the interpreter, else after it.
    NotImportedCounts counts;
    const auto count = [&] { counts = CountNotImported(lines, interpret, &release, 1); };
    WorkerThreads beside(!lines.empty() && ThreadCount() > 1 ? 1 : 0,
                         [&](std::size_t) { count(); });
    PathCollector collector(model_, options_.Orientation);
    result_.Interpretation =
        InterpretLines(lines, interpret, state_, collector, progress_, &release);
    result_.InterpretedExtent = model_.ViewExtent;
    result_.Aborted = result_.Load.Status == LoadStatus::Aborted || progress_.AbortRequested();
    if (beside.Started() > 0)
      beside.Join();
    else if (!result_.Aborted && !lines.empty())
      count();
    if (!result_.Aborted) result_.NotImported = counts;
  }

  // The first page of the PDF in `pdf`. A PDF file whose page holds text goes through
  // Ghostscript when `outlines` says so, so that its lettering arrives as outlines.
  void ReadPage(std::string_view pdf, bool isFile) {
    result_.Route = isFile ? ReadRoute::PdfPage : ReadRoute::GhostscriptPage;
    result_.PdfSource = result_.PdfSource || isFile;
    PdfPageOptions page;
    page.FlipVertical = options_.FlipVertical;
    PathCollector collector(model_, options_.Orientation);
    const PdfPageResult r = ReadPdfPage(pdf.data(), pdf.size(), page, collector, progress_);
    result_.InterpretedExtent = model_.ViewExtent;
    result_.Pages = r.Pages;
    result_.Aborted = r.Aborted;
    if (r.Aborted) return;
    if (!r.Ok) {
      result_.Load.Status = LoadStatus::Unreadable;
      result_.Load.Message = r.Message;
      return;
    }
    if (r.Damaged && !r.Message.empty()) result_.Notes.push_back(r.Message);
    NotImportedCounts& n = result_.NotImported;
    n = {};
    n.TextObjects = r.TextObjects;
    n.Images = r.Images;
    n.GradientFills = r.Shadings;
    n.HiddenPathsLeftOut = r.HiddenPaths;
    n.ClippedShapes = r.ClippedPaths + r.ClipShapes;

    if (isFile && r.TextObjects > 0) {
      // The lettering as outlines: Ghostscript writes the page again with its text drawn.
      GhostscriptResult gs = RunGhostscript("Converting Lettering (Ghostscript)");
      if (gs.Status == GhostscriptStatus::Ok) return ReadPage(gs.Pdf, false);
      if (gs.Status == GhostscriptStatus::Aborted) return Abort();
      result_.Notes.push_back(gs.Message + (gs.Status == GhostscriptStatus::Missing
                                                ? std::string()
                                                : std::string(": the lettering was left out")));
    }
  }

  // Other programs' PostScript: Ghostscript makes a PDF of it, whose page is read. Without
  // Ghostscript, or when it fails, the line reader reads the file as before.
  void ReadThroughGhostscript() {
    GhostscriptResult gs = RunGhostscript("Converting PostScript (Ghostscript)");
    if (gs.Status == GhostscriptStatus::Ok) {
      file_.Data.reset();
      return ReadPage(gs.Pdf, false);
    }
    if (gs.Status == GhostscriptStatus::Aborted) return Abort();
    result_.Notes.push_back(gs.Status == GhostscriptStatus::Missing
                                ? gs.Message
                                : gs.Message + ": the file was read as Illustrator operators");
    result_.Route = ReadRoute::Lines;
    return ReadLines(TakeFile(), options_);
  }

  GhostscriptResult RunGhostscript(const std::string& phase) {
    if (progress_.HasProgressBar()) {
      progress_.SetMaximum(0);  // no way to tell how far Ghostscript is
      progress_.SetPhaseText(phase);
    }
    const BusyScope busy(progress_);
    progress_.SetAbortRequested(false);
    return ConvertWithGhostscript(fileName_, options_.Ghostscript, [this] {
      progress_.ProcessEvents();
      return progress_.AbortRequested();
    });
  }

  // "Abort" while Ghostscript ran: nothing of the drawing is kept.
  void Abort() {
    PathCollector collector(model_);
    collector.BeginDrawing(StartViewExtent);
    collector.AbortDrawing();
    result_.Aborted = true;
  }

  PathModel& model_;
  InterpreterState& state_;
  const std::string& fileName_;
  const ReadOptions& options_;
  Progress& progress_;
  FileBytes file_;
  ReadResult result_;
};

}  // namespace

const char* ReadRouteName(ReadRoute route) {
  switch (route) {
    case ReadRoute::None:
      return "none";
    case ReadRoute::Lines:
      return "lines";
    case ReadRoute::PdfPrivateData:
      return "pdf-private-data";
    case ReadRoute::EpsDataBlock:
      return "eps-data-block";
    case ReadRoute::PdfPage:
      return "pdf-page";
    case ReadRoute::GhostscriptPage:
      return "ghostscript-page";
  }
  return "none";
}

ReadResult ReadSourceFile(PathModel& model, InterpreterState& state, const std::string& fileName,
                          const ReadOptions& options, Progress& progress) {
  return Reading(model, state, fileName, options, progress).Run();
}

ReadResult ReadSourceFile(PathModel& model, const std::string& fileName, const ReadOptions& options,
                          Progress& progress) {
  InterpreterState state;
  return ReadSourceFile(model, state, fileName, options, progress);
}

std::string ReadingStatus(const ReadResult& result, std::size_t shown, std::string_view separator) {
  if (result.Load.Status == LoadStatus::Missing || result.Load.Status == LoadStatus::Unreadable)
    return result.Load.Message;
  if (result.Aborted) return "Reading was aborted: nothing was read";

  std::vector<std::string> parts;
  const std::string pages =
      "PDF page 1 of " +
      FormatCount(static_cast<uint64_t>(std::max<int64_t>(result.Pages, 1)), separator);
  switch (result.Route) {
    case ReadRoute::EpsDataBlock:
      parts.push_back("Read from the Illustrator data in this EPS file");
      break;
    case ReadRoute::PdfPage:
      parts.push_back("Read as page drawing (" + pages + ")");
      break;
    case ReadRoute::GhostscriptPage:
      parts.push_back(result.PdfSource ? "Read as page drawing (" + pages +
                                             "), the lettering as outlines through Ghostscript"
                                       : std::string("Read as page drawing through Ghostscript"));
      break;
    default:
      break;
  }
  const bool page =
      result.Route == ReadRoute::PdfPage || result.Route == ReadRoute::GhostscriptPage;
  if (result.FromFirstLine)
    parts.push_back(
        "This Illustrator file has no start marker (%%EndSetup): it was read from "
        "its first line");
  for (const std::string& note : result.Notes)
    parts.push_back(note);
  if (const std::string notImported = NotImportedMessage(result.NotImported, separator);
      !notImported.empty())
    parts.push_back(notImported);
  if (shown == 0) {
    if (result.Paths > 0)
      parts.push_back(
          "The paths read have fewer than two points each: there is nothing to show "
          "or import");
    else if (page)
      parts.push_back("The page draws no paths that aiimport reads");
    else if (result.Lines == 0)
      parts.push_back("The file holds no text that aiimport reads");
    else if (result.Interpretation.OperatorLines == 0 && !result.Interpretation.StartMarker)
      parts.push_back(
          "No start marker (%%EndSetup) was found, so nothing was read: check "
          "Options \u203A Parse Everything and reload");
    else
      parts.push_back("The file holds no drawing operators that aiimport reads");
  }

  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) text += ". ";
    text += part;
  }
  return text;
}

LoadResult LoadLines(LineList& lines, const std::string& fileName, Progress& progress) {
  FileBytes file = ReadFileBytes(fileName);
  LoadResult result = std::move(file.Load);
  if (result.Status != LoadStatus::Loaded) return result;
  std::unique_ptr<char[]> bytes = std::move(file.Data);
  std::size_t size = file.Size;

  // A PDF-based Illustrator file: its drawing text, taken from the PDF's private data, is
  // filtered in place of the file's bytes (the bar and the KB figure then count that text).
  if (IsPdfData(bytes.get(), size)) {
    IllustratorData pdf;
    {
      const BusyScope busy(progress);
      pdf = ExtractIllustratorText(std::move(bytes), size);
    }
    if (!pdf.Ok) {
      result.Status = LoadStatus::Unreadable;
      result.Message = std::move(pdf.Message);
      return result;
    }
    bytes = std::move(pdf.Text);
    size = pdf.Size;
  }
  result.Status = LoadText(lines, std::move(bytes), size, progress);
  return result;
}

}  // namespace aiimport
