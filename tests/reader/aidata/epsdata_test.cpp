// Illustrator's data block in EPS files made here: whatever the line ends, packing and
// surroundings, the text found is the header lines followed by the drawing text that was
// packed; a block that does not unpack says why; a file without one finds nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "epsdata.h"
#include "epsmake.h"

namespace {

using aiimport::DataCoding;
using aiimport::FindEpsIllustratorData;

const std::string& DrawingText() {
  static const std::string text = epsmake::ReadWholeFile(
      (std::filesystem::path(AIIMPORT_SOURCE_DIR) / "samples" / "shapes.eps").string());
  return text;
}

// Three Zstandard frames, one after another, as Illustrator writes a large drawing.
std::string ZstdFrames(const std::string& text) {
  const std::size_t third = text.size() / 3;
  return epsmake::ZstdFrame(text.substr(0, third)) + epsmake::ZstdFrame(text.substr(third, third)) +
         epsmake::ZstdFrame(text.substr(2 * third));
}

epsmake::Block ZlibBlock(const std::string& eol, const std::string& text = DrawingText()) {
  epsmake::Block b;
  b.Eol = eol;
  b.Marker = "%AI9_DataStream";
  b.Packed = epsmake::Zlib(text);
  return b;
}

epsmake::Block ZstdBlock(const std::string& eol, const std::string& text = DrawingText()) {
  epsmake::Block b;
  b.Eol = eol;
  b.Packed = ZstdFrames(text);
  return b;
}

struct Made {
  std::string File;
  std::string Text;  // what the block must give
  DataCoding Coding = DataCoding::Zlib;
};

Made Plain(const epsmake::Block& b, DataCoding coding, const std::string& text = DrawingText()) {
  return {epsmake::Page(b.Eol) + epsmake::BlockText(b), epsmake::HeaderText(b) + text, coding};
}

struct GoodCase {
  std::string Name;
  std::function<Made()> Make;
};

std::vector<GoodCase> GoodCases() {
  std::vector<GoodCase> cases;
  for (const auto& [name, eol] : std::vector<std::pair<std::string, std::string>>{
           {"Lf", "\n"}, {"Cr", "\r"}, {"CrLf", "\r\n"}}) {
    cases.push_back({"Zlib" + name, [eol] { return Plain(ZlibBlock(eol), DataCoding::Zlib); }});
    cases.push_back(
        {"Zstandard" + name, [eol] { return Plain(ZstdBlock(eol), DataCoding::Zstandard); }});
  }
  cases.push_back({"OneDataLine", [] {
                     epsmake::Block b = ZlibBlock("\n");
                     b.LineWidth = 1u << 20;
                     return Plain(b, DataCoding::Zlib);
                   }});
  // A stored zlib stream is 11 bytes longer than its text: texts of 100 to 103 bytes leave a
  // last ASCII85 group of 3, 4, 1 and 2 bytes.
  for (std::size_t n = 100; n < 104; ++n) {
    cases.push_back(
        {"LastGroupOf" + std::to_string((n + 11) % 4 ? (n + 11) % 4 : 4) + "Bytes", [n] {
           const std::string text = "%" + std::string(n - 2, 'x') + "\n";
           epsmake::Block b = ZlibBlock("\r", text);
           b.Packed = epsmake::Zlib(text, 0);
           EXPECT_EQ(b.Packed.size(), n + 11);
           return Plain(b, DataCoding::Zlib, text);
         }});
  }
  // ASCII85 allows white space anywhere in the data; blanks around the marker lines do no harm.
  cases.push_back({"BlanksAndTabsInsideTheData", [] {
                     epsmake::Block b = ZlibBlock("\n");
                     b.LineWidth = 37;
                     Made m = Plain(b, DataCoding::Zlib);
                     // After the "%" of every data line.
                     std::string spaced;
                     const std::size_t data = m.File.find("%AI9_DataStream\n") + 16;
                     const std::size_t end = m.File.find("%AI9_PrivateDataEnd");
                     for (std::size_t at = 0; at < m.File.size(); ++at) {
                       spaced += m.File[at];
                       if (at >= data && at < end && m.File[at - 1] == '\n') spaced += " \t";
                     }
                     m.File = spaced;
                     return m;
                   }});
  // A DOS EPS binary header names the PostScript section; the preview after it (here holding
  // a block of its own) is not part of the PostScript.
  cases.push_back({"DosHeaderWithAPreviewAfterThePostScript", [] {
                     const epsmake::Block b = ZlibBlock("\r\n");
                     const std::string ps = epsmake::Page(b.Eol) + epsmake::BlockText(b);
                     const std::string preview =
                         "II*\0\x08\0\0\0" + epsmake::BlockText(ZstdBlock("\n", "decoy\n"));
                     return Made{epsmake::DosHeader(ps.size(), preview.size()) + ps + preview,
                                 epsmake::HeaderText(b) + DrawingText(), DataCoding::Zlib};
                   }});
  // A placed Illustrator EPS embedded in the page brings its own "%%EOF" and block: the block
  // that counts is the one after the file's own last page.
  cases.push_back({"EmbeddedDocumentWithItsOwnBlock", [] {
                     const epsmake::Block inner = ZlibBlock("\r", "%inner drawing\r");
                     const std::string embedded = "%%BeginDocument: placed.eps\r" +
                                                  epsmake::Page("\r") + epsmake::BlockText(inner) +
                                                  "%%EndDocument\r";
                     const epsmake::Block b = ZstdBlock("\r");
                     return Made{epsmake::Page("\r", embedded) + epsmake::BlockText(b),
                                 epsmake::HeaderText(b) + DrawingText(), DataCoding::Zstandard};
                   }});
  cases.push_back({"CloseMarkCutBetweenTwoLines", [] {
                     // Lines of a fixed width can end between "~" and ">".
                     epsmake::Block b = ZlibBlock("\n");
                     b.LineWidth = epsmake::Ascii85(b.Packed).size() + 1;
                     return Plain(b, DataCoding::Zlib);
                   }});
  cases.push_back({"WithoutEndLineAfterTheCloseMark", [] {
                     epsmake::Block b = ZstdBlock("\n");
                     b.EndLine = false;
                     return Plain(b, DataCoding::Zstandard);
                   }});
  return cases;
}

class GoodBlock : public ::testing::TestWithParam<GoodCase> {};

TEST_P(GoodBlock, GivesTheHeaderLinesAndTheUnpackedText) {
  const Made m = GetParam().Make();
  const auto x = FindEpsIllustratorData(m.File.data(), m.File.size());
  EXPECT_TRUE(x.Found);
  ASSERT_TRUE(x.Ok) << x.Message;
  EXPECT_EQ(x.Coding, m.Coding);
  EXPECT_TRUE(x.Message.empty());
  EXPECT_EQ(x.Size, m.Text.size());
  EXPECT_TRUE(x.View() == m.Text);
}

INSTANTIATE_TEST_SUITE_P(Kinds, GoodBlock, ::testing::ValuesIn(GoodCases()),
                         [](const auto& info) { return info.param.Name; });

const std::string Damaged =
    "The Illustrator drawing data in this EPS file is damaged or incomplete";
const std::string Undecodable =
    "The Illustrator drawing data in this EPS file does not decompress: it is damaged or "
    "incomplete";
const std::string MissingEnd =
    "The Illustrator drawing data in this EPS file is cut short: its end mark is missing";
const std::string UnknownCoding =
    "The Illustrator drawing data in this EPS file is packed in a way this program does not "
    "know";

struct BadCase {
  std::string Name;
  std::function<std::string()> Make;  // the file
  std::string Message;
};

std::string FileOf(const epsmake::Block& b) {
  return epsmake::Page(b.Eol) + epsmake::BlockText(b);
}

std::vector<BadCase> BadCases() {
  std::vector<BadCase> cases;
  auto add = [&](std::string name, std::function<std::string()> make, std::string message) {
    cases.push_back({std::move(name), std::move(make), std::move(message)});
  };
  add(
      "ZlibHeaderDamaged",
      [] {
        epsmake::Block b = ZlibBlock("\n");
        b.Packed[0] = '\0';
        return FileOf(b);
      },
      Undecodable);
  add(
      "ZlibCutShort",
      [] {
        epsmake::Block b = ZlibBlock("\r\n");
        b.Packed.resize(b.Packed.size() / 2);
        return FileOf(b);
      },
      Undecodable);
  add(
      "ZstandardCutShort",
      [] {
        epsmake::Block b = ZstdBlock("\r");
        b.Packed.resize(b.Packed.size() - 1);
        return FileOf(b);
      },
      Undecodable);
  add(
      "ZstandardDataUnderTheZlibMarker",
      [] {
        epsmake::Block b = ZstdBlock("\n");
        b.Marker = "%AI9_DataStream";
        return FileOf(b);
      },
      Undecodable);
  add(
      "CharacterOutsideAscii85",
      [] {
        std::string f = FileOf(ZlibBlock("\r"));
        f[f.find("%AI9_DataStream\r%") + 17] = 'v';
        return f;
      },
      Damaged);
  add(
      "BrokenCloseMark",
      [] {
        epsmake::Block b = ZlibBlock("\r");
        b.Close = "~x";
        return FileOf(b);
      },
      Damaged);
  add(
      "DataLineWithoutPercent",
      [] {
        std::string f = FileOf(ZlibBlock("\r\n"));
        f.erase(f.find("\r\n%", f.find("%AI9_DataStream")) + 2, 1);
        return f;
      },
      Damaged);
  add(
      "NoStreamMarker",
      [] {
        epsmake::Block b = ZlibBlock("\r");
        b.Marker = "%AI5_FileFormat 14.0";
        return FileOf(b);
      },
      Damaged);
  add(
      "StreamMarkerOfAnotherVersion",
      [] {
        epsmake::Block b = ZstdBlock("\r");
        b.Marker = "%AI30_DataStream";
        return FileOf(b);
      },
      UnknownCoding);
  add(
      "NoCloseMarkBeforeTheEndLine",
      [] {
        epsmake::Block b = ZlibBlock("\r");
        b.Close = "";
        return FileOf(b);
      },
      MissingEnd);
  add(
      "NoCloseMarkAndNoEndLine",
      [] {
        epsmake::Block b = ZstdBlock("\r\n");
        b.Close = "";
        b.EndLine = false;
        return FileOf(b);
      },
      MissingEnd);
  return cases;
}

class BadBlock : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadBlock, IsFoundAndSaysWhyItGivesNoText) {
  const std::string file = GetParam().Make();
  const auto x = FindEpsIllustratorData(file.data(), file.size());
  EXPECT_TRUE(x.Found);
  EXPECT_FALSE(x.Ok);
  EXPECT_EQ(x.Text, nullptr);
  EXPECT_EQ(x.Size, 0u);
  EXPECT_EQ(x.Message, GetParam().Message);
}

