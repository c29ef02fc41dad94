#include "pdfcontent.h"

#include <qpdf/InputSource.hh>
#include <qpdf/QPDFTokenizer.hh>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace aiimport {

// ---------------------------------------------------------------------------------------------
// ContentBuffer

bool ContentBuffer::Append(const char* data, std::size_t n) {
  while (n > 0) {
    if (size_ >= limit_) {
      overflowed_ = true;
      return false;
    }
    if (chunks_.empty() || chunks_.back().Used == chunks_.back().Capacity) {
      // Each new piece a quarter of everything so far, between 64 KiB and 4 MiB: the unused
      // end of the last piece stays small, and the pieces stay few.
      std::size_t capacity = static_cast<std::size_t>(
          std::clamp<uint64_t>(size_ / 4, uint64_t{1} << 16, uint64_t{1} << 22));
      capacity = static_cast<std::size_t>(std::min<uint64_t>(capacity, limit_ - size_));
      Chunk chunk;
      chunk.Data = std::unique_ptr<char[]>(new char[capacity]);
      chunk.Start = size_;
      chunk.Capacity = capacity;
      chunks_.push_back(std::move(chunk));
    }
    Chunk& last = chunks_.back();
    std::size_t take = std::min(n, last.Capacity - last.Used);
    take = static_cast<std::size_t>(std::min<uint64_t>(take, limit_ - size_));
    std::memcpy(last.Data.get() + last.Used, data, take);
    last.Used += take;
    size_ += take;
    data += take;
    n -= take;
  }
  return true;
}

void ContentBuffer::Truncate(uint64_t size) {
  if (size >= size_) return;
  while (!chunks_.empty() && chunks_.back().Start >= size && chunks_.size() > firstLive_)
    chunks_.pop_back();
  if (!chunks_.empty() && chunks_.size() > firstLive_) {
    Chunk& last = chunks_.back();
    last.Used = static_cast<std::size_t>(size - last.Start);
  }
  firstLive_ = std::min(firstLive_, chunks_.size());
  size_ = size;
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
  while (firstLive_ < chunks_.size() &&
         chunks_[firstLive_].Start + chunks_[firstLive_].Used <= offset &&
         firstLive_ + 1 < chunks_.size()) {
    chunks_[firstLive_].Data.reset();
    ++firstLive_;
  }
}

