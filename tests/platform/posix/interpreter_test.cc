// The built-in interpreter in this process, on real temporary trees.

#include "platform/posix/interpreter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/process.h"
#include "tests/support/temp_tree.h"

namespace {

namespace fs = std::filesystem;

struct Ran {
  int code;
  std::string out;
  std::string err;
};

Ran run(const std::string& text) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  int code = run_builtin_command(text.c_str());
  flush_output();
  Ran ran{code, testing::internal::GetCapturedStdout(), ""};
  ran.err = testing::internal::GetCapturedStderr();
  return ran;
}

std::string quoted(const std::string& path) {
  return "\"" + path + "\"";
}

struct stat status_of(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(lstat(path.c_str(), &status), 0) << path;
  return status;
}

void set_time(const std::string& path, time_t seconds, long nanoseconds) {
  const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

bool same_time(const struct stat& a, const struct stat& b) {
  return a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

class Interpreter : public testing::Test {
 protected:
  TempDir dir_;
};

TEST_F(Interpreter, CopiesAFileIntoAFolderWithItsTimeAndMode) {
  write_file(dir_.at("s/a b \xc3\xa9.txt"), "contents");
  chmod(dir_.at("s/a b \xc3\xa9.txt").c_str(), 0640);
  set_time(dir_.at("s/a b \xc3\xa9.txt"), 1600000000, 123456789);
  Ran ran = run("xcopy /F/E/C/Y/H/R/K/O/X/G " + quoted(dir_.at("s/a b \xc3\xa9.txt")) + " " +
                quoted(dir_.at("b/new/")));
  EXPECT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(ran.out, dir_.at("s/a b \xc3\xa9.txt") + " -> " + dir_.at("b/new/a b \xc3\xa9.txt") +
                         "\n1 File(s) copied\n");
  struct stat source = status_of(dir_.at("s/a b \xc3\xa9.txt"));
  struct stat copy = status_of(dir_.at("b/new/a b \xc3\xa9.txt"));
  EXPECT_EQ(read_file(dir_.at("b/new/a b \xc3\xa9.txt")), "contents");
  EXPECT_TRUE(same_time(source, copy));
  EXPECT_EQ(copy.st_mode & 07777, 0640u);

  // Without /K a copy gets the default bits; without /F only the source is named.
  ran = run("xcopy /Y " + quoted(dir_.at("s/a b \xc3\xa9.txt")) + " " + quoted(dir_.at("c")));
  EXPECT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(ran.out, dir_.at("s/a b \xc3\xa9.txt") + "\n1 File(s) copied\n");
  mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(status_of(dir_.at("c")).st_mode & 07777, 0666u & ~mask);
  EXPECT_EQ(
      run("xcopy /Q " + quoted(dir_.at("s/a b \xc3\xa9.txt")) + " " + quoted(dir_.at("c"))).out,
      "1 File(s) copied\n");
}

// Some modes are given when the file is made, the rest once it is complete:
// either way the copy must end with exactly the source's bits, including those
// the creation mask would take away and the set-id bits.
TEST_F(Interpreter, KeepsEveryPermissionBitWhateverTheCreationMask) {
  const mode_t modes[] = {0644, 0666, 0777, 0444, 0400, 0000, 04755, 02750, 01777};
  for (mode_t mode : modes) {
    std::string name = "s/m" + std::to_string(mode);
    write_file(dir_.at(name), "x");
    ASSERT_EQ(chmod(dir_.at(name).c_str(), mode), 0);
  }
  Ran ran =
      run("xcopy /I/F/E/C/Y/H/R/K/O/X/G " + quoted(dir_.at("s")) + " " + quoted(dir_.at("b")));
  EXPECT_EQ(ran.code, 0) << ran.err;
  for (mode_t mode : modes) {
    std::string name = "m" + std::to_string(mode);
    EXPECT_EQ(status_of(dir_.at("b/" + name)).st_mode & 07777, mode) << name;
    EXPECT_EQ(read_file(dir_.at("b/" + name)), "x") << name;
  }
}

TEST_F(Interpreter, AReadOnlyCopyIsReplacedOnlyWithR) {
  write_file(dir_.at("s/a.txt"), "new");
  write_file(dir_.at("s/b.txt"), "new");
  write_file(dir_.at("b/a.txt"), "old");
  write_file(dir_.at("b/b.txt"), "old");
  set_read_only(dir_.at("b/a.txt"), true);
  // With /C the copy goes on past the failure; the exit code still tells.
  Ran ran = run("xcopy /C/K " + quoted(dir_.at("s")) + " " + quoted(dir_.at("b")));
  EXPECT_EQ(ran.code, 5);
  EXPECT_NE(ran.err.find("cannot copy " + dir_.at("s/a.txt") + " to " + dir_.at("b/a.txt") +
                         ": the target is read-only"),
            std::string::npos)
      << ran.err;
  EXPECT_EQ(read_file(dir_.at("b/a.txt")), "old");
  EXPECT_EQ(read_file(dir_.at("b/b.txt")), "new");
  EXPECT_EQ(list_tree(dir_.at("b")), (std::vector<std::string>{"a.txt", "b.txt"}));

  ran = run("xcopy /R/K " + quoted(dir_.at("s")) + " " + quoted(dir_.at("b")));
  EXPECT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(read_file(dir_.at("b/a.txt")), "new");
}

TEST_F(Interpreter, NewerOnlyComparesToTheNanosecond) {
  for (const char* name : {"older", "same", "newer", "missing"}) {
    write_file(dir_.at(std::string("s/") + name), "source");
    set_time(dir_.at(std::string("s/") + name), 1600000000, 500);
  }
  for (const char* name : {"older", "same", "newer"}) {
    write_file(dir_.at(std::string("b/") + name), "target");
  }
  set_time(dir_.at("b/older"), 1600000000, 499);
  set_time(dir_.at("b/same"), 1600000000, 500);
  set_time(dir_.at("b/newer"), 1600000000, 501);
  Ran ran = run("xcopy /D/Q " + quoted(dir_.at("s")) + " " + quoted(dir_.at("b")));
  EXPECT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(ran.out, "2 File(s) copied\n");
  EXPECT_EQ(read_file(dir_.at("b/older")), "source");
  EXPECT_EQ(read_file(dir_.at("b/missing")), "source");
  EXPECT_EQ(read_file(dir_.at("b/same")), "target");
  EXPECT_EQ(read_file(dir_.at("b/newer")), "target");
}

TEST_F(Interpreter, HiddenNamesAndEmptyFoldersFollowTheSwitches) {
  write_file(dir_.at("s/.hidden"), "h");
  write_file(dir_.at("s/.dir/f"), "f");
  write_file(dir_.at("s/sub/f"), "f");
  make_dirs(dir_.at("s/empty/inner"));
  EXPECT_EQ(run("xcopy /S " + quoted(dir_.at("s")) + " " + quoted(dir_.at("b1"))).code, 0);
  EXPECT_EQ(list_tree(dir_.at("b1")), (std::vector<std::string>{"sub/", "sub/f"}));
  EXPECT_EQ(run("xcopy /E/H " + quoted(dir_.at("s")) + " " + quoted(dir_.at("b2"))).code, 0);
  EXPECT_EQ(list_tree(dir_.at("b2")),
            (std::vector<std::string>{".dir/", ".dir/f", ".hidden", "empty/", "empty/inner/",
                                      "sub/", "sub/f"}));
  // Without /S or /E only the folder's own files.
  EXPECT_EQ(run("xcopy /H " + quoted(dir_.at("s")) + " " + quoted(dir_.at("b3"))).code, 0);
  EXPECT_EQ(list_tree(dir_.at("b3")), (std::vector<std::string>{".hidden"}));
}

TEST_F(Interpreter, LinksAreCopiedAsLinks) {
  write_file(dir_.at("s/file"), "f");
  make_dirs(dir_.at("s/folder"));
  fs::create_symlink("file", dir_.at("s/to_file"));
  fs::create_directory_symlink("folder", dir_.at("s/to_folder"));
  fs::create_symlink("nowhere", dir_.at("s/dangling"));
  make_dirs(dir_.at("b"));
  for (const char* name : {"to_file", "to_folder", "dangling"}) {
    Ran ran = run("xcopy /F/E/C/Y/H/R/K/O/X/G " + quoted(dir_.at(std::string("s/") + name)) + " " +
                  quoted(dir_.at("b/")));
    EXPECT_EQ(ran.code, 0) << ran.err;
  }
  // The folder command names the copy itself.
  Ran ran = run("xcopy /I/F/E/C/Y/H/R/K/O/X/G " + quoted(dir_.at("s/to_folder")) + " " +
                quoted(dir_.at("c/to_folder")) + " ");
  EXPECT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(fs::read_symlink(dir_.at("b/to_file")), "file");
  EXPECT_EQ(fs::read_symlink(dir_.at("b/to_folder")), "folder");
  EXPECT_EQ(fs::read_symlink(dir_.at("b/dangling")), "nowhere");
  EXPECT_EQ(fs::read_symlink(dir_.at("c/to_folder")), "folder");
  // A link over a file, and a file over a link, replace what stood there.
  fs::remove(dir_.at("s/to_file"));
  fs::create_symlink("elsewhere", dir_.at("s/to_file"));
  write_file(dir_.at("b/file"), "old");
  fs::remove(dir_.at("b/file"));
  fs::create_symlink("x", dir_.at("b/file"));
  EXPECT_EQ(run("xcopy /E/H " + quoted(dir_.at("s")) + " " + quoted(dir_.at("b"))).code, 0);
  EXPECT_EQ(fs::read_symlink(dir_.at("b/to_file")), "elsewhere");
  EXPECT_EQ(fs::symlink_status(dir_.at("b/file")).type(), fs::file_type::regular);
  EXPECT_EQ(read_file(dir_.at("b/file")), "f");
}

TEST_F(Interpreter, RefusesWhatItCannotDo) {
  write_file(dir_.at("s/sub/f"), "f");
  write_file(dir_.at("x"), "x");
  struct Case {
    std::string text;
    int code;
    std::string message;
  } cases[] = {
      {"xcopy /E " + quoted(dir_.at("s")) + " " + quoted(dir_.at("s/sub/copy")), 4,
       "Cannot perform a cyclic copy"},
      {"xcopy /E " + quoted(dir_.at("s")) + " " + quoted(dir_.at("s")), 4,
       "Cannot perform a cyclic copy"},
      {"xcopy /E " + quoted(dir_.at("s/missing")) + " " + quoted(dir_.at("b")), 1,
       "file not found: " + dir_.at("s/missing")},
      {"xcopy /E/Z " + quoted(dir_.at("s")) + " " + quoted(dir_.at("b")), 4, "invalid switch: /Z"},
      {"xcopy /E " + quoted(dir_.at("s")), 4, "a source and a destination are needed"},
      {"xcopy /E " + quoted(dir_.at("s")) + " " + quoted(dir_.at("x")), 4,
       "a file stands in its place"},
      {"copy " + quoted(dir_.at("s")) + " " + quoted(dir_.at("b")), 1, "unknown command: copy"},
      {"rmdir " + quoted(dir_.at("s")) + " /S /F", 1, "invalid switch: /F"},
      {"rmdir", 1, "a folder is needed"},
  };
  for (const auto& c : cases) {
    Ran ran = run(c.text);
    EXPECT_EQ(ran.code, c.code) << c.text;
    EXPECT_NE(ran.err.find(c.message), std::string::npos) << c.text << "\n" << ran.err;
  }
  EXPECT_EQ(list_tree(dir_.path()), (std::vector<std::string>{"s/", "s/sub/", "s/sub/f", "x"}));
}

// Whatever holds data is kept; an empty folder or a link makes way.
TEST_F(Interpreter, WhatStandsInTheWayIsKeptUnlessItHoldsNothing) {
  write_file(dir_.at("s/was_empty"), "file over an empty folder");
  write_file(dir_.at("s/was_link/f"), "folder over a link");
  make_dirs(dir_.at("b/was_empty"));
  write_file(dir_.at("outside/keep"), "k");
  fs::create_directory_symlink(dir_.at("outside"), dir_.at("b/was_link"));
  write_file(dir_.at("s/name"), "file in the source");
  write_file(dir_.at("s/folder/f"), "f");
  write_file(dir_.at("s/other"), "o");
  write_file(dir_.at("b/name/kept"), "k");
  write_file(dir_.at("b/folder"), "file in the target");
  Ran ran = run("xcopy /E/C " + quoted(dir_.at("s")) + " " + quoted(dir_.at("b")));
  EXPECT_EQ(ran.code, 5);
  EXPECT_NE(ran.err.find(dir_.at("b/name") + ": a folder stands in its place"), std::string::npos)
      << ran.err;
  EXPECT_NE(ran.err.find(dir_.at("b/folder") + ": something else stands in its place"),
            std::string::npos)
      << ran.err;
  EXPECT_EQ(read_file(dir_.at("b/name/kept")), "k");
  EXPECT_EQ(read_file(dir_.at("b/folder")), "file in the target");
  EXPECT_EQ(read_file(dir_.at("b/other")), "o");
  EXPECT_EQ(read_file(dir_.at("b/was_empty")), "file over an empty folder");
  EXPECT_EQ(read_file(dir_.at("b/was_link/f")), "folder over a link");
  EXPECT_EQ(list_tree(dir_.at("outside")), std::vector<std::string>{"keep"});
}

TEST_F(Interpreter, AFailedReplacementKeepsTheOldCopyAndLeavesNoTemporaryFile) {
  // A file-size limit makes the write fail halfway, as a full disk would.
  write_file(dir_.at("s/big"), std::string(3 << 20, 'n'));
  write_file(dir_.at("b/big"), "old copy");
  write_file(dir_.at("s/new"), std::string(3 << 20, 'n'));
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 1 << 20;
  auto previous = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  Ran ran = run("xcopy /C/Y " + quoted(dir_.at("s")) + " " + quoted(dir_.at("b")));
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(ran.code, 5);
  EXPECT_NE(ran.err.find("File too large"), std::string::npos) << ran.err;
  EXPECT_EQ(read_file(dir_.at("b/big")), "old copy");
  EXPECT_EQ(list_tree(dir_.at("b")), std::vector<std::string>{"big"});
}

TEST_F(Interpreter, OwnerAndGroupAreKeptWhenAsked) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "only root may give files away";
  }
  write_file(dir_.at("s/sub/f"), "f");
  fs::create_symlink("f", dir_.at("s/sub/link"));
  for (const char* name : {"s/sub/f", "s/sub/link", "s/sub"}) {
    ASSERT_EQ(lchown(dir_.at(name).c_str(), 12345, 12346), 0);
  }
  EXPECT_EQ(run("xcopy /E/O " + quoted(dir_.at("s")) + " " + quoted(dir_.at("b"))).code, 0);
  for (const char* name : {"b/sub/f", "b/sub/link", "b/sub"}) {
    EXPECT_EQ(status_of(dir_.at(name)).st_uid, 12345u) << name;
    EXPECT_EQ(status_of(dir_.at(name)).st_gid, 12346u) << name;
  }
  EXPECT_EQ(run("xcopy /E " + quoted(dir_.at("s")) + " " + quoted(dir_.at("c"))).code, 0);
  EXPECT_EQ(status_of(dir_.at("c/sub/f")).st_uid, 0u);
}

