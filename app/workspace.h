#pragma once

#include <cstddef>

// All the text velk works on lives in these buffers of static storage, from
// the start of the run to its end. Nothing is allocated, resized or freed.

constexpr int kArgSlotCount = 8;
constexpr size_t kArgSlotSize = 4096;
constexpr size_t kPathSize = 2048;
constexpr size_t kCommandSize = 2048;
constexpr int kScratchSlotCount = 100;
constexpr size_t kScratchSlotSize = 2048;
constexpr size_t kBackupCommandSize = 4096;

// The words of the command line: slot 0 the program's own file, slot 1
// from_dir, slot 2 to_dir, slot 3 the keyword. arg_count counts the words
// stored, and goes on counting past the last slot.
extern char arg_slots[kArgSlotCount][kArgSlotSize];
extern int arg_count;

// The working paths. Between the passes they hold the two operands; a pass
// lengthens them in place as it descends and cuts them back as it returns.
extern char from_path[kPathSize];
extern char to_path[kPathSize];

// One command buffer per pass, shared by every level of its recursion.
extern char update_command[kCommandSize];
extern char prune_command[kCommandSize];

extern int scratch_counter;

// Joins two texts in the next slot of a ring of 100, where the result stays
// valid for the next 99 calls. The first call of a run uses slot 1. Returns
// nullptr (the slot left empty) when the joined text would not fit a slot.
char* scratch_concat(const char* first, const char* second);

// Appends the separator and `name` to a working path of kPathSize bytes.
// Returns false, with the path unchanged, when the result would not fit.
bool lengthen_path(char* path, const char* name);
