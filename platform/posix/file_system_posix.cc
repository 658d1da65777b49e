// File-system services on POSIX calls. The answers are the ones the Windows
// calls give: see the attribute mapping in find_first and the stamp rules.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/file_system.h"
#include "platform/posix/dos_time.h"
#include "platform/posix/failure.h"
#include "platform/posix/probe_folders.h"
#include "platform/text.h"

const char kSeparator = '/';
const char kSeparatorText[] = "/";
const char kSearchAllSuffix[] = "/*";
const bool kNamesFoldCase = false;

int error_indicator = 0;

int record_failure(int code) {
  error_indicator = code != 0 ? code : EIO;
  return -1;
}

namespace {

uint32_t attributes_of(const char* name, const struct stat& status, bool points_at_folder) {
  uint32_t attributes = 0;
  if (S_ISLNK(status.st_mode)) {
    attributes |= kAttributeReparsePoint;
    if (points_at_folder) {
      attributes |= kAttributeDirectory;
    }
  } else if (S_ISDIR(status.st_mode)) {
    attributes |= kAttributeDirectory;
  } else {
    attributes |= kAttributeArchive;
  }
  if (name[0] == '.') {
    attributes |= kAttributeHidden;
  }
  if ((status.st_mode & S_IWUSR) == 0) {
    attributes |= kAttributeReadOnly;
  }
  return attributes;
}

bool fill_record(FindRecord* record, const char* name, const struct stat& status,
                 bool points_at_folder) {
  if (!text_copy(record->name, sizeof record->name, name)) {
    return false;
  }
  record->size = static_cast<uint32_t>(status.st_size);
  record->attributes = attributes_of(name, status, points_at_folder);
  DosStamp stamp{0, 0};
  dos_stamp_of(status.st_mtim.tv_sec, &stamp);
  record->time = stamp.time;
  record->date = stamp.date;
  return true;
}

// A stand-in status made from the kind a listing gives, for an entry whose
// own status cannot be had: no size, no stamp, not read-only.
bool status_from_type(unsigned char type, struct stat* status) {
  mode_t kind;
  switch (type) {
    case DT_DIR:
      kind = S_IFDIR;
      break;
    case DT_LNK:
      kind = S_IFLNK;
      break;
    case DT_REG:
      kind = S_IFREG;
      break;
    default:
      return false;
  }
  memset(status, 0, sizeof *status);
  status->st_mode = kind | S_IRWXU;
  return true;
}

// An open listing: the folder's stream, and whether its entries are reported
// from the kind the folder gives them (find_first_basic) rather than from a
// status of their own. Searches nest as deep as the tree, so each one is
// allocated when it starts.
struct Listing {
  DIR* stream;
  bool basic;
};

// The status an entry of a basic listing is reported with. A folder or a
// regular file is known from its kind alone. A link needs its own status and
// that of what it points at (a folder link carries the folder bit), and an
// entry of an unknown kind needs its status to be told at all.
bool basic_status(unsigned char type, struct stat* status) {
  return (type == DT_DIR || type == DT_REG) && status_from_type(type, status);
}

// Reads entries of an open listing until one can be reported: 0 with an
// entry, 1 at the end, -1 on an error. An entry that vanished between readdir
// and its status is passed over, as a listing made a moment later would not
// have shown it.
int next_listed(FindRecord* record, uint32_t mask) {
  const Listing* listing = static_cast<const Listing*>(record->search_state);
  int folder = dirfd(listing->stream);
  for (;;) {
    errno = 0;
    struct dirent* entry = readdir(listing->stream);
    if (entry == nullptr) {
      return errno != 0 ? record_failure(errno) : 1;
    }
    struct stat status;
    if (!listing->basic || !basic_status(entry->d_type, &status)) {
      if (fstatat(folder, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) {
          continue;
        }
        // A folder that may be read but not searched still names its
        // entries. Report them with the kind the listing gives, so that the
        // passes try them and name what fails, rather than pass them over in
        // silence.
        if (!status_from_type(entry->d_type, &status)) {
          return record_failure(errno);
        }
      }
    }
    bool points_at_folder = false;
    if (S_ISLNK(status.st_mode)) {
      struct stat target;
      points_at_folder = fstatat(folder, entry->d_name, &target, 0) == 0 && S_ISDIR(target.st_mode);
    }
    if (fill_record(record, entry->d_name, status, points_at_folder) &&
        mask_admits(record->attributes, mask)) {
      return 0;
    }
  }
}

int start_search(const char* pattern, uint32_t mask, FindRecord* record, bool basic) {
  record->search_state = nullptr;
  const char* slash = strrchr(pattern, '/');
  const char* last = slash != nullptr ? slash + 1 : pattern;

  if (strcmp(last, "*") == 0) {
    char folder[PATH_MAX];
    size_t length = static_cast<size_t>(last - pattern);
    if (length >= sizeof folder) {
      return record_failure(ENAMETOOLONG);
    }
    memcpy(folder, pattern, length);
    folder[length] = '\0';
    forget_probe_folders();
    auto* listing = static_cast<Listing*>(malloc(sizeof(Listing)));
    if (listing == nullptr) {
      return record_failure(ENOMEM);
    }
    listing->stream = opendir(length == 0 ? "." : folder);
    if (listing->stream == nullptr) {
      int code = errno;
      free(listing);
      return record_failure(code);
    }
    listing->basic = basic;
    record->search_state = listing;
    int found = next_listed(record, mask);
    if (found == 1) {
      return record_failure(ENOENT);  // Nothing listed is a failure of find_first, as on Windows.
    }
    return found;
  }

  // A single entry: its status is taken to know that it is there at all.
  struct stat status;
  if (lstat(pattern, &status) != 0) {
    return record_failure(errno);
  }
  struct stat target;
  bool points_at_folder =
      S_ISLNK(status.st_mode) && stat(pattern, &target) == 0 && S_ISDIR(target.st_mode);
  if (!fill_record(record, last, status, points_at_folder)) {
    return record_failure(ENAMETOOLONG);
  }
  if (!mask_admits(record->attributes, mask)) {
    return record_failure(ENOENT);
  }
  return 0;
}

}  // namespace

