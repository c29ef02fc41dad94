#include "readfile.h"

#include <exception>

namespace aiimport {

ReadResult ReadSourceFile(PathStore& store, const std::string& fileName,
                          const InterpretOptions& options, ReadProgress& progress) {
  ReadResult result;
  LineList lines;
  try {
    result.Load = LoadLines(lines, fileName, progress);
  } catch (const std::exception& e) {
    lines.clear();
    result.Load.Status = LoadStatus::Unreadable;
    result.Load.Message = "Cannot read \"" + fileName + "\": " + e.what();
  }
  result.Lines = lines.size();
  InterpretLines(store, lines, options, progress);
  result.InterpretedExtent = store.ViewExtent;
  return result;
}

}  // namespace aiimport
