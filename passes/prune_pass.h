#pragma once

// Removes from the target tree every file and folder that the source tree
// does not have. `target` and `source` are working path buffers; both hold
// their texts again on return.
void prune_tree(char* target, char* source);
