#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "lines.h"
#include "pdfsource.h"
#include "phasetext.h"

namespace aiimport {

namespace {

enum ByteClass : uint8_t { Drop = 0, Keep = 1, Break = 2 };

struct ByteTable {
  uint8_t cls[256];
  constexpr ByteTable() : cls() {
    for (int b = 0; b < 256; ++b)
      cls[b] = (b >= 32 && b <= 126) ? Keep : Drop;
    cls[10] = Break;
    cls[13] = Break;
  }
};
constexpr ByteTable Classes;

// The next 1-based position after `i` at which the loader reports progress: (i & 0x2FFF) == 1,
// that is 1 and 4097 in every block of 16384 bytes.
uint64_t NextProgressPoint(uint64_t i) {
  const uint64_t block = i & ~uint64_t{0x3FFF};
  for (uint64_t base = block;; base += 0x4000) {
    if (base + 1 > i) return base + 1;
    if (base + 4097 > i) return base + 4097;
  }
}

}  // namespace

class LineFilter {
 public:
  // The bytes in a word that end a line or are dropped (below 32 or above 126). Only the lowest
  // marked byte is exact (a borrow or carry may mark bytes above it): that is the one used.
  static uint64_t SpecialBytes(uint64_t x) {
    constexpr uint64_t Ones = 0x0101010101010101ull, Highs = 0x8080808080808080ull;
    const uint64_t below32 = (x - Ones * 32) & ~x & Highs;
    const uint64_t above126 = ((x + Ones) | x) & Highs;
    return below32 | above126;
  }

  // Filters the bytes [from, to) (0-based) in place: printable bytes move down to `write`, line
  // breaks close the line being collected, everything else is dropped.
  template <class Offset>
  static void FilterRange(char* data, uint64_t from, uint64_t to, uint64_t& write,
                          uint64_t& lineStart, std::vector<Offset>& starts) {
    uint64_t at = from;
    auto special = [&](unsigned char b) {
      if (Classes.cls[b] == Break) {
        if (write > lineStart) starts.push_back(static_cast<Offset>(lineStart));
        lineStart = write;
      }
    };
    if constexpr (std::endian::native == std::endian::little) {
      // Eight bytes at a time: a word of printable bytes moves in one piece.
      while (at + 8 <= to) {
        uint64_t x;
        std::memcpy(&x, data + at, 8);
        const uint64_t marks = SpecialBytes(x);
        const uint64_t gap = at - write;
        // Storing the whole word is safe when it cannot reach bytes not read yet.
        const bool wholeWord = gap == 0 || gap >= 8;
        const unsigned run = marks == 0 ? 8 : static_cast<unsigned>(std::countr_zero(marks)) / 8;
        if (wholeWord)
          std::memcpy(data + write, &x, 8);
        else
          std::memmove(data + write, data + at, run);
        write += run;
        at += run;
        if (run < 8) {
          special(static_cast<unsigned char>(x >> (8 * run)));
          ++at;
        }
      }
    }
    for (; at < to; ++at) {
      const unsigned char b = static_cast<unsigned char>(data[at]);
      if (Classes.cls[b] == Keep)
        data[write++] = static_cast<char>(b);
      else
        special(b);
    }
  }

  static LoadStatus Run(LineList& lines, std::unique_ptr<char[]> bytes, std::size_t size,
                        Progress& progress) {
    lines.clear();
    LoadStatus status;
    if (size < (uint64_t{1} << 32))
      status = Run(lines, bytes.get(), size, progress, lines.narrow_);
    else
      status = Run(lines, bytes.get(), size, progress, lines.wide_);
    if (status == LoadStatus::Loaded) {
      lines.text_ = std::move(bytes);
      lines.textCapacity_ = size;
    }
    return status;
  }

