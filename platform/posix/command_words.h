#pragma once

#include <cstddef>
#include <cstdint>

// Splitting a command line into words and reading its switches. Pure
// functions over caller-owned records: nothing here touches the file system.

constexpr int kMaxCommandWords = 64;
constexpr size_t kCommandTextSize = 8192;
constexpr size_t kSwitchTextSize = 32;

// The words of one command line. A double-quoted stretch belongs to its word
// and loses its quotes; a word whose first character is a '/' outside quotes
// is a group of switches ("/F/E/C"), any other word is an operand, so a quoted
// POSIX path is never taken for switches.
struct CommandWords {
  int count;
  const char* word[kMaxCommandWords];
  bool is_switch_group[kMaxCommandWords];
  char storage[kCommandTextSize];
};

// Splits `text` at blanks (spaces and tabs). Returns true when every word fit;
// otherwise false, with the words that did fit.
bool split_command_words(const char* text, CommandWords* words);

// Whether `word` is `name` with the 26 ASCII letters folded.
bool same_command_name(const char* word, const char* name);

// The bit of switch letter `letter` ('A' to 'Z', upper case).
constexpr uint32_t switch_bit(char letter) {
  return 1u << (letter - 'A');
}

enum class ArgumentsResult { kParsed, kUnknownSwitch, kTooManyOperands };

// What follows the command name: the switches as bits, and the operands.
struct CommandArguments {
  uint32_t switches;
  int operand_count;
  const char* operand[2];
  char refused[kSwitchTextSize];  // the unknown switch or the operand too many
};

// Reads words 1 and on of `words`. `allowed` lists the switch letters the
// command knows (upper case); a switch is one letter after its '/', matched
// without regard to case. At most `max_operands` (1 or 2) operands.
ArgumentsResult parse_arguments(const CommandWords& words, const char* allowed, int max_operands,
                                CommandArguments* arguments);
