#include "platform/posix/folder_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/process.h"
#include "platform/text.h"

namespace {

constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Lengthens a path by a separator and a name; false, with the path as it was,
// when it would not fit.
bool lengthen(char* path, size_t* end, const char* name) {
  *end = strlen(path);
  bool fits = (*end > 0 && path[*end - 1] == '/') || text_append(path, kCopyPathSize, "/");
  if (fits && text_append(path, kCopyPathSize, name)) {
    return true;
  }
  path[*end] = '\0';
  return false;
}

// Copies the sub-folder `name`: creates it in the target (or takes the folder
// standing there), copies its content, then gives it the source folder's
// owner, mode and times. Returns whether the target folder now has it.
bool copy_subfolder(CopyRun* run, int source_parent, int target_parent, const char* name) {
  int source = openat(source_parent, name, kOpenFolder);
  struct stat status;
  if (source < 0 || fstat(source, &status) != 0) {
    print_err("velk: xcopy: cannot read folder %s: %s\n", run->source, strerror(errno));
    if (source >= 0) {
      close(source);
    }
    note_failed(run);
    return false;
  }
  bool created = mkdirat(target_parent, name, 0700) == 0;
  int code = created ? 0 : errno;
  struct stat existing;
  if (code == EEXIST && fstatat(target_parent, name, &existing, AT_SYMLINK_NOFOLLOW) != 0) {
    code = errno;
  } else if (code == EEXIST && S_ISLNK(existing.st_mode)) {
    // A link holds nothing to lose, and is never written through.
    created = unlinkat(target_parent, name, 0) == 0 && mkdirat(target_parent, name, 0700) == 0;
    code = created ? 0 : errno;
  } else if (code == EEXIST) {
    code = S_ISDIR(existing.st_mode) ? 0 : ENOTDIR;
  }
  int target = code == 0 ? openat(target_parent, name, kOpenFolder) : -1;
  if (target < 0) {
    const char* reason =
        code == ENOTDIR ? "something else stands in its place" : strerror(code != 0 ? code : errno);
    print_err("velk: xcopy: cannot copy folder %s to %s: %s\n", run->source, run->target, reason);
    close(source);
    note_failed(run);
    return false;
  }
  int received = copy_folder_content(run, source, target, created);
  if (created && received == 0 && !run->empty_folders) {
    close(target);
    unlinkat(target_parent, name, AT_REMOVEDIR);
    return false;
  }
  if (!run->stopped && !finish_folder(target, status, created, run->settings, run->target)) {
    note_failed(run);
  }
  close(target);
  return true;
}

// Copies one listed entry whose paths stand in `run`. Returns whether the
// target folder has it afterwards.
bool copy_listed(CopyRun* run, int source_folder, int target_folder, const struct dirent* entry,
                 bool target_new) {
  const char* name = entry->d_name;
  if (entry->d_type == DT_DIR) {
    return run->subfolders && copy_subfolder(run, source_folder, target_folder, name);
  }
  struct stat status;
  const struct stat* known = nullptr;
  // A file bound for a new folder needs no status before it is opened.
  if (entry->d_type != DT_REG || !target_new) {
    if (fstatat(source_folder, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) {
        return false;  // gone since it was listed
      }
      print_err("velk: xcopy: cannot read %s: %s\n", run->source, strerror(errno));
      note_failed(run);
      return false;
    }
    known = &status;
    if (S_ISDIR(status.st_mode)) {
      return run->subfolders && copy_subfolder(run, source_folder, target_folder, name);
    }
    if (!S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode)) {
      // A pipe, socket or device has no content to copy.
      print_err("velk: xcopy: not a file, passed over: %s\n", run->source);
      return false;
    }
  }
  switch (copy_entry(source_folder, name, known, target_folder, name, target_new, run->settings,
                     run->source, run->target)) {
    case CopyResult::kCopied:
      note_copied(run);
      return true;
    case CopyResult::kPassedOver:
      return true;
    case CopyResult::kFailed:
      note_failed(run);
      return false;
  }
  return false;
}

}  // namespace

void note_copied(CopyRun* run) {
  ++run->copied;
  if (run->quiet) {
    return;
  }
  if (run->full_names) {
    print_out("%s -> %s\n", run->source, run->target);
  } else {
    print_out("%s\n", run->source);
  }
}

void note_failed(CopyRun* run) {
  run->failed = true;
  run->stopped = !run->go_on;
}

int copy_folder_content(CopyRun* run, int source_folder, int target_folder, bool target_new) {
  DIR* listing = fdopendir(source_folder);
  if (listing == nullptr) {
    print_err("velk: xcopy: cannot list %s: %s\n", run->source, strerror(errno));
    close(source_folder);
    note_failed(run);
    return 0;
  }
  int received = 0;
  while (!run->stopped) {
    errno = 0;
    const struct dirent* entry = readdir(listing);
    if (entry == nullptr) {
      if (errno != 0) {
        print_err("velk: xcopy: cannot list %s: %s\n", run->source, strerror(errno));
        note_failed(run);
      }
      break;
    }
    const char* name = entry->d_name;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0 || (name[0] == '.' && !run->hidden)) {
      continue;
    }
    size_t source_end = 0;
    size_t target_end = 0;
    if (!lengthen(run->source, &source_end, name)) {
      print_err("velk: xcopy: path too long, passed over: %s/%s\n", run->source, name);
      note_failed(run);
      continue;
    }
    if (!lengthen(run->target, &target_end, name)) {
      print_err("velk: xcopy: path too long, passed over: %s/%s\n", run->target, name);
      run->source[source_end] = '\0';
      note_failed(run);
      continue;
    }
    if (copy_listed(run, dirfd(listing), target_folder, entry, target_new)) {
      ++received;
    }
    run->source[source_end] = '\0';
    run->target[target_end] = '\0';
  }
  closedir(listing);
  return received;
}
