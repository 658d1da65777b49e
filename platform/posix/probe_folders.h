#pragma once

// Where a probe looks a path's last name up.
//
// The passes probe the files of one folder after another: every file of a
// folder gives a path that differs from the one before only in its last name.
// Walking the whole path again for each costs the kernel a lookup per
// component, so the folder part is opened once (O_PATH) and each name is
// looked up in it. The folder is held only while the walk stays in one
// listed folder: starting or ending a listing forgets it, so a probe never
// sees a folder older than the listing it belongs to, which itself reads
// the folder it opened at its start.

struct ProbeAt {
  int folder;        // a folder descriptor, or AT_FDCWD
  const char* name;  // what to look up in it: the last name, or the whole path
  int names;         // the folder's name table (folder_names.h), or -1
};

// The folder and name to look `path` up with. When the folder part cannot be
// opened, the whole path is looked up as it is, so that errors are reported
// exactly as for the path. With `read_names`, a folder opened now also has
// its file names read into its table, where it can be read.
ProbeAt probe_at(const char* path, bool read_names);
// Closes the folders held for probes.
void forget_probe_folders();
