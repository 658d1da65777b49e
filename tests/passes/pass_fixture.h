#pragma once

// Runs a pass in-process on real temporary trees, with a recording stand-in
// for the command interpreter, and collects what it printed and ran.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/workspace.h"
#include "passes/prune_pass.h"
#include "passes/update_pass.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/text.h"
#include "tests/support/environment.h"
#include "tests/support/held_resources.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_tree.h"

struct PassResult {
  std::string out;
  std::string err;
  std::vector<std::string> commands;  // in the order they ran
};

// `path` lengthened by folder names of at most 200 characters to exactly
// `length` characters (at least two more than it has).
inline std::string path_of_length(std::string path, size_t length) {
  while (length - path.size() > 201) {
    size_t chunk = std::min<size_t>(201, length - path.size() - 2);
    path += kSeparatorText + std::string(chunk - 1, 'p');
  }
  path += kSeparatorText + std::string(length - path.size() - 1, 'q');
  return path;
}

// What the prune pass prints for each entry it removes, and the command it
// runs for a folder.
inline std::string file_line(const std::string& path) {
  return "rm file: " + path + " \n";
}
inline std::string folder_line(const std::string& path) {
  return "rm dir: " + path + " \n";
}
inline std::string remove_command(const std::string& path) {
  return "rmdir \"" + path + "\" /S /Q ";
}

// The lines expected for the entries of `folder`, joined in listing order.
inline std::string in_listing_order(const std::string& folder,
                                    std::map<std::string, std::string> line_for) {
  std::string text;
  for (const auto& name : listing_order(folder)) {
    text += line_for[name];
  }
  return text;
}

// The commands the update pass runs for a file and for a folder.
inline std::string file_command(const std::string& source, const std::string& target_folder) {
  return "xcopy /F/E/C/Y/H/R/K/O/X/G \"" + source + "\" \"" + target_folder + kSeparatorText + "\"";
}

inline std::string folder_command(const std::string& source, const std::string& target) {
  return "xcopy /I/F/E/C/Y/H/R/K/O/X/G \"" + source + "\" \"" + target + "\" ";
}

class PassTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_comspec_ = get_env("COMSPEC");
    set_env("COMSPEC", record_command_binary());
    set_env("VELK_RECORD_LOG", log_path());
    unset_env("VELK_RECORD_EXIT");
  }

  void TearDown() override {
    if (saved_comspec_) {
      set_env("COMSPEC", *saved_comspec_);
    } else {
      unset_env("COMSPEC");
    }
    unset_env("VELK_RECORD_LOG");
    unset_env("VELK_RECORD_EXIT");
  }

  // The pass gets the real working buffers, as run control hands them over,
  // and must give them back holding the operands, with no listing or file
  // left open.
  PassResult run_update(const std::string& source, const std::string& target) {
    return run_pass(source, target, [] { update_tree(from_path, to_path); });
  }
  PassResult run_prune(const std::string& target, const std::string& source) {
    return run_pass(source, target, [] { prune_tree(to_path, from_path); });
  }

  std::string log_path() const { return records_.at("commands.log"); }

  TempDir dir_;

 private:
  template <typename Pass>
  PassResult run_pass(const std::string& source, const std::string& target, Pass pass) {
    std::filesystem::remove(log_path());
    EXPECT_TRUE(text_copy(from_path, sizeof from_path, source.c_str()));
    EXPECT_TRUE(text_copy(to_path, sizeof to_path, target.c_str()));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    // Looked at while the streams stay captured: starting and ending a
    // capture opens and closes handles of its own.
    std::string held_before = held_resources();
    pass();
    flush_output();
    std::string held_after = held_resources();
    PassResult result;
    // Read back as text: on Windows, the CR LF the console writes comes
    // back as a line feed.
    result.out = testing::internal::GetCapturedStdout();
    result.err = testing::internal::GetCapturedStderr();
    result.commands = read_lines(log_path());
    EXPECT_EQ(std::string(from_path), source);
    EXPECT_EQ(std::string(to_path), target);
    EXPECT_EQ(held_after, held_before);
    return result;
  }

  TempDir records_;
  std::optional<std::string> saved_comspec_;
};
