#pragma once

// Runs one command line (xcopy, rmdir or rd) in this process, as the command
// interpreter would, and returns its exit code.
int run_builtin_command(const char* text);
