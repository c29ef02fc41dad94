#include "hostdir.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace aiimport {

namespace {

// The system's buffer for the Windows directory holds 255 characters with the terminator.
constexpr std::size_t WindowsDirectoryBuffer = 255;

std::optional<std::string> Environment(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (!value || !*value) return std::nullopt;
  return std::string(value);
}

}  // namespace

std::string ResolveHostTempDir(HostPlatform& platform) {
  std::string dir;
  if (platform.DirectoryExists("c:\\brelm\\win") && platform.DirectoryExists("c:\\brelm\\temp")) {
    dir = "c:\\brelm\\temp\\";
  } else {
    // A Windows directory that cannot be read leaves the text empty, and the result is "temp".
    const std::optional<std::string> windows = platform.WindowsDirectory();
    if (windows && windows->size() < WindowsDirectoryBuffer) dir = *windows;
    if (!dir.empty() && dir.back() != '\\') dir += '\\';
    dir += "temp";
  }
  if (!platform.DirectoryExists(dir) && !platform.MakeDirectory(dir))
    platform.ShowMessage("Error (b) maing Dir " + dir);
  return dir;
}

std::string DotFileNameIn(const std::string& hostTempDir) {
  return hostTempDir + "\\~tempai.dot";
}

std::string MapHostPath(const std::string& hostPath,
                        const std::function<std::optional<std::string>(const std::string&)>& env) {
  namespace fs = std::filesystem;
  auto driveC = [&env]() -> std::string {
    if (auto v = env("AIIMPORT_DRIVE_C")) return *v;
    if (auto prefix = env("WINEPREFIX")) return *prefix + "/drive_c";
    const std::optional<std::string> home = env("HOME");
    if (home) {
      std::error_code ec;
      const std::string wine = *home + "/.wine/drive_c";
      if (fs::is_directory(wine, ec)) return wine;
    }
    if (auto data = env("XDG_DATA_HOME")) return *data + "/aiimport/drive_c";
    if (home) return *home + "/.local/share/aiimport/drive_c";
    std::error_code ec;
    const fs::path temp = fs::temp_directory_path(ec);
    return (ec ? fs::path("/tmp") : temp).string() + "/aiimport/drive_c";
  };
  auto driveFolder = [&](char letter) -> std::string {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    if (upper == 'C') return driveC();
    if (auto v = env(std::string("AIIMPORT_DRIVE_") + upper)) return *v;
    return (fs::path(driveC()).parent_path() / (std::string("drive_") + lower)).string();
  };
  auto slashes = [](std::string text) {
    for (char& c : text)
      if (c == '\\') c = '/';
    return text;
  };

  if (hostPath.size() >= 2 && std::isalpha(static_cast<unsigned char>(hostPath[0])) &&
      hostPath[1] == ':') {
    std::string rest = slashes(hostPath.substr(2));
    if (!rest.empty() && rest.front() != '/') rest.insert(rest.begin(), '/');
    return driveFolder(hostPath[0]) + rest;
  }
  if (!hostPath.empty() && hostPath.front() == '\\') return driveC() + slashes(hostPath);
  return slashes(hostPath);
}

#ifdef _WIN32

bool SystemHostPlatform::DirectoryExists(const std::string& dir) {
  const DWORD attributes = GetFileAttributesA(dir.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SystemHostPlatform::MakeDirectory(const std::string& dir) {
  return CreateDirectoryA(dir.c_str(), nullptr) != 0;
}

std::optional<std::string> SystemHostPlatform::WindowsDirectory() {
  char buffer[WindowsDirectoryBuffer];
  const UINT n = GetWindowsDirectoryA(buffer, WindowsDirectoryBuffer);
  if (n == 0 || n >= WindowsDirectoryBuffer) return std::nullopt;
  return std::string(buffer, n);
}

std::string SystemHostPlatform::LocalPath(const std::string& hostPath) {
  return hostPath;
}

#else

bool SystemHostPlatform::DirectoryExists(const std::string& dir) {
  std::error_code ec;
  return std::filesystem::is_directory(LocalPath(dir), ec);
}

bool SystemHostPlatform::MakeDirectory(const std::string& dir) {
  std::error_code ec;
  const std::string local = LocalPath(dir);
  std::filesystem::create_directory(local, ec);
  return !ec && std::filesystem::is_directory(local, ec);
}

std::optional<std::string> SystemHostPlatform::WindowsDirectory() {
  const std::string windows = Environment("AIIMPORT_WINDIR").value_or("c:\\windows");
  // A Windows directory always exists on Windows; here its folder is made on first use.
  std::error_code ec;
  std::filesystem::create_directories(LocalPath(windows), ec);
  return windows;
}

std::string SystemHostPlatform::LocalPath(const std::string& hostPath) {
  return MapHostPath(hostPath, Environment);
}

#endif

}  // namespace aiimport
