// The real velk binary with its built-in interpreter (COMSPEC unset) on
// generated trees: a first backup, a next backup after changes, restores, and
// a copy killed halfway. Each result is checked against the source with this
// file's own tree reader, not with velk's code.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_tree.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// What a mirror must carry over for one entry.
struct Entry {
  char kind;  // 'f' file, 'd' folder, 'l' link
  mode_t mode;
  uid_t uid;
  gid_t gid;
  struct timespec mtime;
  std::string data;  // a file's contents or a link's target
};

std::map<std::string, Entry> read_tree(const std::string& root) {
  std::map<std::string, Entry> tree;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    std::string path = it->path().string();
    struct stat status;
    EXPECT_EQ(lstat(path.c_str(), &status), 0) << path;
    Entry entry{'?', status.st_mode & 07777, status.st_uid, status.st_gid, status.st_mtim, ""};
    if (S_ISLNK(status.st_mode)) {
      entry.kind = 'l';
      entry.data = fs::read_symlink(path).string();
    } else if (S_ISDIR(status.st_mode)) {
      entry.kind = 'd';
    } else {
      entry.kind = 'f';
      entry.data = read_file(path);
    }
    tree[path.substr(root.size())] = entry;
  }
  return tree;
}

// Compares two trees entry by entry. Folder times are compared only when
// `folder_times`: a folder that received single files afterwards has a time of
// its own.
void expect_same_trees(const std::string& source, const std::string& copy, bool folder_times) {
  auto expected = read_tree(source);
  auto actual = read_tree(copy);
  for (const auto& [name, want] : expected) {
    auto found = actual.find(name);
    if (found == actual.end()) {
      ADD_FAILURE() << "missing in the copy: " << name;
      continue;
    }
    const Entry& got = found->second;
    EXPECT_EQ(got.kind, want.kind) << name;
    EXPECT_EQ(got.data, want.data) << name;
    EXPECT_EQ(got.uid, want.uid) << name;
    EXPECT_EQ(got.gid, want.gid) << name;
    if (want.kind != 'l') {
      EXPECT_EQ(got.mode, want.mode) << name;
    }
    if (want.kind != 'd' || folder_times) {
      EXPECT_EQ(got.mtime.tv_sec, want.mtime.tv_sec) << name;
      EXPECT_EQ(got.mtime.tv_nsec, want.mtime.tv_nsec) << name;
    }
  }
  for (const auto& [name, entry] : actual) {
    EXPECT_TRUE(expected.count(name) != 0) << "not in the source: " << name;
  }
}

