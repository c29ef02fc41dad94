// The window after a command that ended with an error: a reload whose interpretation threw, an
// import that could not write its file.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "windowtest.h"

namespace aiimport::testing {
namespace {

// Not a std::exception: it passes the interpreter's guards around each line.
struct Unexpected {};

// A progress dialog whose event pump throws at a chosen pump.
class ThrowingDialog : public Tfabort {
 public:
  explicit ThrowingDialog(int throwAt) : throwAt_(throwAt) {}
  void ProcessEvents() override {
    Tfabort::ProcessEvents();
    if (++pumps == throwAt_) throw Unexpected{};
  }
  int pumps = 0;

 private:
  int throwAt_;
};

TEST_F(WindowTest, AnErrorWhileInterpretingStillShowsWhatWasRead) {
  // Line 0 starts the operators; then each path takes three lines (move, line, fill).
  std::string text = "%%EndSetup\n";
  for (int i = 0; i < 100; ++i)
    text += "1 1 m\n2 1 l\nf\n";
  const auto file = drive_ / "lines.eps";
  std::ofstream(file) << text;
  // Pumps: the loader's at byte 1, then the interpreter's before lines 0, 100 and 200. The
  // fourth throws before line 200: lines 1 to 198 made 66 paths, line 199 began the 67th.
  auto* dialog = new ThrowingDialog(4);
  window->fabort.reset(dialog);
  // As a drop or "Select File" loads it: an error is reported and the window goes on.
  window->Guarded([&] { window->LoadFile(QString::fromStdString(file.string())); });
  QApplication::processEvents();

  EXPECT_EQ(messages, (std::vector<std::string>{"error: An unexpected error occurred."}));
  EXPECT_EQ(dialog->pumps, 4);
  ASSERT_EQ(window->Model.PathList.size(), 66u);
  // The tree shows every one of them.
  ASSERT_FALSE(window->Tree.Empty());
  EXPECT_EQ(TreePaths(window->Tree).size(), 66u);
  EXPECT_EQ(window->Tree.Selected(), window->Tree.First());
  EXPECT_EQ(window->label_nodes->text(), "Group (66 Paths)");
  EXPECT_TRUE(window->Button1->isEnabled());
  EXPECT_EQ(window->p->Picture.size(), window->p->size());
  // The window is back and focused; the dialog is gone.
  EXPECT_TRUE(window->isEnabled());
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(QApplication::activeWindow(), window.get());
}

TEST_F(WindowTest, AFailedImportPutsThePreviewBack) {
  Load(Sample("shapes.eps"));
  const QImage preview = window->p->Picture.copy();
  const QString caption = window->label_nodes->text();
  // "Auto-Fix Holes" draws the output while it works; the folder for the file cannot be made.
  window->cAutofix->setChecked(true);
  std::filesystem::remove_all(drive_ / "windows" / "temp");
  std::ofstream(drive_ / "windows" / "temp") << "in the way";
  window->Button1->click();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].rfind("error: ", 0), 0u);
  EXPECT_TRUE(window->isVisible());

  EXPECT_EQ(window->p->Picture, preview);
  EXPECT_EQ(window->label_nodes->text(), caption);
  // What the next paint shows: the preview.
  EXPECT_EQ(window->p->grab().toImage().convertToFormat(preview.format()), preview);
}

}  // namespace
}  // namespace aiimport::testing
