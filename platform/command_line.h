#pragma once

#include <cstddef>

// Splits a Windows command line into words, leaving out the first word (the
// program's own name, which the process takes from its file instead).
//
// - The first word ends at its closing double quote when it opens with one,
//   else at the first space or tab.
// - The rest splits at runs of spaces and tabs. A double quote opens a stretch
//   in which spaces and tabs belong to the word, closed by the next double
//   quote or the line's end; the quotes are dropped and stretches join with
//   what stands around them into one word ("" alone is an empty word).
// - A backslash followed by a double quote gives a double quote, in or out of
//   a stretch, and opens or closes nothing. Every other backslash stays.
// - A lead byte of a double-byte character takes the next byte with it
//   unread, so a trail byte is never taken for a quote or a backslash.
//
// The words are written one after the other, each zero-terminated, into
// `storage`, which needs room for the line's length plus one. Returns the
// number of words, of which the first `max_words` are pointed at from
// `words`; returns -1 when `storage` is too small.
int split_command_line(const char* line, bool (*is_lead_byte)(unsigned char), char* storage,
                       size_t storage_size, char** words, int max_words);
