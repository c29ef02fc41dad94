// Unpacking Illustrator's own drawing data, shared by every route that finds it packed: the
// private data of PDF-based files and the data block of EPS files saved by Illustrator CS and
// later. One set of decoders for all of them: zlib and Zstandard here, ASCII85 and the PDF
// stream filters through the PDF reader, each bounded by the same size limit and reporting the
// same plain-words messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pdfprivatedata.h"

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

// Illustrator's own drawing as a file holds it (a PDF-based file's private data, the data block
// of an EPS file), unpacked.
struct IllustratorData {
  // The file holds Illustrator drawing data, or is too damaged to tell. When not, the page it
  // draws is what there is to read.
  bool Found = false;
  bool Ok = false;  // it unpacked: Text holds the drawing
  std::unique_ptr<char[]> Text;
  std::size_t Size = 0;
  DataCoding Coding = DataCoding::Plain;  // how it was packed (when found)
  std::size_t Blocks = 0;  // a PDF's private-data blocks read (not counting /AIMetaData)
  std::string Message;     // why there is no text, in plain words (when not Ok)

  std::string_view View() const { return {Text.get(), Size}; }
};

// A reason why a file gives no text; its what() is the message for the user.
class UnpackProblem : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The messages, for a file of the given kind ("PDF", "EPS").
std::string DamagedDataMessage(std::string_view fileKind);
std::string UndecodableMessage(std::string_view fileKind);
std::string TooLargeMessage(std::string_view fileKind, uint64_t limit);

// Runs unpack(), which fills `data`'s text and sets Ok. An UnpackProblem that stops it becomes
// the message; any other exception but std::bad_alloc (which reaches the caller) the message
// `otherwise`. No text is kept when it is not Ok.
template <class Unpack>
void Unpacking(IllustratorData& data, const std::string& otherwise, Unpack&& unpack) {
  try {
    unpack();
  } catch (const UnpackProblem& e) {
    data.Message = e.what();
  } catch (const std::bad_alloc&) {
    throw;
  } catch (...) {
    data.Message = otherwise;
  }
  if (!data.Ok) {
    data.Text.reset();
    data.Size = 0;
  }
}

// Bytes of unknown final length, kept in pieces so that growing never copies what is already
// there; Assemble makes them one block at the end. Holds at most limit + 1 bytes: reaching
// more than the limit throws UnpackProblem(TooLargeMessage). `fileKind` must outlive the list
// (a literal).
class ChunkList final : public ByteWriter {
 public:
  ChunkList(uint64_t limit, std::string_view fileKind) : limit_(limit), fileKind_(fileKind) {}

  uint64_t Size() const { return size_; }
  uint64_t Limit() const { return limit_; }
  std::string_view FileKind() const { return fileKind_; }

  // Writable room after the last byte: at least one byte.
  std::pair<char*, std::size_t> Room() override;

  // Takes `n` bytes written into the room as part of the data.
  void Commit(std::size_t n) override;

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

// Unpacks the bytes of `in` from position `from` on and appends the result to `out`; `in` is
// emptied as it goes. Data that do not unpack, or stop early, throw
// UnpackProblem(UndecodableMessage).
void Inflate(ChunkList& in, uint64_t from, ChunkList& out);
void DecompressZstd(ChunkList& in, uint64_t from, ChunkList& out);

}  // namespace aiimport
