// PDF files that hold no usable drawing, damaged ones and hostile ones: a plain-words message,
// bounded memory, no crash; the loader reports them as unreadable and leaves the lines alone.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <sstream>
#include <string>

#include "aipdf.h"
#include "cli.h"
#include "lines.h"
#include "pdfsource.h"
#include "pdftestsupport.h"

namespace {

using aipdf::AiPdf;
using aipdf::Block;

const std::string ZlibMarker = "%AI12_CompressedData";
const std::string ZstdMarker = "%AI24_ZStandard_Data";

const std::string NoDrawing = "This PDF file holds no Illustrator drawing data";
const std::string DamagedPdf = "This PDF file is damaged or incomplete and cannot be read";
const std::string Password = "This PDF file is protected by a password";
const std::string DamagedData =
    "The Illustrator drawing data in this PDF file is damaged or incomplete";
const std::string Undecodable =
    "The Illustrator drawing data in this PDF file does not decompress: it is damaged or "
    "incomplete";

std::string TooLarge(const std::string& size) {
  return "The Illustrator drawing data in this PDF file unpacks to more than " + size +
         ": it is not read";
}

std::string MessageFor(const std::string& pdf, const aiimport::UnpackLimits& limits = {}) {
  const auto x = aiimport::ExtractIllustratorText(pdf.data(), pdf.size(), limits);
  EXPECT_FALSE(x.Ok);
  EXPECT_EQ(x.Size, 0u);
  EXPECT_EQ(x.Text, nullptr);
  return x.Message;
}

AiPdf WithBlocks(std::vector<Block> blocks) {
  AiPdf layout;
  layout.MetaData = pdftest::ShapesHeaderAndRest().first;
  layout.Blocks = std::move(blocks);
  return layout;
}

TEST(PdfWithoutDrawing, SaysSoInPlainWords) {
  AiPdf noPieceInfo = WithBlocks({Block{pdftest::ShapesText()}});
  noPieceInfo.PieceInfo = false;
  EXPECT_EQ(MessageFor(aipdf::Write(noPieceInfo)), NoDrawing);

  // /AIMetaData alone is a header, not a drawing.
  EXPECT_EQ(MessageFor(aipdf::Write(WithBlocks({}))), NoDrawing);

  // Blocks under a name Illustrator does not use.
  AiPdf otherKeys = WithBlocks({Block{pdftest::ShapesText()}});
  otherKeys.KeyPrefix = "/AIPrivate";
  EXPECT_EQ(MessageFor(aipdf::Write(otherKeys)), NoDrawing);

  // Blocks that are all empty.
  AiPdf emptyBlocks;
  emptyBlocks.Blocks = {Block{""}, Block{""}};
  EXPECT_EQ(MessageFor(aipdf::Write(emptyBlocks)), NoDrawing);

  // A PDF with no page at all.
  EXPECT_EQ(MessageFor(aipdf::Raw(
                {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>"})),
            NoDrawing);
}

TEST(PdfWithoutDrawing, DamagedAndEncryptedFiles) {
  EXPECT_EQ(MessageFor("%PDF-1.7\n\x01\x02 nothing of a PDF here"), DamagedPdf);
  EXPECT_EQ(MessageFor("%PDF"), DamagedPdf);

  AiPdf locked = WithBlocks({Block{pdftest::ShapesText()}});
  locked.Passwords = {{"user", "owner"}};
  EXPECT_EQ(MessageFor(aipdf::Write(locked)), Password);

  // Fewer blocks than /NumBlock says, a block that is no stream, a filter we cannot undo.
  AiPdf missing = WithBlocks({Block{pdftest::ShapesText()}});
  missing.NumBlockValue = 2;
  EXPECT_EQ(MessageFor(aipdf::Write(missing)), DamagedData);
  EXPECT_EQ(MessageFor(aipdf::Raw(aipdf::RawStart("<< /AIPrivateData1 (text, not a stream) >>"))),
            DamagedData);
  EXPECT_EQ(MessageFor(aipdf::Write(WithBlocks({Block{"\x01\x02\x03", false, "/JBIG2Decode"}}))),
            DamagedData);
}

// A huge /NumBlock, a huge stream /Length, object references that lead back to themselves and
// a page tree that contains itself.
TEST(PdfHostileStructure, ClaimsAndLoopsEndWithAMessage) {
  AiPdf manyBlocks = WithBlocks({Block{pdftest::ShapesText()}});
  manyBlocks.NumBlockValue = 2147483647;
  EXPECT_EQ(MessageFor(aipdf::Write(manyBlocks)), DamagedData);

  // A page tree whose only kid is itself.
  EXPECT_EQ(MessageFor(aipdf::Raw({"<< /Type /Catalog /Pages 2 0 R >>",
                                   "<< /Type /Pages /Kids [2 0 R] /Count 1 >>"})),
            NoDrawing);
  // Two page-tree nodes that name each other.
  EXPECT_EQ(MessageFor(aipdf::Raw({"<< /Type /Catalog /Pages 2 0 R >>",
                                   "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                   "<< /Type /Pages /Kids [2 0 R] /Count 1 >>"})),
            NoDrawing);
  // A node written inline in a kids array that is its own /Kids.
  EXPECT_EQ(MessageFor(aipdf::Raw(
                {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids 3 0 R /Count 1 >>",
                 "[<< /Type /Pages /Kids 3 0 R >> << /Type /Pages /Kids 3 0 R >>]"})),
            NoDrawing);
  // A block that is a reference to itself.
  {
    auto objects = aipdf::RawStart("<< /AIPrivateData1 5 0 R >>");
    objects.push_back("5 0 R");
    EXPECT_EQ(MessageFor(aipdf::Raw(objects)), DamagedData);
  }
  // /Private a reference to itself: no private dictionary, so none of its blocks.
  {
    auto objects = aipdf::RawStart("4 0 R");
    EXPECT_EQ(MessageFor(aipdf::Raw(objects)), NoDrawing);
  }
  // Stream lengths the file cannot hold: the library finds the data by its "endstream".
  const std::string text = pdftest::ShapesText();
  for (const std::string& length : {std::string("999999999999"), std::string("-20")}) {
    auto objects = aipdf::RawStart("<< /AIPrivateData1 5 0 R >>");
    objects.push_back("<< /Length " + length + " >>\nstream\n" + text + "endstream");
    const std::string pdf = aipdf::Raw(objects);
    const auto x = aiimport::ExtractIllustratorText(pdf.data(), pdf.size());
    ASSERT_TRUE(x.Ok) << x.Message;
    EXPECT_EQ(x.View(), text) << "length " << length;
  }
  // A length given by the stream itself: the object cannot be read, and an unreadable object
  // is no object, so there is no first block.
  {
    auto objects = aipdf::RawStart("<< /AIPrivateData1 5 0 R >>");
    objects.push_back("<< /Length 5 0 R >>\nstream\n" + text + "endstream");
    EXPECT_EQ(MessageFor(aipdf::Raw(objects)), NoDrawing);
  }
}

TEST(PdfBadCompressedData, CorruptOrCutShortZlib) {
  const std::string packed = aipdf::Zlib(pdftest::ShapesText());
  std::string badHeader = packed;
  badHeader[0] = '\x79';  // no zlib header
  std::string badBody = packed;
  badBody[packed.size() / 2] = static_cast<char>(badBody[packed.size() / 2] ^ 0x55);
  for (const std::string& data : {badHeader, badBody, packed.substr(0, packed.size() - 4),
                                  packed.substr(0, 10), std::string()}) {
    EXPECT_EQ(MessageFor(aipdf::Write(WithBlocks({Block{ZlibMarker + data}}))), Undecodable);
  }
}

TEST(PdfBadCompressedData, CorruptOrCutShortZstandard) {
  const std::string frame = aipdf::ZstdFrame(pdftest::ShapesText(), false);
  std::string badMagic = frame;
  badMagic[0] = 'X';
  for (const std::string& data :
       {badMagic, frame.substr(0, frame.size() - 3), frame + "trailing junk", std::string()}) {
    EXPECT_EQ(MessageFor(aipdf::Write(WithBlocks({Block{ZstdMarker + data}}))), Undecodable);
  }
  // A frame header that claims 2^40 bytes of content and a window of 2 GiB: refused without
  // allocating them.
  std::string hugeContent("\x28\xB5\x2F\xFD\xC0\x00", 6);
  hugeContent += std::string("\x00\x00\x00\x00\x00\x01\x00\x00", 8);  // 2^40, little endian
  hugeContent += std::string(
      "\x19\x00\x00"
      "abc",
      6);  // last raw block "abc"
  EXPECT_EQ(MessageFor(aipdf::Write(WithBlocks({Block{ZstdMarker + hugeContent}}))), Undecodable);
  std::string hugeWindow("\x28\xB5\x2F\xFD\x00\xA8", 6);  // window log 31
  hugeWindow += std::string(
      "\x19\x00\x00"
      "abc",
      6);
  EXPECT_EQ(MessageFor(aipdf::Write(WithBlocks({Block{ZstdMarker + hugeWindow}}))), Undecodable);
}

// Small data that unpacks to far more than the limit, in each of the three places where data
// unpack: the PDF's own Flate filter, the zlib stream and the Zstandard frames.
TEST(PdfZipBomb, RefusedAtTheLimit) {
  const std::string zeros(8 << 20, '\0');
  aiimport::UnpackLimits limits;
  limits.MaxTextBytes = 1 << 20;
  const std::string message = TooLarge("1 MB");
  EXPECT_EQ(MessageFor(aipdf::Write(WithBlocks({Block{zeros, true}})), limits), message);
  EXPECT_EQ(
      MessageFor(aipdf::Write(WithBlocks({Block{ZlibMarker + aipdf::Zlib(zeros, 9)}})), limits),
      message);
  EXPECT_EQ(
      MessageFor(aipdf::Write(WithBlocks({Block{ZstdMarker + aipdf::ZstdFrame(zeros, false)}})),
                 limits),
      message);
  // Exactly at the limit is fine.
  limits.MaxTextBytes = zeros.size();
  AiPdf exact;
  exact.Blocks = {Block{ZstdMarker + aipdf::ZstdFrame(zeros, false)}};
  const std::string pdf = aipdf::Write(exact);
  const auto x = aiimport::ExtractIllustratorText(pdf.data(), pdf.size(), limits);
  ASSERT_TRUE(x.Ok) << x.Message;
  EXPECT_EQ(x.Size, zeros.size());
  limits.MaxTextBytes = zeros.size() - 1;
  EXPECT_EQ(MessageFor(pdf, limits), TooLarge(std::to_string(zeros.size() - 1) + " bytes"));
}

long MaxResidentKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// The loader's own limit, 1 GiB: a Zstandard frame of 256 KiB whose run-length blocks would
// unpack to 8 GiB is stopped there, and the memory in use never got near the 8 GiB.
TEST(PdfZipBomb, LoaderRefusesMoreThanOneGigabyte) {
  // Frame header: magic, no content size, window 128 KiB; then 65536 blocks, each 128 KiB of
  // "A" as one run (block header: size << 3 | run-length type << 1 | last).
  std::string frame("\x28\xB5\x2F\xFD\x00\x38", 6);
  for (int i = 0; i < 65536; ++i) {
    const uint32_t header = (uint32_t{131072} << 3) | (1u << 1) | (i == 65535 ? 1u : 0u);
    frame += static_cast<char>(header & 0xFF);
    frame += static_cast<char>((header >> 8) & 0xFF);
    frame += static_cast<char>((header >> 16) & 0xFF);
    frame += 'A';
  }
  // The frame is sound: a small part of it decodes to runs of "A".
  {
    std::string head = frame.substr(0, 6 + 4 * 2);
    head[6 + 4 + 0] = static_cast<char>(head[6 + 4] | 1);  // the second block made the last
    std::string out(3 * 131072, '\0');
    const std::size_t n = ZSTD_decompress(out.data(), out.size(), head.data(), head.size());
    ASSERT_FALSE(ZSTD_isError(n)) << ZSTD_getErrorName(n);
    EXPECT_EQ(out.substr(0, n), std::string(2 * 131072, 'A'));
  }

  AiPdf layout;
  layout.Blocks = {Block{ZstdMarker + frame}};
  pdftest::ScratchDir dir;
  aiimport::Progress quiet;
  aiimport::LineList lines = aiimport::LineList::FromLines({"kept"});
  const auto result = aiimport::LoadLines(lines, dir.File("bomb.ai", aipdf::Write(layout)), quiet);
  EXPECT_EQ(result.Status, aiimport::LoadStatus::Unreadable);
  EXPECT_EQ(result.Message, TooLarge("1 GB"));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "kept");
  // 1 GiB of text plus the program: well under 3 GiB, far under the 8 GiB of the bomb.
  EXPECT_LT(MaxResidentKilobytes(), 3L << 20);
}

TEST(PdfLoading, UnreadablePdfLeavesTheLinesAndReportsWhy) {
  AiPdf layout = WithBlocks({});
  pdftest::ScratchDir dir;
  const std::string file = dir.File("empty.ai", aipdf::Write(layout));
  aiimport::Progress quiet;
  aiimport::LineList lines = aiimport::LineList::FromLines({"first", "second"});
  const auto result = aiimport::LoadLines(lines, file, quiet);
  EXPECT_EQ(result.Status, aiimport::LoadStatus::Unreadable);
  EXPECT_EQ(result.Message, NoDrawing);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "second");

  // A reload by the classic rules ends with no paths.
  aiimport::PathModel store;
  aiimport::ReadOptions classic;
  classic.Reader = aiimport::ReadAs::IllustratorOperators;
  auto read = aiimport::ReadSourceFile(store, file, classic, quiet);
  EXPECT_EQ(read.Load.Status, aiimport::LoadStatus::Unreadable);
  EXPECT_TRUE(store.PathList.empty());

  // The listing with the same reading prints the same text on stderr and exits 2.
  std::ostringstream out, err;
  EXPECT_EQ(aiimport::RunCommandLine({"--list", "--reader", "lines", file}, out, err),
            aiimport::ExitFailure);
  EXPECT_EQ(err.str(), "aiimport: " + NoDrawing + "\n");
  EXPECT_EQ(out.str(), "");

  // "Automatic" reads what the page draws instead.
  read = aiimport::ReadSourceFile(store, file, {}, quiet);
  EXPECT_EQ(read.Load.Status, aiimport::LoadStatus::Loaded);
  EXPECT_EQ(read.Route, aiimport::ReadRoute::PdfPage);
}

}  // namespace
