#include "epsdata.h"

#include <cstring>

#include "interpreter.h"
#include "pskind.h"

namespace aiimport {

namespace {

constexpr std::string_view FileKind = "EPS";
constexpr std::string_view BeginLine = "%AI9_PrivateDataBegin";
constexpr std::string_view EndLine = "%AI9_PrivateDataEnd";

std::string MissingEndMessage() {
  return "The Illustrator drawing data in this EPS file is cut short: its end mark is missing";
}

std::string UnknownCodingMessage() {
  return "The Illustrator drawing data in this EPS file is packed in a way this program does "
         "not know";
}

// A line as the reader would see it, for comparing with a marker.
class LineReader {
 public:
  std::string_view Tidy(const RawLine& raw) {
    return TidyLine(LoaderView(raw, scratch_), tidyScratch_);
  }

 private:
  std::string scratch_, tidyScratch_;
};

// Whether [at, at + n) is a whole line of [begin, end) once blanks around it are ignored.
bool IsWholeLine(const char* begin, const char* end, const char* at, std::size_t n) {
  const char* before = at;
  while (before > begin && before[-1] == ' ')
    --before;
  if (before > begin && before[-1] != '\n' && before[-1] != '\r') return false;
  const char* after = at + n;
  while (after < end && *after == ' ')
    ++after;
  return after == end || *after == '\n' || *after == '\r';
}

// The last whole line `text` in [begin, end), or nullptr.
const char* FindLastLine(const char* begin, const char* end, std::string_view text) {
  const char* found = nullptr;
  const char* p = begin;
  while (p < end) {
    const void* hit = memmem(p, static_cast<std::size_t>(end - p), text.data(), text.size());
    if (!hit) break;
    const char* at = static_cast<const char*>(hit);
    if (IsWholeLine(begin, end, at, text.size())) found = at;
    p = at + 1;
  }
  return found;
}

// The first whole line `text` in [begin, end), or nullptr.
const char* FindFirstLine(const char* begin, const char* end, std::string_view text) {
  const char* p = begin;
  while (p < end) {
    const void* hit = memmem(p, static_cast<std::size_t>(end - p), text.data(), text.size());
    if (!hit) return nullptr;
    const char* at = static_cast<const char*>(hit);
    if (IsWholeLine(begin, end, at, text.size())) return at;
    p = at + 1;
  }
  return nullptr;
}

bool HasLine(const char* begin, const char* end, std::string_view text) {
  return FindFirstLine(begin, end, text) != nullptr;
}

// The coding a stream marker line names: "%AI9_DataStream", "%AI24_DataStream". Another
// version's marker ("%AI<digits>_DataStream") is recognised as a marker of a coding not known.
enum class Marker { None, Zlib, Zstandard, Unknown };

Marker MarkerOf(std::string_view line) {
  if (line == "%AI9_DataStream") return Marker::Zlib;
  if (line == "%AI24_DataStream") return Marker::Zstandard;
  constexpr std::string_view Tail = "_DataStream";
  if (line.size() <= 3 + Tail.size() || line.substr(0, 3) != "%AI" ||
      line.substr(line.size() - Tail.size()) != Tail)
    return Marker::None;
  for (char c : line.substr(3, line.size() - 3 - Tail.size()))
    if (c < '0' || c > '9') return Marker::None;
  return Marker::Unknown;
}

// Where the data block's parts lie in the buffer.
struct BlockLayout {
  const char* HeaderBegin = nullptr;  // the first header line
  const char* HeaderEnd = nullptr;    // after the last header line's line end
  Marker Coding = Marker::None;
  const char* DataBegin = nullptr;  // the first line after the stream marker
  const char* Tilde = nullptr;      // the "~" of the closing "~>"
  const char* BlockEnd = nullptr;   // after the line that holds "~>"
};

// Reads the lines after the begin line. Throws UnpackProblem when the block is not whole.
BlockLayout ReadLayout(const char* afterBegin, const char* end) {
  BlockLayout layout;
  LineReader reader;
  layout.HeaderBegin = afterBegin;
  const char* p = afterBegin;
  while (p < end) {
    const RawLine raw = NextRawLine(p, end);
    const std::string_view line = reader.Tidy(raw);
    if (line == EndLine) throw UnpackProblem(DamagedDataMessage(FileKind));  // no stream
    layout.Coding = MarkerOf(line);
    if (layout.Coding != Marker::None) {
      layout.HeaderEnd = raw.Begin;
      layout.DataBegin = raw.Next;
      break;
    }
    p = raw.Next;
  }
  if (layout.Coding == Marker::None) throw UnpackProblem(DamagedDataMessage(FileKind));
  if (layout.Coding == Marker::Unknown) throw UnpackProblem(UnknownCodingMessage());

  // The data run to the first "~": no ASCII85 character is one.
  const void* tilde =
      std::memchr(layout.DataBegin, '~', static_cast<std::size_t>(end - layout.DataBegin));
  const char* stop = tilde ? static_cast<const char*>(tilde) : end;
  p = layout.DataBegin;
  while (p < end) {
    const RawLine raw = NextRawLine(p, end);
    if (tilde && raw.End > stop) {  // the line that holds "~"
      if (raw.Begin == raw.End || *raw.Begin != '%')
        throw UnpackProblem(DamagedDataMessage(FileKind));
      layout.Tilde = stop;
      layout.BlockEnd = raw.Next;
      if (stop + 1 == raw.End) {
        // The lines are cut at a fixed width, which may fall between "~" and ">": then the
        // next line is "%>".
        const RawLine next = NextRawLine(raw.Next < end ? raw.Next : end, end);
        if (raw.Next >= end || next.End - next.Begin < 2 || next.Begin[0] != '%' ||
            next.Begin[1] != '>')
          throw UnpackProblem(DamagedDataMessage(FileKind));
        layout.BlockEnd = next.Next;
      } else if (stop[1] != '>') {
        throw UnpackProblem(DamagedDataMessage(FileKind));
      }
      return layout;
    }
    if (raw.Begin != raw.End) {
      if (reader.Tidy(raw) == EndLine) throw UnpackProblem(MissingEndMessage());
      if (*raw.Begin != '%') throw UnpackProblem(DamagedDataMessage(FileKind));
    }
    p = raw.Next;
  }
  throw UnpackProblem(MissingEndMessage());
}

// Hands the ASCII85 text of the data lines to `write`: each line without its "%", up to and
// with the "~>".
void ProduceAscii85(const BlockLayout& layout, const char* end, const PieceWriter& write) {
  const char* p = layout.DataBegin;
  while (p < layout.BlockEnd) {
    const RawLine raw = NextRawLine(p, end);
    if (raw.End > layout.Tilde) {  // the line that holds "~": its data, then the end mark
      write(raw.Begin + 1, static_cast<std::size_t>(layout.Tilde - raw.Begin - 1));
      write("~>", 2);
      return;
    }
    if (raw.Begin != raw.End)
      write(raw.Begin + 1, static_cast<std::size_t>(raw.End - raw.Begin - 1));
    p = raw.Next;
  }
}

}  // namespace

IllustratorData FindEpsIllustratorData(const char* data, std::size_t size,
                                       const UnpackLimits& limits) {
  IllustratorData result;
  result.Coding = DataCoding::Zlib;
  if (!data || size == 0) return result;
  const ByteRange section = PostScriptSection(data, size);
  const char* const begin = data + section.Begin;
  const char* const end = data + section.End;
  const char* beginLine = FindLastLine(begin, end, BeginLine);
  if (!beginLine) return result;
  const RawLine first = NextRawLine(beginLine, end);
  // More of a page after the block's end line: the block belongs to an embedded document, not
  // to the file.
  if (const char* endLine = FindFirstLine(first.Next, end, EndLine)) {
    if (HasLine(NextRawLine(endLine, end).Next, end, "%%EOF")) return result;
  }
  result.Found = true;
  Unpacking(result, DamagedDataMessage(FileKind), [&] {
    const BlockLayout layout = ReadLayout(first.Next, end);
    result.Coding = layout.Coding == Marker::Zstandard ? DataCoding::Zstandard : DataCoding::Zlib;

    ChunkList packed(limits.MaxTextBytes, FileKind);
    if (!DecodeAscii85([&](const PieceWriter& write) { ProduceAscii85(layout, end, write); },
                       packed))
      throw UnpackProblem(DamagedDataMessage(FileKind));
    ChunkList text(limits.MaxTextBytes, FileKind);
    text.Write(layout.HeaderBegin, static_cast<std::size_t>(layout.HeaderEnd - layout.HeaderBegin));
    if (result.Coding == DataCoding::Zstandard)
      DecompressZstd(packed, 0, text);
    else
      Inflate(packed, 0, text);
    result.Size = static_cast<std::size_t>(text.Size());
    result.Text = text.Assemble();
    result.Ok = true;
  });
  return result;
}

}  // namespace aiimport
