#include "pdfcontent.h"

#include <zlib.h>
#include <qpdf/InputSource.hh>
#include <qpdf/QPDFTokenizer.hh>

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <optional>

#include "parallel.h"

namespace aiimport {

// ---------------------------------------------------------------------------------------------
// ContentBuffer

namespace {

// Pieces made by a source: all of this size, so that a freed one can be used again.
constexpr std::size_t SourcePieceBytes = std::size_t{1} << 20;

}  // namespace

ContentBuffer::~ContentBuffer() = default;

void ContentBuffer::SetSource(std::unique_ptr<ContentSource> source) {
  source_ = std::move(source);
  sourceDone_ = source_ == nullptr;
}

bool ContentBuffer::Has(uint64_t offset) {
  while (offset >= size_ && !sourceDone_) {
    if (overflowed_ || !source_->Produce(*this)) sourceDone_ = true;
  }
  return offset < size_;
}

void ContentBuffer::AddChunk() {
  Chunk chunk;
  std::size_t capacity;
  if (source_) {
    capacity = SourcePieceBytes;
    chunk.Data = spare_ ? std::move(spare_) : std::unique_ptr<char[]>(new char[capacity]);
  } else {
    // Each new piece a quarter of everything so far, between 64 KiB and 4 MiB: the unused end
    // of the last piece stays small, and the pieces stay few.
    capacity = static_cast<std::size_t>(
        std::clamp<uint64_t>(size_ / 4, uint64_t{1} << 16, uint64_t{1} << 22));
    capacity = static_cast<std::size_t>(std::min<uint64_t>(capacity, limit_ - size_));
    capacity = std::max<std::size_t>(capacity, 1);
    chunk.Data = std::unique_ptr<char[]>(new char[capacity]);
  }
  chunk.Start = size_;
  chunk.Capacity = capacity;
  chunks_.push_back(std::move(chunk));
}

std::pair<char*, std::size_t> ContentBuffer::Room() {
  const uint64_t allowed = limit_ - std::min(limit_, size_);
  if (allowed == 0) return {nullptr, 0};
  if (chunks_.empty() || chunks_.size() <= firstLive_ ||
      chunks_.back().Used == chunks_.back().Capacity)
    AddChunk();
  Chunk& last = chunks_.back();
  const std::size_t room =
      static_cast<std::size_t>(std::min<uint64_t>(last.Capacity - last.Used, allowed));
  return {last.Data.get() + last.Used, room};
}

void ContentBuffer::Commit(std::size_t n) {
  chunks_.back().Used += n;
  size_ += n;
}

bool ContentBuffer::Append(const char* data, std::size_t n) {
  while (n > 0) {
    const auto [room, space] = Room();
    if (space == 0) {
      overflowed_ = true;
      return false;
    }
    const std::size_t take = std::min(n, space);
    std::memcpy(room, data, take);
    Commit(take);
    data += take;
    n -= take;
  }
  return true;
}

void ContentBuffer::Truncate(uint64_t size) {
  if (size >= size_) return;
  while (chunks_.size() > firstLive_ && chunks_.back().Start >= size)
    chunks_.pop_back();
  if (chunks_.size() > firstLive_) {
    Chunk& last = chunks_.back();
    last.Used = static_cast<std::size_t>(size - last.Start);
  }
  size_ = std::max(size, chunks_.empty() ? 0 : chunks_.back().Start + chunks_.back().Used);
}

std::size_t ContentBuffer::ChunkIndex(uint64_t offset) const {
  // The last chunk whose start is at or before offset.
  auto it = std::upper_bound(chunks_.begin(), chunks_.end(), offset,
                             [](uint64_t value, const Chunk& c) { return value < c.Start; });
  return static_cast<std::size_t>(it - chunks_.begin()) - 1;
}

ContentBuffer::Piece ContentBuffer::PieceAt(uint64_t offset) const {
  if (offset >= size_ || chunks_.empty()) return {offset, {}};
  const std::size_t i = ChunkIndex(offset);
  if (i < firstLive_ || i >= chunks_.size()) return {offset, {}};
  const Chunk& c = chunks_[i];
  return {c.Start, std::string_view(c.Data.get(), c.Used)};
}

void ContentBuffer::FreeBefore(uint64_t offset) {
  while (firstLive_ + 1 < chunks_.size() &&
         chunks_[firstLive_].Start + chunks_[firstLive_].Used <= offset) {
    Chunk& c = chunks_[firstLive_];
    if (source_ && c.Capacity == SourcePieceBytes && !spare_)
      spare_ = std::move(c.Data);
    else
      c.Data.reset();
    ++firstLive_;
  }
  // The list of freed pieces stays short: drop it once it outgrows the live ones.
  if (firstLive_ > 64 && firstLive_ * 2 > chunks_.size()) {
    chunks_.erase(chunks_.begin(), chunks_.begin() + static_cast<std::ptrdiff_t>(firstLive_));
    firstLive_ = 0;
  }
}

std::size_t ContentBuffer::CopyOut(uint64_t offset, char* out, std::size_t n) {
  std::size_t copied = 0;
  while (copied < n && Has(offset)) {
    const Piece piece = PieceAt(offset);
    if (piece.Bytes.empty()) break;
    const std::size_t at = static_cast<std::size_t>(offset - piece.Start);
    const std::size_t take = std::min(n - copied, piece.Bytes.size() - at);
    std::memcpy(out + copied, piece.Bytes.data() + at, take);
    copied += take;
    offset += take;
  }
  return copied;
}

uint64_t ContentBuffer::ProgressDone(uint64_t position) const {
  return source_ ? source_->InputDone() : position;
}

uint64_t ContentBuffer::ProgressTotal() const {
  return source_ ? source_->InputTotal() : size_;
}

// ---------------------------------------------------------------------------------------------
// StreamSegments

struct StreamSegments::Zlib {
  z_stream Stream{};
  bool Started = false;
  ~Zlib() {
    if (Started) inflateEnd(&Stream);
  }
};

StreamSegments::StreamSegments() : zlib_(std::make_unique<Zlib>()) {}

StreamSegments::~StreamSegments() = default;

void StreamSegments::Add(std::unique_ptr<ContentBuffer> data, bool inflate) {
  total_ += data->Size();
  segments_.push_back({std::move(data), inflate});
}

void StreamSegments::NextSegment() {
  done_ += segments_[current_].Data->Size();
  segments_[current_].Data.reset();
  if (zlib_->Started) {
    inflateEnd(&zlib_->Stream);
    zlib_->Started = false;
  }
  ++current_;
  position_ = 0;
  separator_ = current_ < segments_.size();
}

bool StreamSegments::Produce(ContentBuffer& out) {
  while (current_ < segments_.size()) {
    if (separator_) {
      separator_ = false;
      return out.Append("\n", 1);
    }
    Segment& s = segments_[current_];
    if (s.Inflate) {
      if (Inflate(out)) return true;
      continue;  // the segment is done
    }
    const ContentBuffer::Piece piece = s.Data->PieceAt(position_);
    if (piece.Bytes.empty()) {
      NextSegment();
      continue;
    }
    const std::size_t at = static_cast<std::size_t>(position_ - piece.Start);
    const std::size_t n = piece.Bytes.size() - at;
    const bool all = out.Append(piece.Bytes.data() + at, n);
    position_ += n;
    s.Data->FreeBefore(position_);  // after the copy: it may free that very piece
    return all;
  }
  return false;
}

// Inflates the current segment's data into `out` until some bytes are made; false once the
// segment is done (it has moved on to the next).
bool StreamSegments::Inflate(ContentBuffer& out) {
  Segment& s = segments_[current_];
  z_stream& zs = zlib_->Stream;
  if (!zlib_->Started) {
    zs = z_stream{};
    // 15 + 32: a zlib stream (or a gzip one) with any window size.
    if (inflateInit2(&zs, 15 + 32) != Z_OK) throw std::bad_alloc();
    zlib_->Started = true;
  }
  for (;;) {
    const auto [room, space] = out.Room();
    if (space == 0) {
      out.MarkOverflowed();
      NextSegment();
      return false;
    }
    if (zs.avail_in == 0) {
      const ContentBuffer::Piece piece = s.Data->PieceAt(position_);
      if (!piece.Bytes.empty()) {
        const std::size_t at = static_cast<std::size_t>(position_ - piece.Start);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.Bytes.data() + at));
        zs.avail_in = static_cast<uInt>(piece.Bytes.size() - at);  // pieces are at most 4 MiB
      }
    }
    const uInt inBefore = zs.avail_in;
    zs.next_out = reinterpret_cast<Bytef*>(room);
    zs.avail_out = static_cast<uInt>(std::min<std::size_t>(space, std::size_t{1} << 30));
    const int r = inflate(&zs, Z_NO_FLUSH);
    const std::size_t made = space - zs.avail_out;
    position_ += inBefore - zs.avail_in;
    if (zs.avail_in == 0) s.Data->FreeBefore(position_);
    out.Commit(made);
    if (r == Z_STREAM_END) {
      NextSegment();
      if (made > 0) return true;
      return false;
    }
    if (r == Z_MEM_ERROR) throw std::bad_alloc();
    const bool stuck = made == 0 && inBefore == zs.avail_in;
    if ((r != Z_OK && r != Z_BUF_ERROR) || stuck) {
      // Damaged data, or data that ends before the stream does.
      out.MarkDamaged();
      NextSegment();
      return made > 0;
    }
    if (made > 0) return true;
  }
}

