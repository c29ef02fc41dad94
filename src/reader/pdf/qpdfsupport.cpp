#include "qpdfsupport.h"

#include <qpdf/QPDFObjGen.hh>

#include <new>
#include <set>
#include <utility>
#include <vector>

#include "pdfprivatedata.h"

namespace aiimport {

bool NameIs(Handle h, const char* name) {
  return h.isName() && h.getName() == name;
}

bool HasFilters(Handle dict) {
  if (!dict.isDictionary()) return false;
  Handle filter = dict.getKey("/Filter");
  if (filter.isName()) return true;
  return filter.isArray() && filter.getArrayNItems() > 0;
}

PageWalk WalkPages(QPDF& pdf) {
  struct Pending {
    Handle Node, Resources, MediaBox, CropBox, Rotate;
  };
  PageWalk walk;
  std::set<QPDFObjGen> seen;
  auto firstVisit = [&seen](Handle& h) {
    return !h.isIndirect() || seen.insert(h.getObjGen()).second;
  };
  std::vector<Pending> pending;
  pending.push_back({pdf.getRoot().getKey("/Pages"), Handle::newNull(), Handle::newNull(),
                     Handle::newNull(), Handle::newNull()});
  while (!pending.empty()) {
    Pending p = std::move(pending.back());
    pending.pop_back();
    Handle node = p.Node;
    if (!node.isDictionary() || !firstVisit(node)) continue;
    if (node.hasKey("/Resources")) p.Resources = node.getKey("/Resources");
    if (node.hasKey("/MediaBox")) p.MediaBox = node.getKey("/MediaBox");
    if (node.hasKey("/CropBox")) p.CropBox = node.getKey("/CropBox");
    if (node.hasKey("/Rotate")) p.Rotate = node.getKey("/Rotate");
    Handle kids = node.getKey("/Kids");
    if (kids.isArray()) {
      if (firstVisit(kids)) {
        for (int i = kids.getArrayNItems(); i-- > 0;)
          pending.push_back({kids.getArrayItem(i), p.Resources, p.MediaBox, p.CropBox, p.Rotate});
      }
      continue;
    }
    if (NameIs(node.getKey("/Type"), "/Pages")) continue;  // an empty branch
    if (++walk.Count == 1) {
      walk.Page = node;
      walk.Resources = p.Resources;
      walk.MediaBox = p.MediaBox;
      walk.CropBox = p.CropBox;
      walk.Rotate = p.Rotate;
    }
  }
  return walk;
}

WriterPipeline::WriterPipeline(ByteWriter& out) : Pipeline("decoded data", nullptr), out_(out) {}

void WriterPipeline::write(unsigned char const* data, size_t len) {
  if (failure_) std::rethrow_exception(failure_);
  try {
    // qpdf's ASCII85 decoder hands over four bytes at a time: those are copied here rather
    // than through memcpy.
    if (len <= 4) {
      const auto [room, space] = out_.Room();
      if (space >= len) {
        for (std::size_t i = 0; i < len; ++i)
          room[i] = static_cast<char>(data[i]);
        out_.Commit(len);
        return;
      }
    }
    out_.Write(reinterpret_cast<const char*>(data), len);
  } catch (...) {
    failure_ = std::current_exception();
    throw;
  }
}

void WriterPipeline::RethrowFailure() const {
  if (failure_) std::rethrow_exception(failure_);
}

}  // namespace aiimport
