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
  ui->fabort.reset(dialog);
  // As a drop or "Select File" loads it: an error is reported and the window goes on.
  ui->Guarded([&] { ui->LoadFile(QString::fromStdString(file.string())); });
  ASSERT_TRUE(ui->WaitForWork());

  EXPECT_EQ(messages, (std::vector<std::string>{"error: An unexpected error occurred."}));
  EXPECT_EQ(dialog->pumps, 4);
  ASSERT_EQ(ui->Model.PathList.size(), 66u);
  // The tree shows every one of them.
  ASSERT_FALSE(ui->Tree.Empty());
  EXPECT_EQ(TreePaths(ui->Tree).size(), 66u);
  EXPECT_EQ(ui->Tree.Selected(), ui->Tree.First());
  EXPECT_EQ(ui->label_nodes->text(), QStringLiteral("Group (66 Paths)"));
  EXPECT_TRUE(ui->Button1->isEnabled());
  EXPECT_EQ(ui->p->Picture.size(), ui->p->size());
  // The window is back and focused; the dialog is gone.
  EXPECT_TRUE(window->isEnabled());
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(QApplication::activeWindow(), window.get());
}

TEST_F(WindowTest, AFailedImportPutsThePreviewBack) {
  Load(Sample("shapes.eps"));
  const QImage preview = ui->p->Picture.copy();
  const QString caption = ui->label_nodes->text();
  // "Auto-Fix Holes" draws the output while it works; the folder for the file cannot be made.
  ui->cAutofix->setChecked(true);
  std::filesystem::remove_all(drive_ / "windows" / "temp");
  std::ofstream(drive_ / "windows" / "temp") << "in the way";
  ui->Button1->click();
  ASSERT_TRUE(ui->WaitForWork());
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].rfind("error: ", 0), 0u);
  EXPECT_TRUE(window->isVisible());

  EXPECT_EQ(ui->p->Picture, preview);
  EXPECT_EQ(ui->label_nodes->text(), caption);
  // What the next paint shows: the preview.
  EXPECT_EQ(ui->p->grab().toImage().convertToFormat(preview.format()), preview);
}

}  // namespace
}  // namespace aiimport::testing
