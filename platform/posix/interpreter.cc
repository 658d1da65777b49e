#include "platform/posix/interpreter.h"

#include "platform/process.h"

int run_builtin_command(const char* /*text*/) {
  print_err("velk: no command interpreter\n");
  return -1;
}
