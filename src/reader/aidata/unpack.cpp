#include "unpack.h"

#include <zlib.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "wording.h"

namespace aiimport {

std::string DamagedDataMessage(std::string_view fileKind) {
  return "The Illustrator drawing data in this " + std::string(fileKind) +
         " file is damaged or incomplete";
}

std::string UndecodableMessage(std::string_view fileKind) {
  return "The Illustrator drawing data in this " + std::string(fileKind) +
         " file does not decompress: it is damaged or incomplete";
}

std::string TooLargeMessage(std::string_view fileKind, uint64_t limit) {
  const std::string size = SizeWords(limit);
  return "The Illustrator drawing data in this " + std::string(fileKind) +
         " file unpacks to more than " + size + ": it is not read";
}

std::pair<char*, std::size_t> ChunkList::Room() {
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

void ChunkList::Commit(std::size_t n) {
  chunks_.back().Used += n;
  size_ += n;
  if (size_ > limit_) throw UnpackProblem(TooLargeMessage(fileKind_, limit_));
}

void ChunkList::CopyPrefixTo(ChunkList& out, uint64_t n) const {
  for (const Chunk& c : chunks_) {
    if (n == 0) break;
    const std::size_t take = static_cast<std::size_t>(std::min<uint64_t>(n, c.Used));
    out.Write(c.Data.get(), take);
    n -= take;
  }
}

uint64_t ChunkList::Find(std::string_view text) const {
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

std::unique_ptr<char[]> ChunkList::Assemble() {
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

void ChunkList::Clear() {
  chunks_.clear();
  chunks_.shrink_to_fit();
  size_ = 0;
}

void Inflate(ChunkList& in, uint64_t from, ChunkList& out) {
  const std::string_view kind = out.FileKind();
  z_stream zs{};
  // 15 + 32: a zlib stream (or a gzip one) with any window size.
  if (inflateInit2(&zs, 15 + 32) != Z_OK) throw std::bad_alloc();
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
      throw std::bad_alloc();
    } else if (r != Z_OK && r != Z_BUF_ERROR) {
      throw UnpackProblem(UndecodableMessage(kind));
    }
    return produced > 0 || zs.avail_in != inBefore;  // progress
  };
  in.Consume(from, [&](const char* data, std::size_t size) {
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    zs.avail_in = static_cast<uInt>(size);  // pieces are at most 4 MiB
    while (!ended && zs.avail_in > 0) {
      if (!step()) throw UnpackProblem(UndecodableMessage(kind));
    }
  });
  // Output still held inside zlib once all input is in.
  while (!ended && step()) {
  }
  if (!ended) throw UnpackProblem(UndecodableMessage(kind));  // the stream is cut short
}

void DecompressZstd(ChunkList& in, uint64_t from, ChunkList& out) {
  const std::string_view kind = out.FileKind();
  if (in.Size() <= from) throw UnpackProblem(UndecodableMessage(kind));
  std::unique_ptr<ZSTD_DCtx, decltype(&ZSTD_freeDCtx)> ctx(ZSTD_createDCtx(), &ZSTD_freeDCtx);
  if (!ctx) throw std::bad_alloc();
  // What the last call said: 0 once a frame is complete and everything is flushed.
  std::size_t hint = 0;
  auto step = [&](ZSTD_inBuffer& input) {
    const auto [room, space] = out.Room();
    ZSTD_outBuffer output{room, space, 0};
    hint = ZSTD_decompressStream(ctx.get(), &output, &input);
    if (ZSTD_isError(hint)) {
      if (ZSTD_getErrorCode(hint) == ZSTD_error_memory_allocation) throw std::bad_alloc();
      throw UnpackProblem(UndecodableMessage(kind));
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
  if (hint != 0) throw UnpackProblem(UndecodableMessage(kind));  // the last frame is cut short
}

}  // namespace aiimport
