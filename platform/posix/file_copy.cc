#include "platform/posix/file_copy.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/posix/temp_cleanup.h"
#include "platform/process.h"
#include "platform/text.h"

namespace {

// The fallback copy loop's one buffer: no allocation per file.
constexpr size_t kBufferSize = 1 << 20;
alignas(4096) char copy_buffer[kBufferSize];

char link_text[PATH_MAX + 1];

// How often a name that is taken is answered with a new temporary name.
constexpr int kNameTries = 100;

// The creation mask, learnt on first use. Not a function-local static: its
// thread-safe guard would link the C++ runtime library in, for 1.5 MiB more
// resident memory.
mode_t creation_mask = 0;
bool creation_mask_known = false;

mode_t process_creation_mask() {
  if (!creation_mask_known) {
    creation_mask = umask(0);
    umask(creation_mask);
    creation_mask_known = true;
  }
  return creation_mask;
}

void report(const char* source_path, const char* target_path, const char* reason) {
  print_err("velk: xcopy: cannot copy %s to %s: %s\n", source_path, target_path, reason);
}

// Copies `size` bytes from the start of `in` to `out`: in the kernel where
// the file systems allow it, else through the buffer. A source that shrinks
// while it is copied ends the copy early; its changed modification time makes
// the next run copy it again. Returns 0 or the error code.
int copy_data(int in, int out, off_t size) {
  off_t done = 0;
  bool in_kernel = true;
  while (done < size) {
    size_t want = static_cast<size_t>(size - done);
    if (in_kernel) {
      ssize_t moved = copy_file_range(in, nullptr, out, nullptr, want, 0);
      if (moved > 0) {
        done += moved;
        continue;
      }
      if (moved == 0) {
        return 0;
      }
      if (errno == EINTR) {
        continue;
      }
      if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
          errno != EPERM && errno != ETXTBSY) {
        return errno;
      }
      in_kernel = false;  // the offsets stand where the kernel left them
    }
    ssize_t got = read(in, copy_buffer, want < kBufferSize ? want : kBufferSize);
    if (got == 0) {
      return 0;
    }
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return errno;
    }
    for (ssize_t put = 0; put < got;) {
      ssize_t wrote = write(out, copy_buffer + put, static_cast<size_t>(got - put));
      if (wrote < 0) {
        if (errno == EINTR) {
          continue;
        }
        return errno;
      }
      put += wrote;
    }
    done += got;
  }
  return 0;
}

// Owner and group where permitted: a user who may not give a file away may
// still be allowed its group; a refusal of both is no failure.
void keep_owner_of(int file, const struct stat& source) {
  if (fchown(file, source.st_uid, source.st_gid) != 0) {
    (void)!fchown(file, static_cast<uid_t>(-1), source.st_gid);
  }
}

void keep_link_owner_of(int folder, const char* name, const struct stat& source) {
  if (fchownat(folder, name, source.st_uid, source.st_gid, AT_SYMLINK_NOFOLLOW) != 0) {
    (void)!fchownat(folder, name, static_cast<uid_t>(-1), source.st_gid, AT_SYMLINK_NOFOLLOW);
  }
}

bool newer(const struct timespec& first, const struct timespec& second) {
  return first.tv_sec != second.tv_sec ? first.tv_sec > second.tv_sec
                                       : first.tv_nsec > second.tv_nsec;
}

// Looks at what stands under the target's name. Sets `replace` when there is
// an entry to be replaced; returns kCopied when the copy may go ahead.
CopyResult check_target(int target_folder, const char* target_name, const struct stat& source,
                        const CopySettings& settings, const char* source_path,
                        const char* target_path, bool* replace) {
  struct stat old;
  if (fstatat(target_folder, target_name, &old, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) {
      *replace = false;
      return CopyResult::kCopied;
    }
    report(source_path, target_path, strerror(errno));
    return CopyResult::kFailed;
  }
  if (S_ISDIR(old.st_mode)) {
    // An empty folder holds nothing to lose: it makes way, so that a tree
    // where a folder became a file comes right once its content is pruned.
    if (unlinkat(target_folder, target_name, AT_REMOVEDIR) == 0) {
      *replace = false;
      return CopyResult::kCopied;
    }
    report(
        source_path, target_path,
        errno == ENOTEMPTY || errno == EEXIST ? "a folder stands in its place" : strerror(errno));
    return CopyResult::kFailed;
  }
  *replace = true;
  if (old.st_dev == source.st_dev && old.st_ino == source.st_ino) {
    report(source_path, target_path, "a file cannot be copied onto itself");
    return CopyResult::kFailed;
  }
  if (settings.newer_only && !newer(source.st_mtim, old.st_mtim)) {
    return CopyResult::kPassedOver;
  }
  if (!S_ISLNK(old.st_mode) && (old.st_mode & S_IWUSR) == 0 && !settings.replace_read_only) {
    report(source_path, target_path, "the target is read-only");
    return CopyResult::kFailed;
  }
  return CopyResult::kCopied;
}

// Finishes a written entry: a replacement is renamed over the old one, which
// stays whole until that moment. On failure the written entry is removed.
CopyResult settle(int target_folder, const char* written, const char* target_name, int code,
                  const char* source_path, const char* target_path) {
  if (code == 0 && written != target_name &&
      renameat(target_folder, written, target_folder, target_name) != 0) {
    code = errno;
  }
  if (code != 0) {
    unlinkat(target_folder, written, 0);
  }
  end_temp_cleanup();
  if (code != 0) {
    report(source_path, target_path, strerror(code));
    return CopyResult::kFailed;
  }
  return CopyResult::kCopied;
}

