// Makes EPS files in the manner of Illustrator CS and later for the tests: a printable page of
// generic PostScript, then after "%%EOF" the data block with header lines, a stream marker and
// the packed drawing text in ASCII85 as comment lines.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "packing.h"
#include "testfiles.h"

namespace epsmake {

using aiimport::testing::ReadWholeFile;

// A gzip-compressed file (as Debian keeps its documentation), read whole; empty when absent.
inline std::string ReadGzipFile(const std::string& path) {
  gzFile f = gzopen(path.c_str(), "rb");
  if (!f) return {};
  std::string out;
  char buffer[65536];
  int n;
  while ((n = gzread(f, buffer, sizeof buffer)) > 0)
    out.append(buffer, static_cast<std::size_t>(n));
  gzclose(f);
  return out;
}

using aiimport::testing::Ascii85;
using aiimport::testing::Zlib;
using aiimport::testing::ZstdFrame;

struct Block {
  std::string Eol = "\r";  // line end of every line of the file
  std::vector<std::string> Header = {"%!PS-Adobe-3.0 EPSF-3.0",
                                     "%%Creator: Adobe Illustrator(R) 24.0", "%%For: (tests) ()",
                                     "%AI5_FileFormat 14.0"};
  std::string Marker = "%AI24_DataStream";
  std::string Packed;           // the packed stream (zlib or Zstandard bytes)
  std::size_t LineWidth = 100;  // ASCII85 characters per comment line
  std::string Close = "~>";     // what ends the ASCII85 text
  bool EndLine = true;          // write "%AI9_PrivateDataEnd"
};

// The block's lines: "%AI9_PrivateDataBegin", the header, the marker, the data, the end.
inline std::string BlockText(const Block& b) {
  std::string out = "%AI9_PrivateDataBegin" + b.Eol;
  for (const std::string& line : b.Header)
    out += line + b.Eol;
  out += b.Marker + b.Eol;
  const std::string text = Ascii85(b.Packed) + b.Close;
  for (std::size_t at = 0; at < text.size(); at += b.LineWidth)
    out += "%" + text.substr(at, b.LineWidth) + b.Eol;
  if (b.EndLine) out += "%AI9_PrivateDataEnd" + b.Eol;
  return out;
}

// The header lines as the reader gets them: each with its line end.
inline std::string HeaderText(const Block& b) {
  std::string out;
  for (const std::string& line : b.Header)
    out += line + b.Eol;
  return out;
}

// A printable page of generic PostScript, its trailer and "%%EOF", then the lines Illustrator
// writes to make a PostScript interpreter skip the block (they name the block's end mark
// inside a string, not as a line).
inline std::string Page(const std::string& eol, const std::string& body = "") {
  std::string out;
  for (const char* line :
       {"%!PS-Adobe-3.1 EPSF-3.0", "%%Creator: Adobe Illustrator(R) 24.0",
        "%%BoundingBox: 0 0 100 100", "%%EndComments", "%%BeginProlog", "%%EndProlog",
        "%%BeginSetup", "%%EndSetup", "/pt {moveto} def", "10 10 pt 90 90 lineto stroke"})
    out += std::string(line) + eol;
  out += body;
  for (const char* line : {"showpage", "%%Trailer", "%%EOF", "%AI9_PrintingDataEnd",
                           "userdict /ai9_skip_data { (%AI9_PrivateDataEnd) eq } put"})
    out += std::string(line) + eol;
  return out;
}

// A DOS EPS binary header for a PostScript section of `psLength` bytes at byte 30, followed
// by a preview of `previewLength` bytes.
inline std::string DosHeader(std::size_t psLength, std::size_t previewLength) {
  auto le32 = [](uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
      s[i] = static_cast<char>(v >> (8 * i) & 0xFF);
    return s;
  };
  std::string h = "\xC5\xD0\xD3\xC6";
  h += le32(30) + le32(static_cast<uint32_t>(psLength));
  h += le32(0) + le32(0);  // no Windows metafile
  h += le32(previewLength ? static_cast<uint32_t>(30 + psLength) : 0) +
       le32(static_cast<uint32_t>(previewLength));
  h += "\xFF\xFF";  // no check sum
  return h;
}

}  // namespace epsmake
