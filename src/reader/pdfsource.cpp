#include "pdfsource.h"

#include <zlib.h>
#include <zstd.h>
#include <zstd_errors.h>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <algorithm>
#include <cstring>
#include <new>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

namespace aiimport {

namespace {

constexpr std::string_view ZlibMarker = "%AI12_CompressedData";
constexpr std::string_view ZstdMarker = "%AI24_ZStandard_Data";

// What the user reads in the status bar (and the command line on stderr).
constexpr const char* NoDrawingMessage = "This PDF file holds no Illustrator drawing data";
constexpr const char* DamagedPdfMessage =
    "This PDF file is damaged or incomplete and cannot be read";
constexpr const char* PasswordMessage = "This PDF file is protected by a password";
constexpr const char* DamagedDataMessage =
    "The Illustrator drawing data in this PDF file is damaged or incomplete";
constexpr const char* UndecodableMessage =
    "The Illustrator drawing data in this PDF file does not decompress: it is damaged or "
    "incomplete";
constexpr const char* MemoryMessage =
    "There is not enough memory to unpack the Illustrator drawing data of this PDF file";

// A reason why the file gives no text; its what() is the message for the user.
class PdfProblem : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string TooLargeMessage(uint64_t limit) {
  std::string size;
  if (limit >= (uint64_t{1} << 30) && limit % (uint64_t{1} << 30) == 0)
    size = std::to_string(limit >> 30) + " GB";
  else if (limit >= (uint64_t{1} << 20) && limit % (uint64_t{1} << 20) == 0)
    size = std::to_string(limit >> 20) + " MB";
  else
    size = std::to_string(limit) + " bytes";
  return "The Illustrator drawing data in this PDF file unpacks to more than " + size +
         ": it is not read";
}

// Bytes of unknown final length, kept in pieces so that growing never copies what is already
// there; Assemble makes them one block at the end. Holds at most limit + 1 bytes: reaching
// more than the limit throws.
class ChunkList {
 public:
  explicit ChunkList(uint64_t limit) : limit_(limit) {}

  uint64_t Size() const { return size_; }

  // Writable room after the last byte: at least one byte.
  std::pair<char*, std::size_t> Room() {
    if (chunks_.empty() || chunks_.back().Used == chunks_.back().Capacity) {
      // Each new piece a quarter of everything so far, between 64 KiB and 4 MiB, so that the
      // unused end of the last piece stays small; never more than one byte past the limit.
      uint64_t capacity = std::clamp<uint64_t>(size_ / 4, uint64_t{1} << 16, uint64_t{1} << 22);
      capacity = std::min(capacity, limit_ - std::min(size_, limit_) + 1);
      Chunk chunk;
      chunk.Data = std::unique_ptr<char[]>(new char[static_cast<std::size_t>(capacity)]);
      chunk.Capacity = static_cast<std::size_t>(capacity);
      chunks_.push_back(std::move(chunk));
    }
    Chunk& last = chunks_.back();
    return {last.Data.get() + last.Used, last.Capacity - last.Used};
  }

  // Takes `n` bytes written into the room as part of the data.
  void Commit(std::size_t n) {
    chunks_.back().Used += n;
    size_ += n;
    if (size_ > limit_) throw PdfProblem(TooLargeMessage(limit_));
  }

  void Append(const char* data, std::size_t n) {
    while (n > 0) {
      const auto [room, space] = Room();
      const std::size_t take = std::min(n, space);
      std::memcpy(room, data, take);
      Commit(take);
      data += take;
      n -= take;
    }
  }

  // Copies the first `n` bytes to the end of `out`.
  void CopyPrefixTo(ChunkList& out, uint64_t n) const {
    for (const Chunk& c : chunks_) {
      if (n == 0) break;
      const std::size_t take = static_cast<std::size_t>(std::min<uint64_t>(n, c.Used));
      out.Append(c.Data.get(), take);
      n -= take;
    }
  }

  // Position of the first occurrence of `text` (not empty), or npos; an occurrence may span
  // pieces.
  uint64_t Find(std::string_view text) const {
    std::string carry;   // the last text.size() - 1 bytes before the current piece
    uint64_t start = 0;  // position of the current piece
    for (const Chunk& c : chunks_) {
      const std::string_view piece(c.Data.get(), c.Used);
      if (!carry.empty()) {
        std::string window = carry;
        window.append(piece.substr(0, text.size() - 1));
        const std::size_t at = window.find(text);
        if (at != std::string::npos) return start - carry.size() + at;
      }
      const std::size_t at = piece.find(text);
      if (at != std::string_view::npos) return start + at;
      carry.append(piece.substr(piece.size() - std::min(piece.size(), text.size() - 1)));
      if (carry.size() > text.size() - 1) carry.erase(0, carry.size() - (text.size() - 1));
      start += c.Used;
    }
    return npos;
  }

