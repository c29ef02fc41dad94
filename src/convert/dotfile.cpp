#include "dotfile.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "parallel.h"

namespace aiimport {

namespace {

// Collects encoded records and hands them to the sink in large blocks.
class RecordWriter {
 public:
  explicit RecordWriter(DotSink& sink) : sink_(sink), buffer_(BufferRecords * DotRecordSize) {}

  void Put(const DotRecord& record) {
    if (used_ == buffer_.size()) Flush();
    EncodeDotRecord(record, buffer_.data() + used_);
    used_ += DotRecordSize;
    ++records_;
  }
  void Flush() {
    if (used_ == 0) return;
    sink_.Write(buffer_.data(), used_);
    used_ = 0;
  }
  uint64_t Records() const { return records_; }

 private:
  static constexpr std::size_t BufferRecords = 6553;  // about 64 KiB
  DotSink& sink_;
  std::vector<unsigned char> buffer_;
  std::size_t used_ = 0;
  uint64_t records_ = 0;
};

std::system_error SystemError(int code, const std::string& what) {
  return std::system_error(code, std::generic_category(), what);
}

// The records go straight to a C stream; every write is checked.
class FileSink : public DotSink {
 public:
  FileSink(std::FILE* file, const std::string& name) : file_(file), name_(name) {}
  void Write(const unsigned char* data, std::size_t size) override {
    errno = 0;
    if (std::fwrite(data, 1, size, file_) != size)
      throw SystemError(errno ? errno : EIO, "Cannot write the file \"" + name_ + "\"");
  }

 private:
  std::FILE* file_;
  const std::string& name_;
};

void PutLittleEndian32(unsigned char* out, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  out[0] = static_cast<unsigned char>(v);
  out[1] = static_cast<unsigned char>(v >> 8);
  out[2] = static_cast<unsigned char>(v >> 16);
  out[3] = static_cast<unsigned char>(v >> 24);
}

int32_t GetLittleEndian32(const unsigned char* in) {
  return static_cast<int32_t>(uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 |
                              uint32_t{in[3]} << 24);
}

}  // namespace

DotRecord HeaderRecord(const tdotpath& path) {
  return {0, path.Filled ? path.FillColor : path.LineColor,
          (path.Closed ? 1 : 0) + (path.Filled ? 2 : 0)};
}

DotRecord PointRecord(const Tdot& dot) {
  return {static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(dot.Kind) & 0xFFFFu)),
          dot.X, dot.Y};
}

void EncodeDotRecord(const DotRecord& record, unsigned char* out) {
  const uint16_t kind = static_cast<uint16_t>(record.Kind);
  if constexpr (std::endian::native == std::endian::little) {
    // The record's own byte order: three stores.
    std::memcpy(out, &kind, 2);
    std::memcpy(out + 2, &record.A, 4);
    std::memcpy(out + 6, &record.B, 4);
  } else {
    out[0] = static_cast<unsigned char>(kind);
    out[1] = static_cast<unsigned char>(kind >> 8);
    PutLittleEndian32(out + 2, record.A);
    PutLittleEndian32(out + 6, record.B);
  }
}

DotRecord DecodeDotRecord(const unsigned char* in) {
  const uint16_t kind = static_cast<uint16_t>(in[0] | in[1] << 8);
  return {static_cast<int16_t>(kind), GetLittleEndian32(in + 2), GetLittleEndian32(in + 6)};
}

