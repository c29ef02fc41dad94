// Shared by the PDF reading tests: the sample text, a scratch folder and path comparison.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "aipdf.h"
#include "pathunit.h"
#include "readfile.h"

namespace pdftest {

inline const std::string& ShapesText() {
  static const std::string text =
      aipdf::ReadWholeFile(std::filesystem::path(AIIMPORT_SOURCE_DIR) / "samples" / "shapes.eps");
  return text;
}

// shapes.eps cut after "%%EndComments" (what Illustrator keeps in /AIMetaData) and the rest.
inline std::pair<std::string, std::string> ShapesHeaderAndRest() {
  const std::string& text = ShapesText();
  const std::size_t cut = text.find("%%EndComments\n") + 14;
  return {text.substr(0, cut), text.substr(cut)};
}

// A thumbnail block the way Illustrator writes one before the drawing: comment lines only.
inline std::string Thumbnail(std::size_t hexLines = 2) {
  std::string t =
      "%%BoundingBox: 0 0 288 216\r\n%AI7_Thumbnail: 16 16 8\r\n%%BeginData: 512 Hex Bytes\r\n";
  for (std::size_t i = 0; i < hexLines; ++i)
    t += "%" + std::string(64, 'F') + "\r\n";
  return t + "%%EndData\r\n";
}

using ScratchDir = aiimport::testing::ScratchFolder;

inline void ExpectSamePaths(const aiimport::PathModel& got, const aiimport::PathModel& want) {
  ASSERT_EQ(got.PathList.size(), want.PathList.size());
  for (std::size_t i = 0; i < want.PathList.size(); ++i) {
    const aiimport::tpath& a = got.PathList[i];
    const aiimport::tpath& b = want.PathList[i];
    SCOPED_TRACE("path " + std::to_string(i));
    EXPECT_TRUE(a.Items == b.Items);
    EXPECT_EQ(a.LineColor, b.LineColor);
    EXPECT_EQ(a.FillColor, b.FillColor);
    EXPECT_EQ(a.Filled, b.Filled);
    EXPECT_EQ(a.Closed, b.Closed);
    EXPECT_EQ(a.Anticlockwise, b.Anticlockwise);
    EXPECT_EQ(a.GroupLevel, b.GroupLevel);
    EXPECT_EQ(a.CompoundNo, b.CompoundNo);
    EXPECT_EQ(a.MinX, b.MinX);
    EXPECT_EQ(a.MinY, b.MinY);
    EXPECT_EQ(a.MaxX, b.MaxX);
    EXPECT_EQ(a.MaxY, b.MaxY);
  }
}

}  // namespace pdftest
