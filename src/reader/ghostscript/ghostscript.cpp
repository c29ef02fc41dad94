#include "ghostscript.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <utility>

#include "childprocess.h"
#include "fileaccess.h"
#include "wording.h"

namespace aiimport {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double ShortestTimeout = 0.001;
constexpr double LongestTimeout = 7 * 24 * 3600.0;
constexpr const char* OutputName = "out.pdf";
constexpr std::size_t TailBytes = 4096;           // of what Ghostscript printed, kept for reports
constexpr std::size_t LongestLine = 400;          // bytes of one printed line looked at
constexpr std::size_t LongestErrorLine = 200;     // characters of the error line in a message
constexpr std::size_t MostFolderEntries = 10000;  // files Ghostscript may leave in its folder
constexpr auto FolderCheckInterval = std::chrono::milliseconds(250);

// ---- Words for the user ----

std::string SecondsWords(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", seconds);
  return std::string(text) + " s";
}

std::string TimedOutMessage(double timeout) {
  return "Ghostscript took longer than " + SecondsWords(timeout) +
         " to convert this file and was stopped (to allow more time, set " +
         GhostscriptTimeoutVariable + " to the number of seconds)";
}

std::string OutOfMemoryMessage(uint64_t limit) {
  return "Ghostscript needed more than " + SizeWords(limit) +
         " of memory for this file and was stopped";
}

std::string PdfTooLargeMessage(uint64_t limit) {
  return "Ghostscript's PDF of this file is larger than " + SizeWords(limit) + " and was not read";
}

// Printable ASCII only: what a hostile file prints must not reach the window as control codes
// or broken UTF-8. Line breaks are kept when keepLines says so, tabs become spaces and every
// other byte a '?'.
std::string Clean(std::string_view text, bool keepLines) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c >= 0x20 && c < 0x7f)
      out += c;
    else if (c == '\n' && keepLines)
      out += c;
    else if (c == '\t' || c == '\n' || c == '\r')
      out += ' ';
    else
      out += '?';
  }
  return out;
}

// ---- What Ghostscript prints ----

// Keeps the last few kilobytes and the last line holding "Error:" (Ghostscript's own report of
// what stopped it, "Error: /undefined in foo"), without ever holding more than that.
class PrintedOutput {
 public:
  void Append(const char* data, std::size_t size) {
    total_ += size;
    tail_.append(data, size);
    if (tail_.size() > 2 * TailBytes) tail_.erase(0, tail_.size() - TailBytes);
    for (std::size_t i = 0; i < size; ++i) {
      const char c = data[i];
      if (c == '\n' || c == '\r')
        EndLine();
      else if (line_.size() < LongestLine)
        line_ += c;
    }
  }
  void Finish() { EndLine(); }

  uint64_t Total() const { return total_; }
  std::string Tail() const {
    const std::string_view tail(tail_);
    return Clean(tail.substr(tail.size() > TailBytes ? tail.size() - TailBytes : 0), true);
  }
  const std::string& ErrorLine() const { return errorLine_; }

 private:
  void EndLine() {
    const std::size_t at = line_.find("Error:");
    if (at != std::string::npos) {
      std::string line = Clean(std::string_view(line_).substr(at), false);
      // Runs of spaces as one, none at the end, and not longer than a status bar shows.
      std::string squeezed;
      for (const char c : line)
        if (c != ' ' || (!squeezed.empty() && squeezed.back() != ' ')) squeezed += c;
      while (!squeezed.empty() && squeezed.back() == ' ')
        squeezed.pop_back();
      if (squeezed.size() > LongestErrorLine) squeezed = squeezed.substr(0, LongestErrorLine);
      errorLine_ = std::move(squeezed);
    }
    line_.clear();
  }

  uint64_t total_ = 0;
  std::string tail_;
  std::string line_;
  std::string errorLine_;
};

// ---- Ghostscript's flags, environment and limits ----

bool IsNameChar(char c, bool first) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         (!first && c >= '0' && c <= '9');
}

