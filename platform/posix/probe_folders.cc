#include "platform/posix/probe_folders.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace {

// Two folders: files_match looks up a source and a target file in turn.
struct ProbeFolder {
  int descriptor;  // -1 when the slot is empty
  size_t length;   // of `path`, which ends with the separator
  char path[PATH_MAX];
};
ProbeFolder probe_folders[2] = {{-1, 0, {}}, {-1, 0, {}}};
int next_replaced = 0;

// O_PATH asks for no permission on the folder itself; where it is missing, a
// folder that cannot be read is simply not held.
#ifdef O_PATH
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

}  // namespace

ProbeAt probe_at(const char* path) {
  const char* last_separator = strrchr(path, '/');
  if (last_separator == nullptr || last_separator[1] == '\0') {
    return {AT_FDCWD, path};
  }
  size_t length = static_cast<size_t>(last_separator - path) + 1;
  const char* name = last_separator + 1;
  for (const ProbeFolder& folder : probe_folders) {
    if (folder.descriptor >= 0 && folder.length == length &&
        memcmp(folder.path, path, length) == 0) {
      return {folder.descriptor, name};
    }
  }
  if (length >= PATH_MAX) {
    return {AT_FDCWD, path};
  }
  ProbeFolder& slot = probe_folders[next_replaced];
  next_replaced = 1 - next_replaced;
  if (slot.descriptor >= 0) {
    close(slot.descriptor);
    slot.descriptor = -1;
  }
  memcpy(slot.path, path, length);
  slot.path[length] = '\0';
  int descriptor = open(slot.path, kFolderFlags);
  if (descriptor < 0) {
    return {AT_FDCWD, path};
  }
  slot.descriptor = descriptor;
  slot.length = length;
  return {descriptor, name};
}

void forget_probe_folders() {
  for (ProbeFolder& folder : probe_folders) {
    if (folder.descriptor >= 0) {
      close(folder.descriptor);
      folder.descriptor = -1;
    }
  }
}
