// The host temporary directory: where the host application looks for "~tempai.dot". The host's
// own installation ("c:\brelm\win" and "c:\brelm\temp") wins; otherwise the "temp" directory
// under the Windows directory, created when missing. The rule is applied afresh whenever the
// directory is needed; nothing stores it.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace aiimport {

// What the rule needs from the system. Directory texts are in the host's (Windows) form, such
// as "c:\brelm\temp\"; LocalPath turns such a text into a name the local file system opens.
class HostPlatform {
 public:
  virtual ~HostPlatform() = default;
  virtual bool DirectoryExists(const std::string& dir) = 0;
  // Creates one directory level (no parents); false on failure.
  virtual bool MakeDirectory(const std::string& dir) = 0;
  // The Windows directory as the system reports it; nothing when it cannot be read.
  virtual std::optional<std::string> WindowsDirectory() = 0;
  // A plain message box with an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // The local file name for a text in the host's form.
  virtual std::string LocalPath(const std::string& hostPath) = 0;
};

// The directory text: "c:\brelm\temp\" (with the trailing backslash) when both "c:\brelm\win"
// and "c:\brelm\temp" exist, else the Windows directory with "\temp" (no trailing backslash),
// created when missing; a failure to create it shows "Error (b) maing Dir " + the directory and
// the text is returned all the same. Never fails towards the caller.
std::string ResolveHostTempDir(HostPlatform& platform);

// The DOT file's name in that directory: the text followed directly by "\~tempai.dot" (a text
// that already ends in a backslash gives a doubled separator, which the file system accepts).
std::string DotFileNameIn(const std::string& hostTempDir);

// The platform of this machine. On Windows the system's own calls. Elsewhere the host's drive
// "c:\" is a local folder and the Windows directory a text in the host's form, both taken from
// the environment (see docs/hostdir.md):
//   AIIMPORT_DRIVE_C  the folder that stands for "c:\"; default $WINEPREFIX/drive_c when
//                     WINEPREFIX is set, else ~/.wine/drive_c when it exists, else
//                     ${XDG_DATA_HOME:-~/.local/share}/aiimport/drive_c
//   AIIMPORT_DRIVE_D ... AIIMPORT_DRIVE_Z  other drives; default drive_<letter> beside drive C
//   AIIMPORT_WINDIR   the Windows directory; default "c:\windows" (made when missing, as a
//                     Windows directory always exists)
// Messages go to `showMessage` (the window shows a message box, the batch mode prints).
class SystemHostPlatform : public HostPlatform {
 public:
  explicit SystemHostPlatform(std::function<void(const std::string&)> showMessage)
      : showMessage_(std::move(showMessage)) {}
  bool DirectoryExists(const std::string& dir) override;
  bool MakeDirectory(const std::string& dir) override;
  std::optional<std::string> WindowsDirectory() override;
  void ShowMessage(const std::string& text) override { showMessage_(text); }
  std::string LocalPath(const std::string& hostPath) override;

 private:
  std::function<void(const std::string&)> showMessage_;
};

// The mapping of SystemHostPlatform off Windows, with the environment given as a function (so
// that the tests need not change the process's environment): a drive letter and ":" stand for
// that drive's folder, a text starting with "\" for a path on drive C, and every backslash
// becomes "/". Other texts are left relative.
std::string MapHostPath(const std::string& hostPath,
                        const std::function<std::optional<std::string>(const std::string&)>& env);

}  // namespace aiimport