std::size_t ContentBuffer::CopyOut(uint64_t offset, char* out, std::size_t n) const {
  std::size_t copied = 0;
  while (copied < n && offset < size_) {
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

// ---------------------------------------------------------------------------------------------
// qpdf's view of the content: an input source over the pieces.

namespace {

class ContentInputSource final : public InputSource {
 public:
  explicit ContentInputSource(const ContentBuffer& content) : content_(content) {}

  qpdf_offset_t findAndSkipNextEOL() override {
    const auto size = static_cast<qpdf_offset_t>(content_.Size());
    char c;
    while (pos_ < size) {
      if (ByteAt(pos_, c) && (c == '\r' || c == '\n')) {
        const qpdf_offset_t eol = pos_++;
        while (pos_ < size && ByteAt(pos_, c) && (c == '\r' || c == '\n'))
          ++pos_;
        last_offset = pos_;
        return eol;
      }
      if (!ByteAt(pos_, c)) break;  // freed: nothing more to find
      ++pos_;
    }
    pos_ = size;
    last_offset = size;
    return size;
  }
  std::string const& getName() const override { return name_; }
  qpdf_offset_t tell() override { return pos_; }
  void seek(qpdf_offset_t offset, int whence) override {
    qpdf_offset_t base = 0;
    if (whence == SEEK_CUR) base = pos_;
    if (whence == SEEK_END) base = static_cast<qpdf_offset_t>(content_.Size());
    // Offsets are bounded by the content size (at most 1 GiB): no overflow.
    pos_ = std::max<qpdf_offset_t>(0, base + offset);
  }
  void rewind() override { pos_ = 0; }
  size_t read(char* buffer, size_t length) override {
    last_offset = pos_;
    const std::size_t n = content_.CopyOut(static_cast<uint64_t>(pos_), buffer, length);
    pos_ += static_cast<qpdf_offset_t>(n);
    return n;
  }
  void unreadCh(char) override {
    if (pos_ > 0) --pos_;
  }

 private:
  bool ByteAt(qpdf_offset_t at, char& c) const {
    return content_.CopyOut(static_cast<uint64_t>(at), &c, 1) == 1;
  }

  const ContentBuffer& content_;
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

// A PDF number: [+-]? then digits with at most one point, at least one digit.
bool IsPdfNumber(std::string_view t) {
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  bool point = false, digit = false;
  for (; i < t.size(); ++i) {
    const char c = t[i];
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digit;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Numbers

float PdfNumberValue(std::string_view text, bool& inRange) {
  inRange = true;
  const char* p = text.data();
  const char* const end = p + text.size();
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  // The common case: at most 19 digits whose value fits in 24 bits, at most ten after the
  // point. The digits and the power of ten are then exact float32 values, and one float32
  // division rounds the exact quotient once, to nearest, halves to even.
  static constexpr float PowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                          1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  uint64_t mantissa = 0;
  int digits = 0, fractionDigits = 0;
  bool point = false, simple = true;
  bool nonZeroInteger = false;  // a non-zero digit before the point: |value| >= 1
  for (const char* q = p; q < end; ++q) {
    const char c = *q;
    if (c >= '0' && c <= '9') {
      if (!point && c != '0') nonZeroInteger = true;
      if (++digits > 19) {
        simple = false;
      } else {
        mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
      }
      if (point) ++fractionDigits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return 0.0f;  // not a number
    }
  }
  if (digits == 0) return 0.0f;
  if (simple && mantissa <= (uint64_t{1} << 24) && fractionDigits <= 10) {
    const float whole = static_cast<float>(mantissa);
    const float v = fractionDigits == 0 ? whole : whole / PowersOfTen[fractionDigits];
    return negative ? -v : v;
  }
  // Every other number: the library rounds the decimal text to nearest.
  float value = 0.0f;
  const auto [stop, ec] = std::from_chars(p, end, value, std::chars_format::fixed);
  if (ec == std::errc::result_out_of_range) {
    // Without an exponent, a value out of range is too large when it has a non-zero digit
    // before the point, else too small (it rounds to a zero of its sign).
    if (nonZeroInteger) {
      inRange = false;
      return 0.0f;
    }
    return negative ? -0.0f : 0.0f;
  }
  if (ec != std::errc() || stop != end) return 0.0f;
  return negative ? -value : value;
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

void ContentScanner::SetNumber(ContentToken& token, std::string_view text) const {
  token.Kind = ContentTokenKind::Number;
  token.Number = PdfNumberValue(text, token.NumberInRange);
}

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
  token.Kind =
      t.getType() == QPDFTokenizer::tt_inline_image ? ContentTokenKind::InlineImage
                                                    : ContentTokenKind::Bad;
  token.Text = {};
  return true;
}

bool ContentScanner::NextThroughQpdf(ContentToken& token) {
  if (position_ >= content_.Size()) return false;
  input_->seek(static_cast<qpdf_offset_t>(position_), SEEK_SET);
  QPDFTokenizer::Token t = tokenizer_->readToken(input_, "content", true, MaxTokenBytes);
  const auto after = static_cast<uint64_t>(std::max<qpdf_offset_t>(0, input_->tell()));
  // Every call moves on, whatever the tokenizer did.
  position_ = std::max(position_ + 1, after);
  token.Text = {};
  switch (t.getType()) {
    case QPDFTokenizer::tt_eof:
      position_ = content_.Size();
      return false;
    case QPDFTokenizer::tt_integer:
    case QPDFTokenizer::tt_real:
      SetNumber(token, t.getValue());
      return true;
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
      if (position_ >= content_.Size()) return false;
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
    const char* const start = p;
    while (p < end && ClassOf(*p) == Plain)
      ++p;
    if (p == end) {
      // A run that meets the end of a piece may go on in the next one.
      if (pieceStart_ + pieceSize_ < content_.Size()) return NextThroughQpdf(token);
    } else if (ClassOf(*p) == Other) {
      return NextThroughQpdf(token);  // qpdf decides what an unusual byte does to the run
    }
    position_ = pieceStart_ + static_cast<uint64_t>(p - piece_);
    const std::string_view text(start, static_cast<std::size_t>(p - start));
    const char first = text[0];
    if (((first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.') &&
        IsPdfNumber(text)) {
      SetNumber(token, text);
      token.Text = {};
      return true;
    }
    token.Text = text;
    if (text == "true" || text == "false" || text == "null") {
      token.Kind = ContentTokenKind::Other;
      return true;
    }
    token.Kind = ContentTokenKind::Operator;
    if (text == "ID") afterImageStart_ = true;
    return true;
  }
}

}  // namespace aiimport
