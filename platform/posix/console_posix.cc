#include <unistd.h>

#include <cerrno>

#include "platform/console.h"

bool console_write(int stream, const char* data, size_t length) {
  while (length > 0) {
    ssize_t written = write(stream, data, length);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    data += written;
    length -= static_cast<size_t>(written);
  }
  return true;
}

bool console_is_terminal(int stream) {
  return isatty(stream) == 1;
}