  // Hands the bytes from position `from` on to sink(data, size) piece by piece, freeing each
  // piece once it is handed over. The list is empty afterwards.
  template <class Sink>
  void Consume(uint64_t from, Sink&& sink) {
    for (Chunk& c : chunks_) {
      const std::size_t skip = static_cast<std::size_t>(std::min<uint64_t>(from, c.Used));
      from -= skip;
      if (c.Used > skip) sink(c.Data.get() + skip, c.Used - skip);
      c.Data.reset();
    }
    Clear();
  }

  // The bytes as one block of exactly Size() bytes; the pieces are freed one by one.
  std::unique_ptr<char[]> Assemble() {
    auto text = std::unique_ptr<char[]>(new char[static_cast<std::size_t>(size_)]);
    std::size_t at = 0;
    for (Chunk& c : chunks_) {
      if (c.Used) std::memcpy(text.get() + at, c.Data.get(), c.Used);
      at += c.Used;
      c.Data.reset();
    }
    Clear();
    return text;
  }

  void Clear() {
    chunks_.clear();
    chunks_.shrink_to_fit();
    size_ = 0;
  }

  static constexpr uint64_t npos = ~uint64_t{0};

 private:
  struct Chunk {
    std::unique_ptr<char[]> Data;
    std::size_t Used = 0;
    std::size_t Capacity = 0;
  };
  std::vector<Chunk> chunks_;
  uint64_t size_ = 0;
  uint64_t limit_;
};

// The end of qpdf's decoding pipeline: the decoded stream bytes go straight into the list.
// qpdf catches what a pipeline throws and only reports failure, so the reason is kept here.
class CollectPipeline : public Pipeline {
 public:
  explicit CollectPipeline(ChunkList& out)
      : Pipeline("Illustrator private data", nullptr), out_(out) {}

  void write(unsigned char const* data, size_t len) override {
    if (!problem_.empty()) throw PdfProblem(problem_);
    try {
      out_.Append(reinterpret_cast<const char*>(data), len);
    } catch (const PdfProblem& e) {
      problem_ = e.what();
      throw;
    } catch (const std::bad_alloc&) {
      problem_ = MemoryMessage;
      throw PdfProblem(problem_);
    }
  }
  void finish() override {}

  const std::string& Problem() const { return problem_; }

