// The platform folder with the C++ standard library alone, for a system that has no
// implementation of its own yet (and to prove that the core needs nothing else): no child is
// started (NotStarted, "not supported"), no page is given back, the heap keeps the allocator's
// defaults, and the window program cannot take the launcher's place.
#include <filesystem>
#include <fstream>
#include <random>

#include "childprocess.h"
#include "fileaccess.h"
#include "memoryhints.h"
#include "ownprogram.h"

namespace aiimport {

namespace fs = std::filesystem;

ChildResult RunChild(const ChildRequest&, const ChildOutput&, const ChildPoll&) {
  ChildResult result;
  result.End = ChildEnd::NotStarted;
  result.Error = std::make_error_code(std::errc::function_not_supported);
  return result;
}

std::string FindProgram(const std::string& program) {
  if (program.empty()) return {};
  std::error_code ec;
  const fs::path absolute = fs::absolute(program, ec);
  return ec || !fs::path(program).has_parent_path() ? program : absolute.string();
}

std::vector<std::string> CurrentEnvironment() {
  return {};
}

PrivateFolder::PrivateFolder(const std::string& parent, std::string_view prefix) {
  std::error_code ec;
  const fs::path where = parent.empty() ? fs::temp_directory_path(ec) : fs::path(parent);
  parent_ = where.string();
  if (ec) {
    error_ = ec;
    return;
  }
  std::random_device random;
  constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name(prefix);
    for (int i = 0; i < 6; ++i)
      name += Letters[random() % (sizeof Letters - 1)];
    const fs::path path = where / name;
    if (fs::create_directory(path, ec)) {
      fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace, ec);
      path_ = path.string();
      return;
    }
    if (ec) break;
  }
  error_ = ec ? ec : std::make_error_code(std::errc::file_exists);
}

PrivateFolder::~PrivateFolder() {
  if (path_.empty()) return;
  try {
    std::error_code ec;
    fs::remove_all(path_, ec);
  } catch (...) {
    // Out of memory while listing the folder: nothing more can be done here.
  }
}

bool OpensAsRegularFile(const std::string& path, std::error_code& error) {
  error.clear();
  const fs::file_status status = fs::status(path, error);
  if (error) return false;
  if (!fs::is_regular_file(status)) return false;
  if (!std::ifstream(path, std::ios::binary)) error = std::make_error_code(std::errc::io_error);
  return !error;
}

FileRead ReadRegularFile(const std::string& path, uint64_t limit, std::string& bytes) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(path, ec);
  if (!fs::exists(status)) return FileRead::Missing;
  if (!fs::is_regular_file(status)) return FileRead::Unreadable;
  const uintmax_t size = fs::file_size(path, ec);
  if (ec) return FileRead::Unreadable;
  if (size > limit) return FileRead::TooLarge;
  bytes.resize(static_cast<std::size_t>(size));
  std::ifstream in(path, std::ios::binary);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return in && static_cast<std::size_t>(in.gcount()) == bytes.size() ? FileRead::Ok
                                                                     : FileRead::Unreadable;
}

std::optional<uint64_t> EntrySize(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(path, ec))) return std::nullopt;
  const uintmax_t size = fs::file_size(path, ec);
  if (ec) return std::nullopt;
  return static_cast<uint64_t>(size);
}

bool CanGiveBackPages() {
  return false;
}

bool GiveBackPages(void*, std::size_t) {
  return false;
}

void KeepHeapMemory() {}

void RestoreHeapDefaults() {}

bool CanPrefaultPages() {
  return false;
}

bool PrefaultPages(void*, std::size_t) {
  return false;
}

void AskForHugePages(void*, std::size_t) {}

std::string OwnProgramPath() {
  return {};
}

bool MayExecute(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

std::error_code RunInstead(const std::string&, char**) {
  return std::make_error_code(std::errc::function_not_supported);
}

}  // namespace aiimport
