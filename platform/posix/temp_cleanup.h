#pragma once

// Names and clean-up for what the copy engine writes before it is complete.
// While an entry is being written, an interrupt, hang-up or termination
// signal first removes it and then ends the process as the signal would have:
// neither a temporary file nor a partial new file is left behind. (Nothing
// can be done against SIGKILL; the old copy stays whole all the same, and the
// next run's prune removes the temporary name, which the source lacks.)

// Returns a fresh temporary name, hidden and unique to this process, for an
// entry beside the one it will replace. The name stays valid until the next call.
const char* next_temp_name();

// Covers the entry `name` that this process has just created in the open
// folder `folder`, until end_temp_cleanup. `name` must stay valid until then.
void cover_written(int folder, const char* name);

// The entry is complete, renamed or removed: a signal no longer touches it.
void end_temp_cleanup();
