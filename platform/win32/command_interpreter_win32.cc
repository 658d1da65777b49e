// Runs a command line through the system's command interpreter and waits for
// it, the way Windows programs have always done it: COMSPEC names the
// interpreter, and without it CMD.EXE is looked for in the current folder and
// then along PATH.

#include <windows.h>

#include <cstring>

#include "platform/process.h"
#include "platform/text.h"

namespace {

char environment_value[32768];
char interpreter[32768];
char short_path[32768];
char command_line[32768];

bool names_a_file(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool has_extension(const char* path) {
  const char* dot = strrchr(path, '.');
  return dot != nullptr && strchr(dot, '\\') == nullptr && strchr(dot, '/') == nullptr;
}

// Takes `folder` joined to `name` (or `name` alone when `folder` is empty) as
// the interpreter when it names a file, or, having no extension, when it does
// with ".EXE" appended.
bool try_interpreter(const char* folder, const char* name) {
  interpreter[0] = '\0';
  if (!text_append(interpreter, sizeof interpreter, folder)) {
    return false;
  }
  size_t length = strlen(interpreter);
  if (length > 0 && interpreter[length - 1] != '\\' && interpreter[length - 1] != '/' &&
      !text_append(interpreter, sizeof interpreter, "\\")) {
    return false;
  }
  if (!text_append(interpreter, sizeof interpreter, name)) {
    return false;
  }
  if (names_a_file(interpreter)) {
    return true;
  }
  return !has_extension(interpreter) && text_append(interpreter, sizeof interpreter, ".EXE") &&
         names_a_file(interpreter);
}

// Reads an environment variable into environment_value; false when it is
// unset, empty or too long.
bool read_environment(const char* name) {
  DWORD length = GetEnvironmentVariableA(name, environment_value, sizeof environment_value);
  return length > 0 && length < sizeof environment_value;
}

bool find_in_path() {
  if (!read_environment("PATH")) {
    return false;
  }
  // Each folder is cut out in place: the list is not needed afterwards.
  for (char* folder = environment_value; *folder != '\0';) {
    char* end = strchr(folder, ';');
    char* next = end != nullptr ? end + 1 : folder + strlen(folder);
    if (end != nullptr) {
      *end = '\0';
    }
    size_t length = strlen(folder);
    // A folder may be written in double quotes when it holds a semicolon.
    if (length >= 2 && folder[0] == '"' && folder[length - 1] == '"') {
      folder[length - 1] = '\0';
      ++folder;
    }
    if (*folder != '\0' && try_interpreter(folder, "CMD.EXE")) {
      return true;
    }
    folder = next;
  }
  return false;
}

bool find_interpreter() {
  if (read_environment("COMSPEC")) {
    return try_interpreter("", environment_value);
  }
  return try_interpreter("", "CMD.EXE") || find_in_path();
}

}  // namespace

int run_command(const char* text) {
  if (!find_interpreter()) {
    return -1;
  }
  flush_output();
  DWORD length = GetShortPathNameA(interpreter, short_path, sizeof short_path);
  const char* shown = length > 0 && length < sizeof short_path ? short_path : interpreter;
  command_line[0] = '\0';
  if (!text_append(command_line, sizeof command_line, shown) ||
      !text_append(command_line, sizeof command_line, " /c ") ||
      !text_append(command_line, sizeof command_line, text)) {
    return -1;
  }
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child;
  if (!CreateProcessA(interpreter, command_line, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &child)) {
    return -1;
  }
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD code = 0;
  if (!GetExitCodeProcess(child.hProcess, &code)) {
    code = static_cast<DWORD>(-1);
  }
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  return static_cast<int>(code);
}
