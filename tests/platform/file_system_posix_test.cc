// What the POSIX backend makes of things Windows has and POSIX has not:
// attributes from names and permission bits, symbolic links, sparse files.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/temp_tree.h"

namespace {

using StartSearch = int (*)(const char*, uint32_t, FindRecord*);

// The names a listing yields, with their attributes.
std::vector<std::pair<std::string, uint32_t>> listing(const std::string& folder,
                                                      StartSearch start = find_first) {
  std::vector<std::pair<std::string, uint32_t>> entries;
  FindRecord record;
  if (start((folder + kSearchAllSuffix).c_str(), kSearchMask, &record) == 0) {
    do {
      entries.emplace_back(record.name, record.attributes);
    } while (find_next(&record) == 0);
  }
  find_close(&record);
  std::sort(entries.begin(), entries.end());
  return entries;
}

}  // namespace

TEST(FindFirst, ListsEveryEntryWithItsAttributes) {
  TempDir dir;
  write_file(dir.at("plain.txt"), "12345");
  write_file(dir.at(".hidden"), "");
  write_file(dir.at("locked.txt"), "x");
  set_read_only(dir.at("locked.txt"), true);
  make_dirs(dir.at("sub"));
  ASSERT_EQ(mkfifo(dir.at("pipe").c_str(), 0600), 0);  // a kind the listing does not name alone

  auto entries = listing(dir.path());
  std::vector<std::pair<std::string, uint32_t>> expected = {
      {".", kAttributeDirectory | kAttributeHidden},
      {"..", kAttributeDirectory | kAttributeHidden},
      {".hidden", kAttributeArchive | kAttributeHidden},
      {"locked.txt", kAttributeArchive | kAttributeReadOnly},
      {"pipe", kAttributeArchive},
      {"plain.txt", kAttributeArchive},
      {"sub", kAttributeDirectory},
  };
  EXPECT_EQ(entries, expected);

  // A basic listing takes no status of its entries, so it cannot see the
  // missing write bit; every other bit is the same.
  expected[3].second &= ~kAttributeReadOnly;
  EXPECT_EQ(listing(dir.path(), find_first_basic), expected);
}

TEST(FindFirst, ReportsLinksAsReparsePointsWithTheKindTheyPointAt) {
  TempDir dir;
  make_dirs(dir.at("folder"));
  write_file(dir.at("file"), "x");
  std::filesystem::create_directory_symlink(dir.at("folder"), dir.at("to_folder"));
  std::filesystem::create_symlink(dir.at("file"), dir.at("to_file"));
  std::filesystem::create_symlink(dir.at("nowhere"), dir.at("dangling"));
  for (StartSearch start : {find_first, find_first_basic}) {
    auto entries = listing(dir.path(), start);
    auto attributes_of = [&](const std::string& name) {
      for (auto& [entry, attributes] : entries) {
        if (entry == name)
          return attributes;
      }
      return 0u;
    };
    EXPECT_EQ(attributes_of("to_folder"), kAttributeReparsePoint | kAttributeDirectory);
    EXPECT_EQ(attributes_of("to_file"), kAttributeReparsePoint);
    EXPECT_EQ(attributes_of("dangling"), kAttributeReparsePoint);
  }
}

TEST(FileLength, GivesTheLowHalfOfTheSize) {
  TempDir dir;
  std::filesystem::path path = dir.at("big");
  write_file(path.string(), "");
  std::filesystem::resize_file(path, (1ull << 32) + 7);  // sparse: takes no room
  FileHandle file = open_read(path.string().c_str());
  ASSERT_NE(file, kNoFile);
  EXPECT_EQ(file_length(file), 7);
  close_file(file);
}

TEST(RemoveLink, RemovesTheLinkAndNeverWhatItPointsAt) {
  TempDir dir;
  write_file(dir.at("folder/keep"), "x");
  std::filesystem::create_directory_symlink(dir.at("folder"), dir.at("link"));
  EXPECT_EQ(remove_link(dir.at("link").c_str(), kAttributeReparsePoint | kAttributeDirectory), 0);
  EXPECT_FALSE(exists(dir.at("link")));
  EXPECT_TRUE(exists(dir.at("folder/keep")));
}
