#include "platform/text.h"

#include <cstring>

bool text_append(char* buffer, size_t size, const char* text) {
  size_t used = strlen(buffer);
  size_t more = strlen(text);
  if (more >= size - used) {
    return false;
  }
  memcpy(buffer + used, text, more + 1);
  return true;
}

bool text_copy(char* buffer, size_t size, const char* text) {
  size_t length = strlen(text);
  if (length >= size) {
    return false;
  }
  memcpy(buffer, text, length + 1);
  return true;
}

void decimal_text(int value, char* out) {
  char digits[12];
  int count = 0;
  unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) {
    *out++ = '-';
  }
  while (count > 0) {
    *out++ = digits[--count];
  }
  *out = '\0';
}
