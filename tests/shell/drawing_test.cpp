// The window while a file is read and drawn: the window answers while the reading runs on its
// thread, the controls stay disabled until the tree is filled, the line counter and the last
// file's status do not outlive the reading, and a drawing made on the drawing thread shows
// exactly the picture a drawing made at once shows.
#include <QAbstractItemModel>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <atomic>

#include "windowtest.h"

namespace aiimport::testing {
namespace {

bool AllWhite(const QImage& image) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFFu) != 0xFFFFFFu) return false;
  return true;
}

// Waits for the drawing under way and the events it posted.
void WaitForPicture(TfmainTestAccess& ui) {
  ASSERT_TRUE(QTest::qWaitFor([&] { return !ui.Drawing(); }, 20000));
  QApplication::processEvents();
}

// A progress dialog whose reading waits at its second pump until "Abort" has been pressed (a
// minute at most): the reading is under way for as long as the window takes to press it.
// `state`: 1 while it waits, 2 once it has seen the press.
class WaitingDialog : public Tfabort {
 public:
  explicit WaitingDialog(std::atomic<int>& state) : state_(state) {}
  void ProcessEvents() override {
    Tfabort::ProcessEvents();
    if (++pumps_ != 2) return;
    state_ = 1;
    QElapsedTimer waited;
    waited.start();
    while (!AbortRequested() && waited.elapsed() < 60000)
      QThread::msleep(2);
    if (AbortRequested()) state_ = 2;
  }

 private:
  std::atomic<int>& state_;
  int pumps_ = 0;
};

TEST_F(WindowTest, TheWindowAnswersWhileAFileIsReadAndAbortStopsIt) {
  std::string text = "%%EndSetup\n";
  while (text.size() < 40000)
    text += "10 10 m\n20 10 l\n20 20 l\nf\n";
  const auto file = drive_ / "big.eps";
  std::ofstream(file) << text;
  // While the reading waits, a timer fires on the window's thread, which presses "Abort" as
  // the user would; the window stays disabled meanwhile.
  std::atomic<int> state = 0;
  ui->fabort = std::make_unique<WaitingDialog>(state);
  int ticks = 0;
  bool disabled = true;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (state != 1) return;
    disabled = disabled && !window->isEnabled();
    if (++ticks == 3) ui->fabort->Button1->click();
  });
  timer.start(1);
  Load(file.string());
  timer.stop();
  EXPECT_GE(ticks, 3);
  EXPECT_TRUE(disabled);
  EXPECT_EQ(state, 2);
  EXPECT_TRUE(ui->Model.PathList.empty());
  EXPECT_TRUE(ui->Tree.Empty());
  EXPECT_TRUE(window->isEnabled());

  // Closed while a file is read, the window aborts the reading and waits for it.
  state = 0;
  ui->fabort = std::make_unique<WaitingDialog>(state);
  ui->LoadFile(QString::fromStdString(file.string()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return state == 1; }, 60000));
  ui.reset();
  window.reset();
  EXPECT_EQ(state, 2);
}

TEST_F(WindowTest, ControlsStayDisabledUntilTheTreeIsFilled) {
  // The unreadable file first: its status must not stand in the status bar while the next
  // file is read.
  const std::filesystem::path broken = drive_ / "broken.ai";
  std::ofstream(broken) << "%PDF-1.4\n1 0 obj\n<<";
  Load(Sample("shapes.eps"));
  ASSERT_FALSE(ui->label_nodes->text().isEmpty());
  Load(broken.string());
  ASSERT_FALSE(ui->StatusPanel2->text().isEmpty());

  struct Seen {
    int rows;
    bool windowEnabled, importEnabled;
    bool pictureWhite;
  };
  std::vector<Seen> resets;
  QObject watching;  // the connections below end with the test
  QObject::connect(ui->TreeView1->model(), &QAbstractItemModel::modelReset, &watching, [&] {
    resets.push_back({ui->TreeView1->model()->rowCount(), window->isEnabled(),
                      ui->Button1->isEnabled(), AllWhite(ui->p->Picture)});
  });
  bool readingDone = false;
  QString statusAfterReading, captionAfterReading = QStringLiteral("?");
  QObject::connect(window.get(), &Tfmain::ReadingFinished, &watching, [&] {
    readingDone = true;
    statusAfterReading = ui->StatusPanel2->text();
    captionAfterReading = ui->label_nodes->text() + ui->label_width->text();
  });
  Load(Sample("shapes.eps"));
  ASSERT_TRUE(readingDone);
  EXPECT_EQ(statusAfterReading, QString());
  EXPECT_EQ(captionAfterReading, QString());
  // The tree emptied at the start, then filled: when it is filled the window is still
  // disabled, and the preview holds no line counter (the interpreter drew one at line 0).
  ASSERT_FALSE(resets.empty());
  const Seen& filled = resets.back();
  EXPECT_EQ(filled.rows, 1);  // the root
  EXPECT_FALSE(filled.windowEnabled);
  EXPECT_FALSE(filled.importEnabled);
  EXPECT_TRUE(filled.pictureWhite);
  // Afterwards everything is usable.
  EXPECT_TRUE(window->isEnabled());
  EXPECT_TRUE(ui->Button1->isEnabled());
  EXPECT_FALSE(AllWhite(ui->p->Picture));
}

