#include "platform/posix/command_words.h"

#include <cstring>

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

char upper_ascii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Keeps a refused switch or operand for the message, cut to what fits: it is
// only ever shown, never used as a path.
void keep_refused(char* refused, const char* text, size_t length) {
  if (length >= kSwitchTextSize) {
    length = kSwitchTextSize - 4;
    memcpy(refused + length, "...", 4);
  } else {
    refused[length] = '\0';
  }
  memcpy(refused, text, length);
}

}  // namespace

bool split_command_words(const char* text, CommandWords* words) {
  words->count = 0;
  // Every word needs at most its own characters and a terminator, which the
  // blank or the end after it pays for: a text that fits fits as words.
  if (strlen(text) >= sizeof words->storage) {
    return false;
  }
  char* out = words->storage;
  const char* in = text;
  for (;;) {
    while (is_blank(*in)) {
      ++in;
    }
    if (*in == '\0') {
      return true;
    }
    if (words->count == kMaxCommandWords) {
      return false;
    }
    words->word[words->count] = out;
    words->is_switch_group[words->count] = *in == '/';
    ++words->count;
    bool quoted = false;
    for (; *in != '\0' && (quoted || !is_blank(*in)); ++in) {
      if (*in == '"') {
        quoted = !quoted;
      } else {
        *out++ = *in;
      }
    }
    *out++ = '\0';
  }
}

bool same_command_name(const char* word, const char* name) {
  for (; *word != '\0' && *name != '\0'; ++word, ++name) {
    if (upper_ascii(*word) != upper_ascii(*name)) {
      return false;
    }
  }
  return *word == *name;
}

ArgumentsResult parse_arguments(const CommandWords& words, const char* allowed, int max_operands,
                                CommandArguments* arguments) {
  arguments->switches = 0;
  arguments->operand_count = 0;
  arguments->operand[0] = nullptr;
  arguments->operand[1] = nullptr;
  arguments->refused[0] = '\0';
  for (int i = 1; i < words.count; ++i) {
    const char* word = words.word[i];
    if (!words.is_switch_group[i]) {
      if (arguments->operand_count == max_operands) {
        keep_refused(arguments->refused, word, strlen(word));
        return ArgumentsResult::kTooManyOperands;
      }
      arguments->operand[arguments->operand_count++] = word;
      continue;
    }
    // Each switch runs from its '/' to the next one or the word's end.
    for (const char* start = word; *start == '/';) {
      const char* end = strchr(start + 1, '/');
      if (end == nullptr) {
        end = start + strlen(start);
      }
      char letter = upper_ascii(start[1]);
      if (end - start != 2 || letter < 'A' || letter > 'Z' || strchr(allowed, letter) == nullptr) {
        keep_refused(arguments->refused, start, static_cast<size_t>(end - start));
        return ArgumentsResult::kUnknownSwitch;
      }
      arguments->switches |= switch_bit(letter);
      start = end;
    }
  }
  return ArgumentsResult::kParsed;
}
