// Reading one source file the way a reload does: load it into lines, then interpret them.
#pragma once

#include <string>

#include "interpreter.h"
#include "lines.h"

namespace aiimport {

struct ReadResult {
  LoadResult Load;              // how loading went (a missing or unreadable file gives no lines)
  std::size_t Lines = 0;        // lines handed to the interpreter
  FloatRect InterpretedExtent;  // ViewExtent as the interpretation left it
};

// Loads the file (when it exists) and interprets whatever lines that gave into the model, so
// PathList ends as a reload leaves it: empty for a missing, unreadable or aborted file.
ReadResult ReadSourceFile(PathModel& model, InterpreterState& state, const std::string& fileName,
                          const InterpretOptions& options, Progress& progress);

// The same for a program that reads one file only: the interpreter's values start afresh.
ReadResult ReadSourceFile(PathModel& model, const std::string& fileName,
                          const InterpretOptions& options, Progress& progress);

}  // namespace aiimport
