// Opening a file for reading, its stamp and its length, on POSIX calls.
//
// velk never reads a byte of a file it opens: the probes only want to know
// whether the open would succeed, and the file's last-write time and length.
// Opening, checking and closing every file of two trees costs three system
// calls per file where one stat gives the same answers, so a regular file is
// not opened at all: its status is taken with stat and kept in a small slot
// table, and a "file" is the index of its slot. Whether the open would have
// succeeded is decided as the kernel decides it for open(O_RDONLY). Anything
// that is not a regular file or a folder (a named pipe, a device, a socket)
// is opened for real, without blocking, as its answer depends on the driver.
//
// A process that may read every file whatever its mode bits needs no status
// at all to know that a regular file would open: the name table of its
// folder (folder_names.h) says it is there and is a regular file. Such a
// file's slot keeps its path instead, and its status is taken when its stamp
// or length is first asked for; the prune pass asks for neither.
//
// Where every probe asks for the stamp (the update pass), the status is
// needed anyway and reading names would only add work. So names are read
// only while the last file closed was closed without its status asked for:
// the first probe of the prune pass turns them on, the first file compared
// in the update pass turns them off. This decides only how an answer is
// found, never what it is.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#ifdef __linux__
#include <linux/capability.h>
#include <sys/syscall.h>
#endif

#include "platform/file_system.h"
#include "platform/posix/dos_time.h"
#include "platform/posix/failure.h"
#include "platform/posix/folder_names.h"
#include "platform/posix/probe_folders.h"

namespace {

// What the probes ask of an open file. files_match holds two at once; a few
// more slots leave room for a caller that holds one while it probes another.
struct OpenSlot {
  bool in_use;
  bool status_pending;  // opened from a name table: `path` is still to be looked up
  bool status_asked;    // whether its stamp or length was asked for
  int code;             // 0, or why the status could not be had
  time_t modified;
  off_t size;
  char path[PATH_MAX];
};
constexpr int kSlotCount = 8;
OpenSlot open_slots[kSlotCount];

// Whether the files probed now are closed without their status asked for.
bool names_pay = true;

// How far the process may read files whatever their mode bits. velk never
// changes its identity, so this and its user id are learnt once.
enum class ReadOverride { kNone, kSome, kEvery };

#ifdef __linux__
// Whether the process's user namespace maps every user and group id, as the
// initial one does. Only then do its capabilities apply to every file: in a
// container that maps a few ids, they do not apply to files of other owners.
bool maps_every_id(const char* map_path) {
  FILE* map = fopen(map_path, "re");
  if (map == nullptr) {
    return false;
  }
  unsigned long inside = 1;
  unsigned long outside = 1;
  unsigned long count = 0;
  int fields = fscanf(map, "%lu %lu %lu", &inside, &outside, &count);
  fclose(map);
  return fields == 3 && inside == 0 && outside == 0 && count == 4294967295UL;
}

// A capability that overrides read permission (root normally holds one)
// reads every file when every id is mapped, else only some.
ReadOverride learn_read_override() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
  constexpr unsigned kOverride = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
  if (syscall(SYS_capget, &header, data) != 0) {
    return ReadOverride::kSome;  // cannot tell: let the kernel decide each time
  }
  if ((data[0].effective & kOverride) == 0) {
    return ReadOverride::kNone;
  }
  return maps_every_id("/proc/self/uid_map") && maps_every_id("/proc/self/gid_map")
             ? ReadOverride::kEvery
             : ReadOverride::kSome;
}
#else
ReadOverride learn_read_override() {
  return ReadOverride::kSome;  // no portable way to tell
}
#endif

struct Identity {
  ReadOverride read_override;
  uid_t user;
};

// Learnt on first use. Not a function-local static: its thread-safe guard
// would link the C++ runtime library in, for 1.5 MiB more resident memory.
Identity self_identity;
bool self_known = false;

const Identity& identity() {
  if (!self_known) {
    self_identity = Identity{learn_read_override(), geteuid()};
    self_known = true;
  }
  return self_identity;
}

// 0 when open(O_RDONLY) of this regular file would pass the permission check,
// else the code it would fail with. The owner's own bits decide for the owner
// (an access list never changes them) unless a capability may override them;
// everything else goes to the kernel's check, which sees groups, access lists
// and capabilities as open does.
int read_permission(const ProbeAt& at, const struct stat& status) {
  const Identity& self = identity();
  if (self.read_override == ReadOverride::kEvery) {
    return 0;
  }
  if (status.st_uid == self.user) {
    if ((status.st_mode & S_IRUSR) != 0) {
      return 0;
    }
    if (self.read_override == ReadOverride::kNone) {
      return EACCES;
    }
  }
  return faccessat(at.folder, at.name, R_OK, AT_EACCESS) == 0 ? 0 : errno;
}

