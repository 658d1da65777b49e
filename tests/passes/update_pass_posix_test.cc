// The update pass with what only POSIX systems offer a test: symbolic links,
// which it never walks through in either tree, and paths longer than Windows
// lets a program use, which meet velk's own limit.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/passes/pass_fixture.h"

namespace {

using UpdatePass = PassTest;

}  // namespace

TEST_F(UpdatePass, NeverDescendsIntoALink) {
  namespace fs = std::filesystem;
  write_file(dir_.at("elsewhere/outside.txt"), "o");
  make_dirs(dir_.at("victim"));
  make_dirs(dir_.at("src"));
  // A source link whose target counterpart exists is not descended into:
  // outside.txt would otherwise get a command.
  fs::create_directory_symlink(dir_.at("elsewhere"), dir_.at("src/linked"));
  make_dirs(dir_.at("bak/linked"));
  // A source link the target lacks is copied as one folder.
  fs::create_directory_symlink(dir_.at("elsewhere"), dir_.at("src/new_link"));
  // A target link where the source has a real folder is not followed: the
  // copy of inside.txt would land in whatever the link points to.
  write_file(dir_.at("src/data/inside.txt"), "i");
  fs::create_directory_symlink(dir_.at("victim"), dir_.at("bak/data"));

  PassResult result = run_update(dir_.at("src"), dir_.at("bak"));
  EXPECT_EQ(result.commands, std::vector<std::string>{
                                 folder_command(dir_.at("src/new_link"), dir_.at("bak/new_link"))});
  EXPECT_EQ(result.err, "velk: cannot copy " + dir_.at("src/data") + ": " + dir_.at("bak/data") +
                            " is a link\n");
  EXPECT_TRUE(list_tree(dir_.at("victim")).empty());
}

TEST_F(UpdatePass, EntriesThatWouldNotFitAreSkippedAndNamed) {
  std::string src = dir_.at("src");
  std::string bak = dir_.at("bak");
  std::string sep = kSeparatorText;
  // Below a folder of 2040 characters, "a" still fits every path but not a
  // command naming both trees; "too_long.txt" does not fit a path at all.
  std::string deep = path_of_length(src + sep + "deep", 2040);
  std::string deep_relative = deep.substr(src.size());
  write_file(deep + sep + "a", "a");
  write_file(deep + sep + "too_long.txt", "t");
  make_dirs(bak + deep_relative);
  // A folder of 2046 characters that both trees have cannot be listed: its
  // search pattern would not fit.
  std::string wide = path_of_length(src + sep + "wide", 2046);
  write_file(wide + sep + "x", "x");
  make_dirs(bak + wide.substr(src.size()));
  // A folder whose copy command would not fit.
  std::string big = path_of_length(src + sep + "big", 1100);
  write_file(big + sep + "y", "y");
  make_dirs(bak + big.substr(src.size()));
  std::filesystem::remove(bak + big.substr(src.size()));
  // The pass goes on with everything else.
  write_file(src + sep + "fine.txt", "f");

  PassResult result = run_update(src, bak);
  EXPECT_EQ(result.commands, std::vector<std::string>{file_command(src + sep + "fine.txt", bak)});
  for (const std::string& skipped : {deep + sep + "a", deep + sep + "too_long.txt", wide, big}) {
    EXPECT_NE(result.err.find("velk: path too long, skipped: " + skipped + "\n"), std::string::npos)
        << skipped << "\n"
        << result.err;
  }
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 4) << result.err;
}
