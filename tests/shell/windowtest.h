// A window on a folder of its own that stands for the host's drive C, with its messages
// recorded instead of shown.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "abortdialog.h"
#include "mainwindow.h"
#include "objecttree.h"
#include "testfiles.h"
#include "treeshape.h"

// Readable QStrings in test messages.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace aiimport::testing {

inline std::string Sample(const std::string& name) {
  return std::string(AIIMPORT_SOURCE_DIR) + "/samples/" + name;
}

inline std::string Pictures() {
  const std::string dir = std::string(AIIMPORT_BINARY_DIR) + "/window-pictures";
  std::filesystem::create_directories(dir);
  return dir;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drive_ = std::filesystem::temp_directory_path() /
             ("aiimport-window-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(drive_);
    std::filesystem::create_directories(drive_);
    setenv("AIIMPORT_DRIVE_C", drive_.c_str(), 1);
    unsetenv("AIIMPORT_WINDIR");
    window = std::make_unique<Tfmain>(std::vector<std::string>{});
    window->ShowMessage = [this](const QString& text, bool error) {
      messages.push_back((error ? "error: " : "") + text.toStdString());
    };
    window->fabort = std::make_unique<Tfabort>();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QApplication::processEvents();  // the first paint's start-up load (no file)
  }
  void TearDown() override {
    window.reset();
    std::filesystem::remove_all(drive_);
  }

  void Load(const std::string& file) {
    window->LoadFile(QString::fromStdString(file));
    QApplication::processEvents();
  }

  // Where the window writes the DOT file: "c:\windows" + "\temp" + "\~tempai.dot".
  std::filesystem::path DotFile() const { return drive_ / "windows" / "temp" / "~tempai.dot"; }

  void Save(QWidget* widget, const std::string& name) {
    widget->grab().save(QString::fromStdString(Pictures() + "/" + name));
  }

  std::filesystem::path drive_;
  std::unique_ptr<Tfmain> window;
  std::vector<std::string> messages;
};

}  // namespace aiimport::testing
