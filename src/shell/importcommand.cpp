#include "importcommand.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <mutex>
#include <optional>
#include <utility>

#include "paintbox.h"
#include "qtcolour.h"

namespace aiimport {

// The conversion's side of "Import", on its thread: its captions, and the picture the
// orientation correction draws, kept for the window to show. The hour-glass cursor stands for
// the whole import, so the steps' own busy cursors add nothing.
class ConvertView : public Progress, public OrientationCanvas {
 public:
  // The picture starts as the preview's; `size` is the paint box's; system colours come from
  // the palette.
  ConvertView(QImage picture, QSize size, const QPalette& palette)
      : canvas_(std::move(picture)), size_(size), palette_(palette) {}

  void ShowStatus(std::string_view text) override {
    const std::lock_guard lock(mutex_);
    caption_ = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  }
  // Once per path during the orientation correction: the drawing so far is handed over at most
  // every 40 ms, so that a drawing of a hundred thousand paths is not slowed down by as many
  // copies.
  void ProcessEvents() override {
    if (handed_.isValid() && handed_.elapsed() < 40) return;
    HandOver();
  }
  int Width() const override { return size_.width(); }
  int Height() const override { return size_.height(); }
  void Clear() override {
    painter_.reset();
    Canvas().fill(Qt::white);
    drawn_ = true;
  }
  void SetPen(TColor colour) override {
    pen_ = ToQColor(colour, palette_);
    if (painter_) painter_->setPen(QPen(pen_, 0));
  }
  void MoveTo(int x, int y) override { at_ = QPoint(x, y); }
  void LineTo(int x, int y) override {
    if (!painter_) {
      painter_.emplace(&Canvas());
      painter_->setPen(QPen(pen_, 0));
    }
    painter_->drawLine(at_, QPoint(x, y));
    at_ = QPoint(x, y);
    drawn_ = true;
  }

  // The lines so far finished and the picture handed over, if anything was drawn.
  void HandOver() {
    painter_.reset();
    handed_.start();
    if (!drawn_) return;
    const std::lock_guard lock(mutex_);
    picture_ = canvas_;  // shared until the next line is drawn
  }

  // What changed since the last call (the window's thread).
  std::pair<std::optional<QString>, std::optional<QImage>> Take() {
    const std::lock_guard lock(mutex_);
    return {std::exchange(caption_, std::nullopt), std::exchange(picture_, std::nullopt)};
  }

 private:
  // The picture, made white first when its size is not the paint box's.
  QImage& Canvas() {
    if (canvas_.size() != size_) {
      canvas_ = QImage(size_.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
      canvas_.fill(Qt::white);
    }
    return canvas_;
  }

  QImage canvas_;
  const QSize size_;
  const QPalette palette_;
  QColor pen_ = Qt::black;
  QPoint at_;
  bool drawn_ = false;
  QElapsedTimer handed_;
  std::optional<QPainter> painter_;  // open on the picture between two hand-overs
  std::mutex mutex_;                 // over what is handed over:
  std::optional<QString> caption_;
  std::optional<QImage> picture_;
};

SystemHostPlatform WindowHostPlatform(
    const std::function<void(const QString& text, bool error)>& show) {
  return SystemHostPlatform(
      [&show](const std::string& text) { show(QString::fromStdString(text), false); });
}

ImportCommand::ImportCommand(ConversionResult& output,
                             const std::function<void(const QString& text, bool error)>& show,
                             QObject* parent)
    : QObject(parent), output_(output), show_(show), shown_(new QTimer(this)) {
  shown_->setInterval(40);
  connect(shown_, &QTimer::timeout, this, [this] { ShowProgress(); });
}

ImportCommand::~ImportCommand() = default;

bool ImportCommand::Start(const std::vector<const tpath*>& paths, const ImportOptions& options,
                          TPaintBox& box, QLabel& caption, const QPalette& palette,
                          std::function<void(std::exception_ptr)> ended) {
  SystemHostPlatform platform = WindowHostPlatform(show_);
  const std::string fileName = PrepareHostDotFile(platform);
  if (paths.empty()) {
    show_(QStringLiteral("There are no paths to import!"), false);
    return false;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  // Every window of the program is disabled while the conversion runs.
  disabled_.clear();
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isEnabled()) {
      w->setEnabled(false);
      disabled_.emplace_back(w);
    }
  }
  box_ = &box;
  caption_ = &caption;
  const auto enableAgain = [this] {
    for (const QPointer<QWidget>& w : disabled_)
      if (w) w->setEnabled(true);
    disabled_.clear();
  };
  try {
    view_ = std::make_unique<ConvertView>(box.Picture, box.size(), palette);
    task_.Start(
        [this, paths, options, fileName] {
          struct HandOver {
            ConvertView& view;
            ~HandOver() { view.HandOver(); }  // the last lines, also after a failure
          } last{*view_};
          ImportToFile(output_, paths, options, {*view_, view_.get()}, fileName);
        },
        [this, enableAgain, ended = std::move(ended)](std::exception_ptr error) {
          shown_->stop();
          ShowProgress();
          enableAgain();
          if (error) QApplication::restoreOverrideCursor();
          ended(error);
        });
  } catch (...) {
    // The import could not start.
    enableAgain();
    QApplication::restoreOverrideCursor();
    throw;
  }
  shown_->start();
  return true;
}

void ImportCommand::ShowProgress() {
  if (!view_) return;
  auto [caption, picture] = view_->Take();
  if (caption && caption_) caption_->setText(*caption);
  if (picture && box_) {
    box_->Picture = std::move(*picture);
    box_->update();
  }
}

}  // namespace aiimport
