// This program's own file, and another program taking this process's place (the launcher
// starting the window program). No Qt; posix.cpp and stub.cpp implement it.
#pragma once

#include <string>
#include <system_error>

namespace aiimport {

// The absolute path of the running program's file; empty when the system does not say.
std::string OwnProgramPath();

// Whether this process may run `path` (the system's permission to execute).
bool MayExecute(const std::string& path);

// Runs the program at `path` in this process's place with the arguments `argv` (argv[0] the
// program's name; ended by a null pointer): on POSIX with execv, so that it never returns when
// that works. A system without such a call needs its own way (start it, wait, exit with its
// code); the stub runs nothing. Returns why it did not run.
std::error_code RunInstead(const std::string& path, char** argv);

}  // namespace aiimport
