// Both passes through the real velk binary: the order of commands against the
// prune pass, entries that cannot be read, and a tree as deep as the paths
// allow under a low limit on open files.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_tree.h"

namespace {

namespace fs = std::filesystem;

constexpr time_t kStamp = 1624000000;

std::string file_command(const std::string& source, const std::string& target_folder) {
  return "xcopy /F/E/C/Y/H/R/K/O/X/G \"" + source + "\" \"" + target_folder + kSeparatorText + "\"";
}

std::string folder_command(const std::string& source, const std::string& target) {
  return "xcopy /I/F/E/C/Y/H/R/K/O/X/G \"" + source + "\" \"" + target + "\" ";
}

// The entries of `folder` mapped to their lines, in listing order.
std::vector<std::string> in_listing_order(const std::string& folder,
                                          std::map<std::string, std::vector<std::string>> lines) {
  std::vector<std::string> ordered;
  for (const auto& name : listing_order(folder)) {
    ordered.insert(ordered.end(), lines[name].begin(), lines[name].end());
  }
  return ordered;
}

void change_owner(const std::string& root, uid_t user, gid_t group) {
  ASSERT_EQ(lchown(root.c_str(), user, group), 0) << root;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    ASSERT_EQ(lchown(entry.path().c_str(), user, group), 0) << entry.path();
  }
}

class PassesEndToEnd : public testing::Test {
 protected:
  RunResult velk(const std::vector<std::string>& operands, RunOptions options = {},
                 int command_exit = 0) {
    std::vector<std::string> words = {velk_};
    words.insert(words.end(), operands.begin(), operands.end());
    options.set_env.push_back({"COMSPEC", recorder_});
    options.set_env.push_back({"VELK_RECORD_LOG", log_path()});
    options.set_env.push_back({"VELK_RECORD_EXIT", std::to_string(command_exit)});
    return run_program(words, options);
  }
  std::string log_path() const { return records_.at("commands.log"); }
  std::vector<std::string> log() const { return read_lines(log_path()); }

  // Gives the trees to nobody and returns the options that run velk as
  // nobody. Root may read everything, so only another user meets entries it
  // may not read.
  RunOptions hand_over_to_nobody() {
    change_owner(dir_.path(), 65534, 65534);
    EXPECT_EQ(chmod(records_.path().c_str(), 0777), 0);
    // The build folder may lie where nobody cannot reach (under /root, say).
    velk_ = records_.at("velk");
    recorder_ = records_.at("record_command");
    fs::copy_file(velk_binary(), velk_);
    fs::copy_file(record_command_binary(), recorder_);
    RunOptions as_nobody;
    as_nobody.command_prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    return as_nobody;
  }

  TempDir dir_;
  TempDir records_;
  std::string velk_ = velk_binary();
  std::string recorder_ = record_command_binary();
};

}  // namespace

