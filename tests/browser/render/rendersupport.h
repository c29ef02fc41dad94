// Shared by the preview pixel tests: a GUI application for the whole test program (fonts need
// one), path builders and pixel helpers.
#pragma once

#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "pathunit.h"
#include "previewrender.h"
#include "testpaths.h"

namespace aiimport::rendertest {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!QGuiApplication::instance()) app_ = new QGuiApplication(argc_, argv_);
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  int argc_ = 1;
  char name_[20] = "browser_render_test";
  char* argv_[2] = {name_, nullptr};
  QGuiApplication* app_ = nullptr;
};

inline ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

using testing::Curve;
using testing::Line;
using testing::Move;

struct PathSpec {
  bool Closed = true;
  bool Filled = false;
  TColor LineColor = 0x000000;
  TColor FillColor = 0xFFFFFF;
  int32_t CompoundNo = 0;
  bool Anticlockwise = true;
};

inline tpath MakePath(std::vector<tbpoint> points, const PathSpec& style) {
  tpath p;
  p.Items = std::move(points);
  p.Closed = style.Closed;
  p.Filled = style.Filled;
  p.LineColor = style.LineColor;
  p.FillColor = style.FillColor;
  p.CompoundNo = style.CompoundNo;
  p.Anticlockwise = style.Anticlockwise;
  PathBox(p);
  return p;
}

// The outline x0,y0 -> x1,y0 -> x1,y1 -> x0,y1 -> x0,y0.
inline tpath Rect(float x0, float y0, float x1, float y1, const PathSpec& style) {
  return MakePath({Move(x0, y0), Line(x1, y0), Line(x1, y1), Line(x0, y1), Line(x0, y0)}, style);
}

template <class Container>
std::vector<const tpath*> Pointers(const Container& paths) {
  std::vector<const tpath*> out;
  for (const tpath& p : paths)
    out.push_back(&p);
  return out;
}

inline QImage WhiteCanvas(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

// The pixel as a colour value 0x00BBGGRR.
inline TColor PixelAt(const QImage& image, int x, int y) {
  const QRgb c = image.pixel(x, y);
  return static_cast<TColor>(qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16));
}

inline bool IsWhite(const QImage& image, int x, int y) {
  return PixelAt(image, x, y) == 0xFFFFFF;
}

// The number of pixels of the picture with the given colour.
inline int CountColor(const QImage& image, TColor color) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x)
      n += PixelAt(image, x, y) == color;
  }
  return n;
}

// The picture as text, one line per row, for failure messages.
inline std::string Describe(const QImage& image, int x0, int y0, int x1, int y1) {
  std::string out = "\n";
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const TColor c = PixelAt(image, x, y);
      out += c == 0xFFFFFF ? '.' : c == 0 ? '#' : 'o';
    }
    out += '\n';
  }
  return out;
}

}  // namespace aiimport::rendertest
