// The PDF page reader on hostile and damaged files: each ends with a plain-words message and
// what could be read, never a crash, a hang or unbounded memory; every point stays finite.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "pagepdf.h"

namespace {

using aiimport::tbpoint;
using pagepdf::Line;
using pagepdf::Move;
using pagepdf::ReadPage;

const std::string DamagedContent =
    "Part of the content of this PDF page is damaged: what comes before the damage is read";

std::string Repeat(const std::string& s, std::size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (std::size_t i = 0; i < n; ++i)
    out += s;
  return out;
}

// "k 0 m k 10 l S" for k = 0 .. n - 1: path k starts at x = k.
std::string NumberedPaths(int n) {
  std::string s;
  for (int k = 0; k < n; ++k)
    s += std::to_string(k) + " 0 m " + std::to_string(k) + " 10 l S\n";
  return s;
}

void ExpectNumberedPrefix(const pagepdf::Read& r) {
  for (std::size_t k = 0; k < r.Model.PathList.size(); ++k)
    ASSERT_EQ(r.Model.PathList[k].Items.front(), Move(static_cast<float>(k), 0)) << k;
}

TEST(PdfPageBad, DeepAndUnbalancedSaves) {
  const std::string p = " 0 0 m 1 1 l S ";
  // 100 000 nested q: the deepest 65 536 are kept, so both paths are in 65 536 groups.
  pagepdf::Read r = ReadPage(pagepdf::Write(Repeat("q ", 100000) + p + p + Repeat("Q ", 100000)));
  ASSERT_EQ(r.Model.PathList.size(), 2u);
  EXPECT_EQ(r.Model.PathList[0].GroupLevel, 65536);
  EXPECT_EQ(r.Model.PathList[1].GroupLevel, 65536);

  // A Q without q does nothing; a q without Q ends with the content.
  r = ReadPage(pagepdf::Write("Q Q" + p + "q 2 0 0 2 0 0 cm" + p + p));
  ASSERT_EQ(r.Model.PathList.size(), 3u);
  EXPECT_EQ(r.Model.PathList[0].GroupLevel, 0);
  EXPECT_EQ(r.Model.PathList[1].GroupLevel, 1);
  EXPECT_EQ(r.Model.PathList[2].Items[1], Line(2, 2));
}

TEST(PdfPageBad, OperatorsWithoutTheirOperandsDoNothing) {
  for (const char* content :
       {"0 m 1 1 l S", "1 2 3 re S", "0 0 m 1 c S", "/a 0 m 1 1 l S", "(0) 0 m 1 1 l S",
        "true 0 m 1 1 l S", "[0 0] m 1 1 l S", "<< /A 0 >> 0 m 1 1 l S", "m l S f"}) {
    SCOPED_TRACE(content);
    const pagepdf::Read r = ReadPage(pagepdf::Write(content));
    EXPECT_TRUE(r.Result.Ok);
    EXPECT_TRUE(r.Model.PathList.empty());
  }
}

TEST(PdfPageBad, MatricesStayFinite) {
  const std::string path = " 1 1 m 2 2 l S";
  const std::string huge = "1" + std::string(400, '0');
  // Out of float32's range, or not numbers at all: the cm does nothing.
  for (const std::string& cm :
       {huge + " 0 0 1 0 0 cm", std::string("340282356779733661637539395458142568448 0 0 1 0 0 cm"),
        std::string("NaN 0 0 1 0 0 cm"), std::string("1 0 0 1 inf 0 cm"),
        std::string("1e308 0 0 1 0 0 cm"), std::string("1 0 0 1 0 -Infinity cm")}) {
    SCOPED_TRACE(cm);
    const pagepdf::Read r = ReadPage(pagepdf::Write(cm + path));
    ASSERT_EQ(r.Model.PathList.size(), 1u);
    EXPECT_TRUE(r.Model.PathList[0].Items == std::vector<tbpoint>({Move(1, 1), Line(2, 2)}));
  }
  // Too small for float32: zero.
  pagepdf::Read r = ReadPage(pagepdf::Write("0." + std::string(60, '0') + "1 0 0 1 0 0 cm" + path));
  ASSERT_EQ(r.Model.PathList.size(), 1u);
  EXPECT_TRUE(r.Model.PathList[0].Items == std::vector<tbpoint>({Move(0, 1), Line(0, 2)}));

  // Each cm multiplies by 1e30: the product may not pass 1e100, so the fourth and fifth are
  // refused; points beyond float32's range are held at its largest value.
  const std::string e30 = "1" + std::string(30, '0');
  const std::string cm = e30 + " 0 0 " + e30 + " 0 0 cm ";
  aiimport::PdfPageOptions options;
  options.FlipVertical = false;
  r = ReadPage(pagepdf::Write(Repeat(cm, 5) + path), options);
  ASSERT_EQ(r.Model.PathList.size(), 1u);
  EXPECT_TRUE(r.Model.PathList[0].Items ==
              std::vector<tbpoint>({Move(FLT_MAX, -FLT_MAX), Line(FLT_MAX, -FLT_MAX)}));
}

TEST(PdfPageBad, FloodsOfOperandsArraysAndStrings) {
  const std::string p = " 0 0 m 2 2 l S";
  const std::vector<tbpoint> want = {Move(0, 0), Line(2, 2)};
  for (const std::string& content :
       {Repeat("1 ", 1000000) + p, Repeat("[", 100000) + " 0 0 m 1 1 l S" + p,
        Repeat("<<", 50000) + " 0 0 m 1 1 l S" + p, Repeat("] >> ", 1000) + p,
        std::string("(0 0 m 1 1 l S) Tj <303020> Tj") + p, Repeat("%", 1000) + "\n" + p,
        std::string("{ } ) ") + p}) {
    const pagepdf::Read r = ReadPage(pagepdf::Write(content));
    ASSERT_EQ(r.Model.PathList.size(), 1u) << content.substr(0, 40);
    EXPECT_TRUE(r.Model.PathList[0].Items == want);
  }
}

TEST(PdfPageBad, DamagedContentStreamsReadUpToTheDamage) {
  const std::string content = NumberedPaths(300);
  const std::string compressed = aipdf::Zlib(content);

  // Cut short: the first half of the compressed data.
  pagepdf::Page cut;
  cut.Contents = {compressed.substr(0, compressed.size() / 2)};
  cut.RawFilters[0] = "/FlateDecode";
  pagepdf::Read r = ReadPage(pagepdf::Write(cut));
  EXPECT_TRUE(r.Result.Ok);
  EXPECT_TRUE(r.Result.Damaged);
  EXPECT_EQ(r.Result.Message, DamagedContent);
  EXPECT_GT(r.Model.PathList.size(), 10u);
  EXPECT_LT(r.Model.PathList.size(), 300u);
  ExpectNumberedPrefix(r);

  // Not zlib data at all; a filter qpdf does not undo: left out, the next stream is read.
  pagepdf::Page junk;
  junk.Contents = {"this is not zlib data", "this is no image", "0 0 m 1 1 l S"};
  junk.RawFilters[0] = "/FlateDecode";
  junk.RawFilters[1] = "/JBIG2Decode";
  r = ReadPage(pagepdf::Write(junk));
  EXPECT_TRUE(r.Result.Ok);
  EXPECT_TRUE(r.Result.Damaged);
  EXPECT_EQ(r.Result.Message, DamagedContent);
  ASSERT_EQ(r.Model.PathList.size(), 1u);

  // A form whose data breaks off.
  pagepdf::Page form;
  form.Contents = {"/F Do 5 5 m 6 6 l S"};
  form.Resources = "<< /XObject << /F {F} >> >>";
  form.Objects["F"] = {"<< /Subtype /Form /BBox [0 0 999 99] /Filter /FlateDecode >>",
                       compressed.substr(0, compressed.size() / 2)};
  r = ReadPage(pagepdf::Write(form));
  EXPECT_TRUE(r.Result.Damaged);
  EXPECT_EQ(r.Result.Message, DamagedContent);
  EXPECT_GT(r.Model.PathList.size(), 10u);
  EXPECT_EQ(r.Model.PathList.back().Items.front(), Move(5, 5));
}

TEST(PdfPageBad, ContentLimitStopsReading) {
  // 14 bytes a path: 1000 bytes hold 71 paths; a token that ends beyond the limit is not read,
  // so the count stops at the end of the last token read.
  for (bool flate : {false, true}) {
    pagepdf::Page page;
    page.Contents = {Repeat("0 0 m 1 1 l S\n", 200)};
    page.FlateContents = flate;
    aiimport::PdfPageOptions options;
    options.MaxContentBytes = 1000;
    const pagepdf::Read r = ReadPage(pagepdf::Write(page), options);
    EXPECT_TRUE(r.Result.Damaged);
    EXPECT_EQ(r.Result.Message,
              "The content of this PDF page unpacks to more than 1000 bytes: only the first 1000 "
              "bytes are read");
    EXPECT_EQ(r.Model.PathList.size(), 71u);
    EXPECT_EQ(r.Result.ContentBytes, 999u);  // "0 0 m" of the 72nd path
  }
  // The page and its forms share the limit: the page's "/F Do" (5 bytes), the whole first form
  // (1400), the page's second "/F Do" (6 more), then the second form while its tokens fit:
  // 42 paths and a "0" (589 bytes), 2000 in all.
  pagepdf::Page forms;
  forms.Contents = {"/F Do /F Do /F Do"};
  forms.Resources = "<< /XObject << /F {F} >> >>";
  forms.Objects["F"] = {"<< /Subtype /Form /BBox [0 0 9 9] >>", Repeat("0 0 m 1 1 l S\n", 100)};
  aiimport::PdfPageOptions options;
  options.MaxContentBytes = 2000;
  const pagepdf::Read r = ReadPage(pagepdf::Write(forms), options);
  EXPECT_EQ(r.Model.PathList.size(), 142u);
  EXPECT_EQ(r.Result.ContentBytes, 2000u);
  EXPECT_TRUE(r.Result.Damaged);
}

TEST(PdfPageBad, FilesThatGiveNoPage) {
  struct Case {
    std::string Pdf, Message;
  };
  pagepdf::Page locked;
  locked.Contents = {"0 0 m 1 1 l S"};
  locked.Passwords = std::make_pair(std::string("secret"), std::string("owner"));
  const Case cases[] = {
      {"%PDF-1.7\n\x01\x02 nothing of a PDF here",
       "This PDF file is damaged or incomplete and cannot be read"},
      {"%PDF", "This PDF file is damaged or incomplete and cannot be read"},
      {aipdf::Raw({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>"}),
       "This PDF file has no pages"},
      {pagepdf::Write(locked), "This PDF file is protected by a password"},
  };
  for (const Case& c : cases) {
    const pagepdf::Read r = ReadPage(c.Pdf);
    EXPECT_FALSE(r.Result.Ok);
    EXPECT_EQ(r.Result.Message, c.Message);
    EXPECT_TRUE(r.Model.PathList.empty());
  }
}

TEST(PdfPageBad, EmptyPagesAndOwnerPasswords) {
  pagepdf::Page empty;
  empty.NoContents = true;
  pagepdf::Read r = ReadPage(pagepdf::Write(empty));
  EXPECT_TRUE(r.Result.Ok);
  EXPECT_EQ(r.Result.Message, "The first page of this PDF file has no content");
  EXPECT_TRUE(r.Model.PathList.empty());

  // Only an owner password: qpdf decrypts, the compressed content reads as usual.
  pagepdf::Page owner;
  owner.Contents = {"0 0 m 1 1 l S"};
  owner.FlateContents = true;
  owner.Passwords = std::make_pair(std::string(), std::string("owner"));
  r = ReadPage(pagepdf::Write(owner));
  EXPECT_TRUE(r.Result.Ok) << r.Result.Message;
  ASSERT_EQ(r.Model.PathList.size(), 1u);
  EXPECT_TRUE(r.Model.PathList[0].Items == std::vector<tbpoint>({Move(0, 0), Line(1, 1)}));
}

TEST(PdfPageBad, CutFilesEndWithAMessage) {
  pagepdf::Page page;
  page.Contents = {NumberedPaths(2000)};
  page.FlateContents = true;
  const std::string pdf = pagepdf::Write(page);
  // Cut inside the content: a message, and the paths before the cut.
  for (std::size_t keep : {pdf.size() / 4, pdf.size() / 2}) {
    const pagepdf::Read r = ReadPage(pdf.substr(0, keep));
    EXPECT_FALSE(r.Result.Message.empty()) << keep;
    ExpectNumberedPrefix(r);
  }
  // Without the end of the file (where the cross-reference table is found) qpdf rebuilds it.
  const pagepdf::Read r = ReadPage(pdf.substr(0, pdf.size() - 12));
  EXPECT_EQ(r.Model.PathList.size(), 2000u);
  ExpectNumberedPrefix(r);
}

// Presses "Abort" at the n-th event pump; records what the bar was told.
class Recorder : public aiimport::Progress {
 public:
  explicit Recorder(int abortAt) : abortAt_(abortAt) {}
  bool HasProgressBar() const override { return true; }
  void SetPhaseText(const std::string& text) override { Phase = text; }
  void SetMaximum(int64_t maximum) override { Maximum = maximum; }
  void SetPosition(int64_t position) override { Positions.push_back(position); }
  void ProcessEvents() override {
    if (++pumps_ == abortAt_) SetAbortRequested(true);
  }
  std::string Phase;
  int64_t Maximum = -1;
  std::vector<int64_t> Positions;

 private:
  int abortAt_;
  int pumps_ = 0;
};

TEST(PdfPageProgress, BarFollowsTheStoredContentAndAbortKeepsNothing) {
  pagepdf::Page page;
  page.Contents = {Repeat("0 0 m 1 1 l S\n", 40000)};  // 560 000 bytes
  const std::string pdf = pagepdf::Write(page);
  {
    aiimport::PathModel model;
    aiimport::PathCollector collector(model);
    Recorder progress(0);
    const auto r = aiimport::ReadPdfPage(pdf.data(), pdf.size(), {}, collector, progress);
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(model.PathList.size(), 40000u);
    EXPECT_EQ(progress.Phase, "Reading Page     (547 KB)");  // 546.875 KB
    EXPECT_EQ(progress.Maximum, 560000);
    ASSERT_GE(progress.Positions.size(), 3u);
    EXPECT_EQ(progress.Positions.back(), 0);
    for (std::size_t i = 1; i + 1 < progress.Positions.size(); ++i) {
      EXPECT_GE(progress.Positions[i], progress.Positions[i - 1]);
      EXPECT_LE(progress.Positions[i], 560000);
    }
  }
  for (bool flate : {false, true}) {
    page.FlateContents = flate;
    const std::string file = pagepdf::Write(page);
    aiimport::PathModel model;
    aiimport::PathCollector collector(model);
    Recorder progress(2);
    const auto r = aiimport::ReadPdfPage(file.data(), file.size(), {}, collector, progress);
    EXPECT_FALSE(r.Ok);
    EXPECT_TRUE(r.Aborted);
    EXPECT_TRUE(model.PathList.empty());
  }
}

}  // namespace

namespace {

// Paths of random corners and colours: content that zlib packs to well over a megabyte.
std::string RandomContent(std::size_t bytes, unsigned seed) {
  std::mt19937 random(seed);
  std::string s;
  auto number = [&random] {
    return std::to_string(random() % 60000) + "." + std::to_string(random() % 100) + " ";
  };
  while (s.size() < bytes) {
    s += "q " + std::to_string(random() % 2) + " 0 0 rg " + number() + number() + "m ";
    for (int i = 0; i < 5; ++i)
      s += number() + number() + number() + number() + number() + number() + "c ";
    s += random() % 3 ? "h f Q\n" : "S Q\n";
  }
  return s;
}

void ExpectSameDrawing(const pagepdf::Read& a, const pagepdf::Read& b) {
  ASSERT_EQ(a.Model.PathList.size(), b.Model.PathList.size());
  for (std::size_t i = 0; i < a.Model.PathList.size(); ++i) {
    const aiimport::tpath &p = a.Model.PathList[i], &q = b.Model.PathList[i];
    ASSERT_TRUE(p.Items == q.Items) << i;
    ASSERT_EQ(p.FillColor, q.FillColor) << i;
    ASSERT_EQ(p.GroupLevel, q.GroupLevel) << i;
    ASSERT_EQ(p.CompoundNo, q.CompoundNo) << i;
    ASSERT_EQ(p.Filled, q.Filled) << i;
  }
  EXPECT_EQ(a.Result.Damaged, b.Result.Damaged);
  EXPECT_EQ(a.Result.Message, b.Result.Message);
  EXPECT_EQ(a.Result.ContentBytes, b.Result.ContentBytes);
}

TEST(PdfPageThreads, SecondThreadReadsTheSame) {
  aiimport::PdfPageOptions one;
  one.SingleThread = true;
  // Stored as it is, stored compressed, compressed and cut short, limited.
  pagepdf::Page plain;
  plain.Contents = {RandomContent(std::size_t{3} << 20, 1)};
  pagepdf::Page flate = plain;
  flate.FlateContents = true;
  pagepdf::Page cut;
  const std::string z = aipdf::Zlib(plain.Contents[0]);
  cut.Contents = {z.substr(0, z.size() * 3 / 4)};
  cut.RawFilters[0] = "/FlateDecode";
  for (const pagepdf::Page* page : {&plain, &flate, &cut}) {
    const std::string pdf = pagepdf::Write(*page);
    const pagepdf::Read two = ReadPage(pdf), single = ReadPage(pdf, one);
    EXPECT_GT(two.Model.PathList.size(), 5000u);
    ExpectSameDrawing(two, single);
    aiimport::PdfPageOptions limited, limitedOne = one;
    limited.MaxContentBytes = limitedOne.MaxContentBytes = 1500000;
    ExpectSameDrawing(ReadPage(pdf, limited), ReadPage(pdf, limitedOne));
  }
  EXPECT_TRUE(ReadPage(pagepdf::Write(cut)).Result.Damaged);

  // "Abort" while the second thread reads ahead.
  const std::string pdf = pagepdf::Write(flate);
  aiimport::PathModel model;
  aiimport::PathCollector collector(model);
  Recorder progress(3);
  const auto r = aiimport::ReadPdfPage(pdf.data(), pdf.size(), {}, collector, progress);
  EXPECT_TRUE(r.Aborted);
  EXPECT_TRUE(model.PathList.empty());
}

}  // namespace