// ---------------------------------------------------------------------------------------------
// qpdf's view of the content: an input source over the pieces.

namespace {

class ContentInputSource final : public InputSource {
 public:
  explicit ContentInputSource(ContentBuffer& content) : content_(content) {}

  qpdf_offset_t findAndSkipNextEOL() override {
    char c;
    while (ByteAt(pos_, c)) {
      if (c == '\r' || c == '\n') {
        const qpdf_offset_t eol = pos_++;
        while (ByteAt(pos_, c) && (c == '\r' || c == '\n'))
          ++pos_;
        last_offset = pos_;
        return eol;
      }
      ++pos_;
    }
    last_offset = pos_;
    return pos_;
  }
  std::string const& getName() const override { return name_; }
  qpdf_offset_t tell() override { return pos_; }
  void seek(qpdf_offset_t offset, int whence) override {
    qpdf_offset_t base = 0;
    if (whence == SEEK_CUR) base = pos_;
    if (whence == SEEK_END) {
      while (content_.Has(content_.Size())) {
      }
      base = static_cast<qpdf_offset_t>(content_.Size());
    }
    // Offsets are bounded by the content size (at most 1 GiB): no overflow.
    pos_ = std::max<qpdf_offset_t>(0, base + offset);
  }
  void rewind() override { pos_ = 0; }
  size_t read(char* out, size_t length) override {
    last_offset = pos_;
    const std::size_t n = content_.CopyOut(static_cast<uint64_t>(pos_), out, length);
    pos_ += static_cast<qpdf_offset_t>(n);
    return n;
  }
  void unreadCh(char) override {
    if (pos_ > 0) --pos_;
  }

