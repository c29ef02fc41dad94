// PDF-based Illustrator files made here with qpdf: whatever way the drawing text is kept in the
// private data, reading the PDF gives the same paths as reading that text as a plain file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "aipdf.h"
#include "lines.h"
#include "pdfsource.h"
#include "pdftestsupport.h"
#include "readfile.h"

namespace {

using aiimport::DataCoding;
using aipdf::AiPdf;
using aipdf::Block;
using pdftest::ScratchDir;

const std::string ZlibMarker = "%AI12_CompressedData";
const std::string ZstdMarker = "%AI24_ZStandard_Data";

struct Made {
  AiPdf Pdf;
  std::string Text;  // what the private data decode to
};

struct Case {
  std::string Name;
  DataCoding Coding;
  std::function<Made()> Make;
};

// The drawing body of shapes.eps repeated until the text passes `bytes`, to reach beyond the
// pieces the extraction grows its buffers in.
std::string LargeShapesText(std::size_t bytes) {
  const std::string& s = pdftest::ShapesText();
  const std::size_t bodyStart = s.find("%%EndSetup\n") + 11;
  const std::size_t bodyEnd = s.find("%%PageTrailer\n");
  const std::string body = s.substr(bodyStart, bodyEnd - bodyStart);
  std::string text = s.substr(0, bodyStart);
  while (text.size() < bytes)
    text += body;
  return text + s.substr(bodyEnd);
}

std::vector<Case> Cases() {
  std::vector<Case> cases;
  auto add = [&](std::string name, DataCoding coding, std::function<Made()> make) {
    cases.push_back({std::move(name), coding, std::move(make)});
  };

  add("PlainOneBlock", DataCoding::Plain, [] {
    const auto [header, rest] = pdftest::ShapesHeaderAndRest();
    Made m;
    m.Pdf.MetaData = header;
    m.Pdf.Blocks = {Block{rest}};
    m.Text = header + rest;
    return m;
  });
  // As Illustrator 9 writes them: a thumbnail block, then the text in Flate-filtered blocks,
  // no /NumBlock.
  add("PlainFlateBlocksAfterThumbnail", DataCoding::Plain, [] {
    const auto [header, rest] = pdftest::ShapesHeaderAndRest();
    Made m;
    m.Pdf.MetaData = header;
    m.Pdf.NumBlock = false;
    m.Pdf.Blocks.push_back(Block{pdftest::Thumbnail()});
    for (const std::string& piece : aipdf::Split(header + rest, {300, 1, 400}))
      m.Pdf.Blocks.push_back(Block{piece, true});
    m.Text = header + pdftest::Thumbnail() + header + rest;
    return m;
  });
  add("ZlibOneBlock", DataCoding::Zlib, [] {
    const auto [header, rest] = pdftest::ShapesHeaderAndRest();
    Made m;
    m.Pdf.MetaData = header;
    m.Pdf.Blocks = {Block{ZlibMarker + aipdf::Zlib(rest)}};
    m.Text = header + rest;
    return m;
  });
  // The marker at the start of the second block, the zlib stream spread over three blocks.
  add("ZlibBlocksAfterThumbnail", DataCoding::Zlib, [] {
    const auto [header, rest] = pdftest::ShapesHeaderAndRest();
    Made m;
    m.Pdf.MetaData = header;
    m.Pdf.Blocks.push_back(Block{pdftest::Thumbnail()});
    for (const std::string& piece : aipdf::Split(ZlibMarker + aipdf::Zlib(rest, 9), {60, 100}))
      m.Pdf.Blocks.push_back(Block{piece});
    m.Text = header + pdftest::Thumbnail() + rest;
    return m;
  });
  add("ZlibInFlateFilteredBlocksNoNumBlock", DataCoding::Zlib, [] {
    const auto [header, rest] = pdftest::ShapesHeaderAndRest();
    Made m;
    m.Pdf.NumBlock = false;
    for (const std::string& piece : aipdf::Split(ZlibMarker + aipdf::Zlib(rest), {200}))
      m.Pdf.Blocks.push_back(Block{piece, true});
    m.Text = rest;
    return m;
  });
  // As Illustrator 24 writes them: frames without a content size, blocks of fixed size.
  add("ZstandardBlocksNoContentSize", DataCoding::Zstandard, [] {
    const auto [header, rest] = pdftest::ShapesHeaderAndRest();
    Made m;
    m.Pdf.MetaData = header;
    for (const std::string& piece :
         aipdf::Split(ZstdMarker + aipdf::ZstdFrame(rest, false), {128, 128, 128}))
      m.Pdf.Blocks.push_back(Block{piece});
    m.Text = header + rest;
    return m;
  });
  add("ZstandardSeveralFramesAfterThumbnailNoNumBlock", DataCoding::Zstandard, [] {
    const auto [header, rest] = pdftest::ShapesHeaderAndRest();
    const auto parts = aipdf::Split(rest, {250, 400});
    Made m;
    m.Pdf.MetaData = header;
    m.Pdf.NumBlock = false;
    m.Pdf.Blocks.push_back(Block{pdftest::Thumbnail()});
    m.Pdf.Blocks.push_back(Block{ZstdMarker + aipdf::ZstdFrame(parts[0], false) +
                                 aipdf::ZstdFrame(parts[1], true) +
                                 aipdf::ZstdFrame(parts[2], false)});
    m.Text = header + pdftest::Thumbnail() + rest;
    return m;
  });
  add("AIPDFPrivateDataKeys", DataCoding::Zlib, [] {
    const auto [header, rest] = pdftest::ShapesHeaderAndRest();
    Made m;
    m.Pdf.KeyPrefix = "/AIPDFPrivateData";
    m.Pdf.MetaData = header;
    m.Pdf.Blocks = {Block{pdftest::Thumbnail()}, Block{ZlibMarker + aipdf::Zlib(rest)}};
    m.Text = header + pdftest::Thumbnail() + rest;
    return m;
  });
  add("BlocksInIllustratorWithoutPrivate", DataCoding::Zstandard, [] {
    const auto [header, rest] = pdftest::ShapesHeaderAndRest();
    Made m;
    m.Pdf.UsePrivate = false;
    m.Pdf.MetaData = header;
    m.Pdf.Blocks = {Block{ZstdMarker + aipdf::ZstdFrame(rest, false)}};
    m.Text = header + rest;
    return m;
  });
  add("MarkerSplitBetweenBlocks", DataCoding::Zlib, [] {
    const auto [header, rest] = pdftest::ShapesHeaderAndRest();
    Made m;
    m.Pdf.MetaData = header;
    const std::string data = pdftest::Thumbnail() + ZlibMarker + aipdf::Zlib(rest);
    for (const std::string& piece : aipdf::Split(data, {pdftest::Thumbnail().size() + 7}))
      m.Pdf.Blocks.push_back(Block{piece});
    m.Text = header + pdftest::Thumbnail() + rest;
    return m;
  });
  // Only the owner password is set: the file opens without one, its streams are encrypted.
  add("EncryptedWithoutUserPassword", DataCoding::Zstandard, [] {
    const auto [header, rest] = pdftest::ShapesHeaderAndRest();
    Made m;
    m.Pdf.Passwords = {{"", "owner"}};
    m.Pdf.MetaData = header;
    m.Pdf.Blocks = {Block{ZstdMarker + aipdf::ZstdFrame(rest, false)}};
    m.Text = header + rest;
    return m;
  });
  // About 1 MB of text in blocks of 64 KiB, unpacked into many pieces of memory; the marker
  // lies across the first 64 KiB of the joined data.
  for (DataCoding coding : {DataCoding::Zlib, DataCoding::Zstandard}) {
    add(coding == DataCoding::Zlib ? "LargeZlib" : "LargeZstandard", coding, [coding] {
      const std::string text = LargeShapesText(900000);
      const std::size_t prologAt = text.find("%%BeginProlog");
      const std::string header = text.substr(0, prologAt);
      std::string thumb = pdftest::Thumbnail(0);
      thumb += "%" + std::string(65532 - header.size() - thumb.size() - 3, 'A') + "\r\n";
      std::string rest = text.substr(prologAt);
      const std::size_t restSize = (1u << 20) + 100 - 65532;
      rest = "%" + std::string(restSize - rest.size() - 2, 'p') + "\n" + rest;
      EXPECT_EQ(header.size() + thumb.size() + rest.size(), (1u << 20) + 100);
      const std::string& marker = coding == DataCoding::Zlib ? ZlibMarker : ZstdMarker;
      const std::string packed = coding == DataCoding::Zlib
                                     ? aipdf::Zlib(rest)
                                     : aipdf::ZstdFrame(rest.substr(0, 700000), false) +
                                           aipdf::ZstdFrame(rest.substr(700000), false);
      Made m;
      m.Pdf.MetaData = header;
      m.Pdf.Blocks.push_back(Block{thumb});
      for (const std::string& piece : aipdf::Split(marker + packed, {65536, 65536, 1000}))
        m.Pdf.Blocks.push_back(Block{piece});
      m.Text = header + thumb + rest;
      return m;
    });
  }
  return cases;
}

class PdfCase : public ::testing::TestWithParam<Case> {};

TEST_P(PdfCase, ExtractsTheTextAndReadsTheSamePathsAsThePlainText) {
  const Made made = GetParam().Make();
  const std::string pdf = aipdf::Write(made.Pdf);
  ASSERT_TRUE(aiimport::IsPdfData(pdf.data(), pdf.size()));

  const aiimport::IllustratorData x = aiimport::ExtractIllustratorText(pdf.data(), pdf.size());
  ASSERT_TRUE(x.Ok) << x.Message;
  EXPECT_EQ(x.Coding, GetParam().Coding);
  EXPECT_EQ(x.Blocks, made.Pdf.Blocks.size());
  EXPECT_TRUE(x.View() == made.Text)
      << "decoded " << x.Size << " bytes, expected " << made.Text.size();

  ScratchDir dir;
  aiimport::Progress quiet;
  aiimport::PathModel fromPdf, fromText;
  const auto readPdf = aiimport::ReadSourceFile(fromPdf, dir.File("drawing.ai", pdf), {}, quiet);
  const auto readText =
      aiimport::ReadSourceFile(fromText, dir.File("drawing.eps", made.Text), {}, quiet);
  ASSERT_EQ(readPdf.Load.Status, aiimport::LoadStatus::Loaded) << readPdf.Load.Message;
  EXPECT_EQ(readPdf.Load.Bytes, pdf.size());
  EXPECT_EQ(readPdf.Lines, readText.Lines);
  EXPECT_EQ(readPdf.InterpretedExtent, readText.InterpretedExtent);
  ASSERT_FALSE(fromText.PathList.empty());
  pdftest::ExpectSamePaths(fromPdf, fromText);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PdfCase, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.Name; });

