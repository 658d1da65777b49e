#include "platform/posix/folder_names.h"

#include <dirent.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// A table holds a folder of up to 4,096 files with names of 15 bytes on
// average; a larger folder is probed file by file, as before. The hash uses
// only as many slots as its folder needs, so a small folder touches little.
constexpr uint32_t kMostNames = 4096;
constexpr uint32_t kHashSlots = 2 * kMostNames;  // a power of two
constexpr size_t kArenaSize = 16 * kMostNames;
// Hash slot values: 0 is empty, kStruckOff a name already answered, anything
// else the name's offset in the arena plus one.
constexpr uint32_t kEmpty = 0;
constexpr uint32_t kStruckOff = UINT32_MAX;

struct NameTable {
  bool valid;
  uint32_t mask;  // slots in use less one
  uint32_t slots[kHashSlots];
  char arena[kArenaSize];  // the names, each ending with a zero byte
};
NameTable tables[kNameTables];

// One read of the folder's entries; big enough for a few hundred at a time.
alignas(8) char listing_buffer[32 * 1024];

uint32_t hash_of(const char* name) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (; *name != '\0'; ++name) {
    hash = (hash ^ static_cast<unsigned char>(*name)) * 16777619u;
  }
  return hash;
}

#ifdef __linux__
// Copies the names of the regular files into the arena; their count, or -1.
int64_t copy_file_names(int descriptor, NameTable& table) {
  size_t used = 0;
  int64_t count = 0;
  for (;;) {
    ssize_t got = getdents64(descriptor, listing_buffer, sizeof listing_buffer);
    if (got == 0) {
      return count;
    }
    if (got < 0) {
      return -1;
    }
    for (ssize_t at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const struct dirent64*>(listing_buffer + at);
      at += entry->d_reclen;
      if (entry->d_type == DT_UNKNOWN) {
        return -1;  // this file system leaves kinds to a status call
      }
      if (entry->d_type != DT_REG) {
        continue;
      }
      size_t size = strlen(entry->d_name) + 1;
      if (count == kMostNames || size > kArenaSize - used) {
        return -1;
      }
      memcpy(table.arena + used, entry->d_name, size);
      used += size;
      ++count;
    }
  }
}
#else
int64_t copy_file_names(int, NameTable&) {
  return -1;
}
#endif

}  // namespace

bool read_folder_names(int table_index, int descriptor) {
  NameTable& table = tables[table_index];
  table.valid = false;
  int64_t count = copy_file_names(descriptor, table);
  if (count < 0) {
    return false;
  }
  uint32_t size = 8;
  while (size < 2 * count) {
    size *= 2;
  }
  table.mask = size - 1;
  memset(table.slots, 0, size * sizeof table.slots[0]);
  size_t offset = 0;
  for (int64_t index = 0; index < count; ++index) {
    const char* name = table.arena + offset;
    uint32_t slot = hash_of(name) & table.mask;
    while (table.slots[slot] != kEmpty) {
      slot = (slot + 1) & table.mask;
    }
    table.slots[slot] = static_cast<uint32_t>(offset) + 1;
    offset += strlen(name) + 1;
  }
  table.valid = true;
  return true;
}

bool take_folder_file(int table_index, const char* name) {
  NameTable& table = tables[table_index];
  if (!table.valid) {
    return false;
  }
  for (uint32_t slot = hash_of(name) & table.mask;; slot = (slot + 1) & table.mask) {
    uint32_t value = table.slots[slot];
    if (value == kEmpty) {
      return false;
    }
    if (value != kStruckOff && strcmp(table.arena + value - 1, name) == 0) {
      table.slots[slot] = kStruckOff;  // keeps the probe chains of other names intact
      return true;
    }
  }
}

void forget_folder_names(int table_index) {
  tables[table_index].valid = false;
}
