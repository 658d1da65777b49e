#include "passes/prune_pass.h"

#include "app/workspace.h"
#include "passes/folder_walk.h"
#include "passes/outcome.h"
#include "passes/probes.h"
#include "platform/file_system.h"
#include "platform/process.h"

namespace {

constexpr char kRemoveFolderTemplate[] = "rmdir \"%s\" /S /Q ";

// After a probe said no: whether the source really lacks the entry. Any other
// failure keeps the target entry, named on standard error.
bool source_lacks(const char* source, const char* target) {
  if (error_is_not_found(error_indicator)) {
    return true;
  }
  report_kept(source, target);
  return false;
}

void report_remove_failure(const char* target) {
  print_err("velk: cannot remove %s: %s\n", target, error_text(error_indicator));
  note_failure();
}

// A link is a leaf: it is kept while the source has an entry of its name and
// otherwise removed itself, never followed to what it points at.
void prune_link(const char* target, const char* source, uint32_t attributes) {
  if (path_exists(source) || !source_lacks(source, target)) {
    return;
  }
  print_out((attributes & kAttributeDirectory) != 0 ? "rm dir: %s \n" : "rm file: %s \n", target);
  if (remove_link(target, attributes) != 0) {
    report_remove_failure(target);
  }
}

void prune_folder(char* target, char* source) {
  if (path_exists(source)) {
    prune_tree(target, source);
    return;
  }
  if (!source_lacks(source, target)) {
    return;
  }
  if (format_text(prune_command, sizeof prune_command, kRemoveFolderTemplate, target) != 0) {
    report_too_long(target, nullptr);
    return;
  }
  print_out("rm dir: %s \n", target);
  run_removal_command(prune_command);
}

void prune_file(const char* target, const char* source) {
  if (file_readable(source) || !source_lacks(source, target)) {
    return;
  }
  print_out("rm file: %s \n", target);
  if (remove_file(target) != 0) {
    report_remove_failure(target);
  }
}

void prune_entry(char* target, char* source, uint32_t attributes) {
  if ((attributes & kAttributeReparsePoint) != 0) {
    prune_link(target, source, attributes);
  } else if ((attributes & kAttributeDirectory) != 0) {
    prune_folder(target, source);
  } else {
    prune_file(target, source);
  }
}

}  // namespace

void prune_tree(char* target, char* source) {
  walk_folder(target, source, prune_entry);
}
