// The prune pass with what only POSIX systems offer a test: symbolic links,
// which are removed as entries of their own and never walked into, and paths
// longer than Windows lets a program use, which meet velk's own limit.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/passes/pass_fixture.h"

namespace {

namespace fs = std::filesystem;

using PrunePass = PassTest;

}  // namespace

TEST_F(PrunePass, LinksAreLeavesRemovedAsLinks) {
  write_file(dir_.at("outside.txt"), "o");
  write_file(dir_.at("elsewhere/precious.txt"), "p");
  auto link = [&](const std::string& to, const std::string& at) {
    fs::create_symlink(dir_.at(to), dir_.at(at));
  };
  make_dirs(dir_.at("bak"));
  // The source lacks these: each link goes, what it points at stays.
  link("outside.txt", "bak/file_link");
  link("elsewhere", "bak/folder_link");
  link("nowhere", "bak/dangling");
  // The source has these names, each as something else or as a link too:
  // they are kept, and the one to a folder is not walked into (it would lose
  // precious.txt, which the source's empty folder lacks).
  link("outside.txt", "bak/kept_file_link");
  write_file(dir_.at("src/kept_file_link"), "f");
  link("elsewhere", "bak/kept_folder_link");
  make_dirs(dir_.at("src/kept_folder_link"));
  link("nowhere", "bak/kept_dangling");
  link("nowhere", "src/kept_dangling");

  std::string expected_out =
      in_listing_order(dir_.at("bak"), {
                                           {"file_link", file_line(dir_.at("bak/file_link"))},
                                           {"folder_link", folder_line(dir_.at("bak/folder_link"))},
                                           {"dangling", file_line(dir_.at("bak/dangling"))},
                                       });
  PassResult result = run_prune(dir_.at("bak"), dir_.at("src"));
  EXPECT_EQ(result.out, expected_out);
  EXPECT_TRUE(result.commands.empty());
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(list_tree(dir_.at("bak")),
            (std::vector<std::string>{"kept_dangling", "kept_file_link", "kept_folder_link"}));
  EXPECT_EQ(read_file(dir_.at("outside.txt")), "o");
  EXPECT_EQ(read_file(dir_.at("elsewhere/precious.txt")), "p");
}

// Only an entry the source is known not to have is removed. A link that
// points at itself exists but cannot be opened or walked through: what it
// stands for cannot be checked, so the copies are kept and named.
TEST_F(PrunePass, EntriesTheSourceCannotCheckAreKeptAndNamed) {
  make_dirs(dir_.at("src"));
  fs::create_symlink(dir_.at("src/loop"), dir_.at("src/loop"));
  fs::create_symlink(dir_.at("src/folder_loop"), dir_.at("src/folder_loop"));
  write_file(dir_.at("bak/loop"), "l");
  write_file(dir_.at("bak/folder_loop/inner"), "i");
  PassResult result = run_prune(dir_.at("bak"), dir_.at("src"));
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(result.commands.empty());
  std::string expected_err = in_listing_order(
      dir_.at("bak"), {{"loop", "velk: cannot check " + dir_.at("src/loop") + ", kept " +
                                    dir_.at("bak/loop") + "\n"},
                       {"folder_loop", "velk: cannot check " + dir_.at("src/folder_loop/inner") +
                                           ", kept " + dir_.at("bak/folder_loop/inner") + "\n"}});
  EXPECT_EQ(result.err, expected_err);
  EXPECT_EQ(list_tree(dir_.at("bak")),
            (std::vector<std::string>{"folder_loop/", "folder_loop/inner", "loop"}));
}

TEST_F(PrunePass, EntriesThatWouldNotFitAreSkippedNamedAndKept) {
  std::string src = dir_.at("src");
  std::string bak = dir_.at("bak");
  std::string sep = kSeparatorText;
  auto in_both = [&](const std::string& name, size_t length) {
    std::string path = path_of_length(bak + sep + name, length);
    make_dirs(path);
    make_dirs(src + path.substr(bak.size()));
    return path;
  };
  // Below a folder of 2040 characters, "too_long.txt" does not fit a path.
  std::string deep = in_both("deep", 2040);
  write_file(deep + sep + "too_long.txt", "t");
  // A folder of 2046 characters that both trees have cannot be listed: its
  // search pattern would not fit.
  std::string wide = in_both("wide", 2046);
  write_file(wide + sep + "x", "x");
  // An extra folder whose removal command would not fit.
  std::string big = path_of_length(in_both("big", 1900), 2040);
  make_dirs(big);
  // The pass goes on with everything else.
  write_file(bak + sep + "extra.txt", "e");
  make_dirs(src);

  PassResult result = run_prune(bak, src);
  EXPECT_EQ(result.out, file_line(bak + sep + "extra.txt"));
  EXPECT_TRUE(result.commands.empty());
  for (const std::string& skipped : {deep + sep + "too_long.txt", wide, big}) {
    EXPECT_NE(result.err.find("velk: path too long, skipped: " + skipped + "\n"), std::string::npos)
        << skipped << "\n"
        << result.err;
  }
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 3) << result.err;
  EXPECT_TRUE(exists(deep + sep + "too_long.txt"));
  EXPECT_TRUE(exists(wide + sep + "x"));
  EXPECT_TRUE(exists(big));
}
