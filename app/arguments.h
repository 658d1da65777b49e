#pragma once

// Fills the argument table from the words of the command line. A word that
// opens with a double quote starts a joined argument: the following words are
// appended to it directly until the text ends with a double quote, which is
// dropped; one that nothing closes is not counted.
//
// Returns nullptr when every stored word fit its slot, else the first word
// (for a joined argument, its opening word) whose text did not fit.
const char* assemble_arguments(int word_count, char* const* words);