// A named pipe, a device or a socket: open it for real, never waiting for a
// writer or a device, and close it again at once.
int open_special(const ProbeAt& at, struct stat* status) {
  int file = openat(at.folder, at.name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (file < 0) {
    return errno;
  }
  int code = fstat(file, status) == 0 ? 0 : errno;
  if (code == 0 && S_ISDIR(status->st_mode)) {
    code = EISDIR;  // replaced by a folder since the stat
  }
  close(file);
  return code;
}

OpenSlot* slot_of(FileHandle file) {
  if (file < 0 || file >= kSlotCount || !open_slots[file].in_use) {
    return nullptr;
  }
  return &open_slots[file];
}

OpenSlot* free_slot() {
  for (OpenSlot& slot : open_slots) {
    if (!slot.in_use) {
      return &slot;
    }
  }
  record_failure(EMFILE);
  return nullptr;
}

FileHandle handle_of(const OpenSlot* slot) {
  return static_cast<FileHandle>(slot - open_slots);
}

// 0 when the entry that `at` names would open, else the code the open would
// fail with; `status` is the entry's, as far as it was had.
int open_code(const ProbeAt& at, struct stat* status) {
  if (S_ISDIR(status->st_mode)) {
    return EISDIR;  // a folder cannot be opened as a file, as on Windows
  }
  if (S_ISREG(status->st_mode)) {
    return read_permission(at, *status);
  }
  return open_special(at, status);
}

// Whether the name table of the path's folder says it is a regular file; the
// open would succeed for a process that reads every file. The slot keeps the
// path, so that its status can be had later.
bool opened_from_names(const char* path, OpenSlot** opened) {
  if (!names_pay || identity().read_override != ReadOverride::kEvery) {
    return false;
  }
  ProbeAt at = probe_at(path, true);
  size_t length = strlen(path);
  if (at.names < 0 || length >= PATH_MAX || !take_folder_file(at.names, at.name)) {
    return false;
  }
  OpenSlot* slot = free_slot();
  if (slot != nullptr) {
    slot->in_use = true;
    slot->status_pending = true;
    slot->status_asked = false;
    memcpy(slot->path, path, length + 1);
  }
  *opened = slot;
  return true;
}

// The status of a file opened from a name table, looked up once, on first
// use. An entry that has since gone, or become a folder, fails then.
int settle(OpenSlot* slot) {
  slot->status_asked = true;
  if (slot->status_pending) {
    slot->status_pending = false;
    ProbeAt at = probe_at(slot->path, false);
    struct stat status;
    if (fstatat(at.folder, at.name, &status, 0) != 0) {
      slot->code = errno;
      return slot->code;
    }
    slot->code = open_code(at, &status);
    slot->modified = status.st_mtim.tv_sec;
    slot->size = status.st_size;
  }
  return slot->code;
}

}  // namespace

FileHandle open_read(const char* path) {
  OpenSlot* opened = nullptr;
  if (opened_from_names(path, &opened)) {
    return opened != nullptr ? handle_of(opened) : kNoFile;
  }
  ProbeAt at = probe_at(path, false);
  struct stat status;
  if (fstatat(at.folder, at.name, &status, 0) != 0) {
    record_failure(errno);
    return kNoFile;
  }
  int code = open_code(at, &status);
  if (code != 0) {
    record_failure(code);
    return kNoFile;
  }
  OpenSlot* slot = free_slot();
  if (slot == nullptr) {
    return kNoFile;
  }
  slot->in_use = true;
  slot->status_pending = false;
  slot->status_asked = false;
  slot->code = 0;
  slot->modified = status.st_mtim.tv_sec;
  slot->size = status.st_size;
  return handle_of(slot);
}

int close_file(FileHandle file) {
  OpenSlot* slot = slot_of(file);
  if (slot == nullptr) {
    return record_failure(EBADF);
  }
  slot->in_use = false;
  names_pay = !slot->status_asked;
  return 0;
}

int file_stamp(FileHandle file, DosStamp* stamp) {
  OpenSlot* slot = slot_of(file);
  if (slot == nullptr) {
    return record_failure(EBADF);
  }
  if (int code = settle(slot); code != 0) {
    *stamp = DosStamp{0, 0};
    return record_failure(code);
  }
  return dos_stamp_of(slot->modified, stamp) ? 0 : record_failure(EOVERFLOW);
}

int32_t file_length(FileHandle file) {
  OpenSlot* slot = slot_of(file);
  if (slot == nullptr) {
    record_failure(EBADF);
    return -1;
  }
  if (int code = settle(slot); code != 0) {
    record_failure(code);
    return -1;
  }
  return static_cast<int32_t>(static_cast<uint32_t>(slot->size));
}
