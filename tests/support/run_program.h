#pragma once

#include <string>
#include <utility>
#include <vector>

struct RunResult {
  int exit_code = -1;  // the low 8 bits on POSIX, the whole 32 bits on Windows
  std::string out;     // what standard output received, byte for byte
  std::string err;
};

struct RunOptions {
  std::vector<std::pair<std::string, std::string>> set_env;
  std::vector<std::string> unset_env;
  std::string working_dir;  // empty: the test's own
  // Words put in front of the program's own, looked up along PATH: a wrapper
  // that runs it as another user or under other limits.
  std::vector<std::string> command_prefix;
};

// Runs a program with the given words (word 0 is the program itself) and
// waits for it, with standard output and error captured to files.
RunResult run_program(const std::vector<std::string>& words, const RunOptions& options = {});

// The exit code a run that ends with status -1 shows: 255 on POSIX, and the
// 32 bits 4294967295 on Windows (read as an int, -1).
extern const int kRefusedExitCode;

// What a program's text reaches its standard streams as: unchanged on POSIX,
// with each line feed written as CR LF on Windows (text mode).
std::string console_text(const std::string& text);

// The paths of the programs built beside the tests.
std::string velk_binary();
std::string record_command_binary();
