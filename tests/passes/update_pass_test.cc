// The update pass on real trees: which commands it runs, in which order, with
// which exact texts.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/passes/pass_fixture.h"

namespace {

constexpr time_t kStamp = 1624000000;  // an even second, inside the DOS range

void write_stamped(const std::string& path, const std::string& contents, time_t when) {
  write_file(path, contents);
  set_mtime(path, when);
}

using UpdatePass = PassTest;

}  // namespace

TEST_F(UpdatePass, WorkedExample) {
  std::string src = dir_.at("src");
  std::string bak = dir_.at("bak");
  write_stamped(dir_.at("src/a.txt"), "alpha", kStamp);
  write_stamped(dir_.at("src/b.txt"), "beta", kStamp);
  write_file(dir_.at("src/docs/new.doc"), "new");
  write_file(dir_.at("src/img/pic.png"), "pic");
  write_stamped(dir_.at("bak/a.txt"), "alpha", kStamp + 60);
  write_stamped(dir_.at("bak/b.txt"), "beta", kStamp);
  make_dirs(dir_.at("bak/docs"));

  std::map<std::string, std::string> command_for = {
      {"a.txt", file_command(dir_.at("src/a.txt"), bak)},
      {"docs", file_command(dir_.at("src/docs/new.doc"), dir_.at("bak/docs"))},
      {"img", folder_command(dir_.at("src/img"), dir_.at("bak/img"))},
  };
  std::vector<std::string> expected;
  for (const auto& name : listing_order(src)) {
    if (command_for.count(name) != 0) {
      expected.push_back(command_for[name]);
    }
  }
  PassResult result = run_update(src, bak);
  EXPECT_EQ(result.commands, expected);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
}

TEST_F(UpdatePass, CopiesAFileOnlyWhenItsStampOrLengthDiffers) {
  constexpr time_t k1979 = 300000000;  // before 1980: the file has no stamp
  struct Case {
    const char* name;
    const char* source;
    time_t source_time;
    const char* target;  // nullptr: the target has no copy
    time_t target_time;
    bool copied;
  } cases[] = {
      {"stamp_only", "same", kStamp, "same", kStamp + 2, true},
      {"length_only", "same", kStamp, "same!", kStamp, true},
      {"contents_only", "abcd", kStamp, "wxyz", kStamp, false},
      {"same_step", "abcd", kStamp, "abcd", kStamp + 1, false},
      {"before_1980", "old", k1979, "old", k1979, true},
      {"missing", "new", kStamp, nullptr, 0, true},
      {".hidden_missing", "h", kStamp, nullptr, 0, true},
      {".hidden_same", "h", kStamp, "h", kStamp, false},
  };
  std::map<std::string, bool> copied;
  for (const auto& c : cases) {
    write_stamped(dir_.at("src/") + c.name, c.source, c.source_time);
    if (c.target != nullptr) {
      write_stamped(dir_.at("bak/") + c.name, c.target, c.target_time);
    }
    copied[c.name] = c.copied;
  }
  std::vector<std::string> expected;
  for (const auto& name : listing_order(dir_.at("src"))) {
    if (copied[name]) {
      expected.push_back(file_command(dir_.at("src/") + name, dir_.at("bak")));
    }
  }
  PassResult result = run_update(dir_.at("src"), dir_.at("bak"));
  EXPECT_EQ(result.commands, expected);
  EXPECT_EQ(result.err, "");
}

TEST_F(UpdatePass, HiddenFoldersAreListedAndCopiedLikeOthers) {
  write_file(dir_.at("src/.config/settings"), "s");
  write_file(dir_.at("src/.git/HEAD"), "ref");
  make_dirs(dir_.at("bak/.git"));
  std::map<std::string, std::string> command_for = {
      {".config", folder_command(dir_.at("src/.config"), dir_.at("bak/.config"))},
      {".git", file_command(dir_.at("src/.git/HEAD"), dir_.at("bak/.git"))},
  };
  std::vector<std::string> expected;
  for (const auto& name : listing_order(dir_.at("src"))) {
    expected.push_back(command_for[name]);
  }
  EXPECT_EQ(run_update(dir_.at("src"), dir_.at("bak")).commands, expected);
}

TEST_F(UpdatePass, AnEmptyFolderRunsNothing) {
  make_dirs(dir_.at("src"));
  make_dirs(dir_.at("bak"));
  PassResult result = run_update(dir_.at("src"), dir_.at("bak"));
  EXPECT_TRUE(result.commands.empty());
  EXPECT_EQ(result.err, "");
}

// "." and ".." are never probed: were they, "." would count as a folder both
// trees have and the pass would descend into it again and again.
TEST_F(UpdatePass, AnOperandEndingWithTheSeparatorDoublesItEverywhere) {
  write_file(dir_.at("src/a.txt"), "a");
  write_file(dir_.at("src/both/b.txt"), "b");
  write_file(dir_.at("src/sub/c.txt"), "c");
  make_dirs(dir_.at("bak/both"));
  std::string src = dir_.at("src") + kSeparatorText;
  std::string bak = dir_.at("bak") + kSeparatorText;
  std::string sep = kSeparatorText;
  std::map<std::string, std::string> command_for = {
      {"a.txt", file_command(src + sep + "a.txt", bak)},
      {"both", file_command(src + sep + "both" + sep + "b.txt", bak + sep + "both")},
      {"sub", folder_command(src + sep + "sub", bak + sep + "sub")},
  };
  std::vector<std::string> expected;
  for (const auto& name : listing_order(dir_.at("src"))) {
    expected.push_back(command_for[name]);
  }
  PassResult result = run_update(src, bak);
  EXPECT_EQ(result.commands, expected);
  EXPECT_EQ(result.err, "");
}

TEST_F(UpdatePass, AFileAndAFolderOfTheSameName) {
  // The source has a folder where the target has a file: the pass descends,
  // and the file below gets the target's name, with a separator, as its folder.
  write_file(dir_.at("src/was_file/inner.txt"), "i");
  write_file(dir_.at("bak/was_file"), "f");
  // The source has a file where the target has a folder: a folder never
  // matches a file, so the file command runs.
  write_file(dir_.at("src/was_folder"), "f");
  make_dirs(dir_.at("bak/was_folder"));
  std::map<std::string, std::string> command_for = {
      {"was_file", file_command(dir_.at("src/was_file/inner.txt"), dir_.at("bak/was_file"))},
      {"was_folder", file_command(dir_.at("src/was_folder"), dir_.at("bak"))},
  };
  std::vector<std::string> expected;
  for (const auto& name : listing_order(dir_.at("src"))) {
    expected.push_back(command_for[name]);
  }
  EXPECT_EQ(run_update(dir_.at("src"), dir_.at("bak")).commands, expected);
}
