// The decoded bytes of a PDF content stream and the tokens read from them. qpdf's tokenizer
// (QPDFTokenizer) decides every token; the only thing done here is the common case that needs
// no decision: a run of plain characters (letters, digits, "+-.*'\"" and the like) between two
// blanks is an operand number or an operator name, and it is taken without a call into the
// library. Anything else (names, strings, arrays, dictionaries, comments, inline image data,
// unusual bytes, a run that meets the end of a piece) goes to qpdf from the token's start. The
// two ways give the same tokens; ScanMode::QpdfOnly reads everything through qpdf, and the tests
// and the fuzz target compare them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QPDFTokenizer;
class InputSource;

namespace aiimport {

class ContentBuffer;

// limit + 1 without wrapping: a buffer that holds one byte more than reading may read.
constexpr uint64_t OneOver(uint64_t limit) {
  return limit == ~uint64_t{0} ? limit : limit + 1;
}

// Where a content buffer's bytes come from when they are made as reading goes on (streams
// inflated piece by piece).
class ContentSource {
 public:
  virtual ~ContentSource() = default;
  // Appends more bytes to `out` (at least one, unless it has none left or `out` is full);
  // false once it has no more.
  virtual bool Produce(ContentBuffer& out) = 0;
  // How far it is, in bytes of its input (for the progress bar).
  virtual uint64_t InputDone() const = 0;
  virtual uint64_t InputTotal() const = 0;
};

// Decoded content, kept in pieces so that growing never copies, and so that the pieces already
// read can be freed while reading goes on. Holds at most `limit` bytes in all: Append refuses
// more. With a source, the bytes are made when they are first asked for, into a few pieces of
// memory used over and over.
class ContentBuffer {
 public:
  explicit ContentBuffer(uint64_t limit = uint64_t{1} << 30) : limit_(limit) {}
  ~ContentBuffer();
  ContentBuffer(const ContentBuffer&) = delete;
  ContentBuffer& operator=(const ContentBuffer&) = delete;

  void SetSource(std::unique_ptr<ContentSource> source);

  // Bytes so far (with a source: made so far).
  uint64_t Size() const { return size_; }
  uint64_t Limit() const { return limit_; }
  // Whether byte `offset` exists, making bytes as needed.
  bool Has(uint64_t offset);
  // Whether an Append met the limit and dropped bytes.
  bool Overflowed() const { return overflowed_; }
  // Set when the data stopped decoding part way: what came before is there.
  void MarkDamaged() { damaged_ = true; }
  // Set by a source that had more bytes than the limit allows.
  void MarkOverflowed() { overflowed_ = true; }
  bool Damaged() const { return damaged_; }

  // Appends up to the limit; returns false when some bytes did not fit (they are dropped).
  bool Append(const char* data, std::size_t n);
  // Writable room after the last byte (empty at the limit), and taking n bytes of it.
  std::pair<char*, std::size_t> Room();
  void Commit(std::size_t n);
  // Drops every byte from `size` on (the data of a stream that turned out to be unusable).
  void Truncate(uint64_t size);

  // The piece that holds byte `offset`: its first byte's offset and its bytes. Empty when that
  // byte is not there (not made, or freed).
  struct Piece {
    uint64_t Start = 0;
    std::string_view Bytes;
  };
  Piece PieceAt(uint64_t offset) const;
  // Frees every piece that ends at or before `offset`.
  void FreeBefore(uint64_t offset);
  // Copies up to n bytes from `offset` on, making bytes as needed; fewer at the end or where
  // pieces were freed.
  std::size_t CopyOut(uint64_t offset, char* out, std::size_t n);

  // For the progress bar: how much of the content (or of its source's input) is behind
  // `position`, and of how much.
  uint64_t ProgressDone(uint64_t position) const;
  uint64_t ProgressTotal() const;

 private:
  struct Chunk {
    std::unique_ptr<char[]> Data;
    uint64_t Start = 0;
    std::size_t Used = 0;
    std::size_t Capacity = 0;
  };
  std::size_t ChunkIndex(uint64_t offset) const;
  void AddChunk();

  std::vector<Chunk> chunks_;
  std::size_t firstLive_ = 0;  // chunks before this one are freed
  uint64_t size_ = 0;
  uint64_t limit_;
  bool overflowed_ = false;
  bool damaged_ = false;
  std::unique_ptr<ContentSource> source_;
  bool sourceDone_ = true;
  std::unique_ptr<char[]> spare_;  // a freed piece kept for the source's next one
};

// The content of a page or form made of its streams' stored data as reading goes on: each
// stream's bytes as they are, or inflated (zlib), one after another with a line break between
// them. A stream that stops inflating part way marks the content damaged; what came before
// stays.
class StreamSegments final : public ContentSource {
 public:
  StreamSegments();
  ~StreamSegments() override;
  // `data` holds a stream's stored bytes; `inflate` when they are zlib data (/FlateDecode).
  void Add(std::unique_ptr<ContentBuffer> data, bool inflate);
  bool Produce(ContentBuffer& out) override;
  uint64_t InputDone() const override { return done_ + position_; }
  uint64_t InputTotal() const override { return total_; }

