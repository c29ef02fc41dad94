// What kind of PostScript a file is, told from its bytes before it is read: whether it is
// PostScript at all, whether Illustrator wrote it, whether it carries Illustrator's data block
// after the page, and whether the line reader will find a line to start reading at. The reading
// routes choose with it; one pass over the bytes, quick on files of hundreds of megabytes.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "lines.h"

namespace aiimport {

struct PostScriptKind {
  bool PostScript = false;           // starts with "%!" or with a DOS EPS binary header
  bool DosEpsHeader = false;         // starts with the DOS EPS binary header (C5 D0 D3 C6)
  bool CreatorIllustrator = false;   // the first "%%Creator:" line names Illustrator
  bool IllustratorComments = false;  // a line starts with "%AI" and a digit (%AI5_FileFormat …)
  bool DataBlock = false;            // a line "%AI9_PrivateDataBegin"
  // A line that starts the line reader: "%%EndSetup", "%%EndPageSetup" or "CADDDict begin",
  // as the reader compares it (case ignored, after the loader's and the reader's tidying).
  bool StartMarker = false;

  // Written by Illustrator: its %%Creator, its comments or its data block.
  bool Illustrators() const { return CreatorIllustrator || IllustratorComments || DataBlock; }
};

PostScriptKind ClassifyPostScript(const char* data, std::size_t size);

// The bytes [Begin, End) that hold the PostScript: after a DOS EPS binary header the section it
// names (cut to the buffer), else everything. A header whose section lies outside the buffer
// names nothing usable: then everything after the header.
struct ByteRange {
  std::size_t Begin = 0;
  std::size_t End = 0;
};
ByteRange PostScriptSection(const char* data, std::size_t size);

// One line of raw bytes: [Begin, End) without its line end, Next where the following line
// starts (after CR, LF or CR LF). Dirty when the line holds bytes the loader drops (below 32 or
// above 126).
struct RawLine {
  const char* Begin;
  const char* End;
  const char* Next;
  bool Dirty;
};

// The line that starts at p (p < end).
inline RawLine NextRawLine(const char* p, const char* end) {
  RawLine line{p, end, end, false};
  const char* q = p;
  auto atSpecial = [&](const char* s) {  // true when s ends the line
    const char c = *s;
    if (c == '\n' || c == '\r') {
      line.End = s;
      line.Next = s + 1;
      if (c == '\r' && line.Next < end && *line.Next == '\n') ++line.Next;
      return true;
    }
    line.Dirty = true;
    return false;
  };
  if constexpr (std::endian::native == std::endian::little) {
    while (end - q >= 8) {
      uint64_t x;
      std::memcpy(&x, q, 8);
      const uint64_t marks = SpecialBytes(x);
      if (marks == 0) {
        q += 8;
        continue;
      }
      const char* s = q + std::countr_zero(marks) / 8;
      if (atSpecial(s)) return line;
      q = s + 1;
    }
  }
  for (; q < end; ++q) {
    const unsigned char c = static_cast<unsigned char>(*q);
    if ((c < 32 || c > 126) && atSpecial(q)) return line;
  }
  return line;
}

// The line as the loader gives it: the bytes it drops taken out (into `scratch` when there are
// any).
inline std::string_view LoaderView(const RawLine& line, std::string& scratch) {
  if (!line.Dirty) return {line.Begin, static_cast<std::size_t>(line.End - line.Begin)};
  scratch.clear();
  for (const char* p = line.Begin; p < line.End; ++p)
    if (*p >= 32 && *p <= 126) scratch.push_back(*p);
  return scratch;
}

}  // namespace aiimport
