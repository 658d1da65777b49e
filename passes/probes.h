#pragma once

// The yes/no questions on which the passes decide. Each returns 1 or 0,
// prints nothing, changes nothing, and leaves nothing open on any path.

// Whether two names are equal with the case of the 26 ASCII letters folded;
// every other byte compares as it is.
int same_name(const char* first, const char* second);

// Whether an entry of that path exists: file, folder or link, hidden ones
// included. Clears error_indicator first and leaves the search's code in it.
int path_exists(const char* path);

// Whether the path can be opened for reading (a folder cannot).
int file_readable(const char* path);

// Whether both files open, both have a last-write stamp, and stamps and
// lengths are equal. Contents are never compared.
int files_match(const char* first, const char* second);
