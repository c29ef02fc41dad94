#include "pdfsource.h"

#include <cstring>
#include <utility>

#include "pdfmessages.h"

namespace aiimport {

namespace {

constexpr std::string_view ZlibMarker = "%AI12_CompressedData";
constexpr std::string_view ZstdMarker = "%AI24_ZStandard_Data";

// What the user reads in the status bar (and the command line on stderr).
constexpr std::string_view FileKind = "PDF";
constexpr const char* NoDrawingMessage = "This PDF file holds no Illustrator drawing data";

// Reads /AIMetaData and the private-data blocks of the first page into `joined`.
void ReadPrivateData(const char* data, std::size_t size, ChunkList& joined,
                     IllustratorData& result) {
  const PdfPrivateData read = ReadPdfPrivateData(data, size, joined);
  result.Blocks = read.Blocks;
  switch (read.Status) {
    case PdfPrivateDataStatus::Read:
      if (joined.Size() == 0) throw UnpackProblem(NoDrawingMessage);  // only empty blocks
      return;
    case PdfPrivateDataStatus::NoData:
      throw UnpackProblem(NoDrawingMessage);
    case PdfPrivateDataStatus::DataDamaged:
      throw UnpackProblem(DamagedDataMessage(FileKind));
    case PdfPrivateDataStatus::Password:
      throw UnpackProblem(PasswordPdfMessage);
    case PdfPrivateDataStatus::FileDamaged:
      break;
  }
  throw UnpackProblem(DamagedPdfMessage);
}

// Joined private data to text: unchanged without a marker, else the part before the marker
// followed by the decompressed rest.
ChunkList DecodeJoined(ChunkList& joined, uint64_t limit, DataCoding& coding) {
  const uint64_t zlibAt = joined.Find(ZlibMarker);
  const uint64_t zstdAt = joined.Find(ZstdMarker);
  ChunkList text(limit, FileKind);
  if (zlibAt == ChunkList::npos && zstdAt == ChunkList::npos) {
    coding = DataCoding::Plain;
    std::swap(text, joined);
    return text;
  }
  const bool zstd = zstdAt < zlibAt;
  const uint64_t at = zstd ? zstdAt : zlibAt;
  coding = zstd ? DataCoding::Zstandard : DataCoding::Zlib;
  joined.CopyPrefixTo(text, at);
  if (zstd)
    DecompressZstd(joined, at + ZstdMarker.size(), text);
  else
    Inflate(joined, at + ZlibMarker.size(), text);
  return text;
}

IllustratorData Extract(const char* data, std::size_t size, const UnpackLimits& limits,
                        std::unique_ptr<char[]>* owned) {
  IllustratorData result;
  result.Found = true;
  Unpacking(result, DamagedPdfMessage, [&] {
    ChunkList joined(limits.MaxTextBytes, FileKind);
    ReadPrivateData(data, size, joined, result);
    // The PDF itself is no longer needed.
    if (owned) owned->reset();
    ChunkList text = DecodeJoined(joined, limits.MaxTextBytes, result.Coding);
    joined.Clear();
    result.Size = static_cast<std::size_t>(text.Size());
    result.Text = text.Assemble();
    result.Ok = true;
  });
  if (!result.Ok) result.Found = result.Message != NoDrawingMessage;
  return result;
}

}  // namespace

bool IsPdfData(const char* data, std::size_t size) {
  return size >= 4 && std::memcmp(data, "%PDF", 4) == 0;
}

IllustratorData ExtractIllustratorText(const char* data, std::size_t size,
                                       const UnpackLimits& limits) {
  return Extract(data, size, limits, nullptr);
}

IllustratorData ExtractIllustratorText(std::unique_ptr<char[]> data, std::size_t size,
                                       const UnpackLimits& limits) {
  return Extract(data.get(), size, limits, &data);
}

}  // namespace aiimport