// velk's standard output and the recorder share one log, both appending, so
// the log shows the order of events: every copy command before the first
// line of the prune pass, and each "rm dir" line right before its command.
TEST_F(PassesEndToEnd, BothModesFinishCopyingBeforePruning) {
  RunOptions into_log;
  into_log.command_prefix = {"sh", "-c", "exec \"$0\" \"$@\" >>\"$VELK_RECORD_LOG\""};
  auto make_trees = [&](const std::string& bak) {
    write_file(dir_.at("src/a.txt"), "a");
    set_mtime(dir_.at("src/a.txt"), kStamp);
    write_file(dir_.at("src/docs/new.doc"), "n");
    write_file(dir_.at("src/img/pic.png"), "p");
    write_file(bak + "/a.txt", "a");
    set_mtime(bak + "/a.txt", kStamp + 60);
    write_file(bak + "/docs/old.doc", "o");
    write_file(bak + "/old.txt", "o");
    write_file(bak + "/tmp/inner.txt", "i");
  };
  auto prune_lines = [&](const std::string& bak) {
    return in_listing_order(
        bak, {{"old.txt", {"rm file: " + bak + "/old.txt "}},
              {"tmp", {"rm dir: " + bak + "/tmp ", "rmdir \"" + bak + "/tmp\" /S /Q "}},
              {"docs", {"rm file: " + bak + "/docs/old.doc "}}});
  };
  std::string src = dir_.at("src");

  std::string restored = dir_.at("restored");
  make_trees(restored);
  std::vector<std::string> expected =
      in_listing_order(src, {{"a.txt", {file_command(src + "/a.txt", restored)}},
                             {"docs", {file_command(src + "/docs/new.doc", restored + "/docs")}},
                             {"img", {folder_command(src + "/img", restored + "/img")}}});
  std::vector<std::string> pruned = prune_lines(restored);
  expected.insert(expected.end(), pruned.begin(), pruned.end());
  RunResult result = velk({src, restored, "restore"}, into_log);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(log(), expected);

  fs::remove(log_path());
  std::string first = dir_.at("first");
  make_trees(first);
  expected = {"xcopy \"" + src + "\" \"" + first + "\" /F /E /D /C /Y    /H/R/K/O/X/G"};
  pruned = prune_lines(first);
  expected.insert(expected.end(), pruned.begin(), pruned.end());
  result = velk({src, first}, into_log);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(log(), expected);
  EXPECT_FALSE(exists(first + "/old.txt"));
  EXPECT_FALSE(exists(first + "/docs/old.doc"));
}

TEST_F(PassesEndToEnd, AFailedRemovalGivesStatusOne) {
  make_dirs(dir_.at("src"));
  write_file(dir_.at("bak/locked.txt"), "l");
  set_read_only(dir_.at("bak/locked.txt"), true);
  for (bool restore : {false, true}) {
    std::vector<std::string> operands = {dir_.at("src"), dir_.at("bak")};
    if (restore) {
      operands.push_back("restore");
    }
    RunResult result = velk(operands);
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.out, "rm file: " + dir_.at("bak/locked.txt") + " \n");
    EXPECT_EQ(result.err,
              "velk: cannot remove " + dir_.at("bak/locked.txt") + ": Permission denied\n");
    EXPECT_TRUE(exists(dir_.at("bak/locked.txt")));
  }
}

// A source entry that exists but cannot be read must not count as gone: its
// copy is kept and named. Root may read everything, so velk runs as nobody.
TEST_F(PassesEndToEnd, AnUnreadableSourceEntryKeepsItsCopy) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root to run velk as another user";
  }
  write_file(dir_.at("src/secret.txt"), "s");
  write_file(dir_.at("src/sealed/inner.txt"), "i");
  write_file(dir_.at("bak/secret.txt"), "s");
  write_file(dir_.at("bak/sealed/inner.txt"), "i");
  write_file(dir_.at("bak/gone.txt"), "g");
  RunOptions as_nobody = hand_over_to_nobody();
  ASSERT_EQ(chmod(dir_.at("src/secret.txt").c_str(), 0), 0);
  ASSERT_EQ(chmod(dir_.at("src/sealed").c_str(), 0), 0);

  std::string kept_secret = "velk: cannot check " + dir_.at("src/secret.txt") + ", kept " +
                            dir_.at("bak/secret.txt") + "\n";
  std::string kept_inner = "velk: cannot check " + dir_.at("src/sealed/inner.txt") + ", kept " +
                           dir_.at("bak/sealed/inner.txt") + "\n";
  RunResult result = velk({dir_.at("src"), dir_.at("bak")}, as_nobody);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "rm file: " + dir_.at("bak/gone.txt") + " \n");
  EXPECT_NE(result.err.find(kept_secret), std::string::npos) << result.err;
  EXPECT_NE(result.err.find(kept_inner), std::string::npos) << result.err;

  // In restore mode the update pass also meets the folder it cannot list.
  result = velk({dir_.at("src"), dir_.at("bak"), "restore"}, as_nobody);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find("velk: cannot list " + dir_.at("src/sealed") + ": Permission denied\n"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find(kept_secret), std::string::npos) << result.err;
  EXPECT_NE(result.err.find(kept_inner), std::string::npos) << result.err;
  EXPECT_EQ(list_tree(dir_.at("bak")),
            (std::vector<std::string>{"sealed/", "sealed/inner.txt", "secret.txt"}));
}

