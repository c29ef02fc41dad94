// The DOT file, the host's only input from us: a flat sequence of 10-byte records, nothing
// before the first and nothing after the last. A header record (kind 0) opens a figure with its
// colour and flags; point records (kind 1 start of a sub-path, 2 node, 3 quadratic control
// point) follow with x and y in micrometres. All integers little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pathunit.h"
#include "progress.h"

namespace aiimport {

struct DotRecord {
  int16_t Kind = 0;
  int32_t A = 0;  // header: colour 0x00BBGGRR; point: x
  int32_t B = 0;  // header: flags (1 closed, 2 filled); point: y
  friend bool operator==(const DotRecord&, const DotRecord&) = default;
};

inline constexpr std::size_t DotRecordSize = 10;

// After more than SoftRunLimit point records since the last header, the next start of a
// sub-path repeats the header (a continuation); in the first path of a figure a contour that
// runs past HardRunLimit records is cut by one as well.
inline constexpr int32_t SoftRunLimit = 20000;
inline constexpr int32_t HardRunLimit = 30000;

// The header of the figure that the path opens: the fill colour of a filled path, else its line
// colour; flags 1 for closed plus 2 for filled.
DotRecord HeaderRecord(const tdotpath& path);

// The record of one output point: the low 16 bits of its kind, x and y unchanged.
DotRecord PointRecord(const Tdot& dot);

void EncodeDotRecord(const DotRecord& record, unsigned char* out);  // 10 bytes
DotRecord DecodeDotRecord(const unsigned char* in);                 // 10 bytes

// Where the records go: a file, or memory for the tests and the fuzzer.
class DotSink {
 public:
  virtual ~DotSink() = default;
  virtual void Write(const unsigned char* data, std::size_t size) = 0;
};

class MemoryDotSink : public DotSink {
 public:
  void Write(const unsigned char* data, std::size_t size) override {
    Bytes.append(reinterpret_cast<const char*>(data), size);
  }
  std::string Bytes;
};

struct DotCounts {
  uint64_t Records = 0;
  uint64_t Headers = 0;  // figures, continuations included
  uint64_t Points = 0;
};

// Produces the records of the output list in file order: every path that is not yet written
// opens a figure; a closed or filled path takes the later paths of its compound into its figure;
// long figures are continued under a copy of their header. Sets every path's Written flag and
// sets a figure's first path's CompoundNo to -2 when a continuation cuts it.
DotCounts WriteDotRecords(std::vector<tdotpath>& outputList, DotSink& sink);

// Writes the DOT file `fileName` (a local file name) from output.OutputList, completely or not at
// all: an existing file of that name is deleted first, the records go to a new file in the
// same directory, which is renamed to `fileName` only when every record is written and the file
// is closed. On any failure the new file is removed and a std::system_error carrying the
// system's error code and text is thrown. Shows "Generating Output" as the progress's status.
DotCounts WriteDotFile(ConversionResult& output, const std::string& fileName, Progress& progress);

// The structure check of a DOT file: its size is a multiple of 10, there is at least one
// record, the first record is a header, every kind is 0 to 3 and every header's flags are 0 to
// 3. Problem says what is wrong (empty when the file is sound) and at which offset.
struct DotCheck {
  bool Ok = false;
  std::string Problem;
  DotCounts Counts;
};
DotCheck CheckDotStructure(std::string_view bytes);

}  // namespace aiimport
