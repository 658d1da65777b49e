#include "passes/probes.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tests/support/temp_tree.h"

namespace {
constexpr time_t kStamp = 1624000000;  // an even second, inside the DOS range
}

TEST(SameName, FoldsOnlyTheAsciiLetters) {
  struct Case {
    const char* first;
    const char* second;
    int same;
  } cases[] = {
      {"Readme.TXT", "readme.txt", 1},
      {"\xE9t\xE9", "\xC9T\xC9", 0},
      {"abc", "abcd", 0},
      {"abcd", "abc", 0},
      {"", "", 1},
      {"..", ".", 0},
      {".", ".", 1},
      {"[", "{", 0},
      {"@", "`", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(same_name(c.first, c.second), c.same) << c.first << " " << c.second;
  }
}

TEST(PathExists, SeesFilesFoldersAndHiddenEntries) {
  TempDir dir;
  write_file(dir.at("file"), "");
  make_dirs(dir.at(".hidden_folder"));
  EXPECT_EQ(path_exists(dir.at("file").c_str()), 1);
  EXPECT_EQ(path_exists(dir.at(".hidden_folder").c_str()), 1);
  EXPECT_EQ(path_exists(dir.at("missing").c_str()), 0);
  EXPECT_TRUE(error_is_not_found(error_indicator));
  EXPECT_EQ(path_exists(dir.at("missing/child").c_str()), 0);
  EXPECT_EQ(path_exists(dir.at("file/child").c_str()), 0);
  EXPECT_TRUE(error_is_not_found(error_indicator));
}

TEST(FileReadable, RefusesFoldersAndMissingFiles) {
  TempDir dir;
  write_file(dir.at("empty"), "");
  EXPECT_EQ(file_readable(dir.at("empty").c_str()), 1);
  EXPECT_EQ(file_readable(dir.path().c_str()), 0);
  EXPECT_EQ(file_readable(dir.at("missing").c_str()), 0);
}

TEST(FilesMatch, ComparesStampsAndLengthsOnly) {
  TempDir dir;
  auto make = [&](const std::string& name, const std::string& contents, time_t when) {
    write_file(dir.at(name), contents);
    set_mtime(dir.at(name), when);
    return dir.at(name);
  };
  std::string source = make("source", "hello", kStamp);
  struct Case {
    std::string other;
    int match;
  } cases[] = {
      {source, 1},                                    // the same path twice
      {make("same", "jello", kStamp), 1},             // other contents, same stamp and length
      {make("within_step", "hello", kStamp + 1), 1},  // same two-second step
      {make("next_step", "hello", kStamp + 2), 0},
      {make("longer", "hello!", kStamp), 0},
      {dir.at("missing"), 0},
      {dir.path(), 0},  // a folder cannot be opened
  };
  for (const auto& c : cases) {
    EXPECT_EQ(files_match(source.c_str(), c.other.c_str()), c.match) << c.other;
  }
  std::string empty_a = make("empty_a", "", kStamp);
  std::string empty_b = make("empty_b", "", kStamp);
  EXPECT_EQ(files_match(empty_a.c_str(), empty_b.c_str()), 1);
  std::string old = make("old", "x", 315000000);  // 1979: no stamp
  EXPECT_EQ(files_match(old.c_str(), old.c_str()), 0);
}

TEST(FilesMatch, LeavesNothingOpen) {
  TempDir dir;
  write_file(dir.at("a"), "x");
  auto next_handle = [&] {
    FileHandle file = open_read(dir.at("a").c_str());
    close_file(file);
    return file;
  };
  // Handles are handed out lowest first: one left open would move the next.
  FileHandle before = next_handle();
  for (int i = 0; i < 100; ++i) {
    files_match(dir.at("a").c_str(), dir.at("missing").c_str());
    files_match(dir.at("missing").c_str(), dir.at("a").c_str());
    files_match(dir.at("a").c_str(), dir.at("a").c_str());
    files_match(dir.path().c_str(), dir.at("a").c_str());
    file_readable(dir.at("a").c_str());
    path_exists(dir.at("a").c_str());
  }
  EXPECT_EQ(next_handle(), before);
}
