#pragma once

// The names of the regular files in a probe folder, read from the folder in
// one go.
//
// The prune pass asks of every file in the target whether the source has a
// readable file of that name, and never asks for its stamp. A process that
// may read every file whatever its mode bits needs no status for that answer:
// the folder's listing already says that the name is there and is a regular
// file. Reading a folder's names costs a few system calls where a status per
// file costs one each.
//
// Only a "yes" is ever given from here: a name the table lacks is looked up
// as before, so that a missing entry is always confirmed by the file system
// itself (a false "missing" would let the prune pass delete backed-up data).
// Each name is answered once: a second probe of the same name, which may
// follow a command that changed it, looks it up afresh.

// The tables: one for each folder held for probes.
constexpr int kNameTables = 2;

// Reads the regular files of the folder open for reading at `descriptor` into
// table `table`. False, with the table empty, when the folder cannot be read,
// its names do not fit, or the listing does not give every entry's kind.
bool read_folder_names(int table, int descriptor);
// Whether table `table` lists `name` as a regular file that has not been
// answered before; a name answered here is struck off.
bool take_folder_file(int table, const char* name);
void forget_folder_names(int table);
