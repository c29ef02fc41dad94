// Ghostscript as a child process. PostScript and EPS files written by other programs (and PDF
// files whose lettering we want as outlines) are turned into PDF bytes by Ghostscript's pdfwrite
// device; the PDF page reader then reads those bytes. The files are untrusted, so Ghostscript
// runs fenced in:
//
//   gs -dBATCH -dNOPAUSE -dQUIET -sDEVICE=pdfwrite -dEPSCrop -dNoOutputFonts [extra -d flags]
//      -dSAFER -sOutputFile=out.pdf -f /absolute/input
//
//  - started through the child-process seam (RunChild in src/platform/childprocess.h: on POSIX
//    fork and execve), never through a shell, so that it and anything it starts are killed
//    together (a process group of its own);
//  - in a private temporary folder (mode 0700) that is its working folder and its TMPDIR, and
//    is removed when the call returns, whatever happened (also when Ghostscript crashes or the
//    poll callback throws). -dSAFER allows file access only to the input file, Ghostscript's
//    own resources and TMPDIR, so pointing TMPDIR at the private folder keeps a hostile file
//    from reading or writing the user's temporary folder;
//  - standard input is /dev/null; standard output and error are read back (only the last part
//    and the last "Error:" line are kept); every other descriptor of ours is closed;
//  - GS_OPTIONS and every other GS_* variable are taken out of its environment;
//  - limits: wall-clock time (60 s, or AIIMPORT_GS_TIMEOUT seconds), processor time (the same,
//    rounded up, plus a second), address space (2 GB), size of each file it writes (the PDF
//    limit), core dumps (none), total size of the private folder and of what it prints.
//
// This file keeps what is Ghostscript's: its flags and the refused ones, its environment, the
// reading of what it printed, the status and every message. No Qt here: the window keeps itself
// responsive through the poll callback. Where the platform starts no child (the stub build),
// every conversion fails as a failed start ("Ghostscript could not be started: ...").
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace aiimport {

enum class GhostscriptStatus {
  Ok,           // Pdf holds the PDF
  Missing,      // Ghostscript is not installed (or not where Program says)
  Failed,       // Ghostscript stopped with an error, crashed, or made no PDF
  TimedOut,     // over the time limit, by the clock or by processor time
  OutOfMemory,  // over the address-space limit
  TooLarge,     // the PDF, the temporary files or what Ghostscript printed over their limits
  Aborted,      // the poll callback asked to stop
};

// "Ok", "Missing", ... for reports and logs.
const char* GhostscriptStatusName(GhostscriptStatus status);

// The environment variable that overrides the default time limit, in seconds.
inline constexpr const char* GhostscriptTimeoutVariable = "AIIMPORT_GS_TIMEOUT";
inline constexpr double GhostscriptDefaultTimeout = 60;

// The message for a missing Ghostscript, exactly as the user reads it.
inline constexpr const char* GhostscriptMissingMessage =
    "Install Ghostscript (Debian package ghostscript) to read this file fully";

struct GhostscriptOptions {
  // The program: a name without '/' is looked up in PATH, anything else is used as it is.
  std::string Program = "gs";
  // Seconds Ghostscript may take. Unset: AIIMPORT_GS_TIMEOUT when that holds a positive number,
  // else 60. Values are kept between a millisecond and a week.
  std::optional<double> TimeoutSeconds;
  uint64_t MemoryLimitBytes = uint64_t{2} << 30;  // address space of the child
  uint64_t MaxPdfBytes = uint64_t{512} << 20;     // the PDF, and each file Ghostscript writes
  uint64_t MaxFolderBytes = uint64_t{2} << 30;    // all files in the private folder together
  uint64_t MaxPrintedBytes = uint64_t{16} << 20;  // what Ghostscript prints, in total
  // Extra "-dNAME" or "-dNAME=VALUE" flags (letters, digits, '_', '.', '+', '-' only). Flags that
  // would weaken -dSAFER are refused: ConvertWithGhostscript throws std::invalid_argument.
  std::vector<std::string> ExtraFlags;
  // Where the private folder is made; empty: the system's temporary folder.
  std::string TempParent;
  // How often the poll callback is called while Ghostscript runs.
  int PollIntervalMs = 40;
};

struct GhostscriptResult {
  GhostscriptStatus Status = GhostscriptStatus::Failed;
  std::string Pdf;          // the PDF's bytes (when Ok)
  std::string Message;      // why there is no PDF, in plain words (empty when Ok)
  std::string ErrorLine;    // Ghostscript's last "Error: ..." line, cleaned, or empty
  std::string PrintedTail;  // the last few kilobytes Ghostscript printed, cleaned
  double Seconds = 0;       // time from the start of the call until the PDF was read
  int ProcessId = 0;        // the child's process id (0 when none was started); reaped
};

// Called every PollIntervalMs while Ghostscript runs; returns true when the user asked to
// abort. The window pumps its events here. An exception thrown from it ends the child and
// cleans up like an abort, then goes on to the caller.
using GhostscriptPoll = std::function<bool()>;

// Converts the file to PDF with Ghostscript. Never leaves a process running or a file behind:
// when the call returns, the child and its process group are gone and reaped and the private
// folder is removed. Must be called from a thread that lives until it returns (the child is
// killed when that thread ends). Throws std::invalid_argument for a refused extra flag and
// std::bad_alloc when our own memory runs out; everything else is a status with a message.
GhostscriptResult ConvertWithGhostscript(const std::string& fileName,
                                         const GhostscriptOptions& options = {},
                                         const GhostscriptPoll& poll = {});

// The time limit that a value of AIIMPORT_GS_TIMEOUT stands for: a positive decimal number of
// seconds ("90", "2.5", "1e3"; spaces around it allowed), at most a week; anything else
// (nullptr, empty, zero, negative, not a number, trailing text) gives the default of 60.
double GhostscriptTimeoutFromText(const char* text);

// The time limit a conversion with these options gets (reads the environment when unset).
double GhostscriptTimeout(const GhostscriptOptions& options);

}  // namespace aiimport
