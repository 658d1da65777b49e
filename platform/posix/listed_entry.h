#pragma once

#include <sys/stat.h>

#include <cstddef>

// The regular file that a folder listing reported last, with its status.
//
// The update pass lists a source folder and, for each file, at once asks
// whether that very file can be opened and what its stamp and length are.
// The listing has just taken the file's status, so the probe takes it from
// here instead of asking the file system a second time. It is given out
// once, to the first probe of exactly that path, and forgotten as soon as the
// listing moves on or ends, so it is never older than the current entry.

// `folder` is the listed folder's path as it is joined with a name: empty,
// or ending with the separator.
void remember_listed(const char* folder, size_t folder_length, const char* name,
                     const struct stat& status);
void forget_listed();
// Whether `path` names the remembered file; if so, its status, now forgotten.
bool take_listed(const char* path, struct stat* status);
