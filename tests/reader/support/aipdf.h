// Makes PDF-based Illustrator files for the tests: well-formed ones written with qpdf, and
// hand-assembled ones for structures qpdf would not write (loops, wrong lengths).
#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "packing.h"
#include "testfiles.h"

namespace aipdf {

using aiimport::testing::ReadWholeFile;
using aiimport::testing::WriteWholeFile;

// With AIIMPORT_PDF_SEED_DIR set, every PDF made here is also saved in that folder (seeds for
// the fuzzer).
inline std::string Seed(std::string pdf) {
  if (const char* dir = std::getenv("AIIMPORT_PDF_SEED_DIR")) {
    WriteWholeFile(std::filesystem::path(dir) /
                       ("made-" + std::to_string(std::hash<std::string>{}(pdf)) + ".ai"),
                   pdf);
  }
  return pdf;
}

using aiimport::testing::Zlib;
using aiimport::testing::ZstdFrame;

// `text` cut into pieces of the given sizes; the last piece takes the rest.
inline std::vector<std::string> Split(const std::string& text,
                                      const std::vector<std::size_t>& sizes) {
  std::vector<std::string> pieces;
  std::size_t at = 0;
  for (std::size_t s : sizes) {
    pieces.push_back(text.substr(at, s));
    at += pieces.back().size();
  }
  pieces.push_back(text.substr(std::min(at, text.size())));
  return pieces;
}

struct Block {
  Block(std::string data, bool flate = false, std::string otherFilter = {})
      : Data(std::move(data)), Flate(flate), OtherFilter(std::move(otherFilter)) {}
  std::string Data;
  bool Flate;               // kept with the PDF filter /FlateDecode (as Illustrator 9 does)
  std::string OtherFilter;  // a filter name written as it is, the data left raw
};

struct AiPdf {
  std::optional<std::string> MetaData;  // /AIMetaData
  std::vector<Block> Blocks;
  std::string KeyPrefix = "/AIPrivateData";
  bool NumBlock = true;                    // write /NumBlock with the number of blocks
  std::optional<long long> NumBlockValue;  // write this /NumBlock instead
  bool UsePrivate = true;  // the blocks in /Illustrator /Private, else in /Illustrator itself
  bool PieceInfo = true;
  // Encryption: user and owner password (R6), when set.
  std::optional<std::pair<std::string, std::string>> Passwords;
};

// Writes the PDF with qpdf: one page, its /PieceInfo holding the Illustrator dictionary. The
// streams are written exactly as given (no recompression).
inline std::string Write(const AiPdf& file) {
  QPDF pdf;
  pdf.emptyPDF();
  QPDFObjectHandle page = pdf.makeIndirectObject(
      QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 612 792] /Resources << >> >>"));
  page.replaceKey("/Contents", pdf.newStream("0 0 m 10 10 l S\n"));

  QPDFObjectHandle data = QPDFObjectHandle::newDictionary();
  data.replaceKey("/CreatorVersion", QPDFObjectHandle::newInteger(24));
  if (file.MetaData) data.replaceKey("/AIMetaData", pdf.newStream(*file.MetaData));
  for (std::size_t i = 0; i < file.Blocks.size(); ++i) {
    const Block& b = file.Blocks[i];
    QPDFObjectHandle stream;
    if (b.Flate) {
      stream = pdf.newStream();
      stream.replaceStreamData(Zlib(b.Data), QPDFObjectHandle::newName("/FlateDecode"),
                               QPDFObjectHandle::newNull());
    } else if (!b.OtherFilter.empty()) {
      stream = pdf.newStream();
      stream.replaceStreamData(b.Data, QPDFObjectHandle::newName(b.OtherFilter),
                               QPDFObjectHandle::newNull());
    } else {
      stream = pdf.newStream(b.Data);
    }
    data.replaceKey(file.KeyPrefix + std::to_string(i + 1), stream);
  }
  if (file.NumBlockValue)
    data.replaceKey("/NumBlock", QPDFObjectHandle::newInteger(*file.NumBlockValue));
  else if (file.NumBlock)
    data.replaceKey("/NumBlock",
                    QPDFObjectHandle::newInteger(static_cast<long long>(file.Blocks.size())));

  QPDFObjectHandle illustrator = QPDFObjectHandle::newDictionary();
  illustrator.replaceKey("/LastModified", QPDFObjectHandle::newString("D:20240101120000Z"));
  if (file.UsePrivate) {
    illustrator.replaceKey("/Private", pdf.makeIndirectObject(data));
  } else {
    for (const std::string& key : data.getKeys())
      illustrator.replaceKey(key, data.getKey(key));
  }
  if (file.PieceInfo) {
    QPDFObjectHandle pieceInfo = QPDFObjectHandle::newDictionary();
    pieceInfo.replaceKey("/Illustrator", illustrator);
    page.replaceKey("/PieceInfo", pieceInfo);
  }
  pdf.addPage(page, false);

  QPDFWriter writer(pdf);
  writer.setOutputMemory();
  writer.setCompressStreams(false);
  writer.setDecodeLevel(qpdf_dl_none);
  writer.setStaticID(true);
  if (file.Passwords)
    writer.setR6EncryptionParameters(file.Passwords->first.c_str(), file.Passwords->second.c_str(),
                                     true, true, true, true, true, true, qpdf_r3p_full, true);
  writer.write();
  auto buffer = writer.getBufferSharedPointer();
  return Seed(std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize()));
}

// A PDF assembled by hand: object n + 1 is bodies[n] (what stands between "obj" and "endobj"),
// the catalog must be object 1. The cross-reference table gives the true offsets.
inline std::string Raw(const std::vector<std::string>& bodies) {
  return Seed(aiimport::testing::PdfFromObjects(bodies, "1.4"));
}

// A stream object body for Raw.
inline std::string RawStream(const std::string& data, const std::string& extra = "") {
  return "<< /Length " + std::to_string(data.size()) + extra + " >>\nstream\n" + data +
         "\nendstream";
}

// The usual first objects of a hand-assembled file: 1 catalog, 2 page tree, 3 page whose
// /Illustrator /Private is object 4 (its body is `privateDict`).
inline std::vector<std::string> RawStart(const std::string& privateDict) {
  return {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
          "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] "
          "/PieceInfo << /Illustrator << /Private 4 0 R >> >> >>",
          privateDict};
}

}  // namespace aipdf
