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

// Loads the file (when it exists) and interprets whatever lines that gave, so PathList ends as
// a reload leaves it: empty for a missing, unreadable or aborted file.
ReadResult ReadSourceFile(PathStore& store, const std::string& fileName,
                          const InterpretOptions& options, ReadProgress& progress);

}  // namespace aiimport
