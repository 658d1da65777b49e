#include "platform/command_line.h"

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

const char* skip_program_name(const char* at) {
  if (*at == '"') {
    ++at;
    while (*at != '\0' && *at != '"') {
      ++at;
    }
    return *at == '"' ? at + 1 : at;
  }
  while (*at != '\0' && !is_blank(*at)) {
    ++at;
  }
  return at;
}

}  // namespace

int split_command_line(const char* line, bool (*is_lead_byte)(unsigned char), char* storage,
                       size_t storage_size, char** words, int max_words) {
  const char* at = skip_program_name(line);
  size_t used = 0;
  int count = 0;
  auto put = [&](char c) {
    if (used >= storage_size) {
      return false;
    }
    storage[used++] = c;
    return true;
  };
  for (;;) {
    while (is_blank(*at)) {
      ++at;
    }
    if (*at == '\0') {
      return count;
    }
    if (count < max_words) {
      words[count] = storage + used;
    }
    ++count;
    bool quoted = false;
    while (*at != '\0' && (quoted || !is_blank(*at))) {
      unsigned char c = static_cast<unsigned char>(*at);
      if (c == '\\' && at[1] == '"') {
        if (!put('"')) {
          return -1;
        }
        at += 2;
      } else if (c == '"') {
        quoted = !quoted;
        ++at;
      } else if (is_lead_byte != nullptr && is_lead_byte(c) && at[1] != '\0') {
        if (!put(at[0]) || !put(at[1])) {
          return -1;
        }
        at += 2;
      } else {
        if (!put(*at)) {
          return -1;
        }
        ++at;
      }
    }
    if (!put('\0')) {
      return -1;
    }
  }
}
