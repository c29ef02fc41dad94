// The loader's product: the printable text lines of a file, each a view into one buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "progress.h"

namespace aiimport {

// An ordered list of non-empty lines made only of the characters 32 to 126. The lines are stored
// back to back in one buffer; the list keeps where each one starts.
class LineList {
 public:
  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  std::string_view operator[](std::size_t i) const {
    const uint64_t from = Start(i), to = Start(i + 1);
    return {text_.get() + from, static_cast<std::size_t>(to - from)};
  }
  void clear() {
    text_.reset();
    textCapacity_ = 0;
    count_ = 0;
    narrow_ = {};
    wide_ = {};
  }

  // Makes a list from literal lines (tests and tools). Lines are taken as they are.
  static LineList FromLines(const std::vector<std::string>& lines);

 private:
  friend class LineFilter;
  uint64_t Start(std::size_t i) const { return wide_.empty() ? narrow_[i] : wide_[i]; }

  std::unique_ptr<char[]> text_;
  std::size_t textCapacity_ = 0;
  std::size_t count_ = 0;
  // Where each line starts, and after the last one the end of the text: 32-bit offsets while
  // the text is below 4 GiB (half the memory), 64-bit ones beyond.
  std::vector<uint32_t> narrow_;
  std::vector<uint64_t> wide_;
};

enum class LoadStatus {
  Loaded,      // the file was read (the list may still be empty)
  Missing,     // no file of that name: the list is left as it was
  Unreadable,  // the file could not be read: the list is left as it was
  Aborted,     // "Abort" was pressed: the list is empty
};

struct LoadResult {
  LoadStatus Status = LoadStatus::Loaded;
  std::string Message;  // why the file could not be read, in plain words (empty when loaded)
  uint64_t Bytes = 0;   // size of the file
};

// Splits bytes at line feeds and carriage returns and keeps only the characters 32 to 126;
// empty lines are dropped. A final line without a line break is kept. Takes over the buffer.
// Progress: at every 1-based byte position i with (i & 0x2FFF) == 1 the bar is set to i,
// events are processed and the abort flag is read; an abort empties the list.
LoadStatus FilterLines(LineList& lines, std::unique_ptr<char[]> bytes, std::size_t size,
                       Progress& progress);

// A whole file's bytes, or why it could not be read (Missing or Unreadable, with the message).
struct FileBytes {
  LoadResult Load;
  std::unique_ptr<char[]> Data;
  std::size_t Size = 0;
};
FileBytes ReadFileBytes(const std::string& fileName);

// Filters text (a file's bytes, or a drawing text unpacked from one) into printable lines: the
// phase text "Parsing File     (n KB)" with n the text's size, the bar's maximum that size, the
// busy cursor while it runs; the abort flag is cleared first. Takes over the buffer.
LoadStatus LoadText(LineList& lines, std::unique_ptr<char[]> text, std::size_t size,
                    Progress& progress);

// Reads the file into printable lines: ReadFileBytes, then LoadText over its bytes (over the
// Illustrator text of a PDF-based file).
LoadResult LoadLines(LineList& lines, const std::string& fileName, Progress& progress);

}  // namespace aiimport
