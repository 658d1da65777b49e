#include "tests/support/temp_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/file_system.h"

namespace fs = std::filesystem;

namespace {
std::atomic<int> next_number{0};
}

TempDir::TempDir() {
  std::random_device random;
  for (;;) {
    fs::path candidate = fs::temp_directory_path() / ("velk-test-" + std::to_string(random()) +
                                                      "-" + std::to_string(next_number++));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.string();
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code error;
  // Read-only entries would stop the removal on some systems: open them up.
  for (auto it = fs::recursive_directory_iterator(path_, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (!it->is_symlink()) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
  }
  fs::remove_all(path_, error);
}

std::string TempDir::at(const std::string& relative) const {
  std::string joined = path_ + kSeparatorText + relative;
  std::replace(joined.begin(), joined.end(), '/', kSeparator);
  return joined;
}

void write_file(const std::string& path, const std::string& contents) {
  fs::path file(path);
  if (file.has_parent_path()) {
    fs::create_directories(file.parent_path());
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
  ASSERT_TRUE(out.good()) << path;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

void make_dirs(const std::string& path) {
  fs::create_directories(path);
}

bool exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

void set_mtime(const std::string& path, time_t seconds) {
  auto when = std::chrono::system_clock::from_time_t(seconds);
  fs::last_write_time(path, std::chrono::file_clock::from_sys(when));
}

void set_read_only(const std::string& path, bool read_only) {
  fs::permissions(path, fs::perms::owner_write,
                  read_only ? fs::perm_options::remove : fs::perm_options::add);
}

std::vector<std::string> list_tree(const std::string& root) {
  std::vector<std::string> entries;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    // Lexically: links inside the tree must be named, not resolved.
    std::string relative = it->path().lexically_relative(root).generic_string();
    if (it->is_directory() && !it->is_symlink()) {
      relative += '/';
    }
    entries.push_back(relative);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::vector<std::string> listing_order(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

std::vector<std::string> read_lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}