// A folder that may be read but not searched names its entries, but none of
// them can be examined: each must be tried and its failure named, never
// passed over as if the folder were empty.
TEST_F(PassesEndToEnd, EntriesOfAFolderThatCannotBeSearchedAreNamedNotSkipped) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root to run velk as another user";
  }
  write_file(dir_.at("src/veiled/new.txt"), "n");
  make_dirs(dir_.at("bak/veiled"));
  RunOptions as_nobody = hand_over_to_nobody();
  ASSERT_EQ(chmod(dir_.at("src/veiled").c_str(), 0444), 0);

  RunResult result = velk({dir_.at("src"), dir_.at("bak"), "restore"}, as_nobody, 5);
  EXPECT_EQ(result.exit_code, 1) << result.err;
  EXPECT_EQ(log(), std::vector<std::string>{
                       file_command(dir_.at("src/veiled/new.txt"), dir_.at("bak/veiled"))});
  EXPECT_NE(result.err.find("velk: command failed with exit code 5"), std::string::npos)
      << result.err;
}

// A thousand levels of one-letter folders hold a thousand open listings at
// the bottom, far more than the soft limit of 256 velk is started with.
TEST_F(PassesEndToEnd, ADeepTreeIsWalkedToTheBottomUnderALowOpenFileLimit) {
  constexpr int kLevels = 1000;
  std::string src = dir_.at("s");
  std::string bak = dir_.at("b");
  auto chain = [](int levels) {
    std::string path;
    for (int level = 0; level < levels; ++level) {
      path += kSeparatorText + std::string("d");
    }
    return path;
  };
  std::string bottom = chain(kLevels);
  ASSERT_LE(src.size() + bottom.size() + 2, 2047u) << "the temporary folder's path is too long";
  // One level at a time: create_directories refuses paths this long.
  for (const std::string& root : {src, bak}) {
    make_dirs(root);
    for (int level = 1; level <= kLevels; ++level) {
      ASSERT_EQ(mkdir((root + chain(level)).c_str(), 0755), 0) << level;
    }
  }
  write_file(src + bottom + "/f", "f");  // missing from the copy
  write_file(bak + bottom + "/x", "x");  // gone from the source
  // The deepest level at which a file command, naming both trees, still fits
  // its 2047 characters: below it the command for a missing file is skipped.
  int fitting = static_cast<int>((2047 - 33 - 2 * (src.size() + 2)) / 4);
  std::string middle = chain(fitting);
  write_file(src + middle + "/g", "g");

  RunOptions low_limit;
  low_limit.command_prefix = {"prlimit", "--nofile=256:"};
  RunResult result = velk({src, bak, "restore"}, low_limit);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(log(), std::vector<std::string>{file_command(src + middle + "/g", bak + middle)});
  EXPECT_EQ(result.err, "velk: path too long, skipped: " + src + bottom + "/f\n");
  EXPECT_EQ(result.out, "rm file: " + bak + bottom + "/x \n");
  EXPECT_FALSE(exists(bak + bottom + "/x"));

  // Removed from the bottom up, so that cleaning up holds no listing open per
  // level.
  for (const std::string& root : {src, bak}) {
    for (int level = kLevels; level >= 0; --level) {
      std::string folder = root + chain(level);
      for (const auto& name : listing_order(folder)) {
        fs::remove(folder + kSeparatorText + name);
      }
      fs::remove(folder);
    }
  }
}