int find_first(const char* pattern, uint32_t mask, FindRecord* record) {
  return start_search(pattern, mask, record, false);
}

int find_first_basic(const char* pattern, uint32_t mask, FindRecord* record) {
  return start_search(pattern, mask, record, true);
}

int find_next(FindRecord* record) {
  if (record->search_state == nullptr) {
    return -1;
  }
  // Every search velk makes uses the full mask, so the record need not keep it.
  return next_listed(record, kSearchMask) == 0 ? 0 : -1;
}

void find_close(FindRecord* record) {
  if (record->search_state != nullptr) {
    forget_probe_folders();
    auto* listing = static_cast<Listing*>(record->search_state);
    closedir(listing->stream);
    free(listing);
    record->search_state = nullptr;
  }
}

int make_dir(const char* path) {
  return mkdir(path, 0777) == 0 ? 0 : record_failure(errno);
}

int remove_file(const char* path) {
  struct stat status;
  if (lstat(path, &status) != 0) {
    return record_failure(errno);
  }
  if (S_ISDIR(status.st_mode)) {
    return record_failure(EISDIR);
  }
  // A file without its owner-write bit is read-only, and is kept as Windows
  // keeps a read-only file.
  if (!S_ISLNK(status.st_mode) && (status.st_mode & S_IWUSR) == 0) {
    return record_failure(EACCES);
  }
  return unlink(path) == 0 ? 0 : record_failure(errno);
}

int remove_link(const char* path, uint32_t /*attributes*/) {
  return unlink(path) == 0 ? 0 : record_failure(errno);
}

bool error_is_not_found(int code) {
  return code == ENOENT || code == ENOTDIR || code == EISDIR;
}

const char* error_text(int code) {
  return strerror(code);
}

int resolve_path(const char* path, char* out, size_t size) {
  char resolved[PATH_MAX];
  if (realpath(path, resolved) == nullptr) {
    return record_failure(errno);
  }
  return text_copy(out, size, resolved) ? 0 : record_failure(ENAMETOOLONG);
}
