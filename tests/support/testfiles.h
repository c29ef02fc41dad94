// Whole files for the tests, the benchmarks and the fuzz targets.
#pragma once

#include <filesystem>
#include <string>

namespace aiimport::testing {

// The whole file as bytes; throws std::runtime_error when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

// Writes the bytes as the whole file; throws std::runtime_error when it cannot be written.
void WriteWholeFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace aiimport::testing