TEST_F(Interpreter, RemovesAFolderTreeWithoutFollowingLinks) {
  write_file(dir_.at("outside/keep"), "k");
  write_file(dir_.at("t/a/b/c"), "c");
  write_file(dir_.at("t/ro"), "r");
  set_read_only(dir_.at("t/ro"), true);
  fs::create_directory_symlink(dir_.at("outside"), dir_.at("t/a/link"));
  make_dirs(dir_.at("t/a/closed"));
  chmod(dir_.at("t/a/closed").c_str(), 0);

  Ran ran = run("rmdir " + quoted(dir_.at("t")) + " ");
  EXPECT_EQ(ran.code, 1);
  EXPECT_NE(ran.err.find("cannot remove " + dir_.at("t") + ": Directory not empty"),
            std::string::npos)
      << ran.err;
  EXPECT_TRUE(exists(dir_.at("t/a/b/c")));

  ran = run("rmdir " + quoted(dir_.at("t")) + " /S /Q ");
  EXPECT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(ran.out, "");
  EXPECT_FALSE(exists(dir_.at("t")));
  EXPECT_EQ(read_file(dir_.at("outside/keep")), "k");

  // A link named as the folder goes as the link.
  fs::create_directory_symlink(dir_.at("outside"), dir_.at("link"));
  EXPECT_EQ(run("RD /s " + quoted(dir_.at("link"))).code, 0);
  EXPECT_FALSE(exists(dir_.at("link")));
  EXPECT_TRUE(exists(dir_.at("outside/keep")));

  for (const std::string& path : {dir_.at("missing"), dir_.at("outside/keep")}) {
    ran = run("rmdir " + quoted(path) + " /S /Q");
    EXPECT_EQ(ran.code, 1);
    EXPECT_NE(ran.err.find("velk: rmdir: cannot remove " + path + ": "), std::string::npos);
  }
  EXPECT_TRUE(exists(dir_.at("outside/keep")));
}

}  // namespace
