// PDF-based Illustrator files (Illustrator 9 and later). Such a file is a PDF document whose
// first page carries Illustrator's own drawing, in the same operator language as a classic .ai
// file, in private objects: /PieceInfo -> /Illustrator -> /Private holds /AIMetaData and the
// blocks /AIPrivateData1 ... /AIPrivateDataN (/AIPDFPrivateData1 ... in some files). Joined in
// order they give the classic text, except that in later versions the text after a marker is
// compressed: "%AI12_CompressedData" introduces one zlib stream, "%AI24_ZStandard_Data"
// Zstandard frames. This unit turns such a file back into the classic text for the loader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "unpack.h"

namespace aiimport {

// True when the bytes start with "%PDF": the loader then reads them through
// ExtractIllustratorText instead of as text.
bool IsPdfData(const char* data, std::size_t size);

// The classic Illustrator text held in a PDF file's private data, or the reason why there is
// none ("This PDF file holds no Illustrator drawing data", a damaged file, data that does not
// decompress, a drawing over the size limit). The text is the joined data before the marker
// (Zlib: "%AI12_CompressedData" and one zlib stream; Zstandard: "%AI24_ZStandard_Data" and
// Zstandard frames) followed by the decompressed rest; without a marker (Plain) the joined data.
// Throws std::bad_alloc only.
IllustratorData ExtractIllustratorText(const char* data, std::size_t size,
                                       const UnpackLimits& limits = {});

// The same, taking over the file's bytes: they are freed as soon as the private data have been
// read, before the decompression, which keeps the peak memory of a large file down.
IllustratorData ExtractIllustratorText(std::unique_ptr<char[]> data, std::size_t size,
                                       const UnpackLimits& limits = {});

}  // namespace aiimport
