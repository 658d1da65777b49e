#pragma once

#include <cstddef>

// What the shared console code needs from a backend.

// Writes bytes to a standard stream as they stand (the backend adds the
// platform's line ends). Returns false when the stream refused them.
bool console_write(int stream, const char* data, size_t length);
// Whether a standard stream is a terminal (a character device).
bool console_is_terminal(int stream);