 private:
  bool ByteAt(qpdf_offset_t at, char& c) {
    return content_.CopyOut(static_cast<uint64_t>(at), &c, 1) == 1;
  }

  ContentBuffer& content_;
  qpdf_offset_t pos_ = 0;
  std::string name_ = "page content";
};

// The classes of a byte for the direct reading. Blank: what qpdf skips between tokens (it takes
// vertical tab as a blank too). Plain: a character that can only be part of a number or a word.
// Delimiter: ends a run and starts a token qpdf reads. Other (NUL, bytes above 126, control
// characters): qpdf decides.
enum ByteClass : uint8_t { Other = 0, Blank, Plain, Delimiter };

constexpr std::array<uint8_t, 256> MakeClasses() {
  std::array<uint8_t, 256> c{};
  for (int i = 0x21; i <= 0x7E; ++i)
    c[static_cast<std::size_t>(i)] = Plain;
  for (char d : {'(', ')', '<', '>', '[', ']', '{', '}', '/', '%'})
    c[static_cast<unsigned char>(d)] = Delimiter;
  for (char b : {' ', '\t', '\n', '\r', '\f', '\v'})
    c[static_cast<unsigned char>(b)] = Blank;
  return c;
}
constexpr std::array<uint8_t, 256> Classes = MakeClasses();

inline uint8_t ClassOf(char c) {
  return Classes[static_cast<unsigned char>(c)];
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Numbers

namespace {

enum class NumberRead : uint8_t { NotNumber, Value, OutOfRange };

constexpr float PowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// Reads a PDF number ([+-]? digits with at most one point, at least one digit) that takes all
// of [p, end).
NumberRead ReadNumber(const char* p, const char* const end, float& value) {
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  const char* const digitsStart = p;
  uint64_t mantissa = 0;
  int digits = 0, fractionDigits = 0;
  bool point = false;
  bool nonZeroInteger = false;  // a non-zero digit before the point: |value| >= 1
  for (; p < end; ++p) {
    const unsigned d = static_cast<unsigned char>(*p) - unsigned{'0'};
    if (d <= 9) {
      if (++digits <= 19) mantissa = mantissa * 10 + d;
      if (point)
        ++fractionDigits;
      else if (d != 0)
        nonZeroInteger = true;
    } else if (*p == '.' && !point) {
      point = true;
    } else {
      return NumberRead::NotNumber;
    }
  }
  if (digits == 0) return NumberRead::NotNumber;
  // The common case: at most 19 digits whose value fits in 24 bits, at most ten after the
  // point. The digits and the power of ten are then exact float32 values, and one float32
  // division rounds the exact quotient once, to nearest, halves to even.
  if (digits <= 19 && mantissa <= (uint64_t{1} << 24) && fractionDigits <= 10) {
    const float whole = static_cast<float>(mantissa);
    const float v = fractionDigits == 0 ? whole : whole / PowersOfTen[fractionDigits];
    value = negative ? -v : v;
    return NumberRead::Value;
  }
  // Every other number: the library rounds the decimal text to nearest.
  float v = 0.0f;
  const auto [stop, ec] = std::from_chars(digitsStart, end, v, std::chars_format::fixed);
  if (ec == std::errc::result_out_of_range) {
    // Without an exponent, a value out of range is too large when it has a non-zero digit
    // before the point, else too small (it rounds to a zero of its sign).
    if (nonZeroInteger) {
      value = 0.0f;
      return NumberRead::OutOfRange;
    }
    value = negative ? -0.0f : 0.0f;
    return NumberRead::Value;
  }
  if (ec != std::errc() || stop != end) {
    value = 0.0f;
    return NumberRead::Value;
  }
  value = negative ? -v : v;
  return NumberRead::Value;
}

bool SetNumber(ContentToken& token, const char* p, const char* end) {
  float value = 0.0f;
  const NumberRead read = ReadNumber(p, end, value);
  if (read == NumberRead::NotNumber) return false;
  token.Kind = ContentTokenKind::Number;
  token.Number = value;
  token.NumberInRange = read == NumberRead::Value;
  token.Text = {};
  return true;
}

// The usual number at p: digits with at most one point among them, at most eight digits and
// ten after the point, a value of at most 2^24, followed (before end) by a blank or a
// delimiter. Then its token, read as it is scanned (the value as in ReadNumber's common case),
// and where it ends; else null.
inline const char* ShortNumber(const char* p, const char* end, ContentToken& token) {
  const char* q = p;
  const bool negative = *q == '-';
  q += negative || *q == '+';
  uint32_t mantissa = 0;
  int digits = 0, fraction = -1;
  for (; q < end; ++q) {
    const unsigned d = static_cast<unsigned char>(*q) - unsigned{'0'};
    if (d <= 9) {
      mantissa = mantissa * 10 + d;
      ++digits;
      fraction += fraction >= 0;
    } else if (*q == '.' && fraction < 0) {
      fraction = 0;
    } else {
      break;
    }
  }
  if (digits == 0 || digits > 8 || fraction > 10 || q == end || ClassOf(*q) == Plain ||
      ClassOf(*q) == Other)
    return nullptr;
  // At most eight digits: the value is below 2^27 and exact as an integer; below 2^24 it is an
  // exact float32 too.
  if (mantissa > (uint32_t{1} << 24)) return nullptr;
  const float whole = static_cast<float>(mantissa);
  const float v = fraction <= 0 ? whole : whole / PowersOfTen[fraction];
  token.Kind = ContentTokenKind::Number;
  token.Number = negative ? -v : v;
  token.NumberInRange = true;
  token.Text = {};
  return q;
}

// The token of a whole run of plain characters: a number, an operand keyword (true, false,
// null) or an operator.
inline void SetRunToken(ContentToken& token, const char* start, const char* end) {
  const char first = *start;
  if (((first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.') &&
      SetNumber(token, start, end))
    return;
  const std::string_view text(start, static_cast<std::size_t>(end - start));
  if (text == "true" || text == "false" || text == "null") {
    token.Kind = ContentTokenKind::Other;
    token.Text = {};
    return;
  }
  token.Text = text;
  token.Kind = ContentTokenKind::Operator;
}

}  // namespace

float PdfNumberValue(std::string_view text, bool& inRange) {
  float value = 0.0f;
  const NumberRead read = ReadNumber(text.data(), text.data() + text.size(), value);
  inRange = read != NumberRead::OutOfRange;
  return read == NumberRead::Value ? value : 0.0f;
}

// ---------------------------------------------------------------------------------------------
// ContentScanner

ContentScanner::ContentScanner(ContentBuffer& content, ScanMode mode)
    : content_(content),
      mode_(mode),
      input_(std::make_shared<ContentInputSource>(content)),
      tokenizer_(std::make_unique<QPDFTokenizer>()) {
  tokenizer_->allowEOF();
}

ContentScanner::~ContentScanner() = default;

bool ContentScanner::ReadInlineImage(ContentToken& token) {
  // The byte after "ID" is the blank that ended it; qpdf finds where the data ends.
  afterImageStart_ = false;
  input_->seek(static_cast<qpdf_offset_t>(position_), SEEK_SET);
  char blank;
  input_->read(&blank, 1);
  tokenizer_->expectInlineImage(input_);
  const QPDFTokenizer::Token t = tokenizer_->readToken(input_, "content", true, 0);
  const auto after = static_cast<uint64_t>(std::max<qpdf_offset_t>(0, input_->tell()));
  position_ = std::max(position_ + 1, after);
  token.Kind = t.getType() == QPDFTokenizer::tt_inline_image ? ContentTokenKind::InlineImage
                                                             : ContentTokenKind::Bad;
  token.Text = {};
  return true;
}

bool ContentScanner::NextThroughQpdf(ContentToken& token) {
  if (!content_.Has(position_)) return false;
  input_->seek(static_cast<qpdf_offset_t>(position_), SEEK_SET);
  QPDFTokenizer::Token t = tokenizer_->readToken(input_, "content", true, MaxTokenBytes);
  const auto after = static_cast<uint64_t>(std::max<qpdf_offset_t>(0, input_->tell()));
  // Every call moves on, whatever the tokenizer did; the pieces behind are done with.
  position_ = std::max(position_ + 1, after);
  if (mode_ == ScanMode::QpdfOnly) content_.FreeBefore(position_);
  token.Text = {};
  switch (t.getType()) {
    case QPDFTokenizer::tt_eof:
      while (content_.Has(content_.Size())) {
      }
      position_ = std::max(position_, content_.Size());
      return false;
    case QPDFTokenizer::tt_integer:
    case QPDFTokenizer::tt_real: {
      const std::string& v = t.getValue();
      if (!SetNumber(token, v.data(), v.data() + v.size())) {
        token.Kind = ContentTokenKind::Number;
        token.Number = 0;
        token.NumberInRange = true;
      }
      return true;
    }
    case QPDFTokenizer::tt_name:
      text_ = t.getValue();
      token.Kind = ContentTokenKind::Name;
      token.Text = text_;
      return true;
    case QPDFTokenizer::tt_word:
      text_ = t.getValue();
      token.Kind = ContentTokenKind::Operator;
      token.Text = text_;
      if (text_ == "ID") afterImageStart_ = true;
      return true;
    case QPDFTokenizer::tt_string:
    case QPDFTokenizer::tt_bool:
    case QPDFTokenizer::tt_null:
      token.Kind = ContentTokenKind::Other;
      return true;
    case QPDFTokenizer::tt_array_open:
      token.Kind = ContentTokenKind::ArrayOpen;
      return true;
    case QPDFTokenizer::tt_array_close:
      token.Kind = ContentTokenKind::ArrayClose;
      return true;
    case QPDFTokenizer::tt_dict_open:
      token.Kind = ContentTokenKind::DictOpen;
      return true;
    case QPDFTokenizer::tt_dict_close:
      token.Kind = ContentTokenKind::DictClose;
      return true;
    case QPDFTokenizer::tt_inline_image:
      token.Kind = ContentTokenKind::InlineImage;
      return true;
    default:  // bad tokens, braces (which no content operator takes), anything new
      token.Kind = ContentTokenKind::Bad;
      return true;
  }
}

bool ContentScanner::Next(ContentToken& token) {
  if (afterImageStart_) return ReadInlineImage(token);
  if (mode_ == ScanMode::QpdfOnly) return NextThroughQpdf(token);
  for (;;) {
    if (position_ - pieceStart_ >= pieceSize_ || piece_ == nullptr) {
      // On to the piece that holds the position; the ones before it are done with.
      if (!content_.Has(position_)) return false;
      const ContentBuffer::Piece piece = content_.PieceAt(position_);
      if (piece.Bytes.empty()) return NextThroughQpdf(token);
      content_.FreeBefore(piece.Start);
      piece_ = piece.Bytes.data();
      pieceStart_ = piece.Start;
      pieceSize_ = piece.Bytes.size();
    }
    const char* p = piece_ + (position_ - pieceStart_);
    const char* const end = piece_ + pieceSize_;
    while (p < end && ClassOf(*p) == Blank)
      ++p;
    position_ = pieceStart_ + static_cast<uint64_t>(p - piece_);
    if (p == end) continue;
    if (ClassOf(*p) != Plain) return NextThroughQpdf(token);
    // Most runs are short numbers.
    if (const char* after = ShortNumber(p, end, token)) {
      position_ = pieceStart_ + static_cast<uint64_t>(after - piece_);
      return true;
    }
    const char* const start = p;
    while (p < end && ClassOf(*p) == Plain)
      ++p;
    if (p == end) {
      // A run that meets the end of a piece may go on in the next one.
      if (content_.Has(pieceStart_ + pieceSize_)) return NextThroughQpdf(token);
    } else if (ClassOf(*p) == Other) {
      return NextThroughQpdf(token);  // qpdf decides what an unusual byte does to the run
    }
    position_ = pieceStart_ + static_cast<uint64_t>(p - piece_);
    SetRunToken(token, start, p);
    if (token.Kind == ContentTokenKind::Operator && token.Text == "ID") afterImageStart_ = true;
    return true;
  }
}

// ---------------------------------------------------------------------------------------------
// ContentTokens

namespace {

// Tokens handed over at a time, and the batches in flight: how far the worker may run ahead.
constexpr std::size_t BatchTokens = 8192;
constexpr std::size_t Batches = 4;

}  // namespace

struct ContentTokens::Worker {
  struct Packed {
    ContentTokenKind Kind;
    bool InRange;
    float Number;
    uint32_t TextAt, TextSize;
    uint64_t End;
  };
  struct Batch {
    std::vector<Packed> Tokens;  // the first Count are this batch's
    std::size_t Count = 0;
    std::string Text;
    uint64_t InputDone = 0;
    bool Last = false;
  };

  ContentBuffer& Content;
  ContentScanner Scanner;
  std::mutex Lock;
  std::condition_variable Changed;
  std::deque<Batch> Full;
  std::vector<Batch> Free;
  bool Stop = false;
  bool Damaged = false, Overflowed = false;
  uint64_t Size = 0;
  std::exception_ptr Failure;
  std::atomic<uint64_t> InputDone{0};
  // The consumer's side.
  Batch Current;
  std::size_t Next = 0;
  bool Ended = false;
  std::optional<WorkerThreads> Thread;  // last: it ends first

  Worker(ContentBuffer& content, ScanMode mode) : Content(content), Scanner(content, mode) {
    Free.resize(Batches);
    Thread.emplace(1, [this](std::size_t) { Run(); });
  }
  ~Worker() {
    {
      std::lock_guard<std::mutex> hold(Lock);
      Stop = true;
      Changed.notify_all();
    }
    Thread.reset();
  }
  // Whether the thread that reads ahead could be had.
  bool Running() const { return Thread->Started() > 0; }

  void Run() {
    try {
      for (bool more = true; more;) {
        Batch batch;
        {
          std::unique_lock<std::mutex> hold(Lock);
          Changed.wait(hold, [this] { return Stop || !Free.empty(); });
          if (Stop) return;
          batch = std::move(Free.back());
          Free.pop_back();
        }
        batch.Tokens.resize(BatchTokens);
        batch.Text.clear();
        std::size_t n = 0;
        ContentToken t;
        while (n < BatchTokens && (more = Scanner.Next(t))) {
          Packed& p = batch.Tokens[n++];
          p.Kind = t.Kind;
          p.InRange = t.NumberInRange;
          p.Number = t.Number;
          p.TextSize = static_cast<uint32_t>(t.Text.size());
          p.End = Scanner.Position();
          if (p.TextSize != 0) {
            p.TextAt = static_cast<uint32_t>(batch.Text.size());
            batch.Text.append(t.Text);
            if (batch.Text.size() > (std::size_t{1} << 24)) break;  // long names: hand over
          }
        }
        batch.Count = n;
        batch.InputDone = Content.ProgressDone(Scanner.Position());
        batch.Last = !more;
        std::lock_guard<std::mutex> hold(Lock);
        if (batch.Last) {
          Damaged = Content.Damaged();
          Overflowed = Content.Overflowed();
          Size = Content.Size();
        }
        Full.push_back(std::move(batch));
        Changed.notify_all();
      }
    } catch (...) {
      std::lock_guard<std::mutex> hold(Lock);
      Failure = std::current_exception();
      Batch last;
      last.Last = true;
      Full.push_back(std::move(last));
      Changed.notify_all();
    }
  }

  bool Take(ContentToken& token, uint64_t& position) {
    while (Next >= Current.Count) {
      if (Ended) return false;  // the last batch is used up
      std::unique_lock<std::mutex> hold(Lock);
      Free.push_back(std::move(Current));  // the used batch goes back to the worker
      Changed.notify_all();
      Changed.wait(hold, [this] { return !Full.empty(); });
      Current = std::move(Full.front());
      Full.pop_front();
      Next = 0;
      Ended = Current.Last;
      InputDone.store(Current.InputDone, std::memory_order_relaxed);
      if (Ended && Failure) {
        const std::exception_ptr failure = Failure;
        hold.unlock();
        std::rethrow_exception(failure);
      }
    }
    const Packed& p = Current.Tokens[Next++];
    token.Kind = p.Kind;
    token.NumberInRange = p.InRange;
    token.Number = p.Number;
    token.Text = p.TextSize ? std::string_view(Current.Text.data() + p.TextAt, p.TextSize)
                            : std::string_view();
    position = p.End;
    return true;
  }
};

ContentTokens::ContentTokens(std::unique_ptr<ContentBuffer> content, ScanMode mode, bool ahead)
    : content_(std::move(content)), total_(content_->ProgressTotal()) {
  if (ahead) {
    worker_ = std::make_unique<Worker>(*content_, mode);
    if (worker_->Running()) return;
    worker_.reset();  // no thread to be had: read on this one
  }
  scanner_ = std::make_unique<ContentScanner>(*content_, mode);
}

ContentTokens::~ContentTokens() = default;

bool ContentTokens::Next(ContentToken& token) {
  if (scanner_) {
    const bool more = scanner_->Next(token);
    position_ = scanner_->Position();
    return more;
  }
  return worker_->Take(token, position_);
}

uint64_t ContentTokens::ProgressDone() const {
  if (worker_) return worker_->InputDone.load(std::memory_order_relaxed);
  return content_->ProgressDone(position_);
}

bool ContentTokens::Damaged() const {
  if (worker_) {
    std::lock_guard<std::mutex> hold(worker_->Lock);
    return worker_->Damaged;
  }
  return content_->Damaged();
}

uint64_t ContentTokens::ContentSize() const {
  if (worker_) {
    std::lock_guard<std::mutex> hold(worker_->Lock);
    return worker_->Size;
  }
  return content_->Size();
}

bool ContentTokens::Overflowed() const {
  if (worker_) {
    std::lock_guard<std::mutex> hold(worker_->Lock);
    return worker_->Overflowed;
  }
  return content_->Overflowed();
}

}  // namespace aiimport