  template <class Offset>
  static LoadStatus Run(LineList& lines, char* data, std::size_t size, Progress& progress,
                        std::vector<Offset>& starts) {
    uint64_t write = 0, lineStart = 0;
    const bool bar = progress.HasProgressBar();
    // i is the 1-based position of the next byte; each pass runs up to the next progress point.
    uint64_t i = 1;
    while (i <= size) {
      if ((i & 0x2FFF) == 1) {
        if (bar) progress.SetPosition(static_cast<int64_t>(i));
        progress.ProcessEvents();
        if (progress.AbortRequested()) return LoadStatus::Aborted;
      }
      const uint64_t stop = std::min<uint64_t>(NextProgressPoint(i), uint64_t{size} + 1);
      FilterRange(data, i - 1, stop - 1, write, lineStart, starts);
      i = stop;
    }
    // A final line without a line break is kept like any other.
    if (write > lineStart) starts.push_back(static_cast<Offset>(lineStart));
    lines.count_ = starts.size();
    starts.push_back(static_cast<Offset>(write));
    return LoadStatus::Loaded;
  }
};

LoadStatus FilterLines(LineList& lines, std::unique_ptr<char[]> bytes, std::size_t size,
                       Progress& progress) {
  LoadStatus status = LineFilter::Run(lines, std::move(bytes), size, progress);
  if (status == LoadStatus::Aborted) lines.clear();
  return status;
}

LineList LineList::FromLines(const std::vector<std::string>& source) {
  LineList lines;
  std::size_t total = 0;
  for (const auto& l : source)
    total += l.size();
  lines.text_ = std::make_unique_for_overwrite<char[]>(total ? total : 1);
  lines.textCapacity_ = total;
  std::size_t at = 0;
  for (const auto& l : source) {
    lines.wide_.push_back(at);
    std::memcpy(lines.text_.get() + at, l.data(), l.size());
    at += l.size();
  }
  lines.wide_.push_back(at);
  lines.count_ = source.size();
  return lines;
}

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string Describe(const std::string& fileName, const char* what, int err) {
  return "Cannot read \"" + fileName + "\": " + what +
         (err ? std::string(" (") + std::strerror(err) + ")" : "");
}

}  // namespace

FileBytes ReadFileBytes(const std::string& fileName) {
  FileBytes result;
  LoadResult& load = result.Load;
  std::error_code ec;
  const auto status = std::filesystem::status(fileName, ec);
  if (ec || !std::filesystem::exists(status)) {
    load.Status = LoadStatus::Missing;
    load.Message = "The file \"" + fileName + "\" does not exist";
    return result;
  }
  if (std::filesystem::is_directory(status)) {
    load.Status = LoadStatus::Missing;
    load.Message = "\"" + fileName + "\" is a folder, not a file";
    return result;
  }

  // The whole file in one piece.
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "rb"));
  if (!file) {
    load.Status = LoadStatus::Unreadable;
    load.Message = Describe(fileName, "it cannot be opened", errno);
    return result;
  }
  std::unique_ptr<char[]> bytes;
  std::size_t size = 0;
  try {
    std::size_t capacity = std::filesystem::is_regular_file(status)
                               ? static_cast<std::size_t>(std::filesystem::file_size(fileName, ec))
                               : 0;
    if (ec) capacity = 0;
    if (capacity == 0) capacity = 1 << 16;
    bytes = std::make_unique_for_overwrite<char[]>(capacity);
    // Read to the end, growing the buffer if the file turns out longer than it said.
    for (;;) {
      size += std::fread(bytes.get() + size, 1, capacity - size, file.get());
      if (std::ferror(file.get())) {
        load.Status = LoadStatus::Unreadable;
        load.Message = Describe(fileName, "reading failed", errno);
        return result;
      }
      if (size < capacity) break;
      int c = std::fgetc(file.get());
      if (c == EOF) break;
      const std::size_t grown = capacity * 2;
      auto bigger = std::make_unique_for_overwrite<char[]>(grown);
      std::memcpy(bigger.get(), bytes.get(), size);
      bigger[size++] = static_cast<char>(c);
      bytes = std::move(bigger);
      capacity = grown;
    }
  } catch (const std::bad_alloc&) {
    load.Status = LoadStatus::Unreadable;
    load.Message = Describe(fileName, "there is not enough memory to hold it", 0);
    return result;
  }
  load.Bytes = size;
  result.Data = std::move(bytes);
  result.Size = size;
  return result;
}

LoadStatus LoadText(LineList& lines, std::unique_ptr<char[]> text, std::size_t size,
                    Progress& progress) {
  const std::string separator = progress.ThousandsSeparator();
  if (progress.HasProgressBar()) {
    progress.SetMaximum(static_cast<int64_t>(size));
    progress.SetPhaseText(ParsingPhaseText(size, separator));
  }
  const BusyScope busy(progress);
  progress.SetAbortRequested(false);
  return FilterLines(lines, std::move(text), size, progress);
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
    PdfExtraction pdf;
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