// The same file taken over by the loader's variant (which frees the PDF early) gives the same.
TEST(PdfExtraction, OwningVariantGivesTheSameText) {
  const auto [header, rest] = pdftest::ShapesHeaderAndRest();
  AiPdf layout;
  layout.MetaData = header;
  layout.Blocks = {Block{ZlibMarker + aipdf::Zlib(rest)}};
  const std::string pdf = aipdf::Write(layout);
  auto bytes = std::make_unique<char[]>(pdf.size());
  std::memcpy(bytes.get(), pdf.data(), pdf.size());
  const auto x = aiimport::ExtractIllustratorText(std::move(bytes), pdf.size());
  ASSERT_TRUE(x.Ok) << x.Message;
  EXPECT_EQ(x.View(), header + rest);
}

TEST(PdfExtraction, OnlyBytesStartingWithPdfAreTakenForPdf) {
  EXPECT_TRUE(aiimport::IsPdfData("%PDF-1.5\n", 9));
  EXPECT_TRUE(aiimport::IsPdfData("%PDF", 4));
  EXPECT_FALSE(aiimport::IsPdfData("%PD", 3));
  EXPECT_FALSE(aiimport::IsPdfData(" %PDF-1.5", 9));
  EXPECT_FALSE(aiimport::IsPdfData("%!PS-Adobe-3.0", 14));
}

