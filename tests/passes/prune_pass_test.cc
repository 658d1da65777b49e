// The prune pass on real trees: what it prints, removes, keeps and reports.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/passes/pass_fixture.h"
#include "tests/support/system_errors.h"

namespace {

using PrunePass = PassTest;

}  // namespace

TEST_F(PrunePass, WorkedExample) {
  std::string bak = dir_.at("bak");
  write_file(dir_.at("src/keep.txt"), "k");
  write_file(dir_.at("src/docs/keep.doc"), "k");
  write_file(dir_.at("bak/keep.txt"), "k");
  write_file(dir_.at("bak/old.txt"), "o");
  write_file(dir_.at("bak/tmp/inner.txt"), "i");
  write_file(dir_.at("bak/docs/keep.doc"), "k");
  write_file(dir_.at("bak/docs/gone.doc"), "g");

  std::string expected_out =
      in_listing_order(bak, {
                                {"old.txt", file_line(dir_.at("bak/old.txt"))},
                                {"tmp", folder_line(dir_.at("bak/tmp"))},
                                {"docs", file_line(dir_.at("bak/docs/gone.doc"))},
                            });
  PassResult result = run_prune(bak, dir_.at("src"));
  EXPECT_EQ(result.out, expected_out);
  EXPECT_EQ(result.commands, std::vector<std::string>{remove_command(dir_.at("bak/tmp"))});
  EXPECT_EQ(result.err, "");
  // The folder is the command's to remove; the recorder leaves it.
  EXPECT_EQ(list_tree(bak), (std::vector<std::string>{"docs/", "docs/keep.doc", "keep.txt", "tmp/",
                                                      "tmp/inner.txt"}));
}

TEST_F(PrunePass, NothingHappensWhenEveryEntryHasItsCounterpart) {
  for (const char* path : {"keep.txt", ".hidden", "sub/deeper/file", "read_only"}) {
    write_file(dir_.at("src/") + path, "x");
    write_file(dir_.at("bak/") + path, "x");
  }
  set_read_only(dir_.at("src/read_only"), true);  // still readable
  make_dirs(dir_.at("src/empty"));
  make_dirs(dir_.at("bak/empty"));
  std::vector<std::string> before = list_tree(dir_.at("bak"));
  PassResult result = run_prune(dir_.at("bak"), dir_.at("src"));
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(result.commands.empty());
  EXPECT_EQ(list_tree(dir_.at("bak")), before);
}

// "." and ".." are never probed: were they, ".." would be a folder the source
// has, and the pass would walk up out of the target.
TEST_F(PrunePass, HiddenEntriesAndAnOperandEndingWithTheSeparator) {
  make_dirs(dir_.at("src"));
  write_file(dir_.at("bak/.old"), "o");
  write_file(dir_.at("bak/.cache/blob"), "b");
  std::string bak = dir_.at("bak") + kSeparatorText;
  std::string src = dir_.at("src") + kSeparatorText;
  std::string sep = kSeparatorText;
  std::string expected_out =
      in_listing_order(dir_.at("bak"), {
                                           {".old", file_line(bak + sep + ".old")},
                                           {".cache", folder_line(bak + sep + ".cache")},
                                       });
  PassResult result = run_prune(bak, src);
  EXPECT_EQ(result.out, expected_out);
  EXPECT_EQ(result.commands, std::vector<std::string>{remove_command(bak + sep + ".cache")});
  EXPECT_FALSE(exists(dir_.at("bak/.old")));
  EXPECT_EQ(result.err, "");
}

TEST_F(PrunePass, AFileAndAFolderOfTheSameName) {
  // The target has a folder where the source has a file: the pass descends
  // and removes everything inside, but the folder stays.
  write_file(dir_.at("src/x"), "file");
  write_file(dir_.at("bak/x/a"), "a");
  // The target has a file where the source has a folder: the file goes.
  make_dirs(dir_.at("src/y"));
  write_file(dir_.at("bak/y"), "file");
  std::string expected_out =
      in_listing_order(dir_.at("bak"), {
                                           {"x", file_line(dir_.at("bak/x/a"))},
                                           {"y", file_line(dir_.at("bak/y"))},
                                       });
  PassResult result = run_prune(dir_.at("bak"), dir_.at("src"));
  EXPECT_EQ(result.out, expected_out);
  EXPECT_TRUE(result.commands.empty());
  EXPECT_EQ(list_tree(dir_.at("bak")), std::vector<std::string>{"x/"});
}

TEST_F(PrunePass, AReadOnlyExtraFileIsNamedKeptAndReported) {
  make_dirs(dir_.at("src"));
  write_file(dir_.at("bak/locked.txt"), "l");
  write_file(dir_.at("bak/other.txt"), "o");
  set_read_only(dir_.at("bak/locked.txt"), true);
  std::string expected_out =
      in_listing_order(dir_.at("bak"), {
                                           {"locked.txt", file_line(dir_.at("bak/locked.txt"))},
                                           {"other.txt", file_line(dir_.at("bak/other.txt"))},
                                       });
  PassResult result = run_prune(dir_.at("bak"), dir_.at("src"));
  EXPECT_EQ(result.out, expected_out);
  EXPECT_EQ(result.err, "velk: cannot remove " + dir_.at("bak/locked.txt") + ": " +
                            access_denied_text() + "\n");
  EXPECT_EQ(list_tree(dir_.at("bak")), std::vector<std::string>{"locked.txt"});
}

// rmdir ends with 1 when it could not remove the folder; unlike xcopy's 1
// ("nothing to copy") that is a failure.
TEST_F(PrunePass, AFolderRemovalThatFailsIsReported) {
  make_dirs(dir_.at("src"));
  make_dirs(dir_.at("bak/tmp"));
  set_env("VELK_RECORD_EXIT", "1");
  PassResult result = run_prune(dir_.at("bak"), dir_.at("src"));
  EXPECT_EQ(result.out, "rm dir: " + dir_.at("bak/tmp") + " \n");
  EXPECT_EQ(result.err,
            "velk: command failed with exit code 1: " + remove_command(dir_.at("bak/tmp")) + "\n");
}
