#include "ghostscript.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <utility>

#include "wording.h"

extern char** environ;

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

std::string SystemError(int error) {
  return std::error_code(error, std::generic_category()).message();
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

// ---- Descriptors, folder and child, each cleaned up by its destructor ----

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int Get() const { return fd_; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

// The descriptor moved to 3 or above (close-on-exec kept), so that the child's dup2 onto 0, 1
// and 2 never finds one of its own sources there (possible when our standard streams are
// closed).
bool MoveAboveStandard(Descriptor& d) {
  if (d.Get() > 2) return true;
  const int moved = ::fcntl(d.Get(), F_DUPFD_CLOEXEC, 3);
  if (moved < 0) return false;
  d.Reset(moved);
  return true;
}

// Removes the private folder and all in it when the call ends, however it ends. Declared
// before the child, so the child is dead before its folder goes.
class PrivateFolder {
 public:
  explicit PrivateFolder(std::string path) : path_(std::move(path)) {}
  ~PrivateFolder() {
    try {
      std::error_code ec;
      fs::remove_all(path_, ec);
    } catch (...) {
      // Out of memory while listing the folder: nothing more can be done here.
    }
  }
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { KillAndReap(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void Adopt(pid_t pid) { pid_ = pid; }
  pid_t Id() const { return pid_; }

  // True once the child has ended (it stays a zombie until KillAndReap).
  bool HasEnded() const {
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
      return errno != EINTR;  // ECHILD: somebody else reaped it
    return info.si_pid == pid_;
  }

  // Kills the child's whole process group (Ghostscript and anything it started; a child that
  // has ended is killed no further) and reaps the child. Until it is reaped the child's id
  // cannot be given to another process, so the group id still means ours. Returns the wait
  // status, or -1 when it could not be had.
  int KillAndReap() {
    if (pid_ <= 0 || reaped_) return status_;
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    int status = 0;
    for (;;) {
      const pid_t r = ::waitpid(pid_, &status, 0);
      if (r == pid_) break;
      if (r < 0 && errno != EINTR) {
        status = -1;
        break;
      }
    }
    reaped_ = true;
    status_ = status;
    return status_;
  }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = -1;
};

// ---- Starting the child ----

// What the child writes to the report pipe when it cannot start Ghostscript.
struct StartFailure {
  int Step;
  int Error;
};
enum StartStep : int { StepSetUp = 1, StepFolder, StepLimits, StepExec };

// Everything the child needs, made before fork: between fork and execve the child may call
// only async-signal-safe functions (the parent may have other threads holding locks), so it
// allocates nothing and formats nothing.
struct ChildPlan {
  const char* Program = nullptr;
  char* const* Argv = nullptr;
  char* const* Envp = nullptr;
  const char* Folder = nullptr;
  int Stdin = -1;
  int Output = -1;
  int Report = -1;
  int HighestDescriptor = 1023;
  pid_t Parent = 0;
  rlimit AddressSpace{};
  rlimit FileSize{};
  rlimit Processor{};
  rlimit Core{};
  struct sigaction Default {};
  sigset_t NoSignals{};
};

[[noreturn]] void Fail(const ChildPlan& plan, int step) {
  const StartFailure failure{step, errno};
  const ssize_t written = ::write(plan.Report, &failure, sizeof failure);
  (void)written;
  ::_exit(127);
}

void CloseAllButReport(const ChildPlan& plan) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  const unsigned report = static_cast<unsigned>(plan.Report);
  if ((report == 3 || ::close_range(3, report - 1, 0) == 0) &&
      ::close_range(report + 1, ~0U, 0) == 0)
    return;
#endif
  for (int fd = 3; fd <= plan.HighestDescriptor; ++fd)
    if (fd != plan.Report) ::close(fd);
}

[[noreturn]] void RunChild(const ChildPlan& plan) {
  // A process group of its own: killing the group ends Ghostscript and whatever it started,
  // and a Ctrl+C meant for us does not reach it half way.
  if (::setpgid(0, 0) != 0) Fail(plan, StepSetUp);
#ifdef __linux__
  // Killed with us if we die before we could kill it.
  if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) Fail(plan, StepSetUp);
  if (::getppid() != plan.Parent) ::_exit(127);
#endif
  // Signals we ignore or block must not be ignored or blocked in Ghostscript (SIGXCPU and
  // SIGXFSZ above all: they end it at the limits).
  for (int sig = 1; sig < NSIG; ++sig)
    if (sig != SIGKILL && sig != SIGSTOP) ::sigaction(sig, &plan.Default, nullptr);
  if (::sigprocmask(SIG_SETMASK, &plan.NoSignals, nullptr) != 0) Fail(plan, StepSetUp);

  if (::dup2(plan.Stdin, 0) < 0 || ::dup2(plan.Output, 1) < 0 || ::dup2(plan.Output, 2) < 0)
    Fail(plan, StepSetUp);
  CloseAllButReport(plan);
  if (::chdir(plan.Folder) != 0) Fail(plan, StepFolder);
  if (::setrlimit(RLIMIT_AS, &plan.AddressSpace) != 0 ||
      ::setrlimit(RLIMIT_FSIZE, &plan.FileSize) != 0 ||
      ::setrlimit(RLIMIT_CPU, &plan.Processor) != 0 || ::setrlimit(RLIMIT_CORE, &plan.Core) != 0)
    Fail(plan, StepLimits);
  ::execve(plan.Program, plan.Argv, plan.Envp);
  Fail(plan, StepExec);
}

// The limit asked for, but never above the hard limit we have ourselves (raising that would
// fail).
rlimit Limit(int resource, uint64_t soft, uint64_t hard) {
  rlimit now{};
  rlim_t ceiling = RLIM_INFINITY;
  if (::getrlimit(resource, &now) == 0) ceiling = now.rlim_max;
  auto capped = [&](uint64_t value) {
    const rlim_t v = value >= static_cast<uint64_t>(RLIM_INFINITY) ? RLIM_INFINITY - 1
                                                                   : static_cast<rlim_t>(value);
    return ceiling == RLIM_INFINITY ? v : std::min(v, ceiling);
  };
  return rlimit{capped(soft), capped(hard)};
}

// The program to run: a name with a '/' as an absolute path (the child changes folder before
// execve), a bare name from PATH. Empty when PATH has no executable file of that name.
std::string FindProgram(const std::string& program) {
  if (program.empty()) return {};
  if (program.find('/') != std::string::npos) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(program, ec);
    return ec ? program : absolute.string();
  }
  const char* path = std::getenv("PATH");
  std::string_view dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  while (!dirs.empty()) {
    const std::size_t colon = dirs.find(':');
    const std::string_view dir = dirs.substr(0, colon);
    dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    if (dir.empty() || dir.front() != '/') continue;  // never the current folder
    const std::string candidate = std::string(dir) + "/" + program;
    struct stat info {};
    if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return {};
}

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

std::vector<std::string> Arguments(const std::string& program, const std::string& input,
                                   const GhostscriptOptions& options) {
  std::vector<std::string> args = {program,          "-dBATCH",           "-dNOPAUSE",
                                   "-dQUIET",        "-sDEVICE=pdfwrite", "-dEPSCrop",
                                   "-dNoOutputFonts"};
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
  for (char** entry = environ; entry && *entry; ++entry) {
    const std::string_view e(*entry);
    if (e.starts_with("GS_") || e.starts_with("TMPDIR=") || e.starts_with("TEMP=") ||
        e.starts_with("TMP="))
      continue;
    env.emplace_back(e);
  }
  for (const char* name : {"TMPDIR=", "TEMP=", "TMP="})
    env.push_back(name + folder);
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  out.reserve(strings.size() + 1);
  for (std::string& s : strings)
    out.push_back(s.data());
  out.push_back(nullptr);
  return out;
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

// Reads what the pipe holds now, without waiting, until the total printed passes the limit.
// False at the end of the pipe (or on an error that will not go away).
bool ReadPrinted(int fd, PrintedOutput& printed, std::vector<char>& buffer, uint64_t limit) {
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n > 0) {
      printed.Append(buffer.data(), static_cast<std::size_t>(n));
      if (printed.Total() > limit) return true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

enum class PdfRead { Ok, Missing, TooLarge, Unreadable };

PdfRead ReadPdf(const std::string& path, uint64_t limit, std::string& pdf) {
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (fd.Get() < 0) return errno == ENOENT ? PdfRead::Missing : PdfRead::Unreadable;
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return PdfRead::Unreadable;
  if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) > limit) return PdfRead::TooLarge;
  pdf.resize(static_cast<std::size_t>(info.st_size));
  std::size_t done = 0;
  while (done < pdf.size()) {
    const ssize_t n = ::read(fd.Get(), pdf.data() + done, pdf.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return PdfRead::Unreadable;
    done += static_cast<std::size_t>(n);
  }
  return PdfRead::Ok;
}

bool FileLargerThan(const std::string& path, uint64_t limit) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && info.st_size >= 0 &&
         static_cast<uint64_t>(info.st_size) > limit;
}

enum class Stop { Ended, Aborted, TimedOut, PrintedTooMuch, FolderTooLarge };

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
  GhostscriptResult result;
  auto finish = [&](GhostscriptStatus status, std::string message) {
    result.Status = status;
    result.Message = std::move(message);
    result.Seconds = std::chrono::duration<double>(Clock::now() - started).count();
    return std::move(result);
  };

  for (const std::string& flag : options.ExtraFlags)
    CheckExtraFlag(flag);
  const double timeout = GhostscriptTimeout(options);
  const auto interval = std::chrono::milliseconds(std::clamp(options.PollIntervalMs, 1, 1000));

  const std::string program = FindProgram(options.Program);
  if (program.empty()) return finish(GhostscriptStatus::Missing, GhostscriptMissingMessage);

  // The input: its real absolute path (the child works in another folder), naming a regular
  // file we can open (a pipe or a device would only make Ghostscript wait).
  std::error_code ec;
  const std::string input = fileName.empty() ? std::string() : fs::canonical(fileName, ec).string();
  if (input.empty())
    return finish(GhostscriptStatus::Failed,
                  "The file could not be opened: " + SystemError(ec ? ec.value() : ENOENT));
  {
    Descriptor probe(::open(input.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (probe.Get() < 0)
      return finish(GhostscriptStatus::Failed,
                    "The file could not be opened: " + SystemError(errno));
    struct stat info {};
    if (::fstat(probe.Get(), &info) != 0 || !S_ISREG(info.st_mode))
      return finish(GhostscriptStatus::Failed, "The file could not be opened: it is not a file");
  }

  // The private folder.
  fs::path parent = options.TempParent;
  if (parent.empty()) {
    parent = fs::temp_directory_path(ec);
    if (ec) parent = "/tmp";
  }
  std::string folderPath = (parent / "aiimport-gs-XXXXXX").string();
  if (!::mkdtemp(folderPath.data()))
    return finish(GhostscriptStatus::Failed,
                  "No temporary folder for Ghostscript could be made in " + parent.string() + ": " +
                      SystemError(errno));
  PrivateFolder folder(folderPath);

  // Its standard input, its output pipe and the pipe on which it reports a failed start.
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0)
    return finish(GhostscriptStatus::Failed,
                  "Ghostscript could not be started: " + SystemError(errno));
  Descriptor outputRead(ends[0]), outputWrite(ends[1]);
  if (::pipe2(ends, O_CLOEXEC) != 0)
    return finish(GhostscriptStatus::Failed,
                  "Ghostscript could not be started: " + SystemError(errno));
  Descriptor reportRead(ends[0]), reportWrite(ends[1]);
  Descriptor devNull(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  if (devNull.Get() < 0 || !MoveAboveStandard(devNull) || !MoveAboveStandard(outputWrite) ||
      !MoveAboveStandard(reportWrite))
    return finish(GhostscriptStatus::Failed,
                  "Ghostscript could not be started: " + SystemError(errno));

  std::vector<std::string> args = Arguments(program, input, options);
  std::vector<std::string> env = ChildEnvironment(folder.Path());
  const std::vector<char*> argv = Pointers(args);
  const std::vector<char*> envp = Pointers(env);

  ChildPlan plan;
  plan.Program = program.c_str();
  plan.Argv = argv.data();
  plan.Envp = envp.data();
  plan.Folder = folder.Path().c_str();
  plan.Stdin = devNull.Get();
  plan.Output = outputWrite.Get();
  plan.Report = reportWrite.Get();
  const long openMax = ::sysconf(_SC_OPEN_MAX);
  plan.HighestDescriptor = openMax > 0 ? static_cast<int>(std::min(openMax, 65536L)) - 1 : 1023;
  plan.Parent = ::getpid();
  plan.AddressSpace = Limit(RLIMIT_AS, options.MemoryLimitBytes, options.MemoryLimitBytes);
  // One byte over the PDF limit, so that a PDF just over it is recognised as too large.
  const uint64_t fileLimit =
      options.MaxPdfBytes == UINT64_MAX ? UINT64_MAX : options.MaxPdfBytes + 1;
  plan.FileSize = Limit(RLIMIT_FSIZE, fileLimit, fileLimit);
  // Processor time: the clock limit rounded up and a second more (then SIGXCPU ends it), and
  // two more before SIGKILL. It keeps a child from running on should we be stopped.
  const uint64_t cpuSeconds = static_cast<uint64_t>(std::ceil(timeout)) + 1;
  plan.Processor = Limit(RLIMIT_CPU, cpuSeconds, cpuSeconds + 2);
  plan.Core = Limit(RLIMIT_CORE, 0, 0);
  plan.Default.sa_handler = SIG_DFL;
  sigemptyset(&plan.Default.sa_mask);
  sigemptyset(&plan.NoSignals);

  ChildProcess child;  // after the folder: killed and reaped before the folder is removed
  const pid_t pid = ::fork();
  if (pid == 0) RunChild(plan);
  if (pid < 0)
    return finish(GhostscriptStatus::Failed,
                  "Ghostscript could not be started: " + SystemError(errno));
  child.Adopt(pid);
  result.ProcessId = static_cast<int>(pid);
  // Also here, so that the group exists before we might kill it (the child may not have run
  // yet); fails harmlessly when the child has already done it and started Ghostscript.
  ::setpgid(pid, pid);
  devNull.Reset();
  outputWrite.Reset();
  reportWrite.Reset();

  // Either a failure report or the end of the pipe, when execve has closed it.
  StartFailure failure{};
  std::size_t got = 0;
  while (got < sizeof failure) {
    const ssize_t n =
        ::read(reportRead.Get(), reinterpret_cast<char*>(&failure) + got, sizeof failure - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got == sizeof failure) {
    child.KillAndReap();
    if (failure.Step == StepExec && (failure.Error == ENOENT || failure.Error == ENOTDIR))
      return finish(GhostscriptStatus::Missing, GhostscriptMissingMessage);
    return finish(GhostscriptStatus::Failed,
                  "Ghostscript could not be started: " + SystemError(failure.Error));
  }

  // Wait for it, reading what it prints, asking the caller about an abort every interval and
  // watching the clock and the folder.
  ::fcntl(outputRead.Get(), F_SETFL, ::fcntl(outputRead.Get(), F_GETFL) | O_NONBLOCK);
  PrintedOutput printed;
  std::vector<char> buffer(65536);
  const auto deadline =
      started + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout));
  auto nextPoll = Clock::now() + interval;
  auto nextFolderCheck = Clock::now() + FolderCheckInterval;
  bool outputOpen = true;
  Stop stop = Stop::Ended;
  for (;;) {
    if (outputOpen)
      outputOpen = ReadPrinted(outputRead.Get(), printed, buffer, options.MaxPrintedBytes);
    if (printed.Total() > options.MaxPrintedBytes) {
      stop = Stop::PrintedTooMuch;
      break;
    }
    if (child.HasEnded()) {
      stop = Stop::Ended;
      break;
    }
    auto now = Clock::now();
    if (now >= deadline) {
      stop = Stop::TimedOut;
      break;
    }
    if (now >= nextPoll) {
      nextPoll = now + interval;
      if (poll && poll()) {
        stop = Stop::Aborted;
        break;
      }
      now = Clock::now();
    }
    if (now >= nextFolderCheck) {
      nextFolderCheck = now + FolderCheckInterval;
      if (FolderBytes(folder.Path()) > options.MaxFolderBytes) {
        stop = Stop::FolderTooLarge;
        break;
      }
    }
    // Sleep until it prints, the next poll or the deadline; once its output has closed, in
    // short steps, as only its end is awaited then.
    const auto wake = std::min(deadline, nextPoll);
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
    wait = std::clamp<decltype(wait)>(wait, 1, outputOpen ? interval.count() : 5);
    pollfd watch{outputRead.Get(), POLLIN, 0};
    ::poll(outputOpen ? &watch : nullptr, outputOpen ? 1 : 0, static_cast<int>(wait));
  }

  const int status = child.KillAndReap();
  if (outputOpen) ReadPrinted(outputRead.Get(), printed, buffer, UINT64_MAX);
  printed.Finish();
  result.ErrorLine = printed.ErrorLine();
  result.PrintedTail = printed.Tail();
  const std::string pdfPath = folder.Path() + "/" + OutputName;

  switch (stop) {
    case Stop::Aborted:
      return finish(GhostscriptStatus::Aborted, "Converting PostScript was aborted");
    case Stop::TimedOut:
      return finish(GhostscriptStatus::TimedOut, TimedOutMessage(timeout));
    case Stop::PrintedTooMuch:
      return finish(GhostscriptStatus::TooLarge, "Ghostscript printed more than " +
                                                     SizeWords(options.MaxPrintedBytes) +
                                                     " of messages for this file and was stopped");
    case Stop::FolderTooLarge:
      return finish(GhostscriptStatus::TooLarge,
                    "Ghostscript wrote more than " + SizeWords(options.MaxFolderBytes) +
                        " of temporary files for this file and was stopped");
    case Stop::Ended:
      break;
  }

  const bool vmError = result.ErrorLine.find("VMerror") != std::string::npos;
  if (status == -1)
    return finish(GhostscriptStatus::Failed, "Ghostscript ended in a way that could not be seen");
  if (WIFSIGNALED(status)) {
    const int sig = WTERMSIG(status);
    if (sig == SIGXCPU) return finish(GhostscriptStatus::TimedOut, TimedOutMessage(timeout));
    if (sig == SIGXFSZ)
      return finish(GhostscriptStatus::TooLarge, PdfTooLargeMessage(options.MaxPdfBytes));
    if (vmError)
      return finish(GhostscriptStatus::OutOfMemory, OutOfMemoryMessage(options.MemoryLimitBytes));
    if (sig == SIGKILL)
      return finish(GhostscriptStatus::Failed,
                    "Ghostscript was stopped by the system while converting this file (perhaps "
                    "for lack of memory)");
    return finish(GhostscriptStatus::Failed,
                  "Ghostscript crashed while converting this file "
                  "(signal " +
                      std::to_string(sig) + ")");
  }
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (code != 0) {
    if (vmError)
      return finish(GhostscriptStatus::OutOfMemory, OutOfMemoryMessage(options.MemoryLimitBytes));
    if (FileLargerThan(pdfPath, options.MaxPdfBytes))
      return finish(GhostscriptStatus::TooLarge, PdfTooLargeMessage(options.MaxPdfBytes));
    if (!result.ErrorLine.empty())
      return finish(GhostscriptStatus::Failed,
                    "Ghostscript could not read this file: " + result.ErrorLine);
    return finish(GhostscriptStatus::Failed,
                  "Ghostscript could not read this file (exit code " + std::to_string(code) + ")");
  }

  switch (ReadPdf(pdfPath, options.MaxPdfBytes, result.Pdf)) {
    case PdfRead::Ok:
      break;
    case PdfRead::Missing:
      return finish(GhostscriptStatus::Failed, "Ghostscript made no PDF from this file");
    case PdfRead::TooLarge:
      return finish(GhostscriptStatus::TooLarge, PdfTooLargeMessage(options.MaxPdfBytes));
    case PdfRead::Unreadable:
      result.Pdf.clear();
      return finish(GhostscriptStatus::Failed, "Ghostscript's PDF of this file could not be read");
  }
  if (!std::string_view(result.Pdf).starts_with("%PDF")) {
    result.Pdf.clear();
    return finish(GhostscriptStatus::Failed, "Ghostscript's output is not a PDF file");
  }
  return finish(GhostscriptStatus::Ok, {});
}

}  // namespace aiimport