INSTANTIATE_TEST_SUITE_P(Kinds, BadBlock, ::testing::ValuesIn(BadCases()),
                         [](const auto& info) { return info.param.Name; });

TEST(EpsBlock, TheLimitCountsHeaderAndText) {
  const epsmake::Block b = ZstdBlock("\r");
  const std::string file = FileOf(b);
  const std::size_t whole = epsmake::HeaderText(b).size() + DrawingText().size();

  aiimport::UnpackLimits limits;
  limits.MaxTextBytes = whole;
  const auto exact = FindEpsIllustratorData(file.data(), file.size(), limits);
  ASSERT_TRUE(exact.Ok) << exact.Message;
  EXPECT_EQ(exact.Size, whole);

  limits.MaxTextBytes = whole - 1;
  const auto over = FindEpsIllustratorData(file.data(), file.size(), limits);
  EXPECT_TRUE(over.Found);
  EXPECT_FALSE(over.Ok);
  EXPECT_EQ(over.Message, "The Illustrator drawing data in this EPS file unpacks to more than " +
                              std::to_string(whole - 1) + " bytes: it is not read");

  // A stream of zeros that unpacks a thousand times larger than it is.
  epsmake::Block bomb = ZlibBlock("\n");
  bomb.Packed = epsmake::Zlib(std::string(8u << 20, '\0'), 9);
  const std::string bombFile = FileOf(bomb);
  limits.MaxTextBytes = 1u << 20;
  const auto refused = FindEpsIllustratorData(bombFile.data(), bombFile.size(), limits);
  EXPECT_EQ(refused.Message,
            "The Illustrator drawing data in this EPS file unpacks to more than 1 MB: it is not "
            "read");
}

