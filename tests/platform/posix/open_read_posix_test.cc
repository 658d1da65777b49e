// open_read decides from the file's status whether it could be opened for
// reading, without opening it. These tests hold its answers, and the error
// codes the passes act on, to those of a real open.

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_tree.h"

namespace {

struct Verdict {
  bool readable;
  int code;  // error_indicator after a refusal, 0 otherwise
  bool operator==(const Verdict&) const = default;
};

void PrintTo(const Verdict& verdict, std::ostream* out) {
  *out << (verdict.readable ? "readable" : "refused: ")
       << (verdict.readable ? "" : strerror(verdict.code));
}

// What open(O_RDONLY) gives, never waiting on a pipe or a device. A folder
// opens on POSIX, but a folder is never a readable file.
Verdict real_open(const std::string& path) {
  int file = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (file < 0) {
    return {false, errno};
  }
  struct stat status;
  bool folder = fstat(file, &status) == 0 && S_ISDIR(status.st_mode);
  close(file);
  return folder ? Verdict{false, EISDIR} : Verdict{true, 0};
}

Verdict probed(const std::string& path) {
  error_indicator = 0;
  FileHandle file = open_read(path.c_str());
  if (file == kNoFile) {
    return {false, error_indicator};
  }
  EXPECT_EQ(close_file(file), 0);
  return {true, 0};
}

void make_file(const std::string& path, mode_t mode, uid_t owner, gid_t group) {
  write_file(path, "data");
  ASSERT_EQ(chown(path.c_str(), owner, group), 0) << path;
  ASSERT_EQ(chmod(path.c_str(), mode), 0) << path;
}

void bind_socket(const std::string& path) {
  int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  strcpy(address.sun_path, path.c_str());
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(listener);  // the socket file stays, with nobody listening
}

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;
constexpr char kOtherUserFolder[] = "VELK_OTHER_USER_FOLDER";

// Files of every ownership and mode that decide differently for the user
// nobody (no supplementary groups): owner bits, group bits, other bits.
struct OtherUserCase {
  const char* name;
  mode_t mode;
  uid_t owner;
  gid_t group;
  bool readable;
};
const OtherUserCase kOtherUserCases[] = {
    {"root-all-read", 0644, 0, 0, true},
    {"root-private", 0600, 0, 0, false},
    {"group-may-read", 0640, 0, kNogroup, true},
    {"group-denied-others-allowed", 0604, 0, kNogroup, false},
    {"own-read-only", 0400, kNobody, 0, true},
    {"own-unreadable-others-allowed", 0044, kNobody, 0, false},
    {"own-write-only", 0200, kNobody, kNogroup, false},
    // In folders of root: one nobody may search but not list, one it may
    // not enter at all. Probes look names up inside the folder.
    {"search-only/readable", 0644, 0, 0, true},
    {"search-only/private", 0600, 0, 0, false},
    {"closed/readable", 0644, 0, 0, false},
};

}  // namespace

