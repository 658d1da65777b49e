#pragma once

#include <cstddef>

// Every text velk builds goes through these two helpers. They never write past
// the buffer and never cut a text short: a text that does not fit is refused
// and the buffer keeps what it held before, so no command can ever run on, and
// no file can ever be removed through, a path that was silently shortened.

// Appends `text` to the zero-terminated text in `buffer` (`size` bytes in all).
// Returns true when it fit; otherwise returns false and changes nothing.
bool text_append(char* buffer, size_t size, const char* text);

// Replaces the text in `buffer` with `text`, under the same rule.
bool text_copy(char* buffer, size_t size, const char* text);

// Writes `value` in decimal into `out`, which must hold 12 bytes.
void decimal_text(int value, char* out);
