#include "readfile.h"

#include <exception>

#include "pathcollector.h"

namespace aiimport {

ReadResult ReadSourceFile(PathModel& model, InterpreterState& state, const std::string& fileName,
                          const InterpretOptions& options, Progress& progress) {
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
  PathCollector collector(model);
  InterpretLines(lines, options, state, collector, progress);
  result.InterpretedExtent = model.ViewExtent;
  return result;
}

ReadResult ReadSourceFile(PathModel& model, const std::string& fileName,
                          const InterpretOptions& options, Progress& progress) {
  InterpreterState state;
  return ReadSourceFile(model, state, fileName, options, progress);
}

}  // namespace aiimport