 private:
  ChunkList& out_;
  std::string problem_;
};

bool HasFilters(QPDFObjectHandle dict) {
  if (!dict.isDictionary()) return false;
  QPDFObjectHandle filter = dict.getKey("/Filter");
  if (filter.isName()) return true;
  return filter.isArray() && filter.getArrayNItems() > 0;
}

// Appends the decoded data of one stream.
void AppendStream(QPDFObjectHandle stream, ChunkList& out) {
  CollectPipeline sink(out);
  bool filtered = false;
  const bool ok = stream.pipeStreamData(&sink, &filtered, 0, qpdf_dl_specialized, true, false);
  if (!sink.Problem().empty()) throw PdfProblem(sink.Problem());
  // A filter the library cannot undo gives the raw bytes: those are no text of ours.
  if (!ok || (!filtered && HasFilters(stream.getDict()))) throw PdfProblem(DamagedDataMessage);
}

// The first page in page-tree order: depth first through /Kids. Every indirect object (node or
// kids array) is opened once, so a tree that refers back to itself, directly or through an
// inline node in a shared kids array, ends, and the work stays in proportion to the file.
QPDFObjectHandle FirstPage(QPDF& pdf) {
  std::set<QPDFObjGen> seen;
  auto firstVisit = [&seen](QPDFObjectHandle& h) {
    return !h.isIndirect() || seen.insert(h.getObjGen()).second;
  };
  std::vector<QPDFObjectHandle> pending{pdf.getRoot().getKey("/Pages")};
  while (!pending.empty()) {
    QPDFObjectHandle node = pending.back();
    pending.pop_back();
    if (!node.isDictionary() || !firstVisit(node)) continue;
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (kids.isArray()) {
      if (firstVisit(kids)) {
        for (int i = kids.getArrayNItems(); i-- > 0;)
          pending.push_back(kids.getArrayItem(i));
      }
      continue;
    }
    QPDFObjectHandle type = node.getKey("/Type");
    if (type.isName() && type.getName() == "/Pages") continue;  // an empty branch
    return node;
  }
  return QPDFObjectHandle::newNull();
}

// Reads /AIMetaData and the private-data blocks of the first page into `joined`; returns the
// number of blocks.
std::size_t ReadPrivateData(QPDF& pdf, ChunkList& joined) {
  QPDFObjectHandle page = FirstPage(pdf);
  if (!page.isDictionary()) throw PdfProblem(NoDrawingMessage);
  QPDFObjectHandle pieceInfo = page.getKey("/PieceInfo");
  if (!pieceInfo.isDictionary()) throw PdfProblem(NoDrawingMessage);
  QPDFObjectHandle illustrator = pieceInfo.getKey("/Illustrator");
  if (!illustrator.isDictionary()) throw PdfProblem(NoDrawingMessage);
  QPDFObjectHandle data = illustrator.getKey("/Private");
  if (!data.isDictionary()) data = illustrator;

  std::string prefix;
  for (const char* name : {"/AIPrivateData", "/AIPDFPrivateData"}) {
    if (data.hasKey(std::string(name) + "1")) {
      prefix = name;
      break;
    }
  }
  if (prefix.empty()) throw PdfProblem(NoDrawingMessage);

  // /NumBlock says how many blocks there are; without it they are counted.
  int64_t declared = -1;
  QPDFObjectHandle numBlock = data.getKey("/NumBlock");
  if (numBlock.isInteger() && numBlock.getIntValue() > 0) declared = numBlock.getIntValue();

  QPDFObjectHandle meta = data.getKey("/AIMetaData");
  if (meta.isStream()) AppendStream(meta, joined);

  std::size_t blocks = 0;
  for (int64_t n = 1; declared < 0 || n <= declared; ++n) {
    const std::string key = prefix + std::to_string(n);
    if (!data.hasKey(key)) {
      if (declared < 0) break;
      throw PdfProblem(DamagedDataMessage);  // fewer blocks than /NumBlock says
    }
    QPDFObjectHandle block = data.getKey(key);
    if (!block.isStream()) throw PdfProblem(DamagedDataMessage);
    AppendStream(block, joined);
    ++blocks;
  }
  return blocks;
}

void Inflate(ChunkList& in, uint64_t from, ChunkList& out) {
  z_stream zs{};
  // 15 + 32: a zlib stream (or a gzip one) with any window size.
  if (inflateInit2(&zs, 15 + 32) != Z_OK) throw PdfProblem(MemoryMessage);
  struct End {
    z_stream& zs;
    ~End() { inflateEnd(&zs); }
  } end{zs};
  bool ended = false;
  auto step = [&]() {
    const auto [room, space] = out.Room();
    zs.next_out = reinterpret_cast<Bytef*>(room);
    zs.avail_out = static_cast<uInt>(space);
    const uInt inBefore = zs.avail_in;
    const int r = inflate(&zs, Z_NO_FLUSH);
    const std::size_t produced = space - zs.avail_out;
    out.Commit(produced);
    if (r == Z_STREAM_END) {
      ended = true;
    } else if (r == Z_MEM_ERROR) {
      throw PdfProblem(MemoryMessage);
    } else if (r != Z_OK && r != Z_BUF_ERROR) {
      throw PdfProblem(UndecodableMessage);
    }
    return produced > 0 || zs.avail_in != inBefore;  // progress
  };
  in.Consume(from, [&](const char* data, std::size_t size) {
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    zs.avail_in = static_cast<uInt>(size);  // pieces are at most 4 MiB
    while (!ended && zs.avail_in > 0) {
      if (!step()) throw PdfProblem(UndecodableMessage);
    }
  });
  // Output still held inside zlib once all input is in.
  while (!ended && step()) {
  }
  if (!ended) throw PdfProblem(UndecodableMessage);  // the stream is cut short
}

void DecompressZstd(ChunkList& in, uint64_t from, ChunkList& out) {
  if (in.Size() <= from) throw PdfProblem(UndecodableMessage);
  std::unique_ptr<ZSTD_DCtx, decltype(&ZSTD_freeDCtx)> ctx(ZSTD_createDCtx(), &ZSTD_freeDCtx);
  if (!ctx) throw PdfProblem(MemoryMessage);
  // What the last call said: 0 once a frame is complete and everything is flushed.
  std::size_t hint = 0;
  auto step = [&](ZSTD_inBuffer& input) {
    const auto [room, space] = out.Room();
    ZSTD_outBuffer output{room, space, 0};
    hint = ZSTD_decompressStream(ctx.get(), &output, &input);
    if (ZSTD_isError(hint)) {
      if (ZSTD_getErrorCode(hint) == ZSTD_error_memory_allocation) throw PdfProblem(MemoryMessage);
      throw PdfProblem(UndecodableMessage);
    }
    out.Commit(output.pos);
    return output.pos == output.size;  // the output was full: more may be waiting
  };
  // Frames follow one another; frames without a content size are fine for the stream decoder.
  in.Consume(from, [&](const char* data, std::size_t size) {
    ZSTD_inBuffer input{data, size, 0};
    while (input.pos < input.size)
      step(input);
  });
  ZSTD_inBuffer none{nullptr, 0, 0};
  while (hint != 0 && step(none)) {
  }
  if (hint != 0) throw PdfProblem(UndecodableMessage);  // the last frame is cut short
}

// Joined private data to text: unchanged without a marker, else the part before the marker
// followed by the decompressed rest.
ChunkList DecodeJoined(ChunkList& joined, uint64_t limit, PdfDataCoding& coding) {
  const uint64_t zlibAt = joined.Find(ZlibMarker);
  const uint64_t zstdAt = joined.Find(ZstdMarker);
  ChunkList text(limit);
  if (zlibAt == ChunkList::npos && zstdAt == ChunkList::npos) {
    coding = PdfDataCoding::Plain;
    std::swap(text, joined);
    return text;
  }
  const bool zstd = zstdAt < zlibAt;
  const uint64_t at = zstd ? zstdAt : zlibAt;
  coding = zstd ? PdfDataCoding::Zstandard : PdfDataCoding::Zlib;
  joined.CopyPrefixTo(text, at);
  if (zstd)
    DecompressZstd(joined, at + ZstdMarker.size(), text);
  else
    Inflate(joined, at + ZlibMarker.size(), text);
  return text;
}

PdfExtraction Extract(const char* data, std::size_t size, const PdfLimits& limits,
                      std::unique_ptr<char[]>* owned) {
  PdfExtraction result;
  try {
    ChunkList joined(limits.MaxTextBytes);
    {
      QPDF pdf;
      pdf.setSuppressWarnings(true);
      try {
        pdf.processMemoryFile("Illustrator file", data, size);
        result.Blocks = ReadPrivateData(pdf, joined);
        if (joined.Size() == 0) throw PdfProblem(NoDrawingMessage);  // only empty blocks
      } catch (const QPDFExc& e) {
        if (e.getErrorCode() == qpdf_e_password) throw PdfProblem(PasswordMessage);
        throw PdfProblem(DamagedPdfMessage);
      } catch (const PdfProblem&) {
        throw;
      } catch (const std::bad_alloc&) {
        throw PdfProblem(MemoryMessage);
      } catch (const std::exception&) {
        throw PdfProblem(DamagedPdfMessage);
      }
    }
    // The PDF itself is no longer needed.
    if (owned) owned->reset();
    ChunkList text = DecodeJoined(joined, limits.MaxTextBytes, result.Coding);
    joined.Clear();
    result.Size = static_cast<std::size_t>(text.Size());
    result.Text = text.Assemble();
    result.Ok = true;
  } catch (const PdfProblem& e) {
    result.Message = e.what();
  } catch (const std::bad_alloc&) {
    result.Message = MemoryMessage;
  } catch (...) {
    result.Message = DamagedPdfMessage;
  }
  if (!result.Ok) {
    result.Text.reset();
    result.Size = 0;
  }
  return result;
}

}  // namespace

bool IsPdfData(const char* data, std::size_t size) {
  return size >= 4 && std::memcmp(data, "%PDF", 4) == 0;
}

PdfExtraction ExtractIllustratorText(const char* data, std::size_t size, const PdfLimits& limits) {
  return Extract(data, size, limits, nullptr);
}

PdfExtraction ExtractIllustratorText(std::unique_ptr<char[]> data, std::size_t size,
                                     const PdfLimits& limits) {
  return Extract(data.get(), size, limits, &data);
}

}  // namespace aiimport
