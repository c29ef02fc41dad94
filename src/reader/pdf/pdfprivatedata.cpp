#include "pdfprivatedata.h"

#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjGen.hh>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "qpdfsupport.h"

namespace aiimport {

void ByteWriter::Write(const char* data, std::size_t n) {
  while (n > 0) {
    const auto [room, space] = Room();
    const std::size_t take = std::min(n, space);
    std::memcpy(room, data, take);
    Commit(take);
    data += take;
    n -= take;
  }
}

namespace {

// What the writer threw, carried past the PDF library's own error handling.
struct WriterFailure {
  std::exception_ptr Failure;
};

// Appends the decoded data of one stream; false when its filters cannot be undone (the raw
// bytes would be no text of ours).
bool AppendStream(Handle stream, ByteWriter& out) {
  WriterPipeline sink(out);
  bool filtered = false;
  bool ok = false;
  try {
    ok = stream.pipeStreamData(&sink, &filtered, 0, qpdf_dl_specialized, true, false);
  } catch (...) {
    try {
      sink.RethrowFailure();
    } catch (...) {
      throw WriterFailure{std::current_exception()};
    }
    throw;
  }
  try {
    sink.RethrowFailure();
  } catch (...) {
    throw WriterFailure{std::current_exception()};
  }
  return ok && (filtered || !HasFilters(stream.getDict()));
}

PdfPrivateData ReadBlocks(QPDF& pdf, ByteWriter& out) {
  PdfPrivateData result;
  Handle page = WalkPages(pdf).Page;
  if (!page.isDictionary()) return result;
  Handle pieceInfo = page.getKey("/PieceInfo");
  if (!pieceInfo.isDictionary()) return result;
  Handle illustrator = pieceInfo.getKey("/Illustrator");
  if (!illustrator.isDictionary()) return result;
  Handle data = illustrator.getKey("/Private");
  if (!data.isDictionary()) data = illustrator;

  std::string prefix;
  for (const char* name : {"/AIPrivateData", "/AIPDFPrivateData"}) {
    if (data.hasKey(std::string(name) + "1")) {
      prefix = name;
      break;
    }
  }
  if (prefix.empty()) return result;

  // /NumBlock says how many blocks there are; without it they are counted.
  int64_t declared = -1;
  Handle numBlock = data.getKey("/NumBlock");
  if (numBlock.isInteger() && numBlock.getIntValue() > 0) declared = numBlock.getIntValue();

  result.Status = PdfPrivateDataStatus::DataDamaged;
  Handle meta = data.getKey("/AIMetaData");
  if (meta.isStream() && !AppendStream(meta, out)) return result;
  for (int64_t n = 1; declared < 0 || n <= declared; ++n) {
    const std::string key = prefix + std::to_string(n);
    if (!data.hasKey(key)) {
      if (declared < 0) break;
      return result;  // fewer blocks than /NumBlock says
    }
    Handle block = data.getKey(key);
    if (!block.isStream() || !AppendStream(block, out)) return result;
    ++result.Blocks;
  }
  result.Status = PdfPrivateDataStatus::Read;
  return result;
}

// Feeds the text that `produce` hands out to qpdf's decoding pipeline.
class PieceProvider : public QPDFObjectHandle::StreamDataProvider {
 public:
  explicit PieceProvider(const std::function<void(const PieceWriter&)>& produce)
      : produce_(produce) {}

  void provideStreamData(QPDFObjGen const& /*og*/, Pipeline* pipeline) override {
    produce_([pipeline](const char* data, std::size_t size) {
      if (size > 0) pipeline->write(reinterpret_cast<unsigned char const*>(data), size);
    });
    pipeline->finish();
  }

 private:
  const std::function<void(const PieceWriter&)>& produce_;
};

}  // namespace

PdfPrivateData ReadPdfPrivateData(const char* data, std::size_t size, ByteWriter& out) {
  QPDF pdf;
  pdf.setSuppressWarnings(true);
  try {
    pdf.processMemoryFile("Illustrator file", data, size);
    return ReadBlocks(pdf, out);
  } catch (const WriterFailure& w) {
    std::rethrow_exception(w.Failure);
  } catch (const QPDFExc& e) {
    PdfPrivateData result;
    result.Status = e.getErrorCode() == qpdf_e_password ? PdfPrivateDataStatus::Password
                                                        : PdfPrivateDataStatus::FileDamaged;
    return result;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    PdfPrivateData result;
    result.Status = PdfPrivateDataStatus::FileDamaged;
    return result;
  }
}

bool DecodeAscii85(const std::function<void(const PieceWriter&)>& produce, ByteWriter& out) {
  // A stream of an empty document, its data given by `produce` and filtered by qpdf's
  // /ASCII85Decode: the text is never copied.
  QPDF pdf;
  pdf.setSuppressWarnings(true);
  pdf.emptyPDF();
  QPDFObjectHandle stream = pdf.newStream();
  stream.replaceStreamData(std::make_shared<PieceProvider>(produce),
                           QPDFObjectHandle::newName("/ASCII85Decode"),
                           QPDFObjectHandle::newNull());
  WriterPipeline sink(out);
  bool filtered = false;
  bool ok = false;
  try {
    ok = stream.pipeStreamData(&sink, &filtered, 0, qpdf_dl_specialized, true, false);
  } catch (const std::bad_alloc&) {
    sink.RethrowFailure();
    throw;
  } catch (const std::exception&) {
    // What the writer or the producer threw, else qpdf's decoder on a character outside
    // ASCII85 or a broken "~>".
    sink.RethrowFailure();
    ok = false;
  }
  sink.RethrowFailure();
  return ok && filtered;
}

}  // namespace aiimport
