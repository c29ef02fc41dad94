// Unpacking Illustrator's own drawing data, shared by every route that finds it packed: the
// private data of PDF-based files and the data block of EPS files saved by Illustrator CS and
// later. One set of decoders for all of them: qpdf's ASCII85 and stream filters, zlib, and
// Zstandard, each bounded by the same size limit and reporting the same plain-words messages.
//
// This header is also compiled as C++17 (see CMakeLists.txt): keep it free of C++20.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QPDFObjectHandle;

namespace aiimport {

// How the drawing text was kept.
enum class DataCoding {
  Plain,      // as it is
  Zlib,       // one zlib stream
  Zstandard,  // Zstandard frames, one after another
};

struct UnpackLimits {
  // Refuse a drawing whose text (or whose packed data) is larger than this, so that a small
  // hostile file cannot make us fill the memory.
  uint64_t MaxTextBytes = uint64_t{1} << 30;
};

// A reason why a file gives no text; its what() is the message for the user.
class UnpackProblem : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The messages, for a file of the given kind ("PDF", "EPS").
std::string DamagedDataMessage(std::string_view fileKind);
std::string UndecodableMessage(std::string_view fileKind);
std::string MemoryMessage(std::string_view fileKind);
// A size limit in words: "1 GB", "64 MB" when it is a whole number of them, else "N bytes".
std::string LimitText(uint64_t limit);

std::string TooLargeMessage(std::string_view fileKind, uint64_t limit);

// Bytes of unknown final length, kept in pieces so that growing never copies what is already
// there; Assemble makes them one block at the end. Holds at most limit + 1 bytes: reaching
// more than the limit throws UnpackProblem(TooLargeMessage). `fileKind` must outlive the list
// (a literal).
class ChunkList {
 public:
  ChunkList(uint64_t limit, std::string_view fileKind) : limit_(limit), fileKind_(fileKind) {}

  uint64_t Size() const { return size_; }
  uint64_t Limit() const { return limit_; }
  std::string_view FileKind() const { return fileKind_; }

  // Writable room after the last byte: at least one byte.
  std::pair<char*, std::size_t> Room();

  // Takes `n` bytes written into the room as part of the data.
  void Commit(std::size_t n);

  void Append(const char* data, std::size_t n);

  // Copies the first `n` bytes to the end of `out`.
  void CopyPrefixTo(ChunkList& out, uint64_t n) const;

  // Position of the first occurrence of `text` (not empty), or npos; an occurrence may span
  // pieces.
  uint64_t Find(std::string_view text) const;

  // Hands the bytes from position `from` on to sink(data, size) piece by piece, freeing each
  // piece once it is handed over. The list is empty afterwards.
  template <class Sink>
  void Consume(uint64_t from, Sink&& sink) {
    for (Chunk& c : chunks_) {
      const std::size_t skip = static_cast<std::size_t>(from < c.Used ? from : c.Used);
      from -= skip;
      if (c.Used > skip) sink(c.Data.get() + skip, c.Used - skip);
      c.Data.reset();
    }
    Clear();
  }

  // The bytes as one block of exactly Size() bytes; the pieces are freed one by one.
  std::unique_ptr<char[]> Assemble();

  void Clear();

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
  std::string_view fileKind_;
};

// Appends the decoded data of one PDF stream (its filters undone by qpdf). A stream whose
// filters qpdf cannot undo throws UnpackProblem(DamagedDataMessage).
void AppendStreamData(QPDFObjectHandle& stream, ChunkList& out);

// Receives pieces of text; see DecodeAscii85.
using PieceWriter = std::function<void(const char* data, std::size_t size)>;

// Decodes ASCII85 text with qpdf's own decoder (the one it uses for /ASCII85Decode streams)
// and appends the bytes to `out`. `produce` hands the text to its argument piece by piece; the
// pieces are decoded as one text (white space between them is skipped, "~>" ends the data).
// Text that is not ASCII85 throws UnpackProblem(DamagedDataMessage).
void DecodeAscii85(const std::function<void(const PieceWriter&)>& produce, ChunkList& out);

// Unpacks the bytes of `in` from position `from` on and appends the result to `out`; `in` is
// emptied as it goes. Data that do not unpack, or stop early, throw
// UnpackProblem(UndecodableMessage).
void Inflate(ChunkList& in, uint64_t from, ChunkList& out);
void DecompressZstd(ChunkList& in, uint64_t from, ChunkList& out);

}  // namespace aiimport
