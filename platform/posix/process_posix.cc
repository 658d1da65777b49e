#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/posix/interpreter.h"
#include "platform/process.h"

extern char** environ;

namespace {
char program_path[PATH_MAX];
}

void start_process() {
  // Each open listing of a deep tree holds a descriptor: let the walk have
  // as many as the system allows.
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
  // A closed pipe on standard output must not kill the run halfway.
  signal(SIGPIPE, SIG_IGN);
}

void process_words(int argc, char** argv, int* count, char*** words) {
  ssize_t length = readlink("/proc/self/exe", program_path, sizeof program_path - 1);
  if (length > 0) {
    program_path[length] = '\0';
    argv[0] = program_path;
  } else if (argc > 0 && realpath(argv[0], program_path) != nullptr) {
    argv[0] = program_path;
  }
  *count = argc;
  *words = argv;
}

void end_process(int status) {
  flush_output();
  exit(status);
}

int run_command(const char* text) {
  flush_output();
  const char* comspec = getenv("COMSPEC");
  if (comspec == nullptr || comspec[0] == '\0') {
    return run_builtin_command(text);
  }
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

  char* const words[] = {const_cast<char*>(comspec), const_cast<char*>("/c"),
                         const_cast<char*>(text), nullptr};
  pid_t child = 0;
  int started = posix_spawn(&child, comspec, nullptr, &attributes, words, environ);
  posix_spawnattr_destroy(&attributes);
  if (started != 0) {
    return -1;
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      return -1;
    }
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
