#pragma once

#include "platform/posix/command_words.h"

// The built-in xcopy: `xcopy source destination` with its switches, already
// split into words (word 0 is the command's name). Returns its exit code:
// 0 done (also when nothing needed copying), 1 the source was not found,
// 4 bad syntax or a copy refused, 5 a file could not be written.
int run_xcopy(const CommandWords& words);
