#include "platform/posix/interpreter.h"

#include "platform/posix/command_words.h"
#include "platform/posix/rmdir.h"
#include "platform/posix/xcopy.h"
#include "platform/process.h"

namespace {
CommandWords words;
}

int run_builtin_command(const char* text) {
  bool whole = split_command_words(text, &words);
  if (words.count == 0 && whole) {
    return 0;  // a blank line does nothing
  }
  bool copy = words.count > 0 && same_command_name(words.word[0], "xcopy");
  if (!whole) {
    print_err("velk: command too long: %s\n", text);
    return copy ? 4 : 1;
  }
  if (copy) {
    return run_xcopy(words);
  }
  if (same_command_name(words.word[0], "rmdir") || same_command_name(words.word[0], "rd")) {
    return run_rmdir(words);
  }
  print_err("velk: unknown command: %s\n", words.word[0]);
  return 1;
}
