// The C runtime keeps its own copy of the environment, taken at start-up:
// getenv reads that copy, while GetEnvironmentVariableA and the programs
// CreateProcessA starts see the process's. Both are changed.

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "tests/support/environment.h"

std::optional<std::string> get_env(const std::string& name) {
  DWORD length = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  if (length == 0) {
    return std::nullopt;
  }
  std::vector<char> value(length);
  DWORD written = GetEnvironmentVariableA(name.c_str(), value.data(), length);
  return std::string(value.data(), written);
}

void set_env(const std::string& name, const std::string& value) {
  SetEnvironmentVariableA(name.c_str(), value.c_str());
  _putenv_s(name.c_str(), value.c_str());
}

void unset_env(const std::string& name) {
  SetEnvironmentVariableA(name.c_str(), nullptr);
  _putenv_s(name.c_str(), "");  // an empty value removes the variable
}
