// Makes PDF files for the page reader's tests with qpdf: one page (and more when asked) whose
// content streams are written by hand, with named objects (forms, colour spaces, shadings,
// optional content groups) that refer to one another: in every text, {name} stands for a
// reference to the object of that name.
#pragma once

#include <zlib.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "aipdf.h"
#include "pathcollector.h"
#include "pdfpage.h"

namespace pagepdf {

struct Object {
  std::string Dict = "<< >>";       // the object, or a stream's dictionary
  std::optional<std::string> Data;  // a stream's bytes
  bool Flate = false;               // the bytes are kept zlib-compressed with /FlateDecode
};

struct Page {
  std::vector<std::string> Contents = {""};
  bool FlateContents = false;
  // Content streams kept as given under a filter (by index): damaged or unknown data.
  std::map<std::size_t, std::string> RawFilters;
  bool NoContents = false;  // the page has no /Contents
  std::string MediaBox = "[0 0 612 792]";
  std::string Resources = "<< >>";
  std::string Extra;    // more keys of the page dictionary
  std::string Catalog;  // more keys of the catalog
  std::map<std::string, Object> Objects;
  int MorePages = 0;
  std::optional<std::pair<std::string, std::string>> Passwords;  // user, owner
};

inline std::string Substitute(const std::string& text,
                              const std::map<std::string, QPDFObjectHandle>& objects) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '{') {
      const std::size_t close = text.find('}', i);
      const auto it = objects.find(text.substr(i + 1, close - i - 1));
      if (close == std::string::npos || it == objects.end())
        throw std::runtime_error("unknown object in " + text);
      const QPDFObjGen og = it->second.getObjGen();
      out += std::to_string(og.getObj()) + " " + std::to_string(og.getGen()) + " R";
      i = close;
    } else {
      out += text[i];
    }
  }
  return out;
}

inline QPDFObjectHandle Parse(QPDF& pdf, const std::string& text,
                              const std::map<std::string, QPDFObjectHandle>& objects) {
  return QPDFObjectHandle::parse(&pdf, Substitute(text, objects));
}

inline QPDFObjectHandle MakeStream(QPDF& pdf, const std::string& data, bool flate) {
  QPDFObjectHandle stream = pdf.newStream();
  if (flate)
    stream.replaceStreamData(aipdf::Zlib(data), QPDFObjectHandle::newName("/FlateDecode"),
                             QPDFObjectHandle::newNull());
  else
    stream.replaceStreamData(data, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
  return stream;
}

inline std::string Write(const Page& want) {
  QPDF pdf;
  pdf.emptyPDF();
  std::map<std::string, QPDFObjectHandle> objects;
  for (const auto& [name, object] : want.Objects)
    objects[name] = object.Data ? MakeStream(pdf, *object.Data, object.Flate)
                                : QPDFObjectHandle::newReserved(&pdf);
  for (const auto& [name, object] : want.Objects) {
    QPDFObjectHandle parsed = Parse(pdf, object.Dict, objects);
    if (object.Data) {
      QPDFObjectHandle dict = objects[name].getDict();
      for (const std::string& key : parsed.getKeys())
        if (key != "/Length") dict.replaceKey(key, parsed.getKey(key));
    } else {
      pdf.replaceReserved(objects[name], parsed);
    }
  }
  QPDFObjectHandle page =
      pdf.makeIndirectObject(Parse(pdf,
                                   "<< /Type /Page /MediaBox " + want.MediaBox + " /Resources " +
                                       want.Resources + " " + want.Extra + " >>",
                                   objects));
  if (!want.NoContents) {
    auto content = [&](std::size_t i) {
      const auto raw = want.RawFilters.find(i);
      if (raw == want.RawFilters.end())
        return MakeStream(pdf, want.Contents[i], want.FlateContents);
      QPDFObjectHandle stream = pdf.newStream();
      stream.replaceStreamData(want.Contents[i], QPDFObjectHandle::newName(raw->second),
                               QPDFObjectHandle::newNull());
      return stream;
    };
    if (want.Contents.size() == 1) {
      page.replaceKey("/Contents", content(0));
    } else {
      QPDFObjectHandle array = QPDFObjectHandle::newArray();
      for (std::size_t i = 0; i < want.Contents.size(); ++i)
        array.appendItem(content(i));
      page.replaceKey("/Contents", array);
    }
  }
  if (!want.Catalog.empty()) {
    QPDFObjectHandle extra = Parse(pdf, "<< " + want.Catalog + " >>", objects);
    for (const std::string& key : extra.getKeys())
      pdf.getRoot().replaceKey(key, extra.getKey(key));
  }
  pdf.addPage(page, false);
  for (int i = 0; i < want.MorePages; ++i) {
    QPDFObjectHandle more = pdf.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 100 100] >>"));
    more.replaceKey("/Contents", pdf.newStream("0 0 m 1 1 l S"));
    pdf.addPage(more, false);
  }
  QPDFWriter writer(pdf);
  writer.setOutputMemory();
  writer.setCompressStreams(false);
  writer.setDecodeLevel(qpdf_dl_none);
  writer.setStaticID(true);
  if (want.Passwords)
    writer.setR6EncryptionParameters(want.Passwords->first.c_str(), want.Passwords->second.c_str(),
                                     true, true, true, true, true, true, qpdf_r3p_full, true);
  writer.write();
  auto buffer = writer.getBufferSharedPointer();
  return aipdf::Seed(
      std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize()));
}

inline std::string Write(const std::string& content) {
  Page page;
  page.Contents = {content};
  return Write(page);
}

struct Read {
  aiimport::PathModel Model;
  aiimport::PdfPageResult Result;
};

inline Read ReadPage(const std::string& pdf, aiimport::PdfPageOptions options = {}) {
  Read r;
  aiimport::PathCollector collector(r.Model);
  aiimport::Progress quiet;
  r.Result = aiimport::ReadPdfPage(pdf.data(), pdf.size(), options, collector, quiet);
  return r;
}

// A point record of the reader's kind: 0 move, 1 line (x, y); 2 curve (c1, c2, end).
inline aiimport::tbpoint Move(float x, float y) {
  aiimport::tbpoint p;
  p.Kind = 0;
  p.X1 = x, p.Y1 = y;
  return p;
}
inline aiimport::tbpoint Line(float x, float y) {
  aiimport::tbpoint p;
  p.Kind = 1;
  p.X1 = x, p.Y1 = y;
  return p;
}
inline aiimport::tbpoint Curve(float x1, float y1, float x2, float y2, float x3, float y3) {
  aiimport::tbpoint p;
  p.Kind = 2;
  p.X1 = x1, p.Y1 = y1, p.X2 = x2, p.Y2 = y2, p.X3 = x3, p.Y3 = y3;
  return p;
}

}  // namespace pagepdf
