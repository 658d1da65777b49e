#include "tests/e2e/velk_run.h"

#include <algorithm>
#include <utility>

std::string expected_usage() {
  std::string spaces36(36, ' ');
  std::string spaces48(48, ' ');
  std::vector<std::string> lines = {
      spaces36,
      "       *** ORVANT (beta-version)*** ",
      "    ver. 1.01" + std::string(35, ' '),
      "    usage: velk.exe from_dir to_dir [restore]   ",
      spaces48,
      "    rewrite all files: xcopy.exe from_dir to_dir /F/E/C/Y/H/R/K/O/X/G   ",
      spaces48,
      "      example:" + std::string(34, ' '),
      "        make first backup:  velk c:\\src d:\\src" + std::string(9, ' '),
      "        make next  backup:  velk c:\\src d:\\src restore ",
      "        restore:            velk d:\\src c:\\src restore",
  };
  std::string text;
  for (const auto& line : lines) {
    text += line + "\n";
  }
  return text;
}

RunResult VelkRun::velk(std::vector<std::string> operands, int command_exit, RunOptions options) {
  std::vector<std::string> words = {velk_binary()};
  words.insert(words.end(), operands.begin(), operands.end());
  // The recorder and its log, unless the test sets or removes them itself.
  std::pair<std::string, std::string> defaults[] = {
      {"COMSPEC", record_command_binary()},
      {"VELK_RECORD_LOG", log_path()},
      {"VELK_RECORD_EXIT", std::to_string(command_exit)}};
  for (const auto& [name, value] : defaults) {
    bool named = std::find(options.unset_env.begin(), options.unset_env.end(), name) !=
                 options.unset_env.end();
    for (const auto& set : options.set_env) {
      named = named || set.first == name;
    }
    if (!named) {
      options.set_env.emplace_back(name, value);
    }
  }
  return run_program(words, options);
}
