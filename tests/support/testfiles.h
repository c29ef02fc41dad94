// Whole files for the tests, the benchmarks and the fuzz targets.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace aiimport::testing {

// The whole file as bytes; throws std::runtime_error when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

// Writes the bytes as the whole file; throws std::runtime_error when it cannot be written.
void WriteWholeFile(const std::filesystem::path& path, const std::string& bytes);

// A folder of its own under the system's temporary folder (its name starts with `prefix`),
// removed with all in it when the object goes.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix = "aiimport-test");
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Writes the bytes as the file `name` in the folder; returns its full name.
  std::string File(const std::string& name, const std::string& bytes) const;

 private:
  std::filesystem::path path_;
};

// A file of the shared corpus of real files (AIIMPORT_CORPUS_DIR), which may be absent.
std::filesystem::path CorpusFile(const std::string& name);

// A PDF file assembled by hand: object n + 1 is bodies[n] (what stands between "obj" and
// "endobj"), the catalog must be object 1, and the cross-reference table gives the true offsets.
// `version` is the header's, such as "1.4".
std::string PdfFromObjects(const std::vector<std::string>& bodies, const std::string& version);

}  // namespace aiimport::testing
