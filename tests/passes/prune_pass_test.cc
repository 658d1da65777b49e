// The prune pass on real trees: what it prints, removes, keeps and reports.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/passes/pass_fixture.h"

namespace {

namespace fs = std::filesystem;

std::string file_line(const std::string& path) {
  return "rm file: " + path + " \n";
}
std::string folder_line(const std::string& path) {
  return "rm dir: " + path + " \n";
}
std::string remove_command(const std::string& path) {
  return "rmdir \"" + path + "\" /S /Q ";
}

// The lines expected for the entries of `folder`, joined in listing order.
std::string in_listing_order(const std::string& folder,
                             std::map<std::string, std::string> line_for) {
  std::string text;
  for (const auto& name : listing_order(folder)) {
    text += line_for[name];
  }
  return text;
}

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
  EXPECT_EQ(result.err,
            "velk: cannot remove " + dir_.at("bak/locked.txt") + ": Permission denied\n");
  EXPECT_EQ(list_tree(dir_.at("bak")), std::vector<std::string>{"locked.txt"});
}

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
