// Telling PostScript files apart before reading them: is it PostScript, did Illustrator write
// it, does it carry a data block, will the line reader find a line to start at.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "epsmake.h"
#include "interpreter.h"
#include "lines.h"
#include "pathcollector.h"
#include "pskind.h"
#include "threadsetting.h"

namespace {

using aiimport::ClassifyPostScript;
using aiimport::PostScriptKind;

struct KindCase {
  std::string Name;
  std::string File;
  bool PostScript, Dos, Creator, Comments, Block, Start;
};

std::vector<KindCase> KindCases() {
  const std::string dos = epsmake::DosHeader(64, 0);
  return {
      {"NotPostScript", "%PDF-1.5\n%%EndSetup\n", false, false, false, false, false, true},
      {"BlankBeforeThePercent", " %!PS-Adobe-3.0\n", false, false, false, false, false, false},
      {"PlainPostScript", "%!PS-Adobe-3.0\n%%Creator: dvips\n", true, false, false, false, false,
       false},
      {"IllustratorCreator", "%!PS\r%%Creator: Adobe Illustrator(R) 8.0\r", true, false, true,
       false, false, false},
      {"CreatorCaseIgnored", "%!PS\n%%Creator: ADOBE ILLUSTRATOR 88\n", true, false, true, false,
       false, false},
      {"OnlyTheFirstCreatorCounts",
       "%!PS\n%%Creator: Quartz\n%%Creator: Adobe Illustrator(R) 8.0\n", true, false, false, false,
       false, false},
      {"IllustratorComment", "%!PS\n%AI5_FileFormat 3\n", true, false, false, true, false, false},
      {"CommentWithoutVersionDigit", "%!PS\n%AIx_Something\n%AI_Thing\n", true, false, false, false,
       false, false},
      {"DataBlock", "%!PS\r%%EOF\r%AI9_PrivateDataBegin\r", true, false, false, true, true, false},
      {"DataBlockNameInsideALine", "%!PS\n(%AI9_PrivateDataBegin) eq\n", true, false, false, false,
       false, false},
      {"EndSetup", "%!PS\n%%EndSetup\n", true, false, false, false, false, true},
      {"EndPageSetupLowerCaseWithBlanks", "%!PS\r\n   %%endpagesetup  \r\n", true, false, false,
       false, false, true},
      {"CADDDictBeginWithInnerBlanks", "%!PS\ncadddict     BEGIN\n", true, false, false, false,
       false, true},
      {"FourPercentsReadAsTwo", "%!PS\n%%%%EndSetup\n", true, false, false, false, false, true},
      {"TabAndControlBytesDroppedByTheLoader", "%!PS\n\t%%End\x01Setup\x7F\n", true, false, false,
       false, false, true},
      {"MarkerWithMoreOnTheLine", "%!PS\n%%EndSetup done\n%%EndProlog\n", true, false, false, false,
       false, false},
      {"BlankInsideTheMarker", "%!PS\n%%End Setup\n", true, false, false, false, false, false},
      {"DosHeader", dos + "%!PS-Adobe-3.0\n%%Creator: Adobe Illustrator(R) 24\n%%EndSetup\n", true,
       true, true, false, false, true},
      // The preview after the PostScript section is not looked at.
      {"DosHeaderPreviewIgnored", dos + std::string(64, ' ') + "\n%%EndSetup\n%AI5_X\n", true, true,
       false, false, false, false},
      {"Empty", "", false, false, false, false, false, false},
  };
}

class Kind : public ::testing::TestWithParam<KindCase> {};

TEST_P(Kind, IsToldFromTheBytes) {
  const KindCase& c = GetParam();
  const PostScriptKind k = ClassifyPostScript(c.File.data(), c.File.size());
  EXPECT_EQ(k.PostScript, c.PostScript);
  EXPECT_EQ(k.DosEpsHeader, c.Dos);
  EXPECT_EQ(k.CreatorIllustrator, c.Creator);
  EXPECT_EQ(k.IllustratorComments, c.Comments);
  EXPECT_EQ(k.DataBlock, c.Block);
  EXPECT_EQ(k.StartMarker, c.Start);
  EXPECT_EQ(k.Illustrators(), c.Creator || c.Comments || c.Block);
}

INSTANTIATE_TEST_SUITE_P(Files, Kind, ::testing::ValuesIn(KindCases()),
                         [](const auto& info) { return info.param.Name; });

// A large file is surveyed in two halves on two threads: every finding is the same as with
// one thread, wherever in the file its line stands, and the first %%Creator still decides.
TEST(Kind, LargeFilesAreToldAsSmallOnesWithAnyThreadCount) {
  const std::string filler = [] {
    std::string f;
    while (f.size() < (std::size_t{5} << 20))
      f += "0 0 m\n10 10 l\nS\n";
    return f;
  }();
  std::vector<KindCase> cases;
  for (const KindCase& c : KindCases()) {
    if (c.File.rfind("%!PS", 0) != 0) continue;
    const std::size_t firstEnd = c.File.find_first_of("\r\n") + 1;
    const std::string head = c.File.substr(0, firstEnd), rest = c.File.substr(firstEnd);
    cases.push_back({c.Name + "AtTheEnd", head + filler + rest, c.PostScript, c.Dos, c.Creator,
                     c.Comments, c.Block, c.Start});
    cases.push_back({c.Name + "AtTheStart", head + rest + "\n" + filler, c.PostScript, c.Dos,
                     c.Creator, c.Comments, c.Block, c.Start});
  }
  cases.push_back({"FirstCreatorInTheFirstHalf",
                   "%!PS\n%%Creator: cairo\n" + filler + "%%Creator: Adobe Illustrator\n", true,
                   false, false, false, false, false});
  // The middle of the file on the carriage return, then on the line feed, of a CR LF pair.
  const std::size_t n = std::size_t{3} << 20;
  for (const std::size_t shorter : {16u, 14u})
    cases.push_back({"CrLfAtTheMiddle" + std::to_string(shorter),
                     "%!PS\r\n" + std::string(n, 'x') + "\r\n" + std::string(n - shorter, 'y') +
                         "\r\n%AI5_FileFormat 3\r\n",
                     true, false, false, true, false, false});
  ASSERT_GT(cases.size(), 8u);
  for (const unsigned threads : {1u, 2u, 4u}) {
    aiimport::testing::ThreadsSetting setting(threads);
    for (const KindCase& c : cases) {
      SCOPED_TRACE(c.Name + ", threads " + std::to_string(threads));
      const PostScriptKind k = ClassifyPostScript(c.File.data(), c.File.size());
      EXPECT_EQ(k.PostScript, c.PostScript);
      EXPECT_EQ(k.CreatorIllustrator, c.Creator);
      EXPECT_EQ(k.IllustratorComments, c.Comments);
      EXPECT_EQ(k.DataBlock, c.Block);
      EXPECT_EQ(k.StartMarker, c.Start);
    }
  }
}

// The start marker is found exactly where the reader starts reading: a line after it is read
// as a path when and only when the classification found one.
TEST(Kind, StartMarkerAgreesWithTheReader) {
  for (const std::string marker :
       {"%%EndSetup", "  %%ENDSETUP", "%%EndPageSetup   ", "CADDDict begin", " cadddict  begin ",
        "%%%%EndPageSetup", "%%EndSetup\x05", "\x7F%%EndSetup", "%%EndSetupX", "%%Endsetup.",
        "CADDDictbegin", "%% EndSetup", "%%%EndSetup"}) {
    SCOPED_TRACE(marker);
    const std::string file = "%!PS\n" + marker + "\n0 0 m\n10 10 l\nS\n";
    const PostScriptKind k = ClassifyPostScript(file.data(), file.size());

    auto bytes = std::make_unique<char[]>(file.size());
    std::memcpy(bytes.get(), file.data(), file.size());
    aiimport::LineList lines;
    aiimport::Progress quiet;
    aiimport::FilterLines(lines, std::move(bytes), file.size(), quiet);
    aiimport::PathModel store;
    aiimport::PathCollector collector(store);
    aiimport::InterpreterState state;
    aiimport::InterpretLines(lines, {}, state, collector, quiet);
    EXPECT_EQ(k.StartMarker, !store.PathList.empty());
  }
}

TEST(Kind, PostScriptSectionOfADosHeader) {
  struct Case {
    std::string What;
    uint32_t Offset, Length;
    std::size_t Size, Begin, End;
  };
  for (const Case& c : std::vector<Case>{
           {"inside the file", 30, 100, 200, 30, 130},
           {"running past the end", 40, 1000, 200, 40, 200},
           {"starting past the end", 500, 10, 200, 30, 200},
           {"starting inside the header", 10, 50, 200, 30, 200},
           {"empty", 30, 0, 200, 30, 200},
       }) {
    SCOPED_TRACE(c.What);
    std::string file = epsmake::DosHeader(0, 0) + std::string(c.Size - 30, 'x');
    for (int i = 0; i < 4; ++i) {
      file[4 + i] = static_cast<char>(c.Offset >> (8 * i) & 0xFF);
      file[8 + i] = static_cast<char>(c.Length >> (8 * i) & 0xFF);
    }
    const auto section = aiimport::PostScriptSection(file.data(), file.size());
    EXPECT_EQ(section.Begin, c.Begin);
    EXPECT_EQ(section.End, c.End);
  }
  const std::string plain = "%!PS\n";
  EXPECT_EQ(aiimport::PostScriptSection(plain.data(), plain.size()).End, plain.size());
  const std::string shortHeader = "\xC5\xD0\xD3\xC6\x1E";
  const auto cut = aiimport::PostScriptSection(shortHeader.data(), shortHeader.size());
  EXPECT_EQ(cut.Begin, cut.End);
}

}  // namespace
