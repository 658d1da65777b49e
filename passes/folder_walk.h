#pragma once

#include <cstdint>

// Handles one entry: `listed` names it in the tree being listed, `other` the
// entry of the same name in the other tree.
using EntryHandler = void (*)(char* listed, char* other, uint32_t attributes);

// Lists the folder that `listed` names and hands every entry but "." and ".."
// to `handle`, in the order the listing gives, with both working paths
// lengthened by the entry's name; they are cut back after each entry. An
// entry whose paths would not fit is skipped and named. A folder that exists
// but cannot be listed is named too.
void walk_folder(char* listed, char* other, EntryHandler handle);