bool IsValueChar(char c) {
  return IsNameChar(c, false) || c == '.' || c == '+' || c == '-';
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// Extra flags are "-dNAME" or "-dNAME=VALUE"; none may switch off SAFER or change the device
// or the output file.
void CheckExtraFlag(const std::string& flag) {
  auto refuse = [&](const char* why) {
    throw std::invalid_argument("Ghostscript flag \"" + flag + "\" refused: " + why);
  };
  const std::string_view text(flag);
  if (text.size() < 3 || text.substr(0, 2) != "-d") refuse("only -dNAME[=VALUE] flags are taken");
  const std::size_t equals = text.find('=');
  const std::string_view name =
      text.substr(2, equals == std::string_view::npos ? text.npos : equals - 2);
  if (name.empty() || !IsNameChar(name.front(), true)) refuse("not a flag name");
  for (const char c : name)
    if (!IsNameChar(c, false)) refuse("not a flag name");
  if (equals != std::string_view::npos)
    for (const char c : text.substr(equals + 1))
      if (!IsValueChar(c)) refuse("the value holds characters that are not allowed");
  const std::string upper = Upper(name);
  for (const char* owned : {"SAFER", "NOSAFER", "DELAYSAFER", "DEVICE", "OUTPUTFILE"})
    if (upper == owned) refuse("this flag is set by the converter itself");
}

std::vector<std::string> Arguments(const std::string& input, const GhostscriptOptions& options) {
  std::vector<std::string> args = {"-dBATCH",           "-dNOPAUSE", "-dQUIET",
                                   "-sDEVICE=pdfwrite", "-dEPSCrop", "-dNoOutputFonts"};
  args.insert(args.end(), options.ExtraFlags.begin(), options.ExtraFlags.end());
  // SAFER after the extra flags, and the input by an absolute path after -f: a file name
  // cannot be taken for a switch ("-...", "@...") or a device ("%pipe%...").
  args.insert(args.end(), {"-dSAFER", std::string("-sOutputFile=") + OutputName, "-f", input});
  return args;
}

// Our environment without the variables that could hand Ghostscript options, search paths or
// another temporary folder; TMPDIR (and TEMP, TMP) name the private folder, which is then the
// only folder besides Ghostscript's own that -dSAFER lets it write to.
std::vector<std::string> ChildEnvironment(const std::string& folder) {
  std::vector<std::string> env;
  for (std::string& e : CurrentEnvironment()) {
    if (e.starts_with("GS_") || e.starts_with("TMPDIR=") || e.starts_with("TEMP=") ||
        e.starts_with("TMP="))
      continue;
    env.push_back(std::move(e));
  }
  for (const char* name : {"TMPDIR=", "TEMP=", "TMP="})
    env.push_back(name + folder);
  return env;
}

ChildRequest Request(const std::string& program, const std::string& input,
                     const std::string& folder, const GhostscriptOptions& options, double timeout) {
  ChildRequest request;
  request.Program = program;
  request.Arguments = Arguments(input, options);
  request.Environment = ChildEnvironment(folder);
  request.Folder = folder;
  request.TimeoutSeconds = timeout;
  request.AddressSpaceBytes = options.MemoryLimitBytes;
  // One byte over the PDF limit, so that a PDF just over it is recognised as too large.
  request.FileBytes = options.MaxPdfBytes == UINT64_MAX ? UINT64_MAX : options.MaxPdfBytes + 1;
  request.MaxOutputBytes = options.MaxPrintedBytes;
  request.PollInterval = std::chrono::milliseconds(options.PollIntervalMs);
  return request;
}

// Bytes of all files in the folder, or max() when it holds more files than Ghostscript ever
// needs.
uint64_t FolderBytes(const std::string& folder) {
  uint64_t bytes = 0;
  std::size_t entries = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (++entries > MostFolderEntries) return UINT64_MAX;
    std::error_code sizeError;
    if (it->is_regular_file(sizeError)) {
      const uintmax_t size = it->file_size(sizeError);
      if (!sizeError) bytes += size;
    }
  }
  return bytes;
}

// ---- Running it, and how it ended ----

// Why the child was stopped from here.
enum class Stop { Aborted, FolderTooLarge };

// What the child is asked every poll interval: the caller's poll (the user's abort) and, every
// FolderCheckInterval, whether the private folder has grown too large.
class Watch {
 public:
  Watch(const GhostscriptPoll& poll, const std::string& folder, uint64_t maxFolderBytes)
      : poll_(poll), folder_(folder), maxFolderBytes_(maxFolderBytes) {}

