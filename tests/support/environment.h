#pragma once

#include <optional>
#include <string>

// This test process's own environment, changed where both the C runtime's
// getenv and the system's lookups see it: velk reads it one way on POSIX and
// the other on Windows, and the programs it starts inherit it.
std::optional<std::string> get_env(const std::string& name);
void set_env(const std::string& name, const std::string& value);
void unset_env(const std::string& name);
