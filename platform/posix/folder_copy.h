#pragma once

#include <climits>
#include <cstddef>

#include "platform/posix/file_copy.h"

// The walk of the built-in xcopy over a source folder, and what one run of
// the command has done so far.

constexpr size_t kCopyPathSize = 2 * PATH_MAX;

struct CopyRun {
  CopySettings settings;
  bool subfolders;     // /S or /E
  bool empty_folders;  // /E: a folder that receives nothing is kept all the same
  bool hidden;         // /H: names beginning with '.' are copied too
  bool go_on;          // /C: a failure does not stop the copy
  bool full_names;     // /F: each copy is shown as "source -> target"
  bool quiet;          // /Q: no names at all
  int copied;
  bool failed;
  bool stopped;  // a failure without /C: nothing more is copied
  // The paths of the entries at hand, for the output and for messages; the
  // copying itself goes through the open folders.
  char source[kCopyPathSize];
  char target[kCopyPathSize];
};

// Counts and shows one copied entry, whose paths stand in `run`.
void note_copied(CopyRun* run);
// Counts a failure, which stops the run unless /C was given.
void note_failed(CopyRun* run);

// Copies what the open folder `source_folder` holds into the open folder
// `target_folder`, whose path stands in run->target (`target_new`: the copy
// has just created it, so it holds nothing yet). Takes over `source_folder`
// and closes it. Returns how many entries the target folder received.
int copy_folder_content(CopyRun* run, int source_folder, int target_folder, bool target_new);
