#include "passes/update_pass.h"

#include <cstring>

#include "app/workspace.h"
#include "passes/folder_walk.h"
#include "passes/outcome.h"
#include "passes/probes.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/text.h"

namespace {

constexpr char kFolderTemplate[] = "xcopy /I/F/E/C/Y/H/R/K/O/X/G \"%s\" \"%s\" ";
constexpr char kFileTemplate[] = "xcopy /F/E/C/Y/H/R/K/O/X/G \"%s\" \"%s\" ";

// Whether the entry at `path` is itself a link.
bool names_link(const char* path) {
  FindRecord record;
  bool link = find_first(path, kSearchMask, &record) == 0 &&
              (record.attributes & kAttributeReparsePoint) != 0;
  find_close(&record);
  return link;
}

// A folder the target lacks is copied whole by one command; one both trees
// have is descended into, unless the source's is a link (its copy is a link
// too). A link in the target is never followed: descending through it would
// copy into whatever it points at, outside the target tree.
void update_folder(char* source, char* target, uint32_t attributes) {
  if (path_exists(target)) {
    if ((attributes & kAttributeReparsePoint) != 0) {
      return;
    }
    if (names_link(target)) {
      print_err("velk: cannot copy %s: %s is a link\n", source, target);
      note_failure();
      return;
    }
    update_tree(source, target);
    return;
  }
  if (format_text(update_command, sizeof update_command, kFolderTemplate, source, target) != 0) {
    report_too_long(source, nullptr);
    return;
  }
  run_tracked_command(update_command);
}

// The file command names the target folder, not the file: the formatted text
// is cut right after the separator before the entry's name and closed with a
// double quote.
void update_file(const char* source, const char* target) {
  if (files_match(source, target)) {
    return;
  }
  if (format_text(update_command, sizeof update_command, kFileTemplate, source, target) != 0) {
    report_too_long(source, nullptr);
    return;
  }
  char* last_separator = strrchr(update_command, kSeparator);
  last_separator[1] = '\0';
  text_append(update_command, sizeof update_command, "\"");
  run_tracked_command(update_command);
}

void update_entry(char* source, char* target, uint32_t attributes) {
  if ((attributes & kAttributeDirectory) != 0) {
    update_folder(source, target, attributes);
  } else {
    update_file(source, target);
  }
}

}  // namespace

void update_tree(char* source, char* target) {
  walk_folder(source, target, update_entry);
}