TEST(EpsBlock, NothingIsFoundWithoutABlockAfterThePage) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"a classic Illustrator EPS", DrawingText()},
      {"a page whose skip procedure names the block's marks",
       epsmake::Page("\r") + "userdict /x (%AI9_PrivateDataBegin) put\r"},
      {"the marker inside a longer line", epsmake::Page("\n") + "%AI9_PrivateDataBeginX\n" +
                                              epsmake::BlockText(ZlibBlock("\n")).substr(22)},
      {"a block only inside an embedded document",
       epsmake::Page("\r", "%%BeginDocument: placed.eps\r" + epsmake::Page("\r") +
                               epsmake::BlockText(ZlibBlock("\r")) + "%%EndDocument\r")},
      {"a damaged block only inside an embedded document",
       epsmake::Page("\n", "%%BeginDocument: placed.eps\n" + epsmake::Page("\n") +
                               "%AI9_PrivateDataBegin\n%AI9_PrivateDataEnd\n%%EndDocument\n")},
      {"nothing at all", ""},
  };
  for (const auto& [what, file] : files) {
    SCOPED_TRACE(what);
    const auto x = FindEpsIllustratorData(file.data(), file.size());
    EXPECT_FALSE(x.Found);
    EXPECT_FALSE(x.Ok);
    EXPECT_TRUE(x.Message.empty()) << x.Message;
    EXPECT_EQ(x.Text, nullptr);
  }
  EXPECT_FALSE(FindEpsIllustratorData(nullptr, 0).Found);
}

}  // namespace
