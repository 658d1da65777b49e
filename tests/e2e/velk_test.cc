// The real velk binary on real temporary trees, with a recording stand-in for
// the command interpreter.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/e2e/velk_run.h"

TEST_F(VelkRun, WrongNumberOfOperandsGivesTheUsageAndCreatesNothing) {
  ASSERT_EQ(expected_usage().size(), 559u);
  for (const auto& operands : std::vector<std::vector<std::string>>{
           {}, {dir_.at("a")}, {dir_.at("a"), dir_.at("b"), "restore", "x"}}) {
    RunResult result = velk(operands);
    EXPECT_EQ(result.exit_code, kRefusedExitCode);
    EXPECT_EQ(result.out, console_text(expected_usage()));
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(list_tree(dir_.path()).empty());
    EXPECT_TRUE(log().empty());
  }
}

TEST_F(VelkRun, WrongKeywordCreatesTheTargetAndRunsNothing) {
  make_dirs(dir_.at("src"));
  write_file(dir_.at("bak/old.txt"), "x");
  for (const char* keyword : {"Restore", "RESTORE", "restore ", ""}) {
    RunResult result = velk({dir_.at("src"), dir_.at("new/bak"), keyword});
    EXPECT_EQ(result.exit_code, kRefusedExitCode);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "error in  arg");
    EXPECT_TRUE(exists(dir_.at("new/bak")));
  }
  EXPECT_TRUE(log().empty());
}

TEST_F(VelkRun, CreatesEveryMissingParentOfTheTarget) {
  make_dirs(dir_.at("src"));
  for (bool restore : {false, true}) {
    std::string target = dir_.at(restore ? "r/x/y/z" : "b/x/y/z");
    std::vector<std::string> operands = {dir_.at("src"), target};
    if (restore) {
      operands.push_back("restore");
    }
    RunResult result = velk(operands);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_TRUE(exists(target));
  }
}

TEST_F(VelkRun, FirstBackupRunsTheWholeTreeCommandThenPrunes) {
  write_file(dir_.at("src/a.txt"), "a");
  write_file(dir_.at("bak/a.txt"), "a");
  write_file(dir_.at("bak/old.txt"), "old");
  RunResult result = velk({dir_.at("src"), dir_.at("bak")});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(log(), std::vector<std::string>{"xcopy \"" + dir_.at("src") + "\" \"" + dir_.at("bak") +
                                            "\" /F /E /D /C /Y    /H/R/K/O/X/G"});
  EXPECT_EQ(result.out, console_text("rm file: " + dir_.at("bak/old.txt") + " \n"));
  EXPECT_EQ(list_tree(dir_.at("bak")), std::vector<std::string>{"a.txt"});
}

TEST_F(VelkRun, AFailedCommandIsNamedAndGivesStatusOne) {
  make_dirs(dir_.at("src"));
  RunResult result = velk({dir_.at("src"), dir_.at("bak")}, 4);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("velk: command failed with exit code 4: xcopy"), std::string::npos)
      << result.err;
  // xcopy's 1 says only that nothing needed copying.
  result = velk({dir_.at("src"), dir_.at("bak")}, 1);
  EXPECT_EQ(result.exit_code, 0) << result.err;
}

TEST_F(VelkRun, RefusesAMissingOrUnreadableSourceBeforeCreatingAnything) {
  write_file(dir_.at("bak/precious"), "x");
  write_file(dir_.at("file"), "x");
  for (const std::string& source : {dir_.at("missing"), dir_.at("file")}) {
    RunResult result = velk({source, dir_.at("bak")});
    EXPECT_EQ(result.exit_code, kRefusedExitCode);
    EXPECT_EQ(result.err, console_text("velk: cannot read source folder: " + source + "\n"));
    EXPECT_EQ(result.out, "");
    result = velk({source, dir_.at("new"), "restore"});
    EXPECT_EQ(result.exit_code, kRefusedExitCode);
    EXPECT_FALSE(exists(dir_.at("new")));
  }
  EXPECT_TRUE(exists(dir_.at("bak/precious")));
  EXPECT_TRUE(log().empty());
}

TEST_F(VelkRun, RefusesOverlappingOperands) {
  write_file(dir_.at("src/keep.txt"), "x");
  write_file(dir_.at("src/inner/keep.txt"), "x");
  struct Case {
    std::string from, to;
  } cases[] = {
      {dir_.at("src"), dir_.at("src")},
      {dir_.at("src"), dir_.at("src/inner")},
      {dir_.at("src/inner"), dir_.at("src")},
      {dir_.at("src"), dir_.at("src") + kSeparatorText},
  };
  for (const auto& c : cases) {
    RunResult result = velk({c.from, c.to, "restore"});
    EXPECT_EQ(result.exit_code, kRefusedExitCode) << c.from << " " << c.to;
    EXPECT_EQ(result.err,
              console_text("velk: source and target overlap: " + c.from + " " + c.to + "\n"));
  }
  EXPECT_TRUE(exists(dir_.at("src/keep.txt")));
  EXPECT_TRUE(exists(dir_.at("src/inner/keep.txt")));
  EXPECT_TRUE(log().empty());
}

TEST_F(VelkRun, RefusesOperandsThatDoNotFitTheirBuffers) {
  make_dirs(dir_.at("src"));
  std::string long_target = dir_.at(std::string(2047 - dir_.path().size(), 'x'));
  ASSERT_EQ(long_target.size(), 2048u);
  RunResult result = velk({dir_.at("src"), long_target, "restore"});
  EXPECT_EQ(result.exit_code, kRefusedExitCode);
  EXPECT_EQ(result.err, console_text("velk: path too long: " + long_target + "\n"));

  std::string huge_word(5000, 'w');
  result = velk({dir_.at("src"), huge_word});
  EXPECT_EQ(result.exit_code, kRefusedExitCode);
  EXPECT_EQ(result.err, console_text("velk: path too long: " + huge_word + "\n"));
  EXPECT_TRUE(log().empty());
}
