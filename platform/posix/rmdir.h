#pragma once

#include "platform/posix/command_words.h"

// The built-in rmdir (also called rd): `rmdir path [/S] [/Q]`, already split
// into words. Without /S only an empty folder is removed; with /S the folder
// and everything in it, never following a symbolic link. No question is ever
// asked. Returns 0 on success, else 1 after naming each failure; whatever
// could be removed is gone.
int run_rmdir(const CommandWords& words);