// The pictures a sequence of commands leaves behind, drawn at once or on the drawing thread.
std::vector<std::pair<QImage, ScreenMapping>> Pictures(TfmainTestAccess& ui, std::size_t limit) {
  ui.BackgroundDrawingPoints = limit;
  std::vector<std::pair<QImage, ScreenMapping>> out;
  const auto keep = [&] {
    WaitForPicture(ui);
    out.emplace_back(ui.p->Picture, ui.Mapping);
  };
  ui.Reload1->trigger();
  EXPECT_TRUE(ui.WaitForWork());
  keep();
  // A selection change, started while the one before is still drawn: only the last counts.
  TreeNode* composite = nullptr;
  for (TreeNode* n = ui.Tree.First(); n; n = ui.Tree.Next(n))
    if (n->Kind == NodeKind::Composite) composite = n;
  ui.SelectNode(ui.Tree.Next(ui.Tree.First()));
  ui.TreeView1Change();
  ui.SelectNode(composite);
  ui.TreeView1Change();
  keep();
  ui.ZoomIN1->trigger();
  keep();
  ui.dviewcw->click();
  keep();
  ui.RedrawAll1->trigger();
  keep();
  ui.EnancedView1->trigger();
  keep();
  // Back to the view the sequence started from.
  ui.dviewsolid->click();
  ui.EnancedView1->trigger();
  WaitForPicture(ui);
  return out;
}

TEST_F(WindowTest, ADrawingOnTheDrawingThreadShowsTheSamePicture) {
  Load(Sample("shapes.eps"));
  const auto atOnce = Pictures(*ui, 1u << 30);
  EXPECT_FALSE(ui->Drawing());
  const auto behind = Pictures(*ui, 0);
  ASSERT_EQ(atOnce.size(), behind.size());
  for (std::size_t i = 0; i < atOnce.size(); ++i) {
    EXPECT_FALSE(AllWhite(atOnce[i].first)) << i;
    EXPECT_TRUE(behind[i].first == atOnce[i].first) << "picture " << i;
    EXPECT_EQ(behind[i].second, atOnce[i].second) << "mapping " << i;
  }
  EXPECT_TRUE(window->isEnabled());
  EXPECT_TRUE(messages.empty());
}

TEST_F(WindowTest, EditsAndReloadsStopTheDrawingUnderWay) {
  // Changing the paths or reading anew while they are drawn: the drawing stops first, and
  // the picture that follows is the one of the new state.
  Load(Sample("shapes.eps"));
  ui->BackgroundDrawingPoints = 0;
  ui->Reload1->trigger();
  ASSERT_TRUE(ui->WaitForWork());
  ui->SelectNode(ui->Tree.First());
  ui->dsolid->click();  // every path filled while the reload's picture may still be drawn
  WaitForPicture(*ui);
  const QImage edited = ui->p->Picture;
  ui->BackgroundDrawingPoints = 1u << 30;
  ui->RedrawAll1->trigger();
  ui->ZoomAll1->trigger();
  EXPECT_TRUE(edited == ui->p->Picture);
  ui->BackgroundDrawingPoints = 0;
  for (int i = 0; i < 3; ++i) {
    ui->Reload1->trigger();  // each reload stops the drawing the one before started
    ASSERT_TRUE(ui->WaitForWork());
  }
  WaitForPicture(*ui);
  EXPECT_FALSE(AllWhite(ui->p->Picture));
  ui->Reload1->trigger();
  ASSERT_TRUE(ui->WaitForWork());
  ui.reset();
  window.reset();  // closing while the reload's picture may still be drawn
}

}  // namespace
}  // namespace aiimport::testing