  bool operator()() {
    if (poll_ && poll_()) {
      stop_ = Stop::Aborted;
      return true;
    }
    const auto now = Clock::now();
    if (now < nextFolderCheck_) return false;
    nextFolderCheck_ = now + FolderCheckInterval;
    if (FolderBytes(folder_) <= maxFolderBytes_) return false;
    stop_ = Stop::FolderTooLarge;
    return true;
  }
  Stop Stopped() const { return stop_; }

 private:
  const GhostscriptPoll& poll_;
  const std::string& folder_;
  uint64_t maxFolderBytes_;
  Clock::time_point nextFolderCheck_ = Clock::now() + FolderCheckInterval;
  Stop stop_ = Stop::Aborted;
};

// A status and its message.
struct Outcome {
  GhostscriptStatus Status;
  std::string Message;
};

// The input: its real absolute path (the child works in another folder), naming a regular file
// we can open (a pipe or a device would only make Ghostscript wait). Empty when there is none,
// and why.
std::string InputPath(const std::string& fileName, std::string& why) {
  std::error_code ec;
  std::string input = fileName.empty() ? std::string() : fs::canonical(fileName, ec).string();
  if (input.empty()) {
    if (!ec) ec = std::make_error_code(std::errc::no_such_file_or_directory);
    why = "The file could not be opened: " + ec.message();
  } else if (!OpensAsRegularFile(input, ec)) {
    why = "The file could not be opened: " + (ec ? ec.message() : "it is not a file");
    input.clear();
  }
  return input;
}

// The status and message for a child that did not end well by itself; none when it did, and its
// PDF is to be read.
std::optional<Outcome> Failure(const ChildResult& child, Stop stop,
                               const GhostscriptOptions& options, double timeout,
                               const std::string& errorLine, const std::string& pdfPath) {
  using S = GhostscriptStatus;
  const bool vmError = errorLine.find("VMerror") != std::string::npos;
  switch (child.End) {
    case ChildEnd::Missing:
      return Outcome{S::Missing, GhostscriptMissingMessage};
    case ChildEnd::NotStarted:
      return Outcome{S::Failed, "Ghostscript could not be started: " + child.Error.message()};
    case ChildEnd::Stopped:
      if (stop == Stop::Aborted) return Outcome{S::Aborted, "Converting PostScript was aborted"};
      return Outcome{S::TooLarge, "Ghostscript wrote more than " +
                                      SizeWords(options.MaxFolderBytes) +
                                      " of temporary files for this file and was stopped"};
    case ChildEnd::TimedOut:
    case ChildEnd::ProcessorTime:
      return Outcome{S::TimedOut, TimedOutMessage(timeout)};
    case ChildEnd::OutputTooLarge:
      return Outcome{S::TooLarge, "Ghostscript printed more than " +
                                      SizeWords(options.MaxPrintedBytes) +
                                      " of messages for this file and was stopped"};
    case ChildEnd::Unseen:
      return Outcome{S::Failed, "Ghostscript ended in a way that could not be seen"};
    case ChildEnd::FileTooLarge:
      return Outcome{S::TooLarge, PdfTooLargeMessage(options.MaxPdfBytes)};
    case ChildEnd::Killed:
    case ChildEnd::Crashed:
      if (vmError) return Outcome{S::OutOfMemory, OutOfMemoryMessage(options.MemoryLimitBytes)};
      if (child.End == ChildEnd::Killed)
        return Outcome{S::Failed,
                       "Ghostscript was stopped by the system while converting this file "
                       "(perhaps for lack of memory)"};
      return Outcome{S::Failed, "Ghostscript crashed while converting this file (signal " +
                                    std::to_string(child.Signal) + ")"};
    case ChildEnd::Exited:
      break;
  }
  if (child.ExitCode == 0) return std::nullopt;
  if (vmError) return Outcome{S::OutOfMemory, OutOfMemoryMessage(options.MemoryLimitBytes)};
  if (EntrySize(pdfPath).value_or(0) > options.MaxPdfBytes)
    return Outcome{S::TooLarge, PdfTooLargeMessage(options.MaxPdfBytes)};
  if (!errorLine.empty())
    return Outcome{S::Failed, "Ghostscript could not read this file: " + errorLine};
  return Outcome{S::Failed, "Ghostscript could not read this file (exit code " +
                                std::to_string(child.ExitCode) + ")"};
}

