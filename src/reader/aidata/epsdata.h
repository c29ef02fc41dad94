// Illustrator's data block in EPS files saved by Illustrator 9, CS and later. Their printable
// page is generic PostScript that the line reader cannot place; after the page's "%%EOF" the
// file carries the drawing in Illustrator's own operator language:
//
//   %AI9_PrivateDataBegin
//   %!PS-Adobe-3.0 EPSF-3.0            header comment lines
//   %%Creator: Adobe Illustrator(R) …
//   %AI9_DataStream                     or %AI24_DataStream
//   %Gb"-6H…                            ASCII85 text as comment lines, each after a "%"
//   %…~>
//   %AI9_PrivateDataEnd
//
// "%AI9_DataStream" introduces the ASCII85 form of one zlib stream, "%AI24_DataStream" that of
// Zstandard frames. The text is the header lines (each with its own line end) followed by the
// unpacked stream: the same language as the private data of PDF-based files, read by the same
// line reader.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "unpack.h"

namespace aiimport {

// Looks for the data block that follows the file's last page and unpacks it, within the
// limit. Lines may end in CR, LF or CR LF; after a DOS EPS binary header only the PostScript
// section it names is searched. A block inside an embedded document (one that more of the page
// follows, up to another "%%EOF") is not the file's own: then nothing is found. Never reads
// outside [data, data + size); throws std::bad_alloc only.
IllustratorData FindEpsIllustratorData(const char* data, std::size_t size,
                                       const UnpackLimits& limits = {});

}  // namespace aiimport
