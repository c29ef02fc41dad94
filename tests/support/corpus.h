// Skipping a test, with a clear message, when the shared corpus of real files is absent.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "testfiles.h"

#define REQUIRE_CORPUS()                                   \
  if (!std::filesystem::is_directory(AIIMPORT_CORPUS_DIR)) \
  GTEST_SKIP() << "The corpus folder " AIIMPORT_CORPUS_DIR " is absent; corpus tests skipped"

#define REQUIRE_CORPUS_FILE(name)                                                          \
  if (!std::filesystem::exists(aiimport::testing::CorpusFile(name)))                       \
  GTEST_SKIP() << "the shared corpus is not here (" << aiimport::testing::CorpusFile(name) \
               << " is missing): real-file tests skipped"
