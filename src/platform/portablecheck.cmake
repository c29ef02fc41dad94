# cmake -DSOURCE_DIR=<src> -P portablecheck.cmake: fails, naming the file and the line, when a
# source file outside src/platform includes a system header, calls the system directly or names
# the system's special files. The window's Qt code is looked at too: it has Qt's portable classes.
set(headers "unistd|fcntl|poll|signal|malloc|pthread|sched|semaphore|strings|alloca|syscall|\
endian|dirent|dlfcn|spawn|termios|pwd|grp|libgen|glob|fnmatch|syslog|netdb|sys/[a-z_]+")
# Calls by name, with or without "::" (never as a member or in another namespace); the names that
# are also common words only with "::".
set(calls "fork|vfork|execv|execve|execvp|execl|execlp|posix_spawn|setrlimit|getrlimit|prctl|\
pipe2|mkdtemp|mkstemp|waitid|waitpid|madvise|mmap|munmap|mallopt|malloc_trim|sysconf|getpid|\
getppid|setpgid|setsid|dup2|sigaction|sigprocmask|getrusage")
set(globalCalls "poll|kill|access|open|close|read|write|pipe|stat|lstat|fstat|chdir|isatty|readlink")
set(pattern "#[ \t]*include[ \t]*<(${headers})\\.h>|(^|[^A-Za-z0-9_.>:])(::)?(${calls})[ \t]*\\(|\
(^|[^A-Za-z0-9_])::(${globalCalls})[ \t]*\\(|(^|[^A-Za-z0-9_])environ([^A-Za-z0-9_]|$)|\"/(proc|dev)/")

file(GLOB_RECURSE sources "${SOURCE_DIR}/*.cpp" "${SOURCE_DIR}/*.h")
set(found "")
foreach(source IN LISTS sources)
  if(source MATCHES "/src/platform/")
    continue()
  endif()
  file(STRINGS "${source}" lines REGEX "${pattern}")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    string(APPEND found "\n  ${source}: ${line}")
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "The system is used outside src/platform:${found}")
endif()
