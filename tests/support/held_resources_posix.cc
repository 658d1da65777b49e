#include <fcntl.h>
#include <unistd.h>

#include "tests/support/held_resources.h"

// Descriptors are handed out lowest first: one left open moves the next.
std::string held_resources() {
  int descriptor = open("/dev/null", O_RDONLY);
  close(descriptor);
  return "lowest free descriptor " + std::to_string(descriptor);
}