TEST(OpenRead, AnswersAsARealOpenForEveryKindOfEntry) {
  TempDir dir;
  write_file(dir.at("plain"), "abc");
  write_file(dir.at("empty"), "");
  write_file(dir.at("no-permission-bits"), "x");
  ASSERT_EQ(chmod(dir.at("no-permission-bits").c_str(), 0), 0);
  write_file(dir.at("owner-cannot-read"), "x");
  ASSERT_EQ(chmod(dir.at("owner-cannot-read").c_str(), 0044), 0);
  make_dirs(dir.at("folder"));
  ASSERT_EQ(mkfifo(dir.at("pipe").c_str(), 0644), 0);
  bind_socket(dir.at("socket"));
  ASSERT_EQ(symlink("plain", dir.at("link-to-file").c_str()), 0);
  ASSERT_EQ(symlink("folder", dir.at("link-to-folder").c_str()), 0);
  ASSERT_EQ(symlink("missing", dir.at("dangling-link").c_str()), 0);
  ASSERT_EQ(symlink("loop", dir.at("loop").c_str()), 0);

  // Answers that hold for every user; the mode-dependent ones only need to
  // agree with the real open.
  struct Case {
    std::string path;
    Verdict expected;
  };
  std::vector<Case> cases = {
      {dir.at("plain"), {true, 0}},
      {dir.at("empty"), {true, 0}},
      {dir.at("link-to-file"), {true, 0}},
      {dir.at("pipe"), {true, 0}},  // no writer: must answer at once, not wait for one
      {"/dev/null", {true, 0}},
      {dir.at("folder"), {false, EISDIR}},
      {dir.at("link-to-folder"), {false, EISDIR}},
      {dir.at("socket"), {false, ENXIO}},
      {dir.at("missing"), {false, ENOENT}},
      {dir.at("dangling-link"), {false, ENOENT}},
      {dir.at("missing/below"), {false, ENOENT}},
      {dir.at("plain/below"), {false, ENOTDIR}},
      {dir.at("loop"), {false, ELOOP}},
      {dir.at("no-permission-bits"), real_open(dir.at("no-permission-bits"))},
      {dir.at("owner-cannot-read"), real_open(dir.at("owner-cannot-read"))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(real_open(c.path), c.expected);
    EXPECT_EQ(probed(c.path), c.expected);
  }
}

TEST(OpenRead, StampAndLengthAreThoseOfTheFileWhenItWasOpened) {
  TempDir dir;
  write_file(dir.at("a"), "12345");
  set_mtime(dir.at("a"), 1624000000);
  write_file(dir.at("b"), "");
  FileHandle first = open_read(dir.at("a").c_str());
  FileHandle second = open_read(dir.at("b").c_str());
  ASSERT_NE(first, kNoFile);
  ASSERT_NE(second, kNoFile);
  ASSERT_NE(first, second);
  EXPECT_EQ(file_length(first), 5);
  EXPECT_EQ(file_length(second), 0);
  DosStamp stamp{};
  EXPECT_EQ(file_stamp(first, &stamp), 0);
  EXPECT_EQ(close_file(first), 0);
  EXPECT_EQ(close_file(second), 0);
  // A closed file is gone: asking it again fails as on a closed handle.
  EXPECT_NE(close_file(first), 0);
  EXPECT_EQ(file_length(first), -1);
  EXPECT_NE(file_stamp(second, &stamp), 0);
}

// Root reads everything, so the permission logic for other users can only be
// seen from a process of another user: the test runs this executable again as
// nobody, on files made here, and the child compares open_read with open.
TEST(OpenRead, AnswersAsARealOpenForAnotherUser) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root to make files of other owners and to switch users";
  }
  constexpr char kSetpriv[] = "/usr/bin/setpriv";  // util-linux
  if (access(kSetpriv, X_OK) != 0) {
    GTEST_SKIP() << kSetpriv << " is missing";
  }
  TempDir dir;
  make_dirs(dir.at("search-only"));
  make_dirs(dir.at("closed"));
  for (const OtherUserCase& c : kOtherUserCases) {
    make_file(dir.at(c.name), c.mode, c.owner, c.group);
  }
  ASSERT_EQ(chmod(dir.at("search-only").c_str(), 0711), 0);
  ASSERT_EQ(chmod(dir.at("closed").c_str(), 0700), 0);
  char self[PATH_MAX] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  RunOptions options;
  options.set_env = {{kOtherUserFolder, dir.path()}};
  RunResult child = run_program({kSetpriv, "--reuid=65534", "--regid=65534", "--clear-groups", self,
                                 "--gtest_filter=OpenReadAsNobody.*"},
                                options);
  EXPECT_EQ(child.exit_code, 0) << child.out << child.err;
  EXPECT_NE(child.out.find("[  PASSED  ] 1 test"), std::string::npos) << child.out;
}

// The child half of the test above; on its own it has nothing to check.
TEST(OpenReadAsNobody, AnswersAsARealOpen) {
  const char* folder = getenv(kOtherUserFolder);
  if (folder == nullptr) {
    GTEST_SKIP() << "runs inside OpenRead.AnswersAsARealOpenForAnotherUser";
  }
  ASSERT_EQ(geteuid(), kNobody);
  for (const OtherUserCase& c : kOtherUserCases) {
    std::string path = std::string(folder) + "/" + c.name;
    SCOPED_TRACE(path);
    Verdict expected = c.readable ? Verdict{true, 0} : Verdict{false, EACCES};
    EXPECT_EQ(real_open(path), expected);
    EXPECT_EQ(probed(path), expected);
  }
}

// Probes look names up in a folder they opened once. A listing starting or
// ending lets go of it, so a probe after that sees the folder that the path
// names now, not one that was moved away.
TEST(OpenRead, SeesTheFolderThePathNamesOnceAListingStartsOrEnds) {
  TempDir dir;
  write_file(dir.at("now/a"), "12345");
  write_file(dir.at("other/b"), "");
  FileHandle before = open_read(dir.at("now/a").c_str());
  ASSERT_NE(before, kNoFile);
  EXPECT_EQ(file_length(before), 5);
  close_file(before);

  std::filesystem::rename(dir.at("now"), dir.at("moved"));
  write_file(dir.at("now/a"), "123");
  FindRecord record;
  std::string pattern = dir.at("other") + kSearchAllSuffix;
  ASSERT_EQ(find_first(pattern.c_str(), kSearchMask, &record), 0);
  find_close(&record);

  FileHandle after = open_read(dir.at("now/a").c_str());
  ASSERT_NE(after, kNoFile);
  EXPECT_EQ(file_length(after), 3);
  close_file(after);
  std::filesystem::remove_all(dir.at("now"));
  EXPECT_EQ(open_read(dir.at("now/a").c_str()), kNoFile);
  EXPECT_TRUE(error_is_not_found(error_indicator));
}
