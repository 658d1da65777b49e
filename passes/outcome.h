#pragma once

// What went wrong during a run. Every failure is named on standard error when
// it happens; the run goes on, and its exit status becomes 1 at the end.

void note_failure();
bool run_failed();

// Runs a command through the interpreter and waits for it. An exit code of 2
// or more, or a command that could not be started, counts as a failure (1 is
// xcopy's "nothing to copy").
void run_tracked_command(const char* command);

// The same for a folder removal, for which every exit code but 0 is a
// failure: the 1 that means "nothing to copy" to xcopy is how rmdir says
// that it could not remove the folder.
void run_removal_command(const char* command);

// Names an entry that was left alone because its path, or a command or
// search pattern made from it, would not fit its buffer. The entry is `name`
// in `folder`, or `folder` itself when `name` is nullptr.
void report_too_long(const char* folder, const char* name);

// Names a target entry kept because whether its source still has it could
// not be told (access denied, I/O error): only what is known to be gone is
// ever deleted.
void report_kept(const char* source, const char* target);
