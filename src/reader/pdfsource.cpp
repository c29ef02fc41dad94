#include "pdfsource.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <algorithm>
#include <cstring>
#include <new>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

namespace aiimport {

namespace {

constexpr std::string_view ZlibMarker = "%AI12_CompressedData";
constexpr std::string_view ZstdMarker = "%AI24_ZStandard_Data";

// What the user reads in the status bar (and the command line on stderr).
constexpr std::string_view FileKind = "PDF";
constexpr const char* NoDrawingMessage = "This PDF file holds no Illustrator drawing data";
constexpr const char* DamagedPdfMessage =
    "This PDF file is damaged or incomplete and cannot be read";
constexpr const char* PasswordMessage = "This PDF file is protected by a password";

// The first page in page-tree order: depth first through /Kids. Every indirect object (node or
// kids array) is opened once, so a tree that refers back to itself, directly or through an
// inline node in a shared kids array, ends, and the work stays in proportion to the file.
QPDFObjectHandle FirstPage(QPDF& pdf) {
  std::set<QPDFObjGen> seen;
  auto firstVisit = [&seen](QPDFObjectHandle& h) {
    return !h.isIndirect() || seen.insert(h.getObjGen()).second;
  };
  std::vector<QPDFObjectHandle> pending{pdf.getRoot().getKey("/Pages")};
  while (!pending.empty()) {
    QPDFObjectHandle node = pending.back();
    pending.pop_back();
    if (!node.isDictionary() || !firstVisit(node)) continue;
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (kids.isArray()) {
      if (firstVisit(kids)) {
        for (int i = kids.getArrayNItems(); i-- > 0;)
          pending.push_back(kids.getArrayItem(i));
      }
      continue;
    }
    QPDFObjectHandle type = node.getKey("/Type");
    if (type.isName() && type.getName() == "/Pages") continue;  // an empty branch
    return node;
  }
  return QPDFObjectHandle::newNull();
}

// Reads /AIMetaData and the private-data blocks of the first page into `joined`; returns the
// number of blocks.
std::size_t ReadPrivateData(QPDF& pdf, ChunkList& joined) {
  QPDFObjectHandle page = FirstPage(pdf);
  if (!page.isDictionary()) throw UnpackProblem(NoDrawingMessage);
  QPDFObjectHandle pieceInfo = page.getKey("/PieceInfo");
  if (!pieceInfo.isDictionary()) throw UnpackProblem(NoDrawingMessage);
  QPDFObjectHandle illustrator = pieceInfo.getKey("/Illustrator");
  if (!illustrator.isDictionary()) throw UnpackProblem(NoDrawingMessage);
  QPDFObjectHandle data = illustrator.getKey("/Private");
  if (!data.isDictionary()) data = illustrator;

  std::string prefix;
  for (const char* name : {"/AIPrivateData", "/AIPDFPrivateData"}) {
    if (data.hasKey(std::string(name) + "1")) {
      prefix = name;
      break;
    }
  }
  if (prefix.empty()) throw UnpackProblem(NoDrawingMessage);

  // /NumBlock says how many blocks there are; without it they are counted.
  int64_t declared = -1;
  QPDFObjectHandle numBlock = data.getKey("/NumBlock");
  if (numBlock.isInteger() && numBlock.getIntValue() > 0) declared = numBlock.getIntValue();

  QPDFObjectHandle meta = data.getKey("/AIMetaData");
  if (meta.isStream()) AppendStreamData(meta, joined);

  std::size_t blocks = 0;
  for (int64_t n = 1; declared < 0 || n <= declared; ++n) {
    const std::string key = prefix + std::to_string(n);
    if (!data.hasKey(key)) {
      if (declared < 0) break;
      throw UnpackProblem(DamagedDataMessage(FileKind));  // fewer blocks than /NumBlock says
    }
    QPDFObjectHandle block = data.getKey(key);
    if (!block.isStream()) throw UnpackProblem(DamagedDataMessage(FileKind));
    AppendStreamData(block, joined);
    ++blocks;
  }
  return blocks;
}

// Joined private data to text: unchanged without a marker, else the part before the marker
// followed by the decompressed rest.
ChunkList DecodeJoined(ChunkList& joined, uint64_t limit, PdfDataCoding& coding) {
  const uint64_t zlibAt = joined.Find(ZlibMarker);
  const uint64_t zstdAt = joined.Find(ZstdMarker);
  ChunkList text(limit, FileKind);
  if (zlibAt == ChunkList::npos && zstdAt == ChunkList::npos) {
    coding = PdfDataCoding::Plain;
    std::swap(text, joined);
    return text;
  }
  const bool zstd = zstdAt < zlibAt;
  const uint64_t at = zstd ? zstdAt : zlibAt;
  coding = zstd ? PdfDataCoding::Zstandard : PdfDataCoding::Zlib;
  joined.CopyPrefixTo(text, at);
  if (zstd)
    DecompressZstd(joined, at + ZstdMarker.size(), text);
  else
    Inflate(joined, at + ZlibMarker.size(), text);
  return text;
}

PdfExtraction Extract(const char* data, std::size_t size, const PdfLimits& limits,
                      std::unique_ptr<char[]>* owned) {
  PdfExtraction result;
  try {
    ChunkList joined(limits.MaxTextBytes, FileKind);
    {
      QPDF pdf;
      pdf.setSuppressWarnings(true);
      try {
        pdf.processMemoryFile("Illustrator file", data, size);
        result.Blocks = ReadPrivateData(pdf, joined);
        if (joined.Size() == 0) throw UnpackProblem(NoDrawingMessage);  // only empty blocks
      } catch (const QPDFExc& e) {
        if (e.getErrorCode() == qpdf_e_password) throw UnpackProblem(PasswordMessage);
        throw UnpackProblem(DamagedPdfMessage);
      } catch (const UnpackProblem&) {
        throw;
      } catch (const std::bad_alloc&) {
        throw UnpackProblem(MemoryMessage(FileKind));
      } catch (const std::exception&) {
        throw UnpackProblem(DamagedPdfMessage);
      }
    }
    // The PDF itself is no longer needed.
    if (owned) owned->reset();
    ChunkList text = DecodeJoined(joined, limits.MaxTextBytes, result.Coding);
    joined.Clear();
    result.Size = static_cast<std::size_t>(text.Size());
    result.Text = text.Assemble();
    result.Ok = true;
  } catch (const UnpackProblem& e) {
    result.Message = e.what();
  } catch (const std::bad_alloc&) {
    result.Message = MemoryMessage(FileKind);
  } catch (...) {
    result.Message = DamagedPdfMessage;
  }
  if (!result.Ok) {
    result.Text.reset();
    result.Size = 0;
    result.NoIllustratorData = result.Message == NoDrawingMessage;
  }
  return result;
}

}  // namespace

bool IsPdfData(const char* data, std::size_t size) {
  return size >= 4 && std::memcmp(data, "%PDF", 4) == 0;
}

PdfExtraction ExtractIllustratorText(const char* data, std::size_t size, const PdfLimits& limits) {
  return Extract(data, size, limits, nullptr);
}

PdfExtraction ExtractIllustratorText(std::unique_ptr<char[]> data, std::size_t size,
                                     const PdfLimits& limits) {
  return Extract(data.get(), size, limits, &data);
}

}  // namespace aiimport
