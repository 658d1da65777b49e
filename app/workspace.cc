#include "app/workspace.h"

#include <cstring>

#include "platform/file_system.h"
#include "platform/text.h"

char arg_slots[kArgSlotCount][kArgSlotSize];
int arg_count = 0;

char from_path[kPathSize];
char to_path[kPathSize];

char update_command[kCommandSize];
char prune_command[kCommandSize];

namespace {
char scratch_ring[kScratchSlotCount][kScratchSlotSize];
}

int scratch_counter = 0;

char* scratch_concat(const char* first, const char* second) {
  scratch_counter += 1;
  if (scratch_counter >= kScratchSlotCount) {
    scratch_counter = 0;
  }
  char* slot = scratch_ring[scratch_counter];
  if (!text_copy(slot, kScratchSlotSize, first) || !text_append(slot, kScratchSlotSize, second)) {
    slot[0] = '\0';
    return nullptr;
  }
  return slot;
}

bool lengthen_path(char* path, const char* name) {
  size_t end = strlen(path);
  if (text_append(path, kPathSize, kSeparatorText) && text_append(path, kPathSize, name)) {
    return true;
  }
  path[end] = '\0';
  return false;
}
