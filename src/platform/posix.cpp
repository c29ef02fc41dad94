// The POSIX implementation of the platform folder (Linux first; what only Linux or glibc has is
// used where they are there): the child process with fork and execve, the private folder with
// mkdtemp, careful file reading with open and fstat, memory hints with madvise and mallopt, the
// own program's path and execv.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/mman.h>
#include <sys/prctl.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <utility>

#include "childprocess.h"
#include "fileaccess.h"
#include "memoryhints.h"
#include "ownprogram.h"

extern char** environ;

namespace aiimport {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::error_code LastError() {
  return {errno, std::generic_category()};
}

// ---- Descriptors and the child, each cleaned up by its destructor ----

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

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { KillAndReap(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void Adopt(pid_t pid) { pid_ = pid; }

  // True once the child has ended (it stays a zombie until KillAndReap).
  bool HasEnded() const {
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
      return errno != EINTR;  // ECHILD: somebody else reaped it
    return info.si_pid == pid_;
  }

  // Kills the child's whole process group (the program and anything it started; a child that
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

// What the child writes to the report pipe when it cannot start the program.
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

[[noreturn]] void ExecChild(const ChildPlan& plan) {
  // A process group of its own: killing the group ends the program and whatever it started,
  // and a Ctrl+C meant for us does not reach it half way.
  if (::setpgid(0, 0) != 0) Fail(plan, StepSetUp);
#ifdef __linux__
  // Killed with us if we die before we could kill it.
  if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) Fail(plan, StepSetUp);
  if (::getppid() != plan.Parent) ::_exit(127);
#endif
  // Signals we ignore or block must not be ignored or blocked in the program (SIGXCPU and
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

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  out.reserve(strings.size() + 1);
  for (std::string& s : strings)
    out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// The child's standard input, its output pipe and the pipe on which it reports a failed start.
struct Pipes {
  Descriptor OutputRead, OutputWrite, ReportRead, ReportWrite, DevNull;
};

std::error_code MakePipes(Pipes& p) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return LastError();
  p.OutputRead.Reset(ends[0]);
  p.OutputWrite.Reset(ends[1]);
  if (::pipe2(ends, O_CLOEXEC) != 0) return LastError();
  p.ReportRead.Reset(ends[0]);
  p.ReportWrite.Reset(ends[1]);
  p.DevNull.Reset(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  if (p.DevNull.Get() < 0 || !MoveAboveStandard(p.DevNull) || !MoveAboveStandard(p.OutputWrite) ||
      !MoveAboveStandard(p.ReportWrite))
    return LastError();
  return {};
}

ChildPlan MakePlan(const ChildRequest& request, const Pipes& pipes, char* const* argv,
                   char* const* envp) {
  ChildPlan plan;
  plan.Program = request.Program.c_str();
  plan.Argv = argv;
  plan.Envp = envp;
  plan.Folder = request.Folder.c_str();
  plan.Stdin = pipes.DevNull.Get();
  plan.Output = pipes.OutputWrite.Get();
  plan.Report = pipes.ReportWrite.Get();
  const long openMax = ::sysconf(_SC_OPEN_MAX);
  plan.HighestDescriptor = openMax > 0 ? static_cast<int>(std::min(openMax, 65536L)) - 1 : 1023;
  plan.Parent = ::getpid();
  plan.AddressSpace = Limit(RLIMIT_AS, request.AddressSpaceBytes, request.AddressSpaceBytes);
  plan.FileSize = Limit(RLIMIT_FSIZE, request.FileBytes, request.FileBytes);
  // Processor time: the clock limit rounded up and a second more (then SIGXCPU ends it), and
  // two more before SIGKILL. It keeps a child from running on should we be stopped.
  const uint64_t cpuSeconds = static_cast<uint64_t>(std::ceil(request.TimeoutSeconds)) + 1;
  plan.Processor = Limit(RLIMIT_CPU, cpuSeconds, cpuSeconds + 2);
  plan.Core = Limit(RLIMIT_CORE, 0, 0);
  plan.Default.sa_handler = SIG_DFL;
  sigemptyset(&plan.Default.sa_mask);
  sigemptyset(&plan.NoSignals);
  return plan;
}

// After fork: either the child's failure report or the end of the pipe, when execve has
// closed it.
std::optional<StartFailure> ReadStartFailure(int fd) {
  StartFailure failure{};
  std::size_t got = 0;
  while (got < sizeof failure) {
    const ssize_t n = ::read(fd, reinterpret_cast<char*>(&failure) + got, sizeof failure - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got != sizeof failure) return std::nullopt;
  return failure;
}

// ---- Waiting for it ----

// The reading end of the child's output: what it holds is handed on, and counted.
class OutputPipe {
 public:
  explicit OutputPipe(int fd) : fd_(fd), buffer_(65536) {
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
  }

  int Fd() const { return fd_; }
  bool Open() const { return open_; }
  uint64_t Total() const { return total_; }

  // Reads what the pipe holds now, without waiting, until the total passes the limit. Marks
  // the pipe closed at its end (or on an error that will not go away).
  void Read(uint64_t limit, const ChildOutput& output) {
    if (!open_) return;
    for (;;) {
      const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
      if (n > 0) {
        total_ += static_cast<uint64_t>(n);
        if (output) output(std::string_view(buffer_.data(), static_cast<std::size_t>(n)));
        if (total_ > limit) return;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      open_ = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
      return;
    }
  }

 private:
  int fd_;
  std::vector<char> buffer_;
  uint64_t total_ = 0;
  bool open_ = true;
};

// Waits for the child, reading what it prints and asking the poll every interval, until it
// ends (Exited: how is in its wait status), prints too much, runs out of time or is stopped.
ChildEnd Watch(const ChildProcess& child, OutputPipe& pipe, const ChildRequest& request,
               Clock::time_point started, const ChildOutput& output, const ChildPoll& poll) {
  const auto interval = std::clamp(request.PollInterval, std::chrono::milliseconds(1),
                                   std::chrono::milliseconds(1000));
  const auto deadline = started + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(request.TimeoutSeconds));
  auto nextPoll = Clock::now() + interval;
  for (;;) {
    pipe.Read(request.MaxOutputBytes, output);
    if (pipe.Total() > request.MaxOutputBytes) return ChildEnd::OutputTooLarge;
    if (child.HasEnded()) return ChildEnd::Exited;
    const auto now = Clock::now();
    if (now >= deadline) return ChildEnd::TimedOut;
    if (now >= nextPoll) {
      nextPoll = now + interval;
      if (poll && poll()) return ChildEnd::Stopped;
    }
    // Sleep until it prints, the next poll or the deadline; once its output has closed, in
    // short steps, as only its end is awaited then.
    const auto wake = std::min(deadline, nextPoll);
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now()).count();
    wait = std::clamp<decltype(wait)>(wait, 1, pipe.Open() ? interval.count() : 5);
    pollfd watch{pipe.Fd(), POLLIN, 0};
    ::poll(pipe.Open() ? &watch : nullptr, pipe.Open() ? 1 : 0, static_cast<int>(wait));
  }
}

// How a child that was not killed by us ended, from its wait status.
void DescribeEnd(int status, ChildResult& result) {
  if (status == -1) {
    result.End = ChildEnd::Unseen;
  } else if (WIFSIGNALED(status)) {
    result.Signal = WTERMSIG(status);
    result.End = result.Signal == SIGXCPU   ? ChildEnd::ProcessorTime
                 : result.Signal == SIGXFSZ ? ChildEnd::FileTooLarge
                 : result.Signal == SIGKILL ? ChildEnd::Killed
                                            : ChildEnd::Crashed;
  } else {
    result.End = ChildEnd::Exited;
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
}

}  // namespace

// ---- The child process ----

ChildResult RunChild(const ChildRequest& request, const ChildOutput& output,
                     const ChildPoll& poll) {
  const auto started = Clock::now();
  ChildResult result;
  Pipes pipes;
  if (const std::error_code error = MakePipes(pipes)) {
    result.Error = error;
    return result;
  }
  std::vector<std::string> args = {request.Program};
  args.insert(args.end(), request.Arguments.begin(), request.Arguments.end());
  std::vector<std::string> env = request.Environment;
  const std::vector<char*> argv = Pointers(args);
  const std::vector<char*> envp = Pointers(env);
  const ChildPlan plan = MakePlan(request, pipes, argv.data(), envp.data());

  ChildProcess child;
  const pid_t pid = ::fork();
  if (pid == 0) ExecChild(plan);
  if (pid < 0) {
    result.Error = LastError();
    return result;
  }
  child.Adopt(pid);
  result.ProcessId = static_cast<int>(pid);
  // Also here, so that the group exists before we might kill it (the child may not have run
  // yet); fails harmlessly when the child has already done it and started the program.
  ::setpgid(pid, pid);
  pipes.DevNull.Reset();
  pipes.OutputWrite.Reset();
  pipes.ReportWrite.Reset();

  if (const auto failure = ReadStartFailure(pipes.ReportRead.Get())) {
    child.KillAndReap();
    const bool missing =
        failure->Step == StepExec && (failure->Error == ENOENT || failure->Error == ENOTDIR);
    result.End = missing ? ChildEnd::Missing : ChildEnd::NotStarted;
    result.Error = std::error_code(failure->Error, std::generic_category());
    return result;
  }

  OutputPipe pipe(pipes.OutputRead.Get());
  result.End = Watch(child, pipe, request, started, output, poll);
  const int status = child.KillAndReap();
  pipe.Read(UINT64_MAX, output);
  if (result.End == ChildEnd::Exited) DescribeEnd(status, result);
  return result;
}

std::string FindProgram(const std::string& program) {
  if (program.empty()) return {};
  // A name with a '/' as an absolute path: the child changes folder before execve.
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

std::vector<std::string> CurrentEnvironment() {
  std::vector<std::string> env;
  for (char** entry = environ; entry && *entry; ++entry)
    env.emplace_back(*entry);
  return env;
}

// ---- Files ----

PrivateFolder::PrivateFolder(const std::string& parent, std::string_view prefix) {
  fs::path where = parent;
  if (where.empty()) {
    std::error_code ec;
    where = fs::temp_directory_path(ec);
    if (ec) where = "/tmp";
  }
  parent_ = where.string();
  std::string path = (where / (std::string(prefix) + "XXXXXX")).string();
  if (::mkdtemp(path.data()))
    path_ = std::move(path);
  else
    error_ = LastError();
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
  Descriptor probe(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (probe.Get() < 0) {
    error = LastError();
    return false;
  }
  struct stat info {};
  return ::fstat(probe.Get(), &info) == 0 && S_ISREG(info.st_mode);
}

FileRead ReadRegularFile(const std::string& path, uint64_t limit, std::string& bytes) {
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (fd.Get() < 0) return errno == ENOENT ? FileRead::Missing : FileRead::Unreadable;
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return FileRead::Unreadable;
  if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) > limit) return FileRead::TooLarge;
  bytes.resize(static_cast<std::size_t>(info.st_size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(fd.Get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return FileRead::Unreadable;
    done += static_cast<std::size_t>(n);
  }
  return FileRead::Ok;
}

std::optional<uint64_t> EntrySize(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || info.st_size < 0) return std::nullopt;
  return static_cast<uint64_t>(info.st_size);
}

// ---- Memory hints ----

bool CanGiveBackPages() {
#if defined(__linux__) && defined(MADV_DONTNEED)
  return true;
#else
  return false;
#endif
}

bool GiveBackPages([[maybe_unused]] void* at, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_DONTNEED)
  return ::madvise(at, bytes, MADV_DONTNEED) == 0;
#else
  return false;
#endif
}

void KeepHeapMemory() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
  mallopt(M_ARENA_MAX, 1);
#endif
}

void RestoreHeapDefaults() {
#if defined(__GLIBC__)
  // glibc's defaults (the mapping threshold adjusts itself again only in a new process).
  mallopt(M_MMAP_MAX, 65536);
  mallopt(M_TRIM_THRESHOLD, 128 * 1024);
  mallopt(M_ARENA_MAX, 0);
  malloc_trim(0);
#endif
}

#if defined(__GLIBC__) && defined(__linux__) && defined(MADV_POPULATE_WRITE)
bool CanPrefaultPages() {
  return true;
}
bool PrefaultPages(void* at, std::size_t bytes) {
  return ::madvise(at, bytes, MADV_POPULATE_WRITE) == 0;
}
void AskForHugePages(void* at, std::size_t bytes) {
  ::madvise(at, bytes, MADV_HUGEPAGE);  // or not
}
#else
bool CanPrefaultPages() {
  return false;
}
bool PrefaultPages(void*, std::size_t) {
  return false;
}
void AskForHugePages(void*, std::size_t) {}
#endif

// ---- The own program ----

std::string OwnProgramPath() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.string();
}

bool MayExecute(const std::string& path) {
  return ::access(path.c_str(), X_OK) == 0;
}

std::error_code RunInstead(const std::string& path, char** argv) {
  ::execv(path.c_str(), argv);
  return LastError();
}

}  // namespace aiimport
