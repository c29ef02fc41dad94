// Files around a fenced child process: a private folder for it, and the careful reading of the
// file it is given and of the one it leaves. No Qt; posix.cpp and stub.cpp implement it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace aiimport {

// A new folder that only this user may use (on POSIX mode 0700), named `prefix` and six random
// characters, in `parent` (empty: the system's temporary folder). It is removed with everything
// in it when the object goes, however that happens.
class PrivateFolder {
 public:
  PrivateFolder(const std::string& parent, std::string_view prefix);
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  bool Made() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }      // empty when it could not be made
  const std::string& Parent() const { return parent_; }  // where it was made, or tried
  std::error_code Error() const { return error_; }       // why it could not be made

 private:
  std::string parent_;
  std::string path_;
  std::error_code error_;
};

// Whether `path` opens for reading (opened and closed again, never waiting on a pipe or a
// device) as a regular file: no error and true. An error when it does not open; no error and
// false when what opens is no regular file.
bool OpensAsRegularFile(const std::string& path, std::error_code& error);

enum class FileRead { Ok, Missing, TooLarge, Unreadable };

// Reads a regular file of at most `limit` bytes into `bytes`, following no symbolic link and
// never waiting on a pipe or a device.
FileRead ReadRegularFile(const std::string& path, uint64_t limit, std::string& bytes);

// The size of the folder entry itself (a symbolic link not followed); none when it cannot be
// had.
std::optional<uint64_t> EntrySize(const std::string& path);

}  // namespace aiimport
