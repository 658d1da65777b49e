// velk.exe as Windows runs it: text-mode output, the 32-bit exit code, the
// command lines exactly as the interpreter receives them, the interpreter
// search, and the attributes only Windows has.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/velk_run.h"

namespace {

constexpr time_t kStamp = 1624000000;  // an even second, inside the DOS range
constexpr char kFileCommand[] = "xcopy /F/E/C/Y/H/R/K/O/X/G ";
constexpr char kFolderCommand[] = "xcopy /I/F/E/C/Y/H/R/K/O/X/G ";

std::string in_quotes(const std::string& text) {
  return "\"" + text + "\"";
}

void add_attributes(const std::string& path, DWORD bits) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << path;
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes | bits)) << path;
}

std::string short_path(const std::string& path) {
  char buffer[MAX_PATH * 4];
  DWORD length = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
  return length > 0 && length < sizeof buffer ? buffer : path;
}

std::vector<std::string> sorted(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The lines of a console text, which must all end with CR LF.
std::vector<std::string> console_lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "not ended with CR LF: " << text;
  return lines;
}

}  // namespace

TEST_F(VelkRun, RefusalIsTheExitCode4294967295AndTheUsageEndsItsLinesWithCrLf) {
  RunResult result = velk({});
  EXPECT_EQ(static_cast<uint32_t>(result.exit_code), 4294967295u);
  EXPECT_EQ(console_lines(result.out).size(), 11u);
  EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 11);
}

TEST_F(VelkRun, SplitsItsOwnCommandLine) {
  if (dir_.path().find_first_of(" \t") != std::string::npos) {
    GTEST_SKIP() << "the words must reach the command line unquoted";
  }
  make_dirs(dir_.at("mysrc"));
  // On the command line: \"<dir>\my src\" <bak>. The escaped quotes open and
  // close a joined argument, whose two words are joined without the blank.
  RunResult result = velk({"\\\"" + dir_.at("my"), "src\\\"", dir_.at("bak")});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(log(), std::vector<std::string>{"xcopy " + in_quotes(dir_.at("mysrc")) + " " +
                                            in_quotes(dir_.at("bak")) +
                                            " /F /E /D /C /Y    /H/R/K/O/X/G"});
}

