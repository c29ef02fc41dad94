// Reading one source file the way a reload does, by the route the reading choice ("Read As")
// and the file call for:
//  - "Illustrator Operators": the file's printable lines through the line reader, exactly by its
//    rules (a PDF-based .ai file gives its Illustrator text instead of its bytes);
//  - "Automatic": Illustrator's own language wherever the file holds it (a PDF-based .ai file's
//    private data, the data block of a CS-and-later EPS file, an Illustrator text file; one
//    without any start marker read from its first line), else the page the file draws;
//  - "Page Drawing": the page, whatever the file holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ghostscript.h"
#include "interpreter.h"
#include "lines.h"
#include "notimported.h"

namespace aiimport {

// Options › "Read As".
enum class ReadAs {
  Automatic,             // "Automatic"
  IllustratorOperators,  // "Illustrator Operators"
  PageDrawing,           // "Page Drawing"
};

struct ReadOptions : InterpretOptions {
  ReadAs Reader = ReadAs::Automatic;
  // Whether each closed path's turning direction is tested (Anticlockwise). An import without
  // "Auto-Fix Holes" writes nothing that depends on it, so the batch then leaves it out; every
  // path's Anticlockwise is then true.
  bool Orientation = true;
  // How Ghostscript is run for the PostScript of other programs and for lettering as outlines.
  GhostscriptOptions Ghostscript;
};

// How a file was read.
enum class ReadRoute {
  None,             // nothing: the file is missing or could not be read
  Lines,            // its printable lines
  PdfPrivateData,   // the Illustrator text in a PDF-based .ai file's private data
  EpsDataBlock,     // the Illustrator text in the data block of a CS-and-later EPS file
  PdfPage,          // the first page of a PDF file, by the page reader
  GhostscriptPage,  // the page of a PDF that Ghostscript made of the file (PostScript, or a PDF
                    // whose lettering Ghostscript turned into outlines)
};

// "none", "lines", "pdf-private-data", "eps-data-block", "pdf-page", "ghostscript-page": the
// route's name in --list.
const char* ReadRouteName(ReadRoute route);

struct ReadResult {
  LoadResult Load;              // how loading went (a missing or unreadable file gives no lines)
  std::size_t Lines = 0;        // lines handed to the interpreter
  std::size_t Paths = 0;        // paths read
  FloatRect InterpretedExtent;  // ViewExtent as the reading left it
  ReadRoute Route = ReadRoute::None;
  InterpretSummary Interpretation;  // what the line reader came across
  bool FromFirstLine = false;       // an Illustrator file without start marker, read from line one
  bool Aborted = false;             // "Abort" ended the reading: nothing was kept
  int64_t Pages = 0;                // a page route: the pages of the PDF (the first one is read)
  bool PdfSource = false;           // a page route: the file itself is a PDF
  NotImportedCounts NotImported;    // what the drawing holds that does not become paths
  std::vector<std::string> Notes;   // what the user should know about the reading, plain words
};

// Why a reading that ran out of memory gave nothing.
inline constexpr const char* NotEnoughMemoryMessage = "Not enough memory to read this file";

// Reads the file into the model (PathList ends as a reload leaves it: empty for a missing,
// unreadable or aborted file; a reading that runs out of memory keeps nothing and says
// NotEnoughMemoryMessage). The interpreter's values that survive from one file to the next
// are in `state`.
ReadResult ReadSourceFile(PathModel& model, InterpreterState& state, const std::string& fileName,
                          const ReadOptions& options, Progress& progress);

// The same for a program that reads one file only: the interpreter's values start afresh.
ReadResult ReadSourceFile(PathModel& model, const std::string& fileName, const ReadOptions& options,
                          Progress& progress);

// Reads the file into printable lines: ReadFileBytes, then LoadText over its bytes (over the
// Illustrator text of a PDF-based file).
LoadResult LoadLines(LineList& lines, const std::string& fileName, Progress& progress);

// The sentence the status bar shows after a reading: why the file could not be read, or how it
// was read when that is not the plain way, the notes, what was not imported and, when the tree
// shows no path (`shown` is the number of paths it shows), why. Counts have `separator` between
// groups of three digits. Empty when there is nothing to say.
std::string ReadingStatus(const ReadResult& result, std::size_t shown,
                          std::string_view separator = ",");

}  // namespace aiimport
