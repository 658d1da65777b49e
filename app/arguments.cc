#include "app/arguments.h"

#include <cstring>

#include "app/workspace.h"
#include "platform/text.h"

namespace {

// The slot that the word being assembled goes into, or nullptr once the
// table is full: past the last slot the words are only counted.
char* current_slot() {
  return arg_count < kArgSlotCount ? arg_slots[arg_count] : nullptr;
}

}  // namespace

const char* assemble_arguments(int word_count, char* const* words) {
  const char* too_long = nullptr;
  auto store = [&](char* slot, const char* text, const char* word, bool append) {
    if (slot == nullptr) {
      return;
    }
    bool fit = append ? text_append(slot, kArgSlotSize, text) : text_copy(slot, kArgSlotSize, text);
    if (!fit && too_long == nullptr) {
      too_long = word;
    }
  };

  arg_count = 0;
  if (word_count > 0) {
    store(current_slot(), words[0], words[0], false);
    arg_count = 1;
  }
  int next = 1;
  while (next < word_count) {
    const char* word = words[next++];
    char* slot = current_slot();
    if (word[0] != '"') {
      store(slot, word, word, false);
      arg_count += 1;
      continue;
    }
    // A joined argument. Its last character is followed apart from the slot,
    // so that it closes the same way whether or not the text could be stored.
    const char* opening = word;
    store(slot, word + 1, opening, false);
    size_t opening_length = strlen(word + 1);
    char last = opening_length > 0 ? word[opening_length] : '\0';
    bool closed = false;
    while (next < word_count) {
      const char* part = words[next++];
      store(slot, part, opening, true);
      size_t length = strlen(part);
      if (length > 0) {
        last = part[length - 1];
      }
      if (last == '"') {
        if (slot != nullptr && too_long != opening) {
          slot[strlen(slot) - 1] = '\0';
        }
        arg_count += 1;
        closed = true;
        break;
      }
    }
    if (!closed) {
      break;
    }
  }
  return too_long;
}
