#include "pskind.h"

#include "interpreter.h"

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

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The interpreter's comparison of a line with a start marker (its helper is not exposed).
bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
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

bool IsStartMarkerLine(std::string_view line) {
  return EqualsIgnoreCase(line, "CADDDict begin") || EqualsIgnoreCase(line, "%%EndSetup") ||
         EqualsIgnoreCase(line, "%%EndPageSetup");
}

ByteRange PostScriptSection(const char* data, std::size_t size) {
  if (!HasDosEpsHeader(data, size)) return {0, size};
  if (size < DosEpsHeaderSize) return {size, size};
  const uint64_t offset = LittleEndian32(data + 4);
  const uint64_t length = LittleEndian32(data + 8);
  if (offset < DosEpsHeaderSize || offset >= size || length == 0) return {DosEpsHeaderSize, size};
  return {static_cast<std::size_t>(offset),
          static_cast<std::size_t>(std::min<uint64_t>(offset + length, size))};
}

PostScriptKind ClassifyPostScript(const char* data, std::size_t size) {
  PostScriptKind kind;
  kind.DosEpsHeader = HasDosEpsHeader(data, size);
  kind.PostScript = kind.DosEpsHeader || (size >= 2 && data[0] == '%' && data[1] == '!');

  const ByteRange section = PostScriptSection(data, size);
  const char* p = data + section.Begin;
  const char* const end = data + section.End;
  bool creatorSeen = false;
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

    if (!kind.StartMarker && IsStartMarkerLine(line)) kind.StartMarker = true;
    if (c != '%') continue;
    if (!creatorSeen && line.substr(0, 10) == "%%Creator:") {
      creatorSeen = true;
      kind.CreatorIllustrator = ContainsIgnoreCase(line.substr(10), "Illustrator");
    }
    if (line.size() > 3 && line.substr(0, 3) == "%AI" && line[3] >= '0' && line[3] <= '9') {
      kind.IllustratorComments = true;
      if (line == "%AI9_PrivateDataBegin") kind.DataBlock = true;
    }
  }
  return kind;
}

}  // namespace aiimport
