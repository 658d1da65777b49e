#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "tests/support/run_program.h"
#include "tests/support/temp_tree.h"

extern char** environ;

const int kRefusedExitCode = 255;

std::string console_text(const std::string& text) {
  return text;
}

std::string velk_binary() {
  return VELK_BINARY;
}
std::string record_command_binary() {
  return RECORD_COMMAND_BINARY;
}

RunResult run_program(const std::vector<std::string>& words, const RunOptions& options) {
  TempDir capture;
  std::string out_path = capture.at("out");
  std::string err_path = capture.at("err");

  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text(*entry);
    std::string name = text.substr(0, text.find('='));
    bool dropped = false;
    for (const auto& unset : options.unset_env) {
      dropped = dropped || unset == name;
    }
    for (const auto& [set_name, value] : options.set_env) {
      dropped = dropped || set_name == name;
    }
    if (!dropped) {
      environment.push_back(text);
    }
  }
  for (const auto& [name, value] : options.set_env) {
    environment.push_back(name + "=" + value);
  }

  std::vector<char*> argv;
  for (const auto& word : options.command_prefix) {
    argv.push_back(const_cast<char*>(word.c_str()));
  }
  for (const auto& word : words) {
    argv.push_back(const_cast<char*>(word.c_str()));
  }
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& entry : environment) {
    envp.push_back(entry.data());
  }
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  if (!options.working_dir.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.working_dir.c_str());
  }
  RunResult result;
  pid_t child = 0;
  int started = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) {
    result.err = std::string("cannot start: ") + strerror(started);
    return result;
  }
  int status = 0;
  waitpid(child, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  return result;
}
