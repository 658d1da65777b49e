#include "platform/posix/xcopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/posix/folder_copy.h"
#include "platform/process.h"
#include "platform/text.h"

namespace {

constexpr char kSwitches[] = "IFESDCYHRKOXGQ";
constexpr int kDone = 0;
constexpr int kNotFound = 1;
constexpr int kRefused = 4;
constexpr int kNotWritten = 5;

CopyRun run;
char scratch[kCopyPathSize];
char resolved_source[PATH_MAX];
char resolved_target[kCopyPathSize];

void settings_from(uint32_t switches) {
  auto has = [switches](char letter) { return (switches & switch_bit(letter)) != 0; };
  run.settings.newer_only = has('D');
  run.settings.replace_read_only = has('R');
  run.settings.keep_mode = has('K');
  run.settings.keep_owner = has('O') || has('X');
  run.subfolders = has('S') || has('E');
  run.empty_folders = has('E');
  run.hidden = has('H');
  run.go_on = has('C');
  run.full_names = has('F');
  run.quiet = has('Q');
  run.copied = 0;
  run.failed = false;
  run.stopped = false;
}

// Creates `path` and every folder on its way that is missing, as the user
// named them (links on the way are followed). 0, or the error code.
int make_folders(const char* path) {
  struct stat status;
  if (stat(path, &status) == 0) {
    return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;  // the common case: one call
  }
  if (!text_copy(scratch, sizeof scratch, path)) {
    return ENAMETOOLONG;
  }
  for (char* at = scratch + 1; *at != '\0'; ++at) {
    if (*at == '/') {
      *at = '\0';
      mkdir(scratch, 0777);
      *at = '/';
    }
  }
  if (mkdir(scratch, 0777) == 0 || (stat(scratch, &status) == 0 && S_ISDIR(status.st_mode))) {
    return 0;
  }
  return errno == EEXIST ? ENOTDIR : errno;
}

// The absolute form of a destination that may not exist yet: its longest
// existing beginning resolved, the missing rest appended as it stands.
bool resolve_target(const char* path) {
  if (!text_copy(scratch, sizeof scratch, path)) {
    return false;
  }
  size_t cut = strlen(scratch);
  for (;;) {
    const char* base = cut > 0 ? scratch : (path[0] == '/' ? "/" : ".");
    if (realpath(base, resolved_target) != nullptr) {
      const char* rest = path + cut;
      while (*rest == '/') {
        ++rest;
      }
      size_t length = strlen(resolved_target);
      return *rest == '\0' || (((length > 0 && resolved_target[length - 1] == '/') ||
                                text_append(resolved_target, sizeof resolved_target, "/")) &&
                               text_append(resolved_target, sizeof resolved_target, rest));
    }
    if ((errno != ENOENT && errno != ENOTDIR) || cut == 0) {
      return false;
    }
    while (cut > 0 && path[cut - 1] != '/') {
      --cut;
    }
    while (cut > 0 && path[cut - 1] == '/') {
      --cut;
    }
    scratch[cut] = '\0';
  }
}

// Whether the destination is the source folder or lies inside it, which
// would copy the copy again without end.
bool cyclic(const char* source, const char* target) {
  if (realpath(source, resolved_source) == nullptr || !resolve_target(target)) {
    return false;  // what cannot be resolved is reported when it is opened
  }
  size_t length = strlen(resolved_source);
  if (strncmp(resolved_target, resolved_source, length) != 0) {
    return false;
  }
  char next = resolved_target[length];
  return next == '\0' || next == '/' || resolved_source[length - 1] == '/';
}

int copy_folder_operand(const struct stat& status) {
  if (cyclic(run.source, run.target)) {
    print_err("velk: xcopy: Cannot perform a cyclic copy: %s -> %s\n", run.source, run.target);
    return kRefused;
  }
  struct stat existing;
  bool created = false;
  if (stat(run.target, &existing) == 0) {
    if (!S_ISDIR(existing.st_mode)) {
      print_err("velk: xcopy: cannot copy folder %s to %s: a file stands in its place\n",
                run.source, run.target);
      return kRefused;
    }
  } else {
    int code = errno == ENOENT ? make_folders(run.target) : errno;
    if (code != 0) {
      print_err("velk: xcopy: cannot create folder %s: %s\n", run.target, strerror(code));
      return kRefused;
    }
    created = true;
  }
  int source = open(run.source, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  int target = open(run.target, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (source < 0 || target < 0) {
    print_err("velk: xcopy: cannot open folder %s: %s\n", source < 0 ? run.source : run.target,
              strerror(errno));
    if (source >= 0) {
      close(source);
    }
    if (target >= 0) {
      close(target);
    }
    return kRefused;
  }
  copy_folder_content(&run, source, target, created);
  if (!run.stopped && !finish_folder(target, status, created, run.settings, run.target)) {
    note_failed(&run);
  }
  close(target);
  return kDone;
}

// Opens the folder part of `path` (everything before its last separator).
int open_folder_of(const char* path, size_t name_at) {
  if (name_at == 0) {
    return open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  if (name_at == 1) {
    return open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  memcpy(scratch, path, name_at - 1);
  scratch[name_at - 1] = '\0';
  return open(scratch, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

size_t name_start(const char* path) {
  const char* separator = strrchr(path, '/');
  return separator != nullptr ? static_cast<size_t>(separator - path + 1) : 0;
}

// A file or link as the source: a destination that ends with the separator,
// or is an existing folder, receives it under its own name; any other
// destination is the copy's own name.
int copy_entry_operand(const struct stat& status) {
  size_t source_name = name_start(run.source);
  if (run.source[source_name] == '.' && !run.hidden) {
    return kDone;
  }
  size_t length = strlen(run.target);
  struct stat existing;
  bool into_folder = run.target[length - 1] == '/' ||
                     (stat(run.target, &existing) == 0 && S_ISDIR(existing.st_mode));
  int code = 0;
  if (into_folder) {
    code = make_folders(run.target);
    if (code == 0 &&
        !((run.target[length - 1] == '/' || text_append(run.target, kCopyPathSize, "/")) &&
          text_append(run.target, kCopyPathSize, run.source + source_name))) {
      code = ENAMETOOLONG;
    }
  } else {
    size_t at = name_start(run.target);
    if (at > 1) {
      memcpy(scratch, run.target, at - 1);
      scratch[at - 1] = '\0';
      code = make_folders(scratch);
    }
  }
  if (code != 0) {
    print_err("velk: xcopy: cannot copy %s to %s: %s\n", run.source, run.target, strerror(code));
    return kRefused;
  }
  size_t target_name = name_start(run.target);
  int source = open_folder_of(run.source, source_name);
  int target = source >= 0 ? open_folder_of(run.target, target_name) : -1;
  if (target < 0) {
    print_err("velk: xcopy: cannot copy %s to %s: %s\n", run.source, run.target, strerror(errno));
    if (source >= 0) {
      close(source);
    }
    return kRefused;
  }
  switch (copy_entry(source, run.source + source_name, &status, target, run.target + target_name,
                     false, run.settings, run.source, run.target)) {
    case CopyResult::kCopied:
      note_copied(&run);
      break;
    case CopyResult::kPassedOver:
      break;
    case CopyResult::kFailed:
      note_failed(&run);
      break;
  }
  close(source);
  close(target);
  return kDone;
}

}  // namespace

int run_xcopy(const CommandWords& words) {
  CommandArguments arguments;
  switch (parse_arguments(words, kSwitches, 2, &arguments)) {
    case ArgumentsResult::kUnknownSwitch:
      print_err("velk: xcopy: invalid switch: %s\n", arguments.refused);
      return kRefused;
    case ArgumentsResult::kTooManyOperands:
      print_err("velk: xcopy: too many operands: %s\n", arguments.refused);
      return kRefused;
    case ArgumentsResult::kParsed:
      break;
  }
  if (arguments.operand_count < 2) {
    print_err("velk: xcopy: a source and a destination are needed\n");
    return kRefused;
  }
  if (arguments.operand[0][0] == '\0' || arguments.operand[1][0] == '\0') {
    print_err("velk: xcopy: an empty path names nothing\n");
    return kRefused;
  }
  settings_from(arguments.switches);
  if (!text_copy(run.source, sizeof run.source, arguments.operand[0]) ||
      !text_copy(run.target, sizeof run.target, arguments.operand[1])) {
    print_err("velk: xcopy: path too long\n");
    return kRefused;
  }
  struct stat status;
  if (lstat(run.source, &status) != 0) {
    int code = errno;
    if (code == ENOENT || code == ENOTDIR) {
      print_err("velk: xcopy: file not found: %s\n", run.source);
      print_out("0 File(s) copied\n");
      return kNotFound;
    }
    print_err("velk: xcopy: cannot read %s: %s\n", run.source, strerror(code));
    print_out("0 File(s) copied\n");
    return kNotWritten;
  }
  int code = S_ISDIR(status.st_mode) ? copy_folder_operand(status) : copy_entry_operand(status);
  if (code != kDone) {
    return code;
  }
  char count[12];
  decimal_text(run.copied, count);
  print_out("%s File(s) copied\n", count);
  return run.failed ? kNotWritten : kDone;
}
