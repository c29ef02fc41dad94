// The window opening the 100 MB synthetic file (QT_QPA_PLATFORM=offscreen), on one thread and
// on all: File › Reload as the user starts it, read as Illustrator operators (the file's own
// language) and as Automatic chooses (which first tells what wrote the file: the synthetic file
// carries an Illustrator comment, so it too reads its operators). Measured by the clock:
//   Open   the whole reload, from the command to the preview shown with the window enabled;
//   Ready  from the end of reading to the same moment (tree filled, preview drawn, Import
//          enabled);
//   Read   the longest time the event loop did not run while the file was read (on a thread
//          of its own, the window disabled, the progress dialog brought up to date);
//   Fill   the longest time the event loop did not run between the end of reading and the
//          window being enabled again (the tree is filled on the event loop while the window
//          is disabled, and the preview drawn meanwhile on the drawing thread);
//   Block  the longest time the event loop did not run while the window was enabled and the
//          preview still being drawn: what the user could feel as a freeze.
// All three are seen by a 5 ms heartbeat timer.
//   First  the first open, before the timed reloads: from showing the new window to the same
//          moment (the window's first paint opens the file named on its command line).
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <string>

#include "benchsupport.h"
#include "mainwindow.h"

namespace {

using namespace aiimport;

constexpr int FileMegabytes = 100;

QApplication& Application() {
  static int argc = 1;
  static char name[] = "bench_window";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

void BM_OpenWindow(benchmark::State& state, const char* readAs) {
  benchsupport::UseThreads(state, state.range(0));
  Application();
  const std::string file = benchsupport::SyntheticFile(FileMegabytes);
  // The window opens the file named on its command line once it is first painted.
  Tfmain window({file});
  window.findChild<QAction*>(QString::fromLatin1(readAs))->setChecked(true);
  bool firstShown = false;
  QElapsedTimer firstClock;
  firstClock.start();
  {
    QEventLoop loop;
    const auto first = QObject::connect(&window, &Tfmain::PreviewShown, [&] { firstShown = true; });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (firstShown && window.isEnabled()) loop.quit();
    });
    poll.start(1);
    window.show();
    loop.exec();
    QObject::disconnect(first);
  }
  const double firstOpen = static_cast<double>(firstClock.elapsed()) / 1000.0;

  double open = 0, ready = 0, read = 0, fill = 0, block = 0;
  for (auto _ : state) {
    QElapsedTimer clock;
    qint64 readEnd = -1, shown = -1, lastBeat = -1, longestRead = 0, longestFill = 0, longest = 0;
    bool enabledBefore = false;  // at the last beat
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
      const qint64 now = clock.elapsed();
      if (lastBeat >= 0) {
        if (readEnd < 0)
          longestRead = std::max(longestRead, now - lastBeat);
        else if (enabledBefore && shown < 0)
          longest = std::max(longest, now - lastBeat);
        else if (!enabledBefore)
          longestFill = std::max(longestFill, now - lastBeat);
      }
      enabledBefore = window.isEnabled();
      lastBeat = now;
    });
    QEventLoop loop;
    const auto started = QObject::connect(&window, &Tfmain::ReadingFinished, [&] {
      readEnd = clock.elapsed();
      longestRead = std::max(longestRead, readEnd - lastBeat);
      lastBeat = readEnd;
      enabledBefore = false;
    });
    const auto done = QObject::connect(&window, &Tfmain::PreviewShown, [&] {
      if (readEnd < 0) return;
      shown = clock.elapsed();
      if (lastBeat >= 0) {
        if (enabledBefore)
          longest = std::max(longest, shown - lastBeat);
        else
          longestFill = std::max(longestFill, shown - lastBeat);
      }
    });
    // Polls until the picture is shown and the window enabled again.
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (shown >= 0 && window.isEnabled()) loop.quit();
    });
    clock.start();
    lastBeat = 0;
    heartbeat.start();
    QTimer::singleShot(0, &window,
                       [&] { window.findChild<QAction*>(QStringLiteral("Reload1"))->trigger(); });
    poll.start();
    loop.exec();
    const qint64 end = clock.elapsed();
    heartbeat.stop();
    QObject::disconnect(started);
    QObject::disconnect(done);
    open += static_cast<double>(end) / 1000.0;
    ready += static_cast<double>(end - readEnd) / 1000.0;
    read += static_cast<double>(longestRead) / 1000.0;
    fill += static_cast<double>(longestFill) / 1000.0;
    block += static_cast<double>(longest) / 1000.0;
    state.SetIterationTime(static_cast<double>(end) / 1000.0);
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["First_s"] = firstOpen;
  state.counters["Open_s"] = open / n;
  state.counters["Ready_s"] = ready / n;
  state.counters["Read_s"] = read / n;
  state.counters["Fill_s"] = fill / n;
  state.counters["Block_s"] = block / n;
  if (!window.findChild<QPushButton*>(QStringLiteral("Button1"))->isEnabled())
    state.SkipWithError("Import is not enabled after the reload");
}

BENCHMARK_CAPTURE(BM_OpenWindow, illustrator_operators, "ReadIllustrator")
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenWindow, automatic, "ReadAutomatic")
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
