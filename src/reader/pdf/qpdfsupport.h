// What the files of this folder that use qpdf share: the page tree walk and the tests of stream
// dictionaries. qpdf's headers go no further than this folder. Read as C++17 (see
// CMakeLists.txt).
#pragma once

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstdint>
#include <exception>

namespace aiimport {

using Handle = QPDFObjectHandle;

bool NameIs(Handle h, const char* name);

// Whether a stream dictionary names at least one filter.
bool HasFilters(Handle dict);

// The first page in page-tree order, with what it inherits, and the number of pages. Every
// indirect node and kids array is visited once, so a tree that refers back to itself ends.
struct PageWalk {
  Handle Page, Resources, MediaBox, CropBox, Rotate;
  int64_t Count = 0;
};
PageWalk WalkPages(QPDF& pdf);

class ByteWriter;

// qpdf's decoding written straight into a ByteWriter. qpdf catches what a pipeline throws and
// only reports failure, so the exception is kept here for the caller to throw again.
class WriterPipeline final : public Pipeline {
 public:
  explicit WriterPipeline(ByteWriter& out);
  void write(unsigned char const* data, size_t len) override;
  void finish() override {}
  // Throws again what the writer threw, if it did.
  void RethrowFailure() const;

 private:
  ByteWriter& out_;
  std::exception_ptr failure_;
};

}  // namespace aiimport
