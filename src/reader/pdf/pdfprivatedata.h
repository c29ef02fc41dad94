// What the Illustrator reading needs of a PDF file through qpdf, which stays inside this folder:
// the private data of a PDF-based Illustrator file's first page, and PDF's ASCII85 filter for
// the data block of an EPS file. Read as C++17 by the file that uses qpdf's object headers (they
// do not compile as C++20 with clang), so only plain types appear here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>

namespace aiimport {

// Where decoded bytes go: writable room (at least one byte), then how much of it was filled.
// What it throws stops the decoding and reaches the caller unchanged.
class ByteWriter {
 public:
  virtual ~ByteWriter() = default;
  virtual std::pair<char*, std::size_t> Room() = 0;
  virtual void Commit(std::size_t n) = 0;
  // Room and Commit until all n bytes are in.
  void Write(const char* data, std::size_t n);
};

enum class PdfPrivateDataStatus : uint8_t {
  Read,         // every block was decoded
  NoData,       // the first page names no Illustrator private data
  DataDamaged,  // a block is missing, is no stream, or does not decode
  FileDamaged,  // not a readable PDF file
  Password,     // it needs a password
};

struct PdfPrivateData {
  PdfPrivateDataStatus Status = PdfPrivateDataStatus::NoData;
  std::size_t Blocks = 0;  // private-data blocks read (not counting /AIMetaData)
};

// The first page's /PieceInfo -> /Illustrator -> /Private (or /Illustrator itself): /AIMetaData,
// then /AIPrivateData1 ... /AIPrivateDataN (or /AIPDFPrivateData1 ...), as many as /NumBlock
// says or, without it, as follow one another, each decoded by its filters, into `out` in that
// order. The PDF library's warnings are kept quiet; std::bad_alloc and what `out` throws reach
// the caller.
PdfPrivateData ReadPdfPrivateData(const char* data, std::size_t size, ByteWriter& out);

// Receives pieces of text.
using PieceWriter = std::function<void(const char* data, std::size_t size)>;

// Decodes ASCII85 text as PDF's /ASCII85Decode filter does, into `out`: `produce` hands the
// text to its argument piece by piece, and the pieces are one text (white space between them is
// skipped, "~>" ends the data). False when the text is not ASCII85. std::bad_alloc and what `out`
// throws reach the caller.
bool DecodeAscii85(const std::function<void(const PieceWriter&)>& produce, ByteWriter& out);

}  // namespace aiimport