Outcome ReadPdf(const std::string& path, uint64_t limit, std::string& pdf) {
  switch (ReadRegularFile(path, limit, pdf)) {
    case FileRead::Ok:
      break;
    case FileRead::Missing:
      return {GhostscriptStatus::Failed, "Ghostscript made no PDF from this file"};
    case FileRead::TooLarge:
      return {GhostscriptStatus::TooLarge, PdfTooLargeMessage(limit)};
    case FileRead::Unreadable:
      pdf.clear();
      return {GhostscriptStatus::Failed, "Ghostscript's PDF of this file could not be read"};
  }
  if (!std::string_view(pdf).starts_with("%PDF")) {
    pdf.clear();
    return {GhostscriptStatus::Failed, "Ghostscript's output is not a PDF file"};
  }
  return {GhostscriptStatus::Ok, {}};
}

// Everything after the flags are checked: the program, the input, the private folder, the run
// and its outcome. The folder is removed when this returns (or throws), the child is gone by
// then.
Outcome Convert(const std::string& fileName, const GhostscriptOptions& options, double timeout,
                const GhostscriptPoll& poll, GhostscriptResult& result) {
  const std::string program = FindProgram(options.Program);
  if (program.empty()) return {GhostscriptStatus::Missing, GhostscriptMissingMessage};
  std::string why;
  const std::string input = InputPath(fileName, why);
  if (input.empty()) return {GhostscriptStatus::Failed, why};
  const PrivateFolder folder(options.TempParent, "aiimport-gs-");
  if (!folder.Made())
    return {GhostscriptStatus::Failed, "No temporary folder for Ghostscript could be made in " +
                                           folder.Parent() + ": " + folder.Error().message()};

  PrintedOutput printed;
  Watch watch(poll, folder.Path(), options.MaxFolderBytes);
  const ChildResult child = RunChild(
      Request(program, input, folder.Path(), options, timeout),
      [&](std::string_view text) { printed.Append(text.data(), text.size()); },
      [&] { return watch(); });
  result.ProcessId = child.ProcessId;
  printed.Finish();
  result.ErrorLine = printed.ErrorLine();
  result.PrintedTail = printed.Tail();
  const std::string pdfPath = folder.Path() + "/" + OutputName;
  if (auto failure = Failure(child, watch.Stopped(), options, timeout, result.ErrorLine, pdfPath))
    return std::move(*failure);
  return ReadPdf(pdfPath, options.MaxPdfBytes, result.Pdf);
}

}  // namespace

const char* GhostscriptStatusName(GhostscriptStatus status) {
  switch (status) {
    case GhostscriptStatus::Ok:
      return "Ok";
    case GhostscriptStatus::Missing:
      return "Missing";
    case GhostscriptStatus::Failed:
      return "Failed";
    case GhostscriptStatus::TimedOut:
      return "TimedOut";
    case GhostscriptStatus::OutOfMemory:
      return "OutOfMemory";
    case GhostscriptStatus::TooLarge:
      return "TooLarge";
    case GhostscriptStatus::Aborted:
      return "Aborted";
  }
  return "Unknown";
}

double GhostscriptTimeoutFromText(const char* text) {
  if (!text) return GhostscriptDefaultTimeout;
  std::string_view s(text);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || error != std::errc() || end != s.data() + s.size() || !std::isfinite(value) ||
      value <= 0 || value > LongestTimeout)
    return GhostscriptDefaultTimeout;
  return std::max(value, ShortestTimeout);
}

double GhostscriptTimeout(const GhostscriptOptions& options) {
  if (!options.TimeoutSeconds)
    return GhostscriptTimeoutFromText(std::getenv(GhostscriptTimeoutVariable));
  const double value = *options.TimeoutSeconds;
  if (std::isnan(value)) return GhostscriptDefaultTimeout;
  return std::clamp(value, ShortestTimeout, LongestTimeout);
}

GhostscriptResult ConvertWithGhostscript(const std::string& fileName,
                                         const GhostscriptOptions& options,
                                         const GhostscriptPoll& poll) {
  const auto started = Clock::now();
  for (const std::string& flag : options.ExtraFlags)
    CheckExtraFlag(flag);
  GhostscriptResult result;
  Outcome outcome = Convert(fileName, options, GhostscriptTimeout(options), poll, result);
  result.Status = outcome.Status;
  result.Message = std::move(outcome.Message);
  result.Seconds = std::chrono::duration<double>(Clock::now() - started).count();
  return result;
}

}  // namespace aiimport
