// Packing text for the tests' and benchmarks' files as Illustrator packs its drawing: zlib,
// Zstandard and ASCII85.
#pragma once

#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace aiimport::testing {

// One zlib stream; level 0 stores the text, which makes the packed size exact: 2 bytes of
// header, 5 per stored block (one block up to 65 535 bytes), the text, 4 bytes of check sum.
inline std::string Zlib(const std::string& text, int level = 6) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size()),
                level) != Z_OK)
    throw std::runtime_error("compress2 failed");
  out.resize(size);
  return out;
}

// One Zstandard frame; without the content size in its header unless `contentSize` says so (as
// Illustrator writes them).
inline std::string ZstdFrame(const std::string& text, bool contentSize = false, int level = 3) {
  ZSTD_CCtx* ctx = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(ctx, ZSTD_c_compressionLevel, level);
  ZSTD_CCtx_setParameter(ctx, ZSTD_c_contentSizeFlag, contentSize ? 1 : 0);
  std::string out(ZSTD_compressBound(text.size()), '\0');
  const std::size_t n = ZSTD_compress2(ctx, out.data(), out.size(), text.data(), text.size());
  ZSTD_freeCCtx(ctx);
  if (ZSTD_isError(n)) throw std::runtime_error("ZSTD_compress2 failed");
  out.resize(n);
  return out;
}

// ASCII85 as PostScript defines it: each group of four bytes is a number written in five
// base-85 digits from "!" (0) to "u" (84), a group of four zero bytes as "z"; a last group of
// n < 4 bytes is padded with zeros and written as its first n + 1 digits. No "~>".
inline std::string Ascii85(const std::string& bytes) {
  std::string out;
  for (std::size_t at = 0; at < bytes.size(); at += 4) {
    const std::size_t n = std::min<std::size_t>(4, bytes.size() - at);
    uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
      value = value << 8 | (i < n ? static_cast<unsigned char>(bytes[at + i]) : 0u);
    if (n == 4 && value == 0) {
      out += 'z';
      continue;
    }
    char digits[5];
    for (int i = 4; i >= 0; --i) {
      digits[i] = static_cast<char>('!' + value % 85);
      value /= 85;
    }
    out.append(digits, n + 1);
  }
  return out;
}

}  // namespace aiimport::testing