TEST_F(VelkRun, RestoreRunHandsTheInterpreterTheExactCommands) {
  std::string src = dir_.at("my src");
  std::string bak = dir_.at("my bak");
  write_file(src + "\\a.txt", "new file");
  write_file(src + "\\docs\\changed.txt", "newer");
  write_file(bak + "\\docs\\changed.txt", "older");
  set_mtime(src + "\\docs\\changed.txt", kStamp + 60);
  set_mtime(bak + "\\docs\\changed.txt", kStamp);
  write_file(src + "\\docs\\same.txt", "same");
  write_file(bak + "\\docs\\same.txt", "same");
  set_mtime(src + "\\docs\\same.txt", kStamp);
  set_mtime(bak + "\\docs\\same.txt", kStamp);
  write_file(src + "\\img\\x.png", "x");
  write_file(bak + "\\old.txt", "old");
  make_dirs(bak + "\\olddir\\deeper");

  RunResult result = velk({src, bak, "restore"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err, "");
  // The file command names the target folder, its closing quote right after
  // the backslash; the folder command and rmdir end with a blank.
  EXPECT_EQ(sorted(log()),
            sorted({
                kFileCommand + in_quotes(src + "\\a.txt") + " \"" + bak + "\\\"",
                kFileCommand + in_quotes(src + "\\docs\\changed.txt") + " \"" + bak + "\\docs\\\"",
                kFolderCommand + in_quotes(src + "\\img") + " " + in_quotes(bak + "\\img") + " ",
                "rmdir " + in_quotes(bak + "\\olddir") + " /S /Q ",
            }));
  EXPECT_EQ(sorted(console_lines(result.out)),
            sorted({"rm file: " + bak + "\\old.txt ", "rm dir: " + bak + "\\olddir "}));
  EXPECT_FALSE(exists(bak + "\\old.txt"));
}

TEST_F(VelkRun, HiddenAndSystemEntriesAreCopiedAndPrunedLikeAnyOther) {
  std::string src = dir_.at("src");
  std::string bak = dir_.at("bak");
  write_file(src + "\\hidden.txt", "h");
  write_file(src + "\\system\\inside.txt", "s");
  write_file(bak + "\\gone.txt", "g");
  write_file(bak + "\\gone_dir\\inside.txt", "g");
  add_attributes(src + "\\hidden.txt", FILE_ATTRIBUTE_HIDDEN);
  add_attributes(src + "\\system", FILE_ATTRIBUTE_SYSTEM);
  add_attributes(bak + "\\gone.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  add_attributes(bak + "\\gone_dir", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

  RunResult result = velk({src, bak, "restore"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(
      sorted(log()),
      sorted({
          kFileCommand + in_quotes(src + "\\hidden.txt") + " \"" + bak + "\\\"",
          kFolderCommand + in_quotes(src + "\\system") + " " + in_quotes(bak + "\\system") + " ",
          "rmdir " + in_quotes(bak + "\\gone_dir") + " /S /Q ",
      }));
  EXPECT_EQ(sorted(console_lines(result.out)),
            sorted({"rm file: " + bak + "\\gone.txt ", "rm dir: " + bak + "\\gone_dir "}));
  EXPECT_FALSE(exists(bak + "\\gone.txt"));
}

TEST_F(VelkRun, StampsWithinOneTwoSecondStepMatch) {
  std::string src = dir_.at("src");
  std::string bak = dir_.at("bak");
  for (const char* name : {"within.txt", "next.txt"}) {
    write_file(src + "\\" + name, "same length");
    write_file(bak + "\\" + name, "same length");
    set_mtime(src + "\\" + name, kStamp);
  }
  set_mtime(bak + "\\within.txt", kStamp + 1);
  set_mtime(bak + "\\next.txt", kStamp + 2);

  RunResult result = velk({src, bak, "restore"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(log(), std::vector<std::string>{kFileCommand + in_quotes(src + "\\next.txt") + " \"" +
                                            bak + "\\\""});
}

TEST_F(VelkRun, AReadOnlyExtraFileIsNamedKeptAndGivesStatusOne) {
  make_dirs(dir_.at("src"));
  std::string locked = dir_.at("bak\\locked.txt");
  write_file(locked, "x");
  set_read_only(locked, true);

  RunResult result = velk({dir_.at("src"), dir_.at("bak"), "restore"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "rm file: " + locked + " \r\n");
  std::vector<std::string> errors = console_lines(result.err);
  ASSERT_EQ(errors.size(), 1u) << result.err;
  EXPECT_EQ(errors[0].rfind("velk: cannot remove " + locked + ": ", 0), 0u) << errors[0];
  EXPECT_TRUE(exists(locked));
}

TEST_F(VelkRun, PendingOutputIsWrittenBeforeEachCommandStarts) {
  make_dirs(dir_.at("src"));
  make_dirs(dir_.at("bak\\first"));
  make_dirs(dir_.at("bak\\second"));
  RunOptions options;
  options.set_env = {{"VELK_RECORD_ECHO", "1"}};
  RunResult result = velk({dir_.at("src"), dir_.at("bak"), "restore"}, 0, options);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  // Standard output is a file here, so velk buffers it: each line must still
  // come before the output of the command it announces.
  std::vector<std::string> lines = console_lines(result.out);
  ASSERT_EQ(lines.size(), 4u) << result.out;
  for (size_t at = 0; at < lines.size(); at += 2) {
    std::string folder = lines[at].substr(std::string("rm dir: ").size());
    folder.pop_back();  // the blank before the line end
    EXPECT_EQ(lines[at], "rm dir: " + folder + " ");
    EXPECT_EQ(lines[at + 1], "ran: rmdir " + in_quotes(folder) + " /S /Q ");
  }
}

TEST_F(VelkRun, FindsTheInterpreterThroughComspecTheCurrentFolderOrPath) {
  make_dirs(dir_.at("src"));
  std::string tools = dir_.at("long folder name");
  std::string current = dir_.at("current");
  std::string on_path = dir_.at("on path");
  std::string empty = dir_.at("empty");
  make_dirs(empty);
  for (const std::string& copy :
       {tools + "\\recorder.exe", current + "\\CMD.EXE", on_path + "\\CMD.EXE"}) {
    make_dirs(std::filesystem::path(copy).parent_path().string());
    std::filesystem::copy_file(record_command_binary(), copy);
  }
  std::string command = "xcopy " + in_quotes(dir_.at("src")) + " " + in_quotes(dir_.at("bak")) +
                        " /F /E /D /C /Y    /H/R/K/O/X/G";
  struct Case {
    std::string comspec;  // empty: unset
    std::string working_dir;
    std::string path;
    std::string interpreter;  // as the command line names it; empty: none found
  } cases[] = {
      // Without an extension, ".EXE" is tried.
      {tools + "\\recorder", empty, on_path, short_path(tools + "\\recorder.EXE")},
      {"", current, on_path, "CMD.EXE"},
      {"", empty, dir_.at("missing") + ";" + on_path, short_path(on_path + "\\CMD.EXE")},
      {"", empty, dir_.at("missing"), ""},
      {tools + "\\missing.exe", current, on_path, ""},
  };
  for (const auto& c : cases) {
    std::remove(log_path().c_str());
    RunOptions options;
    options.working_dir = c.working_dir;
    options.set_env = {{"PATH", c.path}, {"VELK_RECORD_WHOLE_LINE", "1"}};
    if (c.comspec.empty()) {
      options.unset_env = {"COMSPEC"};
    } else {
      options.set_env.emplace_back("COMSPEC", c.comspec);
    }
    RunResult result = velk({dir_.at("src"), dir_.at("bak")}, 0, options);
    if (c.interpreter.empty()) {
      EXPECT_EQ(result.exit_code, 1) << c.comspec << " " << c.path;
      EXPECT_EQ(result.err, "velk: cannot run the command interpreter for: " + command + "\r\n");
      EXPECT_TRUE(log().empty());
    } else {
      EXPECT_EQ(result.exit_code, 0) << result.err;
      EXPECT_EQ(log(), std::vector<std::string>{c.interpreter + " /c " + command})
          << c.comspec << " " << c.path;
    }
  }
}
