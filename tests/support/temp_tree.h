#pragma once

#include <ctime>
#include <string>
#include <vector>

// A folder of its own for one test, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // `relative` joined to the folder with the platform's separator; forward
  // slashes in `relative` are turned into it.
  std::string at(const std::string& relative) const;

 private:
  std::string path_;
};

// Writes a file, creating the folders on its way.
void write_file(const std::string& path, const std::string& contents);
std::string read_file(const std::string& path);
void make_dirs(const std::string& path);
bool exists(const std::string& path);
// Sets the last-write time, in seconds since 1970 (UTC).
void set_mtime(const std::string& path, time_t seconds);
// Clears or sets the owner-write permission (the read-only attribute).
void set_read_only(const std::string& path, bool read_only);
// Every entry below `root`, as sorted relative paths with '/' between names;
// folders end with '/'.
std::vector<std::string> list_tree(const std::string& root);
// The names in `folder` in the order a listing gives them, which is the
// order in which velk meets them.
std::vector<std::string> listing_order(const std::string& folder);
// Lines of a text file, without their line feeds.
std::vector<std::string> read_lines(const std::string& path);
