#include "platform/posix/listed_entry.h"

#include <climits>
#include <cstring>

namespace {

char listed_path[PATH_MAX];
size_t listed_length = 0;
struct stat listed_status;
bool listed_valid = false;

}  // namespace

void remember_listed(const char* folder, size_t folder_length, const char* name,
                     const struct stat& status) {
  size_t name_length = strlen(name);
  if (folder_length + name_length >= sizeof listed_path) {
    listed_valid = false;
    return;
  }
  memcpy(listed_path, folder, folder_length);
  memcpy(listed_path + folder_length, name, name_length + 1);
  listed_length = folder_length + name_length;
  listed_status = status;
  listed_valid = true;
}

void forget_listed() {
  listed_valid = false;
}

bool take_listed(const char* path, struct stat* status) {
  if (!listed_valid || strncmp(path, listed_path, listed_length + 1) != 0) {
    return false;
  }
  listed_valid = false;
  *status = listed_status;
  return true;
}
