#pragma once

// The entry routine: takes the words of the command line (word 0 the
// program's own file), runs the mode they ask for, and returns the exit
// status: 0 when the mode ran to its end and nothing failed, 1 when it ran to
// its end but something failed or was kept unchecked, -1 when the operands
// were refused.
int velk_main(int word_count, char* const* words);
