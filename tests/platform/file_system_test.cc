#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "tests/support/temp_tree.h"

namespace {

constexpr time_t kJune2021 = 1624000000;  // 2021-06-18, well inside the DOS range

std::string pattern_of(const std::string& folder) {
  return folder + kSearchAllSuffix;
}

}  // namespace

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
  struct tm local = *std::localtime(&when);
  EXPECT_EQ(stamp.time, (local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  EXPECT_EQ(stamp.date, ((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  close_file(file);

  set_mtime(dir.at("a"), 315000000);  // 1979-12-25
  file = open_read(dir.at("a").c_str());
  ASSERT_NE(file, kNoFile);
  EXPECT_NE(file_stamp(file, &stamp), 0);
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

TEST(MakeDir, FailsWhenThePathExistsOrItsParentIsMissing) {
  TempDir dir;
  EXPECT_EQ(make_dir(dir.at("new").c_str()), 0);
  EXPECT_NE(make_dir(dir.at("new").c_str()), 0);
  EXPECT_NE(make_dir(dir.at("missing/child").c_str()), 0);
}