namespace {

// The figure logic, shared by the counting pass and the writing of the records. Puts the
// records of one path's points into `out`, continuing the figure under a copy of its header
// where the rules say: `run` counts the point records since the last header; `head` is true
// for the figure's first path. Returns true when a continuation cut that first path.
template <class Out>
bool PutPoints(const std::vector<Tdot>& items, int64_t& run, bool head, const DotRecord& header,
               Out& out) {
  bool cut = false;
  const std::size_t n = items.size();
  std::size_t k = 0;
  while (k < n) {
    if (run <= SoftRunLimit) {
      // No continuation before the run passes SoftRunLimit: these points go in one piece.
      const std::size_t plain =
          std::min<std::size_t>(n - k, static_cast<std::size_t>(SoftRunLimit + 1 - run));
      out.Points(items.data() + k, plain);
      run += static_cast<int64_t>(plain);
      k += plain;
      continue;
    }
    const Tdot& dot = items[k];
    if (dot.Kind < 2 || (head && run > HardRunLimit)) {
      out.Header(header);
      run = 0;
      cut = cut || head;
    }
    out.Points(&dot, 1);
    ++run;
    ++k;
  }
  return cut;
}

// Counts records and headers without writing them.
struct RecordCounter {
  uint64_t Records = 0;
  uint64_t Headers = 0;
  void Header(const DotRecord&) { ++Records, ++Headers; }
  void Points(const Tdot*, std::size_t n) { Records += n; }
};

// Encodes records into a buffer of the right size.
struct RecordEncoder {
  unsigned char* At;
  void Header(const DotRecord& header) {
    EncodeDotRecord(header, At);
    At += DotRecordSize;
  }
  void Points(const Tdot* dots, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i, At += DotRecordSize)
      EncodeDotRecord(PointRecord(dots[i]), At);
  }
};

// Where the partners of the figure of the path at `index` stand in `byCompound`: the later paths
// of the first path's (current) compound number.
using CompoundIndex = std::vector<std::pair<int32_t, uint32_t>>;

CompoundIndex::const_iterator FirstPartner(const CompoundIndex& byCompound,
                                           const std::vector<uint32_t>& position, int32_t number,
                                           std::size_t index) {
  // Only a figure's first path changes its CompoundNo (to -2, while it is written), and first
  // paths are taken in list order, so every path after `index` still has the number it had at
  // the start: while the first path keeps its number its partners follow its own entry
  // directly; after a change the entries of the new number are looked up.
  const std::size_t place = position.empty() ? index : position[index];
  if (number == byCompound[place].first) return byCompound.begin() + place + 1;
  return std::lower_bound(byCompound.begin(), byCompound.end(),
                          std::pair<int32_t, uint32_t>{number, static_cast<uint32_t>(index + 1)});
}

// One figure: its first path and its partners (a range of byCompound).
struct Figure {
  uint32_t Head = 0;
  uint32_t PartnersBegin = 0, PartnersEnd = 0;
};

