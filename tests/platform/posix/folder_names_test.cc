// A probe folder's name table lets open_read say "this regular file would
// open" without a status call, and take the status only when the stamp or
// length is asked for. These tests hold the table and open_read over it to
// what the file system says: a "yes" only for a regular file it really lists,
// everything else looked up for real, each name answered from the table once.

#include "platform/posix/folder_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/file_system.h"
#include "platform/posix/probe_folders.h"
#include "tests/support/temp_tree.h"

namespace {

// A folder with one entry of every kind the table has to tell apart.
void make_mixed_folder(const TempDir& dir) {
  write_file(dir.at("plain"), "abc");
  write_file(dir.at("unreadable"), "x");
  ASSERT_EQ(chmod(dir.at("unreadable").c_str(), 0), 0);
  make_dirs(dir.at("folder"));
  ASSERT_EQ(mkfifo(dir.at("pipe").c_str(), 0644), 0);
  ASSERT_EQ(symlink("plain", dir.at("link-to-file").c_str()), 0);
  ASSERT_EQ(symlink("folder", dir.at("link-to-folder").c_str()), 0);
  ASSERT_EQ(symlink("missing", dir.at("dangling-link").c_str()), 0);
}

// What open(O_RDONLY) gives: 0, or its error code. A folder is not a file.
int real_open(const std::string& path) {
  int file = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (file < 0) {
    return errno;
  }
  struct stat status;
  bool folder = fstat(file, &status) == 0 && S_ISDIR(status.st_mode);
  close(file);
  return folder ? EISDIR : 0;
}

int probed(const std::string& path) {
  error_indicator = 0;
  FileHandle file = open_read(path.c_str());
  if (file == kNoFile) {
    return error_indicator;
  }
  EXPECT_EQ(close_file(file), 0);
  return 0;
}

int open_descriptors() {
  int count = 0;
  DIR* folder = opendir("/proc/self/fd");
  while (folder != nullptr && readdir(folder) != nullptr) {
    ++count;
  }
  if (folder != nullptr) {
    closedir(folder);
  }
  return count;
}

// Names are read only while probed files are closed without their status
// asked for: the first probe turns that on, the second reads the names of
// its folder.
void read_names_of(const std::string& file) {
  probed(file);
  probed(file);
}

struct NamesFixture : testing::Test {
  NamesFixture() { forget_probe_folders(); }
  ~NamesFixture() override { forget_probe_folders(); }
  TempDir dir;
};

using FolderNames = NamesFixture;

TEST_F(FolderNames, SaysYesOnlyForRegularFilesAndOnlyOnce) {
  make_mixed_folder(dir);
  int folder = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(folder, 0);
  ASSERT_TRUE(read_folder_names(0, folder));
  close(folder);
  for (const char* name : {"folder", "pipe", "link-to-file", "link-to-folder", "dangling-link",
                           "missing", "plai", "plainx", ".", ".."}) {
    EXPECT_FALSE(take_folder_file(0, name)) << name;
  }
  EXPECT_TRUE(take_folder_file(0, "plain"));
  EXPECT_TRUE(take_folder_file(0, "unreadable"));  // mode bits are the caller's business
  EXPECT_FALSE(take_folder_file(0, "plain"));      // struck off: looked up for real next time
  forget_folder_names(0);
  EXPECT_FALSE(take_folder_file(0, "unreadable"));
}

TEST_F(FolderNames, FolderTooLargeForTheTableIsNotRead) {
  // More files than the table holds; open_read must still answer each.
  constexpr int kFiles = 4097;
  for (int index = 0; index < kFiles; ++index) {
    FILE* file = fopen(dir.at("f" + std::to_string(index)).c_str(), "w");
    ASSERT_NE(file, nullptr);
    fclose(file);
  }
  int folder = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(folder, 0);
  EXPECT_FALSE(read_folder_names(1, folder));
  close(folder);
  EXPECT_FALSE(take_folder_file(1, "f0"));
  EXPECT_EQ(probed(dir.at("f0")), 0);
  EXPECT_EQ(probed(dir.at("f4096")), 0);
  EXPECT_EQ(probed(dir.at("f4097")), ENOENT);
}

using OpenReadFromNames = NamesFixture;

// Every entry is probed twice after the folder's names were read: once
// answered from the table, once for real.
TEST_F(OpenReadFromNames, AnswersAsARealOpen) {
  make_mixed_folder(dir);
  write_file(dir.at("first"), "1");
  read_names_of(dir.at("first"));
  for (const char* name : {"plain", "unreadable", "folder", "pipe", "link-to-file",
                           "link-to-folder", "dangling-link", "missing", "plain", "unreadable"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(probed(dir.at(name)), real_open(dir.at(name)));
  }
}

// The update pass probes a target folder and runs commands that write into it
// between probes. A file made after the names were read is not in the table,
// so it is looked up and found; one removed after, though still in the table,
// fails as soon as its stamp or length is wanted, as a failed open would.
TEST_F(OpenReadFromNames, SeesEntriesMadeOrRemovedAfterTheNamesWereRead) {
  write_file(dir.at("first"), "1");
  write_file(dir.at("removed"), "22");
  read_names_of(dir.at("first"));
  write_file(dir.at("made"), "333");
  ASSERT_EQ(unlink(dir.at("removed").c_str()), 0);

  FileHandle made = open_read(dir.at("made").c_str());
  ASSERT_NE(made, kNoFile);
  EXPECT_EQ(file_length(made), 3);
  close_file(made);

  FileHandle removed = open_read(dir.at("removed").c_str());
  if (removed != kNoFile) {
    DosStamp stamp{1, 1};
    error_indicator = 0;
    EXPECT_NE(file_stamp(removed, &stamp), 0);
    EXPECT_EQ(error_indicator, ENOENT);
    EXPECT_EQ(file_length(removed), -1);
    close_file(removed);
  } else {
    EXPECT_EQ(error_indicator, ENOENT);
  }
  // Asked again, the name is looked up for real.
  EXPECT_EQ(probed(dir.at("removed")), ENOENT);
}

// The status of a file answered from the table is taken when first asked for,
// and then kept: stamp and length come from one look at the file.
TEST_F(OpenReadFromNames, TakesTheStatusOnceOnFirstUse) {
  write_file(dir.at("a"), "12345");
  write_file(dir.at("b"), "1");
  read_names_of(dir.at("b"));
  FileHandle file = open_read(dir.at("a").c_str());
  ASSERT_NE(file, kNoFile);
  write_file(dir.at("a"), "1234567");
  set_mtime(dir.at("a"), 1624000000);
  DosStamp stamp{};
  ASSERT_EQ(file_stamp(file, &stamp), 0);
  write_file(dir.at("a"), "12");
  EXPECT_EQ(file_length(file), 7);
  DosStamp expected{};
  struct tm local {};
  time_t when = 1624000000;
  ASSERT_NE(localtime_r(&when, &local), nullptr);
  expected.date = static_cast<uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) |
                                        local.tm_mday);
  expected.time =
      static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  EXPECT_EQ(stamp.date, expected.date);
  EXPECT_EQ(stamp.time, expected.time);
  close_file(file);
}

TEST_F(OpenReadFromNames, LeavesNothingOpen) {
  make_mixed_folder(dir);
  make_dirs(dir.at("other"));
  write_file(dir.at("other/x"), "x");
  int before = open_descriptors();
  for (const char* name : {"plain", "pipe", "folder", "missing", "other/x", "plain"}) {
    probed(dir.at(name));
  }
  FileHandle pending = open_read(dir.at("unreadable").c_str());
  ASSERT_NE(pending, kNoFile);
  close_file(pending);  // never asked for its status
  FindRecord record;    // a listing starting and ending lets go of the probe folders
  std::string pattern = dir.at("other") + kSearchAllSuffix;
  ASSERT_EQ(find_first(pattern.c_str(), kSearchMask, &record), 0);
  find_close(&record);
  EXPECT_EQ(open_descriptors(), before);
}

}  // namespace
