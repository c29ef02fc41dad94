// Another program run as a fenced child process, and what goes with starting one: finding a
// program in PATH and this process's environment as a list. The child is started directly
// (never through a shell) with an empty standard input; what it prints on standard output and
// error is handed to the caller as it comes. Limits: the clock, processor time (where the system
// has it), address space, the size of each file it writes, what it prints; no core dumps. It and
// everything it started are killed together when it is stopped (on POSIX: a process group of
// its own, killed with SIGKILL), and it is killed with us should we die first.
//
// No Qt. posix.cpp implements it with fork and execve; stub.cpp, for systems without one yet,
// starts no child and says so (NotStarted).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace aiimport {

struct ChildRequest {
  std::string Program;                   // an absolute path
  std::vector<std::string> Arguments;    // after the program's name, which is Program
  std::vector<std::string> Environment;  // "NAME=value": all the child gets
  std::string Folder;                    // its working folder
  // Seconds by the clock from the call. The processor-time limit is the same rounded up and a
  // second more; a child over it is ended by the system (ProcessorTime) two seconds later at
  // the latest.
  double TimeoutSeconds = 60;
  uint64_t AddressSpaceBytes = UINT64_MAX;
  uint64_t FileBytes = UINT64_MAX;  // each file it writes; writing beyond ends it (FileTooLarge)
  uint64_t MaxOutputBytes = UINT64_MAX;  // what it prints, in total
  std::chrono::milliseconds PollInterval{40};
};

enum class ChildEnd {
  Exited,          // it ended by itself: ExitCode (-1 when the system gave none)
  Crashed,         // ended by a signal: Signal
  Killed,          // killed from outside, not by us (by the system, perhaps for lack of memory)
  ProcessorTime,   // over the processor-time limit
  FileTooLarge,    // it wrote a file beyond FileBytes
  TimedOut,        // over TimeoutSeconds by the clock: killed
  OutputTooLarge,  // printed more than MaxOutputBytes: killed
  Stopped,         // the poll asked to stop: killed
  Missing,         // no program at Program (or a folder on its way is missing)
  NotStarted,      // it could not be started: Error says why
  Unseen,          // it ended, but how could not be learnt
};

struct ChildResult {
  ChildEnd End = ChildEnd::NotStarted;
  int ExitCode = 0;
  int Signal = 0;
  std::error_code Error;  // why it could not be started
  int ProcessId = 0;      // 0 when no process was made; reaped in any case
};

// Handed each piece the child prints, on the calling thread. What it has printed in total is
// bounded by MaxOutputBytes while it runs; after it has ended (or was killed) what is still in
// the pipe is handed over too.
using ChildOutput = std::function<void(std::string_view)>;

// Called every PollInterval while the child runs; true stops it (Stopped).
using ChildPoll = std::function<bool()>;

// Runs the program until it ends, a limit is passed or the poll says stop. When the call
// returns, however (also when output or poll throws: the exception goes on to the caller), the
// child and everything it started are gone and it is reaped. Must be called from a thread that
// lives until it returns (the child is killed when that thread ends). Throws std::bad_alloc when
// our own memory runs out.
ChildResult RunChild(const ChildRequest& request, const ChildOutput& output, const ChildPoll& poll);

// The program to run for a name: a name with a folder in it as an absolute path, a bare name
// looked up in PATH (never in the current folder). Empty when PATH has no executable file of
// that name, or the name is empty.
std::string FindProgram(const std::string& program);

// This process's environment, "NAME=value" each (empty where the system cannot list it).
std::vector<std::string> CurrentEnvironment();

}  // namespace aiimport
