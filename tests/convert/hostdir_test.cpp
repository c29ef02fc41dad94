// The host temporary directory: the rule over any layout, and the local folders off Windows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "hostdir.h"
#include "importchain.h"

namespace aiimport {
namespace {

namespace fs = std::filesystem;

// A file system of directory names; a trailing backslash names the same directory, as on
// Windows.
class FakePlatform : public HostPlatform {
 public:
  bool DirectoryExists(const std::string& dir) override { return Existing.count(Plain(dir)) > 0; }
  bool MakeDirectory(const std::string& dir) override {
    Made.push_back(dir);
    if (!CanCreate) return false;
    Existing.insert(Plain(dir));
    return true;
  }
  static std::string Plain(std::string dir) {
    while (!dir.empty() && dir.back() == '\\')
      dir.pop_back();
    return dir;
  }
  std::optional<std::string> WindowsDirectory() override { return Windows; }
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  std::string LocalPath(const std::string& hostPath) override { return hostPath; }

  std::set<std::string> Existing;
  std::optional<std::string> Windows = "C:\\WINDOWS";
  bool CanCreate = true;
  std::vector<std::string> Made, Messages;
};

TEST(HostTempDir, TheHostsOwnInstallationWins) {
  FakePlatform p;
  p.Existing = {"c:\\brelm\\win", "c:\\brelm\\temp"};
  const std::string dir = ResolveHostTempDir(p);
  EXPECT_EQ(dir, "c:\\brelm\\temp\\");
  EXPECT_EQ(DotFileNameIn(dir), "c:\\brelm\\temp\\\\~tempai.dot");
  EXPECT_TRUE(p.Made.empty());
  EXPECT_TRUE(p.Messages.empty());
}

TEST(HostTempDir, OtherwiseTempUnderTheWindowsDirectory) {
  FakePlatform p;
  p.Existing = {"c:\\brelm\\temp"};  // no "win" beside it
  EXPECT_EQ(ResolveHostTempDir(p), "C:\\WINDOWS\\temp");
  EXPECT_EQ(p.Made, (std::vector<std::string>{"C:\\WINDOWS\\temp"}));
  EXPECT_EQ(DotFileNameIn("C:\\WINDOWS\\temp"), "C:\\WINDOWS\\temp\\~tempai.dot");
  // Now it exists and is not made again.
  EXPECT_EQ(ResolveHostTempDir(p), "C:\\WINDOWS\\temp");
  EXPECT_EQ(p.Made.size(), 1u);

  FakePlatform slash;
  slash.Windows = "D:\\WIN\\";
  EXPECT_EQ(ResolveHostTempDir(slash), "D:\\WIN\\temp");
}

TEST(HostTempDir, ADirectoryThatCannotBeMadeIsReportedEveryTime) {
  FakePlatform p;
  p.CanCreate = false;
  EXPECT_EQ(ResolveHostTempDir(p), "C:\\WINDOWS\\temp");
  EXPECT_EQ(ResolveHostTempDir(p), "C:\\WINDOWS\\temp");
  EXPECT_EQ(p.Messages, (std::vector<std::string>{"Error (b) maing Dir C:\\WINDOWS\\temp",
                                                  "Error (b) maing Dir C:\\WINDOWS\\temp"}));
}

TEST(HostTempDir, AnUnreadableWindowsDirectoryLeavesTemp) {
  FakePlatform p;
  p.Windows = std::nullopt;
  EXPECT_EQ(ResolveHostTempDir(p), "temp");
  FakePlatform tooLong;
  tooLong.Windows = "C:\\" + std::string(252, 'w');  // 255 characters: no room for the end
  EXPECT_EQ(ResolveHostTempDir(tooLong), "temp");
}

TEST(HostPaths, DrivesMapToLocalFolders) {
  std::map<std::string, std::string> vars;
  auto env = [&vars](const std::string& name) -> std::optional<std::string> {
    auto it = vars.find(name);
    if (it == vars.end()) return std::nullopt;
    return it->second;
  };
  vars = {{"AIIMPORT_DRIVE_C", "/x/c"}, {"AIIMPORT_DRIVE_D", "/y"}, {"HOME", "/h"}};
  EXPECT_EQ(MapHostPath("c:\\brelm\\temp\\\\~tempai.dot", env), "/x/c/brelm/temp//~tempai.dot");
  EXPECT_EQ(MapHostPath("C:\\WINDOWS\\temp", env), "/x/c/WINDOWS/temp");
  EXPECT_EQ(MapHostPath("d:\\data", env), "/y/data");
  EXPECT_EQ(MapHostPath("e:\\data", env), "/x/drive_e/data");
  EXPECT_EQ(MapHostPath("\\brelm", env), "/x/c/brelm");
  EXPECT_EQ(MapHostPath("temp", env), "temp");
  EXPECT_EQ(MapHostPath("c:", env), "/x/c");

  vars = {{"WINEPREFIX", "/w"}, {"HOME", "/nonexistent-home"}};
  EXPECT_EQ(MapHostPath("c:\\windows", env), "/w/drive_c/windows");
  vars = {{"XDG_DATA_HOME", "/d"}, {"HOME", "/nonexistent-home"}};
  EXPECT_EQ(MapHostPath("c:\\windows", env), "/d/aiimport/drive_c/windows");
  vars = {{"HOME", "/nonexistent-home"}};
  EXPECT_EQ(MapHostPath("c:\\windows", env),
            "/nonexistent-home/.local/share/aiimport/drive_c/windows");
}

#ifndef _WIN32
// The system platform with drive C in a test folder: the Windows directory's "temp" is made on
// first use, and the host's installation is found once its two folders exist.
TEST(HostPaths, SystemPlatformWorksOutOfTheBox) {
  const fs::path root = fs::path(AIIMPORT_BINARY_DIR) / "tests" / "hostdir-drive-c";
  fs::remove_all(root);
  const char* oldDrive = std::getenv("AIIMPORT_DRIVE_C");
  const std::string savedDrive = oldDrive ? oldDrive : "";
  const char* oldWindows = std::getenv("AIIMPORT_WINDIR");
  const std::string savedWindows = oldWindows ? oldWindows : "";
  setenv("AIIMPORT_DRIVE_C", root.c_str(), 1);
  unsetenv("AIIMPORT_WINDIR");

  std::vector<std::string> messages;
  SystemHostPlatform platform([&messages](const std::string& m) { messages.push_back(m); });
  EXPECT_EQ(ResolveHostTempDir(platform), "c:\\windows\\temp");
  EXPECT_TRUE(fs::is_directory(root / "windows" / "temp"));

  fs::create_directories(root / "brelm" / "win");
  fs::create_directories(root / "brelm" / "temp");
  std::ofstream(root / "brelm" / "temp" / "~tempai.dot") << "old";
  const std::string file = PrepareHostDotFile(platform);
  EXPECT_EQ(fs::path(file), root / "brelm" / "temp" / "" / "~tempai.dot");
  EXPECT_FALSE(fs::exists(file));  // the old file is gone
  EXPECT_TRUE(messages.empty());

  if (oldDrive)
    setenv("AIIMPORT_DRIVE_C", savedDrive.c_str(), 1);
  else
    unsetenv("AIIMPORT_DRIVE_C");
  if (oldWindows) setenv("AIIMPORT_WINDIR", savedWindows.c_str(), 1);
  fs::remove_all(root);
}
#endif

}  // namespace
}  // namespace aiimport
