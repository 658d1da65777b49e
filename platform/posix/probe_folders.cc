#include "platform/posix/probe_folders.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "platform/posix/folder_names.h"

namespace {

// Two folders: files_match looks up a source and a target file in turn. Each
// has the name table of the same index.
struct ProbeFolder {
  int descriptor;    // -1 when the slot is empty
  bool names_tried;  // whether its names were asked for when it was opened
  bool has_names;    // whether its name table was read
  size_t length;     // of `path`, which ends with the separator
  char path[PATH_MAX];
};
static_assert(kNameTables == 2);
ProbeFolder probe_folders[2] = {{-1, false, false, 0, {}}, {-1, false, false, 0, {}}};
int next_replaced = 0;

// O_PATH asks for no permission on the folder itself; where it is missing, a
// folder that cannot be read is simply not held.
#ifdef O_PATH
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif
// Reading the names needs a folder open for reading.
constexpr int kListedFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

void release(int index) {
  ProbeFolder& folder = probe_folders[index];
  if (folder.descriptor >= 0) {
    close(folder.descriptor);
    folder.descriptor = -1;
  }
  if (folder.has_names) {
    forget_folder_names(index);
    folder.has_names = false;
  }
}

}  // namespace

ProbeAt probe_at(const char* path, bool read_names) {
  const char* last_separator = strrchr(path, '/');
  if (last_separator == nullptr || last_separator[1] == '\0') {
    return {AT_FDCWD, path, -1};
  }
  size_t length = static_cast<size_t>(last_separator - path) + 1;
  const char* name = last_separator + 1;
  int index = -1;
  for (int held = 0; held < 2; ++held) {
    const ProbeFolder& folder = probe_folders[held];
    if (folder.descriptor >= 0 && folder.length == length &&
        memcmp(folder.path, path, length) == 0) {
      // A folder opened without its names is opened again, once, when they
      // are wanted after all.
      if (!read_names || folder.names_tried) {
        return {folder.descriptor, name, folder.has_names ? held : -1};
      }
      index = held;
    }
  }
  if (length >= PATH_MAX) {
    return {AT_FDCWD, path, -1};
  }
  if (index < 0) {
    index = next_replaced;
    next_replaced = 1 - next_replaced;
  }
  release(index);
  ProbeFolder& slot = probe_folders[index];
  memcpy(slot.path, path, length);
  slot.path[length] = '\0';
  slot.names_tried = read_names;
  int descriptor = -1;
  if (read_names) {
    descriptor = open(slot.path, kListedFolderFlags);
    slot.has_names = descriptor >= 0 && read_folder_names(index, descriptor);
  }
  if (descriptor < 0) {
    descriptor = open(slot.path, kFolderFlags);
  }
  if (descriptor < 0) {
    return {AT_FDCWD, path, -1};
  }
  slot.descriptor = descriptor;
  slot.length = length;
  return {descriptor, name, slot.has_names ? index : -1};
}

void forget_probe_folders() {
  for (int index = 0; index < 2; ++index) {
    release(index);
  }
}