// The records of figures written by threads: the figures are found and counted in list order
// first (that is where the first paths' numbers and the Written flags change), then workers
// encode runs of figures into buffers that this thread hands to the sink in order.
DotCounts WriteInParallel(std::vector<tdotpath>& list, const CompoundIndex& byCompound,
                          const std::vector<uint32_t>& position, DotSink& sink, unsigned threads) {
  constexpr uint64_t ChunkRecords = 65536;
  DotCounts counts;
  std::vector<Figure> figures;
  std::vector<std::size_t> chunkStarts{0};  // the first figure of each run, then the end
  std::vector<uint64_t> chunkRecords;
  uint64_t records = 0;
  for (std::size_t i = 0; i < list.size(); ++i) {
    tdotpath& head = list[i];
    if (head.Written) continue;
    head.Written = true;
    const DotRecord header = HeaderRecord(head);
    RecordCounter counter;
    counter.Header(header);
    int64_t run = 0;
    if (PutPoints(head.Items, run, true, header, counter)) head.CompoundNo = -2;
    counts.Points += head.Count();
    Figure figure;
    figure.Head = static_cast<uint32_t>(i);
    if (head.Closed || head.Filled) {
      auto it = FirstPartner(byCompound, position, head.CompoundNo, i);
      figure.PartnersBegin = static_cast<uint32_t>(it - byCompound.begin());
      for (; it != byCompound.end() && it->first == head.CompoundNo; ++it) {
        tdotpath& partner = list[it->second];
        partner.Written = true;
        PutPoints(partner.Items, run, false, header, counter);
        counts.Points += partner.Count();
      }
      figure.PartnersEnd = static_cast<uint32_t>(it - byCompound.begin());
    }
    figures.push_back(figure);
    counts.Headers += counter.Headers;
    counts.Records += counter.Records;
    records += counter.Records;
    if (records >= ChunkRecords) {
      chunkStarts.push_back(figures.size());
      chunkRecords.push_back(records);
      records = 0;
    }
  }
  if (chunkStarts.back() != figures.size()) {
    chunkStarts.push_back(figures.size());
    chunkRecords.push_back(records);
  }

  const std::size_t chunks = chunkStarts.size() - 1;
  const std::size_t window = 2 * std::size_t{threads} + 2;
  std::vector<std::vector<unsigned char>> slots(window);
  OrderedChunks pool(chunks, threads, window, [&](std::size_t chunk, std::size_t slot) {
    std::vector<unsigned char>& buffer = slots[slot];
    buffer.resize(chunkRecords[chunk] * DotRecordSize);
    RecordEncoder out{buffer.data()};
    for (std::size_t f = chunkStarts[chunk]; f < chunkStarts[chunk + 1]; ++f) {
      const Figure& figure = figures[f];
      const tdotpath& head = list[figure.Head];
      const DotRecord header = HeaderRecord(head);
      out.Header(header);
      int64_t run = 0;
      PutPoints(head.Items, run, true, header, out);
      for (uint32_t k = figure.PartnersBegin; k < figure.PartnersEnd; ++k)
        PutPoints(list[byCompound[k].second].Items, run, false, header, out);
    }
  });
  for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
    const std::vector<unsigned char>& buffer = slots[pool.Wait(chunk)];
    sink.Write(buffer.data(), buffer.size());
    pool.Release();
  }
  return counts;
}

}  // namespace

DotCounts WriteDotRecords(std::vector<tdotpath>& list, DotSink& sink) {
  for (tdotpath& path : list)
    path.Written = false;

  // The partners of a figure's first path H at index i are the later paths whose CompoundNo
  // equals H's. Only a figure's first path changes its CompoundNo (to -2, while it is written),
  // and first paths are taken in list order, so every path after i still has the number it had
  // at the start: one list of (number, index) in order finds the partners without a scan.
  // While H keeps its number they follow H's own entry directly (Position); after a change the
  // entries of the new number are looked up.
  std::vector<std::pair<int32_t, uint32_t>> byCompound(list.size());
  for (std::size_t i = 0; i < list.size(); ++i)
    byCompound[i] = {list[i].CompoundNo, static_cast<uint32_t>(i)};
  std::vector<uint32_t> position;  // index -> place in byCompound; none when that is the index
  if (!std::is_sorted(byCompound.begin(), byCompound.end())) {
    std::sort(byCompound.begin(), byCompound.end());
    position.resize(list.size());
    for (std::size_t k = 0; k < byCompound.size(); ++k)
      position[byCompound[k].second] = static_cast<uint32_t>(k);
  }
  if (const unsigned threads = ThreadCount(); threads > 1 && list.size() > 1)
    return WriteInParallel(list, byCompound, position, sink, threads);

  RecordWriter out(sink);
  DotCounts counts;

  for (std::size_t i = 0; i < list.size(); ++i) {
    tdotpath& head = list[i];
    if (head.Written) continue;
    head.Written = true;
    const DotRecord header = HeaderRecord(head);
    out.Put(header);
    ++counts.Headers;

    int64_t run = 0;  // point records since the last header
    for (const Tdot& dot : head.Items) {
      if ((dot.Kind < 2 || run > HardRunLimit) && run > SoftRunLimit) {
        out.Put(header);
        ++counts.Headers;
        run = 0;
        head.CompoundNo = -2;
      }
      out.Put(PointRecord(dot));
      ++run;
    }
    counts.Points += head.Count();

    if (!head.Closed && !head.Filled) continue;  // an open, unfilled path joins nothing
    const std::pair<int32_t, uint32_t> key{head.CompoundNo, static_cast<uint32_t>(i + 1)};
    auto first = head.CompoundNo == byCompound[position.empty() ? i : position[i]].first
                     ? byCompound.begin() + (position.empty() ? i : position[i]) + 1
                     : std::lower_bound(byCompound.begin(), byCompound.end(), key);
    for (auto it = first; it != byCompound.end() && it->first == key.first; ++it) {
      tdotpath& partner = list[it->second];
      partner.Written = true;
      for (const Tdot& dot : partner.Items) {
        if (dot.Kind < 2 && run > SoftRunLimit) {
          out.Put(header);
          ++counts.Headers;
          run = 0;
        }
        out.Put(PointRecord(dot));
        ++run;
      }
      counts.Points += partner.Count();
    }
  }
  out.Flush();
  counts.Records = out.Records();
  return counts;
}