void set_time(const std::string& path, time_t seconds, long nanoseconds) {
  const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

void write_at(const std::string& path, const std::string& contents, time_t seconds, long nanos) {
  write_file(path, contents);
  set_time(path, seconds, nanos);
}

bool running_as_root() {
  return geteuid() == 0;
}

RunResult velk(const std::vector<std::string>& operands) {
  std::vector<std::string> words = {velk_binary()};
  words.insert(words.end(), operands.begin(), operands.end());
  RunOptions options;
  options.unset_env = {"COMSPEC"};
  return run_program(words, options);
}

constexpr time_t kBase = 1600000000;

class Mirror : public testing::Test {
 protected:
  std::string src() const { return dir_.at("src"); }
  std::string bak() const { return dir_.at("bak"); }
  std::string s(const std::string& name) const { return dir_.at("src/" + name); }

  void make_source() {
    write_at(s("plain.txt"), "plain", kBase, 1);
    write_at(s("with space \xc3\xa9.txt"), "space and accent", kBase + 10, 999999999);
    write_at(s("\xff\xfe raw.bin"), std::string("\0\x01\x02 binary", 10), kBase + 20, 5);
    write_at(s(".hidden"), "hidden", kBase + 30, 7);
    write_at(s(".hidden_dir/inner.txt"), "inner", kBase + 40, 11);
    make_dirs(s("empty"));
    make_dirs(s("nested/empty_too"));
    write_at(s("deep/a/b/c/leaf.txt"), "leaf", kBase + 50, 13);
    write_at(s("read_only.txt"), "read only", kBase + 60, 17);
    chmod(s("read_only.txt").c_str(), 0444);
    write_at(s("private/secret"), "secret", kBase + 70, 19);
    chmod(s("private/secret").c_str(), 0600);
    write_at(s("owned/owned.txt"), "someone else's", kBase + 80, 23);
    if (running_as_root()) {
      ASSERT_EQ(lchown(s("owned/owned.txt").c_str(), 12345, 12345), 0);
      ASSERT_EQ(lchown(s("owned").c_str(), 12345, 12346), 0);
    }
    fs::create_symlink("plain.txt", s("link_file"));
    fs::create_directory_symlink("deep", s("link_dir"));
    fs::create_symlink("nowhere", s("dangling"));
    fs::create_symlink("/nonexistent/absolute", s("absolute"));
    set_time(s("link_file"), kBase + 90, 29);
    // Folders last, deepest first: their content is complete.
    for (const char* folder : {"deep/a/b/c", "deep/a/b", "deep/a", "deep", "nested/empty_too",
                               "nested", "empty", ".hidden_dir", "owned"}) {
      set_time(s(folder), kBase + 100, 31);
    }
    chmod(s("private").c_str(), 0750);
    set_time(s("private"), kBase + 110, 37);
    chmod(s("empty").c_str(), 0555);
    set_time(src(), kBase + 120, 41);
  }

  TempDir dir_;
};

TEST_F(Mirror, BackupNextBackupAndRestoreKeepAnExactCopy) {
  make_source();

  RunResult result = velk({src(), bak()});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_NE(result.out.find("13 File(s) copied"), std::string::npos) << result.out;
  expect_same_trees(src(), bak(), true);
  struct stat root;
  ASSERT_EQ(stat(bak().c_str(), &root), 0);
  EXPECT_EQ(root.st_mtim.tv_sec, kBase + 120);
  EXPECT_EQ(root.st_mtim.tv_nsec, 41);

  // Edits, additions and deletions, then the next backup.
  write_at(s("plain.txt"), "plain, longer now", kBase + 1000, 3);
  write_at(s("with space \xc3\xa9.txt"), "SPACE AND ACCENT", kBase + 1000, 5);
  chmod(s("read_only.txt").c_str(), 0644);
  write_at(s("read_only.txt"), "read only, changed", kBase + 1000, 7);
  chmod(s("read_only.txt").c_str(), 0444);
  write_at(s("added.txt"), "added", kBase + 1000, 9);
  write_at(s("new_folder/x/y.txt"), "y", kBase + 1000, 11);
  write_at(s("new_folder/.h"), "h", kBase + 1000, 13);
  make_dirs(s("new_empty"));
  fs::create_symlink("../plain.txt", s("deep/new_link"));
  fs::remove(s("link_file"));
  fs::create_symlink("added.txt", s("link_file"));
  fs::remove(s("deep/a/b/c/leaf.txt"));
  fs::remove_all(s("nested"));
  fs::remove(s("dangling"));
  fs::create_symlink("still nowhere", s("dangling"));
  if (running_as_root()) {
    write_at(s("owned/owned.txt"), "someone else's, edited", kBase + 1000, 15);
    ASSERT_EQ(lchown(s("owned/owned.txt").c_str(), 12346, 12345), 0);
  }
  result = velk({src(), bak(), "restore"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_NE(result.out.find("rm dir: " + bak() + "/nested \n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("rm file: " + bak() + "/deep/a/b/c/leaf.txt \n"), std::string::npos);
  expect_same_trees(src(), bak(), false);

  // A damaged original is restored from its copy.
  fs::remove(s("plain.txt"));
  fs::remove_all(s("deep"));
  write_file(s("added.txt"), "truncated");
  write_file(s("stray.txt"), "not in the copy");
  fs::remove(s("link_dir"));
  result = velk({bak(), src(), "restore"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err, "");
  expect_same_trees(bak(), src(), false);

  // And so is an emptied one, folders with their exact times.
  for (const auto& entry : fs::directory_iterator(src())) {
    if (entry.is_directory() && !entry.is_symlink()) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
    }
    fs::remove_all(entry.path());
  }
  result = velk({bak(), src(), "restore"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err, "");
  expect_same_trees(bak(), src(), true);
}

// A file that became a folder, and a folder that became a file, cannot be put
// right in one run: what stands in the way is pruned first. The run says so,
// and the next one completes the copy.
TEST_F(Mirror, AChangeOfKindComesRightOnTheNextRun) {
  write_at(s("flip"), "a file first", kBase, 1);
  write_at(s("flop/inner.txt"), "a folder first", kBase, 2);
  ASSERT_EQ(velk({src(), bak()}).exit_code, 0);

  fs::remove(s("flip"));
  write_at(s("flip/inner.txt"), "a folder now", kBase, 4);
  fs::remove_all(s("flop"));
  write_at(s("flop"), "a file now", kBase, 5);
  RunResult result = velk({src(), bak(), "restore"});
  EXPECT_EQ(result.exit_code, 1) << result.err;
  result = velk({src(), bak(), "restore"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  expect_same_trees(src(), bak(), false);
}

// Starts velk without waiting for it; its output goes nowhere.
pid_t start_velk(const std::vector<std::string>& operands) {
  std::vector<std::string> words = {velk_binary()};
  words.insert(words.end(), operands.begin(), operands.end());
  std::vector<char*> argv;
  for (auto& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (strncmp(*entry, "COMSPEC=", 8) != 0) {
      envp.push_back(*entry);
    }
  }
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child = -1;
  EXPECT_EQ(posix_spawn(&child, words[0].c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  return child;
}

std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// Sends `signal_number` to a velk that replaces bak/big as soon as its
// temporary file appears; returns the name it had, or "" when velk ended first.
std::string interrupt_once(const std::string& src, const std::string& bak, int signal_number) {
  pid_t child = start_velk({src, bak, "restore"});
  std::string seen;
  auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (seen.empty() && std::chrono::steady_clock::now() < give_up) {
    for (const auto& name : names_in(bak)) {
      if (name != "big") {
        seen = name;
      }
    }
    int status = 0;
    if (seen.empty() && waitpid(child, &status, WNOHANG) == child) {
      return "";
    }
  }
  kill(child, signal_number);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status));
  return seen;
}

// A busy machine may let a copy end before it is seen: the old copy is put
// back and the copy tried again.
std::string interrupt_replacement(const std::string& src, const std::string& bak,
                                  int signal_number) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    write_at(bak + "/big", "the old copy", kBase, 0);
    std::string seen = interrupt_once(src, bak, signal_number);
    if (!seen.empty()) {
      return seen;
    }
  }
  return "";
}

TEST_F(Mirror, AnInterruptedReplacementKeepsTheOldCopyWhole) {
  // Real data, so that the copy takes long enough to be caught halfway.
  std::string block(1 << 20, '\0');
  for (size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<char>(i * 7 + i / 4096);
  }
  {
    make_dirs(src());
    FILE* out = fopen(s("big").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    for (int i = 0; i < 64; ++i) {
      ASSERT_EQ(fwrite(block.data(), 1, block.size(), out), block.size());
    }
    fclose(out);
  }

  // A termination signal removes the temporary file before velk ends.
  std::string temporary = interrupt_replacement(src(), bak(), SIGTERM);
  ASSERT_FALSE(temporary.empty()) << "the copy ended before it could be interrupted";
  EXPECT_EQ(temporary.rfind(".velk-", 0), 0u) << temporary;
  EXPECT_EQ(names_in(bak()), std::vector<std::string>{"big"});
  EXPECT_EQ(read_file(bak() + "/big"), "the old copy");

  // SIGKILL leaves the temporary file, but never a partial file as the copy.
  temporary = interrupt_replacement(src(), bak(), SIGKILL);
  ASSERT_FALSE(temporary.empty()) << "the copy ended before it could be interrupted";
  EXPECT_EQ(read_file(bak() + "/big"), "the old copy");

  // The next run completes the copy and prunes what the kill left.
  RunResult result = velk({src(), bak(), "restore"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find("rm file: " + bak() + "/" + temporary + " \n"), std::string::npos)
      << result.out;
  expect_same_trees(src(), bak(), false);
}

}  // namespace
