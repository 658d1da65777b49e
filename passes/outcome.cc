#include "passes/outcome.h"

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/text.h"

namespace {

bool failed = false;

void run_checked_command(const char* command, int lowest_failure) {
  int code = run_command(command);
  if (code == -1) {
    print_err("velk: cannot run the command interpreter for: %s\n", command);
    note_failure();
  } else if (code >= lowest_failure || code < 0) {
    char number[12];
    decimal_text(code, number);
    print_err("velk: command failed with exit code %s: %s\n", number, command);
    note_failure();
  }
}

}  // namespace

void note_failure() {
  failed = true;
}

bool run_failed() {
  return failed;
}

void run_tracked_command(const char* command) {
  run_checked_command(command, 2);
}

void run_removal_command(const char* command) {
  run_checked_command(command, 1);
}

void report_too_long(const char* folder, const char* name) {
  if (name == nullptr) {
    print_err("velk: path too long, skipped: %s\n", folder);
  } else {
    print_err("velk: path too long, skipped: %s%s%s\n", folder, kSeparatorText, name);
  }
  note_failure();
}

void report_kept(const char* source, const char* target) {
  print_err("velk: cannot check %s, kept %s\n", source, target);
  note_failure();
}
