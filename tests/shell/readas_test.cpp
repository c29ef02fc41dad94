// Options › Read As: the choice of reading takes effect at the next reload, and the status bar
// says how a file was read, or why it gave nothing.
#include <QMenu>
#include <QMenuBar>
#include <cstdlib>
#include <sstream>

#include "windowtest.h"

namespace aiimport::testing {
namespace {

// Ghostscript on the PATH, as the reading looks for it.
bool HasGhostscript() {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::stringstream dirs(path);
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (!dir.empty() && ::access((dir + "/gs").c_str(), X_OK) == 0) return true;
  return false;
}

// PostScript as other programs write it: procedures, several operators on a line, no
// Illustrator comment and no start marker. It fills one square.
const char* const ForeignPostScript =
    "%!PS-Adobe-3.0 EPSF-3.0\n"
    "%%Creator: a plotting program\n"
    "%%BoundingBox: 0 0 100 100\n"
    "%%EndComments\n"
    "/sq { newpath 10 10 moveto 90 10 lineto 90 90 lineto 10 90 lineto closepath } def\n"
    "0 0 1 setrgbcolor sq fill\n"
    "showpage\n";

class ReadAsTest : public WindowTest {
 protected:
  QAction* Choice(const char* name) {
    QAction* a = window->findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_NE(a, nullptr) << name;
    return a;
  }
  std::string WriteForeign() {
    const std::filesystem::path file = drive_ / "plot.eps";
    WriteWholeFile(file.string(), ForeignPostScript);
    return file.string();
  }
  std::string Status() { return ui->StatusPanel2->text().toStdString(); }
};

TEST_F(ReadAsTest, TheMenuOffersThreeReadingsOneAtATimeAutomaticFirst) {
  QMenu* readAs = nullptr;
  for (QMenu* menu : window->menuBar()->findChildren<QMenu*>())
    if (menu->title() == QStringLiteral("Read &As")) readAs = menu;
  ASSERT_NE(readAs, nullptr);
  QStringList captions;
  for (QAction* a : readAs->actions())
    captions << a->text();
  EXPECT_EQ(captions,
            (QStringList{QStringLiteral("Automatic"), QStringLiteral("Illustrator Operators"),
                         QStringLiteral("Page Drawing")}));
  QAction* automatic = Choice("ReadAutomatic");
  QAction* lines = Choice("ReadIllustrator");
  QAction* page = Choice("ReadPage");
  ASSERT_TRUE(automatic && lines && page);
  EXPECT_TRUE(automatic->isChecked());
  page->trigger();
  EXPECT_TRUE(page->isChecked());
  EXPECT_FALSE(automatic->isChecked());
  EXPECT_FALSE(lines->isChecked());
  lines->trigger();
  EXPECT_TRUE(lines->isChecked());
  EXPECT_FALSE(page->isChecked());
}

// The line reader finds no start marker in another program's PostScript and says so; the
// automatic reading hands the file to Ghostscript and imports the square.
TEST_F(ReadAsTest, AnotherProgramsPostScriptByEachReading) {
  const std::string file = WriteForeign();
  Choice("ReadIllustrator")->trigger();
  Load(file);
  EXPECT_TRUE(TreePaths(ui->Tree).empty());
  EXPECT_EQ(Status(),
            "No start marker (%%EndSetup) was found, so nothing was read: check Options \u203A "
            "Parse Everything and reload");

  if (!HasGhostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
  Choice("ReadAutomatic")->trigger();
  EXPECT_TRUE(TreePaths(ui->Tree).empty());  // the choice waits for the next reload
  ui->Reload1->trigger();
  ASSERT_TRUE(ui->WaitForWork());
  ASSERT_EQ(TreePaths(ui->Tree).size(), 1u);
  EXPECT_EQ(Status(), "Read as page drawing through Ghostscript");
  EXPECT_TRUE(ui->Button1->isEnabled());  // Import
}

// Illustrator's own file reads the plain way under Automatic, with nothing to say; as a page
// drawing it goes through Ghostscript, and the status bar says so.
TEST_F(ReadAsTest, AnIllustratorFileReadsPlainlyOrAsAPage) {
  Load(Sample("shapes.eps"));
  EXPECT_EQ(TreePaths(ui->Tree).size(), 6u);
  EXPECT_EQ(Status(), "");

  if (!HasGhostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
  Choice("ReadPage")->trigger();
  ui->Reload1->trigger();
  ASSERT_TRUE(ui->WaitForWork());
  EXPECT_FALSE(TreePaths(ui->Tree).empty());
  EXPECT_EQ(Status().rfind("Read as page drawing through Ghostscript", 0), 0u) << Status();
}

}  // namespace
}  // namespace aiimport::testing
