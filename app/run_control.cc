#include "app/run_control.h"

#include <cstring>

#include "app/arguments.h"
#include "app/overlap.h"
#include "app/usage.h"
#include "app/workspace.h"
#include "passes/outcome.h"
#include "passes/prune_pass.h"
#include "passes/update_pass.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/text.h"

namespace {

constexpr char kRestoreKeyword[] = "restore";
constexpr char kBackupTemplate[] = "xcopy \"%s\" \"%s\" /F /E /D /C /Y    /H/R/K/O/X/G";

char target_prefix[kPathSize];
char backup_command[kBackupCommandSize];

// The operand or word that does not fit the buffer it must go into, if any.
const char* find_too_long(const char* unstored_word) {
  if (unstored_word != nullptr) {
    return unstored_word;
  }
  for (int slot = 1; slot <= 2; ++slot) {
    if (strlen(arg_slots[slot]) >= kPathSize) {
      return arg_slots[slot];
    }
  }
  if (arg_count == 3 && format_text(backup_command, sizeof backup_command, kBackupTemplate,
                                    arg_slots[1], arg_slots[2]) != 0) {
    return arg_slots[2];
  }
  return nullptr;
}

// A missing, unplugged or unreadable source must never look like an empty
// one: the prune pass would then delete the whole copy.
bool source_listable(const char* from_dir) {
  char pattern[kPathSize + 2];
  if (!text_copy(pattern, sizeof pattern, from_dir) ||
      !text_append(pattern, sizeof pattern, kSearchAllSuffix)) {
    return false;
  }
  FindRecord record;
  bool listable = find_first(pattern, kSearchMask, &record) == 0;
  find_close(&record);
  return listable;
}

// Creates to_dir and every parent folder its path names, walking the
// separators; a prefix that exists or cannot be made is simply passed over.
void create_target(const char* to_dir) {
  text_copy(target_prefix, sizeof target_prefix, to_dir);
  for (char* at = target_prefix; *at != '\0'; ++at) {
    if (*at == kSeparator) {
      *at = '\0';
      make_dir(target_prefix);
      *at = kSeparator;
    }
  }
  make_dir(target_prefix);
}

// The prune pass deletes what the source lacks, so it must never walk the
// source itself or a tree that holds it.
bool operands_overlap(const char* from_dir, const char* to_dir) {
  char from_resolved[kPathSize];
  char to_resolved[kPathSize];
  if (resolve_path(to_dir, to_resolved, sizeof to_resolved) != 0) {
    return false;  // Nothing there to walk or to delete.
  }
  if (resolve_path(from_dir, from_resolved, sizeof from_resolved) != 0) {
    return true;  // Cannot tell: refuse rather than risk the source.
  }
  return paths_overlap(from_resolved, to_resolved, kSeparator, kNamesFoldCase);
}

}  // namespace

int velk_main(int word_count, char* const* words) {
  const char* unstored = assemble_arguments(word_count, words);
  if (arg_count != 3 && arg_count != 4) {
    print_out("%s\n", usage_text);
    return -1;
  }
  if (const char* too_long = find_too_long(unstored)) {
    print_err("velk: path too long: %s\n", too_long);
    return -1;
  }
  if (!source_listable(arg_slots[1])) {
    print_err("velk: cannot read source folder: %s\n", arg_slots[1]);
    return -1;
  }
  create_target(arg_slots[2]);
  if (operands_overlap(arg_slots[1], arg_slots[2])) {
    print_err("velk: source and target overlap: %s %s\n", arg_slots[1], arg_slots[2]);
    return -1;
  }
  text_copy(from_path, sizeof from_path, arg_slots[1]);
  text_copy(to_path, sizeof to_path, arg_slots[2]);

  if (arg_count == 4) {
    if (strcmp(arg_slots[3], kRestoreKeyword) != 0) {
      print_err("error in  arg");
      return -1;
    }
    update_tree(from_path, to_path);
  } else {
    format_text(backup_command, sizeof backup_command, kBackupTemplate, from_path, to_path);
    run_tracked_command(backup_command);
  }
  prune_tree(to_path, from_path);
  return run_failed() ? 1 : 0;
}