DotCounts WriteDotFile(ConversionResult& output, const std::string& fileName, Progress& progress) {
  std::error_code ignored;
  std::filesystem::remove(fileName, ignored);  // a failure shows when the new file is made
  progress.ShowStatus("Generating Output");

  // A new file beside the target, so that the final rename stays within one directory.
  std::string temp;
  std::FILE* file = nullptr;
  int error = 0;
  for (int n = 0; n < 1000 && !file; ++n) {
    temp = fileName + ".part" + std::to_string(n);
    errno = 0;
    file = std::fopen(temp.c_str(), "wbx");
    error = errno;
    if (!file && error != EEXIST) break;
  }
  if (!file) throw SystemError(error ? error : EIO, "Cannot create the file \"" + fileName + "\"");

  try {
    FileSink sink(file, fileName);
    const DotCounts counts = WriteDotRecords(output.OutputList, sink);
    std::FILE* closing = std::exchange(file, nullptr);
    errno = 0;
    if (std::fclose(closing) != 0)
      throw SystemError(errno ? errno : EIO, "Cannot write the file \"" + fileName + "\"");
    std::error_code ec;
    std::filesystem::rename(temp, fileName, ec);
    if (ec) throw std::system_error(ec, "Cannot save the file \"" + fileName + "\"");
    return counts;
  } catch (...) {
    if (file) std::fclose(file);
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    throw;
  }
}

DotCheck CheckDotStructure(std::string_view bytes) {
  DotCheck check;
  if (bytes.size() % DotRecordSize != 0) {
    check.Problem = "the size (" + std::to_string(bytes.size()) +
                    " bytes) is not a multiple of 10: the last record is cut off";
    return check;
  }
  if (bytes.empty()) {
    check.Problem = "the file holds no records";
    return check;
  }
  for (std::size_t offset = 0; offset < bytes.size(); offset += DotRecordSize) {
    const DotRecord r =
        DecodeDotRecord(reinterpret_cast<const unsigned char*>(bytes.data() + offset));
    ++check.Counts.Records;
    if (r.Kind < 0 || r.Kind > 3) {
      check.Problem = "offset " + std::to_string(offset) + ": kind " + std::to_string(r.Kind) +
                      " is not one of 0 (header), 1, 2 and 3 (points)";
      return check;
    }
    if (offset == 0 && r.Kind != 0) {
      check.Problem =
          "offset 0: the first record is not a header (kind " + std::to_string(r.Kind) + ")";
      return check;
    }
    if (r.Kind == 0) {
      ++check.Counts.Headers;
      if (r.B < 0 || r.B > 3) {
        check.Problem = "offset " + std::to_string(offset) + ": header flags " +
                        std::to_string(r.B) + " are not 0 to 3";
        return check;
      }
    } else {
      ++check.Counts.Points;
    }
  }
  check.Ok = true;
  return check;
}

}  // namespace aiimport
