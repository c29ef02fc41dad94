#include "pskind.h"

#include <cstring>
#include <string>

#include "interpreter.h"
#include "parallel.h"

namespace aiimport {

namespace {

constexpr unsigned char DosEpsMagic[4] = {0xC5, 0xD0, 0xD3, 0xC6};
constexpr std::size_t DosEpsHeaderSize = 30;

bool HasDosEpsHeader(const char* data, std::size_t size) {
  return size >= 4 && std::memcmp(data, DosEpsMagic, 4) == 0;
}

uint32_t LittleEndian32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

bool ContainsIgnoreCase(std::string_view text, std::string_view word) {
  for (std::size_t i = 0; i + word.size() <= text.size(); ++i)
    if (EqualsIgnoreCase(text.substr(i, word.size()), word)) return true;
  return false;
}

// The first byte the loader keeps, from p on, or end.
const char* FirstKept(const char* p, const char* end) {
  while (p < end && (*p <= 32 || *p > 126))
    ++p;
  return p;
}

}  // namespace

ByteRange PostScriptSection(const char* data, std::size_t size) {
  if (!HasDosEpsHeader(data, size)) return {0, size};
  if (size < DosEpsHeaderSize) return {size, size};
  const uint64_t offset = LittleEndian32(data + 4);
  const uint64_t length = LittleEndian32(data + 8);
  if (offset < DosEpsHeaderSize || offset >= size || length == 0) return {DosEpsHeaderSize, size};
  return {static_cast<std::size_t>(offset),
          static_cast<std::size_t>(std::min<uint64_t>(offset + length, size))};
}

namespace {

// What the lines from p to end say: a stretch of the file surveyed alone.
struct Survey {
  bool CreatorSeen = false;
  bool CreatorIllustrator = false;
  bool IllustratorComments = false;
  bool DataBlock = false;
  bool StartMarker = false;
};

Survey SurveyLines(const char* p, const char* const end) {
  Survey s;
  std::string scratch, tidyScratch;
  while (p < end) {
    const RawLine raw = NextRawLine(p, end);
    p = raw.Next;
    // Only lines that start (after what the loader drops and the reader's blanks) with "%" or
    // "C" can be of interest.
    const char* first = FirstKept(raw.Begin, raw.End);
    if (first == raw.End) continue;
    const char c = *first;
    if (c != '%' && c != 'C' && c != 'c') continue;
    const std::string_view line = TidyLine(LoaderView(raw, scratch), tidyScratch);

    if (!s.StartMarker && IsStartMarkerLine(line)) s.StartMarker = true;
    if (c != '%') continue;
    if (!s.CreatorSeen && line.substr(0, 10) == "%%Creator:") {
      s.CreatorSeen = true;
      s.CreatorIllustrator = ContainsIgnoreCase(line.substr(10), "Illustrator");
    }
    if (line.size() > 3 && line.substr(0, 3) == "%AI" && line[3] >= '0' && line[3] <= '9') {
      s.IllustratorComments = true;
      if (line == "%AI9_PrivateDataBegin") s.DataBlock = true;
    }
  }
  return s;
}

// Below this size the second half is not worth a thread.
constexpr std::size_t TwoHalvesBytes = std::size_t{4} << 20;

}  // namespace

PostScriptKind ClassifyPostScript(const char* data, std::size_t size) {
  PostScriptKind kind;
  kind.DosEpsHeader = HasDosEpsHeader(data, size);
  kind.PostScript = kind.DosEpsHeader || (size >= 2 && data[0] == '%' && data[1] == '!');

  const ByteRange section = PostScriptSection(data, size);
  const char* const begin = data + section.Begin;
  const char* const end = data + section.End;
  // A large file is surveyed in two halves, the second on another thread; the halves meet
  // after a line feed, where a line ends whatever came before it.
  const char* cut = end;
  if (section.End - section.Begin >= TwoHalvesBytes && ThreadCount() > 1) {
    const char* middle = begin + (section.End - section.Begin) / 2;
    if (const void* feed = std::memchr(middle, '\n', static_cast<std::size_t>(end - middle)))
      cut = static_cast<const char*>(feed) + 1;
  }
  const char* const bounds[3] = {begin, cut, end};
  Survey halves[2];
  RunOnThreads(cut < end ? 2 : 1,
               [&](std::size_t k) { halves[k] = SurveyLines(bounds[k], bounds[k + 1]); });
  const Survey& first = halves[0];
  const Survey& second = halves[1];
  kind.CreatorIllustrator =
      first.CreatorSeen ? first.CreatorIllustrator : second.CreatorIllustrator;
  kind.IllustratorComments = first.IllustratorComments || second.IllustratorComments;
  kind.DataBlock = first.DataBlock || second.DataBlock;
  kind.StartMarker = first.StartMarker || second.StartMarker;
  return kind;
}

}  // namespace aiimport