// Creates the entry to be written with `create`: under the target's own name
// when nothing stands there, else -- or when something appeared meanwhile --
// under a temporary name. Returns the name used, or null with errno set.
template <typename Create>
const char* create_written(int target_folder, const char* target_name, bool replace,
                           Create create) {
  const char* written = replace ? next_temp_name() : target_name;
  for (int tries = 0;; ++tries) {
    // A temporary name is this process's alone: it is covered before it
    // exists, so that a signal right after its creation still removes it.
    if (written != target_name) {
      cover_written(target_folder, written);
    }
    if (create(written)) {
      cover_written(target_folder, written);
      return written;
    }
    int code = errno;
    end_temp_cleanup();
    if (code != EEXIST || tries == kNameTries) {
      errno = code;
      return nullptr;
    }
    written = next_temp_name();  // a leftover of another run, or a target that appeared
  }
}

CopyResult copy_link(int source_folder, const char* source_name, const struct stat& source,
                     int target_folder, const char* target_name, bool replace,
                     const CopySettings& settings, const char* source_path,
                     const char* target_path) {
  ssize_t length = readlinkat(source_folder, source_name, link_text, sizeof link_text);
  if (length < 0 || static_cast<size_t>(length) == sizeof link_text) {
    report(source_path, target_path, strerror(length < 0 ? errno : ENAMETOOLONG));
    return CopyResult::kFailed;
  }
  link_text[length] = '\0';
  const char* written = create_written(target_folder, target_name, replace, [&](const char* name) {
    return symlinkat(link_text, target_folder, name) == 0;
  });
  if (written == nullptr) {
    report(source_path, target_path, strerror(errno));
    return CopyResult::kFailed;
  }
  if (settings.keep_owner) {
    keep_link_owner_of(target_folder, written, source);
  }
  const struct timespec times[2] = {source.st_atim, source.st_mtim};
  int code = utimensat(target_folder, written, times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
  return settle(target_folder, written, target_name, code, source_path, target_path);
}

CopyResult copy_file(int source_folder, const char* source_name, int target_folder,
                     const char* target_name, bool replace, const CopySettings& settings,
                     const char* source_path, const char* target_path) {
  // O_NONBLOCK: a named pipe put in the file's place must not hang the copy.
  int in =
      openat(source_folder, source_name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (in < 0) {
    report(source_path, target_path, strerror(errno));
    return CopyResult::kFailed;
  }
  struct stat source;
  const char* problem = fstat(in, &source) != 0    ? strerror(errno)
                        : !S_ISREG(source.st_mode) ? "not a file"
                                                   : nullptr;
  if (problem != nullptr) {
    report(source_path, target_path, problem);
    close(in);
    return CopyResult::kFailed;
  }
  // A mode that the creation mask leaves whole, and that has no set-id bit
  // (a change of owner would clear it), is given at creation: one call less
  // per file. Anything else is set once the file is complete.
  mode_t mode = settings.keep_mode ? (source.st_mode & 07777) : default_mode(false);
  bool mode_at_creation = (mode & 07000) == 0 && (mode & process_creation_mask()) == 0;
  int out = -1;
  const char* written = create_written(target_folder, target_name, replace, [&](const char* name) {
    out = openat(target_folder, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                 mode_at_creation ? mode : 0600);
    return out >= 0;
  });
  if (written == nullptr) {
    report(source_path, target_path, strerror(errno));
    close(in);
    return CopyResult::kFailed;
  }
  int code = copy_data(in, out, source.st_size);
  close(in);
  if (code == 0) {
    if (settings.keep_owner) {
      keep_owner_of(out, source);  // before the mode, as a change of owner clears set-id bits
    }
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    if ((!mode_at_creation && fchmod(out, mode) != 0) || futimens(out, times) != 0) {
      code = errno;
    }
  }
  // A failed close can be the first news of a failed write.
  if (close(out) != 0 && code == 0) {
    code = errno;
  }
  return settle(target_folder, written, target_name, code, source_path, target_path);
}

}  // namespace

mode_t default_mode(bool folder) {
  return (folder ? 0777 : 0666) & ~process_creation_mask();
}

CopyResult copy_entry(int source_folder, const char* source_name, const struct stat* source_status,
                      int target_folder, const char* target_name, bool target_absent,
                      const CopySettings& settings, const char* source_path,
                      const char* target_path) {
  bool replace = false;
  if (!target_absent) {
    CopyResult checked = check_target(target_folder, target_name, *source_status, settings,
                                      source_path, target_path, &replace);
    if (checked != CopyResult::kCopied) {
      return checked;
    }
  }
  if (source_status != nullptr && S_ISLNK(source_status->st_mode)) {
    return copy_link(source_folder, source_name, *source_status, target_folder, target_name,
                     replace, settings, source_path, target_path);
  }
  return copy_file(source_folder, source_name, target_folder, target_name, replace, settings,
                   source_path, target_path);
}

bool finish_folder(int folder, const struct stat& source_status, bool created,
                   const CopySettings& settings, const char* path) {
  if (settings.keep_owner) {
    keep_owner_of(folder, source_status);
  }
  int code = 0;
  if (settings.keep_mode || created) {
    mode_t mode = settings.keep_mode ? (source_status.st_mode & 07777) : default_mode(true);
    if (fchmod(folder, mode) != 0) {
      code = errno;
    }
  }
  const struct timespec times[2] = {source_status.st_atim, source_status.st_mtim};
  if (code == 0 && futimens(folder, times) != 0) {
    code = errno;
  }
  if (code != 0) {
    print_err("velk: xcopy: cannot set the times or mode of %s: %s\n", path, strerror(code));
    return false;
  }
  return true;
}
