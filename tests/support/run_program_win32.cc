// Starts a program the Windows way: one command line, an environment block,
// and files handed over as its standard streams.

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "tests/support/run_program.h"
#include "tests/support/temp_tree.h"

namespace {

// CMake names the built programs with forward slashes.
std::string windows_path(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// Only words with blanks, and empty ones, are put in double quotes. Other
// words go as they stand, so that a test can hand velk raw double quotes and
// backslashes and see how velk itself splits them.
std::string command_line_of(const std::vector<std::string>& words) {
  std::string line;
  for (const auto& word : words) {
    if (!line.empty()) {
      line += ' ';
    }
    bool quote = word.empty() || word.find_first_of(" \t") != std::string::npos;
    line += quote ? "\"" + word + "\"" : word;
  }
  return line;
}

bool same_variable(const std::string& first, const std::string& second) {
  return first.size() == second.size() &&
         std::equal(first.begin(), first.end(), second.begin(), [](char a, char b) {
           return toupper(static_cast<unsigned char>(a)) == toupper(static_cast<unsigned char>(b));
         });
}

// This process's environment with the options applied, as the zero-separated
// block CreateProcessA takes. Names compare without regard to case.
std::string environment_block(const RunOptions& options) {
  std::string block;
  char* strings = GetEnvironmentStringsA();
  for (const char* entry = strings; *entry != '\0'; entry += strlen(entry) + 1) {
    std::string text(entry);
    std::string name = text.substr(0, text.find('=', 1));  // "=C:=C:\x" names "=C:"
    bool dropped = false;
    for (const auto& unset : options.unset_env) {
      dropped = dropped || same_variable(unset, name);
    }
    for (const auto& [set_name, value] : options.set_env) {
      dropped = dropped || same_variable(set_name, name);
    }
    if (!dropped) {
      block += text + '\0';
    }
  }
  FreeEnvironmentStringsA(strings);
  for (const auto& [name, value] : options.set_env) {
    block += name + "=" + value + '\0';
  }
  return block + '\0';
}

HANDLE open_inheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES security = {sizeof security, nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &security,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

const int kRefusedExitCode = static_cast<int>(4294967295u);

std::string console_text(const std::string& text) {
  std::string converted;
  for (char c : text) {
    if (c == '\n') {
      converted += '\r';
    }
    converted += c;
  }
  return converted;
}

std::string velk_binary() {
  return windows_path(VELK_BINARY);
}
std::string record_command_binary() {
  return windows_path(RECORD_COMMAND_BINARY);
}

RunResult run_program(const std::vector<std::string>& words, const RunOptions& options) {
  TempDir capture;
  std::string out_path = capture.at("out");
  std::string err_path = capture.at("err");
  RunResult result;
  {
    HANDLE input = open_inheritable("NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE output = open_inheritable(out_path, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE error = open_inheritable(err_path, GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    std::string line = command_line_of(words);
    std::string environment = environment_block(options);
    PROCESS_INFORMATION child;
    BOOL started = CreateProcessA(
        words[0].c_str(), line.data(), nullptr, nullptr, TRUE, 0, environment.data(),
        options.working_dir.empty() ? nullptr : options.working_dir.c_str(), &startup, &child);
    DWORD start_error = GetLastError();
    CloseHandle(input);
    CloseHandle(output);
    CloseHandle(error);
    if (!started) {
      result.err = "cannot start: error " + std::to_string(start_error);
      return result;
    }
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    result.exit_code = static_cast<int>(code);
  }
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  return result;
}
