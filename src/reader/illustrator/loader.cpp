#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "lines.h"
#include "memoryhints.h"
#include "parallel.h"
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
  // Where the lines of a run of bytes start: every start (the workers' chunks), or only each
  // IndexStep-th (the whole text at once).
  struct AllStarts {
    std::vector<uint64_t> Starts;
    void Line(uint64_t start) { Starts.push_back(start); }
  };
  struct IndexedStarts {
    std::size_t Count = 0;
    std::vector<uint64_t>& Index;
    void Line(uint64_t start) {
      if (Count % LineList::IndexStep == 0) Index.push_back(start);
      ++Count;
    }
  };

  // Filters the bytes [from, to) (0-based) in place: printable bytes move down to `write`, line
  // breaks close the line being collected (a line feed follows each line that is not empty),
  // everything else is dropped. Every byte read gives at most one byte, so writing never
  // overtakes reading.
  template <class Starts>
  static void FilterRange(char* data, uint64_t from, uint64_t to, uint64_t& write,
                          uint64_t& lineStart, Starts& starts) {
    uint64_t at = from;
    auto special = [&](unsigned char b) {
      if (Classes.cls[b] == Break) {
        if (write > lineStart) {
          starts.Line(lineStart);
          data[write++] = '\n';
        }
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
    char* data = bytes.get();
    const unsigned threads = ThreadCount();
    const uint64_t chunkBytes = std::clamp<uint64_t>(size / (4 * threads), 512, ChunkBytes);
    const LoadStatus status = threads > 1 && size > chunkBytes
                                  ? RunParallel(lines, data, size, progress, threads, chunkBytes)
                                  : RunInPlace(lines, data, size, progress);
    if (status == LoadStatus::Loaded) lines.text_ = std::move(bytes);
    return status;
  }

  static LoadStatus RunInPlace(LineList& lines, char* data, std::size_t size, Progress& progress) {
    uint64_t write = 0, lineStart = 0;
    IndexedStarts starts{0, lines.index_};
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
    // A final line without a line break is kept like any other (it ends the text).
    if (write > lineStart) starts.Line(lineStart);
    lines.count_ = starts.Count;
    lines.textSize_ = write;
    return LoadStatus::Loaded;
  }

  // The bytes are cut into chunks of at most about ChunkBytes, each ending just after a line
  // break, so that every chunk starts a new line: workers filter the chunks in place, each into
  // its own start, and the calling thread moves each finished chunk's text down behind the one
  // before it. The calling thread reports the progress points in order as the chunks before
  // them finish (a point i once the bytes before i are filtered), exactly as one thread does.
  static constexpr uint64_t ChunkBytes = uint64_t{1} << 18;

  struct Chunk {
    uint64_t End = 0;  // where the chunk's filtered text ends (in place)
    AllStarts Lines;   // where its lines start (in place)
  };

  // Where the chunks begin: 0, then each just after the first line break at or after the next
  // multiple of chunkBytes; size at the end. Every byte is looked at once at most.
  static std::vector<uint64_t> ChunkCuts(const char* data, uint64_t size, uint64_t chunkBytes) {
    std::vector<uint64_t> cuts{0};
    for (uint64_t nominal = chunkBytes; nominal < size; nominal += chunkBytes) {
      if (nominal < cuts.back()) continue;
      uint64_t at = nominal;
      while (at < size && Classes.cls[static_cast<unsigned char>(data[at])] != Break)
        ++at;
      if (at == size) break;
      cuts.push_back(at + 1);
    }
    if (cuts.back() < size) cuts.push_back(size);
    return cuts;
  }

  static LoadStatus RunParallel(LineList& lines, char* data, std::size_t size, Progress& progress,
                                unsigned threads, uint64_t chunkBytes) {
    const std::vector<uint64_t> cuts = ChunkCuts(data, size, chunkBytes);
    const std::size_t chunks = cuts.size() - 1;
    const std::size_t window = 4 * std::size_t{threads};
    std::vector<Chunk> slots(window);
    OrderedChunks pool(chunks, threads, window, [&](std::size_t chunk, std::size_t slot) {
      Chunk& c = slots[slot];
      c.Lines.Starts.clear();
      uint64_t write = cuts[chunk], lineStart = cuts[chunk];
      FilterRange(data, cuts[chunk], cuts[chunk + 1], write, lineStart, c.Lines);
      // Only the last chunk can end inside a line.
      if (write > lineStart) c.Lines.Line(lineStart);
      c.End = write;
    });

    const bool bar = progress.HasProgressBar();
    uint64_t point = 1;  // the next progress point
    // Reports the progress points up to `last`; false when "Abort" was pressed.
    auto reportUpTo = [&](uint64_t last) {
      for (; point <= last; point = NextProgressPoint(point)) {
        if (bar) progress.SetPosition(static_cast<int64_t>(point));
        progress.ProcessEvents();
        if (progress.AbortRequested()) return false;
      }
      return true;
    };
    IndexedStarts starts{0, lines.index_};
    uint64_t write = 0;
    for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
      if (!reportUpTo(std::min<uint64_t>(cuts[chunk] + 1, size))) return LoadStatus::Aborted;
      const Chunk& c = slots[pool.Wait(chunk)];
      const uint64_t from = cuts[chunk], length = c.End - from;
      if (write != from) std::memmove(data + write, data + from, length);
      if (chunk == 0) {
        // Room for as many index entries as the file holds at the first chunk's density.
        const uint64_t estimate = uint64_t{c.Lines.Starts.size()} * size / cuts[1];
        lines.index_.reserve(static_cast<std::size_t>(
            std::min<uint64_t>(estimate + estimate / 8 + 16, size / 2 + 2) / LineList::IndexStep +
            1));
      }
      // Only every IndexStep-th line's start is kept.
      const std::vector<uint64_t>& local = c.Lines.Starts;
      const std::size_t skip =
          (LineList::IndexStep - starts.Count % LineList::IndexStep) % LineList::IndexStep;
      for (std::size_t k = skip; k < local.size(); k += LineList::IndexStep)
        lines.index_.push_back(local[k] - from + write);
      starts.Count += local.size();
      write += length;
      pool.Release();
    }
    if (!reportUpTo(size)) return LoadStatus::Aborted;
    lines.count_ = starts.Count;
    lines.textSize_ = write;
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
    total += l.size() + 1;
  lines.text_ = std::make_unique_for_overwrite<char[]>(total ? total : 1);
  std::size_t at = 0;
  for (std::size_t i = 0; i < source.size(); ++i) {
    if (i % IndexStep == 0) lines.index_.push_back(at);
    std::memcpy(lines.text_.get() + at, source[i].data(), source[i].size());
    at += source[i].size();
    lines.text_[at++] = '\n';
  }
  lines.textSize_ = at;
  lines.count_ = source.size();
  return lines;
}

TextRelease::TextRelease(const LineList& lines, std::size_t readers)
    : lines_(lines), passed_(readers, 0) {
  active_ = CanGiveBackPages() && lines.textSize_ >= MinimumBytes && readers > 0;
}

void TextRelease::Passed(std::size_t reader, std::size_t line) {
  if (!active_) return;
  std::lock_guard lock(mutex_);
  passed_[reader] = std::max(passed_[reader], line);
  std::size_t slowest = passed_[0];
  for (std::size_t p : passed_)
    slowest = std::min(slowest, p);
  // Whole pieces only, inside the buffer: [from, to) in addresses.
  const uintptr_t text = reinterpret_cast<uintptr_t>(lines_.text_.get());
  const uintptr_t from = (text + releasedTo_ + ReleasePiece - 1) & ~(ReleasePiece - 1);
  const uintptr_t to = (text + lines_.IndexedStart(slowest)) & ~(ReleasePiece - 1);
  if (to < from + ReleasePiece) return;
  // Failing is harmless: the memory is then given back with the list.
  if (GiveBackPages(reinterpret_cast<void*>(from), to - from)) releasedBytes_ += to - from;
  releasedTo_ = to - text;
}

uint64_t TextRelease::ReleasedBytes() const {
  std::lock_guard lock(mutex_);
  return releasedBytes_;
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

}  // namespace aiimport
