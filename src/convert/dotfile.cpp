#include "dotfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

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
  out[0] = static_cast<unsigned char>(kind);
  out[1] = static_cast<unsigned char>(kind >> 8);
  PutLittleEndian32(out + 2, record.A);
  PutLittleEndian32(out + 6, record.B);
}

DotRecord DecodeDotRecord(const unsigned char* in) {
  const uint16_t kind = static_cast<uint16_t>(in[0] | in[1] << 8);
  return {static_cast<int16_t>(kind), GetLittleEndian32(in + 2), GetLittleEndian32(in + 6)};
}

DotCounts WriteDotRecords(std::vector<tdotpath>& list, DotSink& sink) {
  RecordWriter out(sink);
  DotCounts counts;
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
