#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "tests/support/temp_tree.h"

namespace {

constexpr time_t kJune2021 = 1624000000;  // 2021-06-18, well inside the DOS range

std::string pattern_of(const std::string& folder) { return folder + kSearchAllSuffix; }

// The names a listing yields, with their attributes.
std::vector<std::pair<std::string, uint32_t>> listing(const std::string& folder) {
  std::vector<std::pair<std::string, uint32_t>> entries;
  FindRecord record;
  if (find_first(pattern_of(folder).c_str(), kSearchMask, &record) == 0) {
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

  auto entries = listing(dir.path());
  std::vector<std::pair<std::string, uint32_t>> expected = {
      {".", kAttributeDirectory | kAttributeHidden},
      {"..", kAttributeDirectory | kAttributeHidden},
      {".hidden", kAttributeArchive | kAttributeHidden},
      {"locked.txt", kAttributeArchive | kAttributeReadOnly},
      {"plain.txt", kAttributeArchive},
      {"sub", kAttributeDirectory},
  };
  EXPECT_EQ(entries, expected);
}

TEST(FindFirst, FillsSizeAndStampOfAnEntry) {
  TempDir dir;
  write_file(dir.at("a"), "12345");
  set_mtime(dir.at("a"), kJune2021);
  FindRecord record;
  ASSERT_EQ(find_first(dir.at("a").c_str(), kSearchMask, &record), 0);
  EXPECT_STREQ(record.name, "a");
  EXPECT_EQ(record.size, 5u);
  EXPECT_EQ(record.date >> 9, 2021 - 1980);
  EXPECT_NE(find_next(&record), 0);  // a single-entry search has nothing more
  find_close(&record);
}

TEST(FindFirst, MissingPathFailsAndSetsTheIndicator) {
  TempDir dir;
  for (const std::string& path :
       {dir.at("missing"), dir.at("missing/deeper"), pattern_of(dir.at("missing"))}) {
    error_indicator = 0;
    FindRecord record;
    EXPECT_NE(find_first(path.c_str(), kSearchMask, &record), 0) << path;
    EXPECT_NE(error_indicator, 0) << path;
    EXPECT_TRUE(error_is_not_found(error_indicator)) << path;
    find_close(&record);
  }
}

TEST(FindFirst, LeavesTheIndicatorAloneWhenItFindsAnEntry) {
  TempDir dir;
  write_file(dir.at("a"), "");
  error_indicator = 12345;
  FindRecord record;
  ASSERT_EQ(find_first(dir.at("a").c_str(), kSearchMask, &record), 0);
  find_close(&record);
  EXPECT_EQ(error_indicator, 12345);
}

TEST(FindFirst, ReportsLinksAsReparsePointsWithTheKindTheyPointAt) {
  TempDir dir;
  make_dirs(dir.at("folder"));
  write_file(dir.at("file"), "x");
  std::filesystem::create_directory_symlink(dir.at("folder"), dir.at("to_folder"));
  std::filesystem::create_symlink(dir.at("file"), dir.at("to_file"));
  std::filesystem::create_symlink(dir.at("nowhere"), dir.at("dangling"));
  auto entries = listing(dir.path());
  auto attributes_of = [&](const std::string& name) {
    for (auto& [entry, attributes] : entries) {
      if (entry == name) return attributes;
    }
    return 0u;
  };
  EXPECT_EQ(attributes_of("to_folder"), kAttributeReparsePoint | kAttributeDirectory);
  EXPECT_EQ(attributes_of("to_file"), kAttributeReparsePoint);
  EXPECT_EQ(attributes_of("dangling"), kAttributeReparsePoint);
}

TEST(OpenRead, RefusesAFolderAndOpensAnEmptyFile) {
  TempDir dir;
  write_file(dir.at("empty"), "");
  EXPECT_EQ(open_read(dir.path().c_str()), kNoFile);
  EXPECT_TRUE(error_is_not_found(error_indicator));  // a file was asked for, a folder stands there
  FileHandle file = open_read(dir.at("empty").c_str());
  ASSERT_NE(file, kNoFile);
  EXPECT_EQ(file_length(file), 0);
  EXPECT_EQ(close_file(file), 0);
}

TEST(FileStamp, PacksLocalTimeInTwoSecondStepsAndRefusesBefore1980) {
  TempDir dir;
  write_file(dir.at("a"), "");
  set_mtime(dir.at("a"), kJune2021 + 1);
  FileHandle file = open_read(dir.at("a").c_str());
  ASSERT_NE(file, kNoFile);
  DosStamp stamp;
  ASSERT_EQ(file_stamp(file, &stamp), 0);
  time_t when = kJune2021 + 1;
  struct tm local;
  localtime_r(&when, &local);
  EXPECT_EQ(stamp.time, (local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  EXPECT_EQ(stamp.date, ((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  close_file(file);

  set_mtime(dir.at("a"), 315000000);  // 1979-12-25
  file = open_read(dir.at("a").c_str());
  ASSERT_NE(file, kNoFile);
  EXPECT_NE(file_stamp(file, &stamp), 0);
  close_file(file);
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

TEST(RemoveFile, RefusesReadOnlyFilesAndFolders) {
  TempDir dir;
  write_file(dir.at("locked"), "x");
  set_read_only(dir.at("locked"), true);
  error_indicator = 0;
  EXPECT_NE(remove_file(dir.at("locked").c_str()), 0);
  EXPECT_NE(error_indicator, 0);
  EXPECT_TRUE(exists(dir.at("locked")));
  make_dirs(dir.at("sub"));
  EXPECT_NE(remove_file(dir.at("sub").c_str()), 0);
  EXPECT_TRUE(exists(dir.at("sub")));
  write_file(dir.at("plain"), "x");
  EXPECT_EQ(remove_file(dir.at("plain").c_str()), 0);
  EXPECT_FALSE(exists(dir.at("plain")));
}

TEST(RemoveLink, RemovesTheLinkAndNeverWhatItPointsAt) {
  TempDir dir;
  write_file(dir.at("folder/keep"), "x");
  std::filesystem::create_directory_symlink(dir.at("folder"), dir.at("link"));
  EXPECT_EQ(remove_link(dir.at("link").c_str(), kAttributeReparsePoint | kAttributeDirectory), 0);
  EXPECT_FALSE(exists(dir.at("link")));
  EXPECT_TRUE(exists(dir.at("folder/keep")));
}

TEST(MakeDir, FailsWhenThePathExistsOrItsParentIsMissing) {
  TempDir dir;
  EXPECT_EQ(make_dir(dir.at("new").c_str()), 0);
  EXPECT_NE(make_dir(dir.at("new").c_str()), 0);
  EXPECT_NE(make_dir(dir.at("missing/child").c_str()), 0);
}