// The loader filters the extracted text, not the PDF's bytes: the bar runs over the text and
// the phase text gives the text's size.
class RecordingProgress : public aiimport::Progress {
 public:
  bool HasProgressBar() const override { return true; }
  void SetPhaseText(const std::string& text) override {
    if (Phase.empty()) Phase = text;
  }
  void SetMaximum(int64_t maximum) override {
    if (Maximum < 0) Maximum = maximum;
  }
  void SetPosition(int64_t position) override {
    if (!LoaderDone) Positions.push_back(position);
  }
  void ProcessEvents() override {
    if (AbortOnEvent) SetAbortRequested(true);
  }
  std::string Phase;
  int64_t Maximum = -1;
  std::vector<int64_t> Positions;
  bool LoaderDone = false;
  bool AbortOnEvent = false;
};

// shapes.eps with a comment line added so that the whole text is exactly `bytes` long.
std::string ShapesPaddedTo(std::size_t bytes) {
  const auto [header, rest] = pdftest::ShapesHeaderAndRest();
  const std::size_t pad = bytes - header.size() - rest.size() - 2;
  return header + "%" + std::string(pad, 'x') + "\n" + rest;
}

TEST(PdfLoading, ProgressCountsTheExtractedText) {
  const std::string text = ShapesPaddedTo(20480);
  ASSERT_EQ(text.size(), 20480u);
  AiPdf layout;
  layout.Blocks = {Block{ZstdMarker + aipdf::ZstdFrame(text, false)}};
  const std::string pdf = aipdf::Write(layout);
  ASSERT_LT(pdf.size(), 10000u);  // the PDF is smaller than the text it holds

  ScratchDir dir;
  RecordingProgress progress;
  aiimport::LineList lines;
  const auto result = aiimport::LoadLines(lines, dir.File("padded.ai", pdf), progress);
  ASSERT_EQ(result.Status, aiimport::LoadStatus::Loaded) << result.Message;
  EXPECT_EQ(result.Bytes, pdf.size());
  EXPECT_EQ(progress.Maximum, 20480);
  EXPECT_EQ(progress.Phase, "Parsing File     (20 KB)");
  // Progress points below 20 480: 1, 4097 and 16385.
  EXPECT_EQ(progress.Positions, (std::vector<int64_t>{1, 4097, 16385}));

  aiimport::LineList plain;
  aiimport::Progress quiet;
  aiimport::LoadLines(plain, dir.File("padded.eps", text), quiet);
  ASSERT_EQ(lines.size(), plain.size());
  for (std::size_t i = 0; i < plain.size(); ++i)
    EXPECT_EQ(lines[i], plain[i]);
}

TEST(PdfLoading, AbortWhileFilteringEmptiesTheList) {
  AiPdf layout;
  layout.Blocks = {Block{ZlibMarker + aipdf::Zlib(pdftest::ShapesText())}};
  ScratchDir dir;
  RecordingProgress progress;
  progress.AbortOnEvent = true;
  aiimport::LineList lines = aiimport::LineList::FromLines({"earlier line"});
  const auto result =
      aiimport::LoadLines(lines, dir.File("abort.ai", aipdf::Write(layout)), progress);
  EXPECT_EQ(result.Status, aiimport::LoadStatus::Aborted);
  EXPECT_TRUE(lines.empty());
}

}  // namespace
