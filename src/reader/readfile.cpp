#include "readfile.h"

#include <exception>
#include <memory>
#include <utility>

#include "epsdata.h"
#include "pathcollector.h"
#include "pdfsource.h"
#include "phasetext.h"
#include "pskind.h"

namespace aiimport {

namespace {

// Text for the line reader: a file's bytes, or the Illustrator text unpacked from them.
struct Text {
  std::unique_ptr<char[]> Data;
  std::size_t Size = 0;
};

// The Illustrator text of a PDF file (taking over its bytes, which are freed before unpacking),
// or why there is none.
Text PdfIllustratorText(FileBytes& file, ReadResult& result, Progress& progress) {
  PdfExtraction pdf;
  {
    const BusyScope busy(progress);
    pdf = ExtractIllustratorText(std::move(file.Data), file.Size);
  }
  if (!pdf.Ok) {
    result.Load.Status = LoadStatus::Unreadable;
    result.Load.Message = std::move(pdf.Message);
    return {};
  }
  result.Route = ReadRoute::PdfPrivateData;
  return {std::move(pdf.Text), pdf.Size};
}

// Chooses what the line reader reads of a file that was read whole, and how. Sets the route,
// the notes and, for an Illustrator file without any start marker, reading from line one.
Text ChooseText(FileBytes& file, const ReadOptions& options, InterpretOptions& interpret,
                ReadResult& result, Progress& progress) {
  if (IsPdfData(file.Data.get(), file.Size)) return PdfIllustratorText(file, result, progress);
  result.Route = ReadRoute::Lines;
  if (options.Reader == ReadAs::IllustratorOperators) return {std::move(file.Data), file.Size};

  const PostScriptKind kind = ClassifyPostScript(file.Data.get(), file.Size);
  if (kind.DataBlock) {
    EpsIllustratorData eps;
    {
      const BusyScope busy(progress);
      eps = FindEpsIllustratorData(file.Data.get(), file.Size);
    }
    if (eps.Ok) {
      result.Route = ReadRoute::EpsDataBlock;
      return {std::move(eps.Text), eps.Size};
    }
    if (eps.Found) {
      result.Notes.push_back(eps.Message + ": the printable page was read instead");
    }
  } else if (kind.Illustrators() && !kind.StartMarker && !interpret.ParseEverything) {
    // Illustrator 1.x files hold no start marker: read from their first line, as "Parse
    // Everything" would.
    interpret.ParseEverything = true;
    result.FromFirstLine = true;
  }
  return {std::move(file.Data), file.Size};
}

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
  }
  return "none";
}

ReadResult ReadSourceFile(PathModel& model, InterpreterState& state, const std::string& fileName,
                          const ReadOptions& options, Progress& progress) {
  ReadResult result;
  InterpretOptions interpret = options;
  LineList lines;
  try {
    FileBytes file = ReadFileBytes(fileName);
    result.Load = std::move(file.Load);
    if (result.Load.Status == LoadStatus::Loaded) {
      Text text = ChooseText(file, options, interpret, result, progress);
      if (result.Load.Status == LoadStatus::Loaded)
        result.Load.Status = LoadText(lines, std::move(text.Data), text.Size, progress);
    }
  } catch (const std::exception& e) {
    lines.clear();
    result.Load.Status = LoadStatus::Unreadable;
    result.Load.Message = "Cannot read \"" + fileName + "\": " + e.what();
  }
  if (result.Load.Status != LoadStatus::Loaded) result.Route = ReadRoute::None;

  result.Lines = lines.size();
  PathCollector collector(model);
  result.Interpretation = InterpretLines(lines, interpret, state, collector, progress);
  result.InterpretedExtent = model.ViewExtent;
  result.Paths = model.PathList.size();
  result.Aborted = result.Load.Status == LoadStatus::Aborted || progress.AbortRequested();
  if (!result.Aborted && !lines.empty()) result.NotImported = CountNotImported(lines, interpret);
  return result;
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
  switch (result.Route) {
    case ReadRoute::EpsDataBlock:
      parts.push_back("Read from the Illustrator data in this EPS file");
      break;
    default:
      break;
  }
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

}  // namespace aiimport
