#pragma once

// Shared by the end-to-end tests: the real velk binary on real temporary
// trees, with a recording stand-in for the command interpreter.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_tree.h"

// The usage text as velk prints it, with a line feed after each line.
std::string expected_usage();

// Runs velk with a recording interpreter; the commands it ran are in log().
class VelkRun : public testing::Test {
 protected:
  RunResult velk(std::vector<std::string> operands, int command_exit = 0, RunOptions options = {});
  std::string log_path() const { return records_.at("commands.log"); }
  std::vector<std::string> log() const { return read_lines(log_path()); }

  TempDir dir_;
  TempDir records_;
};
