#pragma once

// Brings into the target tree every folder it lacks and every file whose copy
// is missing or differs in last-write stamp or length. `source` and `target`
// are working path buffers; both hold their texts again on return.
void update_tree(char* source, char* target);
