#include "platform/posix/rmdir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/process.h"
#include "platform/text.h"

namespace {

constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The path of the entry at hand, for messages only: the removal itself goes
// through open folders, so a path too long to show is no obstacle.
char shown[2 * PATH_MAX];
bool failed = false;

void report(const char* path, int code) {
  print_err("velk: rmdir: cannot remove %s: %s\n", path, strerror(code));
  failed = true;
}

// A folder closed to its owner cannot be emptied by the owner until it is
// opened up; it is about to go, so its mode no longer matters.
void open_up(int parent, const char* name) {
  struct stat status;
  if (fstatat(parent, name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode) &&
      (status.st_mode & S_IRWXU) != S_IRWXU) {
    fchmodat(parent, name, status.st_mode | S_IRWXU, 0);
  }
}

void remove_content(int folder);

// Removes the entry `name` of the open folder `parent`: a folder with its
// content, anything else (a link included) as itself.
void remove_entry(int parent, const char* name, unsigned char type) {
  size_t end = strlen(shown);
  bool named = text_append(shown, sizeof shown, "/") && text_append(shown, sizeof shown, name);
  if (!named) {
    shown[end] = '\0';
  }
  if (type != DT_DIR && unlinkat(parent, name, 0) == 0) {
    shown[end] = '\0';
    return;
  }
  if (type == DT_DIR || errno == EISDIR || errno == EPERM) {
    int folder = openat(parent, name, kOpenFolder);
    if (folder < 0 && errno == EACCES) {
      open_up(parent, name);
      folder = openat(parent, name, kOpenFolder);
    }
    if (folder >= 0) {
      open_up(parent, name);
      remove_content(folder);  // closes it
      if (unlinkat(parent, name, AT_REMOVEDIR) != 0) {
        report(shown, errno);
      }
    } else if (errno != ENOENT) {
      report(shown, errno);
    }
  } else if (errno != ENOENT) {
    report(shown, errno);
  }
  shown[end] = '\0';
}

void remove_content(int folder) {
  DIR* listing = fdopendir(folder);
  if (listing == nullptr) {
    report(shown, errno);
    close(folder);
    return;
  }
  for (;;) {
    errno = 0;
    const struct dirent* entry = readdir(listing);
    if (entry == nullptr) {
      if (errno != 0) {
        report(shown, errno);
      }
      break;
    }
    if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
      remove_entry(dirfd(listing), entry->d_name, entry->d_type);
    }
  }
  closedir(listing);
}

}  // namespace

int run_rmdir(const CommandWords& words) {
  CommandArguments arguments;
  switch (parse_arguments(words, "SQ", 1, &arguments)) {
    case ArgumentsResult::kUnknownSwitch:
      print_err("velk: rmdir: invalid switch: %s\n", arguments.refused);
      return 1;
    case ArgumentsResult::kTooManyOperands:
      print_err("velk: rmdir: too many operands: %s\n", arguments.refused);
      return 1;
    case ArgumentsResult::kParsed:
      break;
  }
  if (arguments.operand_count == 0 || arguments.operand[0][0] == '\0') {
    print_err("velk: rmdir: a folder is needed\n");
    return 1;
  }
  const char* path = arguments.operand[0];
  struct stat status;
  if (lstat(path, &status) != 0) {
    report(path, errno);
    return 1;
  }
  if (S_ISLNK(status.st_mode)) {
    // A link to a folder goes as the link itself; what it points to stays.
    struct stat target;
    if (stat(path, &target) != 0 || !S_ISDIR(target.st_mode)) {
      report(path, ENOTDIR);
      return 1;
    }
    if (unlink(path) != 0) {
      report(path, errno);
      return 1;
    }
    return 0;
  }
  if (!S_ISDIR(status.st_mode)) {
    report(path, ENOTDIR);
    return 1;
  }
  failed = false;
  if ((arguments.switches & switch_bit('S')) != 0) {
    if (!text_copy(shown, sizeof shown, path)) {
      shown[0] = '\0';
    }
    int folder = open(path, kOpenFolder);
    if (folder < 0 && errno == EACCES) {
      chmod(path, status.st_mode | S_IRWXU);
      folder = open(path, kOpenFolder);
    }
    if (folder < 0) {
      report(path, errno);
      return 1;
    }
    if ((status.st_mode & S_IRWXU) != S_IRWXU) {
      fchmod(folder, status.st_mode | S_IRWXU);
    }
    remove_content(folder);
  }
  if (rmdir(path) != 0) {
    report(path, errno);
  }
  return failed ? 1 : 0;
}
