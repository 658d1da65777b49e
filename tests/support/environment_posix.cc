#include <cstdlib>

#include "tests/support/environment.h"

std::optional<std::string> get_env(const std::string& name) {
  const char* value = getenv(name.c_str());
  if (value == nullptr) {
    return std::nullopt;
  }
  return std::string(value);
}

void set_env(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

void unset_env(const std::string& name) {
  unsetenv(name.c_str());
}