 private:
  bool Inflate(ContentBuffer& out);
  void NextSegment();

  struct Segment {
    std::unique_ptr<ContentBuffer> Data;
    bool Inflate = false;
  };
  std::vector<Segment> segments_;
  std::size_t current_ = 0;
  uint64_t position_ = 0;  // in the current segment's data
  uint64_t done_ = 0;      // data of the segments before it
  uint64_t total_ = 0;
  bool separator_ = false;  // a line break is due before the current segment
  struct Zlib;
  std::unique_ptr<Zlib> zlib_;
};

enum class ContentTokenKind : uint8_t {
  Number,       // an integer or real operand
  Name,         // a name operand; Text holds it with its "/" and with #xx codes decoded
  Operator,     // a word that is not a number, true, false or null
  Other,        // any other single operand: a string, true, false, null
  ArrayOpen,    // [
  ArrayClose,   // ]
  DictOpen,     // <<
  DictClose,    // >>
  InlineImage,  // the data of an inline image (after "ID", up to and with "EI")
  Bad,          // something the tokenizer could not read (a stray ")", a name too long, ...)
};

struct ContentToken {
  ContentTokenKind Kind = ContentTokenKind::Bad;
  // Number: the nearest float32 of the decimal text, halves to even; NumberInRange is false
  // when the value lies beyond float32's finite range (it is then 0).
  float Number = 0;
  bool NumberInRange = true;
  // Operator and Name: the text. Valid until the next call of Next.
  std::string_view Text;
};

enum class ScanMode : uint8_t {
  Fast,      // plain runs taken directly, everything else through qpdf
  QpdfOnly,  // every token through qpdf's tokenizer
};

// Reads the tokens of a content buffer from the start. Pieces behind the reading position are
// freed as it moves on (the buffer is consumed).
class ContentScanner {
 public:
  ContentScanner(ContentBuffer& content, ScanMode mode);
  ~ContentScanner();
  ContentScanner(const ContentScanner&) = delete;
  ContentScanner& operator=(const ContentScanner&) = delete;

  // The next token; false at the end of the content.
  bool Next(ContentToken& token);
  // Bytes read so far.
  uint64_t Position() const { return position_; }

  // The longest token handed to qpdf: longer ones read as Bad.
  static constexpr std::size_t MaxTokenBytes = std::size_t{16} << 20;

 private:
  bool NextThroughQpdf(ContentToken& token);
  bool ReadInlineImage(ContentToken& token);

  ContentBuffer& content_;
  ScanMode mode_;
  uint64_t position_ = 0;
  // The piece being read: its bytes and where it starts.
  const char* piece_ = nullptr;
  uint64_t pieceStart_ = 0;
  std::size_t pieceSize_ = 0;
  bool afterImageStart_ = false;  // the last operator was "ID": image data follows

  std::shared_ptr<InputSource> input_;
  std::unique_ptr<QPDFTokenizer> tokenizer_;
  std::string text_;  // the last token's text when it came from qpdf
};

// The tokens of a content buffer for the page reader's interpreter: read by a ContentScanner on
// the calling thread, or, with `ahead`, on a thread of their own a few thousand tokens ahead
// (the buffer's source, inflating, runs there too). Either way the tokens, their order and
// their positions are the same.
class ContentTokens {
 public:
  ContentTokens(std::unique_ptr<ContentBuffer> content, ScanMode mode, bool ahead);
  ~ContentTokens();
  ContentTokens(const ContentTokens&) = delete;
  ContentTokens& operator=(const ContentTokens&) = delete;

  // The next token (its text valid until the next call); false at the end.
  bool Next(ContentToken& token);
  // Where the last token ended.
  uint64_t Position() const { return position_; }
  // For the progress bar: how far reading is in the content's stored bytes, and of how many.
  uint64_t ProgressDone() const;
  uint64_t ProgressTotal() const { return total_; }
  // Known once Next has returned false: the content stopped decoding part way, or met its
  // buffer's limit.
  bool Damaged() const;
  bool Overflowed() const;
  // The content's bytes (known once Next has returned false).
  uint64_t ContentSize() const;

 private:
  struct Worker;
  std::unique_ptr<ContentBuffer> content_;
  std::unique_ptr<ContentScanner> scanner_;  // reading here
  std::unique_ptr<Worker> worker_;           // reading ahead
  uint64_t position_ = 0;
  uint64_t total_ = 0;
};

// The float32 of a PDF number's text ([+-]? digits with at most one point, at least one digit):
// the nearest value, halves to even. `inRange` false when the value is beyond float32's finite
// range (it then returns 0). Text that is no PDF number gives 0.
float PdfNumberValue(std::string_view text, bool& inRange);

}  // namespace aiimport
