// The loader's product: the printable text lines of a file, each a view into one buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "progress.h"

namespace aiimport {

// An ordered list of non-empty lines made only of the characters 32 to 126. The lines stand
// back to back in one buffer, each followed by a line feed (the last one may end the buffer
// instead); the list keeps where every IndexStep-th line starts and finds the others from there.
// Reading the lines in order (Cursor) costs nothing more than reading their text.
class LineList {
 public:
  static constexpr std::size_t IndexStep = 64;

  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  // Line i, found from the nearest indexed line before it.
  std::string_view operator[](std::size_t i) const { return From(i).Next(); }

  // Reads the lines in order.
  class Cursor {
   public:
    // The next line. Must not be called after the last line.
    std::string_view Next() {
      const char* end = static_cast<const char*>(std::memchr(at_, '\n', end_ - at_));
      if (!end) end = end_;
      const std::string_view line(at_, static_cast<std::size_t>(end - at_));
      at_ = end == end_ ? end_ : end + 1;
      return line;
    }

   private:
    friend class LineList;
    Cursor(const char* at, const char* end) : at_(at), end_(end) {}
    const char* at_;
    const char* end_;
  };
  // A cursor whose Next is line `first` (a cursor at the end when there is no such line).
  Cursor From(std::size_t first) const {
    const char* text = text_.get();
    if (first >= count_) return Cursor(text + textSize_, text + textSize_);
    Cursor cursor(text + index_[first / IndexStep], text + textSize_);
    for (std::size_t skip = first % IndexStep; skip > 0; --skip)
      cursor.Next();
    return cursor;
  }

  void clear() {
    text_.reset();
    textSize_ = 0;
    count_ = 0;
    index_ = {};
  }

  // Makes a list from literal lines (tests and tools). Lines are taken as they are; none may
  // hold a line feed.
  static LineList FromLines(const std::vector<std::string>& lines);

 private:
  friend class LineFilter;
  friend class TextRelease;

  // Where the text of line `first` or of the indexed line before it starts; the text's end
  // for a line past the last.
  uint64_t IndexedStart(std::size_t first) const {
    return first >= count_ ? textSize_ : index_[first / IndexStep];
  }

  std::unique_ptr<char[]> text_;
  std::size_t textSize_ = 0;  // the lines and their line feeds
  std::size_t count_ = 0;
  std::vector<uint64_t> index_;  // where lines 0, IndexStep, 2 IndexStep, ... start
};

// Gives the memory of a large list's text back to the system while the list is read, behind
// its readers: the pages the reading allocates next (the paths) are then the ones just given
// up, not fresh ones, which the system must first clear. A reader reports how far it has read;
// the text before the slowest reader, in whole pieces of ReleasePiece bytes, is given back, and
// from then on reads as zeros. So every reader of the list must report through the release,
// and read only forward from what it reported. The list keeps its buffer, which is freed with
// it. Without this system's page release, or for a list under MinimumBytes, nothing is given
// back.
class TextRelease {
 public:
  static constexpr uint64_t ReleasePiece = uint64_t{2} << 20;
  static constexpr uint64_t MinimumBytes = uint64_t{16} << 20;

  // `readers` readers, all at the first line.
  TextRelease(const LineList& lines, std::size_t readers);
  TextRelease(const TextRelease&) = delete;
  TextRelease& operator=(const TextRelease&) = delete;

  // Reader `reader` needs no line before `line` any more. From any thread.
  void Passed(std::size_t reader, std::size_t line);
  // How many bytes of text have been given back.
  uint64_t ReleasedBytes() const;

 private:
  const LineList& lines_;
  mutable std::mutex mutex_;
  std::vector<std::size_t> passed_;  // per reader: the first line it still needs
  uint64_t releasedTo_ = 0;          // the offset in the text up to which it is given back
  uint64_t releasedBytes_ = 0;
  bool active_ = false;
};

// A reader's reports to a TextRelease, if there is one: Passed(line) every Step lines at most.
class ReleaseReports {
 public:
  static constexpr std::size_t Step = std::size_t{1} << 15;

  ReleaseReports(TextRelease* release, std::size_t reader) : release_(release), reader_(reader) {}
  void Passed(std::size_t line) {
    if (release_) release_->Passed(reader_, line);
  }
  // Called before reading line `line`, every line before it read: reports every Step lines.
  void Reached(std::size_t line) {
    if (release_ && line % Step == 0) release_->Passed(reader_, line);
  }

 private:
  TextRelease* release_;
  std::size_t reader_;
};

// The bytes of a word (read little-endian) that end a line or that the loader drops: those
// below 32 or above 126, each marked by its top bit. Only the lowest marked byte is exact (a
// borrow or carry may mark bytes above it).
inline uint64_t SpecialBytes(uint64_t x) {
  constexpr uint64_t Ones = 0x0101010101010101ull, Highs = 0x8080808080808080ull;
  const uint64_t below32 = (x - Ones * 32) & ~x & Highs;
  const uint64_t above126 = ((x + Ones) | x) & Highs;
  return below32 | above126;
}

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

}  // namespace aiimport
