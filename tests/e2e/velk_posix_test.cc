// End-to-end cases that need what only POSIX systems let a test make freely.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/velk_run.h"

TEST_F(VelkRun, RefusesATargetThatReachesIntoTheSourceThroughALink) {
  write_file(dir_.at("src/inner/keep.txt"), "x");
  std::filesystem::create_directory_symlink(dir_.at("src"), dir_.at("alias"));
  RunResult result = velk({dir_.at("src"), dir_.at("alias/inner/new"), "restore"});
  EXPECT_EQ(result.exit_code, kRefusedExitCode);
  EXPECT_EQ(result.err, "velk: source and target overlap: " + dir_.at("src") + " " +
                            dir_.at("alias/inner/new") + "\n");
  EXPECT_TRUE(exists(dir_.at("src/inner/keep.txt")));
  EXPECT_TRUE(log().empty());
}
